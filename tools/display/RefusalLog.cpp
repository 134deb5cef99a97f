#include "RefusalLog.h"

#include <utility>

namespace display {

RefusalLog::RefusalLog(std::chrono::milliseconds interval, std::string source)
    : interval_(interval), source_(std::move(source)) {}

std::vector<std::string> RefusalLog::Refused(Clock::time_point now, std::string line) {
    std::vector<std::string> lines;
    if (std::string summary = Due(now); !summary.empty()) lines.push_back(std::move(summary));
    if (open_) {
        ++counted_;
    } else {
        open_ = true;
        start_ = now;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string RefusalLog::Due(Clock::time_point now) {
    if (!open_ || now - start_ < interval_) return {};
    if (counted_ == 0) {
        open_ = false;  // quiet: the next refusal is written whole
        return {};
    }
    const auto seconds = std::chrono::round<std::chrono::seconds>(now - start_).count();
    std::string summary = source_ + ": " + std::to_string(counted_) +
                          " more connections refused in the last " + std::to_string(seconds) + " s";
    // The flood may go on: keep counting, one summary per interval.
    start_ = now;
    counted_ = 0;
    return summary;
}

}  // namespace display
