#include "BoardStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "common/Log.h"

namespace display {

namespace {

constexpr qint64 kMaxStateBytes = 1024 * 1024;

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
    if (!colour.isDouble() || !setAt.isDouble()) return std::nullopt;
    const int index = colour.toInt(-1);
    if (index < 0 || index > 15) return std::nullopt;
    SavedBoard saved;
    saved.board.text = object.value(QLatin1String("text")).toString().toStdString();
    saved.board.scroll = object.value(QLatin1String("scroll")).toString().toStdString();
    saved.board.registerName = object.value(QLatin1String("register")).toString().toStdString();
    saved.board.colour = index;
    saved.textSetAtMs = static_cast<std::int64_t>(setAt.toDouble());
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
    : QObject(parent), path_(std::move(path)), replacer_(path_) {
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
    QFile file(path_);
    if (!file.exists()) return std::nullopt;
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.read(kMaxStateBytes + 1);
    const auto saved = bytes.size() <= kMaxStateBytes ? Parse(bytes) : std::nullopt;
    if (saved) return saved;
    const QString aside = path_ + QStringLiteral(".damaged");
    QFile::remove(aside);
    const bool moved = QFile::rename(path_, aside);
    LogLine(QStringLiteral("the saved board in %1 is damaged or not ours; %2, and the display "
                           "starts empty")
                .arg(path_, moved ? QStringLiteral("set aside as ") + aside
                                  : QStringLiteral("left in place (") + file.errorString() +
                                        QLatin1Char(')'))
                .toStdString());
    return std::nullopt;
}

void BoardStore::Keep(const SavedBoard& saved) {
    waiting_ = saved;
    if (!gap_.isActive()) Write();  // the gap starts with this write
}

bool BoardStore::Flush() {
    gap_.stop();
    if (waiting_) Write();
    return replacer_.Wait();
}

void BoardStore::Write() {
    const SavedBoard saved = *waiting_;
    waiting_.reset();
    gap_.start();
    replacer_.Replace(StateJson(saved));
    ++writes_;
}

}  // namespace display
