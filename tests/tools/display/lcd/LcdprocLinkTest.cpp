// afficheur-display's LCDd client against a stand-in LCDd on loopback: what goes out on a new
// connection and after, how refusals are logged, what happens when LCDd goes and comes back or
// another program floods the link, and the --lcdproc option's value.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/QtWait.h"
#include "lcd/LcdprocLink.h"

using display::Board;
using display::LcdCharset;
using display::LcdprocEndpoint;
using display::LcdprocLink;

namespace {

constexpr int kPatienceMs = 10000;  // the machine may be busy

// What the program writes on stderr while it lives (LogLine's lines), kept in a file.
class StderrCapture {
  public:
    StderrCapture() : file_(std::tmpfile()), saved_(::dup(STDERR_FILENO)) {
        std::fflush(stderr);
        ::dup2(::fileno(file_), STDERR_FILENO);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        std::fclose(file_);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    std::string Text() const {
        std::fflush(stderr);
        std::string text;
        char chunk[4096];
        const long size = ::lseek(::fileno(file_), 0, SEEK_END);
        for (long at = 0; at < size;) {
            const ssize_t n = ::pread(::fileno(file_), chunk, sizeof chunk, at);
            if (n <= 0) break;
            text.append(chunk, static_cast<std::size_t>(n));
            at += n;
        }
        return text;
    }

    int Count(const std::string& words) const {
        const std::string text = Text();
        int count = 0;
        for (auto at = text.find(words); at != std::string::npos; at = text.find(words, at + 1))
            ++count;
        return count;
    }

  private:
    FILE* file_;
    int saved_;
};

// A loopback port where a connection is refused for as long as this lives: bound, so nothing
// else can take it, and never listening.
class ClosedPort {
  public:
    ClosedPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (fd_ >= 0 && ::bind(fd_, any, size) == 0 && ::getsockname(fd_, any, &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~ClosedPort() {
        if (fd_ >= 0) ::close(fd_);
    }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    quint16 port() const { return port_; }  // 0 when no port could be held

  private:
    int fd_;
    quint16 port_ = 0;
};

// How LCDd leaves a connection: closing it, as when it stops, or resetting it (the link gets
// a RST), as the system does when LCDd dies.
enum class Leaving { Close, Reset };

// A program that took LCDd's port while LCDd was down and writes to whoever connects as fast
// as loopback takes it, from a thread of its own: start once, then repeated again and again,
// reading nothing. Serves one connection, then leaves the port (refused until someone else
// listens there); writes until the link leaves, Stop() or a minute has passed.
class Flooder {
  public:
    Flooder(std::string start, const std::string& repeated)
        : listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (listener_ < 0 || ::bind(listener_, any, size) != 0 || ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, any, &size) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        const std::size_t again = start.size();
        std::string block = std::move(start);
        while (block.size() < again + 64 * 1024)
            block += repeated;
        thread_ = std::thread([this, block = std::move(block), again] { Run(block, again); });
    }
    ~Flooder() { Stop(); }
    Flooder(const Flooder&) = delete;
    Flooder& operator=(const Flooder&) = delete;

    quint16 port() const { return port_; }  // 0 when no port could be held

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();  // the thread closed the listener
        } else if (listener_ >= 0) {
            ::close(listener_);
        }
        listener_ = -1;
    }

  private:
    // Writes block, then again and again its part from again on (the repeated text).
    void Run(const std::string& block, std::size_t again) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        const auto going = [&] { return !stop_ && std::chrono::steady_clock::now() < end; };
        int peer = -1;
        while (peer < 0 && going()) {
            pollfd wait{listener_, POLLIN, 0};
            if (::poll(&wait, 1, 20) == 1) peer = ::accept(listener_, nullptr, nullptr);
        }
        ::close(listener_);
        if (peer < 0) return;
        std::size_t at = 0;
        while (going()) {
            pollfd wait{peer, POLLOUT, 0};
            if (::poll(&wait, 1, 20) != 1) continue;
            const ssize_t n =
                ::send(peer, block.data() + at, block.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
            if (n <= 0) break;  // the link left
            at += static_cast<std::size_t>(n);
            if (at == block.size()) at = again;
        }
        ::close(peer);
    }

    int listener_;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A stand-in for LCDd: answers "hello" for a display of the given size and every other
// command with "success", or with a refusal when refuse says so; after answers commands (when
// not negative) it answers nothing more, as a hung LCDd. Ends a connection when EndAfter says.
// Keeps every line received.
class FakeLcdd : public QObject {
  public:
    explicit FakeLcdd(std::string size = "wid 20 hgt 2", quint16 port = 0)
        : size_(std::move(size)) {
        server_.listen(QHostAddress::LocalHost, port);
        port_ = server_.serverPort();
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++connections_;
                client_ = socket;
                if (ending_ && ending_->lines == 0) {
                    End(socket);
                    continue;
                }
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
            }
        });
    }

    quint16 port() const { return port_; }
    const std::vector<std::string>& lines() const { return lines_; }
    int connections() const { return connections_; }
    std::function<std::optional<std::string>(const std::string&)> refuse;
    int answers = -1;

    // LCDd stops: the connection and the listener close.
    void Stop() {
        if (client_) client_->abort();
        server_.close();
    }
    // LCDd starts again on the same port.
    bool Restart() { return server_.listen(QHostAddress::LocalHost, port_); }

    // LCDd ends its connection once it has read that many more lines on it, answering the last
    // one first when answerLast says so. With none, it ends the connection it holds now, or
    // the next one as soon as it takes it. The connections after that one are served as usual.
    void EndAfter(int lines, bool answerLast, Leaving how) {
        ending_ = Ending{lines, answerLast, how};
        if (lines == 0 && client_ && client_->state() == QAbstractSocket::ConnectedState) {
            End(client_);
        }
    }

    bool Has(const std::string& line) const {
        return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    }

  private:
    struct Ending {
        int lines;  // still to be read before the end
        bool answerLast;
        Leaving how;
    };

    void Read(QTcpSocket* socket) {
        while (socket->canReadLine()) {
            std::string line = socket->readLine().toStdString();
            line.pop_back();
            lines_.push_back(line);
            const bool last = ending_ && --ending_->lines == 0;
            if (!last || ending_->answerLast) Answer(socket, line);
            if (last) {
                End(socket);
                return;
            }
        }
    }

    void Answer(QTcpSocket* socket, const std::string& line) {
        if (line == "hello") {
            socket->write(
                ("connect LCDproc 0.5.9 protocol 0.3 lcd " + size_ + " cellwid 5 cellhgt 8\n")
                    .c_str());
            return;
        }
        if (answers >= 0 && answered_ >= answers) return;
        ++answered_;
        const auto refusal = refuse ? refuse(line) : std::nullopt;
        socket->write(refusal ? (*refusal + "\n").c_str() : "success\n");
    }

    void End(QTcpSocket* socket) {
        const Leaving how = ending_->how;
        ending_.reset();
        socket->disconnect(this);  // nothing more is read or answered on it
        socket->flush();           // the answers given so far leave first
        if (how == Leaving::Reset) {
            const linger now{1, 0};
            ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now,
                         sizeof now);
            socket->abort();
            return;
        }
        // What else came is read, so that the system closes with a FIN, not a reset.
        socket->readAll();
        socket->disconnectFromHost();
    }

    std::string size_;
    QTcpServer server_;
    QTcpSocket* client_ = nullptr;
    quint16 port_ = 0;
    int connections_ = 0;
    int answered_ = 0;
    std::optional<Ending> ending_;
    std::vector<std::string> lines_;
};

LcdCharset Ascii() {
    std::string error;
    return std::move(*LcdCharset::Open("ASCII", &error));
}

Board MakeBoard(std::string text, std::string scroll = "", std::string name = "") {
    Board board;
    board.text = std::move(text);
    board.scroll = std::move(scroll);
    board.registerName = std::move(name);
    return board;
}

}  // namespace

TEST(LcdprocLink, DrawsTheWholeBoardOnConnectionThenOnlyWhatChanges) {
    StderrCapture log;
    FakeLcdd lcdd;
    LcdprocLink link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii());
    link.Show(MakeBoard("Café", "Soldes", "Caisse 1"));  // before the link is up
    link.Start();
    ASSERT_TRUE(WaitUntil([&] { return lcdd.lines().size() >= 8; }, kPatienceMs));
    const std::vector<std::string> setup = {
        "hello",
        "client_set -name afficheur",
        "screen_add afficheur",
        "screen_set afficheur -name Afficheur -priority foreground -heartbeat off",
        "widget_add afficheur l1 string",
        "widget_add afficheur l2 string",
        "widget_set afficheur l1 1 1 \"        Cafe\"",
        "widget_set afficheur l2 1 2 \"Soldes\"",
    };
    EXPECT_EQ(lcdd.lines(), setup);
    EXPECT_EQ(log.Count("link up, 20x2 display"), 1) << log.Text();

    link.Show(MakeBoard("Merci", "Soldes", "Caisse 2"));  // the name has no line on 20x2
    ASSERT_TRUE(WaitUntil([&] { return lcdd.lines().size() >= 9; }, kPatienceMs));
    link.Show(MakeBoard("Merci", "Soldes", "Caisse 3"));
    // The shop's pictures in turn are not for a character display: it keeps its text.
    Board withPicture = MakeBoard("Merci", "Soldes", "Caisse 3");
    withPicture.picture = "0123456789abcdef.jpg";
    withPicture.pictureAlone = true;
    link.Show(withPicture);
    RunEventsFor(300);
    ASSERT_EQ(lcdd.lines().size(), 9u);
    EXPECT_EQ(lcdd.lines().back(), "widget_set afficheur l1 1 1 \"       Merci\"");
}

TEST(LcdprocLink, StepsAMarqueeFromItsBeginningSendingOnlyTheLineThatMoves) {
    FakeLcdd lcdd("wid 20 hgt 2");
    LcdprocLink link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii());
    link.Show(MakeBoard("Cafe creme 2,40 EUR Strasse", "Soldes"));
    link.Start();
    const std::string first = "widget_set afficheur l1 1 1 \"Cafe creme 2,40 EUR \"";
    const std::string second = "widget_set afficheur l1 1 1 \"afe creme 2,40 EUR S\"";
    ASSERT_TRUE(
        WaitUntil([&] { return lcdd.Has(second); },
                  (display::kLcdMarqueeHoldSteps + 4) * display::kLcdMarqueeStepMs + kPatienceMs));
    const auto lines = lcdd.lines();
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    EXPECT_LT(at(first), at(second)) << "the marquee did not start at its beginning";
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.rfind("widget_set afficheur l2", 0) == 0;
                            }),
              1)
        << "the still line was sent again";

    // A new text starts from its beginning again.
    link.Show(MakeBoard("Merci de votre visite, a bientot", "Soldes"));
    ASSERT_TRUE(
        WaitUntil([&] { return lcdd.Has("widget_set afficheur l1 1 1 \"Merci de votre visit\""); },
                  kPatienceMs));
}

TEST(LcdprocLink, LogsARefusalWithTheCommandThatCausedIt) {
    StderrCapture log;
    FakeLcdd lcdd("wid 16 hgt 1");
    lcdd.refuse = [](const std::string& line) -> std::optional<std::string> {
        if (line.rfind("screen_set", 0) == 0) return "huh? Unknown option -heartbeat";
        return std::nullopt;
    };
    LcdprocLink link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii());
    link.Start();
    link.Show(MakeBoard("A \"quoted\" text"));
    const std::string expected =
        "refused \"screen_set afficheur -name Afficheur -priority foreground -heartbeat off\": "
        "huh? Unknown option -heartbeat";
    ASSERT_TRUE(WaitUntil([&] { return log.Count(expected) == 1; }, kPatienceMs)) << log.Text();
    // The commands around it were answered "success" and are not blamed.
    ASSERT_TRUE(
        WaitUntil([&] { return lcdd.Has("widget_set afficheur l1 1 1 \"A \\\"quoted\\\" text\""); },
                  kPatienceMs));
    RunEventsFor(200);
    EXPECT_EQ(log.Count("refused"), 1) << log.Text();
}

// An LCDd that refuses every command, in long words that change each time, while the board
// changes many times: the first refusal is quoted in part, the others only counted.
TEST(LcdprocLink, AnLcddThatRefusesEverythingWritesLittleOnStderr) {
    StderrCapture log;
    FakeLcdd lcdd;
    int refusals = 0;
    lcdd.refuse = [&](const std::string&) -> std::optional<std::string> {
        return "huh? " + std::to_string(++refusals) + std::string(20000, 'x');
    };
    LcdprocLink link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii());
    bool up = false;
    QObject::connect(&link, &LcdprocLink::up, [&] { up = true; });
    link.Start();
    ASSERT_TRUE(WaitUntil([&] { return up; }, kPatienceMs)) << log.Text();
    constexpr int kBoards = 100;
    for (int i = 0; i < kBoards; ++i) {
        link.Show(MakeBoard("Article " + std::to_string(i)));
        RunEventsFor(5);
    }
    // Every command refused (the setup's 5 and a text for each board), and every answer read.
    ASSERT_TRUE(WaitUntil([&] { return refusals >= kBoards + 5; }, kPatienceMs)) << refusals;
    RunEventsFor(300);
    const std::string text = log.Text();
    EXPECT_LT(text.size(), 2000u) << text.substr(0, 4000);
    EXPECT_EQ(log.Count("refused"), 1) << text.substr(0, 4000);
    EXPECT_EQ(log.Count("huh? 1xxx"), 1) << text.substr(0, 4000);
    EXPECT_EQ(log.Count("... (20006 characters)"), 1) << text.substr(0, 4000);
    EXPECT_EQ(log.Count("link down"), 0) << text.substr(0, 4000);
}

TEST(LcdprocLink, ComesBackWithTheCurrentBoardWhenLcddRestarts) {
    StderrCapture log;
    FakeLcdd lcdd("wid 20 hgt 4");
    LcdprocLink link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii());
    int attempts = 0;
    QObject::connect(&link, &LcdprocLink::connecting, [&] { ++attempts; });
    link.Start();
    link.Show(MakeBoard("Bonjour", "", "Caisse 1"));
    ASSERT_TRUE(WaitUntil([&] { return lcdd.Has("widget_set afficheur l4 1 4 \"Caisse 1\""); },
                          kPatienceMs));

    lcdd.Stop();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("link down") == 1; }, kPatienceMs)) << log.Text();
    link.Show(MakeBoard("Article 2", "Promo", "Caisse 1"));  // shown while LCDd is away
    // A retry begins only once the one before failed: two more attempts, one failed retry.
    const int down = attempts;
    ASSERT_TRUE(
        WaitUntil([&] { return attempts >= down + 2; }, 2 * LcdprocLink::kRetryMs + kPatienceMs));
    EXPECT_EQ(log.Count("link down"), 1) << log.Text();
    EXPECT_EQ(log.Count("cannot connect"), 0) << "a failed retry was logged: " << log.Text();

    ASSERT_TRUE(lcdd.Restart());
    ASSERT_TRUE(WaitUntil([&] { return lcdd.connections() == 2 && lcdd.lines().size() >= 24; },
                          kPatienceMs));
    // The second connection sets everything up again and draws the board as it is now.
    const std::vector<std::string> second(lcdd.lines().end() - 12, lcdd.lines().end());
    EXPECT_EQ(second.front(), "hello");
    EXPECT_TRUE(lcdd.Has("widget_set afficheur l1 1 1 \"     Article 2\""));
    EXPECT_EQ(second.back(), "widget_set afficheur l4 1 4 \"Caisse 1\"");
    EXPECT_EQ(log.Count("link up, 20x4 display"), 2) << log.Text();
}

TEST(LcdprocLink, SaysOnceThatLcddIsNotThereAndKeepsTrying) {
    StderrCapture log;
    const ClosedPort closed;
    ASSERT_NE(closed.port(), 0);
    LcdprocLink link({QStringLiteral("127.0.0.1"), closed.port()}, Ascii());
    int attempts = 0;
    QObject::connect(&link, &LcdprocLink::connecting, [&] { ++attempts; });
    link.Start();
    link.Show(MakeBoard("Bonjour"));
    // The fourth attempt begins once the first try and two retries failed.
    ASSERT_TRUE(WaitUntil([&] { return attempts >= 4; }, 3 * LcdprocLink::kRetryMs + kPatienceMs));
    EXPECT_EQ(log.Count("cannot connect"), 1) << log.Text();
    EXPECT_EQ(log.Count("trying again every 2 s"), 1) << log.Text();
}

TEST(LcdprocLink, GivesUpOnASilentPeerAndTriesAgain) {
    StderrCapture log;
    QTcpServer silent;  // takes the connection, never answers "hello"
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    int accepted = 0;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (silent.nextPendingConnection())
            ++accepted;
    });
    LcdprocLink link({QStringLiteral("127.0.0.1"), silent.serverPort()}, Ascii());
    link.Start();
    link.Show(MakeBoard("Bonjour"));
    ASSERT_TRUE(WaitUntil([&] { return accepted == 2; },
                          LcdprocLink::kAnswerTimeoutMs + LcdprocLink::kRetryMs + kPatienceMs))
        << log.Text();
    EXPECT_EQ(log.Count("cannot connect (no LCDd answer within 5 s)"), 1) << log.Text();
}

TEST(LcdprocLink, DropsAnLcddThatStopsAnsweringAndTriesAgain) {
    struct Case {
        const char* name;
        int answers;  // commands answered after "hello" before LCDd hangs
        bool change;  // a new board goes out once the first drawing is out
    };
    const Case cases[] = {
        {"silent right after hello", 0, false},
        {"silent once the first drawing is answered", 7, true},
    };
    for (const auto& c : cases) {
        StderrCapture log;
        FakeLcdd lcdd;
        lcdd.answers = c.answers;
        LcdprocLink link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii());
        link.Show(MakeBoard("Bonjour", "Soldes"));
        link.Start();
        ASSERT_TRUE(WaitUntil([&] { return lcdd.lines().size() >= 8; }, kPatienceMs)) << c.name;
        if (c.change) link.Show(MakeBoard("Merci", "Soldes"));
        // A handful of commands, far below the bounds on unanswered commands and unsent bytes:
        // only the answer timeout can notice this LCDd.
        ASSERT_TRUE(WaitUntil([&] { return lcdd.connections() == 2; },
                              LcdprocLink::kAnswerTimeoutMs + LcdprocLink::kRetryMs + kPatienceMs))
            << c.name << ": " << log.Text();
        EXPECT_EQ(log.Count("link down (no LCDd answer within 5 s)"), 1) << c.name << log.Text();
        if (c.change) {
            EXPECT_TRUE(lcdd.Has("widget_set afficheur l1 1 1 \"       Merci\"")) << c.name;
        }
    }
}

// Another program took LCDd's port while LCDd was down and writes to the link without end: the
// link reads it a chunk at a time and holds one line at most, drops it with one log line, and
// the event loop turns all along; the board given meanwhile shows once LCDd has the port again.
TEST(LcdprocLink, DropsAPeerThatFloodsItAndShowsTheBoardOnceLcddIsBack) {
    struct Case {
        const char* name;
        std::string start;     // written once
        std::string repeated;  // then written again and again
        std::string down;      // the log line's words
    };
    const std::string lines = "LCDd sent more than 200 lines unasked within 10 s";
    const std::string bytes = "LCDd sent more than 16384 bytes unasked within 10 s";
    const Case cases[] = {
        {"refusals from the start", "", "huh?\n", "cannot connect (" + lines + ")"},
        {"refusals past the answers to the setup",
         "connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 2 cellwid 5 cellhgt 8\n",
         "huh? Invalid command\n", "link down (" + lines + ")"},
        {"empty lines", "", "\n", "cannot connect (" + lines + ")"},
        {"long key events", "", "key " + std::string(1000, 'x') + "\n",
         "cannot connect (" + bytes + ")"},
        {"one line without end", "", "x", "cannot connect (LCDd sent a line too long)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StderrCapture log;
        Flooder flooder(c.start, c.repeated);
        ASSERT_NE(flooder.port(), 0);
        LcdprocLink link({QStringLiteral("127.0.0.1"), flooder.port()}, Ascii());
        // The event loop's longest stop, as a timer that should tick every 10 ms sees it.
        QElapsedTimer sinceTick;
        qint64 longestStop = 0;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longestStop = std::max(longestStop, sinceTick.restart()); });
        sinceTick.start();
        tick.start();

        link.Show(MakeBoard("Bonjour"));
        link.Start();
        const std::string at = "LCDd at " + link.Address().toStdString() + ": ";
        ASSERT_TRUE(WaitUntil([&] { return log.Count(at + c.down) == 1; }, kPatienceMs))
            << log.Text();
        link.Show(MakeBoard("Merci"));  // while the port is still taken
        flooder.Stop();
        // Whatever came, the link held no more than a line and a chunk.
        EXPECT_LE(link.MostHeld(), LcdprocLink::kMaxLineBytes + LcdprocLink::kReadChunkBytes);

        FakeLcdd lcdd("wid 20 hgt 2", flooder.port());
        ASSERT_EQ(lcdd.port(), flooder.port());
        ASSERT_TRUE(
            WaitUntil([&] { return lcdd.Has("widget_set afficheur l1 1 1 \"       Merci\""); },
                      LcdprocLink::kRetryMs + kPatienceMs))
            << log.Text();
        tick.stop();
        const std::string text = log.Text();
        EXPECT_EQ(log.Count("trying again"), 1) << text;  // one line for the flood, none per line
        EXPECT_LT(text.size(), 1000u) << text.substr(0, 2000);
        // Generous: each turn takes a few milliseconds; a link that read all it was sent stood
        // the loop still for seconds.
        EXPECT_LT(longestStop, 1000) << "the event loop stood still";
    }
}

// LCDd may close or reset the connection at any point of it; the link is dropped there, says
// so, and is back up once LCDd serves it again. Writing to a connection LCDd already left makes
// Qt report the error from inside the write, in the middle of the link's own call.
TEST(LcdprocLink, ComesBackWhereverLcddEndsTheConnection) {
    struct Case {
        const char* point;
        Leaving how;
        bool once;        // LCDd ends it once the link is up, as a new board goes out
        int lines;        // lines LCDd reads before ending it (once up: of the new board)
        bool answerLast;  // LCDd answers the last of them first
        // What the log says. Nothing for a reset before Qt saw the socket connected: Qt then
        // connects again on its own, and the link never hears of it.
        const char* down;
    };
    const Case cases[] = {
        {"closed right after taking it", Leaving::Close, false, 0, false, "cannot connect"},
        {"reset right after taking it", Leaving::Reset, false, 0, false, nullptr},
        {"closed after reading hello", Leaving::Close, false, 1, false, "cannot connect"},
        {"reset after reading hello", Leaving::Reset, false, 1, false, "cannot connect"},
        {"closed right after answering hello", Leaving::Close, false, 1, true, "link down"},
        {"reset right after answering hello", Leaving::Reset, false, 1, true, "link down"},
        {"closed amid the answers to the setup", Leaving::Close, false, 3, true, "link down"},
        {"reset amid the answers to the setup", Leaving::Reset, false, 3, true, "link down"},
        {"closed as a new board arrives", Leaving::Close, true, 1, false, "link down"},
        {"reset as a new board arrives", Leaving::Reset, true, 1, false, "link down"},
        {"closed just before a new board goes out", Leaving::Close, true, 0, false, "link down"},
        {"reset just before a new board goes out", Leaving::Reset, true, 0, false, "link down"},
    };
    struct Run {
        explicit Run(const Case& c)
            : c(c), link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii()) {}
        const Case& c;
        FakeLcdd lcdd;
        LcdprocLink link;
        bool up = false;    // on the first connection
        bool back = false;  // on a later one
    };
    StderrCapture log;
    // Every case at once, each with an LCDd of its own: the 2 s before the link tries again
    // pass once for all of them.
    std::vector<std::unique_ptr<Run>> runs;
    for (const Case& c : cases) {
        Run& run = *runs.emplace_back(std::make_unique<Run>(c));
        QObject::connect(&run.link, &LcdprocLink::up,
                         [&run] { (run.lcdd.connections() == 1 ? run.up : run.back) = true; });
        if (!c.once) run.lcdd.EndAfter(c.lines, c.answerLast, c.how);
        run.link.Show(MakeBoard("Bonjour", "Soldes"));
        run.link.Start();
    }
    // The first drawing is out and read (8 lines) where LCDd waits for the link to be up.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return std::all_of(runs.begin(), runs.end(), [](const auto& run) {
                return !run->c.once || (run->up && run->lcdd.lines().size() >= 8);
            });
        },
        kPatienceMs));
    for (const auto& run : runs) {
        if (!run->c.once) continue;
        run->lcdd.EndAfter(run->c.lines, run->c.answerLast, run->c.how);
        run->link.Show(MakeBoard("Merci", "Promo"));
    }
    WaitUntil(
        [&] {
            return std::all_of(runs.begin(), runs.end(), [](const auto& run) { return run->back; });
        },
        LcdprocLink::kRetryMs + kPatienceMs);
    const std::string text = log.Text();
    for (const auto& run : runs) {
        SCOPED_TRACE(run->c.point);
        const std::string at = "LCDd at " + run->link.Address().toStdString() + ": ";
        if (run->c.down) {
            EXPECT_NE(text.find(at + run->c.down), std::string::npos) << text;
        } else {
            EXPECT_EQ(text.find(at + "cannot connect"), std::string::npos) << text;
        }
        EXPECT_TRUE(run->back) << "not back up on a connection LCDd serves";
    }
}

// Read from the option, and written back the same way in the link's log lines.
TEST(LcdprocLink, ReadsTheEndpointOfTheOption) {
    struct Case {
        const char* text;
        std::optional<std::pair<const char*, quint16>> endpoint;
    };
    const Case cases[] = {
        {"127.0.0.1:13666", std::make_pair("127.0.0.1", 13666)},
        {"localhost:13667", std::make_pair("localhost", 13667)},
        {"[::1]:13666", std::make_pair("::1", 13666)},
        {"[fe80::1%2]:13666", std::make_pair("fe80::1%2", 13666)},  // a numeric scope
        {"lcd-box:1", std::make_pair("lcd-box", 1)},
        {"::1:13666", std::nullopt},  // an IPv6 address needs brackets
        {"127.0.0.1", std::nullopt},
        {"127.0.0.1:0", std::nullopt},
        {"127.0.0.1:65536", std::nullopt},
        {"127.0.0.1:13666x", std::nullopt},
        {":13666", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto endpoint = display::ParseLcdprocEndpoint(QString::fromLatin1(c.text));
        ASSERT_EQ(endpoint.has_value(), c.endpoint.has_value()) << c.text;
        if (!endpoint) continue;
        EXPECT_EQ(endpoint->host.toStdString(), c.endpoint->first) << c.text;
        EXPECT_EQ(endpoint->port, c.endpoint->second) << c.text;
        EXPECT_EQ(LcdprocLink(*endpoint, Ascii()).Address().toStdString(), c.text);
    }
}

// A character display cannot draw a QR code: in the sale's items' place it shows the code's
// caption above the total; without a caption, the sale and its total as they are; and once the
// next text removes the code, that text.
TEST(LcdprocLink, ShowsAQrCodesCaptionAboveTheTotal) {
    StderrCapture log;
    FakeLcdd lcdd;
    LcdprocLink link({QStringLiteral("127.0.0.1"), lcdd.port()}, Ascii());
    Board board = MakeBoard("Pain\t1,10");
    board.total = "TOTAL\t1,10";
    board.qr = "BCD\n002";
    link.Show(board);
    link.Start();
    ASSERT_TRUE(WaitUntil([&] { return lcdd.lines().size() >= 8; }, kPatienceMs));
    EXPECT_EQ(lcdd.lines()[6], "widget_set afficheur l1 1 1 \"Pain            1,10\"")
        << "no caption: the sale as it is";
    EXPECT_EQ(lcdd.lines()[7], "widget_set afficheur l2 1 2 \"TOTAL           1,10\"");

    board.qrCaption = "Scannez pour payer";
    link.Show(board);
    ASSERT_TRUE(WaitUntil([&] { return lcdd.lines().size() >= 9; }, kPatienceMs));
    EXPECT_EQ(lcdd.lines().back(), "widget_set afficheur l1 1 1 \"Scannez pour payer\"");

    board.text = "Merci";
    board.total.clear();
    board.qr.clear();
    board.qrCaption.clear();
    link.Show(board);
    ASSERT_TRUE(WaitUntil([&] { return lcdd.lines().size() >= 10; }, kPatienceMs));
    RunEventsFor(300);
    const auto& lines = lcdd.lines();
    EXPECT_TRUE(std::any_of(lines.begin() + 9, lines.end(), [](const std::string& l) {
        return l.find("Merci") != l.npos;
    })) << ::testing::PrintToString(lines);
}
