// The board as the web page receives it: its JSON and its event.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <string>

#include "board/Json.h"
#include "qr/QrSvg.h"
#include "web/WebBoard.h"

namespace {

using display::Board;

TEST(WebBoard, EscapesWhatJsonAndScriptsCannotHoldAsItIs) {
    struct Case {
        const char* name;
        std::string text;
        std::string json;
    };
    const Case cases[] = {
        {"plain", "Caisse 1", R"("Caisse 1")"},
        {"quote and backslash", R"(5" \ 2)", R"("5\" \\ 2")"},
        {"line ends and tab", "a\r\nb\tc", R"("a\r\nb\tc")"},
        {"other control characters, DEL and C1 too",
         std::string("\x01\x1F\x7F", 3) + std::string(1, '\0') + "\xC2\x85",
         R"("\u0001\u001f\u007f\u0000\u0085")"},
        {"accents and the euro stay as UTF-8", "Caf\xC3\xA9 12 \xE2\x82\xAC",
         "\"Caf\xC3\xA9 12 \xE2\x82\xAC\""},
        {"line and paragraph separators",
         "a\xE2\x80\xA8"
         "b\xE2\x80\xA9",
         R"("a\u2028b\u2029")"},
        {"a closing script tag is harmless in JSON", "</script>", R"("</script>")"},
        {"a byte that is not UTF-8",
         "a\xFF"
         "b",
         "\"a\xEF\xBF\xBD"
         "b\""},
        {"a sequence cut short", "a\xC3", "\"a\xEF\xBF\xBD\""},
        {"an overlong slash", "\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display::JsonString(c.text), c.json) << c.name;
}

TEST(WebBoard, JsonReadsBackAsTheBoardWithTheColoursRgb) {
    struct Case {
        int colour;
        const char* rgb;
    };
    const Case cases[] = {{0, "#000000"},  {1, "#000080"},  {6, "#808000"}, {7, "#c0c0c0"},
                          {12, "#ff0000"}, {14, "#ffff00"}, {15, "#ffffff"}};
    for (const auto& c : cases) {
        Board board;
        board.text = "Total : 12,50 \xE2\x82\xAC\n\"merci\"";
        board.scroll = "Soldes d'\xC3\xA9t\xC3\xA9 \\ -20 %";
        board.registerName = "Caisse\t2";
        board.colour = c.colour;
        board.total = "TOTAL\t12,50 \xE2\x82\xAC\nRendu\t7,50 \xE2\x82\xAC";
        board.picture = "0123456789abcdef.jpg";
        board.pictureAlone = true;
        QJsonParseError error{};
        const auto json =
            QJsonDocument::fromJson(QByteArray::fromStdString(display::BoardJson(board)), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << c.colour;
        const QJsonObject object = json.object();
        EXPECT_EQ(object.keys().size(), 12) << c.colour;
        EXPECT_EQ(object.value("picture").toString().toStdString(), board.picture);
        EXPECT_TRUE(object.value("pictureAlone").toBool());
        EXPECT_EQ(object.value("total").toString().toStdString(), board.total);
        EXPECT_EQ(object.value("text").toString().toStdString(), board.text) << c.colour;
        EXPECT_EQ(object.value("scroll").toString().toStdString(), board.scroll) << c.colour;
        EXPECT_EQ(object.value("register").toString().toStdString(), board.registerName);
        EXPECT_EQ(object.value("colour").toInt(-1), c.colour);
        EXPECT_EQ(object.value("rgb").toString(), c.rgb) << c.colour;
    }
}

TEST(WebBoard, KeysComeInTheirOrderAndTheEventIsOneDataLine) {
    Board board;
    board.text = "deux\nlignes";
    EXPECT_EQ(display::BoardJson(board),
              R"({"text":"deux\nlignes","scroll":"","register":"","colour":15,"rgb":"#ffffff",)"
              R"("total":"","qr":"","qrCaption":"","picture":"","pictureAlone":false,"qrImage":"",)"
              R"("qrModules":0})");
    const std::string event = display::BoardEvent(display::BoardJson(board));
    EXPECT_EQ(event, "data: " + display::BoardJson(board) + "\n\n");
    // A line end inside would split the event.
    EXPECT_EQ(event.find('\n'), event.size() - 2);
}

// The QR code travels as its payload and caption, and as the SVG the display drew of it, which
// the page only shows: the image of the symbol with its quiet zone.
TEST(WebBoard, AQrCodeComesWithItsImage) {
    Board board;
    board.qr =
        "BCD\n002\n1\nSCT\n\nFr\xC3\xA9"
        "d\xC3\xA9ric";
    board.qrCaption = "Scannez pour payer";
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray::fromStdString(display::BoardJson(board))).object();
    EXPECT_EQ(object.value("qr").toString().toStdString(), board.qr);
    EXPECT_EQ(object.value("qrCaption").toString().toStdString(), board.qrCaption);
    const auto symbol = display::QrSymbol::Encode(board.qr);
    ASSERT_TRUE(symbol);
    EXPECT_EQ(object.value("qrImage").toString().toStdString(), display::QrSvgDataUrl(*symbol));
    EXPECT_EQ(object.value("qrModules").toInt(), symbol->sideWithQuietZone());
}

TEST(WebBoard, AColourOutsideThePaletteIsWrittenAsTheStartingOne) {
    Board board;
    board.colour = 16;
    EXPECT_NE(display::BoardJson(board).find(R"("colour":15,"rgb":"#ffffff")"), std::string::npos);
}

}  // namespace
