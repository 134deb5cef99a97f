#include "Ipv4Text.h"

#include <algorithm>

namespace display {

bool IsIpv4Text(std::string_view text) {
    for (int parts = 1;; ++parts) {
        const auto dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        const bool digits =
            !part.empty() && part.size() <= 3 &&
            std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || (part.size() > 1 && part.front() == '0')) return false;
        int value = 0;
        for (const char c : part)
            value = value * 10 + (c - '0');
        if (value > 255) return false;
        if (dot == std::string_view::npos) return parts == 4;
        if (parts == 4) return false;
        text.remove_prefix(dot + 1);
    }
}

}  // namespace display
