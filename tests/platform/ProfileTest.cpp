#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <future>
#endif

#include "support/FaultSkip.h"
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
    const auto count =
        GetPrivateProfileStringA(section, key, def, buffer.data(), size, file.c_str());
    return {count, std::string(buffer.data(), count)};
}

bool Put(const char* section, const char* key, const char* text, const std::string& file) {
    return WritePrivateProfileStringA(section, key, text, file.c_str()) != 0;
}

#ifndef _WIN32
struct stat StatOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

constexpr uid_t kNobody = 65534;
constexpr int kCannotDrop = 77;

// Runs body in a child process as the user nobody, when the tests run as root (who ignores
// permissions): the folder is given to nobody first. Returns what body returned (an empty
// text for success), or nullopt when the machine would not let the child drop root.
std::optional<std::string> AsUnprivileged(const fs::path& folder,
                                          const std::function<std::string()>& body) {
    if (::geteuid() != 0) return body();
    if (::chown(folder.c_str(), kNobody, kNobody) != 0) return std::nullopt;
    FILE* out = std::tmpfile();
    if (out == nullptr) return std::nullopt;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(kCannotDrop);
        }
        const std::string result = body();
        std::fwrite(result.data(), 1, result.size(), out);
        std::fflush(out);
        ::_exit(0);
    }
    int status = -1;
    const bool exited = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
    std::string result;
    std::rewind(out);
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
        result.append(buffer, got);
    std::fclose(out);
    if (exited && WEXITSTATUS(status) == kCannotDrop) return std::nullopt;
    if (!exited || WEXITSTATUS(status) != 0) return "the unprivileged child failed";
    return result;
}
#endif

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

TEST_F(Profile, ReadsValuesAsThePlatformDoes) {
    struct Case {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"case and blanks around names ignored", "[ Ecran ]\n Port =1\n", "ECRAN", " port", "1"},
        {"blanks around the value dropped", "[s]\nk=  v w \t\n", "s", "k", "v w"},
        {"one quote pair removed", "[s]\nk=\" v \"\n", "s", "k", " v "},
        {"single quotes too", "[s]\nk='v'\n", "s", "k", "v"},
        {"unmatched quotes kept", "[s]\nk=\"v'\n", "s", "k", "\"v'"},
        {"empty quotes read empty, so the default applies", "[s]\nk=\"\"\n", "s", "k", "d"},
        {"no comment after a value", "[s]\nk=v ; x\n", "s", "k", "v ; x"},
        {"comment line is no key", "[s]\n;k=v\n", "s", "k", "d"},
        {"line without equals is no key", "[s]\nk\n", "s", "k", "d"},
        {"first of two keys wins", "[s]\nk=1\nk=2\n", "s", "k", "1"},
        {"last bracket ends the section name", "[a]b]\nk=v\n", "a]b", "k", "v"},
        {"CRLF lines", "[s]\r\nk=v\r\n", "s", "k", "v"},
        {"no final newline", "[s]\nk=v", "s", "k", "v"},
        {"equals inside the value", "[s]\nk=a=b\n", "s", "k", "a=b"},
    };
    for (const auto& c : cases) {
        WriteFile(file, c.text);
        const Read got = Get(c.section, c.key, "d", file);
        EXPECT_EQ(got.count ? got.text : "d", c.expected) << c.name;
    }
}

#ifndef _WIN32  // Wine 8 folds only ASCII letters in INI names; Windows folds these too
TEST_F(Profile, AccentedLettersOfNamesMatchWithoutRegardToCase) {
    WriteFile(file, "[\xC9t\xE9]\n\x9C\xFF=v\n");  // [Été] œÿ=v
    EXPECT_EQ(Get("\xE9T\xC9", "\x8C\x9F", "d", file).text, "v");
}
#endif

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

#ifndef _WIN32  // where a bare name lives is our own choice; Windows uses its own folder
TEST_F(Profile, BareNamesLiveInTheSettingsFolder) {
    EXPECT_TRUE(Put("s", "k", "v", "bare.ini"));  // creates the settings folder
    EXPECT_EQ(ReadFile(temp.settings() / "bare.ini"), "[s]\nk=v\n");
    // Settings may be private: every folder made for them is the user's alone.
    EXPECT_EQ(StatOf(temp.settings()).st_mode & 0777, 0700u);
    EXPECT_EQ(StatOf(temp.settings().parent_path()).st_mode & 0777, 0700u);
    EXPECT_EQ(Get("S", "K", "", "bare.ini").text, "v");
}
#endif

TEST_F(Profile, BackslashesAndSlashesSeparateFolders) {
    std::string windowsStyle = file;
    for (char& c : windowsStyle)
        c = c == '/' ? '\\' : c;
    EXPECT_TRUE(Put("s", "k", "w", windowsStyle));
    EXPECT_EQ(Get("s", "k", "", file).text, "w");
}

TEST_F(Profile, WriteStoresTheTextAsGivenButItsLeadingBlanks) {
    EXPECT_TRUE(Put("boutons", " 0 couleur", " \t3", file));
    EXPECT_TRUE(Put("s", "empty", "", file));
    EXPECT_EQ(WithoutCarriageReturns(ReadFile(file)), "[boutons]\n0 couleur=3\n[s]\nempty=\n");
    EXPECT_EQ(Get("s", "empty", "d", file).count, 0u);  // present, empty: count 0, no default
    EXPECT_EQ(Get("s", "empty", "d", file).text, "");
    EXPECT_TRUE(Put("s", "empty", nullptr, file));        // null text deletes the key
    EXPECT_TRUE(Put("boutons", nullptr, nullptr, file));  // null key deletes the section
    EXPECT_EQ(Get("s", "empty", "d", file).text, "d");
    EXPECT_EQ(Get("boutons", "0 couleur", "d", file).text, "d");
}

TEST_F(Profile, WritingTheValueAlreadyThereLeavesTheFileUntouched) {
    EXPECT_TRUE(Put("s", "k", "v", file));
    const std::string content = ReadFile(file);
#ifdef _WIN32
    // The platform writes in place: a time set far back shows whether it wrote.
    const auto before = fs::last_write_time(file) - std::chrono::hours(24);
    fs::last_write_time(file, before);
#else
    // Every write replaces the file, so any write shows as a new inode.
    const ino_t before = StatOf(file).st_ino;
#endif
    EXPECT_TRUE(Put("S", "K", "v", file));
#ifdef _WIN32
    EXPECT_EQ(fs::last_write_time(file), before);
#else
    EXPECT_EQ(StatOf(file).st_ino, before);
#endif
    EXPECT_EQ(ReadFile(file), content);
    EXPECT_TRUE(Put("s", "k", "w", file));  // a real change does write
    EXPECT_NE(ReadFile(file), content);
}

// Refusing such writes mends a fault of the platform's own service, on both builds alike.
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

#ifndef _WIN32  // atomic replacement, permissions and robustness to junk are our own choices
TEST_F(Profile, ReadOnlyFolderRefusesTheWriteAndKeepsTheFile) {
    // Root ignores folder permissions, so under root the case runs as nobody.
    const auto outcome = AsUnprivileged(temp.path(), [&]() -> std::string {
        WriteFile(file, "[s]\nk=v\n");
        fs::permissions(temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
        const bool written = Put("s", "k", "w", file);
        fs::permissions(temp.path(), fs::perms::owner_all);
        if (written) return "the write into a read-only folder succeeded";
        if (ReadFile(file) != "[s]\nk=v\n") return "the file changed";
        return "";
    });
    if (!outcome) SKIP_FAULT("running as root, and cannot drop to the user nobody");
    EXPECT_EQ(*outcome, "");
    EXPECT_EQ(ReadFile(file), "[s]\nk=v\n");
}

TEST_F(Profile, ReplacementKeepsTheOwnerAndGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
    WriteFile(file, "[s]\nk=v\n");
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    EXPECT_TRUE(Put("s", "k", "w", file));  // root writes the file of nobody
    EXPECT_EQ(ReadFile(file), "[s]\nk=w\n");
    EXPECT_EQ(StatOf(file).st_uid, kNobody);
    EXPECT_EQ(StatOf(file).st_gid, kNobody);
}

TEST_F(Profile, AFifoInPlaceOfTheFileIsNeitherWaitedOnNorReplaced) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    // Opening a FIFO to read waits for a writer: each call runs aside, and a writer comes
    // along if it did wait, so that the test ends either way.
    const auto withoutWaiting = [&](auto call) {
        auto result = std::async(std::launch::async, call);
        const bool waited = result.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
        if (waited) ::close(::open(file.c_str(), O_WRONLY | O_CLOEXEC));
        EXPECT_FALSE(waited) << "waited for a writer of the FIFO";
        return result.get();
    };
    EXPECT_EQ(withoutWaiting([&] { return Get("s", "k", "d", file).text; }), "d");
    EXPECT_FALSE(withoutWaiting([&] { return Put("s", "k", "v", file); }));
    EXPECT_TRUE(S_ISFIFO(StatOf(file).st_mode));
}

TEST_F(Profile, AReadOnlyFileIsNotReplacedEvenByRoot) {
    WriteFile(file, "[s]\nk=v\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(Put("s", "k", "w", file));
    EXPECT_TRUE(Put("s", "k", "v", file)) << "storing what is there needs no write";
    EXPECT_EQ(ReadFile(file), "[s]\nk=v\n");
}

TEST_F(Profile, AWriterWaitsForAnotherOnlySoLongAndNeverForAnUnchangedValue) {
    WriteFile(file, "[s]\nk=v\n");
    const int folder = ::open(temp.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);  // a writer that never finishes
    EXPECT_TRUE(Put("s", "k", "v", file));
    EXPECT_FALSE(Put("s", "k", "w", file));  // gives up after a bounded wait
    ::close(folder);
    EXPECT_TRUE(Put("s", "k", "w", file));
    EXPECT_EQ(ReadFile(file), "[s]\nk=w\n");
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
    for (int i = 0; i < 4096; ++i)
        junk.push_back(static_cast<char>((i * 37) & 0xFF));
    junk += std::string(1 << 20, 'x');  // a very long line
    junk += "\n[s]\nk=v";               // no final newline
    WriteFile(file, junk);
    EXPECT_EQ(Get("s", "k", "", file).text, "v");
    EXPECT_TRUE(Put("s", "n", "1", file));
    EXPECT_EQ(ReadFile(file), junk + "\nn=1\n");
}

TEST_F(Profile, FiftyMegabyteFileReadsAndWrites) {
    std::string big;
    big.reserve(50u << 20);
    big += "[big]\n";
    while (big.size() < (50u << 20))
        big += "key" + std::to_string(big.size()) + "=value\n";
    WriteFile(file, big);
    EXPECT_EQ(Get("big", "key6", "", file).text, "value");
    EXPECT_TRUE(Put("z", "k", "v", file));
    EXPECT_EQ(ReadFile(file).size(), big.size() + 8);
}
#endif
