#pragma once
// Writes a listener's lines about refused connections on stderr through a RefusalLog: the
// first of a burst whole, the rest only counted, and the count of a burst once its interval
// is over, even when no refusal follows to bring it out. Lives on the thread that made it.

#include <QString>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "RefusalLog.h"
#include "common/Log.h"

namespace display {

// How often, at most, a flood of refused connections writes a line.
inline constexpr std::chrono::milliseconds kRefusalLogInterval{10000};

class RefusalLines {
  public:
    // source starts the summary lines ("--http", "--listen").
    explicit RefusalLines(std::string source,
                          std::chrono::milliseconds interval = kRefusalLogInterval)
        : log_(interval, std::move(source)) {
        summary_.setSingleShot(true);
        QObject::connect(&summary_, &QTimer::timeout, [this] { Flush(); });
    }
    RefusalLines(const RefusalLines&) = delete;
    RefusalLines& operator=(const RefusalLines&) = delete;

    // Writes line, or only counts it when other refusals were written shortly before.
    void Write(const QString& line) {
        for (const std::string& out : log_.Refused(RefusalLog::Clock::now(), line.toStdString()))
            LogLine(out);
        Schedule();
    }

  private:
    void Flush() {
        if (const std::string summary = log_.Due(RefusalLog::Clock::now()); !summary.empty())
            LogLine(summary);
        Schedule();
    }

    void Schedule() {
        if (summary_.isActive() || !log_.counting()) return;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(log_.intervalEnd() -
                                                                       RefusalLog::Clock::now());
        summary_.start(std::max(left, std::chrono::milliseconds(0)));
    }

    RefusalLog log_;
    QTimer summary_;  // writes the count of the last burst once its interval is over
};

}  // namespace display
