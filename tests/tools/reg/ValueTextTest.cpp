// How afficheur-reg reads value data from the command line and shows it: every type, the
// data each refuses, and the shown text of what was read.

#include "ValueText.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/Registry.h"

using namespace platform;

namespace {

// UTF-16LE bytes of an ASCII or UTF-16 text.
std::string Units(const std::u16string& text) {
    std::string out;
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

}  // namespace

TEST(ValueText, DataBytesGivesEachTypeItsBytesAndTheTextShowsThemAgain) {
    struct Case {
        const char* what;
        DWORD type;
        std::string data;
        std::string separator;
        std::string bytes;
        std::string shown;
    };
    const Case cases[] = {
        {"a text with its NUL", REG_SZ, "caf\u00E9 \u03A9", "",
         Units(u"caf\u00E9 \u03A9") + Units(std::u16string(1, 0)), "caf\u00E9 \u03A9"},
        {"an empty text", REG_SZ, "", "", Units(std::u16string(1, 0)), ""},
        {"an expandable text", REG_EXPAND_SZ, "%HOME%", "",
         Units(u"%HOME%") + Units(std::u16string(1, 0)), "%HOME%"},
        {"multi-text split at \\0", REG_MULTI_SZ, "a\\0b", "",
         Units(std::u16string(u"a\0b\0\0", 5)), "a\\0b"},
        {"multi-text split at a separator", REG_MULTI_SZ, "a,b", ",",
         Units(std::u16string(u"a\0b\0\0", 5)), "a\\0b"},
        {"empty multi-text", REG_MULTI_SZ, "", "", Units(std::u16string(1, 0)), ""},
        {"a decimal dword", REG_DWORD, "16", "", std::string("\x10\0\0\0", 4), "0x10"},
        {"a hex dword", REG_DWORD, "0xFFFFFFFF", "", "\xFF\xFF\xFF\xFF", "0xffffffff"},
        {"a qword", REG_QWORD, "0x100000000", "", std::string("\0\0\0\0\x01\0\0\0", 8),
         "0x100000000"},
        {"binary", REG_BINARY, "00ff7A", "", std::string("\0\xFF\x7A", 3), "00FF7A"},
        {"none", REG_NONE, "", "", "", ""},
    };
    for (const Case& c : cases) {
        const std::string bytes = reg::DataBytes(c.type, c.data, c.separator);
        EXPECT_EQ(bytes, c.bytes) << c.what;
        EXPECT_EQ(reg::DataText({"v", c.type, bytes}), c.shown) << c.what;
    }
}

TEST(ValueText, DataBytesRefusesWhatTheTypeCannotTake) {
    struct Case {
        const char* what;
        DWORD type;
        std::string data;
        const char* message;
    };
    const Case cases[] = {
        {"a dword past 32 bits", REG_DWORD, "4294967296", "does not fit in 32 bits"},
        {"a dword that is no number", REG_DWORD, "ten", "Invalid DWORD value"},
        {"an empty dword", REG_DWORD, "", "Invalid DWORD value"},
        {"0x alone", REG_DWORD, "0x", "Invalid DWORD value"},
        {"a negative dword", REG_DWORD, "-1", "Invalid DWORD value"},
        {"a qword past 64 bits", REG_QWORD, "18446744073709551616", "does not fit"},
        {"odd hex digits", REG_BINARY, "0ff", "hex digits in pairs"},
        {"binary that is no hex", REG_BINARY, "zz", "hex digits in pairs"},
        {"a type add does not write", REG_LINK, "x", "Unsupported type"},
    };
    for (const Case& c : cases) {
        try {
            reg::DataBytes(c.type, c.data, "");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
                << c.what << ": " << error.what();
        }
    }
}

TEST(ValueText, DataTextShowsAnyBytesOfAnyType) {
    struct Case {
        const char* what;
        DWORD type;
        std::string bytes;
        std::string shown;
    };
    const Case cases[] = {
        {"a text up to its NUL", REG_SZ, Units(std::u16string(u"ab\0cd", 5)), "ab"},
        {"a text without NUL", REG_SZ, Units(u"ab"), "ab"},
        {"an odd byte of text is dropped", REG_SZ, Units(u"ab") + "x", "ab"},
        {"a short dword is hex", REG_DWORD, "\x01", "01"},
        {"an unknown type is hex", 0x12345, "\xAB\xCD", "ABCD"},
        {"nothing", REG_BINARY, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reg::DataText({"v", c.type, c.bytes}), c.shown) << c.what;
}

TEST(ValueText, TypesAndNamesMatchInAnyCase) {
    EXPECT_EQ(reg::TypeOf("reg_multi_sz"), REG_MULTI_SZ);
    EXPECT_EQ(reg::TypeOf("REG_NOPE"), std::nullopt);
    EXPECT_EQ(reg::TypeText(REG_QWORD), "REG_QWORD");
    EXPECT_EQ(reg::TypeText(0x12345), "0x12345");
    EXPECT_TRUE(reg::SameName("Caf\u00E9 \u0101", "CAF\u00C9 \u0100"));
    EXPECT_FALSE(reg::SameName("a", "b"));
    EXPECT_EQ(reg::Lower("YeS"), "yes");
}
