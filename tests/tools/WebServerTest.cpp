// The display's web server in this process, with short bounds, so that what takes tens of
// seconds in the program (keep-alive events, dropping a page that reads nothing) shows within
// seconds. Clients are a Qt socket that reads everything and a raw one that reads nothing.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../host/QtWait.h"
#include "Message.h"
#include "WebServer.h"
#include "WebViewer.h"

namespace {

using display::Board;
using display::WebLimits;
using display::WebServer;

constexpr int kPatienceMs = 20000;

// The stuck bound stays a few seconds: a page that reads must never look stuck, even on a
// busy machine or under a sanitizer.
WebLimits ShortLimits() {
    WebLimits limits;
    limits.heartbeatMs = 100;
    limits.stuckViewerMs = 5000;
    return limits;
}

// A page that reads all it is sent.
struct Reader {
    QTcpSocket socket;
    QByteArray received;
    explicit Reader(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    }
};

// A client that asks for path (the stream unless told) and never reads the answer, with a
// small receive buffer, so that the server's side keeps what it cannot send.
class Sleeper {
  public:
    explicit Sleeper(quint16 port, const std::string& path = "/events")
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const int small = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const std::string request = "GET " + path + " HTTP/1.1\r\n\r\n";
            ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
        }
    }
    ~Sleeper() { ::close(fd_); }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;

  private:
    int fd_;
};

// The most the system lets a connection's send buffer grow to (Linux's tcp_wmem).
std::size_t LargestSendBuffer() {
    std::ifstream wmem("/proc/sys/net/ipv4/tcp_wmem");
    std::size_t least = 0;
    std::size_t initial = 0;
    std::size_t most = 0;
    if (wmem >> least >> initial >> most) return most;
    return 4 << 20;
}

// One request on a connection of its own, by a client that reads all: the whole answer once
// the server has closed, or what came within the patience.
QByteArray Ask(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    QByteArray answer;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    WaitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, kPatienceMs);
    return answer + socket.readAll();
}

quint16 Start(WebServer& server) {
    QString error;
    EXPECT_TRUE(server.Listen(QHostAddress(QHostAddress::LocalHost), 0, &error))
        << error.toStdString();
    return static_cast<quint16>(server.Address().section(':', -1).toUInt());
}

TEST(WebServer, ServesOnlyTheHostsItIsOpenedBy) {
    using display::HostVerdict;
    const QHostAddress lan(QStringLiteral("192.168.1.20"));
    const QHostAddress lanMapped(QStringLiteral("::ffff:192.168.1.20"));
    const QHostAddress lan6(QStringLiteral("2001:db8::20"));
    const QStringList named = {display::HostName(QStringLiteral("Display.Shop.lan")),
                               display::HostName(QStringLiteral("[2001:DB8::21]"))};
    struct Case {
        const char* field;
        bool loopbackOnly;
        QStringList names;
        QHostAddress local;
        HostVerdict verdict;
    };
    const QHostAddress lo(QHostAddress::LocalHost);
    const auto Served = HostVerdict::Served;
    const auto Misdirected = HostVerdict::Misdirected;
    const auto Malformed = HostVerdict::Malformed;
    const Case cases[] = {
        // Bound to loopback: loopback only, whatever the port.
        {"", true, {}, lo, Served},
        {"127.0.0.1", true, {}, lo, Served},
        {"127.0.0.1:8080", true, {}, lo, Served},
        {"127.9.8.7:1", true, {}, lo, Served},
        {"localhost", true, {}, lo, Served},
        {"LocalHost:8080", true, {}, lo, Served},
        {"[::1]", true, {}, lo, Served},
        {"[::1]:8080", true, {}, lo, Served},
        {"[::ffff:127.0.0.1]:8080", true, {}, lo, Served},
        {"rebound.example", true, {}, lo, Misdirected},
        {"rebound.example:8080", true, {}, lo, Misdirected},
        {"localhost.rebound.example", true, {}, lo, Misdirected},
        {"127.0.0.1.rebound.example", true, {}, lo, Misdirected},
        {"127.1", true, {}, lo, Misdirected},
        {"127.000.0.1", true, {}, lo, Misdirected},
        {"0x7f.0.0.1", true, {}, lo, Misdirected},
        {"192.168.1.20", true, {}, lo, Misdirected},
        {"display.shop.lan", true, named, lo, Served},
        // Bound to other addresses: the address the request came to and loopback, then the
        // names, or any host while there is none.
        {"192.168.1.20:8080", false, named, lan, Served},
        {"192.168.1.20:8080", false, named, lanMapped, Served},
        {"[2001:db8::20]:8080", false, named, lan6, Served},
        {"127.0.0.1:8080", false, named, lan, Served},
        {"localhost", false, named, lan, Served},
        {"DISPLAY.shop.lan:8080", false, named, lan, Served},
        {"[2001:db8:0::21]", false, named, lan6, Served},
        {"192.168.1.21:8080", false, named, lan, Misdirected},
        {"rebound.example", false, named, lan, Misdirected},
        {"display.shop.lan.rebound.example", false, named, lan, Misdirected},
        {"rebound.example", false, {}, lan, Served},
        {"192.168.1.21", false, {}, lan, Served},
        // Not a host and optional port, or two Host fields (Qt joins them with ", ").
        {"127.0.0.1, rebound.example", true, {}, lo, Malformed},
        {"127.0.0.1, 127.0.0.1", false, {}, lan, Malformed},
        {"127.0.0.1:", true, {}, lo, Malformed},
        {"127.0.0.1:80:80", true, {}, lo, Malformed},
        {"127.0.0.1:65536", true, {}, lo, Malformed},
        {"127.0.0.1:8o", true, {}, lo, Malformed},
        {"::1", true, {}, lo, Malformed},
        {"[::1", true, {}, lo, Malformed},
        {"[::1]x", true, {}, lo, Malformed},
        {"[fe80::1%25eth0]", false, {}, lan, Malformed},
        {"[localhost]", true, {}, lo, Malformed},
        {"user@localhost", true, {}, lo, Malformed},
        {"local host", false, {}, lan, Malformed},
    };
    for (const Case& c : cases) {
        const display::HostRule rule{c.loopbackOnly, c.names};
        EXPECT_EQ(display::JudgeHost(c.field, rule, c.local), c.verdict)
            << '"' << c.field << "\" bound to " << (c.loopbackOnly ? "loopback" : "the network");
    }
    for (const char* bad : {"", "a b", "[::1", "user@host", "caf\u00e9.lan", "fe80::1%eth0"})
        EXPECT_EQ(display::HostName(QString::fromUtf8(bad)), QString()) << bad;
}

TEST(WebServer, AReadingPageGetsKeepAliveEventsBetweenUpdates) {
    WebServer server(ShortLimits());
    Reader page(Start(server));
    ASSERT_TRUE(WaitUntil([&] { return page.received.count("event: ping\n") >= 3; }, kPatienceMs));
    EXPECT_TRUE(page.received.startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(server.viewers(), 1);
}

TEST(WebServer, APageThatReadsNothingIsDroppedAndTheOthersGoOn) {
    WebServer server(ShortLimits());
    const quint16 port = Start(server);
    Reader reader(port);
    Sleeper sleeper(port);
    ASSERT_TRUE(WaitUntil([&] { return server.viewers() == 2; }, kPatienceMs));

    // Far more than the sleeper's link holds, in boards of 256 KiB, each sent once the
    // reader has the one before: the reader keeps up while the sleeper falls behind.
    Board board;
    for (int i = 0; i < 40 && server.viewers() == 2; ++i) {
        const std::string mark = std::to_string(i) + ":";
        board.text = mark + std::string(256 * 1024, 'x');
        reader.received.clear();
        server.Show(board);
        ASSERT_TRUE(WaitUntil(
            [&] {
                return reader.received.contains("\"text\":\"" + QByteArray::fromStdString(mark)) ||
                       server.viewers() < 2;
            },
            kPatienceMs))
            << "board " << i;
    }
    ASSERT_TRUE(WaitUntil([&] { return server.viewers() == 1; }, kPatienceMs));
    board.text = "encore";
    server.Show(board);
    ASSERT_TRUE(
        WaitUntil([&] { return reader.received.contains("\"text\":\"encore\""); }, kPatienceMs));
    EXPECT_EQ(reader.socket.state(), QAbstractSocket::ConnectedState);
}

TEST(WebServer, AViewersLinkGivesUpOnUnacknowledgedBytesWithinTheStuckBound) {
    // A page that vanishes without closing must not hold its place for the system's own
    // retransmission time (minutes): the viewer bounds it on the accepted socket.
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    QTcpSocket page;
    page.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    ASSERT_TRUE(WaitUntil([&] { return listener.hasPendingConnections(); }, kPatienceMs));
    QTcpSocket* accepted = listener.nextPendingConnection();  // a child of the listener
    ASSERT_NE(accepted, nullptr);
    const WebLimits limits = ShortLimits();
    new display::WebViewer(accepted, limits);  // a child of its socket

    unsigned int bound = 0;
    socklen_t size = sizeof bound;
    ASSERT_EQ(::getsockopt(static_cast<int>(accepted->socketDescriptor()), IPPROTO_TCP,
                           TCP_USER_TIMEOUT, &bound, &size),
              0);
    EXPECT_EQ(bound, static_cast<unsigned int>(limits.stuckViewerMs));
}

TEST(WebServer, AnAnswerLeftUnreadGivesItsConnectionBackAtTheRequestDeadline) {
    // Clients that ask for a large state and never read it hold every connection, each for no
    // longer than the deadline counted from its acceptance, answer included.
    WebLimits limits = ShortLimits();
    limits.maxConnections = 4;
    limits.requestTimeoutMs = 1000;
    WebServer server(limits);
    const quint16 port = Start(server);
    // Larger than the system's send buffer takes, so that most of each answer stays in Qt's
    // buffer (on loopback the system's buffer grows to megabytes; a network's stays far
    // smaller, where a state of 400 KB does the same).
    Board board;
    board.text = std::string(LargestSendBuffer() + (4 << 20), 'x');
    server.Show(board);
    std::vector<std::unique_ptr<Sleeper>> sleepers;
    for (int i = 0; i < limits.maxConnections; ++i)
        sleepers.push_back(std::make_unique<Sleeper>(port, "/state"));

    QElapsedTimer clock;
    clock.start();
    QByteArray answer;
    while (!answer.startsWith("HTTP/1.1 200") && clock.elapsed() < kPatienceMs) {
        answer = Ask(port, "GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        if (!answer.startsWith("HTTP/1.1 200")) RunEventsFor(100);
    }
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200 OK\r\n")) << answer.left(100).toStdString();
}

TEST(WebServer, AStreamTakesNoFurtherRequestFromItsPage) {
    WebServer server(ShortLimits());
    Reader page(Start(server));
    ASSERT_TRUE(WaitUntil([&] { return page.received.contains("}\n\n"); }, kPatienceMs));
    // A request sent down an open stream must not put an answer into the middle of it.
    page.socket.write("GET /state HTTP/1.1\r\n\r\n");
    RunEventsFor(300);
    EXPECT_FALSE(page.received.contains("HTTP/1.1 200 OK\r\nContent-Type: application/json"));
    EXPECT_EQ(server.viewers(), 1);
}

}  // namespace
