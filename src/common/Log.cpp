#include "common/Log.h"

#include <cstdio>
#include <string>

#include "common/Hex.h"
#include "common/Utf8.h"

#if defined(__GLIBC__)
#include <errno.h>  // program_invocation_short_name
#endif

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x" + Hex(text.substr(i, 1));
        } else if (byte == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += "\\u00" + Hex(text.substr(++i, 1));
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Excerpt(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    std::size_t cut = text.size();  // where the first limit characters end
    for (std::size_t i = 0; i < text.size(); ++characters) {
        if (characters == limit) cut = i;
        char32_t cp = 0;
        const std::size_t length = utf8::Decode(text, i, &cp);
        i += length == 0 ? 1 : length;
    }
    if (characters <= limit) return std::string(text);
    return std::string(text.substr(0, cut)) + "... (" + std::to_string(characters) + " characters)";
}

void LogLine(std::string_view message) {
#if defined(__GLIBC__)
    const char* program = program_invocation_short_name;
#else
    const char* program = "afficheur";
#endif
    const std::string line = std::string(program) + ": " + EscapeControls(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
