// Texts on their way to LCDd, and LCDd's answer to "hello", on any bytes: a converted text
// never passes its share or holds a control byte, its quoting reads back through LCDd's
// parser rules as the same bytes, and no command line can be broken in two.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "lcd/LcdScreen.h"
#include "lcd/LcdText.h"

namespace {

// LCDd's parser on one quoted argument (server/parse.c): a backslash takes the next byte.
std::optional<std::string> Unquote(std::string_view quoted) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '"') return std::nullopt;
        if (quoted[i] == '\\') ++i;
        if (i + 1 >= quoted.size()) return std::nullopt;
        out += quoted[i];
    }
    return out;
}

const display::LcdCharset& Charset(bool ascii) {
    static const display::LcdCharset plain = *display::LcdCharset::Open("ASCII", nullptr);
    static const display::LcdCharset pc = *display::LcdCharset::Open("CP437", nullptr);
    return ascii ? plain : pc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const bool ascii : {true, false}) {
        const std::string text = Charset(ascii).Convert(bytes);
        if (text.size() > display::kMaxLcdTextBytes) std::abort();
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F || (ascii && byte > 0x7F)) std::abort();
        }
        const std::string quoted = display::Quote(text);
        const auto back = Unquote(quoted);
        if (!back || *back != text || quoted.find('\n') != std::string::npos) std::abort();
        for (int height = 1; height <= 4; ++height) {
            const int width = size > 0 ? 1 + data[0] % 40 : 20;
            for (const auto& widget : display::Layout({text, text, text, text}, {width, height})) {
                if (widget.arguments.find('\n') != std::string::npos) std::abort();
            }
        }
    }
    if (const auto lcd = display::ParseConnect(bytes)) {
        if (lcd->width < 1 || lcd->width > 256 || lcd->height < 1 || lcd->height > 256) {
            std::abort();
        }
    }
    return 0;
}
