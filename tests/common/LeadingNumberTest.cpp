#include "common/LeadingNumber.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

struct Case {
    const char* name;
    std::string text;
    double expected;
};

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    const Case cases[] = {
        {"plain", "8080", 8080},
        {"blanks around", "  8080  ", 8080},
        {"blanks tabs and line feeds inside", " 8 0\t8\n0", 8080},
        {"digits then letters", "80abc", 80},
        {"no digits", "abc", 0},
        {"empty", "", 0},
        {"hex", "&H1F90", 8080},
        {"hex lower case", "&h1f90", 8080},
        {"hex stops at non digit", "&H1FZ", 31},
        {"octal", "&O17", 15},
        {"octal stops at 8", "&O178", 15},
        {"ampersand alone", "&", 0},
        {"ampersand other letter", "&X12", 0},
        {"negative", "-120", -120},
        {"plus sign", "+7", 7},
        {"sign then blank", "- 5", -5},
        {"two signs", "--5", 0},
        {"fraction", "3.25", 3.25},
        {"fraction without leading digit", " .5", 0.5},
        {"second period stops", "1.2.3", 1.2},
        {"exponent", "1E3", 1000},
        {"exponent with sign", "25e-1", 2.5},
        {"D exponent", "2D2", 200},
        {"exponent without digits", "7E", 7},
        {"exponent sign without digits", "7E+x", 7},
        {"comma is not a decimal point", "1,5", 1},
        {"carriage return is not skipped", "\r5", 0},
        {"tiny underflows to zero", "1e-400", 0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.expected) << c.name;
}

TEST(LeadingNumber, HugeNumbersSaturateInsteadOfFailing) {
    EXPECT_EQ(LeadingNumber("1e999"), std::numeric_limits<double>::max());
    EXPECT_EQ(LeadingNumber("-1e999"), -std::numeric_limits<double>::max());
    EXPECT_GT(LeadingNumber(std::string(400, '9')), 1e300);
    const double max = std::numeric_limits<double>::max();
    EXPECT_EQ(LeadingNumber("1" + std::string(400, '0') + "e-10"), max) << "still huge";
    EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0) << "tiny, not huge";
    EXPECT_EQ(LeadingNumber("-0." + std::string(400, '0') + "1"), 0);
    EXPECT_EQ(LeadingNumber("1e99999999999999999999"), max);
    // Exponents of 10 digits and more pass a 32-bit integer on their way to saturating.
    EXPECT_EQ(LeadingNumber("1e3000000000"), max) << "not taken for a tiny number";
    EXPECT_EQ(LeadingNumber("-1e3000000000"), -max);
    EXPECT_EQ(LeadingNumber("1e-3000000000"), 0) << "not taken for a huge number";
    EXPECT_EQ(LeadingNumber("&H" + std::string(300, 'F')), max) << "not infinity";
}

TEST(LeadingNumber, ReadsOnlyTheCharactersOfTheView) {
    const std::string text = "12345";
    EXPECT_EQ(LeadingNumber(std::string_view(text).substr(0, 2)), 12);
}
