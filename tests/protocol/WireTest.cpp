#include "protocol/Wire.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using protocol::Encoding;
using protocol::Kind;

struct RoundTrip {
    const char* name;
    Kind kind;
    std::string text;  // UTF-8
    Encoding encoding;
    std::string bytes;  // on the wire
};

// Each message kind composed to its bytes, and those bytes decoded back to the same kind and
// text; the client's own form (system text, converted as a whole) gives the same bytes.
TEST(Wire, EveryKindComposesToItsBytesAndDecodesBack) {
    const RoundTrip cases[] = {
        {"plain text", Kind::Text, "Caf\xC3\xA9", Encoding::Windows1252, "Caf\xE9"},
        {"euro sign", Kind::Text, "2,40 \xE2\x82\xAC", Encoding::Windows1252, "2,40 \x80"},
        {"tab and line feed", Kind::Text, "Caf\xC3\xA9\t2,40\nTOTAL\t23,70", Encoding::Windows1252,
         "Caf\xE9\t2,40\nTOTAL\t23,70"},
        {"carriage return", Kind::Text, "a\r\nb", Encoding::Windows1252, "a\r\nb"},
        {"empty text", Kind::Text, "", Encoding::Windows1252, ""},
        {"scroll", Kind::Scroll, "Soldes d'\xC3\xA9t\xC3\xA9", Encoding::Windows1252,
         "\xFF"
         "1Soldes d'\xE9t\xE9"},
        {"colour", Kind::Colour, "12", Encoding::Windows1252,
         "\xFF"
         "212"},
        {"register", Kind::Register, "Caisse 1", Encoding::Windows1252,
         "\xFF"
         "3Caisse 1"},
        {"empty register", Kind::Register, "", Encoding::Windows1252,
         "\xFF"
         "3"},
        {"utf-8 text", Kind::Text, "Caf\xC3\xA9 \xE2\x82\xAC", Encoding::Utf8,
         "Caf\xC3\xA9 \xE2\x82\xAC"},
        {"utf-8 scroll", Kind::Scroll, "\xC3\xA9t\xC3\xA9", Encoding::Utf8,
         "\xFF"
         "1\xC3\xA9t\xC3\xA9"},
        {"qr code", Kind::Qr, "Scannez\nBCD\n002", Encoding::Windows1252,
         "\xFF"
         "5Scannez\nBCD\n002"},
        {"pair", Kind::Pair, "", Encoding::Windows1252,
         "\xFF"
         "6"},
        {"utf-8 beyond the code page", Kind::Register,
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         Encoding::Utf8,
         "\xFF"
         "3\xC5\x81\xC3\xB3"
         "d\xC5\xBA"},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(protocol::Compose(c.kind, c.text, c.encoding), c.bytes);
        if (c.encoding == Encoding::Windows1252) {
            // The client composes system text and its link converts it whole.
            const std::string text = protocol::ComposeText(c.kind, c.text);
            EXPECT_EQ(protocol::Compose(Kind::Text, text, Encoding::Windows1252), c.bytes);
        }
        const protocol::Message decoded = protocol::Decode(c.bytes, c.encoding);
        EXPECT_EQ(decoded.kind, c.kind);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_FALSE(decoded.command);
    }
}

TEST(Wire, OddBytesDecodeWithoutLoss) {
    struct Case {
        const char* name;
        std::string bytes;
        Encoding encoding;
        Kind kind;
        std::string text;
    };
    const Case cases[] = {
        {"lead alone", "\xFF", Encoding::Windows1252, Kind::Unknown, ""},
        {"unknown command",
         "\xFF"
         "9abc",
         Encoding::Windows1252, Kind::Unknown, "abc"},
        {"malformed utf-8 shows the replacement character",
         "a\xE9"
         "b",
         Encoding::Utf8, Kind::Text,
         "a\xEF\xBF\xBD"
         "b"},
        {"a cut sequence at the end",
         "\xFF"
         "3ab\xE2\x82",
         Encoding::Utf8, Kind::Register, "ab\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"every windows-1252 byte maps", "\x81\x9D", Encoding::Windows1252, Kind::Text,
         "\xC2\x81\xC2\x9D"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const protocol::Message decoded = protocol::Decode(c.bytes, c.encoding);
        EXPECT_EQ(decoded.kind, c.kind);
        EXPECT_EQ(decoded.text, c.text);
    }
    EXPECT_EQ(protocol::Decode("\xFF"
                               "9",
                               Encoding::Windows1252)
                  .command,
              uint8_t{'9'});
}

// A QR code's text: its caption is its first line, the rest its payload, line breaks and all;
// a text that is not that changes nothing rather than draw a code of the wrong bytes.
TEST(Wire, AQrCodesCaptionIsItsFirstLineAndThePayloadTheRest) {
    struct Case {
        const char* name;
        std::string text;
        std::optional<protocol::QrCode> code;
    };
    const std::string longest(protocol::kMaxQrPayloadBytes, 'A');
    const Case cases[] = {
        {"caption and payload", "Scannez pour payer\nupi://pay?pa=a@b",
         protocol::QrCode{"Scannez pour payer", "upi://pay?pa=a@b"}},
        {"a payload keeps its own lines", "Payer\nBCD\n002\n1\nSCT\n",
         protocol::QrCode{"Payer", "BCD\n002\n1\nSCT\n"}},
        {"no caption", "\nBCD\n002", protocol::QrCode{"", "BCD\n002"}},
        {"a caption's CR LF", "Payer\r\nabc", protocol::QrCode{"Payer", "abc"}},
        {"empty text removes", "", protocol::QrCode{}},
        {"empty payload removes, caption and all", "Payer\n", protocol::QrCode{}},
        {"the longest payload a code holds", "\n" + longest, protocol::QrCode{"", longest}},
        {"a payload past it", "\n" + longest + "A", std::nullopt},
        {"no line feed: no caption line to tell it from the payload", "BCD", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(protocol::QrOf(c.text), c.code);
        const protocol::Message decoded =
            protocol::Decode(protocol::Compose(Kind::Qr, c.text, Encoding::Utf8), Encoding::Utf8);
        EXPECT_EQ(decoded.kind, Kind::Qr);
        EXPECT_EQ(decoded.qr, c.code);
        if (c.code && !c.code->payload.empty()) {
            EXPECT_EQ(protocol::QrOf(protocol::QrText(c.code->caption, c.code->payload)), c.code);
        }
    }
    // A line break in a caption cannot travel: it becomes a space.
    EXPECT_EQ(protocol::QrOf(protocol::QrText("a\nb\rc", "P")), (protocol::QrCode{"a b c", "P"}));
}

TEST(Wire, UnrepresentableNamesTheFirstCharacterTheCodePageLacks) {
    EXPECT_FALSE(protocol::Unrepresentable("Caf\xC3\xA9 2,40 \xE2\x82\xAC ?"));
    const auto polish = protocol::Unrepresentable("ab\xC5\x81\xC3\xB3");  // "abŁó"
    ASSERT_TRUE(polish);
    EXPECT_EQ(polish->position, 3u);
    EXPECT_EQ(polish->codePoint, U'\u0141');
    const auto malformed = protocol::Unrepresentable("\xC3\xA9\xFF");
    ASSERT_TRUE(malformed);
    EXPECT_EQ(malformed->position, 2u);
}

TEST(Wire, EncodingsByName) {
    EXPECT_EQ(protocol::EncodingNamed("UTF-8"), Encoding::Utf8);
    EXPECT_EQ(protocol::EncodingNamed("utf8"), Encoding::Utf8);
    EXPECT_EQ(protocol::EncodingNamed("Windows-1252"), Encoding::Windows1252);
    EXPECT_FALSE(protocol::EncodingNamed("latin1"));
    EXPECT_EQ(protocol::EncodingName(Encoding::Utf8), "utf-8");
}

}  // namespace
