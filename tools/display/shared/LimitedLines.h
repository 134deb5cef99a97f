#pragma once
// A LineLimiter on the clock: for each source and kind, the first line of a burst goes out
// whole and the rest are only counted, and the count of a burst goes out once its interval is
// over, even when no line follows to bring it out. By default the lines and the counts are
// lines on stderr; a log of its own (the message log's refusals) takes the counts as values
// and writes them its way. Lives on the thread that made it.

#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

#include "LineLimiter.h"

namespace display {

// How often, at most, one source writes a line of one kind.
inline constexpr std::chrono::milliseconds kLimitedLinesInterval{10000};

class LimitedLines {
  public:
    // Takes each count of a burst once its interval is over.
    using SummaryWriter = std::function<void(const LineLimiter::Summary&)>;

    // Counts go to stderr as lines ("SOURCE: 57 more WHAT in the last 10 s").
    explicit LimitedLines(std::chrono::milliseconds interval = kLimitedLinesInterval);
    // Counts go to summaries.
    LimitedLines(std::chrono::milliseconds interval, SummaryWriter summaries);
    LimitedLines(const LimitedLines&) = delete;
    LimitedLines& operator=(const LimitedLines&) = delete;

    // Writes line on stderr, about source, or only counts it when a line of the same source and
    // kind (what the summary counts: "error answers") was written shortly before.
    void Write(const std::string& source, const std::string& what, const std::string& line);

    // Whether a line about source, of the kind what, is to be written now (its owner writes it)
    // or only counted.
    bool Pass(const std::string& source, const std::string& what);

  private:
    // Writes the counts that are due, and starts the timer for the next.
    void Flush();
    // Starts the timer for the next count due, unless it runs or none is.
    void Schedule();

    LineLimiter limiter_;
    SummaryWriter summaries_;
    QTimer summary_;  // writes the counts of the last bursts once their intervals are over
};

}  // namespace display
