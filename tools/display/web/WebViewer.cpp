#include "WebViewer.h"

#if defined(__linux__)
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/Log.h"
#include "shared/Peer.h"

namespace display {

namespace {

// A named event the page counts as a sign of life (comments are not seen by pages).
const QByteArray kKeepAlive = QByteArrayLiteral("event: ping\ndata: -\n\n");

// The keep-alive events fit in the system's send buffer, so Qt's buffer never shows a page
// that vanished without closing (a tablet off the Wi-Fi): the system would go on resending
// for about 15 minutes, the page keeping its place all along. Bounding how long sent bytes
// may go unacknowledged makes the system give up on it within the stuck bound instead.
void BoundUnacknowledged(QTcpSocket* socket, int milliseconds) {
#if defined(__linux__) && defined(TCP_USER_TIMEOUT)
    const auto bound = static_cast<unsigned int>(milliseconds);
    if (::setsockopt(static_cast<int>(socket->socketDescriptor()), IPPROTO_TCP, TCP_USER_TIMEOUT,
                     &bound, sizeof bound) != 0) {
        LogLine(QStringLiteral("--http: the page at %1 may hold its place long after it "
                               "vanishes: cannot bound its link's timeout (%2)")
                    .arg(Endpoint(socket->peerAddress(), socket->peerPort()),
                         QString::fromLocal8Bit(std::strerror(errno)))
                    .toStdString());
    }
#else
    (void)socket;
    (void)milliseconds;
#endif
}

}  // namespace

WebViewer::WebViewer(QTcpSocket* socket, const WebLimits& limits)
    : QObject(socket), socket_(socket), limits_(limits) {
    BoundUnacknowledged(socket_, limits_.stuckViewerMs);
    connect(socket_, &QTcpSocket::bytesWritten, this, [this] { Drained(); });
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        if (ended_) return;
        ended_ = true;
        emit closed(this);
    });
}

void WebViewer::Offer(const QByteArray& event) {
    if (ended_) return;
    if (socket_->bytesToWrite() > 0) {
        waiting_ = event;  // the link has not taken the last one yet
        return;
    }
    Write(event);
}

void WebViewer::Tick() {
    if (ended_) return;
    if (socket_->bytesToWrite() == 0) {
        Write(kKeepAlive);
        return;
    }
    if (stuck_.isValid() && stuck_.elapsed() >= limits_.stuckViewerMs) {
        LogLine(QStringLiteral("--http: the page at %1 took nothing for %2 s and was dropped")
                    .arg(Endpoint(socket_->peerAddress(), socket_->peerPort()))
                    .arg(static_cast<double>(stuck_.elapsed()) / 1000.0, 0, 'f', 1)
                    .toStdString());
        Close();
    }
}

void WebViewer::Close() {
    if (ended_) return;
    ended_ = true;
    emit closed(this);
    socket_->abort();
}

void WebViewer::Drained() {
    if (socket_->bytesToWrite() > 0) {
        stuck_.start();  // the link took some: not stuck, only slow
        return;
    }
    stuck_.invalidate();
    if (!waiting_.isEmpty()) Write(std::exchange(waiting_, QByteArray()));
}

void WebViewer::Write(const QByteArray& bytes) {
    socket_->write(bytes);
    // Hands the bytes to the system now rather than at the next turn of the event loop;
    // never blocks, what the system does not take stays in Qt's buffer.
    socket_->flush();
    if (socket_->bytesToWrite() > 0 && !stuck_.isValid()) stuck_.start();
    if (socket_->bytesToWrite() == 0) stuck_.invalidate();
}

}  // namespace display
