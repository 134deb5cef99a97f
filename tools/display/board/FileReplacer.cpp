#include "FileReplacer.h"

#include <utility>

#include "common/Log.h"

namespace display {

FileReplacer::FileReplacer(std::shared_ptr<const StateFile> file)
    : file_(std::move(file)), thread_([this](const std::stop_token& stop) { Run(stop); }) {}

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
    std::string why;
    if (file_->Replace(content, &why)) {
        if (failed_) LogLine("the board is saved again in " + file_->path());
        failed_ = false;
        return true;
    }
    if (!failed_) {
        LogLine("cannot save the board in " + file_->path() + ": " + why +
                "; it will be tried again at the next change");
    }
    failed_ = true;
    return false;
}

}  // namespace display
