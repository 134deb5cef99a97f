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

#include <cerrno>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "board/Board.h"
#include "host/QtWait.h"
#include "input/Receiver.h"
#include "shared/Peer.h"
#include "web/WebListener.h"
#include "web/WebServer.h"
#include "web/WebViewer.h"

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

// 127.0.0.<n>: every one is this machine, each a client address of its own for the server.
QString Loopback(int n) {
    return QStringLiteral("127.0.0.%1").arg(n);
}

// A page that reads all it is sent, from 127.0.0.<from>.
struct Reader {
    QTcpSocket socket;
    QByteArray received;
    explicit Reader(quint16 port, int from = 1) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        socket.bind(QHostAddress(Loopback(from)));
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.write("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    }
};

// A client from 127.0.0.<from> that sends request (asking for the stream unless told) and
// never reads the answer, with a small receive buffer, so that the server's side keeps what
// it cannot send.
class Sleeper {
  public:
    explicit Sleeper(quint16 port, const std::string& request = "GET /events HTTP/1.1\r\n\r\n",
                     int from = 1)
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const int small = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK + static_cast<uint32_t>(from - 1));
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
    }
    ~Sleeper() {
        if (fd_ >= 0) ::close(fd_);
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;

    // Leaves with a reset, as a page whose device drops off the network.
    void Reset() {
        const linger now{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
        ::close(std::exchange(fd_, -1));
    }

    // The server has closed the connection (whatever it had sent is left unread).
    bool Closed() const {
        char byte = 0;
        for (int i = 0; i < 1000; ++i) {  // past what the server may have sent first
            const auto n = ::recv(fd_, &byte, 1, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return true;
            if (n < 0) return false;
        }
        return false;
    }

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

// One request on a connection of its own from 127.0.0.<from>, by a client that reads all: the whole
// answer once the server has closed, or what came within the patience.
QByteArray Ask(quint16 port, const QByteArray& request, int from = 1) {
    QTcpSocket socket;
    QByteArray answer;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    socket.bind(QHostAddress(Loopback(from)));
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
    limits.shareConnections = 4;  // all from one address, which may hold them all
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
        sleepers.push_back(std::make_unique<Sleeper>(port, "GET /state HTTP/1.1\r\n\r\n"));

    QElapsedTimer clock;
    clock.start();
    QByteArray answer;
    while (!answer.startsWith("HTTP/1.1 200") && clock.elapsed() < kPatienceMs) {
        answer = Ask(port, "GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        if (!answer.startsWith("HTTP/1.1 200")) RunEventsFor(100);
    }
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200 OK\r\n")) << answer.left(100).toStdString();
}

TEST(WebServer, NoAddressKeepsTheOtherPagesOut) {
    struct Case {
        const char* name;
        std::vector<int> following;  // each page's address, 127.0.0.<n>, the oldest first
        int share;
        int newcomer;
        bool served;
        int closed = -1;  // the page whose place the newcomer takes, by its place in following
        bool vanishes = false;  // the newcomer leaves with a reset as soon as it has asked
    };
    const Case cases[] = {
        {"one address holding every place", {1, 1, 1, 1}, 4, 2, true, 0},
        {"a page back after its link dropped, its old stream still open",
         {1, 2, 3, 4},
         2,
         3,
         true,
         2},
        {"the address that holds the most gives way", {1, 2, 2, 3}, 2, 4, true, 1},
        {"a new address while every address holds one", {1, 2, 3, 4}, 2, 5, false},
        {"an address at its share", {1, 1, 2}, 2, 1, false},
        {"a newcomer gone before its stream begins", {1, 1, 1, 1}, 4, 2, false, -1, true},
    };
    for (const Case& c : cases) {
        WebLimits limits = ShortLimits();
        limits.maxViewers = 4;
        limits.shareViewers = c.share;
        WebServer server(limits);
        const quint16 port = Start(server);
        std::vector<std::unique_ptr<Reader>> pages;
        for (int from : c.following) {
            pages.push_back(std::make_unique<Reader>(port, from));
            ASSERT_TRUE(
                WaitUntil([&] { return pages.back()->received.contains("}\n\n"); }, kPatienceMs))
                << c.name;
        }
        if (c.vanishes) {
            Sleeper(port, "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", c.newcomer).Reset();
        }
        // The newcomer opens the page, which then follows the board (the server answers it
        // after the request of the one that vanished).
        EXPECT_TRUE(Ask(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", c.newcomer)
                        .startsWith("HTTP/1.1 200 OK\r\n"))
            << c.name;
        std::unique_ptr<Reader> newcomer;
        if (!c.vanishes) {
            newcomer = std::make_unique<Reader>(port, c.newcomer);
            ASSERT_TRUE(WaitUntil(
                [&] { return newcomer->received.contains(c.served ? "}\n\n" : "\r\n\r\n"); },
                kPatienceMs))
                << c.name;
            EXPECT_EQ(newcomer->received.startsWith("HTTP/1.1 200 OK\r\n"), c.served)
                << c.name << ": " << newcomer->received.left(40).toStdString();
        }
        if (c.closed >= 0) {
            EXPECT_TRUE(WaitUntil(
                [&] {
                    return pages[c.closed]->socket.state() == QAbstractSocket::UnconnectedState;
                },
                kPatienceMs))
                << c.name;
        }
        RunEventsFor(100);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (static_cast<int>(i) == c.closed) continue;
            EXPECT_EQ(pages[i]->socket.state(), QAbstractSocket::ConnectedState)
                << c.name << ": page " << i;
        }
    }
}

TEST(WebServer, SharesCountAnIpv6ClientByItsSlash64) {
    struct Case {
        const char* one;
        const char* other;
        bool same;
    };
    const Case cases[] = {
        {"192.0.2.1", "192.0.2.1", true},
        {"192.0.2.1", "192.0.2.2", false},
        {"192.0.2.1", "::ffff:192.0.2.1", true},
        {"2001:db8:1:2::1", "2001:db8:1:2:aaaa:bbbb:cccc:dddd", true},
        {"2001:db8:1:2::1", "2001:db8:1:3::1", false},
        {"::1", "127.0.0.1", false},
    };
    for (const Case& c : cases) {
        const auto key = [](const char* address) {
            return display::ShareKey(QHostAddress(QString::fromLatin1(address)));
        };
        EXPECT_EQ(key(c.one) == key(c.other), c.same) << c.one << " and " << c.other;
    }
}

TEST(WebServer, NoAddressKeepsTheOtherConnectionsOut) {
    struct Case {
        const char* name;
        std::vector<int> waiting;  // each unfinished request's address, 127.0.0.<n>
        int share;
        int newcomer;
        bool served;
    };
    const Case cases[] = {
        {"one address holding every connection", {1, 1, 1, 1}, 4, 2, true},
        {"a new address while every address holds one", {1, 2, 3, 4}, 2, 5, false},
        {"an address at its share", {1, 1}, 2, 1, false},
    };
    for (const Case& c : cases) {
        WebLimits limits = ShortLimits();
        limits.maxConnections = 4;
        limits.shareConnections = c.share;
        limits.requestTimeoutMs = 3600000;  // they would wait for ever
        WebServer server(limits);
        const quint16 port = Start(server);
        std::vector<std::unique_ptr<Sleeper>> waiting;
        for (int from : c.waiting)
            waiting.push_back(std::make_unique<Sleeper>(port, "GET /state HTTP/1.1\r\n", from));
        const QByteArray answer =
            Ask(port, "GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", c.newcomer);
        EXPECT_TRUE(answer.startsWith(c.served ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 503 "))
            << c.name << ": " << answer.left(40).toStdString();
        // The oldest of the address that holds the most is the one cut.
        if (c.served) {
            EXPECT_TRUE(WaitUntil([&] { return waiting.front()->Closed(); }, kPatienceMs))
                << c.name;
        }
        RunEventsFor(100);
        for (std::size_t i = c.served ? 1 : 0; i < waiting.size(); ++i)
            EXPECT_FALSE(waiting[i]->Closed()) << c.name << ": connection " << i;
    }
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
