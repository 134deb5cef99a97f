#include "LcdText.h"

#include <algorithm>

#include <cerrno>
#include <utility>

namespace display {

namespace {

// Makes a locale the calling thread's own for one scope: iconv's transliteration reads the
// thread's LC_CTYPE, and the C locale that a program starts in transliterates no accents.
class ThreadLocale {
  public:
    explicit ThreadLocale(locale_t locale)
        : previous_(locale ? uselocale(locale) : static_cast<locale_t>(nullptr)) {}
    ~ThreadLocale() {
        if (previous_) uselocale(previous_);
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

  private:
    locale_t previous_;
};

// Converts at most room bytes' worth of input; stops at the first byte past room.
std::string Run(iconv_t cd, std::string_view input, std::size_t room) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
    std::string out(room, '\0');
    char* in = const_cast<char*>(input.data());  // iconv's signature; it never writes there
    std::size_t inLeft = input.size();
    char* to = out.data();
    std::size_t toLeft = room;
    while (inLeft > 0 && toLeft > 0) {
        if (iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG || toLeft == 0) break;  // the display's share is full
        // EILSEQ (not UTF-8) or EINVAL (a sequence cut short): one '?' for the bad byte.
        *to++ = '?';
        --toLeft;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(room - toLeft);
    return out;
}

}  // namespace

std::string DropControls(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 || byte == 0x7F) continue;
        if (byte == 0xC2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {  // U+0080-U+009F
                ++i;
                continue;
            }
        }
        out += utf8[i];
    }
    return out;
}

std::string Quote(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) continue;
        if (c == '"' || c == '\\' || c == '{' || c == '}') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

LcdCharset::LcdCharset(Iconv cd, Locale locale) : cd_(std::move(cd)), locale_(std::move(locale)) {}

std::optional<LcdCharset> LcdCharset::Open(std::string_view name, std::string* error) {
    std::string plain(name.substr(0, name.find('/')));  // "ASCII//TRANSLIT" names ASCII
    auto fail = [&](const std::string& why) -> std::optional<LcdCharset> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (plain.empty()) return fail("no character set named");
    const iconv_t cd = iconv_open((plain + "//TRANSLIT").c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return fail("character set \"" + plain + "\" is unknown to iconv (iconv -l lists them)");
    }
    LcdCharset charset(Iconv(cd), Locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)));
    if (charset.Convert("A") != "A" || charset.Convert("\xC3\xA9").size() != 1) {
        return fail("character set \"" + plain +
                    "\" is not one byte per character with ASCII below 128; LCDd counts "
                    "bytes, so choose one such as ASCII, ISO-8859-1, ISO-8859-15, CP437 or "
                    "CP850");
    }
    return charset;
}

std::string LcdCharset::Convert(std::string_view utf8) const {
    const std::string clean = DropControls(utf8);
    const ThreadLocale scope(locale_.get());
    return Run(cd_.get(), clean, kMaxLcdTextBytes);
}

namespace {

// One line in the display's character set: a TAB splits it into its item and its amount (kept
// apart by a TAB), further TABs show as a blank.
std::string ConvertLine(const LcdCharset& charset, std::string line) {
    const std::size_t tab = line.find('\t');
    std::replace(line.begin(), line.end(), '\t', ' ');
    if (tab == std::string::npos) return charset.Convert(line);
    return charset.Convert(line.substr(0, tab)) + '\t' + charset.Convert(line.substr(tab + 1));
}

}  // namespace

std::string ConvertLines(const LcdCharset& charset, const std::string& text) {
    std::string lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", start);
        lines +=
            ConvertLine(charset, text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return lines;
        lines += '\n';
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

}  // namespace display
