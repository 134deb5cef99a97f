// The registry route of ProfileSetting and its two routines: which key a path names, what
// reads and writes leave in the store, and that nothing fails towards the caller.

#include "settings/RegistrySetting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "settings/INI32.h"
#include "support/TempFolder.h"

using INI32::GetRegistrySetting;
using INI32::ProfileSetting;
using INI32::SetRegistrySetting;
using namespace platform;

namespace {

struct Stored {
    LONG rc;
    DWORD type;
    std::string bytes;
};

Stored Raw(HKEY root, const char* path, const char* name) {
    HKEY key = 0;
    if (const LONG rc = RegOpenKeyExA(root, path, 0, KEY_READ, &key)) return {rc, 0, ""};
    DWORD type = 0;
    char data[100];
    DWORD size = sizeof data;
    const LONG rc =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return {rc, type, rc == ERROR_SUCCESS ? std::string(data, size) : ""};
}

class RegistrySetting : public ::testing::Test {
  protected:
    TempFolder temp;
    std::filesystem::path store = temp.settings() / "registry.sqlite3";
};

}  // namespace

TEST_F(RegistrySetting, AModeTwoReadStoresItsDefaultUnderAKeyMadeOnTheWay) {
    EXPECT_EQ(ProfileSetting("ecran", "port", "0", "$HKEY_CURRENT_USER\\Software\\Shop", 2), "0");
    const Stored stored = Raw(HKEY_CURRENT_USER, "Software\\Shop\\ecran", "port");
    EXPECT_EQ(stored.rc, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, REG_SZ);
    EXPECT_EQ(stored.bytes, std::string("0\0", 2));
    EXPECT_EQ(ProfileSetting("ecran", "port", "9", "$HKEY_CURRENT_USER\\Software\\Shop", 1), "0");
}

TEST_F(RegistrySetting, ModesReadWriteAndRecordAsOnTheIniRoute) {
    const std::string file = "$HKEY_LOCAL_MACHINE\\Software\\Shop";
    EXPECT_EQ(ProfileSetting("s", "k", "Erreur", file, 1), "Erreur");
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, "Software\\Shop\\s", "k").rc, ERROR_FILE_NOT_FOUND)
        << "mode 1 writes nothing";
    EXPECT_EQ(ProfileSetting("s", "k", "café", file, 0), "café");
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, "Software\\Shop\\s", "k").bytes, std::string("caf\xE9\0", 5));
    for (const int16_t mode : {1, 2, 3, -1}) {
        EXPECT_EQ(ProfileSetting("s", "k", "d", file, mode), "café") << "mode " << mode;
    }
    EXPECT_EQ(ProfileSetting("s", "empty", "", file, 0), "");
    EXPECT_EQ(ProfileSetting("s", "empty", "d", file, 1), "d") << "empty data reads as missing";
    EXPECT_EQ(ProfileSetting("s", "empty", "d", file, 2), "d");
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, "Software\\Shop\\s", "empty").bytes, std::string("d\0", 2));
}

TEST_F(RegistrySetting, RootNamesMatchInAnyCaseAndOnlyInFull) {
    struct Case {
        const char* path;
        HKEY root;  // 0: no key, nothing written
    };
    const Case cases[] = {
        {"HKEY_CLASSES_ROOT\\A", HKEY_CLASSES_ROOT},
        {"hkey_current_config\\A", HKEY_CURRENT_CONFIG},
        {"Hkey_Current_User\\A", HKEY_CURRENT_USER},
        {"HKEY_DYN_DATA\\A", HKEY_DYN_DATA},
        {"HKEY_LOCAL_MACHINE\\A", HKEY_LOCAL_MACHINE},
        {"HKEY_USERS\\A", HKEY_USERS},
        {"HKCU\\A", 0},
        {"HKEY_CURRENT_USERS\\A", 0},
        {" HKEY_CURRENT_USER\\A", 0},
        {"HKEY_PERFORMANCE_DATA\\A", 0},
        {"A", 0},
    };
    for (const Case& c : cases) {
        SetRegistrySetting(c.path, "v", std::string(c.path));
        if (c.root == 0) {
            EXPECT_EQ(GetRegistrySetting(c.path, "v"), std::string()) << c.path;
            continue;
        }
        EXPECT_EQ(GetRegistrySetting(c.path, "v"), std::string(c.path)) << c.path;
        EXPECT_EQ(Raw(c.root, "A", "v").bytes, std::string(c.path) + '\0') << c.path;
    }
    char name[10];
    std::vector<HKEY> roots = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                               HKEY_CURRENT_CONFIG};
#ifndef _WIN32  // on Windows this root cannot be mapped to a scratch key, so it is not empty
    roots.push_back(HKEY_DYN_DATA);
#endif
    for (const HKEY root : roots) {
        EXPECT_EQ(RegEnumKeyA(root, 1, name, sizeof name), ERROR_NO_MORE_ITEMS)
            << "only key A under " << std::hex << root;
    }
}

TEST_F(RegistrySetting, UnknownRootsReadEmptyAndWriteNothing) {
    EXPECT_EQ(ProfileSetting("ecran", "ip", "d", "$HKCU\\Software\\Shop", 2), "d");
    EXPECT_EQ(ProfileSetting("ecran", "ip", "w", "$HKCU\\Software\\Shop", 0), "w");
    EXPECT_EQ(ProfileSetting("ecran", "ip", "d", "$Software", 2), "d");
    EXPECT_FALSE(std::filesystem::exists(store)) << "nothing was written anywhere";
}

#ifndef _WIN32  // where a bare file name lives is our own choice; Windows uses its own folder
TEST_F(RegistrySetting, ADollarAloneIsAnIniFileNamedDollar) {
    EXPECT_EQ(ProfileSetting("s", "k", "v", "$", 0), "v");
    EXPECT_TRUE(std::filesystem::exists(temp.settings() / "$"));
    EXPECT_FALSE(std::filesystem::exists(store));
}
#endif
