// The .reg format on its own: cases the fuzzer found, kept as regressions.

#include "RegFile.h"

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

    const std::string names[] = {"",
                                 "b",
                                 "bin",
                                 std::string(40, 'n'),
                                 std::string(66, 'n'),
                                 std::string(77, 'n'),
                                 std::string(90, 'n')};
    const uint32_t types[] = {0, 1, 2, 3, 4, 5, 7, 8, 11, 0x12345};
    const size_t sizes[] = {1, 2, 22, 23, 24, 25, 26, 49, 50, 51, 300};
    for (const reg::Version version : {reg::Version::Regedit4, reg::Version::Version5}) {
        for (const std::string& name : names) {
            for (const uint32_t type : types) {
                for (const size_t size : sizes) {
                    std::string data;
                    for (size_t i = 0; i < size; ++i)
                        data.push_back(static_cast<char>(i % 7 == 0 ? 0 : 'A' + i % 26));
                    const reg::Value value{name, type, data};
                    const std::string lines =
                        reg::FormatSection({"HKEY_CURRENT_USER\\K", false, {value}}, version);
                    const std::string where = "name of " + std::to_string(name.size()) + ", type " +
                                              std::to_string(type) + ", " + std::to_string(size) +
                                              " bytes";
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
                            EXPECT_LE(line.size(), 80u) << where << ": " << line;
                            EXPECT_GT(line.size() + 3, 80u)
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
