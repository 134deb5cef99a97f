#include "FileReplacer.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

#include "common/Log.h"

namespace display {

FileReplacer::FileReplacer(QString path)
    : path_(std::move(path)), thread_([this](const std::stop_token& stop) { Run(stop); }) {}

FileReplacer::~FileReplacer() {
    Wait();
    thread_.request_stop();  // wakes the thread through changed_, which takes the stop token
}

void FileReplacer::Replace(std::string content) {
    {
        const std::lock_guard lock(mutex_);
        waiting_ = std::move(content);
    }
    changed_.notify_all();
}

bool FileReplacer::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !waiting_ && !writing_; });
    return lastWritten_;
}

void FileReplacer::Run(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (changed_.wait(lock, stop, [this] { return waiting_.has_value(); })) {
        const std::string content = std::move(*waiting_);
        waiting_.reset();
        writing_ = true;
        lock.unlock();
        const bool written = Write(content);
        lock.lock();
        writing_ = false;
        lastWritten_ = written;
        changed_.notify_all();
    }
}

bool FileReplacer::Write(const std::string& content) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    const auto size = static_cast<qint64>(content.size());
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(content.data(), size) == size && file.commit();
    if (written) {
        if (failed_)
            LogLine(QStringLiteral("the board is saved again in %1").arg(path_).toStdString());
        failed_ = false;
        return true;
    }
    if (!failed_) {
        LogLine(QStringLiteral("cannot save the board in %1: %2; it will be tried again at the "
                               "next change")
                    .arg(path_, file.errorString())
                    .toStdString());
    }
    failed_ = true;
    return false;
}

}  // namespace display
