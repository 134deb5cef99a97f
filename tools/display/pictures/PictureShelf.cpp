#include "PictureShelf.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

#include "common/Log.h"

namespace display {

namespace {

void Skipped(const QString& option, const QString& path, const std::string& why) {
    LogLine(option.toStdString() + ": " + path.toStdString() + " skipped: " + why);
}

}  // namespace

PictureShelf::PictureShelf(QString logo, QString folder, Loaded loaded, PictureLimits limits,
                           QObject* parent)
    : QObject(parent), loaded_(std::move(loaded)) {
    reader_ = std::jthread([this, logo = std::move(logo), folder = std::move(folder),
                            limits](const std::stop_token& stop) {
        Read read = ReadAll(logo, folder, limits, stop);
        if (stop.stop_requested()) return;
        QMetaObject::invokeMethod(
            this, [this, read = std::move(read)]() mutable { Take(std::move(read)); },
            Qt::QueuedConnection);
    });
}

PictureShelf::~PictureShelf() = default;

const Picture* PictureShelf::Find(const std::string& name) const {
    const auto found = byName_.find(name);
    return found == byName_.end() ? nullptr : &found->second;
}

PictureShelf::Read PictureShelf::ReadAll(const QString& logo, const QString& folder,
                                         const PictureLimits& limits, const std::stop_token& stop) {
    Read read;
    if (!logo.isEmpty()) {
        auto picture = ReadPicture(logo, limits);
        if (auto* why = std::get_if<std::string>(&picture)) {
            Skipped(QStringLiteral("--logo"), logo, *why);
        } else {
            read.logo = std::get<Picture>(picture).name;
            read.pictures.push_back(std::move(std::get<Picture>(picture)));
        }
    }
    if (folder.isEmpty()) return read;
    const QDir dir(folder);
    if (!dir.exists()) {
        LogLine("--pictures: " + folder.toStdString() +
                " is not a folder this display can read; no pictures");
        return read;
    }
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System,
                                                  QDir::Name | QDir::LocaleAware);
    int taken = 0;
    for (const QFileInfo& file : files) {
        if (stop.stop_requested()) break;
        if (file.fileName().startsWith(QLatin1Char('.'))) continue;  // an editor's or a copy's
        if (taken == kMostPictures) {
            LogLine("--pictures: " + folder.toStdString() + " holds more than " +
                    std::to_string(kMostPictures) + " pictures; the first " +
                    std::to_string(kMostPictures) + " show");
            break;
        }
        auto picture = ReadPicture(file.filePath(), limits);
        if (auto* why = std::get_if<std::string>(&picture)) {
            Skipped(QStringLiteral("--pictures"), file.filePath(), *why);
            continue;
        }
        read.pictures.push_back(std::move(std::get<Picture>(picture)));
        ++taken;
    }
    return read;
}

void PictureShelf::Take(Read read) {
    std::vector<std::string> names;
    for (Picture& picture : read.pictures) {
        std::string name = picture.name;
        if (name != read.logo) names.push_back(name);
        byName_.insert_or_assign(std::move(name), std::move(picture));
    }
    if (loaded_) loaded_(std::move(read.logo), std::move(names));
}

}  // namespace display
