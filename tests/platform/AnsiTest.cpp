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

TEST(Ansi, WhatTheCodePageLacksBecomesAQuestionMark) {
    EXPECT_EQ(ToAnsi("漢"), "?");
    EXPECT_EQ(ToAnsi("a😀b"), "a?b");
    EXPECT_EQ(ToAnsi("\xC3"), "?");            // cut sequence
    EXPECT_EQ(ToAnsi("\xC0\xAF"), "??");       // overlong form
    EXPECT_EQ(ToAnsi("\xED\xA0\x80"), "???");  // surrogate
    EXPECT_EQ(ToAnsi("\xFF"
                     "a"),
              "?a");  // invalid lead byte
}

TEST(Ansi, CaseFoldingCoversTheAccentedLettersOfTheCodePage) {
    EXPECT_TRUE(EqualNoCase("Boutons", "BOUTONS"));
    EXPECT_TRUE(EqualNoCase(ToAnsi("été"), ToAnsi("ÉTÉ")));
    EXPECT_TRUE(EqualNoCase(ToAnsi("œÿšž"), ToAnsi("ŒŸŠŽ")));
    EXPECT_FALSE(EqualNoCase(ToAnsi("ß"), "SS"));
    EXPECT_FALSE(EqualNoCase(ToAnsi("×"), ToAnsi("÷")));  // not a letter pair
    EXPECT_EQ(platform::UpperCase(ToAnsi("àbcÿ")), ToAnsi("ÀBCŸ"));
}
