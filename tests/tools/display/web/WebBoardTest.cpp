// The board as the web page receives it (its JSON, its event), the meter that holds a
// request to the web server's bounds and the share that keeps one address from taking every
// slot.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <string>
#include <vector>

#include "board/Json.h"
#include "shared/FairShare.h"
#include "web/WebBoard.h"
#include "web/WebLimits.h"

namespace {

using display::Board;
using display::RequestMeter;
using display::RequestVerdict;
using display::WebLimits;

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
        QJsonParseError error{};
        const auto json =
            QJsonDocument::fromJson(QByteArray::fromStdString(display::BoardJson(board)), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << c.colour;
        const QJsonObject object = json.object();
        EXPECT_EQ(object.keys().size(), 6) << c.colour;
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
              R"("total":""})");
    const std::string event = display::BoardEvent(display::BoardJson(board));
    EXPECT_EQ(event, "data: " + display::BoardJson(board) + "\n\n");
    // A line end inside would split the event.
    EXPECT_EQ(event.find('\n'), event.size() - 2);
}

TEST(WebBoard, AColourOutsideThePaletteIsWrittenAsTheStartingOne) {
    Board board;
    board.colour = 16;
    EXPECT_NE(display::BoardJson(board).find(R"("colour":15,"rgb":"#ffffff")"), std::string::npos);
}

TEST(WebLimitsMeter, HoldsARequestToItsBounds) {
    WebLimits limits;
    limits.maxRequestBytes = 64;
    limits.maxHeadLines = 3;
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        RequestVerdict verdict;
        bool headEnded;
    };
    const Case cases[] = {
        {"a small request", {"GET / HTTP/1.1\r\nHost: a\r\n\r\n"}, RequestVerdict::Within, true},
        {"bare line feeds", {"GET / HTTP/1.1\nHost: a\n\n"}, RequestVerdict::Within, true},
        {"the head's end across chunks",
         {"GET / HTTP/1.1\r\n", "\r", "\n"},
         RequestVerdict::Within,
         true},
        {"empty lines before the request line",
         {"\r\n\r\nGET / HTTP/1.1\r\n"},
         RequestVerdict::Within,
         false},
        {"a head not ended yet", {"GET / HTTP/1.1\r\nHost: a\r\n"}, RequestVerdict::Within, false},
        {"exactly the byte bound",
         {"GET /" + std::string(40, 'a') + " HTTP/1.1\r\nX: 1\r\n\r\n"},
         RequestVerdict::Within,
         true},
        {"one byte past it in the head",
         {"GET /" + std::string(41, 'a') + " HTTP/1.1\r\nX: 1\r\n\r\n"},
         RequestVerdict::HeadTooLarge,
         true},
        {"a head past it that never ends",
         {"GET /", std::string(70, 'a')},
         RequestVerdict::HeadTooLarge,
         false},
        {"too many lines",
         {"GET / HTTP/1.1\r\nA: 1\r\nB: 1\r\nC: 1\r\n\r\n"},
         RequestVerdict::HeadTooLarge,
         true},
        {"a body past the byte bound",
         {"POST / HTTP/1.1\r\n\r\n", std::string(60, 'b')},
         RequestVerdict::TooLarge,
         true},
        {"a CR alone is not a line end", {"GET / HTTP/1.1\r\r\r\r"}, RequestVerdict::Within, false},
    };
    for (const auto& c : cases) {
        RequestMeter meter(limits);
        RequestVerdict verdict = RequestVerdict::Within;
        for (const auto& chunk : c.chunks)
            verdict = meter.Feed(chunk);
        EXPECT_EQ(verdict, c.verdict) << c.name;
        EXPECT_EQ(meter.headEnded(), c.headEnded) << c.name;
    }
}

TEST(WebLimitsMeter, AVerdictPastABoundStays) {
    WebLimits limits;
    limits.maxRequestBytes = 8;
    RequestMeter meter(limits);
    EXPECT_EQ(meter.Feed("GET /123456789"), RequestVerdict::HeadTooLarge);
    EXPECT_EQ(meter.Feed("\r\n\r\n"), RequestVerdict::HeadTooLarge);
}

TEST(WebLimitsShare, NoAddressKeepsTheOthersOut) {
    using Share = display::FairShare<int>;
    using Admission = Share::Admission;
    struct Case {
        const char* name;
        std::string holders;  // one address a letter, a slot each, the oldest first
        int places;
        int share;
        std::string newcomer;
        Admission admission;
        int victim = -1;  // the slot taken back, by its place in holders
    };
    const Case cases[] = {
        {"a free slot", "aab", 4, 2, "b", Admission::Take},
        {"an address at its share, slots free", "aab", 4, 2, "a", Admission::RefuseShare},
        {"an address at its share, every slot taken", "aabb", 4, 2, "a", Admission::RefuseShare},
        {"one address holding every slot", "aaaa", 4, 4, "b", Admission::TakeBack, 0},
        {"the address that holds the most", "abbbcc", 6, 4, "d", Admission::TakeBack, 1},
        {"back over a link that dropped, its old slot still held", "abcd", 4, 2, "c",
         Admission::TakeBack, 2},
        {"an address that holds fewer than the most", "abbb", 4, 4, "a", Admission::TakeBack, 1},
        {"a tie with its own address", "abba", 4, 4, "a", Admission::TakeBack, 0},
        {"a tie between others: the oldest slot", "caab", 4, 4, "d", Admission::TakeBack, 1},
        {"a tie between others, the other way", "cbaab", 5, 4, "d", Admission::TakeBack, 1},
        {"every address holding one", "abcd", 4, 2, "e", Admission::RefuseFull},
    };
    for (const auto& c : cases) {
        Share share(c.places, c.share);
        for (std::size_t i = 0; i < c.holders.size(); ++i)
            share.Hold(static_cast<int>(i), std::string(1, c.holders[i]));
        const Share::Verdict verdict = share.Admit(c.newcomer);
        EXPECT_EQ(verdict.admission, c.admission) << c.name;
        if (c.admission != Admission::TakeBack) continue;
        EXPECT_EQ(verdict.victim, c.victim) << c.name;
        EXPECT_EQ(verdict.victimAddress, std::string(1, c.holders[c.victim])) << c.name;
    }
}

TEST(WebLimitsShare, ASlotReleasedIsFreeAgain) {
    display::FairShare<int> share(2, 2);
    share.Hold(1, "a");
    share.Hold(2, "b");
    ASSERT_EQ(share.Admit("c").admission, display::FairShare<int>::Admission::RefuseFull);
    share.Release(1);
    EXPECT_EQ(share.Admit("c").admission, display::FairShare<int>::Admission::Take);
    EXPECT_EQ(share.Holders(), std::vector<int>{2});
}

}  // namespace
