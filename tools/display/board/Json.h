#pragma once
// The display's JSON writer, for the web page's board and the state file: plain
// C++ (no Qt).

#include <string>
#include <string_view>

#include "Message.h"

namespace display {

// A JSON string literal, quotes included: the quote, the backslash and every control
// character are escaped (\n, \t, ... or \u00XX), and so are U+2028 and U+2029, so the text
// is also a valid script literal. A byte sequence that is not UTF-8 becomes U+FFFD; other
// characters stand as they are.
std::string JsonString(std::string_view utf8);

// "#rrggbb" in lower-case hexadecimal.
std::string RgbText(Rgb rgb);

}  // namespace display
