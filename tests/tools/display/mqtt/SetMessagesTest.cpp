// A set message from the broker made into the wire format's messages: what each key does to
// the board, the fixed order several keys apply in, and every way a payload is refused whole.

#include "mqtt/SetMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

#include "board/Board.h"

namespace display {
namespace {

// The board a shop's display shows before the message: a sale and all its parts.
Board Before() {
    Board board;
    board.text = "Avant";
    board.scroll = "Défilant";
    board.registerName = "Caisse 1";
    board.colour = 3;
    board.total = "TOTAL\t1,00 EUR";
    return board;
}

// A QR code comes after its sale, which would otherwise end it; a text, clear or an empty
// code removes it.
TEST(SetMessages, AQrCodeStandsBesideItsSaleUntilTheNextText) {
    struct Case {
        const char* payload;
        const char* qr;
        const char* caption;
    };
    const Case cases[] = {
        {R"({"qr":["BCD\n002\n1","Scannez pour payer"],"lines":[["Pain","1,20"]],)"
         R"("total":["TOTAL","1,20"]})",
         "BCD\n002\n1", "Scannez pour payer"},
        {R"({"qr":"upi://pay?pa=shop@bank"})", "upi://pay?pa=shop@bank", ""},
        {R"({"scroll":"Soldes"})", "BCD", "Payer"},
        {R"({"text":"Suivant"})", "", ""},
        {R"({"clear":true})", "", ""},
        {R"({"qr":""})", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        const auto made = SetMessages(c.payload);
        const auto* messages = std::get_if<std::vector<Message>>(&made);
        ASSERT_NE(messages, nullptr) << "refused: " << std::get<std::string>(made);
        Board board = Before();
        board.qr = "BCD";
        board.qrCaption = "Payer";
        for (const Message& message : *messages)
            board.Apply(message);
        EXPECT_EQ(board.qr, c.qr);
        EXPECT_EQ(board.qrCaption, c.caption);
    }
    const auto refused = SetMessages(R"({"qr":["BCD"]})");
    ASSERT_TRUE(std::holds_alternative<std::string>(refused));
    EXPECT_EQ(std::get<std::string>(refused).rfind("qr wants", 0), 0U);
}

TEST(SetMessages, EachKeyChangesItsPartOfTheBoard) {
    struct Case {
        const char* payload;
        const char* text;
        const char* scroll;
        const char* registerName;
        int colour;
        const char* total;
    };
    const Case cases[] = {
        // A text ends the sale's total, as over TCP.
        {R"({"text":"Café"})", "Café", "Défilant", "Caisse 1", 3, ""},
        {R"({"text":"\u00e9t\u00e9"})", "été", "Défilant", "Caisse 1", 3, ""},
        {R"({"scroll":"Soldes"})", "Avant", "Soldes", "Caisse 1", 3, "TOTAL\t1,00 EUR"},
        {R"({"register":"Caisse 2"})", "Avant", "Défilant", "Caisse 2", 3, "TOTAL\t1,00 EUR"},
        {R"({"colour":12})", "Avant", "Défilant", "Caisse 1", 12, "TOTAL\t1,00 EUR"},
        {R"({"colour":0})", "Avant", "Défilant", "Caisse 1", 0, "TOTAL\t1,00 EUR"},
        {R"({"lines":[["Pain","1,20"],["Lait","0,95"]]})", "Pain\t1,20\nLait\t0,95", "Défilant",
         "Caisse 1", 3, ""},
        {R"({"lines":[]})", "", "Défilant", "Caisse 1", 3, ""},
        // Written total first: the text still comes first, and does not end this total.
        {R"({"total":["TOTAL","2,15 EUR"],"change":["RENDU","7,85 EUR"],)"
         R"("lines":[["Pain","1,20"],["Lait","0,95"]]})",
         "Pain\t1,20\nLait\t0,95", "Défilant", "Caisse 1", 3, "TOTAL\t2,15 EUR\nRENDU\t7,85 EUR"},
        {R"({"total":["TOTAL","2,15 EUR"]})", "Avant", "Défilant", "Caisse 1", 3,
         "TOTAL\t2,15 EUR"},
        // Clear empties what the customer reads of the last sale; the corner and colour stay.
        {R"({"clear":true})", "", "", "Caisse 1", 3, ""},
        // Clear first, whatever the order written: the new text stays.
        {R"({"text":"Suivant","clear":true})", "Suivant", "", "Caisse 1", 3, ""},
        {R"({"colour":9,"register":"Caisse 4","scroll":"Promo","text":"Bonjour"})", "Bonjour",
         "Promo", "Caisse 4", 9, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        const auto made = SetMessages(c.payload);
        const auto* messages = std::get_if<std::vector<Message>>(&made);
        ASSERT_NE(messages, nullptr) << "refused: " << std::get<std::string>(made);
        Board board = Before();
        for (const Message& message : *messages)
            board.Apply(message);
        EXPECT_EQ(board.text, c.text);
        EXPECT_EQ(board.scroll, c.scroll);
        EXPECT_EQ(board.registerName, c.registerName);
        EXPECT_EQ(board.colour, c.colour);
        EXPECT_EQ(board.total, c.total);
    }
}

TEST(SetMessages, AFaultAnywhereRefusesTheWholeObjectAndSaysWhy) {
    struct Case {
        std::string payload;
        const char* reason;  // a part of the reason
    };
    const Case cases[] = {
        {"{\"text\":\"\xC3\x28\"}", "not UTF-8"},
        {"{\"text\":\"caf\xE9\"}", "not UTF-8"},  // Windows-1252, not UTF-8
        {R"({"text":)", "not JSON"},
        {R"({"text":"a"} trailing)", "not JSON"},
        {R"([{"text":"a"}])", "not a JSON object"},
        {R"({})", "sets nothing"},
        {R"({"txt":"a"})", "unknown key \"txt\""},
        {R"({"text":"a","Total":["T","1"]})", "unknown key \"Total\""},
        {R"({"text":5})", "text wants a string"},
        {R"({"scroll":null})", "scroll wants a string"},
        {R"({"colour":16})", "colour wants a whole number from 0 to 15"},
        {R"({"colour":-1})", "colour wants"},
        {R"({"colour":2.5})", "colour wants"},
        {R"({"colour":"12"})", "colour wants"},
        {R"({"colour":1e300})", "colour wants"},
        {R"({"lines":"Pain"})", "lines wants"},
        {R"({"lines":[["Pain"]]})", "lines wants"},
        {R"({"lines":[["Pain","1,20","x"]]})", "lines wants"},
        {R"({"lines":[["Pain",1.2]]})", "lines wants"},
        {R"({"lines":[["Pa\tin","1,20"]]})", "lines wants"},
        {R"({"lines":[["Pain","1,20\n2"]]})", "lines wants"},
        {R"({"total":"TOTAL 2,15"})", "total wants"},
        {R"({"total":["TOTAL"]})", "total wants"},
        {R"({"total":["TO\r\nTAL","2,15"]})", "total wants"},
        {R"({"change":["RENDU","7,85"]})", "change goes with total"},
        {R"({"total":["TOTAL","2,15"],"change":"7,85"})", "change wants"},
        {R"({"text":"a","lines":[]})", "text and lines both set the text"},
        {R"({"clear":false})", "clear wants true"},
        // One bad value among good ones: nothing of the object applies.
        {R"({"text":"Bonjour","clear":true,"colour":99})", "colour wants"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        const auto made = SetMessages(c.payload);
        const auto* why = std::get_if<std::string>(&made);
        ASSERT_NE(why, nullptr) << "taken";
        EXPECT_NE(why->find(c.reason), std::string::npos) << *why;
    }
}

// A kind added to the wire format must be reachable through the broker too: one row of the
// key table.
TEST(SetMessages, EveryKindOfTheWireFormatHasAKey) {
    const auto keys = SetKeyTable();
    for (const protocol::KindRow& kind : protocol::kKinds) {
        const bool keyed = std::any_of(keys.begin(), keys.end(), [&](const SetKey& key) {
            return key.kind == kind.kind && key.value != SetValue::Clear;
        });
        EXPECT_TRUE(keyed) << "no key sets the kind " << kind.name;
    }
}

}  // namespace
}  // namespace display
