#include "settings/INI32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/Application.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using INI32::ProfileSetting;

namespace {

// The settings file is named with its folder, so these tests run the same against the
// platform's own INI service on Windows; line endings are left out of the comparisons.
class Settings : public ::testing::Test {
  protected:
    TempFolder temp;
    const std::string file = (temp.path() / "QUORIXaffich.ini").string();
    fs::path path() const { return file; }
    std::string content() const {
        return fs::exists(path()) ? WithoutCarriageReturns(ReadFile(path())) : "<none>";
    }
};

struct ModeCase {
    const char* name;
    std::optional<std::string> before;  // file content, nullopt for no file
    std::string value;
    int16_t mode;
    std::string result;
    std::string after;  // "<none>": no file
};

}  // namespace

TEST_F(Settings, ModesReadRecordAndWriteAsDocumented) {
    const ModeCase cases[] = {
        {"mode 1 missing key gives the default and writes nothing", std::nullopt, "Erreur", 1,
         "Erreur", "<none>"},
        {"mode 2 missing key records the default", std::nullopt, "0", 2, "0", "[s]\nk=0\n"},
        {"mode 2 missing key with empty default records an empty value", std::nullopt, "", 2, "",
         "[s]\nk=\n"},
        {"mode 1 empty value gives the default", "[s]\nk=\n", "d", 1, "d", "[s]\nk=\n"},
        {"mode 2 empty value is overwritten with the default", "[s]\nk=\n", "d", 2, "d",
         "[s]\nk=d\n"},
        {"mode 2 value equal to the default is kept", "[s]\nk=Caisse\n", "Caisse", 2, "Caisse",
         "[s]\nk=Caisse\n"},
        {"mode 2 value differing in case is returned, not replaced", "[s]\nk=caisse\n", "Caisse", 2,
         "caisse", "[s]\nk=caisse\n"},
        {"mode 1 present value", "[s]\nk=v\n", "d", 1, "v", "[s]\nk=v\n"},
        {"mode 3 reads like mode 1", std::nullopt, "d", 3, "d", "<none>"},
        {"mode -1 reads like mode 1", "[s]\nk=\n", "d", -1, "d", "[s]\nk=\n"},
        {"mode 0 writes and returns the value", "[s]\nk=v\n", "w", 0, "w", "[s]\nk=w\n"},
        {"mode 0 empty value stays a key", "[s]\nk=v\n", "", 0, "", "[s]\nk=\n"},
        {"mode 0 accented text is one byte in the file", std::nullopt, "été", 0, "été",
         "[s]\nk=\xE9t\xE9\n"},
        {"mode 1 reads code-page bytes back as text", "[s]\nk=\xE9\n", "", 1, "é", "[s]\nk=\xE9\n"},
    };
    for (const auto& c : cases) {
        fs::remove(path());
        if (c.before) WriteFile(path(), *c.before);
        EXPECT_EQ(ProfileSetting("s", "k", c.value, file, c.mode), c.result) << c.name;
        EXPECT_EQ(content(), c.after) << c.name;
    }
}

TEST_F(Settings, KeysAreMatchedWithoutBlanksAroundThem) {
    WriteFile(path(), "[boutons]\n1=Promo\n");
    EXPECT_EQ(ProfileSetting("boutons", " 1", "Erreur", file, 1), "Promo");
    EXPECT_EQ(ProfileSetting("boutons", " 1 couleur", "0", file, 2), "0");
    EXPECT_EQ(content(), "[boutons]\n1=Promo\n1 couleur=0\n");
}

TEST_F(Settings, ValuesAreCutToTheReadSizeAndNamesToTheBufferLength) {
    WriteFile(path(), "[s]\nlong=" + std::string(700, 'x') + "\n");
    EXPECT_EQ(ProfileSetting("s", "long", "", file, 1), std::string(589, 'x'));

    const std::string longSection = std::string(600, 'a') + "IGNORED";
    ProfileSetting(longSection, "k", "v", file, 0);
    EXPECT_EQ(ProfileSetting(std::string(600, 'a'), "k", "", file, 1), "v");
}

TEST_F(Settings, ModeZeroReturnsTheValueThroughTheCodePageWhateverTheStoreDoes) {
    EXPECT_EQ(ProfileSetting("s", "k", "a漢b", file, 0), "a?b");
    EXPECT_EQ(ProfileSetting("s", "k", "", file, 1), "a?b");
    const std::string unwritable = (temp.path() / "missing" / "f.ini").string();
    EXPECT_EQ(ProfileSetting("s", "k", "v", unwritable, 0), "v");
    EXPECT_EQ(ProfileSetting("s", "k", "d", unwritable, 2), "d");
    EXPECT_FALSE(fs::exists(temp.path() / "missing"));
}

TEST_F(Settings, AValueHoldingANulIsNotStoredCut) {
    WriteFile(path(), "[deroulant]\ntexte=old\n");
    ProfileSetting("deroulant", "texte", std::string("x\0y", 3), file, 0);
    EXPECT_EQ(content(), "[deroulant]\ntexte=old\n");
}

// Refusing line breaks mends a fault of the platform's own INI service, on both builds.
TEST_F(Settings, LineBreaksInAValueNeverReachTheFile) {
    WriteFile(path(), "[system]\nadmin=NON\n");
    ProfileSetting("deroulant", "texte", "x\n[system]\nadmin=JQ", file, 0);
    EXPECT_EQ(WithoutCarriageReturns(content()), "[system]\nadmin=NON\n");
    EXPECT_EQ(ProfileSetting("system", "admin", "JQ", file, 2), "NON");
}

#ifndef _WIN32  // where a bare name lives is our own choice; Windows uses its own folder
TEST_F(Settings, BareNamesAndDollarAloneAreFilesInTheSettingsFolder) {
    EXPECT_EQ(ProfileSetting("s", "k", "v", "QUORIXaffich.ini", 0), "v");
    EXPECT_EQ(ReadFile(temp.settings() / "QUORIXaffich.ini"), "[s]\nk=v\n");
    EXPECT_EQ(ProfileSetting("s", "k", "v", "$", 0), "v");  // "$" alone is an INI file
    EXPECT_EQ(ReadFile(temp.settings() / "$"), "[s]\nk=v\n");
}
#endif

TEST_F(Settings, FileArgumentsNameFilesAsDocumented) {
    // An explicit folder is used as given, with backslashes as separators.
    std::string windowsStyle = (temp.path() / "f.ini").string();
    for (char& c : windowsStyle)
        c = c == '/' ? '\\' : c;
    ProfileSetting("s", "k", "w", windowsStyle, 0);
    EXPECT_EQ(ProfileSetting("s", "k", "", (temp.path() / "f.ini").string(), 1), "w");

    // Empty: the file named after the executable, in the executable's folder.
    const fs::path own =
        fs::path(platform::ApplicationFolder()) / (platform::ApplicationName() + ".ini");
    fs::remove(own);
    EXPECT_EQ(ProfileSetting("s", "k", "own", "", 2), "own");
    EXPECT_EQ(WithoutCarriageReturns(ReadFile(own)), "[s]\nk=own\n");
    fs::remove(own);
}
