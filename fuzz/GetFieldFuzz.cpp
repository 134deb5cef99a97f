// GetField on any text: field i is what splitting the text at every "|" gives.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "winpos/GetField.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c == '|') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    for (int16_t n = -1; n <= static_cast<int16_t>(fields.size() + 1); ++n) {
        const bool inside = n >= 1 && static_cast<size_t>(n) <= fields.size();
        if (GetField(text, "|", n) != (inside ? fields[n - 1] : std::string())) std::abort();
    }
    // Any separator, any n: must not crash.
    if (size >= 3) (void)GetField(text.substr(2), text.substr(0, 1 + data[0] % 2), data[1]);
    return 0;
}
