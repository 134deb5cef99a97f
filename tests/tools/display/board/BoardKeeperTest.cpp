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

TEST(BoardKeeper, WhileTheWelcomeShowsTheLogoAndThePicturesTakeTurnsUntilAMessageTakesTheScreen) {
    Keeping keeping;
    keeping.welcome = "Bienvenue";
    keeping.welcomeAfterMs = 400;
    keeping.pictureMs = 60;
    BoardKeeper keeper(keeping);
    Recorder view;
    keeper.AddView(view);
    keeper.SetPictures("logo.png", {"a.jpg", "b.jpg"});
    EXPECT_EQ(keeper.board().picture, "logo.png");
    EXPECT_FALSE(keeper.board().pictureAlone) << "the logo shows with the welcome text";

    // Each picture alone in turn, then the logo again; a colour changes nothing of that.
    Message colour;
    colour.kind = Kind::Colour;
    colour.colour = 12;
    keeper.Apply(colour);
    const auto seen = [&view](std::size_t from) {
        std::vector<std::string> pictures;
        for (std::size_t i = from; i < view.shown.size(); ++i) {
            const Board& board = view.shown[i];
            if (pictures.empty() || pictures.back() != board.picture)
                pictures.push_back(board.picture);
        }
        return pictures;
    };
    // (The view's first board came before the pictures were read.)
    ASSERT_TRUE(WaitUntil([&] { return seen(1).size() >= 4; }, 5000));
    EXPECT_EQ(seen(1), (std::vector<std::string>{"logo.png", "a.jpg", "b.jpg", "logo.png"}));
    for (std::size_t i = 1; i < view.shown.size(); ++i) {
        const Board& board = view.shown[i];
        EXPECT_EQ(board.pictureAlone, board.picture != "logo.png") << board.picture;
        EXPECT_EQ(board.text, "Bienvenue");
    }

    // A sale takes the screen at once, its total included, and the pictures stop.
    Message total;
    total.kind = Kind::Total;
    total.amounts = std::vector<protocol::Amount>{{"TOTAL", "2,40"}};
    keeper.Apply(Text("Caf\xC3\xA9\t2,40"));
    keeper.Apply(total);
    EXPECT_TRUE(view.shown.back().picture.empty());
    EXPECT_EQ(view.shown.back().total, "TOTAL\t2,40");
    const std::size_t sale = view.shown.size();
    // After the quiet spell the welcome text comes back without the sale's total, and with it
    // the logo.
    ASSERT_TRUE(WaitUntil([&] { return keeper.board().text == "Bienvenue"; }, 5000));
    for (std::size_t i = sale; i + 1 < view.shown.size(); ++i)
        EXPECT_TRUE(view.shown[i].picture.empty()) << "no picture during the sale";
    EXPECT_TRUE(keeper.board().total.empty());
    EXPECT_EQ(keeper.board().picture, "logo.png");
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
