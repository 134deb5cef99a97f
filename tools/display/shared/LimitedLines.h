#pragma once
// Writes lines on stderr through a LineLimiter: for each source and kind, the first of a burst
// whole and the rest only counted, and the count of a burst once its interval is over, even
// when no line follows to bring it out. Lives on the thread that made it.

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <string>

#include "LineLimiter.h"
#include "common/Log.h"

namespace display {

// How often, at most, one source writes a line of one kind.
inline constexpr std::chrono::milliseconds kLimitedLinesInterval{10000};

class LimitedLines {
  public:
    explicit LimitedLines(std::chrono::milliseconds interval = kLimitedLinesInterval)
        : limiter_(interval) {
        summary_.setSingleShot(true);
        QObject::connect(&summary_, &QTimer::timeout, [this] { Flush(); });
    }
    LimitedLines(const LimitedLines&) = delete;
    LimitedLines& operator=(const LimitedLines&) = delete;

    // Writes line, about source, or only counts it when a line of the same source and kind
    // (what the summary counts: "error answers") was written shortly before.
    void Write(const std::string& source, const std::string& what, const std::string& line) {
        for (const std::string& out : limiter_.Write(LineLimiter::Clock::now(), source, what, line))
            LogLine(out);
        Schedule();
    }

  private:
    void Flush() {
        for (const std::string& summary : limiter_.Due(LineLimiter::Clock::now()))
            LogLine(summary);
        Schedule();
    }

    void Schedule() {
        const auto due = limiter_.NextDue();
        if (summary_.isActive() || !due) return;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(*due - LineLimiter::Clock::now());
        summary_.start(std::max(left, std::chrono::milliseconds(0)));
    }

    LineLimiter limiter_;
    QTimer summary_;  // writes the counts of the last bursts once their intervals are over
};

}  // namespace display
