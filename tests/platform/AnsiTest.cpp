#include "platform/Ansi.h"

#include <gtest/gtest.h>

using platform::EqualNoCase;
using platform::FromAnsi;
using platform::ToAnsi;

TEST(Ansi, EveryByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(ToAnsi(FromAnsi(byte)), byte) << "byte " << b;
    }
}

TEST(Ansi, KnownCharactersMapToTheirCodePageBytes) {
    EXPECT_EQ(ToAnsi("é"), "\xE9");
    EXPECT_EQ(ToAnsi("€"), "\x80");
    EXPECT_EQ(ToAnsi("œŒŸ"), "\x9C\x8C\x9F");
    EXPECT_EQ(FromAnsi("\xE9t\xE9"), "été");
    EXPECT_EQ(FromAnsi("\x80"), "€");
    EXPECT_EQ(FromAnsi(std::string(1, '\0')), std::string(1, '\0'));
}

TEST(Ansi, WhatTheCodePageLacksBecomesAQuestionMarkAndIsToldWhenAsked) {
    struct Case {
        std::string text;
        std::string bytes;
        std::u32string lost;
    };
    const Case cases[] = {
        {"漢", "?", U"漢"},
        {"a😀b", "a?b", U"😀"},
        {"Promo → Łódź",
         "Promo ? ?\xF3"
         "d?",
         U"→Łź"},
        {"? stays ?", "? stays ?", U""},
        {"café €", "caf\xE9 \x80", U""},
        {"\xC3", "?", U"\uFFFD"},                        // cut sequence
        {"\xC0\xAF", "??", U"\uFFFD\uFFFD"},             // overlong form
        {"\xED\xA0\x80", "???", U"\uFFFD\uFFFD\uFFFD"},  // surrogate
        {"\xFF"
         "a",
         "?a", U"\uFFFD"},  // invalid lead byte
    };
    for (const Case& c : cases) {
        std::u32string lost = U"before:";
        EXPECT_EQ(ToAnsi(c.text, &lost), c.bytes) << c.text;
        EXPECT_EQ(lost, U"before:" + c.lost) << c.text;  // appended to what was there
        EXPECT_EQ(ToAnsi(c.text), c.bytes) << c.text;
    }
}

TEST(Ansi, CaseFoldingCoversTheAccentedLettersOfTheCodePage) {
    EXPECT_TRUE(EqualNoCase("Boutons", "BOUTONS"));
    EXPECT_TRUE(EqualNoCase(ToAnsi("été"), ToAnsi("ÉTÉ")));
    EXPECT_TRUE(EqualNoCase(ToAnsi("œÿšž"), ToAnsi("ŒŸŠŽ")));
    EXPECT_FALSE(EqualNoCase(ToAnsi("ß"), "SS"));
    EXPECT_FALSE(EqualNoCase(ToAnsi("×"), ToAnsi("÷")));  // not a letter pair
    EXPECT_EQ(platform::UpperCase(ToAnsi("àbcÿ")), ToAnsi("ÀBCŸ"));
}
