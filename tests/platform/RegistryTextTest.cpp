// Text through the registry's two forms, on both systems: the UTF-16 calls keep every
// character, the code-page calls give '?' for one the code page lacks. On Windows this is the
// platform's own behaviour, which the store on Linux follows. (Windows gives a look-alike
// instead of '?' for some characters, such as a for \u0101; the ones used here have none.)

#include <gtest/gtest.h>

#include <string>

#include "platform/Registry.h"
#include "support/TempFolder.h"

using namespace platform;

namespace {

std::string Bytes(const std::u16string& units) {
    std::string out;
    for (const char16_t unit : units) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

}  // namespace

TEST(RegistryText, TheUtf16FormsKeepWhatTheCodePageFormsCannotShow) {
    TempFolder temp;
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Shop \u0141\u00F3d\u017A", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string data = Bytes(std::u16string(u"\u00E9 \u4E2D \u3042") + u'\0');
    ASSERT_EQ(
        RegSetValueExW(key, u"n\u4E2Dme \u0101", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())),
        ERROR_SUCCESS);

    std::string back(64, '\0');
    DWORD size = static_cast<DWORD>(back.size());
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"N\u4E2DME \u0100", nullptr, &type,
                               reinterpret_cast<BYTE*>(back.data()), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(back.substr(0, size), data);

    char name[16] = {};
    DWORD length = sizeof name;
    size = static_cast<DWORD>(back.size());
    ASSERT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, &type,
                            reinterpret_cast<BYTE*>(back.data()), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, length).substr(0, 4), "n?me");
    EXPECT_EQ(back.substr(0, size), std::string("\xE9 ? ?\0", 6));

    HKEY opened = 0;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"SHOP \u0141\u00D3D\u0179", 0, KEY_READ, &opened),
              ERROR_SUCCESS);
    RegCloseKey(opened);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"shop \u0142\u00F3d\u017A"), ERROR_SUCCESS);
}
