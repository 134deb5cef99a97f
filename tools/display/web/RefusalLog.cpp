#include "RefusalLog.h"

#include <utility>

namespace display {

namespace {

constexpr const char* kWhat = "connections refused";

}  // namespace

RefusalLog::RefusalLog(std::chrono::milliseconds interval, std::string source)
    : lines_(interval), source_(std::move(source)) {}

std::vector<std::string> RefusalLog::Refused(Clock::time_point now, std::string line) {
    return lines_.Write(now, source_, kWhat, std::move(line));
}

std::string RefusalLog::Due(Clock::time_point now) {
    std::vector<std::string> summaries = lines_.Due(now);  // one source: one summary at most
    return summaries.empty() ? std::string() : std::move(summaries.front());
}

}  // namespace display
