#include "LineLimiter.h"

#include <algorithm>

namespace display {

LineLimiter::LineLimiter(std::chrono::milliseconds interval, std::size_t maxKeys)
    : interval_(interval), maxKeys_(std::max<std::size_t>(maxKeys, 1)) {}

std::vector<std::string> LineLimiter::Write(Clock::time_point now, const std::string& source,
                                            const std::string& what, std::string line) {
    std::vector<std::string> lines = Due(now);
    if (Pass(now, source, what)) lines.push_back(std::move(line));
    return lines;
}

bool LineLimiter::Pass(Clock::time_point now, const std::string& source, const std::string& what) {
    Key key{source, what};
    auto at = open_.find(key);
    if (at == open_.end() && std::count_if(open_.begin(), open_.end(), [](const auto& entry) {
                                 return !entry.first.first.empty();
                             }) >= static_cast<std::ptrdiff_t>(maxKeys_)) {
        key.first.clear();  // one source too many: counted with the others
        at = open_.find(key);
    }
    if (at != open_.end()) {
        ++at->second.counted;
        return false;
    }
    open_.emplace(std::move(key), Interval{now, 0});
    return true;
}

std::vector<std::string> LineLimiter::Due(Clock::time_point now) {
    std::vector<std::string> lines;
    for (const Summary& summary : DueSummaries(now))
        lines.push_back(summary.Text());
    return lines;
}

std::string LineLimiter::Summary::Text() const {
    const std::string count = std::to_string(counted) + " more " + what;
    const std::string last = " in the last " + std::to_string(seconds) + " s";
    return source.empty() ? count + " from other sources" + last : source + ": " + count + last;
}

std::vector<LineLimiter::Summary> LineLimiter::DueSummaries(Clock::time_point now) {
    std::vector<Summary> summaries;
    for (auto at = open_.begin(); at != open_.end();) {
        Interval& interval = at->second;
        if (now - interval.start < interval_) {
            ++at;
            continue;
        }
        if (interval.counted == 0) {
            at = open_.erase(at);  // quiet: the next line is written whole
            continue;
        }
        const auto& [source, what] = at->first;
        summaries.push_back(
            {source, what, interval.counted,
             std::chrono::round<std::chrono::seconds>(now - interval.start).count()});
        // The flood may go on: keep counting, one summary per interval.
        interval = Interval{now, 0};
        ++at;
    }
    return summaries;
}

std::optional<LineLimiter::Clock::time_point> LineLimiter::NextDue() const {
    std::optional<Clock::time_point> next;
    for (const auto& [key, interval] : open_) {
        if (interval.counted > 0 && (!next || interval.start + interval_ < *next))
            next = interval.start + interval_;
    }
    return next;
}

}  // namespace display
