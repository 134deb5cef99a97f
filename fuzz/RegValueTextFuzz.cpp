// afficheur-reg's value data conversions on any input. Input: a type byte, a separator line,
// then the data. Reading data for a type either gives bytes or refuses with
// std::invalid_argument; what it gives is shown again as the text that reads back to the same
// bytes (numbers and binary) or as the text given (well-formed texts without NUL); showing
// any bytes of any type never fails.

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ValueText.h"
#include "common/Utf8.h"
#include "platform/Registry.h"

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    constexpr DWORD kTypes[] = {REG_NONE,  REG_SZ,       REG_EXPAND_SZ, REG_BINARY,
                                REG_DWORD, REG_MULTI_SZ, REG_QWORD,     REG_LINK};
    const DWORD type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t cut = rest.find('\n');
    const std::string separator(rest.substr(0, cut));
    const std::string text(cut == std::string_view::npos ? "" : rest.substr(cut + 1));

    // Any bytes, any type: shown without failing.
    (void)reg::DataText({"v", data[0], std::string(rest)});

    std::string bytes;
    try {
        bytes = reg::DataBytes(type, text, separator);
    } catch (const std::invalid_argument&) {
        return 0;
    }
    const std::string shown = reg::DataText({"v", type, bytes});
    switch (type) {
        case REG_DWORD:
        case REG_QWORD:
        case REG_BINARY:
        case REG_NONE:
            if (reg::DataBytes(type, shown, "") != bytes) std::abort();
            break;
        case REG_SZ:
        case REG_EXPAND_SZ:
            if (utf8::IsWellFormed(text) && text.find('\0') == std::string::npos && shown != text) {
                std::abort();
            }
            break;
        default:
            break;
    }
    return 0;
}
