#include "BoardStore.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "Palette.h"
#include "common/Log.h"

namespace display {

namespace {

// Three texts of a message's bound, each character escaped by the worst case (\uXXXX).
constexpr std::size_t kMaxStateBytes = 4 * 1024 * 1024;
// When a text was set, in milliseconds since 1970 (a machine without a clock may start in
// 1970): a whole number JSON holds exactly, or damage.
constexpr double kMostSetAtMs = 9007199254740992.0;  // 2^53

// A text no message could have made: longer than a message's bytes in characters.
bool TooLong(const QString& text) {
    return static_cast<std::size_t>(text.size()) > kMaxMessageBytes &&
           static_cast<std::size_t>(text.toUcs4().size()) > kMaxMessageBytes;
}

std::optional<SavedBoard> Parse(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    if (object.value(QLatin1String(kStateFormat)).toInt(-1) != kStateVersion) return std::nullopt;
    const QJsonValue colour = object.value(QLatin1String("colour"));
    const QJsonValue setAt = object.value(QLatin1String("textSetAt"));
    for (const char* key : {"text", "scroll", "register"}) {
        if (!object.value(QLatin1String(key)).isString()) return std::nullopt;
    }
    for (const char* key : {"text", "scroll", "register"}) {
        if (TooLong(object.value(QLatin1String(key)).toString())) return std::nullopt;
    }
    if (!colour.isDouble() || !setAt.isDouble()) return std::nullopt;
    const int index = colour.toInt(-1);
    if (!IsPaletteIndex(index)) return std::nullopt;
    // A number past what an integer holds converts to nothing defined.
    const double setAtMs = setAt.toDouble();
    if (!std::isfinite(setAtMs) || std::fabs(setAtMs) > kMostSetAtMs ||
        setAtMs != std::trunc(setAtMs))
        return std::nullopt;
    SavedBoard saved;
    saved.board.text = object.value(QLatin1String("text")).toString().toStdString();
    saved.board.scroll = object.value(QLatin1String("scroll")).toString().toStdString();
    saved.board.registerName = object.value(QLatin1String("register")).toString().toStdString();
    // Written since the sale's total came in; a file without it has none.
    const QJsonValue total = object.value(QLatin1String("total"));
    if (!total.isUndefined()) {
        const std::string text = total.toString().toStdString();
        if (!total.isString() || !protocol::AmountsOf(text)) return std::nullopt;
        saved.board.total = text;
    }
    // Written since the QR code came in; a file without them has none.
    const QJsonValue qr = object.value(QLatin1String("qr"));
    const QJsonValue qrCaption = object.value(QLatin1String("qrCaption"));
    if (!qr.isUndefined() || !qrCaption.isUndefined()) {
        if (!qr.isString() || !qrCaption.isString()) return std::nullopt;
        const std::string payload = qr.toString().toStdString();
        const std::string caption = qrCaption.toString().toStdString();
        if (payload.size() > protocol::kMaxQrPayloadBytes ||
            caption.find_first_of("\r\n") != std::string::npos || TooLong(qrCaption.toString()))
            return std::nullopt;
        saved.board.qr = payload;
        saved.board.qrCaption = payload.empty() ? std::string() : caption;
    }
    saved.board.colour = index;
    saved.textSetAtMs = static_cast<std::int64_t>(setAtMs);
    return saved;
}

}  // namespace

QString DefaultStatePath(quint16 port) {
    if (port == 0) return {};
    QString folder = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (folder.isEmpty()) {
        QString base = qEnvironmentVariable("XDG_STATE_HOME");
        if (base.isEmpty() || QDir::isRelativePath(base)) {
            base = qEnvironmentVariable("HOME") + QStringLiteral("/.local/state");
        }
        folder = base + QStringLiteral("/afficheur");
    }
    return folder + QStringLiteral("/display-%1.json").arg(port);
}

BoardStore::BoardStore(QString path, int minGapMs, QObject* parent)
    : QObject(parent), path_(std::move(path)) {
    if (auto file = StateFile::Open(path_.toStdString(), &refused_)) {
        file_ = std::make_shared<const StateFile>(std::move(*file));
        replacer_ = std::make_unique<FileReplacer>(file_);
    }
    gap_.setSingleShot(true);
    gap_.setInterval(minGapMs);
    gap_.setTimerType(Qt::PreciseTimer);  // a coarse timer may end 5% early: more writes a second
    connect(&gap_, &QTimer::timeout, this, [this] {
        if (waiting_) Write();
    });
}

BoardStore::~BoardStore() {
    Flush();
}

std::optional<SavedBoard> BoardStore::Load() {
    if (!file_) return std::nullopt;
    const StateFile::Content content = file_->Read(kMaxStateBytes);
    using Kind = StateFile::Content::Kind;
    if (content.kind == Kind::Missing) return std::nullopt;
    if (content.kind == Kind::Refused) {
        LogLine("the saved board in " + file_->path() + " " + content.why +
                "; it is left as it is, and the display starts empty");
        return std::nullopt;
    }
    const auto saved =
        content.tooLarge ? std::nullopt
                         : Parse(QByteArray::fromRawData(
                               content.bytes.data(), static_cast<qsizetype>(content.bytes.size())));
    if (saved) return saved;
    std::string why;
    const auto aside = file_->SetAside(&why);
    LogLine("the saved board in " + file_->path() + " is damaged or not ours; " +
            (aside ? "set aside as " + *aside : "left in place (" + why + ")") +
            ", and the display starts empty");
    return std::nullopt;
}

void BoardStore::Keep(const SavedBoard& saved) {
    waiting_ = saved;
    if (!gap_.isActive()) Write();  // the gap starts with this write
}

bool BoardStore::Flush() {
    gap_.stop();
    if (waiting_) Write();
    return !replacer_ || replacer_->Wait();
}

void BoardStore::Write() {
    const SavedBoard saved = *waiting_;
    waiting_.reset();
    if (!replacer_) return;
    gap_.start();
    replacer_->Replace(StateJson(saved));
    ++writes_;
}

}  // namespace display
