#include "BoardFollower.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "board/Palette.h"
#include "common/Log.h"

namespace display {

namespace {

// Past this, a stream's unfinished event is not a board: the stream is dropped.
constexpr qsizetype kMaxEventBytes = 1024 * 1024;

}  // namespace

std::optional<Board> BoardFromJson(std::string_view json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const int colour = object.value(QLatin1String("colour")).toInt(-1);
    if (!object.value(QLatin1String("text")).isString() || !IsPaletteIndex(colour)) {
        return std::nullopt;
    }
    Board board;
    board.text = object.value(QLatin1String("text")).toString().toStdString();
    board.scroll = object.value(QLatin1String("scroll")).toString().toStdString();
    board.registerName = object.value(QLatin1String("register")).toString().toStdString();
    board.total = object.value(QLatin1String("total")).toString().toStdString();
    board.qr = object.value(QLatin1String("qr")).toString().toStdString();
    board.qrCaption = object.value(QLatin1String("qrCaption")).toString().toStdString();
    board.colour = colour;
    return board;
}

BoardFollower::BoardFollower(const QUrl& url, QObject* parent)
    : QObject(parent), events_(url.resolved(QUrl(QStringLiteral("/events")))) {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] { Open(); });
    silence_.setSingleShot(true);
    silence_.setInterval(kSilenceMs);
    connect(&silence_, &QTimer::timeout, this,
            [this] { Ended(QStringLiteral("nothing came for %1 s").arg(kSilenceMs / 1000)); });
}

void BoardFollower::Start() {
    Open();
}

void BoardFollower::Open() {
    pending_.clear();
    QNetworkRequest request(events_);
    request.setRawHeader("Accept", "text/event-stream");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    reply_ = network_.get(request);
    connect(reply_, &QNetworkReply::readyRead, this, [this] { Read(); });
    connect(reply_, &QNetworkReply::finished, this, [this] {
        const QString why = reply_ && reply_->error() != QNetworkReply::NoError
                                ? reply_->errorString()
                                : QStringLiteral("the stream ended");
        Ended(why);
    });
    silence_.start();
}

void BoardFollower::Read() {
    if (!reply_) return;
    if (down_) {
        LogLine(
            QStringLiteral("--follow: following %1 again").arg(events_.toString()).toStdString());
        down_ = false;
    }
    silence_.start();
    pending_ += reply_->readAll();
    for (qsizetype end = pending_.indexOf("\n\n"); end >= 0; end = pending_.indexOf("\n\n")) {
        const QByteArray event = pending_.left(end);
        pending_.remove(0, end + 2);
        if (event.startsWith("event:")) continue;  // the keep-alive
        for (const QByteArray& line : event.split('\n')) {
            if (!line.startsWith("data: ")) continue;
            const QByteArray json = line.mid(6);
            if (const auto next = BoardFromJson(std::string_view(json.constData(), json.size()))) {
                emit board(*next);
                if (!up_) {
                    up_ = true;
                    emit linked(true);
                }
            }
        }
    }
    if (pending_.size() > kMaxEventBytes) Ended(QStringLiteral("an event too long"));
}

void BoardFollower::Ended(const QString& why) {
    silence_.stop();
    if (up_) {
        up_ = false;
        emit linked(false);
    }
    if (reply_) {
        QNetworkReply* ended = reply_;
        reply_ = nullptr;
        ended->disconnect(this);
        ended->abort();
        ended->deleteLater();  // never inside its own signal
    }
    if (!down_) {
        LogLine(QStringLiteral("--follow: %1 is not followed (%2); trying again every %3 s, the "
                               "last board stays")
                    .arg(events_.toString(), why)
                    .arg(kRetryMs / 1000)
                    .toStdString());
        down_ = true;
    }
    retry_.start();
}

}  // namespace display
