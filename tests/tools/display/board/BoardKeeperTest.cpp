// The board at the centre of the display, in process: every view is shown each change, the
// board comes back from its state file, the welcome text comes back after a quiet spell, and a
// followed board replaces it whole.

#include "board/BoardKeeper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>

#include <string>
#include <vector>

#include "host/QtWait.h"
#include "support/TempFolder.h"

namespace display {
namespace {

// A view that keeps every board it is shown.
class Recorder : public BoardView {
  public:
    void Show(const Board& board) override { shown.push_back(board); }
    OutputState Health() const override { return {"test", {}, true}; }
    std::vector<Board> shown;
};

Message Text(std::string text) {
    Message message;
    message.text = std::move(text);
    return message;
}

// Messages that came together (a broker's set message) are one change: a view sees the board
// once, with all of them applied in order, never a half-made sale.
TEST(BoardKeeper, MessagesThatCameTogetherAreShownAsOneChange) {
    BoardKeeper keeper(Keeping{});
    Recorder view;
    keeper.AddView(view);
    Message total;
    total.kind = Kind::Total;
    total.text = "TOTAL\t2,15 EUR";
    total.amounts = std::vector<protocol::Amount>{{"TOTAL", "2,15 EUR"}};
    const Message sale[] = {Text("Pain\t1,20"), total};
    keeper.Apply(sale);
    ASSERT_EQ(view.shown.size(), 2u) << "one change for the two messages";
    EXPECT_EQ(view.shown.back().text, "Pain\t1,20");
    EXPECT_EQ(view.shown.back().total, "TOTAL\t2,15 EUR")
        << "the text did not end the total after it";
}

TEST(BoardKeeper, ShowsEveryViewEachChangeAndKeepsTheBoardAcrossARestart) {
    TempFolder folder;
    Keeping keeping;
    keeping.statePath = QString::fromStdString((folder.path() / "state" / "d.json").string());
    keeping.welcome = "Bienvenue";
    {
        BoardKeeper keeper(keeping);
        Recorder window;
        Recorder page;
        keeper.AddView(window);
        keeper.AddView(page);
        ASSERT_EQ(window.shown.size(), 1u) << "a view is shown the board when it is added";
        EXPECT_EQ(window.shown.back().text, "Bienvenue") << "a first start shows the welcome";

        Message colour;
        colour.kind = Kind::Colour;
        colour.colour = 12;
        keeper.Apply(Text("Total 12,40"));
        keeper.Apply(colour);
        for (const Recorder* view : {&window, &page}) {
            ASSERT_EQ(view->shown.size(), 3u);
            EXPECT_EQ(view->shown[1].text, "Total 12,40");
            EXPECT_EQ(view->shown[2].colour, 12);
        }
        keeper.Flush();
    }
    BoardKeeper again(keeping);
    EXPECT_EQ(again.board().text, "Total 12,40");
    EXPECT_EQ(again.board().colour, 12);
    EXPECT_TRUE(again.StateRefused().empty());
}

TEST(BoardKeeper, TheWelcomeComesBackAfterAQuietSpellAndAFollowedBoardReplacesAll) {
    Keeping keeping;  // no state file
    keeping.welcome = "Bienvenue";
    keeping.welcomeAfterMs = 200;
    BoardKeeper keeper(keeping);
    Recorder view;
    keeper.AddView(view);
    keeper.Apply(Text("Total 12,40"));
    EXPECT_EQ(keeper.board().text, "Total 12,40");
    EXPECT_TRUE(WaitUntil([&] { return keeper.board().text == "Bienvenue"; }, 5000));
    EXPECT_EQ(view.shown.back().text, "Bienvenue");

    Board followed;
    followed.text = "Merci";
    followed.scroll = "Soldes";
    followed.colour = 4;
    keeper.Replace(followed);
    EXPECT_EQ(keeper.board(), followed);
    EXPECT_EQ(view.shown.back(), followed);
}

TEST(BoardKeeper, AStateFolderOthersMayWriteIsRefusedAndTheBoardStillShows) {
    TempFolder folder;
    const auto shared = folder.path() / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 0777);
    Keeping keeping;
    keeping.statePath = QString::fromStdString((shared / "d.json").string());
    BoardKeeper keeper(keeping);
    EXPECT_NE(keeper.StateRefused().find("may be written by every user"), std::string::npos);
    Recorder view;
    keeper.AddView(view);
    keeper.Apply(Text("Bonjour"));
    EXPECT_EQ(view.shown.back().text, "Bonjour");
    keeper.Flush();
    EXPECT_FALSE(std::filesystem::exists(shared / "d.json"));
}

}  // namespace
}  // namespace display
