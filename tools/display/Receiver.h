#pragma once
// The listening side of the display link: one message per connection, the message being the
// whole content of the connection, read until the sender closes it. Nothing is ever written
// back.
//
// Bounded against bad senders: a message longer than the byte limit is cut there and its
// connection closed at once; a connection that stays silent for the idle timeout is closed
// and what it sent is reported as unfinished; a message not whole within the message
// deadline from its connection's acceptance is closed and reported as cut, however often its
// sender trickles a byte; past the connection limit a new connection is closed at once. Lives on
// the thread that made it; every report arrives there, one per connection, in the order the
// connections ended (in stall mode, one when they are taken and one, silent, when the idle timeout
// closes them).

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstddef>

#include "Message.h"

namespace display {

// How a connection ended.
enum class Ending {
    Closed,   // the sender closed it: the bytes are the whole message
    Reset,    // the connection broke (reset by the sender): the bytes are what arrived
    Cut,      // the message passed the byte limit: the bytes are its first part
    Late,     // the message passed its deadline (reason says which): the bytes are its first part
    Silent,   // nothing arrived for the idle timeout: the bytes are an unfinished message
    Refused,  // too many connections at once: closed before anything was read
    Stalled,  // taken and held open, never read (stall mode): reported when taken
};

// "closed", "reset", "cut" (Cut and Late), "silent", "refused", "stalled".
QString EndingName(Ending ending);

struct Reception {
    QString peer;  // "address:port" of the sender
    QByteArray bytes;
    Ending ending = Ending::Closed;
    QString reason;  // what broke the connection, for Reset; the deadline passed, for Late
};

struct Limits {
    std::size_t maxBytes = kMaxMessageBytes;
    int idleTimeoutMs = 5000;
    // From acceptance to the sender's close; never restarted, so a slow sender cannot hold a
    // connection slot for longer. Not for stall mode, whose connections the idle timeout ends.
    int messageTimeoutMs = 10000;
    int maxConnections = 64;
    // Stall mode, to try a client against a display that hangs: connections are taken and
    // held open (at most maxConnections), never read, and closed after the idle timeout.
    bool stall = false;
};

class Receiver : public QObject {
    Q_OBJECT

  public:
    explicit Receiver(Limits limits, QObject* parent = nullptr);

    // Starts listening. Port 0 lets the system choose a free port (see Address()). On failure
    // returns false and puts the reason in *error.
    bool Listen(const QHostAddress& address, quint16 port, QString* error);

    // The address actually listened on, "127.0.0.1:9100" or "[::1]:9100".
    QString Address() const;

    const Limits& limits() const { return limits_; }

  signals:
    void received(const display::Reception& reception);

  private:
    void Accept();
    void Hold(QTcpSocket* socket);

    Limits limits_;
    QTcpServer server_;
    int open_ = 0;
};

// "address:port", with brackets around an IPv6 address.
QString Endpoint(const QHostAddress& address, quint16 port);

}  // namespace display
