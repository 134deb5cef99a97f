// The display link against displays that misbehave after accepting: one that closes the
// connection at once, one that resets it, and one that keeps it open without ever reading.
// In each case the message is dropped with one line naming host, port and reason, the
// message queued behind it still arrives, and the event loop keeps running meanwhile. (A
// refused connection and a listener that never accepts are in LinkTest.cpp.)

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <string>
#include <vector>

#include "QtWait.h"
#include "Receiver.h"
#include "host/Link.h"

namespace {

enum class Behaviour { CloseAtOnce, Reset, KeepWithoutReading };

// A loopback display that accepts every connection and then does the one wrong thing.
class FaultyDisplay {
  public:
    explicit FaultyDisplay(Behaviour behaviour) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this, behaviour] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++accepted_;
                const int fd = static_cast<int>(socket->socketDescriptor());
                if (behaviour == Behaviour::KeepWithoutReading) {
                    const int small = 4096;
                    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
                    socket->setReadBufferSize(1);
                    socket->setParent(&server_);  // kept open until the display goes
                    continue;
                }
                if (behaviour == Behaviour::Reset) {
                    const linger reset{1, 0};  // close() sends RST instead of FIN
                    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
                }
                socket->close();
                socket->deleteLater();
            }
        });
    }
    bool listening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }
    int accepted() const { return accepted_; }

  private:
    QTcpServer server_;
    int accepted_ = 0;
};

struct Case {
    const char* name;
    Behaviour behaviour;
};

class LinkFault : public testing::TestWithParam<Case> {};

TEST_P(LinkFault, TheMessageIsDroppedWithOneLineAndTheNextOneStillGoes) {
    FaultyDisplay faulty(GetParam().behaviour);
    Receiver display;
    ASSERT_TRUE(faulty.listening() && display.listening());
    host::Link::Options options;
    options.timeoutMilliseconds = 1000;
    host::Link link(options);

    // Ticks of a timer while the faulty message is still on its way: the loop is not held.
    int ticksWhileSending = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (link.Dropped() == 0 && link.Delivered() == 0) ++ticksWhileSending;
    });
    ticker.start(0);

    testing::internal::CaptureStderr();
    // Far more than the socket buffers hold, so the display's fault meets a write in progress.
    link.Connect("127.0.0.1", faulty.port());
    link.SendData(std::string(8 << 20, 'm'));
    link.Close();
    link.Connect("127.0.0.1", display.port());
    link.SendData("after");
    link.Close();
    const bool done = WaitUntil([&] { return link.Pending() == 0; }, 10000);
    const std::string log = testing::internal::GetCapturedStderr();
    ticker.stop();

    ASSERT_TRUE(done) << log;
    // One connection only: a display that resets at once must not be flooded with new ones.
    EXPECT_EQ(faulty.accepted(), 1) << "the link connected again and again:\n" << log;
    EXPECT_EQ(link.Dropped(), 1u) << log;
    EXPECT_EQ(link.Delivered(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return display.Complete() == 1; }));
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"after"}));

    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    const std::string head =
        "W: message to 127.0.0.1:" + std::to_string(faulty.port()) + " dropped: ";
    const size_t at = log.find(head);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_GT(log.size(), at + head.size() + 1) << "no reason given: " << log;
    EXPECT_GT(ticksWhileSending, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Display, LinkFault,
    testing::Values(Case{"ClosesAtOnce", Behaviour::CloseAtOnce}, Case{"Resets", Behaviour::Reset},
                    Case{"AcceptsWithoutReading", Behaviour::KeepWithoutReading}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
