#pragma once
// The board taken from another display's page: a viewer of its event stream (GET /events),
// as the page in a tablet's browser is. For the customer's monitor of a shop whose display
// runs as a service: the service owns the message port, and the monitor in the user's session
// shows the same board. Keeps one stream open; when it cannot connect or the stream ends it
// logs one line and tries again every 2 s, and keeps showing the last board meanwhile. Lives
// on the thread that made it.

#include <QByteArray>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <string_view>

#include "board/Board.h"

class QNetworkReply;

namespace display {

// The board in one event's JSON (the page's format: text, scroll, register, colour); nothing
// when it is not a board.
std::optional<Board> BoardFromJson(std::string_view json);

class BoardFollower : public QObject {
    Q_OBJECT

  public:
    static constexpr int kRetryMs = 2000;
    // A stream that brings nothing, not even the keep-alive, for this long is taken as gone.
    static constexpr int kSilenceMs = 45000;

    // Follows the page at url ("http://127.0.0.1:8080/"; its /events is read).
    explicit BoardFollower(const QUrl& url, QObject* parent = nullptr);

    // Opens the stream; later attempts follow on their own.
    void Start();

  signals:
    // A board came, whole (at the stream's start and at each change).
    void board(const display::Board& board);
    // The stream brings boards (up), or is lost and being tried again (not up).
    void linked(bool up);

  private:
    void Open();
    void Read();
    void Ended(const QString& why);

    QUrl events_;
    QNetworkAccessManager network_;
    QPointer<QNetworkReply> reply_;
    QByteArray pending_;
    QTimer retry_;
    QTimer silence_;
    bool down_ = false;  // the loss is logged; the next stream logs its return
    bool up_ = false;    // a board came on the stream open now
};

}  // namespace display
