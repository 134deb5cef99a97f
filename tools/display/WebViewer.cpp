#include "WebViewer.h"

#include <utility>

#include "Receiver.h"
#include "common/Log.h"

namespace display {

namespace {

// A named event the page counts as a sign of life (comments are not seen by pages).
const QByteArray kKeepAlive = QByteArrayLiteral("event: ping\ndata: -\n\n");

}  // namespace

WebViewer::WebViewer(QTcpSocket* socket, const WebLimits& limits)
    : QObject(socket), socket_(socket), limits_(limits) {
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

bool WebViewer::Tick() {
    if (ended_) return false;
    if (socket_->bytesToWrite() == 0) {
        Write(kKeepAlive);
        return true;
    }
    if (stuck_.isValid() && stuck_.elapsed() >= limits_.stuckViewerMs) {
        LogLine(QStringLiteral("--http: the page at %1 took nothing for %2 s and was dropped")
                    .arg(Endpoint(socket_->peerAddress(), socket_->peerPort()))
                    .arg(static_cast<double>(stuck_.elapsed()) / 1000.0, 0, 'f', 1)
                    .toStdString());
        ended_ = true;
        emit closed(this);
        socket_->abort();
        return false;
    }
    return true;
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
