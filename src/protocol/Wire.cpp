#include "protocol/Wire.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/LeadingNumber.h"
#include "common/Utf8.h"
#include "platform/Ansi.h"

namespace protocol {

namespace {

// U+00FF as UTF-8: the lead byte 0xFF once the text is in Windows-1252.
constexpr std::string_view kLeadText = "\xC3\xBF";

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string Utf8Repaired(std::string_view bytes) {
    if (utf8::IsWellFormed(bytes)) return std::string(bytes);
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = utf8::Decode(bytes, i, &cp);
        if (length == 0) {
            utf8::Append(text, U'\uFFFD');
            ++i;
        } else {
            text.append(bytes.substr(i, length));
            i += length;
        }
    }
    return text;
}

}  // namespace

std::optional<Encoding> EncodingNamed(std::string_view name) {
    if (SameName(name, "windows-1252") || SameName(name, "cp1252")) return Encoding::Windows1252;
    if (SameName(name, "utf-8") || SameName(name, "utf8")) return Encoding::Utf8;
    return std::nullopt;
}

std::string_view EncodingName(Encoding encoding) {
    return encoding == Encoding::Utf8 ? "utf-8" : "windows-1252";
}

const KindRow* RowOf(Kind kind) {
    for (const KindRow& row : kKinds) {
        if (row.kind == kind) return &row;
    }
    return nullptr;
}

std::string_view KindName(Kind kind) {
    const KindRow* row = RowOf(kind);
    return row != nullptr ? row->name : "unknown";
}

std::optional<char> CommandByte(Kind kind) {
    const KindRow* row = RowOf(kind);
    return row != nullptr ? row->command : std::nullopt;
}

std::optional<int> ColourIndex(std::string_view text) {
    const double number = LeadingNumber(text);
    if (!(number >= 0 && number < kPaletteSize) || number != std::floor(number))
        return std::nullopt;
    return static_cast<int>(number);
}

std::optional<std::vector<Amount>> AmountsOf(std::string_view text) {
    constexpr std::size_t kMostLines = 2;  // the total, then the change due
    std::vector<Amount> amounts;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
        if (text.starts_with("\r\n")) {
            text.remove_prefix(2);
        } else if (!text.empty()) {
            text.remove_prefix(1);
        }
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos || line.find('\t', tab + 1) != std::string_view::npos ||
            amounts.size() == kMostLines)
            return std::nullopt;
        amounts.push_back({std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))});
    }
    return amounts;
}

std::optional<QrCode> QrOf(std::string_view text) {
    if (text.empty()) return QrCode{};
    const std::size_t feed = text.find('\n');
    if (feed == std::string_view::npos) return std::nullopt;
    std::string_view caption = text.substr(0, feed);
    if (caption.ends_with('\r')) caption.remove_suffix(1);
    const std::string_view payload = text.substr(feed + 1);
    if (payload.size() > kMaxQrPayloadBytes) return std::nullopt;
    if (payload.empty()) return QrCode{};
    return QrCode{std::string(caption), std::string(payload)};
}

std::string QrText(std::string_view caption, std::string_view payload) {
    std::string text(caption);
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    text += '\n';
    text += payload;
    return text;
}

std::string ComposeText(Kind kind, std::string_view text) {
    const std::optional<char> command = CommandByte(kind);
    if (!command) return std::string(text);
    std::string message(kLeadText);
    message += *command;
    message += text;
    return message;
}

std::string Compose(Kind kind, std::string_view text, Encoding encoding) {
    std::string body = encoding == Encoding::Utf8 ? std::string(text) : platform::ToAnsi(text);
    const std::optional<char> command = CommandByte(kind);
    if (!command) return body;
    std::string message{kCommandLead, *command};
    return message + body;
}

std::string TextOf(std::string_view bytes, Encoding encoding) {
    return encoding == Encoding::Utf8 ? Utf8Repaired(bytes) : platform::FromAnsi(bytes);
}

Message Decode(std::string_view bytes, Encoding encoding) {
    Message message;
    if (bytes.empty() || bytes.front() != kCommandLead) {
        message.text = TextOf(bytes, encoding);
        return message;
    }
    message.kind = Kind::Unknown;
    if (bytes.size() < 2) return message;
    message.text = TextOf(bytes.substr(2), encoding);
    for (const KindRow& row : kKinds) {
        if (row.command != bytes[1]) continue;
        message.kind = row.kind;
        if (row.payload == Payload::Colour) message.colour = ColourIndex(message.text);
        if (row.payload == Payload::Amounts) message.amounts = AmountsOf(message.text);
        if (row.payload == Payload::Qr) message.qr = QrOf(message.text);
        return message;
    }
    message.command = static_cast<uint8_t>(bytes[1]);
    return message;
}

std::optional<Unfit> Unrepresentable(std::string_view text) {
    std::size_t position = 0;
    for (std::size_t i = 0; i < text.size();) {
        ++position;
        char32_t cp = 0;
        const std::size_t length = utf8::Decode(text, i, &cp);
        if (length == 0) return Unfit{position, U'\uFFFD'};
        const std::string_view character = text.substr(i, length);
        if (cp != U'?' && platform::ToAnsi(character) == "?") return Unfit{position, cp};
        i += length;
    }
    return std::nullopt;
}

}  // namespace protocol
