#pragma once
// What the display makes of one message, in plain C++ (no Qt), so the rules can be tested and
// fuzzed on their own.
//
// A message is the whole content of one connection, no framing; its bytes are read by the
// wire format (protocol/Wire.h). Texts here are UTF-8. Decoding never throws on any input and
// reads only the bytes it is given.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/Hex.h"
#include "protocol/Wire.h"

namespace display {

// The largest message the display keeps; the bytes past it are cut off.
inline constexpr std::size_t kMaxMessageBytes = 64 * 1024;

// The message kinds of the wire format (protocol/Wire.h).
using Kind = protocol::Kind;

// One message, decoded once (protocol/Wire.h): its kind, its UTF-8 text, and the values its
// kind's rule checked (the colour's palette index, an unknown command's byte).
using Message = protocol::Message;

// Decodes one message's bytes, its texts in the given encoding (what the client sends by
// default; malformed UTF-8 shows U+FFFD).
inline Message Decode(std::string_view bytes,
                      protocol::Encoding encoding = protocol::Encoding::Windows1252) {
    return protocol::Decode(bytes, encoding);
}

using protocol::ColourIndex;
using protocol::IsPaletteIndex;
using protocol::KindName;

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The classic 16-colour palette: 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 brown,
// 7 light grey, 8 dark grey, 9 light blue, 10 light green, 11 light cyan, 12 light red,
// 13 light magenta, 14 yellow, 15 bright white. Requires IsPaletteIndex(index).
Rgb PaletteColour(int index);

// The contrast ratio of two colours by the WCAG 2 formula, from 1 (none) to 21 (black on
// white).
double ContrastRatio(Rgb a, Rgb b);

// The colour every output puts directly behind a text drawn in colour: black, or white (a light
// plate) for the colours too dark to read on black, so that every palette colour has a
// contrast ratio of at least 4.5:1 with what is behind it.
Rgb Backdrop(Rgb colour);

// Upper-case hexadecimal, two digits per byte, no separators ("FF32" for 0xFF '2'): the
// program's one hex writer, common's.
using ::Hex;

// What the display shows: the state that messages change. Starts empty, in bright white.
struct Board {
    std::string text;
    std::string scroll;
    std::string registerName;
    int colour = 15;

    friend bool operator==(const Board&, const Board&) = default;

    // Applies one message: plain text replaces the text, a scrolling text the scrolling line,
    // a register name the corner; a colour that names an index becomes the current colour.
    // An unknown command, or a colour that names no index, changes nothing.
    void Apply(const Message& message);
};

}  // namespace display
