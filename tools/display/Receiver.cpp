#include "Receiver.h"

#include "HostPort.h"

#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <utility>

namespace display {

namespace {

// One connection being read. Deletes itself (and its socket) once it has reported.
class Connection : public QObject {
  public:
    Connection(QTcpSocket* socket, const Limits& limits, QObject* parent,
               std::function<void(const Reception&)> report)
        : QObject(parent), socket_(socket), limits_(limits), report_(std::move(report)) {
        socket_->setParent(this);
        // Qt's own buffer never holds more than the rest of one message.
        socket_->setReadBufferSize(static_cast<qint64>(limits_.maxBytes) + 1);
        reception_.peer = Endpoint(socket_->peerAddress(), socket_->peerPort());

        idle_.setSingleShot(true);
        idle_.setInterval(limits_.idleTimeoutMs);
        connect(&idle_, &QTimer::timeout, this, [this] { Finish(Ending::Silent); });
        deadline_.setSingleShot(true);
        deadline_.setInterval(limits_.messageTimeoutMs);
        connect(&deadline_, &QTimer::timeout, this, [this] {
            reception_.reason = QStringLiteral("no whole message within %1 ms of its connection")
                                    .arg(limits_.messageTimeoutMs);
            Finish(Ending::Late);
        });
        connect(socket_, &QTcpSocket::readyRead, this, [this] { Read(); });
        connect(socket_, &QTcpSocket::disconnected, this, [this] { Finish(Ending::Closed); });
        connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e == QAbstractSocket::RemoteHostClosedError) return;  // disconnected follows
            reception_.reason = socket_->errorString();
            Finish(Ending::Reset);
        });
        idle_.start();
        deadline_.start();
        Read();  // bytes may have arrived before the signals were connected
    }

  private:
    void Read() {
        if (done_) return;
        const auto room = static_cast<qint64>(limits_.maxBytes) + 1 - reception_.bytes.size();
        reception_.bytes += socket_->read(room);
        if (static_cast<std::size_t>(reception_.bytes.size()) > limits_.maxBytes) {
            reception_.bytes.truncate(static_cast<qsizetype>(limits_.maxBytes));
            Finish(Ending::Cut);
            return;
        }
        idle_.start();
    }

    void Finish(Ending ending) {
        if (done_) return;
        if (ending == Ending::Closed || ending == Ending::Reset) Read();
        if (done_) return;  // the last read passed the limit
        done_ = true;
        idle_.stop();
        deadline_.stop();
        reception_.ending = ending;
        socket_->disconnect(this);
        socket_->abort();
        report_(reception_);
        deleteLater();
    }

    QTcpSocket* socket_;
    const Limits& limits_;
    std::function<void(const Reception&)> report_;
    Reception reception_;
    QTimer idle_;
    QTimer deadline_;
    bool done_ = false;
};

}  // namespace

QString EndingName(Ending ending) {
    switch (ending) {
        case Ending::Closed:
            return QStringLiteral("closed");
        case Ending::Reset:
            return QStringLiteral("reset");
        case Ending::Cut:
        case Ending::Late:
            return QStringLiteral("cut");
        case Ending::Silent:
            return QStringLiteral("silent");
        case Ending::Refused:
            return QStringLiteral("refused");
        case Ending::Stalled:
            break;
    }
    return QStringLiteral("stalled");
}

QString Endpoint(const QHostAddress& address, quint16 port) {
    QHostAddress plain = address;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) plain = QHostAddress(v4);  // ::ffff:127.0.0.1 reads as 127.0.0.1
    return JoinHostPort(plain.toString(), port);
}

Receiver::Receiver(Limits limits, QObject* parent) : QObject(parent), limits_(limits) {
    connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
}

bool Receiver::Listen(const QHostAddress& address, quint16 port, QString* error) {
    if (server_.listen(address, port)) return true;
    if (error) *error = server_.errorString();
    return false;
}

QString Receiver::Address() const {
    return Endpoint(server_.serverAddress(), server_.serverPort());
}

void Receiver::Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (open_ >= limits_.maxConnections) {
            Reception refused;
            refused.peer = Endpoint(socket->peerAddress(), socket->peerPort());
            refused.ending = Ending::Refused;
            socket->abort();
            socket->deleteLater();
            emit received(refused);
            continue;
        }
        ++open_;
        if (limits_.stall) {
            Hold(socket);
            continue;
        }
        new Connection(socket, limits_, this, [this](const Reception& reception) {
            --open_;
            emit received(reception);
        });
    }
}

void Receiver::Hold(QTcpSocket* socket) {
    Reception held;
    held.peer = Endpoint(socket->peerAddress(), socket->peerPort());
    held.ending = Ending::Stalled;
    socket->setParent(this);
    // Qt stops taking bytes from the system once its buffer holds one, so the sender's
    // bytes stay unread in the system's buffers, as with a display that hangs. It then no
    // longer sees the sender close either: the idle timeout frees the slot.
    socket->setReadBufferSize(1);
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    auto release = [this, socket, idle] {
        idle->stop();
        socket->disconnect(this);
        socket->abort();
        --open_;
        socket->deleteLater();
    };
    connect(socket, &QTcpSocket::disconnected, this, release);
    connect(idle, &QTimer::timeout, this, [this, release, peer = held.peer] {
        release();
        Reception silent;
        silent.peer = peer;
        silent.ending = Ending::Silent;
        emit received(silent);
    });
    idle->start(limits_.idleTimeoutMs);
    emit received(held);
}

}  // namespace display
