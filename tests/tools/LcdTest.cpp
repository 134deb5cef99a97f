// The character-display side of afficheur-display without a socket: texts cleaned, converted
// and quoted for LCDd, the board laid out on 1 to 4 lines, and the protocol lines sent.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

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

TEST(LcdScreen, LaysTheBoardOutOnEachSize) {
    const LcdTexts texts{"Bonjour", "Soldes", "Caisse 1"};
    const std::string longText(30, 'L');
    struct Case {
        const char* name;
        LcdTexts texts;
        LcdSize size;
        std::vector<LcdWidget> widgets;
    };
    const Case cases[] = {
        {"1 line: the plain text alone, centred",
         texts,
         {16, 1},
         {{"text", "scroller", "5 1 16 1 m 2 \"Bonjour\""}}},
        {"2 lines: text centred, scrolling text below",
         texts,
         {20, 2},
         {{"text", "scroller", "7 1 20 1 m 2 \"Bonjour\""},
          {"scroll", "scroller", "1 2 20 2 m 2 \"Soldes\""}}},
        {"4 lines: the register's name on the last line",
         texts,
         {20, 4},
         {{"text", "scroller", "7 1 20 1 m 2 \"Bonjour\""},
          {"scroll", "scroller", "1 2 20 2 m 2 \"Soldes\""},
          {"name", "string", "1 4 \"Caisse 1\""}}},
        {"3 lines: the name on line 3",
         texts,
         {20, 3},
         {{"text", "scroller", "7 1 20 1 m 2 \"Bonjour\""},
          {"scroll", "scroller", "1 2 20 2 m 2 \"Soldes\""},
          {"name", "string", "1 3 \"Caisse 1\""}}},
        {"a text longer than the line runs along all of it",
         {longText, "", ""},
         {20, 2},
         {{"text", "scroller", "1 1 20 1 m 2 \"" + longText + "\""},
          {"scroll", "scroller", "1 2 20 2 m 2 \"\""}}},
        {"a text as long as the line starts at column 1",
         {std::string(20, 'F'), "", ""},
         {20, 1},
         {{"text", "scroller", "1 1 20 1 m 2 \"" + std::string(20, 'F') + "\""}}},
        {"an empty board blanks every line",
         {},
         {20, 4},
         {{"text", "scroller", "11 1 20 1 m 2 \"\""},
          {"scroll", "scroller", "1 2 20 2 m 2 \"\""},
          {"name", "string", "1 4 \"\""}}},
        {"quotes in a text are escaped in its widget",
         {"dit \"oui\"", "", ""},
         {20, 1},
         {{"text", "scroller", "6 1 20 1 m 2 \"dit \\\"oui\\\"\""}}},
        {"a size LCDd never gives lays out nothing", texts, {0, 2}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display::Layout(c.texts, c.size), c.widgets) << c.name;
}

TEST(LcdScreen, SetsTheScreenUpInTheForegroundWithoutHeartbeat) {
    const auto widgets = display::Layout({"a", "b", "c"}, {20, 4});
    const std::vector<std::string> expected = {
        "client_set -name afficheur",
        "screen_add afficheur",
        "screen_set afficheur -name Afficheur -priority foreground -heartbeat off",
        "widget_add afficheur text scroller",
        "widget_add afficheur scroll scroller",
        "widget_add afficheur name string",
    };
    EXPECT_EQ(display::SetupCommands(widgets), expected);
}

TEST(LcdScreen, SendsOnlyTheWidgetsThatChanged) {
    const LcdSize size{20, 4};
    const auto before = display::Layout({"Bonjour", "Soldes", "Caisse 1"}, size);
    struct Case {
        const char* name;
        LcdTexts now;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {"nothing changed, nothing sent", {"Bonjour", "Soldes", "Caisse 1"}, {}},
        {"a new text: its line only",
         {"Merci", "Soldes", "Caisse 1"},
         {"widget_set afficheur text 8 1 20 1 m 2 \"Merci\""}},
        {"a new scrolling text: its line only",
         {"Bonjour", "Promo", "Caisse 1"},
         {"widget_set afficheur scroll 1 2 20 2 m 2 \"Promo\""}},
        {"a new register name: the last line only",
         {"Bonjour", "Soldes", "Caisse 2"},
         {"widget_set afficheur name 1 4 \"Caisse 2\""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(display::WidgetSets(before, display::Layout(c.now, size)), c.commands) << c.name;
    }
    // A fresh connection has shown nothing: every widget is set.
    EXPECT_EQ(display::WidgetSets({}, before).size(), before.size());
}
