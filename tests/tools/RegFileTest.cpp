// The .reg format on its own: cases the fuzzer found, kept as regressions.

#include "RegFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string WithBom(const std::string& text) {
    return "\xEF\xBB\xBF" + text;
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
