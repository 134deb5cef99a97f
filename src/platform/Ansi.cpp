#include "platform/Ansi.h"

#include <array>
#include <cstdint>

namespace platform {
namespace {

// Code points of the bytes 0x80-0x9F; every other byte maps to the code point of its value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(unsigned char byte) {
    return (byte >= 0x80 && byte < 0xA0) ? kHighControls[byte - 0x80] : char32_t{byte};
}

// The byte for a code point, or '?' where the code page lacks it.
char ByteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
    }
    return '?';
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes one UTF-8 sequence at text[i]. Returns its length, or 0 when it is malformed
// (bad lead byte, missing continuation, overlong form, surrogate, beyond U+10FFFF).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = static_cast<unsigned char>(b);
    for (int b = 'A'; b <= 'Z'; ++b)
        table[b] = static_cast<unsigned char>(b + 0x20);
    for (int b = 0xC0; b <= 0xDE; ++b) {
        if (b != 0xD7) table[b] = static_cast<unsigned char>(b + 0x20);
    }
    table[0x8A] = 0x9A;  // Š
    table[0x8C] = 0x9C;  // Œ
    table[0x8E] = 0x9E;  // Ž
    table[0x9F] = 0xFF;  // Ÿ
    return table;
}

constexpr std::array<unsigned char, 256> MakeUpperTable() {
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = static_cast<unsigned char>(b);
    const auto fold = MakeFoldTable();
    for (int b = 0; b < 256; ++b) {
        if (fold[b] != b) table[fold[b]] = static_cast<unsigned char>(b);
    }
    return table;
}

constexpr auto kFold = MakeFoldTable();
constexpr auto kUpper = MakeUpperTable();

}  // namespace

std::string ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t length = DecodeUtf8(utf8, i, cp);
        if (length == 0) {
            out.push_back('?');
            ++i;
        } else {
            out.push_back(ByteOf(cp));
            i += length;
        }
    }
    return out;
}

std::string FromAnsi(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi)
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(c)));
    return out;
}

char FoldCase(char ansi) {
    return static_cast<char>(kFold[static_cast<unsigned char>(ansi)]);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

std::string UpperCase(std::string_view ansi) {
    std::string out(ansi);
    for (char& c : out)
        c = static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
    return out;
}

}  // namespace platform
