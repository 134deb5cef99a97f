#include "platform/Ansi.h"

#include <array>
#include <cstdint>

#include "common/Utf8.h"

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

std::string ToAnsi(std::string_view utf8, std::u32string* lost) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t length = utf8::Decode(utf8, i, &cp);
        if (length == 0) {
            out.push_back('?');
            if (lost != nullptr) lost->push_back(U'\uFFFD');
            ++i;
            continue;
        }
        const char byte = ByteOf(cp);
        if (byte == '?' && cp != U'?' && lost != nullptr) lost->push_back(cp);
        out.push_back(byte);
        i += length;
    }
    return out;
}

std::string FromAnsi(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi)
        utf8::Append(out, CodePointOf(static_cast<unsigned char>(c)));
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

std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (const char c : ansi)
        out.push_back(static_cast<char16_t>(CodePointOf(static_cast<unsigned char>(c))));
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text, bool* lossless) {
    std::string out;
    out.reserve(text.size());
    bool kept = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            ++i;  // a character beyond U+FFFF: one '?' for the pair
            out.push_back('?');
            kept = false;
            continue;
        }
        const char byte = ByteOf(unit);
        if (byte == '?' && unit != u'?') kept = false;
        out.push_back(byte);
    }
    if (lossless != nullptr) *lossless = kept;
    return out;
}

char16_t UpperCaseUnit(char16_t unit) {
    // The code page's own letters keep the code page's rule, so names stored before Unicode
    // was kept match and order as they did.
    const char byte = ByteOf(unit);
    if (byte != '?' || unit == u'?') {
        return static_cast<char16_t>(CodePointOf(kUpper[static_cast<unsigned char>(byte)]));
    }
    if (unit >= 0x0100 && unit <= 0x017F) {  // Latin Extended-A: pairs of capital and small
        const bool oddCapitals = (unit >= 0x0139 && unit <= 0x0148) || unit >= 0x0179;
        if (unit == 0x0131 || unit == 0x0138 || unit == 0x0149 || unit == 0x017F) return unit;
        if (oddCapitals) return (unit % 2 == 0) ? unit - 1 : unit;
        return (unit % 2 == 1) ? unit - 1 : unit;
    }
    if ((unit >= 0x03B1 && unit <= 0x03C1) || (unit >= 0x03C3 && unit <= 0x03C9)) {
        return unit - 0x20;  // Greek small letters
    }
    if (unit == 0x03C2) return 0x03A3;                         // final sigma
    if (unit >= 0x0430 && unit <= 0x044F) return unit - 0x20;  // Cyrillic а-я
    if (unit >= 0x0450 && unit <= 0x045F) return unit - 0x50;  // Cyrillic ѐ-џ
    return unit;
}

}  // namespace platform
