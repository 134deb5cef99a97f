#pragma once
// One page following the board: an open server-sent event stream on its socket.
//
// A viewer never holds the others or the receiver up: writes never block, and a viewer whose
// link is slower than the updates keeps at most one update waiting in Qt's buffer. Updates
// that come while it waits are folded into the latest, sent as soon as the link has taken
// the one before (each update carries the whole board, so nothing is lost but the steps in
// between). A viewer that has taken nothing for the stuck bound is closed. On Linux its link
// is also closed by the system once sent bytes went unacknowledged for the stuck bound, so a
// page that vanished without closing frees its place as well. A child of its socket; lives
// on the thread of the server.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTcpSocket>

#include "WebLimits.h"

namespace display {

class WebViewer : public QObject {
    Q_OBJECT

  public:
    // Takes socket over as a stream whose head has already been written.
    WebViewer(QTcpSocket* socket, const WebLimits& limits);

    // Sends event now, or as soon as the link has taken what it holds; a later Offer before
    // then replaces it.
    void Offer(const QByteArray& event);

    // Sends a keep-alive event when nothing waits; closes the viewer when its link has taken
    // nothing for the stuck bound.
    void Tick();

    // Ends the stream now (its place goes to another page), whatever it still holds.
    void Close();

  signals:
    // The stream ended (the page left, the link broke, or the viewer was closed as stuck or
    // by Close).
    void closed(display::WebViewer* viewer);

  private:
    void Drained();
    void Write(const QByteArray& bytes);

    QTcpSocket* socket_;
    WebLimits limits_;
    QByteArray waiting_;   // the latest update not yet given to the socket
    QElapsedTimer stuck_;  // since the link last took bytes while some were queued
    bool ended_ = false;
};

}  // namespace display
