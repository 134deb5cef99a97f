#include "WebBoard.h"

#include <array>
#include <cstdint>

namespace display {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void AppendUnicodeEscape(std::string& out, uint32_t code) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHexDigits[(code >> shift) & 0xF];
}

// The length of the well-formed UTF-8 sequence at the start of bytes, or 0 when there is
// none (a stray continuation byte, an overlong form, a surrogate, past U+10FFFF, cut short).
std::size_t Utf8Length(std::string_view bytes, uint32_t* code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    uint32_t value = 0;
    uint32_t least = 0;
    if (lead < 0x80) {
        *code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code = value;
    return length;
}

}  // namespace

std::string JsonString(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    while (!utf8.empty()) {
        uint32_t code = 0;
        const std::size_t length = Utf8Length(utf8, &code);
        if (length == 0) {
            out += kReplacement;
            utf8.remove_prefix(1);
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
                    out.append(utf8.substr(0, length));
                }
                break;
        }
        utf8.remove_prefix(length);
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

std::string BoardJson(const Board& board) {
    const int colour = board.colour >= 0 && board.colour <= 15 ? board.colour : 15;
    std::string json = "{\"text\":";
    json += JsonString(board.text);
    json += ",\"scroll\":";
    json += JsonString(board.scroll);
    json += ",\"register\":";
    json += JsonString(board.registerName);
    json += ",\"colour\":";
    json += std::to_string(colour);
    json += ",\"rgb\":\"";
    json += RgbText(PaletteColour(colour));
    json += "\"}";
    return json;
}

std::string BoardEvent(const Board& board) {
    return "data: " + BoardJson(board) + "\n\n";
}

}  // namespace display
