#pragma once
// The display's one JSON writer: the web page's board, the state file and the message log are
// written through it. Plain C++ (no Qt).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Palette.h"

namespace display {

// A JSON string literal, quotes included: the quote, the backslash and every control
// character (C0, DEL and C1) are escaped (\n, \t, ... or \u00xx), and so are U+2028 and
// U+2029, so the text is also a valid script literal and nothing in it can drive a terminal
// the line is read on. A byte sequence that is not UTF-8 becomes U+FFFD; other characters
// stand as they are.
std::string JsonString(std::string_view utf8);

// "#rrggbb" in lower-case hexadecimal.
std::string RgbText(Rgb rgb);

// One JSON object on one line, built field by field.
class JsonObject {
  public:
    JsonObject& String(std::string_view key, std::string_view utf8);
    JsonObject& Number(std::string_view key, std::int64_t value);
    JsonObject& Bool(std::string_view key, bool value);
    JsonObject& Null(std::string_view key);
    // A value already written as JSON (an object's Text, a JsonArray).
    JsonObject& Raw(std::string_view key, std::string json);

    // The object, its fields in the order given, or sorted by key.
    enum class Order { AsGiven, ByKey };
    std::string Text(Order order = Order::AsGiven) const;

  private:
    std::vector<std::pair<std::string, std::string>> fields_;  // key, value as JSON
};

// A JSON array of values already written as JSON.
std::string JsonArray(const std::vector<std::string>& items);

}  // namespace display
