#include "common/Log.h"

#include <gtest/gtest.h>

#include <string>

TEST(Log, ControlCharactersNeverForgeALineOrReachTheTerminal) {
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"plain text and accents pass", "caf\xC3\xA9 \\ ok", "caf\xC3\xA9 \\ ok"},
        {"a line feed cannot start a forged line", "a\nafficheur-display: forged",
         "a\\nafficheur-display: forged"},
        {"carriage return and tab", "a\rb\tc", "a\\rb\\tc"},
        {"an escape sequence is shown, not run", "\x1B[2J\x1B]0;title\x07",
         "\\x1B[2J\\x1B]0;title\\x07"},
        {"NUL and DEL", std::string("a\0b\x7F", 4), "a\\x00b\\x7F"},
        {"C1 controls in UTF-8",
         "\xC2\x9B"
         "31m\xC2\x85",
         "\\u009B31m\\u0085"},
        {"other two-byte characters pass", "\xC2\xA0\xC2\xBF", "\xC2\xA0\xC2\xBF"},
        {"a byte that is no UTF-8 passes", "\x9B\xC2", "\x9B\xC2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeControls(c.text), c.expected) << c.name;
}

TEST(Log, EachCallWritesExactlyOneLine) {
    testing::internal::CaptureStderr();
    LogLine("colour \"\x1B[31m\n[forged]\" names no palette index");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written.find('\n'), written.size() - 1) << written;
    EXPECT_NE(written.find(": colour \"\\x1B[31m\\n[forged]\" names no palette index\n"),
              std::string::npos)
        << written;
}

TEST(Log, AnExcerptQuotesAFewCharactersOfALongTextWithItsLength) {
    struct Case {
        const char* name;
        std::string text;
        std::size_t limit;
        std::string expected;
    };
    const Case cases[] = {
        {"a short text whole", "huh? Unknown option", 200, "huh? Unknown option"},
        {"exactly at the limit, whole", "abcd", 4, "abcd"},
        {"one past the limit, cut", "abcde", 4, "abcd... (5 characters)"},
        {"characters, not bytes: a sequence is never split", "\xC3\xA9\xC3\xA9\xC3\xA9", 2,
         "\xC3\xA9\xC3\xA9... (3 characters)"},
        {"a byte that is no UTF-8 counts as one", "\x9B\x9B\x9B", 2, "\x9B\x9B... (3 characters)"},
        {"an empty text", "", 200, ""},
        {"a 64 KiB message", std::string(65536, 'a'), 200,
         std::string(200, 'a') + "... (65536 characters)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Excerpt(c.text, c.limit), c.expected) << c.name;
}
