#pragma once
// The display as a live web page, for a tablet or a TV with a browser facing the customer.
// Built on Qt's HTTP server; it only shows: no request changes the board.
//
//   GET /        the page (HTML, style and script in one document built into the program;
//                it asks for nothing but /events from where it came)
//   GET /state   the board as JSON (see WebBoard.h)
//   GET /events  a server-sent event stream: the whole board at once and at each change,
//                and a keep-alive event every heartbeat
//   GET /pictures/NAME  one of the shop's pictures the board names (its logo, its pictures),
//                which never changes under its name: browsers may keep it for a year
// HEAD on each gets the head the GET would get (for a stream, its head alone, and the
// connection closes). Other paths get 404, other methods on these paths 405. Each connection
// carries one request (answers say "Connection: close"), except a stream, which stays open.
//
// A request whose Host names another site gets 421 (see JudgeHost). Every answer says
// "X-Content-Type-Options: nosniff" and "Cross-Origin-Resource-Policy: same-origin", and the
// page's policy lets the browser run only the page's own script and style, by their hashes.
//
// The page's policy lets it show images from the display alone.
// Bounded by WebLimits: at most maxViewers streams at once and maxConnections connections,
// shared fairly between client addresses (see FairShare.h): a stream past an address's share
// gets 503, and a newcomer below it when every place is taken gets the oldest of the address
// that holds the most (connections likewise, a refused one gets 503 unread);
// requests past the byte and line bounds get 431 or 413, requests not whole in time 408 (see
// WebListener.h). A slow viewer never holds up the others or the receiver (see WebViewer.h).
// With an allow list of viewers (--http-allow), a stream asked for from elsewhere gets 403,
// so the places of the streams and their shares go to the allowed addresses alone.
// Lives on the thread that made it, as does everything it makes.

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtHttpServer/QAbstractHttpServer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HostField.h"
#include "WebLimits.h"
#include "board/Board.h"
#include "board/BoardView.h"
#include "shared/AllowList.h"
#include "shared/FairShare.h"

class QHttpServerRequest;
class QTcpSocket;

namespace display {

class WebListener;
class WebViewer;

class WebServer : public QAbstractHttpServer, public BoardView {
    Q_OBJECT

  public:
    // Serves an empty board until the first Show. Streams go only to the addresses viewers
    // allows (to every address when it is empty).
    explicit WebServer(const WebLimits& limits = {}, AllowList viewers = {},
                       QObject* parent = nullptr);
    ~WebServer() override;
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Starts listening (port 0 lets the system choose, see Address()). On failure returns
    // false and puts the reason in *error. Call once.
    // As Receiver::Listen, addressMissing included.
    bool Listen(const QHostAddress& address, quint16 port, QString* error,
                bool* addressMissing = nullptr);

    // Where it listens, "127.0.0.1:8080" or "[::1]:8080"; empty before Listen.
    QString Address() const;
    // The same as an address and a port; null and 0 before Listen.
    QHostAddress ListenedAddress() const;
    quint16 ListenedPort() const;

    // The page's addresses for other devices: "http://192.168.1.20:8080/" for the address
    // listened on, or for each network address of this machine when listening on all of
    // them. Empty when listening on loopback only.
    QStringList NetworkUrls() const;

    // True when other machines can reach the page (not bound to loopback).
    bool ServesNetwork() const;

    // Serves requests that give name (one HostName takes) as their Host, beside the ones the
    // server always takes. False, and nothing changes, when name is not a host.
    bool AcceptHostName(const QString& name);

    // Serves board from now on and sends it to every viewer.
    void Show(const Board& board) override;
    OutputState Health() const override;

    // Where /state learns how every output of the display is doing (itself included); without
    // it, /state lists this page alone.
    void ReportOutputs(std::function<std::vector<OutputState>()> outputs);

    // Where /pictures/NAME gets its pictures; without it, or for a name it does not know, the
    // answer is 404.
    struct ServedPicture {
        QByteArray type;  // "image/png"
        QByteArray bytes;
    };
    using PictureSource = std::function<std::optional<ServedPicture>(const std::string& name)>;
    void ServePictures(PictureSource pictures) { pictures_ = std::move(pictures); }

    // Streams open now.
    int viewers() const { return viewers_.held(); }

  signals:
    // A stream opened (a page began to follow the display) or ended; count is viewers().
    void viewersChanged(int count);

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    bool Misdirected(const QHttpServerRequest& request, QTcpSocket* socket);
    void Follow(const QHttpServerRequest& request, QTcpSocket* socket);
    void Forget(QObject* viewer);

    WebLimits limits_;
    AllowList viewersAllowed_;
    WebListener* listener_ = nullptr;  // a child, made by Listen
    QStringList hostNames_;
    QByteArray page_;
    QByteArray pagePolicy_;
    Board board_;  // for /state
    std::function<std::vector<OutputState>()> outputs_;
    PictureSource pictures_;
    QByteArray event_;
    FairShare<WebViewer*> viewers_;  // each a child of its socket, forgotten when it ends
    QTimer heartbeat_;
};

// When the page is served beyond this machine, says on stderr, in one line, where to open it.
void AnnounceNetworkPage(const WebServer& server);

}  // namespace display
