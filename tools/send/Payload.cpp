#include "Payload.h"

#include <cstdio>
#include <optional>

#include "Transliterate.h"
#include "common/Utf8.h"

namespace sender {

namespace {

std::string CodePoint(char32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
    return text;
}

// The first byte of a text that belongs to no UTF-8 sequence: its place as a character (1 for
// the first) and its value.
struct Malformed {
    std::size_t position = 0;
    unsigned char byte = 0;
};

std::optional<Malformed> FirstMalformed(std::string_view text) {
    std::size_t position = 0;
    for (std::size_t i = 0; i < text.size();) {
        ++position;
        char32_t cp = 0;
        const std::size_t length = utf8::Decode(text, i, &cp);
        if (length == 0) return Malformed{position, static_cast<unsigned char>(text[i])};
        i += length;
    }
    return std::nullopt;
}

std::string ByteValue(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(byte));
    return text;
}

}  // namespace

std::variant<std::vector<std::string>, Refusal> Payloads(const SendOptions& options) {
    std::vector<std::string> messages;
    int number = 0;
    for (const Outgoing& message : options.messages) {
        ++number;
        std::string text = message.text;
        if (options.encoding == protocol::Encoding::Windows1252) {
            if (options.transliterate) {
                text = TransliterateToWindows1252(text);
            } else if (const auto bad = FirstMalformed(text)) {
                // Most often a till's software writing its own code page: what converts it is
                // the advice, with the command last on the line so that it can be copied.
                return Refusal{
                    kExitUnrepresentable,
                    "message " + std::to_string(number) + ": byte " + ByteValue(bad->byte) +
                        " at position " + std::to_string(bad->position) +
                        " is not UTF-8, which texts must be; convert the text first, from "
                        "Windows-1252 for example: iconv -f WINDOWS-1252 -t UTF-8"};
            }
            if (const auto unfit = protocol::Unrepresentable(text)) {
                std::string shown;
                utf8::Append(shown, unfit->codePoint);
                return Refusal{kExitUnrepresentable,
                               "message " + std::to_string(number) + ": character '" + shown +
                                   "' (" + CodePoint(unfit->codePoint) + ") at position " +
                                   std::to_string(unfit->position) +
                                   " has no place in windows-1252; give --transliterate, or "
                                   "--encoding utf-8 for a display started that way"};
            }
        }
        messages.push_back(protocol::Compose(message.kind, text, options.encoding));
    }
    return messages;
}

}  // namespace sender
