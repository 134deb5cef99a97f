#pragma once
// The listening side of the display link: one message per connection, the message being the
// whole content of the connection, read until the sender closes it. Nothing is ever written
// back.
//
// Bounded against bad senders: a message longer than the byte limit is cut there and its
// connection closed at once; a connection that stays silent for the idle timeout is closed
// and what it sent is reported as unfinished; a message not whole within the message
// deadline from its connection's acceptance is closed and reported as cut, however often its
// sender trickles a byte; past the connection limit a new connection is closed at once.
//
// The connection slots are shared between client addresses (see FairShare.h): one address holds
// at most its share of them, and past it its next connection is closed unread; a newcomer from
// an address below its share finds room even when every slot is taken, in the place of the
// oldest connection of the address that holds the most, whose unfinished message is not shown.
// So a sender that floods the display, or merely hangs with its connections open, never keeps
// the register out. With an allow list, connections from elsewhere are closed unread and never
// reported: a line on stderr names the first of a burst and then counts them (see
// LimitedLines.h), so that a stranger can fill neither the log nor stderr.
//
// Lives on the thread that made it; every report arrives there, one per connection, in the order
// the connections ended (in stall mode, one when they are taken and one, silent, when the idle
// timeout closes them).

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "board/Message.h"
#include "shared/FairShare.h"
#include "shared/LimitedLines.h"

namespace display {

// How a connection ended.
enum class Ending {
    Closed,  // the sender closed it: the bytes are the whole message
    Reset,   // the connection broke (reset by the sender): the bytes are what arrived
    Cut,     // the message passed the byte limit: the bytes are its first part
    // Closed before the message was whole, past its deadline or to make room for a newcomer
    // from another address (reason says which): the bytes are its first part
    Late,
    Silent,  // nothing arrived for the idle timeout: the bytes are an unfinished message
    // Too many connections at once, in all or from its address: closed before anything was
    // read (also a connection held in stall mode whose slot went to a newcomer)
    Refused,
    Stalled,  // taken and held open, never read (stall mode): reported when taken
};

// "closed", "reset", "cut" (Cut and Late), "silent", "refused", "stalled".
QString EndingName(Ending ending);

struct Reception {
    QString peer;  // "address:port" of the sender
    QByteArray bytes;
    Ending ending = Ending::Closed;
    QString reason;  // what broke the connection, for Reset; why it was closed, for Late
};

struct Limits {
    std::size_t maxBytes = kMaxMessageBytes;
    int idleTimeoutMs = 5000;
    // From acceptance to the sender's close; never restarted, so a slow sender cannot hold a
    // connection slot for longer. Not for stall mode, whose connections the idle timeout ends.
    int messageTimeoutMs = 10000;
    int maxConnections = 64;
    // The most of those one client address holds, an IPv6 address counting by its /64 (at
    // most maxConnections).
    int shareConnections = 16;
    // Stall mode, to try a client against a display that hangs: connections are taken and
    // held open (at most maxConnections), never read, and closed after the idle timeout.
    bool stall = false;
};

// The networks connections may come from (--allow). Empty, it lets every address in.
class AllowList {
  public:
    // Adds a network written ADDR/PREFIX, or an address alone (as /32 or /128). An IPv4
    // address is written as four numbers from 0 to 255 without leading zeros: other forms
    // (127.1, 0x7f.0.0.1, 010.0.0.1) are read differently from one program to the next. An
    // IPv4-mapped IPv6 network (::ffff:192.168.1.0/120) is the IPv4 one. Returns what is wrong
    // with text, or an empty string once it is added.
    QString Add(const QString& text);

    // An IPv4 peer seen by a dual-stack listener (::ffff:192.168.1.10) is the IPv4 one.
    bool Allows(const QHostAddress& peer) const;

    bool empty() const { return networks_.empty(); }

  private:
    std::vector<std::pair<QHostAddress, int>> networks_;  // with their prefix lengths
};

class SlotHolder;

class Receiver : public QObject {
    Q_OBJECT

  public:
    // Takes connections only from the networks allowed names, from everywhere when it is empty.
    explicit Receiver(Limits limits, AllowList allowed = {}, QObject* parent = nullptr);

    // Starts listening. Port 0 lets the system choose a free port (see Address()). On failure
    // returns false, puts the reason in *error and, in *addressMissing, whether the address is
    // not (yet) one of this machine's (a network not up at boot), which a later try may cure.
    bool Listen(const QHostAddress& address, quint16 port, QString* error,
                bool* addressMissing = nullptr);

    // The address actually listened on, "127.0.0.1:9100" or "[::1]:9100"; empty before.
    QString Address() const;

    const Limits& limits() const { return limits_; }

  signals:
    void received(const display::Reception& reception);

  private:
    void Accept();
    void Refuse(QTcpSocket* socket);
    void Ended(SlotHolder* holder, const Reception* reception);

    Limits limits_;
    AllowList allowed_;
    QTcpServer server_;
    FairShare<SlotHolder*> slots_;  // the connections being read, or held in stall mode
    LimitedLines refusals_;
};

}  // namespace display
