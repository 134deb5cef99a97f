#include "platform/Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>

#include "support/TempFolder.h"

namespace fs = std::filesystem;
using platform::GetPrivateProfileStringA;
using platform::WritePrivateProfileStringA;

namespace {

struct Read {
    platform::DWORD count;
    std::string text;
};

Read Get(const char* section, const char* key, const char* def, const std::string& file,
         platform::DWORD size = 590) {
    std::array<char, 600> buffer{};
    buffer.fill('#');
    const auto count = GetPrivateProfileStringA(section, key, def, buffer.data(), size, file.c_str());
    return {count, std::string(buffer.data(), count)};
}

bool Put(const char* section, const char* key, const char* text, const std::string& file) {
    return WritePrivateProfileStringA(section, key, text, file.c_str()) != 0;
}

struct stat StatOf(const fs::path& path) {
    struct stat info{};
    ::lstat(path.c_str(), &info);
    return info;
}

class Profile : public ::testing::Test {
protected:
    TempFolder temp;
    std::string file = (temp.path() / "f.ini").string();
};

}  // namespace

TEST_F(Profile, MissingFileSectionOrKeyGiveTheCleanedDefault) {
    WriteFile(file, "[s]\nk=v\n");
    EXPECT_EQ(Get("s", "k", "d", (temp.path() / "none.ini").string()).text, "d");
    EXPECT_EQ(Get("x", "k", "d", file).text, "d");
    EXPECT_EQ(Get("s", "x", "d", file).text, "d");
    EXPECT_EQ(Get("s", "x", "\"d \"  ", file).text, "d ");
    EXPECT_EQ(Get("s", "x", nullptr, file).count, 0u);
}

TEST_F(Profile, CountsAndBufferSizeBehaveAsOnThePlatform) {
    WriteFile(file, "[s]\nk=abcdef\nempty=\n");
    EXPECT_EQ(Get("s", "k", "", file).count, 6u);
    EXPECT_EQ(Get("s", "k", "", file, 4).text, "abc");  // size - 1 characters
    EXPECT_EQ(Get("s", "empty", "dflt", file).count, 0u);

    std::array<char, 4> buffer{'x', 'y', 'z', '\0'};
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buffer.data(), 0, file.c_str()), 0u);
    EXPECT_EQ(std::string(buffer.data()), "xyz");  // size 0 leaves the buffer alone
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", buffer.data(), 1, file.c_str()), 0u);
    EXPECT_EQ(buffer[0], '\0');
}

TEST_F(Profile, BareNamesLiveInTheSettingsFolderAndBackslashesSeparateFolders) {
    EXPECT_TRUE(Put("s", "k", "v", "bare.ini"));  // creates the settings folder
    EXPECT_EQ(ReadFile(temp.settings() / "bare.ini"), "[s]\nk=v\n");
    EXPECT_EQ(Get("S", "K", "", "bare.ini").text, "v");

    std::string windowsStyle = file;
    for (char& c : windowsStyle) c = c == '/' ? '\\' : c;
    EXPECT_TRUE(Put("s", "k", "w", windowsStyle));
    EXPECT_EQ(Get("s", "k", "", file).text, "w");
}

TEST_F(Profile, WriteStoresTheTextAsGivenButItsLeadingBlanks) {
    EXPECT_TRUE(Put("boutons", " 0 couleur", " \t3", file));
    EXPECT_TRUE(Put("s", "empty", "", file));
    EXPECT_EQ(ReadFile(file), "[boutons]\n0 couleur=3\n[s]\nempty=\n");
    EXPECT_TRUE(Put("s", "empty", nullptr, file));  // null text deletes the key
    EXPECT_TRUE(Put("boutons", nullptr, nullptr, file));  // null key deletes the section
    EXPECT_EQ(ReadFile(file), "[s]\n");
}

TEST_F(Profile, WritingTheValueAlreadyThereLeavesTheFileUntouched) {
    EXPECT_TRUE(Put("s", "k", "v", file));
    const struct stat before = StatOf(file);
    ::usleep(20'000);
    EXPECT_TRUE(Put("S", "K", "v", file));
    const struct stat after = StatOf(file);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
}

TEST_F(Profile, WritesThatWouldChangeTheFileStructureAreRefused) {
    const std::string original = "[system]\nadmin=NON\n[deroulant]\ntexte=x\n";
    struct Refused {
        const char* name;
        const char* section;
        const char* key;
        const char* text;
    };
    const Refused cases[] = {
        {"line feed in the value", "deroulant", "texte", "a\n[system]\nadmin=JQ"},
        {"carriage return in the value", "deroulant", "texte", "a\r[system]"},
        {"line break in the section", "deroulant]\n[system", "admin", "JQ"},
        {"line break in the key", "deroulant", "k\nadmin", "JQ"},
        {"equals in the key", "system", "admin=JQ", "x"},
        {"key that would be a header", "deroulant", "[system]", "x"},
        {"key that would be a comment", "deroulant", ";texte", "x"},
    };
    for (const auto& c : cases) {
        WriteFile(file, original);
        EXPECT_FALSE(Put(c.section, c.key, c.text, file)) << c.name;
        EXPECT_EQ(ReadFile(file), original) << c.name;
    }
}

TEST_F(Profile, FailedWritesCreateNothingAndChangeNothing) {
    const fs::path missing = temp.path() / "no-such-folder" / "f.ini";
    EXPECT_FALSE(Put("s", "k", "v", missing.string()));
    EXPECT_FALSE(fs::exists(missing.parent_path()));

    const fs::path folderAsFile = temp.path() / "dir.ini";
    fs::create_directory(folderAsFile);
    EXPECT_FALSE(Put("s", "k", "v", folderAsFile.string()));
    EXPECT_EQ(Get("s", "k", "d", folderAsFile.string()).text, "d");
    EXPECT_TRUE(fs::is_directory(folderAsFile));
}

TEST_F(Profile, ReadOnlyFolderRefusesTheWriteAndKeepsTheFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    WriteFile(file, "[s]\nk=v\n");
    fs::permissions(temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(Put("s", "k", "w", file));
    fs::permissions(temp.path(), fs::perms::owner_all);
    EXPECT_EQ(ReadFile(file), "[s]\nk=v\n");
}

TEST_F(Profile, ReplacementKeepsPermissionsAndSymbolicLinks) {
    WriteFile(file, "[s]\nk=v\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = temp.path() / "link.ini";
    fs::create_symlink("f.ini", link);

    EXPECT_TRUE(Put("s", "k", "w", link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(file), "[s]\nk=w\n");
    EXPECT_EQ(StatOf(file).st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator{}), 2);
}

TEST_F(Profile, FilesThatAreNotValidIniReadAndKeepTheirContent) {
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 37) & 0xFF));
    junk += std::string(1 << 20, 'x');  // a very long line
    junk += "\n[s]\nk=v";                // no final newline
    WriteFile(file, junk);
    EXPECT_EQ(Get("s", "k", "", file).text, "v");
    EXPECT_TRUE(Put("s", "n", "1", file));
    EXPECT_EQ(ReadFile(file), junk + "\nn=1\n");
}

TEST_F(Profile, FiftyMegabyteFileReadsAndWrites) {
    std::string big;
    big.reserve(50u << 20);
    big += "[big]\n";
    while (big.size() < (50u << 20)) big += "key" + std::to_string(big.size()) + "=value\n";
    WriteFile(file, big);
    EXPECT_EQ(Get("big", "key6", "", file).text, "value");
    EXPECT_TRUE(Put("z", "k", "v", file));
    EXPECT_EQ(ReadFile(file).size(), big.size() + 8);
}
