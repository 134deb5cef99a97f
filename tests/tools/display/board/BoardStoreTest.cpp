// The board kept across restarts: the restore rule, the file's format, a damaged or foreign
// file set aside, a burst of changes written only a few times, and a file that no other user
// can make the display write elsewhere.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <filesystem>
#include <string>
#include <vector>

#include "board/BoardState.h"
#include "board/BoardStore.h"
#include "support/TempFolder.h"

namespace display {
namespace {

constexpr std::int64_t kHour = 3600 * 1000;

SavedBoard Saved(std::int64_t textSetAtMs) {
    SavedBoard saved;
    saved.board.text = "TOTAL\t23,70 \xE2\x82\xAC";
    saved.board.scroll = "Soldes d'\xC3\xA9t\xC3\xA9";
    saved.board.registerName = "Caisse 1";
    saved.board.colour = 10;
    saved.board.total = "TOTAL\t23,70 \xE2\x82\xAC";
    saved.board.qr =
        "BCD\n002\n1\nSCT\n\nFr\xC3\xA9"
        "d\xC3\xA9ric";
    saved.board.qrCaption = "Scannez pour payer";
    saved.textSetAtMs = textSetAtMs;
    return saved;
}

TEST(BoardState, WhatComesBackAtStart) {
    const std::int64_t now = 1000 * kHour;
    const SavedBoard recent = Saved(now - kHour);
    const SavedBoard old = Saved(now - 13 * kHour);
    const SavedBoard future = Saved(now + kHour);  // a clock set back since
    struct Case {
        const char* name;
        const SavedBoard* saved;
        const char* text;
        bool restOfBoard;
    };
    const Case cases[] = {
        {"a recent text comes back", &recent, "TOTAL\t23,70 \xE2\x82\xAC", true},
        {"an old text gives the welcome", &old, "Bienvenue", true},
        {"a text from the future gives the welcome", &future, "Bienvenue", true},
        {"nothing saved gives the welcome alone", nullptr, "Bienvenue", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Board board = RestoredBoard(c.saved, now, 12 * kHour, "Bienvenue");
        EXPECT_EQ(board.text, c.text);
        // The sale's total and its code come back with their sale, and only with it.
        const bool sale = c.text != std::string("Bienvenue");
        EXPECT_EQ(board.total, sale ? recent.board.total : "");
        EXPECT_EQ(board.qr, sale ? recent.board.qr : "");
        EXPECT_EQ(board.qrCaption, sale ? recent.board.qrCaption : "");
        EXPECT_EQ(board.scroll, c.restOfBoard ? recent.board.scroll : "");
        EXPECT_EQ(board.registerName, c.restOfBoard ? "Caisse 1" : "");
        EXPECT_EQ(board.colour, c.restOfBoard ? 10 : 15);
    }
}

TEST(BoardStore, KeepsTheBoardAcrossAStoreAndSetsADamagedFileAside) {
    TempFolder folder;
    const QString path =
        QString::fromStdString((folder.path() / "state" / "display.json").string());
    const SavedBoard saved = Saved(123456789);
    {
        BoardStore store(path);
        EXPECT_FALSE(store.Load());  // no file yet: nothing, and nothing logged
        store.Keep(saved);
    }
    {
        BoardStore store(path);
        const auto loaded = store.Load();
        ASSERT_TRUE(loaded);
        EXPECT_EQ(*loaded, saved);
    }
    const std::pair<const char*, std::string> damaged[] = {
        {"cut short", StateJson(saved).substr(0, 30)},
        {"foreign JSON", "{\"text\":\"x\"}"},
        {"a colour out of the palette",
         "{\"afficheur-display\":1,\"text\":\"\",\"scroll\":\"\",\"register\":\"\",\"colour\":"
         "99,\"textSetAt\":0}"},
        {"not text at all", std::string("\x00\xFF\x01", 3)},
        {"a time no integer holds",
         "{\"afficheur-display\":1,\"text\":\"\",\"scroll\":\"\",\"register\":\"\",\"colour\":"
         "1,\"textSetAt\":1e308}"},
        {"a QR code's caption of two lines",
         "{\"afficheur-display\":1,\"text\":\"\",\"scroll\":\"\",\"register\":\"\",\"colour\":"
         "1,\"qr\":\"X\",\"qrCaption\":\"a\\nb\",\"textSetAt\":0}"},
        {"a QR code that is not text",
         "{\"afficheur-display\":1,\"text\":\"\",\"scroll\":\"\",\"register\":\"\",\"colour\":"
         "1,\"qr\":5,\"textSetAt\":0}"},
        {"a text longer than any message makes",
         "{\"afficheur-display\":1,\"text\":\"" + std::string(64 * 1024 + 1, 'x') +
             "\",\"scroll\":\"\",\"register\":\"\",\"colour\":1,\"textSetAt\":0}"},
    };
    // Every damaged file is kept, under a name of its own: none replaces the one before.
    const std::string base = path.toStdString();
    std::filesystem::create_directory(base + ".damaged.2");  // a folder in the way is passed by
    std::vector<std::string> asides = {base + ".damaged", base + ".damaged.1"};
    for (int n = 3; n < 10; ++n)
        asides.push_back(base + ".damaged." + std::to_string(n));
    std::size_t next = 0;
    for (const auto& [name, content] : damaged) {
        SCOPED_TRACE(name);
        WriteFile(path.toStdString(), content);
        BoardStore store(path);
        EXPECT_FALSE(store.Load());
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(ReadFile(asides.at(next++)), content);
    }
    for (std::size_t kept = 0; kept < next; ++kept)
        EXPECT_EQ(ReadFile(asides[kept]), damaged[kept].second) << asides[kept];
}

// Another user who may write where the state file is could make the display replace any file
// of its user (a link to ~/.bashrc) with a line of the customer's text, or hang its start (a
// FIFO). The store refuses such a place, and never writes through a link planted later.
TEST(BoardStore, RefusesAPlaceAnotherUserCouldTurnAgainstIt) {
    TempFolder folder;
    const auto bashrc = folder.path() / "bashrc";
    WriteFile(bashrc, "alias ll='ls -l'\n");
    const auto shared = folder.path() / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);  // as /tmp
    const auto own = folder.path() / "own";
    std::filesystem::create_directory(own);
    std::filesystem::create_symlink(bashrc, own / "link.json");
    ASSERT_EQ(::mkfifo((own / "fifo.json").c_str(), 0600), 0);
    std::filesystem::create_directory(own / "folder.json");
    struct Case {
        const char* name;
        std::filesystem::path path;
        const char* says;
    };
    const Case cases[] = {
        {"a folder every user may write", shared / "display.json", "may be written by every user"},
        {"a link at the path", own / "link.json", "is a symbolic link"},
        {"a FIFO at the path, which would hang a read", own / "fifo.json", "not a regular file"},
        {"a folder at the path", own / "folder.json", "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BoardStore store(QString::fromStdString(c.path.string()));
        EXPECT_NE(store.refused().find(c.says), std::string::npos) << store.refused();
        EXPECT_NE(store.refused().find(c.path.parent_path().string()), std::string::npos);
        EXPECT_FALSE(store.Load());
        store.Keep(Saved(1));
        EXPECT_TRUE(store.Flush());
        EXPECT_EQ(ReadFile(bashrc), "alias ll='ls -l'\n");
    }
}

TEST(BoardStore, WritesItsOwnFolderAloneWhateverIsPlantedAfterItsStart) {
    TempFolder folder;
    const auto bashrc = folder.path() / "bashrc";
    WriteFile(bashrc, "alias ll='ls -l'\n");
    const auto state = folder.path() / "state" / "afficheur";
    const auto path = state / "display.json";
    {
        // A file of an earlier version, readable by all, becomes this user's alone.
        std::filesystem::create_directories(state);
        BoardStore store(QString::fromStdString(path.string()));
        store.Keep(Saved(1));
        ASSERT_TRUE(store.Flush());
        ::chmod(path.c_str(), 0644);
        store.Keep(Saved(2));
        ASSERT_TRUE(store.Flush());
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);

        // A link put at the path after the start: refused and left, its target untouched.
        std::filesystem::remove(path);
        std::filesystem::create_symlink(bashrc, path);
        store.Keep(Saved(3));
        EXPECT_FALSE(store.Flush());
        EXPECT_EQ(ReadFile(bashrc), "alias ll='ls -l'\n");
        EXPECT_TRUE(std::filesystem::is_symlink(path));
    }
    {
        // The folder swapped for a link to another after the start: the store keeps writing
        // in the folder it opened.
        const auto elsewhere = folder.path() / "elsewhere";
        std::filesystem::create_directory(elsewhere);
        std::filesystem::remove(path);
        BoardStore store(QString::fromStdString(path.string()));
        std::filesystem::rename(state, folder.path() / "state" / "moved");
        std::filesystem::create_directory_symlink(elsewhere, state);
        store.Keep(Saved(4));
        EXPECT_TRUE(store.Flush());
        EXPECT_FALSE(std::filesystem::exists(elsewhere / "display.json"));
        EXPECT_TRUE(std::filesystem::exists(folder.path() / "state" / "moved" / "display.json"));
    }
}

TEST(BoardStore, ABurstOfChangesIsWrittenAFewTimesAndTheLastOneKept) {
    TempFolder folder;
    const QString path = QString::fromStdString((folder.path() / "display.json").string());
    BoardStore store(path, 200);
    for (int i = 0; i < 100; ++i)
        store.Keep(Saved(i));
    EXPECT_EQ(store.writes(), 1);  // the first at once, the others wait for the gap
    QElapsedTimer waited;
    waited.start();
    while (store.writes() < 2 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(store.writes(), 2);
    EXPECT_TRUE(store.Flush());  // the write runs on a thread of its own
    BoardStore reader(path);
    const auto loaded = reader.Load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->textSetAtMs, 99);
}

}  // namespace
}  // namespace display
