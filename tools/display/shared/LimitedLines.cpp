#include "LimitedLines.h"

#include <algorithm>
#include <utility>

#include "common/Log.h"

namespace display {

LimitedLines::LimitedLines(std::chrono::milliseconds interval)
    : LimitedLines(interval, [](const LineLimiter::Summary& summary) { LogLine(summary.Text()); }) {
}

LimitedLines::LimitedLines(std::chrono::milliseconds interval, SummaryWriter summaries)
    : limiter_(interval), summaries_(std::move(summaries)) {
    summary_.setSingleShot(true);
    QObject::connect(&summary_, &QTimer::timeout, [this] { Flush(); });
}

void LimitedLines::Write(const std::string& source, const std::string& what,
                         const std::string& line) {
    if (Pass(source, what)) LogLine(line);
}

bool LimitedLines::Pass(const std::string& source, const std::string& what) {
    Flush();  // the counts of the bursts that ended come before the line
    const bool pass = limiter_.Pass(LineLimiter::Clock::now(), source, what);
    Schedule();  // a burst begun now: its count is due at the end of its interval
    return pass;
}

void LimitedLines::Flush() {
    for (const LineLimiter::Summary& summary : limiter_.DueSummaries(LineLimiter::Clock::now()))
        summaries_(summary);
    Schedule();
}

void LimitedLines::Schedule() {
    const auto due = limiter_.NextDue();
    if (summary_.isActive() || !due) return;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*due - LineLimiter::Clock::now());
    summary_.start(std::max(left, std::chrono::milliseconds(0)));
}

}  // namespace display
