// The .reg format on its own: cases the fuzzer found, kept as regressions.

#include "RegFile.h"

#include "common/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string WithBom(const std::string& text) {
    return "\xEF\xBB\xBF" + text;
}

// A key path of `levels` names below the root.
std::string Levels(int levels) {
    std::string path;
    for (int i = 0; i < levels; ++i)
        path += "\\k";
    return path;
}

// A version 5.00 file's bytes for an ASCII text (NULs included).
std::string Version5(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

}  // namespace

// A UTF-8 file may hold malformed sequences in a key path. Writing such a path out again
// must not swallow the ']' behind a broken sequence, in either version.
TEST(RegFile, AKeyPathWithMalformedUtf8IsWrittenSoThatItParsesAgain) {
    const std::vector<std::string> paths = {
        "HKEY_USERS\\a\xC2",                  // lead byte right before ']'
        "HKEY_USERS\\\xE2\x82",               // truncated three-byte sequence
        "HKEY_USERS\\\xFF\xFE x \x9E\xC2\"",  // stray bytes and a quote
        "HKEY_USERS\\\xED\xA0\x80",           // an encoded surrogate
    };
    for (const std::string& path : paths) {
        const auto sections =
            reg::ParseFile(WithBom("REGEDIT4\n[" + path + "]\n\"v\"=dword:00000001\n"));
        ASSERT_EQ(sections.size(), 1u);
        ASSERT_EQ(sections[0].path, path);
        for (const reg::Version version : {reg::Version::Regedit4, reg::Version::Version5}) {
            std::vector<reg::KeySection> again;
            ASSERT_NO_THROW(again = reg::ParseFile(reg::EncodeFile(sections, version))) << path;
            ASSERT_EQ(again.size(), 1u) << path;
            ASSERT_EQ(again[0].values.size(), 1u) << path;
            EXPECT_EQ(again[0].values[0].data, std::string("\x01\0\0\0", 4)) << path;
            // From then on the path stays as it came back.
            EXPECT_EQ(reg::ParseFile(reg::EncodeFile(again, version))[0].path, again[0].path);
        }
    }
}

// What the store would refuse fails the parse, with its line, so that nothing of such a file
// is applied; what it takes, up to the limits, parses.
TEST(RegFile, RefusesPathsAndValueNamesTheStoreWouldRefuse) {
    const std::string key255(255, 'k');
    const std::string value16383(16383, 'v');
    const std::string nul(1, '\0');
    struct Case {
        const char* what;
        std::string lines;  // after the header and a first section holding a deletion
        std::string error;  // empty: parses
    };
    const Case cases[] = {
        {"a key name of 255", "[HKCU\\Shop\\" + key255 + "]", ""},
        {"a key name of 256", "[HKCU\\Shop\\" + key255 + "k\\Deep]", "line 4: a key name longer"},
        {"in a deletion too", "[-HKEY_USERS\\" + key255 + "k]", "line 4: a key name longer"},
        {"Windows-1252 characters count one each", "[HKCU\\" + std::string(255, '\xE9') + "]", ""},
        {"doubled and trailing separators", "[hkcu\\Shop\\\\Deep\\\\]", ""},
        {"the root alone", "[HKEY_CURRENT_USER]", ""},
        {"a separator right after the root", "[HKCU\\\\Shop]", "line 4: invalid key name"},
        {"an unknown root", "[HKEY_NOWHERE\\Shop]", "line 4: invalid key name"},
        {"a root with a wrong end", "[HKCUX\\Shop]", "line 4: invalid key name"},
        {"a value name of 16383", "[HKCU\\Shop]\n\"" + value16383 + "\"=\"x\"", ""},
        {"a value name of 16384", "[HKCU\\Shop]\n\"" + value16383 + "v\"=\"x\"",
         "line 5: a value name longer"},
        {"a value name of 16384 to delete", "[HKCU\\Shop]\n\"" + value16383 + "v\"=-",
         "line 5: a value name longer"},
        // Through the platform's calls a name is cut at its NUL: another key would be written
        // or deleted.
        {"a NUL in a key path", "[HKCU\\Software\\Shop" + nul + "x]",
         "line 4: a control character (U+0000) in a key name"},
        {"a NUL in a key path to delete", "[-HKEY_CURRENT_USER\\Software" + nul + "\\x]",
         "line 4: a control character (U+0000)"},
        {"a NUL in a value name to delete", "[HKCU\\Shop]\n\"ip" + nul + "x\"=-",
         "line 5: a control character (U+0000) in a value name"},
        {"a NUL in a value name to set", "[HKCU\\Shop]\n\"ip" + nul + "\"=\"1\"",
         "line 5: a control character (U+0000)"},
        {"a tab in a value name", "[HKCU\\Shop]\n\"a\tb\"=\"1\"",
         "line 5: a control character (U+0009)"},
        {"an escape in a key name", "[HKCU\\Shop\x1B[2J]", "line 4: a control character (U+001B)"},
        {"a DEL in a key name", "[HKCU\\Shop\x7F]", "line 4: a control character (U+007F)"},
        {"512 levels below the root", "[HKCU" + Levels(512) + "]", ""},
        {"513 levels below the root", "[HKCU" + Levels(513) + "]", "line 4: a key path deeper"},
        {"513 levels to delete", "[-HKCU" + Levels(513) + "]", "line 4: a key path deeper"},
        {"doubled separators are no levels", "[HKCU" + Levels(512) + "\\\\]", ""},
    };
    for (const Case& c : cases) {
        // The é above is one Windows-1252 byte: written as REGEDIT4, the file's own code page.
        const std::string file =
            "REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Shop]\n" + c.lines + "\n";
        if (c.error.empty()) {
            EXPECT_NO_THROW(reg::ParseFile(file)) << c.what;
            continue;
        }
        try {
            reg::ParseFile(file);
            ADD_FAILURE() << c.what << ": parsed";
        } catch (const reg::ParseError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.error, 0), 0u)
                << c.what << ": " << error.what();
        }
    }
}

// In a version 5.00 file the NUL is the UTF-16 unit 0000; it is refused there as well.
TEST(RegFile, AVersion5FileWithANulInANameIsRefusedWithItsLine) {
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string nul(1, '\0');
    const struct {
        const char* what;
        std::string body;
        const char* error;
    } cases[] = {
        {"key", "[HKEY_CURRENT_USER\\Software\\Shop" + nul + "x]\r\n", "line 3: a control"},
        {"value", "[HKEY_CURRENT_USER\\Shop]\r\n\"ip" + nul + "x\"=-\r\n", "line 4: a control"},
    };
    for (const auto& c : cases) {
        try {
            reg::ParseFile(Version5(header + c.body));
            ADD_FAILURE() << c.what << ": parsed";
        } catch (const reg::ParseError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.error, 0), 0u) << error.what();
        }
    }
}

// regedit fills each line of hex data up to 80 characters, the backslash that continues it
// included, and starts each further line with two blanks. Checked on names of several lengths
// and every type written as hex, in both versions, against the rule itself: a line that goes
// on is at most 80 characters, and one more "xx," would not have fitted on it.
TEST(RegFile, HexDataFillsEachLineUpTo80CharactersAsRegeditDoes) {
    struct Literal {
        const char* what;
        reg::Value value;
        std::string lines;
    };
    const Literal literals[] = {
        {"23 bytes after \"bin\"=hex: fill the first line to 80",
         {"bin", 3, std::string(24, '\x01')},
         "\"bin\"=hex:01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,\\\n"
         "  01\n"},
        {"23 bytes alone stay on one line",
         {"bin", 3, std::string(23, '\x01')},
         "\"bin\"=hex:01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01,01\n"},
        {"a continuation line holds 25 bytes",
         {"b", 3, std::string(48, '\x02')},
         "\"b\"=hex:02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,\\\n"
         "  02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02,02\n"},
        {"the default value",
         {"", 0, std::string(26, '\x03')},
         "@=hex(0):03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,03,\\\n"
         "  03,03,03\n"},
    };
    for (const Literal& c : literals) {
        const std::string section =
            reg::FormatSection({"HKEY_CURRENT_USER\\K", false, {c.value}}, reg::Version::Regedit4);
        EXPECT_EQ(section, "[HKEY_CURRENT_USER\\K]\n" + c.lines) << c.what;
    }

    // Names of several lengths, in ASCII, in Windows-1252 and beyond it.
    const std::string names[] = {"",
                                 "b",
                                 "bin",
                                 "caf\u00E9",
                                 "\u0101 \u0142 \u0151 \u03A9",
                                 std::string(40, 'n'),
                                 std::string(66, 'n'),
                                 std::string(77, 'n'),
                                 std::string(90, 'n')};
    const uint32_t types[] = {0, 1, 2, 3, 4, 5, 7, 8, 11, 0x12345};
    const size_t sizes[] = {1, 2, 22, 23, 24, 25, 26, 49, 50, 51, 300};
    // Whether a name is all Windows-1252, which a REGEDIT4 file needs.
    auto inCodePage = [](const std::string& text) {
        for (const unsigned char c : text) {
            if (c == 0xC4 || c == 0xC5 || c == 0xCE) return false;  // leads of ā ł ő Ω
        }
        return true;
    };
    for (const reg::Version version : {reg::Version::Regedit4, reg::Version::Version5}) {
        for (const std::string& name : names) {
            for (const uint32_t type : types) {
                for (const size_t size : sizes) {
                    const bool text = type == 1 || type == 2 || type == 7;
                    // Text types hold UTF-16: `size` characters, with an Ω in the longer
                    // ones; the other types any bytes.
                    std::string data;
                    for (size_t i = 0; i < size; ++i) {
                        char16_t unit = i % 7 == 0 ? 0 : static_cast<char16_t>('A' + i % 26);
                        if (text && size > 40 && i % 11 == 5) unit = 0x03A9;
                        data.push_back(static_cast<char>(unit & 0xFF));
                        if (text) data.push_back(static_cast<char>(unit >> 8));
                    }
                    const reg::Value value{name, type, data};
                    const std::string where = "name of " + std::to_string(name.size()) + ", type " +
                                              std::to_string(type) + ", " + std::to_string(size) +
                                              " units";
                    const reg::KeySection section{"HKEY_CURRENT_USER\\K", false, {value}};
                    if (version == reg::Version::Regedit4 &&
                        (!inCodePage(name) || (text && size > 40))) {
                        EXPECT_THROW(reg::EncodeFile({section}, version), reg::FormatError)
                            << where << ": REGEDIT4 has no \u03A9 and the like";
                        continue;
                    }
                    const std::string lines = reg::FormatSection(section, version);
                    size_t start = lines.find('\n') + 1;
                    bool first = true;
                    while (start < lines.size()) {
                        const size_t end = lines.find('\n', start);
                        const std::string line = lines.substr(start, end - start);
                        const bool goesOn = !line.empty() && line.back() == '\\';
                        if (!first) {
                            EXPECT_EQ(line.substr(0, 2), "  ") << where;
                        }
                        // A name too long for any entry beside it ends its line at once.
                        const bool hasEntry = line.size() < 2 || line[line.size() - 2] != ':';
                        if (goesOn && hasEntry) {
                            // Characters, as regedit counts them.
                            const size_t width = utf8::ToUtf16(line).size();
                            EXPECT_LE(width, 80u) << where << ": " << line;
                            EXPECT_GT(width + 3, 80u)
                                << where << ": room for one more entry: " << line;
                        }
                        first = false;
                        start = end + 1;
                    }
                    // Whatever the layout, the data reads back the same.
                    const auto back = reg::ParseFile(
                        reg::EncodeFile({{"HKEY_CURRENT_USER\\K", false, {value}}}, version));
                    ASSERT_EQ(back.size(), 1u) << where;
                    ASSERT_EQ(back[0].values.size(), 1u) << where;
                    EXPECT_EQ(back[0].values[0].name, name) << where;
                    EXPECT_EQ(back[0].values[0].type, type) << where;
                    EXPECT_EQ(back[0].values[0].data, data) << where;
                }
            }
        }
    }
}

// Unicode through both versions, written by the rule: version 5.00 keeps every character
// (names in the file's UTF-16, text data as its UTF-16 bytes); REGEDIT4 holds Windows-1252
// and refuses what it cannot hold instead of writing '?'.
TEST(RegFile, Version5KeepsEveryCharacterAndRegedit4RefusesWhatItCannotHold) {
    auto utf16 = [](const std::u16string& text) {
        std::string out;
        for (const char16_t unit : text) {
            out.push_back(static_cast<char>(unit & 0xFF));
            out.push_back(static_cast<char>(unit >> 8));
        }
        return out + std::string(2, '\0');
    };
    struct Case {
        const char* what;
        reg::Value value;
        std::string version5;  // the line, in UTF-8 before the file's UTF-16
        std::string regedit4;  // the line in the code page; empty: refused
    };
    const Case cases[] = {
        {"a string in the code page",
         {"caf\u00E9", 1, utf16(u"cr\u00E8me")},
         "\"caf\u00E9\"=\"cr\u00E8me\"",
         "\"caf\xE9\"=\"cr\xE8me\""},
        {"a string beyond it",
         {"shop", 1, utf16(u"Bo\u0101t \u0141\u00F3d\u017A")},
         "\"shop\"=\"Bo\u0101t \u0141\u00F3d\u017A\"",
         ""},
        {"a name beyond it",
         {"\u03A9", 4, std::string("\x01\0\0\0", 4)},
         "\"\u03A9\"=dword:00000001",
         ""},
        {"expandable text in the code page",
         {"x", 2, utf16(u"\u00E9")},
         "\"x\"=hex(2):e9,00,00,00",
         "\"x\"=hex(2):e9,00"},
        {"expandable text beyond it", {"x", 2, utf16(u"\u0151")}, "\"x\"=hex(2):51,01,00,00", ""},
        {"multi-text",
         {"m", 7, utf16(u"a") + utf16(u"\u20AC")},
         "\"m\"=hex(7):61,00,00,00,ac,20,00,00",
         "\"m\"=hex(7):61,00,80,00"},
        {"a string with a lone surrogate stays hex",
         {"s", 1, utf16(std::u16string(1, 0xD800))},
         "\"s\"=hex(1):00,d8,00,00",
         ""},
        {"a long name beyond the code page counts characters, not bytes",
         {std::string(30, 'n') + "\u03A9\u03A9\u03A9\u03A9\u03A9", 3, std::string(20, '\x01')},
         "\"" + std::string(30, 'n') + "\u03A9\u03A9\u03A9\u03A9\u03A9" +
             "\"=hex:01,01,01,01,01,01,01,01,01,01,01,01,\\\n  01,01,01,01,01,01,01,01",
         ""},
    };
    for (const Case& c : cases) {
        const std::vector<reg::KeySection> sections = {{"HKEY_CURRENT_USER\\K", false, {c.value}}};
        EXPECT_EQ(reg::FormatSection(sections[0], reg::Version::Version5),
                  "[HKEY_CURRENT_USER\\K]\n" + c.version5 + "\n")
            << c.what;
        const auto five = reg::ParseFile(reg::EncodeFile(sections, reg::Version::Version5));
        ASSERT_EQ(five.size(), 1u) << c.what;
        ASSERT_EQ(five[0].values.size(), 1u) << c.what;
        EXPECT_EQ(five[0].values[0].name, c.value.name) << c.what;
        EXPECT_EQ(five[0].values[0].data, c.value.data) << c.what << ": every character kept";
        if (c.regedit4.empty()) {
            EXPECT_THROW(reg::EncodeFile(sections, reg::Version::Regedit4), reg::FormatError)
                << c.what;
            continue;
        }
        const std::string file = reg::EncodeFile(sections, reg::Version::Regedit4);
        EXPECT_NE(file.find(c.regedit4 + "\r\n"), std::string::npos) << c.what << ": " << file;
        const auto four = reg::ParseFile(file);
        EXPECT_EQ(four[0].values[0].data, c.value.data) << c.what;
    }
}

// Where a character truly cannot be kept, the file is refused with its line instead of
// storing U+FFFD or '?': a lone surrogate in a version 5.00 file, a malformed sequence in a
// UTF-8 one. In a key path it is refused when the file is applied (CheckKeepable).
TEST(RegFile, ACharacterThatCannotBeKeptIsRefusedWithItsLine) {
    const std::string header =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    const std::string loneSurrogate("\x00\xD8", 2);  // U+D800 in UTF-16LE
    auto version5 = [&](const std::string& before, const std::string& after) {
        return Version5(before) + loneSurrogate + Version5(after).substr(2);
    };
    struct Case {
        const char* what;
        std::string file;
        const char* error;
    };
    const Case cases[] = {
        {"in a value name", version5(header + "\"a", "\"=\"1\"\r\n"),
         "line 4: a character that cannot be kept"},
        {"in a string", version5(header + "\"a\"=\"", "\"\r\n"),
         "line 4: a character that cannot be kept"},
        {"a malformed UTF-8 string", WithBom("REGEDIT4\n[HKCU\\K]\n\"a\"=\"\xC3\"\n"),
         "line 3: a character that cannot be kept"},
        {"in a key path", version5("Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\K", "]\r\n"),
         "line 3: a character that cannot be kept"},
    };
    for (const Case& c : cases) {
        try {
            reg::CheckKeepable(reg::ParseFile(c.file));
            ADD_FAILURE() << c.what << ": kept";
        } catch (const reg::ParseError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.error, 0), 0u)
                << c.what << ": " << error.what();
        }
    }
}
