// The board kept across restarts: the restore rule, the file's format, a damaged or foreign
// file set aside, and a burst of changes written only a few times.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

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
    };
    for (const auto& [name, content] : damaged) {
        SCOPED_TRACE(name);
        WriteFile(path.toStdString(), content);
        BoardStore store(path);
        EXPECT_FALSE(store.Load());
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(ReadFile(path.toStdString() + ".damaged"), content);
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
