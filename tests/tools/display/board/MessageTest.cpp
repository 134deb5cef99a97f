#include "board/Board.h"
#include "board/Palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <optional>
#include <string>

using display::Board;
using display::ColourIndex;
using display::Decode;
using display::Kind;
using display::KindName;
using display::PaletteColour;
using display::Rgb;

TEST(DisplayMessage, DecodesEachKindFromItsBytes) {
    struct Case {
        const char* name;
        std::string bytes;
        Kind kind;
        std::string text;
    };
    const Case cases[] = {
        {"plain text", "Bonjour", Kind::Text, "Bonjour"},
        {"plain text in Windows-1252", "Caf\xE9 \x80", Kind::Text, "Café €"},
        {"empty message is an empty text", "", Kind::Text, ""},
        {"a leading blank is text, not a command",
         " \xFF"
         "1",
         Kind::Text, " ÿ1"},
        {"scrolling text",
         "\xFF"
         "1Soldes d'\xE9t\xE9",
         Kind::Scroll, "Soldes d'été"},
        {"empty scrolling text",
         "\xFF"
         "1",
         Kind::Scroll, ""},
        {"colour",
         "\xFF"
         "2 12",
         Kind::Colour, " 12"},
        {"register name",
         "\xFF"
         "3Caisse 2",
         Kind::Register, "Caisse 2"},
        {"a total",
         "\xFF"
         "4TOTAL\t23,70 EUR",
         Kind::Total, "TOTAL\t23,70 EUR"},
        {"command byte nine is unknown",
         "\xFF"
         "9x",
         Kind::Unknown, "x"},
        {"command byte zero is unknown", std::string("\xFF\0", 2), Kind::Unknown, ""},
        {"0xFF alone is unknown", "\xFF", Kind::Unknown, ""},
        {"the text after a command keeps a second 0xFF",
         "\xFF"
         "1\xFF"
         "2",
         Kind::Scroll, "ÿ2"},
        {"a NUL inside text is kept", std::string("a\0b", 3), Kind::Text, std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        const auto message = Decode(c.bytes);
        EXPECT_EQ(message.kind, c.kind) << c.name;
        EXPECT_EQ(message.text, c.text) << c.name;
    }
}

TEST(DisplayMessage, UnknownCommandsKeepTheirCommandByte) {
    EXPECT_EQ(Decode("\xFF"
                     "9")
                  .command,
              std::optional<uint8_t>(0x39));
    EXPECT_EQ(Decode("\xFF"
                     "\xFF")
                  .command,
              std::optional<uint8_t>(0xFF));
    EXPECT_EQ(Decode("\xFF").command, std::nullopt);
    EXPECT_EQ(Decode("\xFF"
                     "1")
                  .command,
              std::nullopt);
}

TEST(DisplayMessage, ColourTextNamesAPaletteIndexByTheLeadingNumberRule) {
    struct Case {
        const char* name;
        std::string text;
        std::optional<int> index;
    };
    const Case cases[] = {
        {"zero", "0", 0},
        {"fifteen", "15", 15},
        {"number text of a setting", " 12", 12},
        {"hexadecimal", "&HC", 12},
        {"digits then letters", "9 rouge", 9},
        {"no number reads as zero", "rouge", 0},
        {"empty reads as zero", "", 0},
        {"whole fraction", "3.0", 3},
        {"sixteen is past the palette", "16", std::nullopt},
        {"negative", "-1", std::nullopt},
        {"fraction", "2.5", std::nullopt},
        {"huge", "1e300", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColourIndex(c.text), c.index) << c.name;
        const auto message = Decode(
            "\xFF"
            "2" +
            c.text);
        EXPECT_EQ(message.kind, Kind::Colour) << c.name;
        EXPECT_EQ(message.colour, c.index) << c.name;
    }
}

TEST(DisplayMessage, PaletteIsTheClassicSixteenColours) {
    EXPECT_EQ(PaletteColour(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(PaletteColour(1), (Rgb{0, 0, 128}));
    EXPECT_EQ(PaletteColour(4), (Rgb{128, 0, 0}));
    EXPECT_EQ(PaletteColour(7), (Rgb{192, 192, 192}));
    EXPECT_EQ(PaletteColour(8), (Rgb{128, 128, 128}));
    EXPECT_EQ(PaletteColour(12), (Rgb{255, 0, 0}));
    EXPECT_EQ(PaletteColour(14), (Rgb{255, 255, 0}));
    EXPECT_EQ(PaletteColour(15), (Rgb{255, 255, 255}));
}

TEST(DisplayMessage, KindNamesAreTheLogsWords) {
    EXPECT_EQ(KindName(Kind::Text), "text");
    EXPECT_EQ(KindName(Kind::Scroll), "scroll");
    EXPECT_EQ(KindName(Kind::Colour), "colour");
    EXPECT_EQ(KindName(Kind::Register), "register");
    EXPECT_EQ(KindName(Kind::Total), "total");
    EXPECT_EQ(KindName(Kind::Unknown), "unknown");
}

TEST(DisplayBoard, EachMessageChangesOnlyItsOwnPart) {
    Board board;
    EXPECT_EQ(board.colour, 15);
    board.Apply(Decode("Prix"));
    board.Apply(
        Decode("\xFF"
               "1D\xE9"
               "file"));
    board.Apply(
        Decode("\xFF"
               "3Caisse"));
    board.Apply(
        Decode("\xFF"
               "2"
               "4"));
    EXPECT_EQ(board.text, "Prix");
    EXPECT_EQ(board.scroll, "Défile");
    EXPECT_EQ(board.registerName, "Caisse");
    EXPECT_EQ(board.colour, 4);

    // What names nothing changes nothing.
    board.Apply(
        Decode("\xFF"
               "2"
               "16"));
    board.Apply(
        Decode("\xFF"
               "9Prix"));
    board.Apply(Decode("\xFF"));
    EXPECT_EQ(board.colour, 4);
    EXPECT_EQ(board.text, "Prix");

    // Empty texts clear their part.
    board.Apply(Decode(""));
    board.Apply(
        Decode("\xFF"
               "1"));
    board.Apply(
        Decode("\xFF"
               "3"));
    EXPECT_EQ(board.text, "");
    EXPECT_EQ(board.scroll, "");
    EXPECT_EQ(board.registerName, "");
}

// A sale's total: set by its message, kept while the sale's items stay, gone with the next
// text (a new sale, or anything else shown), so it never outlives its sale.
TEST(DisplayBoard, ATotalBelongsToItsSale) {
    Board board;
    board.Apply(Decode("Caf\xE9\t2,40"));
    board.Apply(
        Decode("\xFF"
               "4TOTAL\t2,40\r\nRendu\t7,60"));
    EXPECT_EQ(board.total, "TOTAL\t2,40\nRendu\t7,60");
    EXPECT_EQ(board.text, "Caf\xC3\xA9\t2,40");
    board.Apply(
        Decode("\xFF"
               "1Soldes"));
    EXPECT_EQ(board.total, "TOTAL\t2,40\nRendu\t7,60") << "the scrolling text leaves it";
    for (const char* bad : {"\xFF"
                            "4TOTAL 2,40",
                            "\xFF"
                            "4a\tb\nc\td\ne\tf",
                            "\xFF"
                            "4a\tb\tc"}) {
        board.Apply(Decode(bad));
        EXPECT_EQ(board.total, "TOTAL\t2,40\nRendu\t7,60") << "not a total: " << bad;
    }
    board.Apply(Decode("Merci"));
    EXPECT_EQ(board.total, "") << "the next text ends the sale";
    board.Apply(
        Decode("\xFF"
               "4TOTAL\t5,00"));
    board.Apply(
        Decode("\xFF"
               "4"));
    EXPECT_EQ(board.total, "") << "an empty total clears it";
}

// A QR code (a payment) belongs to its sale as the total does: the total that comes after it
// keeps it beside it, the next text or sale removes it, and so does an empty code.
TEST(DisplayBoard, AQrCodeBelongsToItsSale) {
    Board board;
    const auto code = [&board] { return board.qr + "|" + board.qrCaption; };
    board.Apply(Decode("Caf\xE9\t2,40"));
    board.Apply(
        Decode("\xFF"
               "5Scannez\nBCD\n002"));
    EXPECT_EQ(code(), "BCD\n002|Scannez");
    board.Apply(
        Decode("\xFF"
               "4TOTAL\t2,40"));
    board.Apply(
        Decode("\xFF"
               "1Soldes"));
    board.Apply(
        Decode("\xFF"
               "212"));
    board.Apply(
        Decode("\xFF"
               "5BCD"));  // no caption line: not a code
    EXPECT_EQ(code(), "BCD\n002|Scannez") << "a total, a scroll, a colour or a bad code keep it";
    EXPECT_EQ(board.total, "TOTAL\t2,40");
    board.Apply(Decode("Croissant\t1,10"));
    EXPECT_EQ(code(), "|") << "the next sale removes it";

    board.Apply(
        Decode("\xFF"
               "5\nupi://pay"));
    EXPECT_EQ(code(), "upi://pay|");
    board.Apply(
        Decode("\xFF"
               "5"));
    EXPECT_EQ(code(), "|") << "an empty code removes it";
    board.Apply(
        Decode("\xFF"
               "5Payer\nX"));
    board.Apply(
        Decode("\xFF"
               "5Payer\n"));
    EXPECT_EQ(code(), "|") << "an empty payload removes it, caption and all";
    board.Apply(
        Decode("\xFF"
               "5Payer\nX"));
    board.Apply(Decode(""));
    EXPECT_EQ(code(), "|") << "an empty text removes it";
}

TEST(DisplayMessage, HexIsTwoUpperCaseDigitsPerByte) {
    EXPECT_EQ(display::Hex(""), "");
    EXPECT_EQ(display::Hex("\xFF"
                           "1\xE9"),
              "FF31E9");
    EXPECT_EQ(display::Hex(std::string("\0\x0A", 2)), "000A");
}

TEST(DisplayMessage, EveryOneAndTwoByteMessageDecodesWithoutFailing) {
    for (int first = 0; first < 256; ++first) {
        for (int second = -1; second < 256; ++second) {
            std::string bytes(1, static_cast<char>(first));
            if (second >= 0) bytes += static_cast<char>(second);
            const auto message = Decode(bytes);
            if (first != 0xFF) {
                ASSERT_EQ(message.kind, Kind::Text) << first << " " << second;
            }
            if (message.colour) {
                ASSERT_LE(*message.colour, 15);
            }
        }
    }
}

TEST(DisplayColours, EveryPaletteColourIsReadableOnItsBackdrop) {
    const Rgb black{0, 0, 0};
    const Rgb plate{255, 255, 255};
    EXPECT_NEAR(display::ContrastRatio(black, plate), 21.0, 1e-9);
    EXPECT_NEAR(display::ContrastRatio(plate, plate), 1.0, 1e-9);
    // On black, 0, 1, 2, 3, 4, 5 and 9 fall below 4.5:1: those get the white plate.
    const std::vector<int> onWhite = {0, 1, 2, 3, 4, 5, 9};
    for (int index = 0; index < 16; ++index) {
        const Rgb colour = PaletteColour(index);
        const Rgb backdrop = display::Backdrop(colour);
        const bool dark = std::find(onWhite.begin(), onWhite.end(), index) != onWhite.end();
        EXPECT_EQ(backdrop, (dark ? plate : black)) << index;
        EXPECT_GE(display::ContrastRatio(colour, backdrop), 4.5) << index;
    }
}
