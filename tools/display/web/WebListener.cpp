#include "WebListener.h"

#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "shared/Peer.h"

namespace display {

namespace {

// How long a refused client gets to read its answer before the connection is cut.
constexpr int kCloseGraceMs = 2000;

// The line for a connection turned away, naming the client.
QString RefusalLine(const QTcpSocket* socket, const QByteArray& status) {
    return QStringLiteral("--http: %1 answered %2")
        .arg(Endpoint(socket->peerAddress(), socket->peerPort()), QString::fromLatin1(status));
}

// Closes once the answer is written, or cuts the connection when the client does not read it.
void CloseAfterWriting(QTcpSocket* socket) {
    QTimer::singleShot(kCloseGraceMs, socket, [socket] { socket->abort(); });
    socket->disconnectFromHost();
}

}  // namespace

RequestGuard::RequestGuard(QTcpSocket* socket, const WebLimits& limits, WebListener* listener)
    : QObject(socket), socket_(socket), listener_(listener), meter_(limits) {
    // Qt's buffer never holds more than the largest request and one byte: past that it stops
    // taking bytes from the system, and the meter has already refused the request.
    socket_->setReadBufferSize(static_cast<qint64>(limits.maxRequestBytes) + 1);
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] { Expire(); });
    timeout_.start(limits.requestTimeoutMs);
    opened_.start();
    // Connected before the HTTP server connects its own reader, so the meter sees each new
    // byte before the parser does.
    connect(socket_, &QTcpSocket::readyRead, this, [this] { Read(); });
}

void RequestGuard::SetAnswered() {
    answered_ = true;
}

void RequestGuard::SetStreaming() {
    answered_ = true;
    timeout_.stop();
}

bool RequestGuard::Stale(int graceMs) const {
    return !answered_ && !refused_ && opened_.elapsed() >= graceMs;
}

void RequestGuard::Expire() {
    if (refused_) return;  // its answer has a grace of its own
    if (!answered_) {
        Refuse(QByteArrayLiteral("408 Request Timeout"));
        return;
    }
    // The answer is still in Qt's buffer, the client not taking it: whatever is left of it
    // goes, and the connection with it, so that a client that never reads holds no slot.
    if (listener_) {
        listener_->LogRefusal(
            QStringLiteral("--http: %1 had not taken its answer %2 s after it connected: cut")
                .arg(Endpoint(socket_->peerAddress(), socket_->peerPort()))
                .arg(timeout_.interval() / 1000.0));
    }
    socket_->abort();
}

void RequestGuard::Read() {
    if (answered_ || refused_) {
        socket_->skip(socket_->bytesAvailable());
        return;
    }
    // The HTTP server reads inside a transaction and takes every byte it is given until the
    // request is whole, so what is available now is what arrived since the last call.
    const QByteArray fresh = socket_->peek(socket_->bytesAvailable());
    switch (
        meter_.Feed(std::string_view(fresh.constData(), static_cast<std::size_t>(fresh.size())))) {
        case RequestVerdict::Within:
            return;
        case RequestVerdict::HeadTooLarge:
            Refuse(QByteArrayLiteral("431 Request Header Fields Too Large"));
            return;
        case RequestVerdict::TooLarge:
            Refuse(QByteArrayLiteral("413 Content Too Large"));
            return;
    }
}

void RequestGuard::Refuse(const QByteArray& status) {
    if (answered_ || refused_) return;
    refused_ = true;
    timeout_.stop();
    // Nothing of the request is left for the parser, so no handler ever sees it.
    socket_->skip(socket_->bytesAvailable());
    if (listener_) listener_->LogRefusal(RefusalLine(socket_, status));
    socket_->write(WebListener::FixedAnswer(status));
    CloseAfterWriting(socket_);
}

WebListener::WebListener(const WebLimits& limits, AllowList preferred, QObject* parent)
    : QTcpServer(parent),
      limits_(limits),
      preferred_(std::move(preferred)),
      connections_(limits.maxConnections, limits.shareConnections) {}

void WebListener::LogRefusal(const QString& line) {
    refusals_.Write("--http", "connections refused", line.toStdString());
}

void WebListener::Answered(QTcpSocket* socket) {
    if (auto* guard = socket->findChild<RequestGuard*>(QString(), Qt::FindDirectChildrenOnly))
        guard->SetAnswered();
}

void WebListener::Streaming(QTcpSocket* socket) {
    if (auto* guard = socket->findChild<RequestGuard*>(QString(), Qt::FindDirectChildrenOnly))
        guard->SetStreaming();
}

QByteArray WebListener::FixedAnswer(const QByteArray& status) {
    const QByteArray body = status + '\n';
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           QByteArray::number(body.size()) +
           "\r\nX-Content-Type-Options: nosniff\r\nCross-Origin-Resource-Policy: "
           "same-origin\r\nConnection: close\r\n\r\n" +
           body;
}

void WebListener::incomingConnection(qintptr descriptor) {
    auto socket = std::make_unique<QTcpSocket>(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));  // the socket did not take it over
        return;
    }
    const std::string address = ShareKey(socket->peerAddress());
    auto verdict = connections_.Admit(address);
    using Admission = FairShare<QTcpSocket*>::Admission;
    bool stale = false;
    if (verdict.admission == Admission::RefuseFull) {
        auto place = std::optional<std::pair<QTcpSocket*, std::string>>();
        if (!preferred_.empty() && preferred_.Allows(socket->peerAddress())) {
            place = connections_.NewestWhere(
                [this](QTcpSocket* held) { return !preferred_.Allows(held->peerAddress()); });
        }
        if (!place) {
            place = connections_.NewestWhere([this](QTcpSocket* held) {
                const auto* guard =
                    held->findChild<RequestGuard*>(QString(), Qt::FindDirectChildrenOnly);
                return guard != nullptr && guard->Stale(limits_.requestGraceMs);
            });
            stale = place.has_value();
        }
        if (place) verdict = {Admission::TakeBack, place->first, place->second};
    }
    if (verdict.admission == Admission::RefuseShare || verdict.admission == Admission::RefuseFull) {
        // Never handed to the HTTP server: answered here and deleted once closed.
        QTcpSocket* refused = socket.release();
        connect(refused, &QTcpSocket::disconnected, refused, &QObject::deleteLater);
        const QByteArray status = QByteArrayLiteral("503 Service Unavailable");
        LogRefusal(RefusalLine(refused, status) +
                   (verdict.admission == Admission::RefuseShare
                        ? QStringLiteral(" (already %1 connections from %2)")
                              .arg(connections_.HeldBy(address))
                              .arg(QString::fromStdString(address))
                        : QStringLiteral(" (too many connections)")));
        refused->write(FixedAnswer(status));
        CloseAfterWriting(refused);
        return;
    }
    if (verdict.admission == Admission::TakeBack) {
        QTcpSocket* victim = verdict.victim;
        LogRefusal(stale
                       ? QStringLiteral("--http: %1 cut to make room for %2 (no whole request %3 s "
                                        "after it connected, and every one of the %4 connections "
                                        "taken)")
                             .arg(Endpoint(victim->peerAddress(), victim->peerPort()),
                                  Endpoint(socket->peerAddress(), socket->peerPort()))
                             .arg(limits_.requestGraceMs / 1000.0)
                             .arg(limits_.maxConnections)
                       : QStringLiteral("--http: %1 cut to make room for %2 (%3 held %4 of the %5 "
                                        "connections)")
                             .arg(Endpoint(victim->peerAddress(), victim->peerPort()),
                                  Endpoint(socket->peerAddress(), socket->peerPort()),
                                  QString::fromStdString(verdict.victimAddress))
                             .arg(connections_.HeldBy(verdict.victimAddress))
                             .arg(limits_.maxConnections));
        connections_.Release(victim);
        victim->abort();
        victim->deleteLater();
    }
    QTcpSocket* taken = socket.get();
    connections_.Hold(taken, address);
    // Only compared, never followed, once it is being destroyed.
    connect(taken, &QObject::destroyed, this, [this, taken] { connections_.Release(taken); });
    new RequestGuard(socket.get(), limits_, this);  // owned by the socket
    addPendingConnection(socket.release());
}

}  // namespace display
