// The registry store shared between processes and on a bad disk: a change is visible to
// another process as soon as the call returns, a writer killed at any moment leaves every
// earlier change in place, and a store that is damaged or not ours fails calls with a code
// and is never written over.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

#include "platform/Registry.h"
#include "support/TempFolder.h"

using namespace platform;

namespace {

template <typename Body>
pid_t Spawn(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

LONG SetText(HKEY h, const char* name, const std::string& text) {
    return RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

std::string GetText(HKEY h, const char* name) {
    char buffer[100] = {};
    DWORD size = sizeof buffer - 1;
    if (RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        return "<missing>";
    }
    return std::string(buffer);
}

HKEY CreateKey(const char* path) {
    HKEY key = 0;
    RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

}  // namespace

TEST(RegistryProcesses, AnotherProcessSeesAChangeAsSoonAsTheCallReturns) {
    TempFolder temp;
    HKEY key = CreateKey("Shared");
    ASSERT_NE(key, 0u);
    int readyPipe[2];
    int goPipe[2];
    ASSERT_EQ(::pipe(readyPipe), 0);
    ASSERT_EQ(::pipe(goPipe), 0);
    // The child holds its own connection open across the parent's writes.
    const pid_t child = Spawn([&] {
        HKEY mine = 0;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Shared", 0, KEY_READ, &mine) != ERROR_SUCCESS) {
            return 10;
        }
        if (GetText(mine, "v") != "<missing>") return 11;
        char byte = 0;
        if (::write(readyPipe[1], "r", 1) != 1 || ::read(goPipe[0], &byte, 1) != 1) return 12;
        if (GetText(mine, "v") != "first") return 13;
        if (SetText(mine, "child", "x") != ERROR_ACCESS_DENIED) return 14;
        HKEY writable = CreateKey("Shared");
        return SetText(writable, "child", "from the child") == ERROR_SUCCESS ? 0 : 15;
    });
    ASSERT_GT(child, 0);
    char byte = 0;
    ASSERT_EQ(::read(readyPipe[0], &byte, 1), 1);
    ASSERT_EQ(SetText(key, "v", "first"), ERROR_SUCCESS);
    ASSERT_EQ(::write(goPipe[1], "g", 1), 1);
    EXPECT_EQ(ExitCode(child), 0);
    EXPECT_EQ(GetText(key, "child"), "from the child");
    RegCloseKey(key);
}

TEST(RegistryProcesses, AWriterKilledAtAnyMomentLeavesEveryEarlierChange) {
    TempFolder temp;
    HKEY key = CreateKey("Held");
    constexpr int kValues = 30;
    for (int v = 0; v < kValues; ++v) {
        ASSERT_EQ(SetText(key, ("v" + std::to_string(v)).c_str(), "kept"), ERROR_SUCCESS);
    }
    std::mt19937 random(4242);
    for (int round = 0; round < 60; ++round) {
        const pid_t writer = Spawn([&] {
            for (int i = 0; i < 100000; ++i) {
                HKEY sub = CreateKey(("Held\\Sub" + std::to_string(i % 7)).c_str());
                SetText(key, ("v" + std::to_string(i % kValues)).c_str(), "r" + std::to_string(i));
                SetText(sub, "n", std::to_string(i));
                RegCloseKey(sub);
                RegDeleteKeyA(HKEY_CURRENT_USER, ("Held\\Sub" + std::to_string(i % 7)).c_str());
            }
            return 0;
        });
        ASSERT_GT(writer, 0);
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 20000)(random));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);
        for (int v = 0; v < kValues; ++v) {
            ASSERT_NE(GetText(key, ("v" + std::to_string(v)).c_str()), "<missing>")
                << "round " << round << " lost v" << v;
        }
        ASSERT_EQ(SetText(key, "after", std::to_string(round)), ERROR_SUCCESS)
            << "the store stays writable after round " << round;
    }
    RegCloseKey(key);
}

TEST(RegistryDamage, AStoreThatIsNotADatabaseFailsCallsAndStaysAsItWas) {
    TempFolder temp;
    const auto store = temp.settings() / "registry.sqlite3";
    const std::string garbage(8192, 'G');
    WriteFile(store, garbage);
    HKEY key = 0;
    const LONG open = RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key);
    EXPECT_EQ(open, ERROR_BADDB);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(SetText(HKEY_CURRENT_USER, "v", "x"), ERROR_BADDB);
    EXPECT_EQ(ReadFile(store), garbage);
}

TEST(RegistryDamage, AnotherProgramsDatabaseIsLeftUntouched) {
    TempFolder temp;
    const auto store = temp.settings() / "registry.sqlite3";
    std::filesystem::create_directories(store.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE keys(x); INSERT INTO keys VALUES (1);", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const std::string before = ReadFile(store);
    EXPECT_EQ(SetText(HKEY_CURRENT_USER, "v", "x"), ERROR_BADDB);
    EXPECT_EQ(ReadFile(store), before);
}

TEST(RegistryDamage, DamagedPagesNeverCrashACall) {
    TempFolder temp;
    HKEY key = CreateKey("K");
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(SetText(key, ("value" + std::to_string(i)).c_str(), std::string(100, 'x')),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
    const auto store = temp.settings() / "registry.sqlite3";
    // Moves everything into the main file, then spoils its pages past the header.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    // A fresh process, so that no connection has the good pages cached. SQLite does not
    // notice every damaged byte, so a call may also find nothing; what must never happen is
    // a crash or a success that hands back garbage.
    const pid_t reader = Spawn([&] {
        std::string content = ReadFile(store);
        for (size_t i = 4096; i < content.size(); i += 7)
            content[i] = '\x5A';
        WriteFile(store, content);
        HKEY opened = 0;
        const LONG open = RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &opened);
        if (open != ERROR_SUCCESS)
            return open == ERROR_BADDB || open == ERROR_FILE_NOT_FOUND ? 0 : 1;
        for (DWORD i = 0; i < 300; ++i) {
            char data[200];
            DWORD size = sizeof data;
            char name[50];
            DWORD length = sizeof name;
            const LONG rc = RegEnumValueA(opened, i, name, &length, nullptr, nullptr,
                                          reinterpret_cast<BYTE*>(data), &size);
            if (rc == ERROR_NO_MORE_ITEMS || rc == ERROR_BADDB) return 0;
            if (rc != ERROR_SUCCESS || size > sizeof data) return 2;
        }
        return 3;
    });
    EXPECT_EQ(ExitCode(reader), 0);
}

// A store that a newer program has changed to a schema this one does not know is refused
// whole, with one line saying why, and left as it is.
TEST(RegistryDamage, AStoreOfANewerSchemaIsRefusedAndLeftUntouched) {
    TempFolder temp;
    HKEY key = CreateKey("Software");
    ASSERT_EQ(SetText(key, "v", "x"), ERROR_SUCCESS);
    RegCloseKey(key);
    const auto store = temp.settings() / "registry.sqlite3";
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99; PRAGMA wal_checkpoint(TRUNCATE)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const std::string before = ReadFile(store);
    // A fresh process, as a client started after the newer one would be.
    const pid_t reader = Spawn([&] {
        testing::internal::CaptureStderr();
        HKEY opened = 0;
        const LONG open = RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &opened);
        const LONG write = SetText(HKEY_CURRENT_USER, "w", "y");
        const std::string log = testing::internal::GetCapturedStderr();
        if (open != ERROR_BADDB || opened != 0) return 1;
        if (write != ERROR_BADDB) return 2;
        if (log.find("schema version 99") == std::string::npos) return 3;
        if (log.find(store.string()) == std::string::npos) return 4;
        // One line for each call that met the store.
        if (std::count(log.begin(), log.end(), '\n') != 2) return 5;
        return 0;
    });
    EXPECT_EQ(ExitCode(reader), 0);
    EXPECT_EQ(ReadFile(store), before);
}

// A store written before names and texts were kept in Unicode (schema version 1: names and
// text data in Windows-1252) is converted once, in place, and reads as it did.
TEST(RegistryDamage, AStoreOfTheFirstSchemaIsConvertedAndReadsAsBefore) {
    TempFolder temp;
    const auto store = temp.settings() / "registry.sqlite3";
    std::filesystem::create_directories(store.parent_path());
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
        // The first schema, with a key "Caf\xE9" under HKEY_CURRENT_USER holding a text, a
        // number and a value whose name has the code page's capital \x8A.
        const char* sql =
            "PRAGMA journal_mode = WAL;"
            "CREATE TABLE keys (id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
            "  name BLOB NOT NULL, folded BLOB NOT NULL, class BLOB NOT NULL,"
            "  UNIQUE (parent, folded));"
            "CREATE TABLE vals (id INTEGER PRIMARY KEY, key INTEGER NOT NULL, name BLOB NOT NULL,"
            "  folded BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
            "  UNIQUE (key, folded));"
            "CREATE INDEX vals_in_order ON vals (key, id);"
            "INSERT INTO keys VALUES (1, 0, 'root0', 'root0', x''), (2, 0, 'root1', 'root1', x''),"
            "  (3, 0, 'root2', 'root2', x''), (4, 0, 'root3', 'root3', x''),"
            "  (5, 0, 'root4', 'root4', x''), (6, 0, 'root5', 'root5', x''),"
            "  (7, 0, 'root6', 'root6', x'');"
            "INSERT INTO keys VALUES (8, 2, x'436166E9', x'00430041004600C9', x'');"
            "INSERT INTO vals VALUES (1, 8, x'74657874', x'0054004500580054', 1, x'80E90000'),"
            "  (2, 8, x'6E', x'004E', 4, x'E9000000'),"
            "  (3, 8, x'8A', x'0160', 3, x'8A');"
            "PRAGMA application_id = 1095127623; PRAGMA user_version = 1;";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    testing::internal::CaptureStderr();
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "caf\xC9", 0, KEY_READ, &key), ERROR_SUCCESS);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("converted to schema version 2"), std::string::npos) << log;
    char data[16] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "TEXT", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(data, size), std::string("\x80\xE9\0\0", 4));
    size = sizeof data;
    ASSERT_EQ(RegQueryValueExA(key, "n", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(data, size), std::string("\xE9\0\0\0", 4)) << "a number is no text";
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "\x9A", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS)
        << "names match without regard to case as before";
    WCHAR wide[8] = {};
    DWORD length = 8;
    ASSERT_EQ(RegEnumValueW(key, 0, wide, &length, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                            &(size = sizeof data)),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(wide, length), u"text");
    EXPECT_EQ(std::string(data, size), std::string("\xAC\x20\xE9\0\0\0\0\0", 8))
        << "the text is UTF-16 now";
    RegCloseKey(key);
}
