#include "Message.h"

#include <array>
#include <cmath>

#include "common/LeadingNumber.h"
#include "platform/Ansi.h"

namespace display {

namespace {

constexpr char kCommandLead = '\xFF';

}  // namespace

Message Decode(std::string_view bytes) {
    Message message;
    if (bytes.empty() || bytes.front() != kCommandLead) {
        message.kind = Kind::Text;
        message.text = platform::FromAnsi(bytes);
        return message;
    }
    if (bytes.size() < 2) {
        message.kind = Kind::Unknown;
        return message;
    }
    const std::string_view rest = bytes.substr(2);
    message.text = platform::FromAnsi(rest);
    switch (bytes[1]) {
        case '1':
            message.kind = Kind::Scroll;
            break;
        case '2':
            message.kind = Kind::Colour;
            message.colour = ColourIndex(rest);
            break;
        case '3':
            message.kind = Kind::Register;
            break;
        default:
            message.kind = Kind::Unknown;
            message.command = static_cast<uint8_t>(bytes[1]);
            break;
    }
    return message;
}

std::optional<int> ColourIndex(std::string_view text) {
    const double number = LeadingNumber(text);
    if (!(number >= 0 && number <= 15) || number != std::floor(number)) return std::nullopt;
    return static_cast<int>(number);
}

std::string_view KindName(Kind kind) {
    switch (kind) {
        case Kind::Text:
            return "text";
        case Kind::Scroll:
            return "scroll";
        case Kind::Colour:
            return "colour";
        case Kind::Register:
            return "register";
        case Kind::Unknown:
            break;
    }
    return "unknown";
}

Rgb PaletteColour(int index) {
    static constexpr std::array<Rgb, 16> kPalette = {{
        {0, 0, 0},
        {0, 0, 128},
        {0, 128, 0},
        {0, 128, 128},
        {128, 0, 0},
        {128, 0, 128},
        {128, 128, 0},
        {192, 192, 192},
        {128, 128, 128},
        {0, 0, 255},
        {0, 255, 0},
        {0, 255, 255},
        {255, 0, 0},
        {255, 0, 255},
        {255, 255, 0},
        {255, 255, 255},
    }};
    return kPalette.at(static_cast<std::size_t>(index));
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

void Board::Apply(const Message& message) {
    switch (message.kind) {
        case Kind::Text:
            text = message.text;
            break;
        case Kind::Scroll:
            scroll = message.text;
            break;
        case Kind::Colour:
            if (message.colour) colour = *message.colour;
            break;
        case Kind::Register:
            registerName = message.text;
            break;
        case Kind::Unknown:
            break;
    }
}

}  // namespace display
