#include "common/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "support/ToolSkip.h"

TEST(NumberText, WholeNumbersTakeABlankOrAMinusSign) {
    EXPECT_EQ(NumberText(3), " 3");
    EXPECT_EQ(NumberText(0), " 0");
    EXPECT_EQ(NumberText(-120), "-120");
    EXPECT_EQ(NumberText(int64_t{1234567890123}), " 1234567890123");  // no separators
}

struct FloatCase {
    float number;
    const char* text;
};

TEST(NumberText, SinglePrecisionKeepsSevenDigitsAndDropsTheLeadingZero) {
    const FloatCase cases[] = {
        {0.5f, " .5"},         {-0.25f, "-.25"},        {2505.f, " 2505"},
        {-0.f, " 0"},          {1234567.f, " 1234567"}, {12345678.f, " 1.234568E+07"},
        {0.0001f, " .0001"},   {0.00001f, " 1E-05"},    {1.1f, " 1.1"},
        {-3600.5f, "-3600.5"}, {1e20f, " 1E+20"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberText(c.number), c.text) << c.number;
}

TEST(NumberText, PeriodWhateverTheLocale) {
    // A decimal comma locale must not leak into settings text (skipped if not installed).
#ifdef AFFICHEUR_TEST_LOCALES
    // The build's own fr_FR, for a machine that has not generated it.
    ::setenv("LOCPATH", AFFICHEUR_TEST_LOCALES, 0);
#endif
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
#ifdef _WIN32
        GTEST_SKIP() << "no fr_FR locale";  // the C runtime's own names, nothing we install
#else
        SKIP_MISSING_TOOL("no fr_FR locale");  // the build compiles it (tests/common)
#endif
    }
    EXPECT_EQ(NumberText(1.5f), " 1.5");
    EXPECT_EQ(NumberText(-2.25), "-2.25");
    std::setlocale(LC_NUMERIC, saved.c_str());
}
