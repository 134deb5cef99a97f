#include "Json.h"

#include <cstdint>

#include "common/Utf8.h"

namespace display {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void AppendUnicodeEscape(std::string& out, uint32_t code) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHexDigits[(code >> shift) & 0xF];
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    while (!text.empty()) {
        char32_t code = 0;
        const std::size_t length = utf8::Decode(text, 0, &code);
        if (length == 0) {
            out += kReplacement;
            text.remove_prefix(1);
            continue;
        }
        switch (code) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (code < 0x20 || code == 0x2028 || code == 0x2029) {
                    AppendUnicodeEscape(out, code);
                } else {
                    out.append(text.substr(0, length));
                }
                break;
        }
        text.remove_prefix(length);
    }
    out += '"';
    return out;
}

std::string RgbText(Rgb rgb) {
    std::string out = "#";
    for (const uint8_t part : {rgb.red, rgb.green, rgb.blue}) {
        out += kHexDigits[part >> 4];
        out += kHexDigits[part & 0xF];
    }
    return out;
}

}  // namespace display
