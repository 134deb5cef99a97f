#include "WebServer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QtHttpServer/QHttpServerRequest>
#include <QtHttpServer/QHttpServerResponder>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include "WebBoard.h"
#include "WebListener.h"
#include "WebViewer.h"
#include "board/Regions.h"
#include "common/Log.h"
#include "shared/Peer.h"

namespace display {

namespace {

using Status = QHttpServerResponder::StatusCode;
using Headers = std::initializer_list<std::pair<QByteArray, QByteArray>>;

// Said on every answer: the browser takes each as the type it says it is, and lets no page of
// another site embed or read it.
const Headers kEveryAnswer = {{"X-Content-Type-Options", "nosniff"},
                              {"Cross-Origin-Resource-Policy", "same-origin"}};

// The 'sha256-...' sources of the contents of each <tag>...</tag> of page, as CSP hashes them
// (the browser reads CR LF and CR as LF before); 'none' when there is none.
QByteArray HashSources(const QByteArray& page, const QByteArray& tag) {
    const QByteArray open = '<' + tag;
    const QByteArray close = "</" + tag + '>';
    QByteArrayList sources;
    for (qsizetype at = page.indexOf(open); at >= 0; at = page.indexOf(open, at)) {
        const qsizetype start = page.indexOf('>', at);
        const qsizetype end = start < 0 ? -1 : page.indexOf(close, start);
        if (end < 0) break;
        QByteArray content = page.mid(start + 1, end - start - 1);
        content.replace("\r\n", "\n").replace('\r', '\n');
        sources << "'sha256-" +
                       QCryptographicHash::hash(content, QCryptographicHash::Sha256).toBase64() +
                       '\'';
        at = end + close.size();
    }
    return sources.isEmpty() ? QByteArrayLiteral("'none'") : sources.join(' ');
}

// The page may run its own inline script and style, no other, and talk back to where it came
// from; nothing else, so it can never ask anything of the outside.
QByteArray PagePolicy(const QByteArray& page) {
    return "default-src 'none'; script-src " + HashSources(page, "script") + "; style-src " +
           HashSources(page, "style") +
           "; connect-src 'self'; img-src 'self' data:; base-uri 'none'; form-action 'none'; "
           "frame-ancestors 'none'";
}

// How long a page waits before it reconnects on its own after a dropped stream.
const QByteArray kRetry = QByteArrayLiteral("retry: 2000\n\n");

QByteArray LoadPage() {
    QFile file(QStringLiteral(":/web/display.html"));
    if (!file.open(QIODevice::ReadOnly)) {
        LogLine("--http: the page is missing from the program; / answers 500");
        return {};
    }
    // The regions' shares, from the one rule every output follows (board/Regions.h).
    QByteArray page = file.readAll();
    page.replace("@HEADER_SHARE@", QByteArray::number(kHeaderShare * 100) + "vh");
    page.replace("@BAND_LANDSCAPE@", QByteArray::number(kBandShareLandscape * 100) + "vh");
    page.replace("@BAND_PORTRAIT@", QByteArray::number(kBandSharePortrait * 100) + "vh");
    page.replace("@SALE_ROWS@", QByteArray::number(kSaleRowsAtMost));
    page.replace("@TOTAL_SCALE@", QByteArray::number(kTotalScale));
    page.replace("@LOGO_SHARE@", QByteArray::number(kLogoShare * 100) + "%");
    return page;
}

bool IsHead(const QHttpServerRequest& request) {
    return request.method() == QHttpServerRequest::Method::Head;
}

// One whole answer, after which the connection closes. A HEAD request gets the same head,
// Content-Length included, and no body.
void Answer(QHttpServerResponder responder, const QHttpServerRequest& request, Status status,
            const QByteArray& type, const QByteArray& body, Headers extra = {},
            const QByteArray& cache = "no-store") {
    responder.writeStatusLine(status);
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", cache);
    responder.writeHeaders(kEveryAnswer);
    responder.writeHeader("Connection", "close");
    responder.writeHeaders(extra);
    responder.writeBody(IsHead(request) ? QByteArray() : body);  // ends the head in any case
    responder.socket()->disconnectFromHost();
}

void AnswerText(QHttpServerResponder responder, const QHttpServerRequest& request, Status status,
                const QByteArray& text, Headers extra = {}) {
    Answer(std::move(responder), request, status, "text/plain; charset=utf-8", text + '\n', extra);
}

// A request to switch to a WebSocket: Qt's server would hand it over after the handler only
// when something takes WebSockets, which nothing here does.
bool IsUpgrade(const QHttpServerRequest& request) {
    return !request.value("upgrade").isEmpty() &&
           request.value("connection").toLower().contains("upgrade");
}

bool IsAny(const QHostAddress& address) {
    return address == QHostAddress::Any || address == QHostAddress::AnyIPv4 ||
           address == QHostAddress::AnyIPv6;
}

}  // namespace

WebServer::WebServer(const WebLimits& limits, AllowList viewers, QObject* parent)
    : QAbstractHttpServer(parent),
      limits_(limits),
      viewersAllowed_(std::move(viewers)),
      page_(LoadPage()),
      pagePolicy_(PagePolicy(page_)),
      viewers_(limits.maxViewers, limits.shareViewers) {
    // Qt's server warns, unprefixed, of each upgrade request nothing takes; this server
    // answers and logs those itself (QT_LOGGING_RULES still turns them back on).
    QLoggingCategory::setFilterRules(QStringLiteral("qt.httpserver.warning=false"));
    Show(Board{});
    heartbeat_.setInterval(limits_.heartbeatMs);
    connect(&heartbeat_, &QTimer::timeout, this, [this] {
        const auto viewers = viewers_.Holders();  // a tick may end a viewer
        for (WebViewer* viewer : viewers)
            viewer->Tick();
    });
    heartbeat_.start();
}

WebServer::~WebServer() {
    // The sockets, and their viewers with them, go with the listener; nothing to tell them.
    for (WebViewer* viewer : viewers_.Holders())
        viewer->disconnect(this);
}

bool WebServer::Listen(const QHostAddress& address, quint16 port, QString* error,
                       bool* addressMissing) {
    auto listener = std::make_unique<WebListener>(limits_, viewersAllowed_);
    if (!listener->listen(address, port)) {
        if (error) *error = listener->errorString();
        if (addressMissing) {
            *addressMissing =
                listener->serverError() == QAbstractSocket::SocketAddressNotAvailableError;
        }
        return false;
    }
    listener_ = listener.get();
    bind(listener.release());  // the HTTP server takes it as a child
    return true;
}

QString WebServer::Address() const {
    if (!listener_) return {};
    return Endpoint(listener_->serverAddress(), listener_->serverPort());
}

QHostAddress WebServer::ListenedAddress() const {
    return listener_ ? listener_->serverAddress() : QHostAddress();
}

quint16 WebServer::ListenedPort() const {
    return listener_ ? listener_->serverPort() : 0;
}

bool WebServer::ServesNetwork() const {
    return listener_ && !listener_->serverAddress().isLoopback();
}

QStringList WebServer::NetworkUrls() const {
    QStringList urls;
    if (!listener_) return urls;
    const QHostAddress bound = listener_->serverAddress();
    const quint16 port = listener_->serverPort();
    if (bound.isLoopback()) return urls;
    if (!IsAny(bound)) return {QStringLiteral("http://%1/").arg(Endpoint(bound, port))};
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.isLoopback() || address.isLinkLocal()) continue;
        if (bound == QHostAddress::AnyIPv4 && address.protocol() != QAbstractSocket::IPv4Protocol) {
            continue;
        }
        urls << QStringLiteral("http://%1/").arg(Endpoint(address, port));
    }
    return urls;
}

bool WebServer::AcceptHostName(const QString& name) {
    const QString host = HostName(name);
    if (host.isEmpty()) return false;
    if (!hostNames_.contains(host)) hostNames_ << host;
    return true;
}

void WebServer::Show(const Board& board) {
    board_ = board;
    const std::string json = BoardJson(board);
    event_ = QByteArray::fromStdString(BoardEvent(json));
    const auto viewers = viewers_.Holders();  // a write may end a viewer
    for (WebViewer* viewer : viewers)
        viewer->Offer(event_);
}

OutputState WebServer::Health() const {
    return {"web", Address().toStdString(), true};
}

void WebServer::ReportOutputs(std::function<std::vector<OutputState>()> outputs) {
    outputs_ = std::move(outputs);
}

bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    WebListener::Answered(socket);
    // Qt's server hands an upgrade request to missingHandler whatever this returns.
    if (IsUpgrade(request)) return false;  // missingHandler refuses it
    if (Misdirected(request, socket)) return true;
    const QString path = request.url().path();
    const QLatin1String picturesPath("/pictures/");
    const bool known = path == QLatin1String("/") || path == QLatin1String("/state") ||
                       path == QLatin1String("/events") || path.startsWith(picturesPath);
    if (!known) return false;  // missingHandler answers 404
    if (request.method() != QHttpServerRequest::Method::Get && !IsHead(request)) {
        // Nothing here takes anything: the board only changes by the display's own link.
        AnswerText(makeResponder(request, socket), request, Status::MethodNotAllowed,
                   "only GET and HEAD are served here", {{"Allow", "GET, HEAD"}});
    } else if (path == QLatin1String("/")) {
        if (page_.isEmpty()) {
            AnswerText(makeResponder(request, socket), request, Status::InternalServerError,
                       "the page is missing from the program");
        } else {
            Answer(makeResponder(request, socket), request, Status::Ok, "text/html; charset=utf-8",
                   page_,
                   {{"Content-Security-Policy", pagePolicy_}, {"Referrer-Policy", "no-referrer"}});
        }
    } else if (path.startsWith(picturesPath)) {
        const auto picture =
            pictures_ ? pictures_(path.mid(picturesPath.size()).toStdString()) : std::nullopt;
        if (!picture) {
            AnswerText(makeResponder(request, socket), request, Status::NotFound, "not found");
        } else {
            // Its name is its content's hash: it never changes under that name.
            Answer(makeResponder(request, socket), request, Status::Ok, picture->type,
                   picture->bytes, {}, "public, max-age=31536000, immutable");
        }
    } else if (path == QLatin1String("/state")) {
        const auto outputs = outputs_ ? outputs_() : std::vector<OutputState>{Health()};
        Answer(makeResponder(request, socket), request, Status::Ok,
               "application/json; charset=utf-8",
               QByteArray::fromStdString(StateAnswer(board_, outputs)));
    } else {
        Follow(request, socket);
    }
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    WebListener::Answered(socket);
    if (Misdirected(request, socket)) return;
    if (IsUpgrade(request)) {
        listener_->LogRefusal(
            QStringLiteral("--http: %1 asked for a protocol switch (%2), answered 400")
                .arg(Endpoint(socket->peerAddress(), socket->peerPort()),
                     QString::fromLatin1(Excerpt(request.value("upgrade").toStdString(), 40))));
        AnswerText(makeResponder(request, socket), request, Status::BadRequest,
                   "no protocol switch here: the board's updates are server-sent events at "
                   "/events");
        return;
    }
    AnswerText(makeResponder(request, socket), request, Status::NotFound, "not found");
}

bool WebServer::Misdirected(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QByteArray host = request.value("host");
    const HostRule rule{listener_->serverAddress().isLoopback(), hostNames_};
    const HostVerdict verdict = JudgeHost(host, rule, socket->localAddress());
    if (verdict == HostVerdict::Served) return false;
    const bool misdirected = verdict == HostVerdict::Misdirected;
    listener_->LogRefusal(QStringLiteral("--http: %1 answered %2 (Host \"%3\"%4)")
                              .arg(Endpoint(socket->peerAddress(), socket->peerPort()),
                                   misdirected ? QStringLiteral("421") : QStringLiteral("400"),
                                   QString::fromLatin1(Excerpt(host.toStdString(), 60)),
                                   misdirected ? QStringLiteral(" is not a name of this display")
                                               : QStringLiteral(" is not a host")));
    if (misdirected) {
        AnswerText(makeResponder(request, socket), request, Status::MisdirectedRequest,
                   "this display is not served under that name");
    } else {
        AnswerText(makeResponder(request, socket), request, Status::BadRequest,
                   "the Host field is not a host and port");
    }
    return true;
}

void WebServer::Follow(const QHttpServerRequest& request, QTcpSocket* socket) {
    const Headers streamHead = {{"Content-Type", "text/event-stream; charset=utf-8"},
                                {"Cache-Control", "no-store"},
                                {"X-Accel-Buffering", "no"}};
    if (IsHead(request)) {
        // The stream's head alone: nothing follows, and no viewer's place is taken.
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(Status::Ok);
        responder.writeHeaders(streamHead);
        responder.writeHeaders(kEveryAnswer);
        responder.writeHeader("Connection", "close");
        responder.writeBody(QByteArray());
        socket->disconnectFromHost();
        return;
    }
    const QString peer = Endpoint(socket->peerAddress(), socket->peerPort());
    if (!viewersAllowed_.Allows(socket->peerAddress())) {
        listener_->LogRefusal(
            QStringLiteral("--http: %1 answered 403 (a page following from outside --http-allow)")
                .arg(peer));
        AnswerText(makeResponder(request, socket), request, Status::Forbidden,
                   "this address may not follow the display (--http-allow)", {});
        return;
    }
    const std::string address = ShareKey(socket->peerAddress());
    const auto verdict = viewers_.Admit(address);
    using Admission = FairShare<WebViewer*>::Admission;
    if (verdict.admission == Admission::RefuseShare || verdict.admission == Admission::RefuseFull) {
        const bool share = verdict.admission == Admission::RefuseShare;
        listener_->LogRefusal(
            QStringLiteral("--http: %1 answered 503 (already %2 pages following%3)")
                .arg(peer)
                .arg(share ? viewers_.HeldBy(address) : viewers())
                .arg(share ? QStringLiteral(" from %1").arg(QString::fromStdString(address))
                           : QString()));
        AnswerText(makeResponder(request, socket), request, Status::ServiceUnavailable,
                   "too many viewers at once", {{"Retry-After", "5"}});
        return;
    }
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(Status::Ok);
    responder.writeHeaders(streamHead);
    responder.writeHeaders(kEveryAnswer);
    responder.writeBody(kRetry);
    socket->flush();
    // A page that has already left (a reset right after asking) follows nothing and takes no
    // other page's place. Its socket is closed by now: by Qt, from inside flush(), when the
    // write fails, or before this handler ran, when Qt's server read the request before the
    // reset. The HTTP server deletes it once the handler returns.
    if (socket->state() != QAbstractSocket::ConnectedState) return;
    if (verdict.admission == Admission::TakeBack) {
        // The page whose place is taken reconnects by itself, and is turned away or takes a
        // place back in turn as the shares say.
        WebViewer* victim = verdict.victim;
        listener_->LogRefusal(
            QStringLiteral("--http: the oldest page from %1 closed to make room for %2 (%1 had "
                           "%3 of the %4 pages following)")
                .arg(QString::fromStdString(verdict.victimAddress), peer)
                .arg(viewers_.HeldBy(verdict.victimAddress))
                .arg(limits_.maxViewers));
        viewers_.Release(victim);
        victim->Close();
    }
    // The stream is the viewer's from now on: the HTTP server reads no further request
    // from it (the guard drops whatever the page might still send).
    QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    WebListener::Streaming(socket);
    auto* viewer = new WebViewer(socket, limits_);  // owned by the socket
    connect(viewer, &WebViewer::closed, this, [this](WebViewer* ended) { Forget(ended); });
    connect(viewer, &QObject::destroyed, this, [this](QObject* gone) { Forget(gone); });
    viewers_.Hold(viewer, address);
    viewer->Offer(event_);
    emit viewersChanged(viewers());
}

void WebServer::Forget(QObject* viewer) {
    const int before = viewers();
    viewers_.ReleaseIf([viewer](WebViewer* v) { return static_cast<QObject*>(v) == viewer; });
    if (viewers() != before) emit viewersChanged(viewers());
}

void AnnounceNetworkPage(const WebServer& server) {
    if (!server.ServesNetwork()) return;
    const QStringList urls = server.NetworkUrls();
    if (urls.isEmpty()) {
        LogLine(QStringLiteral("the display page is served to the network on %1, but this "
                               "machine has no network address yet")
                    .arg(server.Address())
                    .toStdString());
        return;
    }
    LogLine(QStringLiteral("the display page is served to the network: open %1 on the tablet")
                .arg(urls.join(QStringLiteral(" or ")))
                .toStdString());
}

}  // namespace display
