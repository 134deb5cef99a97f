#pragma once
// Replaces the state file (StateFile::Replace: a temporary file written, synced and renamed
// over it) on a thread of its own, so that a slow disk (an SD card may take tens of milliseconds to
// sync) never holds up the thread that shows the messages. Only the newest content counts: content
// handed over while a write runs replaces any that still waits. A failure is logged once, until
// a write succeeds again.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "StateFile.h"

namespace display {

class FileReplacer {
  public:
    explicit FileReplacer(std::shared_ptr<const StateFile> file);
    // Waits for what was handed over.
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // Hands the file's new content over and returns at once.
    void Replace(std::string content);

    // Waits until what was handed over is written, or failed; true when it was written.
    bool Wait();

  private:
    void Run(const std::stop_token& stop);
    bool Write(const std::string& content);

    const std::shared_ptr<const StateFile> file_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::optional<std::string> waiting_;
    bool writing_ = false;
    bool lastWritten_ = true;
    bool failed_ = false;  // only the thread's: the last write failed, and it was logged
    std::jthread thread_;  // last: starts once the rest is made
};

}  // namespace display
