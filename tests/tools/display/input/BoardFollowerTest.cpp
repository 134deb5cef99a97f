// The customer's monitor as a viewer of the display service's page: it follows the board from
// the service's event stream, keeps the last board while the service is away, and follows it
// again when it is back on the same address.

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QUrl>

#include <memory>
#include <vector>

#include "host/QtWait.h"
#include "input/BoardFollower.h"
#include "web/WebServer.h"

namespace {

using display::Board;
using display::BoardFollower;
using display::WebServer;

constexpr int kPatienceMs = 20000;

TEST(BoardFromJson, ReadsThePagesBoardAndRefusesWhatIsNotOne) {
    const auto board = display::BoardFromJson(
        R"({"text":"Caf\u00e9\t2,40","scroll":"Soldes","register":"Caisse 1","colour":12,"rgb":"#ff5555"})");
    ASSERT_TRUE(board);
    EXPECT_EQ(board->text, "Caf\xC3\xA9\t2,40");
    EXPECT_EQ(board->scroll, "Soldes");
    EXPECT_EQ(board->registerName, "Caisse 1");
    EXPECT_EQ(board->colour, 12);
    for (const char* notABoard : {"-", "{}", R"({"text":"x","colour":16})", "[1]", "{\"text\":"}) {
        EXPECT_FALSE(display::BoardFromJson(notABoard)) << notABoard;
    }
}

TEST(BoardFollower, FollowsTheServiceAndComesBackAfterItRestarts) {
    auto service = std::make_unique<WebServer>();
    QString error;
    ASSERT_TRUE(service->Listen(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
    const quint16 port = QUrl(QStringLiteral("http://") + service->Address()).port();

    std::vector<Board> seen;
    std::vector<bool> links;  // what the window's link mark is told
    BoardFollower follower(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    QObject::connect(&follower, &BoardFollower::board,
                     [&](const Board& board) { seen.push_back(board); });
    QObject::connect(&follower, &BoardFollower::linked, [&](bool up) { links.push_back(up); });
    follower.Start();
    ASSERT_TRUE(WaitUntil([&] { return !seen.empty(); }, kPatienceMs)) << "the first board";
    EXPECT_EQ(links, std::vector<bool>{true});

    Board board;
    board.text = "TOTAL\t23,70 \xE2\x82\xAC";
    board.colour = 14;
    service->Show(board);
    ASSERT_TRUE(WaitUntil([&] { return seen.back() == board; }, kPatienceMs));

    // The service stops, and comes back on the same address with another board.
    service.reset();
    const std::size_t before = seen.size();
    RunEventsFor(300);
    EXPECT_EQ(seen.size(), before) << "nothing comes while the service is away";
    EXPECT_TRUE(WaitUntil([&] { return links.size() == 2; }, kPatienceMs));
    EXPECT_EQ(links, (std::vector<bool>{true, false})) << "the mark shows while it is away";
    service = std::make_unique<WebServer>();
    ASSERT_TRUE(service->Listen(QHostAddress::LocalHost, port, &error)) << error.toStdString();
    board.text = "Merci";
    service->Show(board);
    EXPECT_TRUE(WaitUntil([&] { return seen.back() == board; }, kPatienceMs))
        << "followed again after the retry";
    EXPECT_EQ(links, (std::vector<bool>{true, false, true}));
}

}  // namespace
