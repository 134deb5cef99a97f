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
// the register out. Many addresses holding one connection each would still fill every slot;
// so when all are taken, a newcomer finds a place all the same:
// - in a connection that has not brought its whole message within a short grace (far longer
//   than a register takes), from an address that has never sent a whole message, the newest of
//   them first;
// - unless the newcomer's own address is under suspicion, in the newest connection of an
//   address whose last connection ended without its whole message (silent, cut at its
//   deadline, or given up to a newcomer), however young: many addresses that open their
//   connections again and again keep out no register, whose connections end whole;
// - in a connection past the grace from any address, the newest first.
// The receiver remembers how the last connection of each of the latest kRecords addresses
// ended (whole, or not).
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
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "board/Message.h"
#include "shared/AllowList.h"
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
    QString peer;          // "address:port" of the sender
    QHostAddress address;  // the sender's address alone
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
    // When every slot is taken, a connection this old without its whole message gives its
    // slot to a newcomer (not in stall mode).
    int graceMs = 3000;
    // Stall mode, to try a client against a display that hangs: connections are taken and
    // held open (at most maxConnections), never read, and closed after the idle timeout.
    bool stall = false;
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

    // A place for a newcomer from address when every place is taken, as said above.
    std::optional<std::pair<SlotHolder*, std::string>> PlaceFor(const std::string& address) const;

    // Records how a connection from address ended: with its whole message, or not.
    void Record(const std::string& address, bool whole);

    static constexpr std::size_t kRecords = 256;

    Limits limits_;
    AllowList allowed_;
    QTcpServer server_;
    // By share key, the latest last: whether the last connection brought its whole message.
    std::deque<std::pair<std::string, bool>> records_;
    FairShare<SlotHolder*> slots_;  // the connections being read, or held in stall mode
    LimitedLines refusals_;
};

}  // namespace display
