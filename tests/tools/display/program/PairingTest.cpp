// Showing the page's address to a tablet, in the test's own process: the invite between a real
// web server on loopback and a real window (offscreen), read back with zbarimg. It shows from
// the start until a page follows the display, comes back when the till asks (a message through
// the board's keeper) and goes after its minute, or as soon as a page begins to follow.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTcpSocket>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "PairingInvite.h"
#include "QrReader.h"
#include "board/BoardKeeper.h"
#include "support/TempFolder.h"
#include "support/ToolSkip.h"
#include "web/WebServer.h"
#include "window/BoardWindow.h"

namespace {

using namespace std::chrono_literals;

// Candidates as several interfaces give them: the private LAN address is the one shown.
TEST(PairingUrl, PrefersAPrivateIpv4Address) {
    struct Case {
        const char* name;
        QStringList candidates;
        QString chosen;
    };
    const Case cases[] = {
        {"none", {}, {}},
        {"one", {"http://203.0.113.5:8080/"}, "http://203.0.113.5:8080/"},
        {"the shop's LAN before a container bridge",
         {"http://172.17.0.1:8080/", "http://192.168.1.20:8080/"},
         "http://192.168.1.20:8080/"},
        {"10/8 before 172.16/12",
         {"http://172.20.0.4:8080/", "http://10.0.0.7:8080/"},
         "http://10.0.0.7:8080/"},
        {"IPv4 before IPv6",
         {"http://[2001:db8::5]:8080/", "http://203.0.113.5:8080/"},
         "http://203.0.113.5:8080/"},
        {"IPv6 alone", {"http://[2001:db8::5]:8080/"}, "http://[2001:db8::5]:8080/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(display::PairingUrl(c.candidates), c.chosen);
    }
}

const QString kUrl = QStringLiteral("http://192.168.1.20:8080/");

// Waits (at most 5 s) until done says so, running the event loop.
bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

class Pairing : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!displaytest::HaveQrReader())
            SKIP_MISSING_TOOL(std::string(displaytest::kZbarimg) + " is not installed");
        QString error;
        ASSERT_TRUE(page_.Listen(QHostAddress::LocalHost, 0, &error)) << error.toStdString();
        window_.resize(1280, 800);
        keeper_.AddView(window_);
        // As the program wires it, but the page's address given: loopback is not the network.
        invite_ = std::make_unique<display::PairingInvite>(
            [] {
                return QStringList{"http://172.17.0.1:8080/", kUrl};
            },
            [this](const QString& url) { window_.ShowPairing(url); }, 300ms, 100ms);
        QObject::connect(&keeper_, &display::BoardKeeper::pairAsked, invite_.get(),
                         [this] { invite_->Ask(); });
        QObject::connect(&page_, &display::WebServer::viewersChanged, invite_.get(),
                         [this](int count) { invite_->Viewers(count); });
    }

    // What zbarimg reads in the window now.
    std::optional<std::string> Read(const std::string& name) {
        QImage frame(window_.size(), QImage::Format_RGB32);
        window_.render(&frame);
        const QString path = QString::fromStdString((folder_.path() / (name + ".png")).string());
        if (!frame.save(path, "PNG")) return std::nullopt;
        return displaytest::ReadQrCodeIn(path);
    }

    // A page that begins to follow the display.
    std::unique_ptr<QTcpSocket> Follow() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost,
                              static_cast<quint16>(page_.Address().section(':', -1).toUInt()));
        socket->write("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        return socket;
    }

    void AskToPair() {
        protocol::Message pair;
        pair.kind = protocol::Kind::Pair;
        keeper_.Apply(pair);
    }

    TempFolder folder_;
    display::WebServer page_;
    display::BoardKeeper keeper_{display::Keeping{}};
    display::BoardWindow window_;
    std::unique_ptr<display::PairingInvite> invite_;
};

TEST_F(Pairing, ShowsUntilAPageFollowsAndAgainForAMinuteWhenAsked) {
    EXPECT_EQ(Read("at-start"), kUrl.toStdString());

    auto tablet = Follow();
    ASSERT_TRUE(WaitFor([this] { return page_.viewers() == 1; }));
    EXPECT_EQ(Read("followed"), "");

    AskToPair();
    EXPECT_EQ(Read("asked"), kUrl.toStdString());
    EXPECT_EQ(keeper_.board(), display::Board{}) << "the request is not the board's";
    // The minute (300 ms here) ends it; a page already following does not keep it.
    ASSERT_TRUE(WaitFor([this] { return invite_->shown().isEmpty(); }));
    EXPECT_EQ(Read("after-the-minute"), "");

    // A page that leaves brings nothing back; a new one ends the next showing at once.
    tablet.reset();
    ASSERT_TRUE(WaitFor([this] { return page_.viewers() == 0; }));
    EXPECT_EQ(Read("left"), "");
    AskToPair();
    EXPECT_EQ(Read("asked-again"), kUrl.toStdString());
    auto second = Follow();
    ASSERT_TRUE(WaitFor([this] { return invite_->shown().isEmpty(); }));
    EXPECT_EQ(Read("second-tablet"), "");
}

}  // namespace
