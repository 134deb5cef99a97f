#include "host/Link.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "QtWait.h"
#include "Receiver.h"
#include "common/Error.h"

namespace {

void Send(host::Link& link, const std::string& hostName, quint16 port, const std::string& text) {
    link.Connect(hostName, port);
    link.SendData(text);
    link.Close();
}

// A loopback listener that accepts into its backlog and never reads: a silent display.
class SilentListener {
  public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const int smallBuffer = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &smallBuffer, sizeof smallBuffer);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on loopback");
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(fd_); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    quint16 port() const { return port_; }

  private:
    int fd_ = -1;
    quint16 port_ = 0;
};

}  // namespace

TEST(Link, MessagesArriveWholeOnePerConnectionInTheOrderTheyWereClosed) {
    Receiver display;
    ASSERT_TRUE(display.listening());
    host::Link link;
    const std::string large(300000, 'x');  // more than one write can take at once
    const std::vector<std::string> texts = {"Bonjour",
                                            "\xC3\xBF"
                                            "2"
                                            "12",
                                            "",
                                            large,
                                            "caf\xC3\xA9",
                                            "\xC3\xBF"
                                            "3"
                                            "Caisse 1  "};
    for (const std::string& text : texts)
        Send(link, "127.0.0.1", display.port(), text);
    Send(link, "localhost", display.port(), "by name");
    EXPECT_EQ(link.Pending(), texts.size() + 1) << "Close must return before anything is sent";

    ASSERT_TRUE(WaitUntil([&] { return display.Complete() == texts.size() + 1; }));
    const std::vector<std::string> expected = {"Bonjour",
                                               "\xFF"
                                               "212",
                                               "",
                                               large,
                                               "caf\xE9",
                                               "\xFF"
                                               "3Caisse 1  ",
                                               "by name"};
    EXPECT_EQ(display.messages(), expected);
    EXPECT_EQ(link.Delivered(), expected.size());
    EXPECT_EQ(link.Pending(), 0u);
}

TEST(Link, ARefusedConnectionIsLoggedOnceAndTheMessagesBehindItStillGo) {
    Receiver display;
    const quint16 refusing = RefusingPort();
    host::Link link;
    testing::internal::CaptureStderr();
    Send(link, "127.0.0.1", display.port(), "first");
    Send(link, "127.0.0.1", refusing, "lost");
    Send(link, "127.0.0.1", display.port(), "second");
    const bool arrived = WaitUntil([&] { return display.Complete() == 2 && link.Pending() == 0; });
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(link.Dropped(), 1u);
    EXPECT_NE(log.find("W: message to 127.0.0.1:" + std::to_string(refusing) + " dropped"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("refused"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

TEST(Link, ASilentDisplayIsGivenUpAfterTheTimeoutAndTheNextMessageStillGoes) {
    SilentListener silent;
    Receiver display;
    host::Link::Options options;
    options.timeoutMilliseconds = 300;
    host::Link link(options);
    testing::internal::CaptureStderr();
    // Far more than the kernel buffers of a listener that never reads can hold.
    Send(link, "127.0.0.1", silent.port(), std::string(8 << 20, 's'));
    Send(link, "127.0.0.1", display.port(), "after");
    const bool arrived = WaitUntil([&] { return display.Complete() == 1; }, 10000);
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"after"}));
    EXPECT_NE(log.find(":" + std::to_string(silent.port()) + " dropped: no delivery within 300 ms"),
              std::string::npos)
        << log;
}

TEST(Link, AnIPv6ScopeNamedByItsInterfaceIsKept) {
    Receiver display{QHostAddress(QHostAddress::LocalHostIPv6)};
    if (!display.listening()) GTEST_SKIP() << "no IPv6 loopback here";
    host::Link link;
    testing::internal::CaptureStderr();
    const std::string loopback = std::to_string(::if_nametoindex("lo"));
    Send(link, "::1%lo", display.port(), "by name");
    Send(link, "::1%" + loopback, display.port(), "by number");
    // An interface name that does not exist is not taken for no scope at all.
    Send(link, "::1%nosuchif0", display.port(), "nowhere");
    Send(link, "::1", display.port(), "after");
    const bool arrived = WaitUntil([&] { return display.Complete() == 3 && link.Pending() == 0; });
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(arrived) << log;
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"by name", "by number", "after"}));
    EXPECT_NE(log.find("no network interface named nosuchif0"), std::string::npos) << log;
}

TEST(Link, PastTheQueueBoundTheOldestWaitingMessagesAreDroppedAndLogged) {
    Receiver display;
    host::Link::Options options;
    options.maxWaiting = 3;
    host::Link link(options);
    testing::internal::CaptureStderr();
    for (int n = 1; n <= 6; ++n)
        Send(link, "127.0.0.1", display.port(), std::to_string(n));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(link.Dropped(), 3u);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    EXPECT_NE(log.find("more than 3 messages waiting"), std::string::npos) << log;
    ASSERT_TRUE(WaitUntil([&] { return display.Complete() == 3; }));
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"4", "5", "6"}));
}

TEST(Link, EndpointsThatCanNeverWorkAreRefusedAtConnect) {
    struct Case {
        const char* name;
        std::string host;
        double port;
        int32_t number;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"empty host", "", 8080, host::kErrLinkInvalidArg},
        {"blank host", "  ", 8080, host::kErrLinkInvalidArg},
        {"port 0 (a missing port setting)", "127.0.0.1", 0, host::kErrLinkOutOfRange},
        {"negative port", "127.0.0.1", -1, host::kErrLinkOutOfRange},
        {"port above 65535", "127.0.0.1", 65536, host::kErrLinkOutOfRange},
        {"fractional port", "127.0.0.1", 80.5, host::kErrLinkOutOfRange},
        {"NaN port", "127.0.0.1", nan, host::kErrLinkOutOfRange},
        {"infinite port", "127.0.0.1", inf, host::kErrLinkOutOfRange},
    };
    host::Link::Options options;
    options.advice = "set ip and port under [ecran] in /x/QUORIXaffich.ini";
    host::Link link(options);
    for (const Case& c : cases) {
        try {
            link.Connect(c.host, c.port);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const Error& error) {
            EXPECT_EQ(error.number, c.number) << c.name;
            EXPECT_EQ(error.source, "W.Connect") << c.name;
            EXPECT_NE(error.description.find(options.advice), std::string::npos) << c.name;
        }
        // A refused Connect leaves no message open.
        EXPECT_THROW(link.SendData("x"), Error) << c.name;
    }
    EXPECT_NO_THROW(link.Connect("127.0.0.1", 1));
    EXPECT_NO_THROW(link.Connect("127.0.0.1", 65535));
}

TEST(Link, SendDataNeedsAConnectAndAnUnclosedMessageIsDroppedByTheNextConnect) {
    Receiver display;
    host::Link link;
    try {
        link.SendData("x");
        ADD_FAILURE() << "SendData without Connect accepted";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, host::kErrLinkBadState);
    }
    link.Close();  // nothing open: nothing happens
    EXPECT_EQ(link.Pending(), 0u);

    testing::internal::CaptureStderr();
    link.Connect("127.0.0.1", display.port());
    link.SendData("half");
    Send(link, "127.0.0.1", display.port(), "whole");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("dropped: never closed"), std::string::npos) << log;
    ASSERT_TRUE(WaitUntil([&] { return display.Complete() == 1 && link.Pending() == 0; }));
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"whole"}));
}

TEST(Link, EveryOutcomeIsReportedInTheWordsOfItsLogLine) {
    std::vector<std::pair<bool, std::string>> outcomes;
    host::Link::Options options;
    options.advice = "set ip and port";
    options.onOutcome = [&](bool delivered, const std::string& words) {
        outcomes.emplace_back(delivered, words);
    };
    host::Link link(options);
    quint16 closed = 0;
    {
        Receiver gone;
        closed = gone.port();
    }
    Receiver display;
    testing::internal::CaptureStderr();
    EXPECT_THROW(link.Connect(" ", 9100), Error);  // refused at once, reported at once
    Send(link, "127.0.0.1", display.port(), "a");
    Send(link, "127.0.0.1", closed, "b");
    ASSERT_TRUE(WaitUntil([&] { return outcomes.size() == 3; }));
    const std::string log = testing::internal::GetCapturedStderr();

    EXPECT_EQ(outcomes[0],
              std::make_pair(false, std::string("error 40014 in W.Connect: no display address "
                                                "(host is empty); set ip and port")));
    EXPECT_EQ(outcomes[1], std::make_pair(true, "W: message to 127.0.0.1:" +
                                                    std::to_string(display.port()) + " delivered"));
    EXPECT_FALSE(outcomes[2].first);
    EXPECT_EQ(outcomes[2].second.rfind(
                  "W: message to 127.0.0.1:" + std::to_string(closed) + " dropped: ", 0),
              0u)
        << outcomes[2].second;
    EXPECT_NE(log.find(outcomes[2].second + "\n"), std::string::npos) << log;
}

// The bytes stay what the display's peers expect ('?' for a character Windows-1252 lacks), and
// the outcome and its log line say how many characters were so lost and which.
TEST(Link, CharactersTheCodePageLacksLeaveAsQuestionMarksAndAreCountedInTheOutcome) {
    struct Case {
        const char* name;
        std::vector<std::string> texts;  // one SendData each, in one message
        std::string bytes;
        std::string lost;  // what the outcome's words end with; empty: nothing lost
    };
    const Case cases[] = {
        {"the promotion",
         {"Promo \xE2\x86\x92 \xC5\x81\xC3\xB3"
          "d\xC5\xBA"},
         "Promo ? ?\xF3"
         "d?",
         "; 3 characters could not be sent as Windows-1252 and show as ?: \xE2\x86\x92 \xC5\x81 "
         "\xC5\xBA"},
        {"the code page's own characters and a question mark",
         {"caf\xC3\xA9 \xE2\x82\xAC ?"},
         "caf\xE9 \x80 ?",
         ""},
        {"counted over the message, each shown once",
         {"a\xE2\x86\x92", "b\xE2\x86\x92\xE2\x86\x92"},
         "a?b??",
         "; 3 characters could not be sent as Windows-1252 and show as ?: \xE2\x86\x92"},
        {"one character, one that does not show by itself",
         {"x\xE2\x80\x8By"},
         "x?y",
         "; 1 character could not be sent as Windows-1252 and shows as ?: U+200B"},
        {"a combining accent",
         {"e\xCC\x81"},
         "e?",
         "; 1 character could not be sent as Windows-1252 and shows as ?: U+0301"},
        {"the first ten different ones",
         {"\xCE\xB1\xCE\xB2\xCE\xB3\xCE\xB4\xCE\xB5\xCE\xB6\xCE\xB7\xCE\xB8\xCE\xB9\xCE\xBA"
          "\xCE\xBB\xCE\xBC\xCE\xB1"},
         "?????????????",
         "; 13 characters could not be sent as Windows-1252 and show as ?: \xCE\xB1 \xCE\xB2 "
         "\xCE\xB3 \xCE\xB4 \xCE\xB5 \xCE\xB6 \xCE\xB7 \xCE\xB8 \xCE\xB9 \xCE\xBA and 2 others"},
    };
    std::vector<std::string> outcomes;
    host::Link::Options options;
    options.onOutcome = [&](bool delivered, const std::string& words) {
        EXPECT_TRUE(delivered) << words;
        outcomes.push_back(words);
    };
    host::Link link(options);
    Receiver display;
    const std::string at = "W: message to 127.0.0.1:" + std::to_string(display.port()) + " ";
    testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        link.Connect("127.0.0.1", display.port());
        for (const std::string& text : c.texts)
            link.SendData(text);
        link.Close();
    }
    const bool arrived = WaitUntil([&] {
        return outcomes.size() == std::size(cases) && display.Complete() == std::size(cases);
    });
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(arrived) << log;
    int lines = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(display.messages()[i], c.bytes);
        EXPECT_EQ(outcomes[i], at + "delivered" + c.lost);
        if (!c.lost.empty()) {
            ++lines;
            EXPECT_NE(log.find(outcomes[i] + "\n"), std::string::npos) << log;
        }
    }
    // Only the messages that lost characters are logged.
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), lines) << log;

    // A message that fails says it too, in its log line.
    std::string failed;
    options.onOutcome = [&](bool, const std::string& words) { failed = words; };
    host::Link other(options);
    testing::internal::CaptureStderr();
    const quint16 refusing = RefusingPort();
    Send(other, "127.0.0.1", refusing, "\xE2\x86\x92");
    const bool told = WaitUntil([&] { return !failed.empty(); });
    const std::string failureLog = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(told) << failureLog;
    EXPECT_EQ(failed.rfind("W: message to 127.0.0.1:" + std::to_string(refusing) + " dropped: ", 0),
              0u)
        << failed;
    EXPECT_NE(failed.find("; 1 character could not be sent as Windows-1252 and shows as ?: "
                          "\xE2\x86\x92"),
              std::string::npos)
        << failed;
    EXPECT_NE(failureLog.find(failed + "\n"), std::string::npos) << failureLog;
}
