#pragma once
// The bytes afficheur-send puts on the wire for each message: the text checked, converted to
// the encoding asked for and framed as the display reads it. Every message is checked before
// the first one leaves. Plain functions, no input or output; tested in process.

#include <string>
#include <variant>
#include <vector>

#include "SendOptions.h"

namespace sender {

// Why a message cannot be sent: the exit status and the one line that says so.
struct Refusal {
    int status = kExitUnrepresentable;
    std::string line;
};

// Each message's bytes, in order, or the refusal of the first that cannot be sent. In
// Windows-1252 a text that is not UTF-8 is refused naming its first such byte, and a character
// the code page lacks naming its place, unless --transliterate replaces it by a look-alike
// (a byte that is not UTF-8 then becomes '?'). In UTF-8 every text goes as it is.
std::variant<std::vector<std::string>, Refusal> Payloads(const SendOptions& options);

}  // namespace sender
