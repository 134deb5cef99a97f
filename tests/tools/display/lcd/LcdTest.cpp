// The character-display side of afficheur-display without a socket: texts cleaned, converted
// and quoted for LCDd, the board laid out on 1 to 4 lines, and the protocol lines sent.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "LayoutRuleTable.h"
#include "lcd/LcdScreen.h"
#include "lcd/LcdText.h"

namespace display {
// Failures name the widget rather than dump its bytes.
void PrintTo(const LcdWidget& widget, std::ostream* out) {
    *out << widget.id << " " << widget.type << " " << widget.arguments;
}
}  // namespace display

using display::DropControls;
using display::LcdCharset;
using display::LcdSize;
using display::LcdTexts;
using display::LcdWidget;
using display::ParseConnect;
using display::Quote;

namespace {

// What LCDd's parser (server/parse.c) makes of one quoted argument: the reference the quoting
// is held to. Backslash copies the next byte, except n, r, t; the quote ends the argument.
std::string Unquote(const std::string& argument) {
    std::string out;
    if (argument.size() < 2 || argument.front() != '"' || argument.back() != '"') return "<bad>";
    for (std::size_t i = 1; i + 1 < argument.size(); ++i) {
        char c = argument[i];
        if (c == '"') return "<ended early>";
        if (c == '\\') {
            c = argument[++i];
            if (i + 1 >= argument.size()) return "<escape at the end>";
            if (c == 'n') c = '\n';
            if (c == 'r') c = '\r';
            if (c == 't') c = '\t';
        }
        out += c;
    }
    return out;
}

LcdCharset Open(const char* name) {
    std::string error;
    auto charset = LcdCharset::Open(name, &error);
    EXPECT_TRUE(charset) << name << ": " << error;
    return std::move(*charset);
}

}  // namespace

TEST(LcdText, QuotingGivesBackTheBytesThroughLcddsParser) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string parsed;  // what LCDd ends up with
    };
    const Case cases[] = {
        {"plain words keep their blanks", "Bonjour madame", "Bonjour madame"},
        {"a double quote does not end the argument", "dit \"oui\"", "dit \"oui\""},
        {"a backslash stays one backslash", "a\\b", "a\\b"},
        {"backslash-n stays two characters, not a line feed", "C:\\new", "C:\\new"},
        {"braces do not open another quoting", "{x} }{", "{x} }{"},
        {"a line feed would end the command: dropped", "one\ntwo\r", "onetwo"},
        {"other control bytes and DEL dropped",
         "a\x01\x1F\x7F"
         "b",
         "ab"},
        {"a trailing backslash cannot eat the closing quote", "end\\", "end\\"},
        {"empty text is an empty argument", "", ""},
        {"bytes above 127 pass as they are", "Caf\xE9", "Caf\xE9"},
    };
    for (const auto& c : cases) {
        const std::string quoted = Quote(c.bytes);
        EXPECT_EQ(Unquote(quoted), c.parsed) << c.name << ": " << quoted;
        EXPECT_EQ(quoted.find('\n'), std::string::npos) << c.name;
    }
}

TEST(LcdText, DropControlsRemovesC0DelAndC1Only) {
    EXPECT_EQ(DropControls("a\tb\x1B[2Jc\x7F"), "ab[2Jc");
    EXPECT_EQ(DropControls("x\xC2\x85y\xC2\x9Fz"), "xyz");  // NEL, APC
    EXPECT_EQ(DropControls("\xC2\xA0\xC3\xA9\xE2\x82\xAC"), "\xC2\xA0\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(DropControls("\xC2"), "\xC2");  // a cut sequence is left to the conversion
}

TEST(LcdText, ConvertsToTheDisplaysCharsetWithTransliteration) {
    struct Case {
        const char* charset;
        std::string utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {"ASCII", "Café crème", "Cafe creme"},
        {"ASCII", "Prix : 5 €", "Prix : 5 EUR"},
        {"ASCII", "Œuvre « soldes » – été", "OEuvre << soldes >> - ete"},
        {"ASCII", "日本", "??"},
        {"ASCII", "bad \xFF byte", "bad ? byte"},
        {"ASCII", "cut \xC3", "cut ?"},
        {"ASCII", "tab\there\n", "tabhere"},
        {"ISO-8859-1", "Café", "Caf\xE9"},
        {"ISO-8859-1", "5 €", "5 EUR"},
        {"ISO-8859-15", "5 €", "5 \xA4"},
        {"CP437", "Café ÿ", "Caf\x82 \x98"},
        {"CP850", "Œuf", "OEuf"},
        {"ascii//TRANSLIT", "été", "ete"},
    };
    for (const auto& c : cases) {
        const LcdCharset charset = Open(c.charset);
        EXPECT_EQ(charset.Convert(c.utf8), c.bytes) << c.charset << " " << c.utf8;
    }
}

TEST(LcdText, ConversionCutsALongTextAtTheDisplaysShare) {
    const LcdCharset ascii = Open("ASCII");
    EXPECT_EQ(ascii.Convert(std::string(70000, 'x')), std::string(display::kMaxLcdTextBytes, 'x'));
    // A transliteration that does not fit whole is left out rather than cut in the middle.
    const std::string euros = ascii.Convert(std::string(display::kMaxLcdTextBytes - 1, 'x') + "€");
    EXPECT_EQ(euros, std::string(display::kMaxLcdTextBytes - 1, 'x'));
    // A bad byte just past a full share adds nothing (its '?' would not fit).
    const std::string full(display::kMaxLcdTextBytes, 'x');
    EXPECT_EQ(ascii.Convert(full + "\xFF"), full);
    EXPECT_EQ(ascii.Convert(full + "\xC3"), full);
}

TEST(LcdText, RefusesCharsetsLcddCannotCount) {
    struct Case {
        const char* name;
        const char* why;  // a word the reason must hold
    };
    const Case cases[] = {
        {"NO-SUCH-SET", "unknown"},
        {"UTF-8", "one byte per character"},
        {"UTF-16", "one byte per character"},
        {"", "no character set"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(LcdCharset::Open(c.name, &error)) << c.name;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.name << ": " << error;
    }
}

TEST(LcdScreen, ReadsTheSizeFromTheConnectAnswer) {
    struct Case {
        const char* line;
        std::optional<LcdSize> size;
    };
    const Case cases[] = {
        {"connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 2 cellwid 5 cellhgt 8", LcdSize{20, 2}},
        {"connect LCDproc 0.5.9 protocol 0.3 lcd wid 40 hgt 4 cellwid 5 cellhgt 8\r",
         LcdSize{40, 4}},
        {"connect LCDproc 0.5.9 protocol 0.3 lcd hgt 1 wid 16", LcdSize{16, 1}},
        {"connect LCDproc 0.5.9 protocol 0.3 lcd wid 0 hgt 2", std::nullopt},
        {"connect LCDproc 0.5.9 protocol 0.3 lcd wid 20x hgt 2", std::nullopt},
        {"connect LCDproc 0.5.9 protocol 0.3 lcd wid 20", std::nullopt},
        {"connect LCDproc 0.5.9 protocol 0.3 lcd wid 999 hgt 2", std::nullopt},
        {"huh? Invalid command \"hello\"", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseConnect(c.line), c.size) << c.line;
}

TEST(LcdScreen, GivesTheLinesFromTheBottomAndTheTextWhatIsLeft) {
    const LcdTexts texts{"Bonjour", "Soldes", "Caisse 1", ""};
    const std::string blank;
    struct Case {
        const char* name;
        LcdTexts texts;
        LcdSize size;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"1 line: the text alone, centred", texts, {16, 1}, {"    Bonjour"}},
        {"2 lines: the scrolling text on the last", texts, {20, 2}, {"      Bonjour", "Soldes"}},
        {"3 lines: the register's name last, the scrolling text above",
         texts,
         {20, 3},
         {"      Bonjour", "Soldes", "Caisse 1"}},
        {"4 lines: the text has the two lines left, from the top",
         texts,
         {20, 4},
         {"      Bonjour", blank, "Soldes", "Caisse 1"}},
        {"no scrolling text: the text takes its line",
         {"Caf\xE9 cr\xE8me\n2,40 EUR", "", "Caisse 1", ""},
         {20, 3},
         {"     Caf\xE9 cr\xE8me", "      2,40 EUR", "Caisse 1"}},
        {"a line break starts a new line",
         {"Cafe creme\n2,40 EUR", "", "", ""},
         {20, 2},
         {"     Cafe creme", "      2,40 EUR"}},
        {"a text that fits its lines word-wrapped is wrapped",
         {"Soldes d'ete sur tout le magasin", "", "", ""},
         {20, 2},
         {"  Soldes d'ete sur", "  tout le magasin"}},
        {"lines past those the text has join its last",
         {"Cafe\ncreme\n2,40", "Promo", "", ""},
         {20, 2},
         {"  Cafe creme 2,40", "Promo"}},
        {"an amount and its unit too wide to share a line wrap apart",
         {"12,50 EUR", "", "", ""},
         {8, 2},
         {" 12,50", "  EUR"}},
        {"an empty line joined to the last adds nothing",
         {"Bonjour\n", "Promo", "", ""},
         {20, 2},
         {"      Bonjour", "Promo"}},
        {"a text too long for its line stays whole, for the marquee",
         {std::string(30, 'L'), "", "", ""},
         {20, 1},
         {std::string(30, 'L')}},
        {"a 1-line display joins every line of the text",
         {"a\nb", "Promo", "Caisse", ""},
         {20, 1},
         {"        a b"}},
        {"an empty board blanks every line", {}, {20, 4}, {blank, blank, blank, blank}},
        {"a size LCDd never gives lays out nothing", texts, {0, 2}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display::BoardLines(c.texts, c.size), c.lines) << c.name;
}

TEST(LcdScreen, ASaleScreenSetsEachAmountFlushRight) {
    struct Case {
        const char* name;
        LcdTexts texts;
        LcdSize size;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"an item and the total, each amount in the last column",
         {"Cafe creme\t2,40 EUR\nTOTAL\t23,70 EUR", "Promo", "Caisse 1", ""},
         {20, 2},
         {"Cafe creme  2,40 EUR", "TOTAL      23,70 EUR"}},
        {"the lines a sale leaves keep the scrolling text, then the register's name",
         {"Cafe\t2,40 EUR", "Promo", "Caisse 1", "TOTAL\t2,40 EUR"},
         {20, 4},
         {"Caisse 1", "Promo", "Cafe        2,40 EUR", "TOTAL       2,40 EUR"}},
        {"one line left: the scrolling text",
         {"Cafe\t2,40 EUR\nThe\t3,10 EUR", "Promo", "Caisse 1", "TOTAL\t5,50 EUR"},
         {20, 4},
         {"Promo", "Cafe        2,40 EUR", "The         3,10 EUR", "TOTAL       5,50 EUR"}},
        {"a total alone, with the change due, on the last lines",
         {"", "", "", "TOTAL\t20,00\nRendu\t5,00"},
         {20, 4},
         {"", "", "TOTAL          20,00", "Rendu           5,00"}},
        {"more lines than the display: the last ones",
         {"The\t3,10\nCafe\t2,40\nTOTAL\t5,50", "", "", ""},
         {20, 2},
         {"Cafe            2,40", "TOTAL           5,50"}},
        {"an item too long is cut to leave one blank before the amount",
         {"Croissant au beurre AOP\t1,20 EUR", "", "", ""},
         {20, 1},
         {"Croissant a 1,20 EUR"}},
        {"an amount longer than the line stands alone, for the marquee",
         {"Remise\t" + std::string(24, '9'), "", "", ""},
         {20, 1},
         {std::string(24, '9')}},
        {"a line without a TAB in a sale screen stays as it is",
         {"Merci\nTOTAL\t5,50", "", "", ""},
         {20, 2},
         {"Merci", "TOTAL           5,50"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display::BoardLines(c.texts, c.size), c.lines) << c.name;
}

TEST(LcdScreen, AMarqueeShowsItsBeginningHoldsScrollsToItsEndAndComesBack) {
    const std::string line = "Cafe creme 2,40 EUR Strasse";  // 27 characters on 20
    struct Case {
        int step;
        std::string shown;
    };
    const int hold = display::kLcdMarqueeHoldSteps;
    const Case cases[] = {
        {0, "Cafe creme 2,40 EUR "},
        {hold, "Cafe creme 2,40 EUR "},  // held at its beginning
        {hold + 1, "afe creme 2,40 EUR S"},
        {hold + 7, "eme 2,40 EUR Strasse"},             // its end shows
        {hold + 7 + hold - 1, "eme 2,40 EUR Strasse"},  // held at its end
        {hold + 7 + hold, "Cafe creme 2,40 EUR "},      // and from the beginning again
    };
    for (const auto& c : cases) {
        EXPECT_EQ(display::MarqueeWindow(line, 20, c.step), c.shown.substr(0, 20)) << c.step;
    }
    EXPECT_EQ(display::MarqueeWindow("Court", 20, 5), "Court");
    EXPECT_TRUE(display::HasMarquee({line, "", "", ""}, {20, 1}));
    EXPECT_FALSE(display::HasMarquee({line, "", "", ""}, {20, 2}));  // wrapped on two lines
    EXPECT_FALSE(display::HasMarquee({"Cafe", "Soldes", "Caisse", ""}, {20, 2}));
}

TEST(LcdScreen, PutsEachLineInAStringWidgetOfItsOwn) {
    EXPECT_EQ(display::Layout({"dit \"oui\"", "Promo", "Caisse 1", ""}, {20, 3}),
              (std::vector<LcdWidget>{{"l1", "string", "1 1 \"     dit \\\"oui\\\"\""},
                                      {"l2", "string", "1 2 \"Promo\""},
                                      {"l3", "string", "1 3 \"Caisse 1\""}}));
    // A marquee's widget holds the window it has reached.
    EXPECT_EQ(display::Layout({std::string(25, 'a') + "b", "", "", ""}, {20, 1},
                              display::kLcdMarqueeHoldSteps + 6),
              (std::vector<LcdWidget>{{"l1", "string", "1 1 \"" + std::string(19, 'a') + "b\""}}));
}

TEST(LcdScreen, SetsTheScreenUpInTheForegroundWithoutHeartbeat) {
    const auto widgets = display::Layout({"a", "b", "c", ""}, {20, 4});
    const std::vector<std::string> expected = {
        "client_set -name afficheur",
        "screen_add afficheur",
        "screen_set afficheur -name Afficheur -priority foreground -heartbeat off",
        "widget_add afficheur l1 string",
        "widget_add afficheur l2 string",
        "widget_add afficheur l3 string",
        "widget_add afficheur l4 string",
    };
    EXPECT_EQ(display::SetupCommands(widgets), expected);
}

TEST(LcdScreen, SendsOnlyTheWidgetsThatChanged) {
    const LcdSize size{20, 4};
    const auto before = display::Layout({"Bonjour", "Soldes", "Caisse 1", ""}, size);
    struct Case {
        const char* name;
        LcdTexts now;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {"nothing changed, nothing sent", {"Bonjour", "Soldes", "Caisse 1", ""}, {}},
        {"a new text: its line only",
         {"Merci", "Soldes", "Caisse 1", ""},
         {"widget_set afficheur l1 1 1 \"       Merci\""}},
        {"a new scrolling text: its line only",
         {"Bonjour", "Promo", "Caisse 1", ""},
         {"widget_set afficheur l3 1 3 \"Promo\""}},
        {"a new register name: the last line only",
         {"Bonjour", "Soldes", "Caisse 2", ""},
         {"widget_set afficheur l4 1 4 \"Caisse 2\""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(display::WidgetSets(before, display::Layout(c.now, size)), c.commands) << c.name;
    }
    // A fresh connection has shown nothing: every widget is set.
    EXPECT_EQ(display::WidgetSets({}, before).size(), before.size());
}

// The layout rule's table on 20x2 and 20x4 character displays, in ASCII: what each line shows
// when the board has just changed (a marquee at its beginning).
TEST(LayoutRule, OnACharacterDisplay) {
    std::string error;
    const auto ascii = display::LcdCharset::Open("ASCII", &error);
    ASSERT_TRUE(ascii) << error;
    for (const ruletable::Row& row : ruletable::Rows()) {
        SCOPED_TRACE(row.name);
        const LcdTexts texts{
            display::ConvertLines(*ascii, row.board.text), ascii->Convert(row.board.scroll),
            ascii->Convert(row.board.registerName), display::ConvertLines(*ascii, row.board.total)};
        for (const auto& [size, expected] :
             {std::pair{LcdSize{20, 2}, row.lcd20x2}, std::pair{LcdSize{20, 4}, row.lcd20x4}}) {
            std::vector<std::string> shown;
            for (const std::string& line : display::BoardLines(texts, size))
                shown.push_back(display::MarqueeWindow(line, size.width, 0));
            EXPECT_EQ(shown, expected) << size.width << "x" << size.height;
        }
    }
}
