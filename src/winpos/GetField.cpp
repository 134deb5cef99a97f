#include "winpos/GetField.h"

// Positions count from 1 and 0 means "not found", as in the steps this routine was first
// written with; keeping them makes the behaviour past the last field come out the same.
std::string GetField(std::string text, std::string separator, int16_t n) {
    const auto length = static_cast<int64_t>(separator.size());
    text += separator;
    int64_t position = 1 - length;
    for (int16_t i = 0; i < n; ++i) {
        const int64_t start = position + length;  // always >= 1
        text = start > static_cast<int64_t>(text.size())
                   ? std::string{}
                   : text.substr(static_cast<size_t>(start - 1));
        const size_t found = text.find(separator);
        position = found == std::string::npos ? 0 : static_cast<int64_t>(found) + 1;
    }
    return position > 1 ? text.substr(0, static_cast<size_t>(position - 1)) : std::string{};
}
