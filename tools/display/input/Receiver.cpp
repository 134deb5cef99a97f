#include "Receiver.h"

#include "shared/Peer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <utility>

namespace display {

// Holds one of the receiver's slots: a connection being read, or one held unread in stall
// mode. Once it ends it calls back its owner, with its report or none, and deletes itself and
// its socket.
class SlotHolder : public QObject {
  public:
    using Ended = std::function<void(SlotHolder*, const Reception*)>;

    SlotHolder(QTcpSocket* socket, QObject* parent, Ended ended)
        : QObject(parent), socket_(socket), ended_(std::move(ended)) {
        socket_->setParent(this);
        peer_ = Endpoint(socket_->peerAddress(), socket_->peerPort());
        address_ = socket_->peerAddress();
        held_.start();
    }

    // Starts reading or holding; it may end at once. Apart from the constructor, so that its
    // owner knows it before it can hear of its end.
    virtual void Start() = 0;

    // Closes it at once, its slot going to a newcomer from another address: reason says so
    // in its report.
    virtual void TakeBack(const QString& reason) = 0;

    const QString& peer() const { return peer_; }
    const QHostAddress& address() const { return address_; }
    // How long it has held its slot.
    qint64 HeldMs() const { return held_.elapsed(); }

  protected:
    // Closes the socket and tells the owner, once.
    void End(const Reception* reception) {
        if (done_) return;
        done_ = true;
        socket_->disconnect(this);
        socket_->abort();
        ended_(this, reception);
        deleteLater();
    }

    QTcpSocket* socket_;
    bool done_ = false;

  private:
    QString peer_;
    QHostAddress address_;
    QElapsedTimer held_;
    Ended ended_;
};

namespace {

// One connection being read.
class Connection : public SlotHolder {
  public:
    Connection(QTcpSocket* socket, const Limits& limits, QObject* parent, Ended ended)
        : SlotHolder(socket, parent, std::move(ended)), limits_(limits) {
        reception_.peer = peer();
        reception_.address = address();
    }

    void Start() override {
        // Qt's own buffer never holds more than the rest of one message.
        socket_->setReadBufferSize(static_cast<qint64>(limits_.maxBytes) + 1);
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

    void TakeBack(const QString& reason) override {
        reception_.reason = reason;
        Finish(Ending::Late);
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
        idle_.stop();
        deadline_.stop();
        reception_.ending = ending;
        End(&reception_);
    }

    const Limits& limits_;
    Reception reception_;
    QTimer idle_;
    QTimer deadline_;
};

// One connection held open and never read (stall mode).
class Stall : public SlotHolder {
  public:
    Stall(QTcpSocket* socket, int idleTimeoutMs, QObject* parent, Ended ended)
        : SlotHolder(socket, parent, std::move(ended)), idleTimeoutMs_(idleTimeoutMs) {}

    void Start() override {
        // Qt stops taking bytes from the system once its buffer holds one, so the sender's
        // bytes stay unread in the system's buffers, as with a display that hangs. It then no
        // longer sees the sender close either: the idle timeout frees the slot.
        socket_->setReadBufferSize(1);
        idle_.setSingleShot(true);
        connect(socket_, &QTcpSocket::disconnected, this, [this] { End(nullptr); });
        connect(&idle_, &QTimer::timeout, this, [this] { Close(Ending::Silent); });
        idle_.start(idleTimeoutMs_);
    }

    void TakeBack(const QString&) override { Close(Ending::Refused); }

  private:
    void Close(Ending ending) {
        idle_.stop();
        Reception closed;
        closed.peer = peer();
        closed.address = address();
        closed.ending = ending;
        End(&closed);
    }

    int idleTimeoutMs_;
    QTimer idle_;
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

Receiver::Receiver(Limits limits, AllowList allowed, QObject* parent)
    : QObject(parent),
      limits_(limits),
      allowed_(std::move(allowed)),
      slots_(limits.maxConnections, std::min(limits.shareConnections, limits.maxConnections)) {
    connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
}

bool Receiver::Listen(const QHostAddress& address, quint16 port, QString* error,
                      bool* addressMissing) {
    if (server_.listen(address, port)) return true;
    if (error) *error = server_.errorString();
    if (addressMissing)
        *addressMissing = server_.serverError() == QAbstractSocket::SocketAddressNotAvailableError;
    return false;
}

QString Receiver::Address() const {
    if (!server_.isListening()) return {};
    return Endpoint(server_.serverAddress(), server_.serverPort());
}

void Receiver::Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (!allowed_.Allows(socket->peerAddress())) {
            // Not reported: only a line on stderr, counted in a flood.
            refusals_.Write("--listen", "connections refused",
                            QStringLiteral("--listen: %1 closed unread: not in --allow")
                                .arg(Endpoint(socket->peerAddress(), socket->peerPort()))
                                .toStdString());
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const std::string address = ShareKey(socket->peerAddress());
        auto verdict = slots_.Admit(address);
        using Admission = FairShare<SlotHolder*>::Admission;
        QString takeBackReason;
        if (verdict.admission == Admission::RefuseFull && !limits_.stall) {
            if (const auto place = PlaceFor(address)) {
                verdict = {Admission::TakeBack, place->first, place->second};
                takeBackReason = QStringLiteral(
                                     "cut to make room for %1 (no whole message from %2 yet, "
                                     "and every one of the %3 connections taken)")
                                     .arg(Endpoint(socket->peerAddress(), socket->peerPort()),
                                          QString::fromStdString(place->second))
                                     .arg(limits_.maxConnections);
            }
        }
        if (verdict.admission == Admission::RefuseShare ||
            verdict.admission == Admission::RefuseFull) {
            Refuse(socket);
            continue;
        }
        if (verdict.admission == Admission::TakeBack) {
            if (takeBackReason.isEmpty()) {
                takeBackReason =
                    QStringLiteral("cut to make room for %1 (%2 held %3 of the %4 connections)")
                        .arg(Endpoint(socket->peerAddress(), socket->peerPort()),
                             QString::fromStdString(verdict.victimAddress))
                        .arg(slots_.HeldBy(verdict.victimAddress))
                        .arg(limits_.maxConnections);
            }
            verdict.victim->TakeBack(takeBackReason);
        }
        auto ended = [this](SlotHolder* holder, const Reception* reception) {
            Ended(holder, reception);
        };
        SlotHolder* holder =
            limits_.stall
                ? static_cast<SlotHolder*>(new Stall(socket, limits_.idleTimeoutMs, this, ended))
                : new Connection(socket, limits_, this, ended);
        slots_.Hold(holder, address);
        if (limits_.stall) {
            Reception held;
            held.peer = holder->peer();
            held.address = holder->address();
            held.ending = Ending::Stalled;
            emit received(held);
        }
        holder->Start();
    }
}

std::optional<std::pair<SlotHolder*, std::string>> Receiver::PlaceFor(
    const std::string& address) const {
    // How the last connection of an address ended: whole, not whole, or nothing known.
    const auto last = [this](const std::string& sender) -> std::optional<bool> {
        const auto at =
            std::find_if(records_.begin(), records_.end(),
                         [&sender](const auto& record) { return record.first == sender; });
        return at == records_.end() ? std::nullopt : std::optional<bool>(at->second);
    };
    std::map<const SlotHolder*, std::optional<bool>> lastOf;
    for (const SlotHolder* held : slots_.Holders())
        lastOf[held] = last(ShareKey(held->address()));
    const auto stale = [this](const SlotHolder* held) { return held->HeldMs() >= limits_.graceMs; };
    const auto neverWhole = [&](const SlotHolder* held) { return lastOf[held] != true; };
    const auto suspect = [&](const SlotHolder* held) { return lastOf[held] == false; };
    if (auto place = slots_.NewestWhere(
            [&](const SlotHolder* held) { return stale(held) && neverWhole(held); }))
        return place;
    if (last(address) != false) {
        if (auto place = slots_.NewestWhere(suspect)) return place;
    }
    return slots_.NewestWhere(stale);
}

void Receiver::Record(const std::string& address, bool whole) {
    std::erase_if(records_, [&address](const auto& record) { return record.first == address; });
    records_.emplace_back(address, whole);
    if (records_.size() > kRecords) records_.pop_front();
}

void Receiver::Refuse(QTcpSocket* socket) {
    Reception refused;
    refused.peer = Endpoint(socket->peerAddress(), socket->peerPort());
    refused.address = socket->peerAddress();
    refused.ending = Ending::Refused;
    socket->abort();
    socket->deleteLater();
    emit received(refused);
}

void Receiver::Ended(SlotHolder* holder, const Reception* reception) {
    slots_.Release(holder);
    if (reception && !limits_.stall) {
        switch (reception->ending) {
            case Ending::Closed:
            case Ending::Cut:  // whole up to the byte limit: a sender, not a squatter
                Record(ShareKey(holder->address()), true);
                break;
            case Ending::Silent:
            case Ending::Late:
                Record(ShareKey(holder->address()), false);
                break;
            default:  // a reset, a refusal: nothing the address did for sure
                break;
        }
    }
    if (reception) emit received(*reception);
}

}  // namespace display
