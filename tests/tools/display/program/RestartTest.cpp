// afficheur-display started again after a crash or a stop: the board comes back from its
// state file at once, on the page as on every output; a text too old gives the welcome text.
// And a display that follows another's page (--follow), as a customer's monitor follows the
// service: it shows that board, takes no messages itself, and follows the service again after
// the service's restart.

#include <signal.h>

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <string>
#include <vector>

#include "WebTestSupport.h"
#include "support/TempFolder.h"

namespace {

using displaytest::Display;
using displaytest::SendMessage;
using namespace webtest;

std::vector<std::string> Args(const std::string& state, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--headless", "--log",       "--listen", "127.0.0.1:0",
                                     "--http",     "127.0.0.1:0", "--state",  state};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

QJsonObject StateOf(uint16_t httpPort) {
    const std::string body = BodyOf(Get(httpPort, "/state"));
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

// Sends the board a shop would have on its display, each message logged before the next.
void SendBoard(Display& display, uint16_t port) {
    for (const std::string& bytes : {std::string("Caf\xE9\t2,40 \x80"),
                                     std::string("\xFF"
                                                 "1Soldes"),
                                     std::string("\xFF"
                                                 "3Caisse 2"),
                                     std::string("\xFF"
                                                 "210")}) {
        ASSERT_TRUE(SendMessage(port, bytes));
        ASSERT_FALSE(display.NextRecord().isEmpty());
    }
}

TEST(Restart, TheBoardComesBackAfterACrashOrAStop) {
    TempFolder folder;
    const std::string state = (folder.path() / "state" / "display.json").string();
    struct Case {
        const char* name;
        int signal;
        std::vector<std::string> again;  // options of the second start
        const char* text;                // the text shown after it
    };
    const Case cases[] = {
        {"killed, then started again", SIGKILL, {}, "Caf\xC3\xA9\t2,40 \xE2\x82\xAC"},
        {"stopped right after its last message", SIGTERM, {}, "Caf\xC3\xA9\t2,40 \xE2\x82\xAC"},
        {"a text older than --restore-within gives the welcome text",
         SIGTERM,
         {"--restore-within", "0", "--welcome", "Bienvenue"},
         "Bienvenue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            Display first(Args(state));
            const Ports ports = ReadPorts(first);
            ASSERT_NE(ports.display, 0);
            SendBoard(first, ports.display);
            if (c.signal == SIGKILL) {
                // A crash loses at most the last gap: wait until the file has the last change.
                for (int i = 0;
                     i < 200 && ReadFile(state).find("\"colour\":10") == std::string::npos; ++i) {
                    ::usleep(20000);
                }
            }
            first.Signal(c.signal);
            first.ExitCode();
        }
        Display second(Args(state, c.again));
        const Ports ports = ReadPorts(second);
        ASSERT_NE(ports.http, 0);
        const QJsonObject board = StateOf(ports.http);
        EXPECT_EQ(board.value("text").toString(), QString::fromUtf8(c.text));
        EXPECT_EQ(board.value("scroll").toString(), "Soldes");
        EXPECT_EQ(board.value("register").toString(), "Caisse 2");
        EXPECT_EQ(board.value("colour").toInt(), 10);
    }
}

TEST(Restart, ADamagedStateFileIsSetAsideAndTheDisplayStartsEmpty) {
    TempFolder folder;
    const std::string state = (folder.path() / "display.json").string();
    WriteFile(state, "{\"text\":\"not ours\"");
    Display display(Args(state, {"--welcome", "Bienvenue"}));
    const Ports ports = ReadPorts(display);
    ASSERT_NE(ports.http, 0);
    EXPECT_EQ(StateOf(ports.http).value("text").toString(), "Bienvenue");
    EXPECT_EQ(ReadFile(state + ".damaged"), "{\"text\":\"not ours\"");
    EXPECT_TRUE(display.ErrorsShow("is damaged or not ours"));
}

TEST(Restart, TheWelcomeTextComesBackAfterAQuietSpell) {
    TempFolder folder;
    Display display(Args((folder.path() / "display.json").string(),
                         {"--welcome", "Bienvenue", "--welcome-after", "1"}));
    const Ports ports = ReadPorts(display);
    ASSERT_NE(ports.http, 0);
    ASSERT_TRUE(SendMessage(ports.display, "TOTAL"));
    display.NextRecord();
    EXPECT_EQ(StateOf(ports.http).value("text").toString(), "TOTAL");
    QString text;
    for (int i = 0; i < 200 && text != "Bienvenue"; ++i) {
        ::usleep(50000);
        text = StateOf(ports.http).value("text").toString();
    }
    EXPECT_EQ(text, "Bienvenue");
}

TEST(Follow, AViewerShowsTheServicesBoardAndFollowsItAcrossItsRestart) {
    TempFolder folder;
    const std::string state = (folder.path() / "service.json").string();
    auto service = std::make_unique<Display>(Args(state));
    const Ports servicePorts = ReadPorts(*service);
    ASSERT_NE(servicePorts.http, 0);
    Display viewer({"--headless", "--log", "--http", "127.0.0.1:0", "--follow",
                    "http://127.0.0.1:" + std::to_string(servicePorts.http) + "/"});
    const auto served = viewer.NextRecord();  // no listening line: it takes no messages
    ASSERT_EQ(served.value("kind").toString(), "http");
    const uint16_t viewerHttp = Display::PortOf(served);

    ASSERT_TRUE(SendMessage(servicePorts.display, "Caf\xE9"));
    const auto shows = [&](const char* text) {
        for (int i = 0; i < 200; ++i) {
            if (StateOf(viewerHttp).value("text").toString() == QString::fromUtf8(text))
                return true;
            ::usleep(50000);
        }
        return false;
    };
    EXPECT_TRUE(shows("Caf\xC3\xA9"));

    // The service restarts on the same ports; the viewer keeps the board meanwhile, then
    // follows the new one.
    service->Signal(SIGTERM);
    service->ExitCode();
    service.reset();
    EXPECT_EQ(StateOf(viewerHttp).value("text").toString(), QString::fromUtf8("Caf\xC3\xA9"));
    Display again({"--headless", "--log", "--listen",
                   "127.0.0.1:" + std::to_string(servicePorts.display), "--http",
                   "127.0.0.1:" + std::to_string(servicePorts.http), "--state", state});
    ASSERT_NE(ReadPorts(again).http, 0);
    ASSERT_TRUE(SendMessage(servicePorts.display, "Merci"));
    EXPECT_TRUE(shows("Merci"));
}

}  // namespace
