#include "SetMessages.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <utility>

#include "common/Log.h"
#include "common/Utf8.h"

namespace display {

namespace {

// The keys in the order they apply: clear first, then the corner and the colour, and the text
// before the total, which a text would end.
constexpr SetKey kSetKeys[] = {
    {"clear", Kind::Text, SetValue::Clear},
    {"register", Kind::Register, SetValue::Text},
    {"colour", Kind::Colour, SetValue::PaletteIndex},
    {"scroll", Kind::Scroll, SetValue::Text},
    {"text", Kind::Text, SetValue::Text},
    {"lines", Kind::Text, SetValue::Lines},
    {"total", Kind::Total, SetValue::Amount},
    // The change due: the total's second line.
    {"change", Kind::Total, SetValue::Amount},
    // After the sale, whose text would end it.
    {"qr", Kind::Qr, SetValue::Code},
    // The window shows the page's address again, for a tablet to scan.
    {"pair", Kind::Pair, SetValue::Ask},
};

// The one key that adds a line to the message an earlier key made, rather than make its own.
constexpr std::string_view kJoinsTotal = "change";

// What clear empties: what the customer reads of the last sale. The register's name and the
// colour stay.
constexpr Kind kCleared[] = {Kind::Text, Kind::Scroll, Kind::Total, Kind::Qr};

std::string Utf8Of(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "LABEL<TAB>AMOUNT" from [LABEL, AMOUNT]; nothing when the value is not two strings or one of
// them holds a TAB or a line break (which would make a column or a line of its own).
std::optional<std::string> PairOf(const QJsonValue& value) {
    const QJsonArray pair = value.toArray();
    if (!value.isArray() || pair.size() != 2 || !pair[0].isString() || !pair[1].isString())
        return std::nullopt;
    std::string sides[2] = {Utf8Of(pair[0].toString()), Utf8Of(pair[1].toString())};
    for (const std::string& side : sides) {
        if (side.find_first_of("\t\r\n") != std::string::npos) return std::nullopt;
    }
    return sides[0] + '\t' + sides[1];
}

// The text of the message a key's value makes; nothing when the value is not of its shape.
std::optional<std::string> TextOf(SetValue shape, const QJsonValue& value) {
    switch (shape) {
        case SetValue::Text:
            if (!value.isString()) return std::nullopt;
            return Utf8Of(value.toString());
        case SetValue::PaletteIndex: {
            const double number = value.toDouble(-1);
            if (!value.isDouble() || number < 0 || number >= protocol::kPaletteSize ||
                std::floor(number) != number)
                return std::nullopt;
            return std::to_string(static_cast<int>(number));
        }
        case SetValue::Amount:
            return PairOf(value);
        case SetValue::Lines: {
            if (!value.isArray()) return std::nullopt;
            std::string text;
            for (const QJsonValue& line : value.toArray()) {
                const auto pair = PairOf(line);
                if (!pair) return std::nullopt;
                text += (text.empty() ? "" : "\n") + *pair;
            }
            return text;
        }
        case SetValue::Code: {
            if (value.isString()) return protocol::QrText("", Utf8Of(value.toString()));
            const QJsonArray code = value.toArray();
            if (!value.isArray() || code.size() != 2 || !code[0].isString() || !code[1].isString())
                return std::nullopt;
            return protocol::QrText(Utf8Of(code[1].toString()), Utf8Of(code[0].toString()));
        }
        case SetValue::Clear:
        case SetValue::Ask:
            if (value != QJsonValue(true)) return std::nullopt;
            return std::string();
    }
    return std::nullopt;
}

// What a value of the shape must be, for the reason a value is refused.
std::string_view ShapeWanted(SetValue shape) {
    switch (shape) {
        case SetValue::Text:
            return "a string";
        case SetValue::PaletteIndex:
            return "a whole number from 0 to 15";
        case SetValue::Amount:
            return "[LABEL, AMOUNT], two strings without TAB or line break";
        case SetValue::Lines:
            return "[[ITEM, AMOUNT], ...], strings without TAB or line break";
        case SetValue::Code:
            return "\"PAYLOAD\" or [PAYLOAD, CAPTION], strings";
        case SetValue::Clear:
        case SetValue::Ask:
            return "true";
    }
    return "";
}

// A key from outside, quoted and cut short for a log line.
std::string Quoted(const QString& key) {
    return '"' + Excerpt(Utf8Of(key), 40) + '"';
}

// The message of a kind with a text, read back as the display reads one from the network, so
// that the kind's payload rule is checked in its one place; nothing when the rule refuses it.
std::optional<Message> MessageOf(Kind kind, const std::string& text) {
    constexpr auto kUtf8 = protocol::Encoding::Utf8;
    Message message = protocol::Decode(protocol::Compose(kind, text, kUtf8), kUtf8);
    const protocol::KindRow* row = protocol::RowOf(kind);
    if (row == nullptr || message.kind != kind) return std::nullopt;
    if (row->payload == protocol::Payload::Colour && !message.colour) return std::nullopt;
    if (row->payload == protocol::Payload::Amounts && !message.amounts) return std::nullopt;
    if (row->payload == protocol::Payload::Qr && !message.qr) return std::nullopt;
    return message;
}

}  // namespace

std::span<const SetKey> SetKeyTable() {
    return kSetKeys;
}

std::variant<std::vector<Message>, std::string> SetMessages(std::string_view payload) {
    // Qt's reader would take a malformed byte as U+FFFD; a sender that sends one is wrong.
    if (!utf8::IsWellFormed(payload)) return std::string("not UTF-8");
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(payload.data(), static_cast<qsizetype>(payload.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        return "not JSON (" + Utf8Of(error.errorString()) + " at byte " +
               std::to_string(error.offset) + ")";
    }
    if (!document.isObject()) return std::string("not a JSON object");
    const QJsonObject object = document.object();
    if (object.isEmpty()) return std::string("an empty object sets nothing");
    for (auto field = object.begin(); field != object.end(); ++field) {
        const bool known =
            std::any_of(std::begin(kSetKeys), std::end(kSetKeys),
                        [&](const SetKey& row) { return Q(row.key) == field.key(); });
        if (!known) return "unknown key " + Quoted(field.key());
    }

    // The messages' kinds and texts, in order; which key gave each kind's (clear's aside, as
    // they are overwritten by what follows).
    std::vector<std::pair<Kind, std::string>> texts;
    std::vector<std::pair<Kind, std::string_view>> givenBy;
    for (const SetKey& row : kSetKeys) {
        const auto value = object.constFind(Q(row.key));
        if (value == object.constEnd()) continue;
        const auto text = TextOf(row.value, *value);
        if (!text) return std::string(row.key) + " wants " + std::string(ShapeWanted(row.value));
        if (row.value == SetValue::Clear) {
            for (const Kind kind : kCleared)
                texts.emplace_back(kind, std::string());
            continue;
        }
        const auto earlier = std::find_if(givenBy.begin(), givenBy.end(), [&](const auto& given) {
            return given.first == row.kind;
        });
        if (row.key == kJoinsTotal) {
            if (earlier == givenBy.end()) return std::string("change goes with total");
            const auto joined = std::find_if(texts.rbegin(), texts.rend(), [&](const auto& made) {
                return made.first == row.kind;
            });
            joined->second += '\n' + *text;
            continue;
        }
        if (earlier != givenBy.end()) {
            return std::string(earlier->second) + " and " + std::string(row.key) +
                   " both set the " + std::string(protocol::KindName(row.kind));
        }
        givenBy.emplace_back(row.kind, row.key);
        texts.emplace_back(row.kind, *text);
    }

    std::vector<Message> messages;
    for (const auto& [kind, text] : texts) {
        auto message = MessageOf(kind, text);
        if (!message) return "the " + std::string(protocol::KindName(kind)) + " is malformed";
        messages.push_back(std::move(*message));
    }
    return messages;
}

}  // namespace display
