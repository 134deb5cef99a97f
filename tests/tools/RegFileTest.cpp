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
