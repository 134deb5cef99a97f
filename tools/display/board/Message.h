#pragma once
// One message as the display takes it, in plain C++ (no Qt), so the rules can be tested and
// fuzzed on their own. The board it changes is in Board.h, the colours in Palette.h.
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
using protocol::KindName;

// Upper-case hexadecimal, two digits per byte, no separators ("FF32" for 0xFF '2'): the
// program's one hex writer, common's.
using ::Hex;

}  // namespace display
