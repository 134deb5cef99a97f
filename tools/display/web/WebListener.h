#pragma once
// The TCP side of the display's web page server: takes connections for Qt's HTTP server and
// holds each one to the WebLimits before the HTTP server reads it.
//
// Connections are shared fairly between client addresses (see FairShare.h): a new connection
// from an address at its share, or from a new address while every address holds one, gets a
// fixed 503 answer and is closed, unread; a newcomer below its share while every slot is taken
// gets the oldest connection (a stream, perhaps) of the address that holds the most, which is
// cut. Many addresses holding one connection each would still fill every slot; so when all
// are taken, a newcomer from an address the viewers' allow list names (--http-allow, a tablet)
// gets the newest connection of an address it does not name; any newcomer gets one whose
// request is not whole within WebLimits::requestGraceMs, the newest of them first.
// Every other one gets a RequestGuard that meters its request as it arrives: a request past
// the byte or line bounds gets 431 or 413, one not whole within the request timeout gets 408,
// and the connection is closed; nothing of it reaches the HTTP server's handlers. Once the
// server has answered a request (WebListener::Answered), whatever more the client sends is
// read and dropped: each connection carries one request. The request timeout, counted from
// the connection's acceptance, covers the answer as well: a connection whose answer is not
// all taken by then is cut, so that a client that asks and never reads holds its slot no
// longer than one that never finishes asking. A stream (WebListener::Streaming) is no longer
// timed here: its viewer has a rule of its own (see WebViewer.h). Refusals are logged through
// LimitedLines, so that a flood of them writes a summary line now and then rather than a line
// each. Lives on the thread that made it.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <string>

#include "WebLimits.h"
#include "shared/AllowList.h"
#include "shared/FairShare.h"
#include "shared/LimitedLines.h"

namespace display {

class WebListener;

// Meters the request of one connection; a child of its socket. Logs a refusal through
// listener (not at all once the listener is gone).
class RequestGuard : public QObject {
    Q_OBJECT

  public:
    RequestGuard(QTcpSocket* socket, const WebLimits& limits, WebListener* listener);

    // The HTTP server has answered: drop any later bytes. The deadline still holds for the
    // answer.
    void SetAnswered();

    // The answer is a stream, which stays open: no deadline any more.
    void SetStreaming();

    // Its request is not whole (nor refused) graceMs after its connection opened.
    bool Stale(int graceMs) const;

  private:
    void Read();
    void Expire();
    void Refuse(const QByteArray& status);

    QTcpSocket* socket_;
    QPointer<WebListener> listener_;
    RequestMeter meter_;
    QTimer timeout_;
    QElapsedTimer opened_;
    bool answered_ = false;
    bool refused_ = false;
};

class WebListener : public QTcpServer {
    Q_OBJECT

  public:
    // preferred: the addresses whose newcomers go first when every place is taken (none when
    // it is empty).
    explicit WebListener(const WebLimits& limits, AllowList preferred = {},
                         QObject* parent = nullptr);

    // Marks socket's request as answered (see RequestGuard::SetAnswered). Does nothing for a
    // socket this listener did not make.
    static void Answered(QTcpSocket* socket);

    // Marks socket's answer as a stream (see RequestGuard::SetStreaming); the same.
    static void Streaming(QTcpSocket* socket);

    // A complete answer with this status line ("431 Request Header Fields Too Large"), a short
    // plain-text body, the headers every answer of the server has and "Connection: close".
    static QByteArray FixedAnswer(const QByteArray& status);

    // Writes line ("--http: <client> answered 503 ...") on stderr, or only counts it when
    // other refusals were written shortly before (see LimitedLines.h).
    void LogRefusal(const QString& line);

  protected:
    void incomingConnection(qintptr descriptor) override;

  private:
    WebLimits limits_;
    AllowList preferred_;
    FairShare<QTcpSocket*> connections_;  // the ones open now, viewers included
    LimitedLines refusals_;
};

}  // namespace display
