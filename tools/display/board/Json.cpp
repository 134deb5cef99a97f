#include "Json.h"

#include <algorithm>

#include "common/Hex.h"
#include "common/Utf8.h"

namespace display {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void AppendUnicodeEscape(std::string& out, char32_t code) {
    const char bytes[] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    out += "\\u" + Hex(std::string_view(bytes, 2), HexCase::Lower);
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    while (!text.empty()) {
        char32_t code = 0;
        const std::size_t length = utf8::Decode(text, 0, &code);
        if (length == 0) {
            out += kReplacement;
            text.remove_prefix(1);
            continue;
        }
        switch (code) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 ||
                    code == 0x2029) {
                    AppendUnicodeEscape(out, code);
                } else {
                    out.append(text.substr(0, length));
                }
                break;
        }
        text.remove_prefix(length);
    }
    out += '"';
    return out;
}

std::string RgbText(Rgb rgb) {
    const char bytes[] = {static_cast<char>(rgb.red), static_cast<char>(rgb.green),
                          static_cast<char>(rgb.blue)};
    return "#" + Hex(std::string_view(bytes, 3), HexCase::Lower);
}

JsonObject& JsonObject::String(std::string_view key, std::string_view utf8) {
    fields_.emplace_back(key, JsonString(utf8));
    return *this;
}

JsonObject& JsonObject::Number(std::string_view key, std::int64_t value) {
    fields_.emplace_back(key, std::to_string(value));
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
    fields_.emplace_back(key, value ? "true" : "false");
    return *this;
}

JsonObject& JsonObject::Null(std::string_view key) {
    fields_.emplace_back(key, "null");
    return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string json) {
    fields_.emplace_back(key, std::move(json));
    return *this;
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string text = "[";
    for (const std::string& item : items) {
        if (text.size() > 1) text += ',';
        text += item;
    }
    return text + ']';
}

std::string JsonObject::Text(Order order) const {
    auto fields = fields_;
    if (order == Order::ByKey) {
        std::stable_sort(fields.begin(), fields.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    std::string text = "{";
    for (const auto& [key, value] : fields) {
        if (text.size() > 1) text += ',';
        text += JsonString(key) + ':' + value;
    }
    return text + '}';
}

}  // namespace display
