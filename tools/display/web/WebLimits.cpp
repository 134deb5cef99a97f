#include "WebLimits.h"

namespace display {

RequestMeter::RequestMeter(const WebLimits& limits)
    : maxBytes_(limits.maxRequestBytes), maxLines_(limits.maxHeadLines) {}

RequestVerdict RequestMeter::Feed(std::string_view bytes) {
    if (verdict_ != RequestVerdict::Within) return verdict_;
    for (std::size_t i = 0; i < bytes.size() && !headEnded_; ++i) {
        const char c = bytes[i];
        if (c != '\n') {
            lineIsCr_ = lineLength_ == 0 && c == '\r';
            ++lineLength_;
            continue;
        }
        const bool empty = lineLength_ == 0 || (lineLength_ == 1 && lineIsCr_);
        // Empty lines before the request line are skipped, as Qt's parser does.
        if (empty && lines_ > 0) {
            headEnded_ = true;
            headBytes_ = bytes_ + i + 1;
        } else if (!empty) {
            ++lines_;
        }
        lineLength_ = 0;
        lineIsCr_ = false;
    }
    bytes_ += bytes.size();
    const std::size_t head = headEnded_ ? headBytes_ : bytes_;
    if (head > maxBytes_ || lines_ > maxLines_) {
        verdict_ = RequestVerdict::HeadTooLarge;
    } else if (bytes_ > maxBytes_) {
        verdict_ = RequestVerdict::TooLarge;
    }
    return verdict_;
}

}  // namespace display
