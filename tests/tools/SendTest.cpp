// afficheur-send: its options read in process, and the built command run against a stand-in
// display on loopback (one message per connection, read to the end, then closed).

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "Delivery.h"
#include "SendOptions.h"
#include "platform/FileDescriptor.h"
#include "support/TempFolder.h"

namespace {

using protocol::Kind;

std::string NoInput(std::size_t) {
    return "Merci\n";
}

// The longest text a display keeps, as a tool that ends it with CR LF writes it.
std::string LongestInput(std::size_t limit) {
    return (std::string(sender::kMaxTextBytes, 'a') + "\r\n").substr(0, limit);
}

// A producer that never stops: as much as is asked for.
std::string EndlessInput(std::size_t limit) {
    return std::string(limit, 'a');
}

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<sender::Outgoing> messages;  // empty: a usage error is expected
    const char* error = "";                  // part of the usage error's words
    sender::ReadInput input = &NoInput;
};

TEST(SendOptions, ReadAsATable) {
    const ParseCase cases[] = {
        {"a plain text", {"Bienvenue"}, {{Kind::Text, "Bienvenue"}}},
        {"standard input without its final line feed", {"-"}, {{Kind::Text, "Merci"}}},
        {"lines in a row make one message",
         {"--line", "Caf\xC3\xA9", "2,40", "--line", "TOTAL", "23,70"},
         {{Kind::Text, "Caf\xC3\xA9\t2,40\nTOTAL\t23,70"}}},
        {"a tab or line break inside a side is a blank",
         {"--line", "a\tb", "1\n2"},
         {{Kind::Text, "a b\t1 2"}}},
        {"each other option its own message, in order",
         {"--scroll", "Soldes", "--colour", "12", "--register=Caisse 2", "--clear", "--line", "A",
          "1", "Fin"},
         {{Kind::Scroll, "Soldes"},
          {Kind::Colour, "12"},
          {Kind::Register, "Caisse 2"},
          {Kind::Text, ""},
          {Kind::Text, "A\t1"},
          {Kind::Text, "Fin"}}},
        {"after -- a dash starts a text", {"--", "--clear"}, {{Kind::Text, "--clear"}}},
        {"after -- every argument is a text, - and -- too",
         {"--", "-", "--", "-5,00 remise"},
         {{Kind::Text, "-"}, {Kind::Text, "--"}, {Kind::Text, "-5,00 remise"}}},
        {"a text that starts with a dash, without --", {"-5,00 remise"}, {}, "goes after --"},
        {"standard input as long as a display keeps",
         {"-"},
         {{Kind::Text, std::string(sender::kMaxTextBytes, 'a')}},
         "",
         &LongestInput},
        {"standard input longer than a display keeps", {"-"}, {}, "longer than", &EndlessInput},
        {"nothing to send", {"--to", "127.0.0.1:9100"}, {}, "nothing to send"},
        {"a colour out of the palette", {"--colour", "16"}, {}, "0 to 15"},
        {"a colour that is not whole", {"--colour", "2.5"}, {}, "0 to 15"},
        {"--to without a port", {"--to", "shop", "x"}, {}, "HOST:PORT"},
        {"--to with port 0", {"--to", "127.0.0.1:0", "x"}, {}, "HOST:PORT"},
        {"--to IPv6 without brackets", {"--to", "::1:9100", "x"}, {}, "HOST:PORT"},
        {"an unknown encoding", {"--encoding", "latin1", "x"}, {}, "windows-1252 or utf-8"},
        {"a timeout of 0", {"--timeout", "0", "x"}, {}, "--timeout"},
        {"--line with one argument", {"--line", "A"}, {}, "two arguments"},
        {"an option without its value", {"x", "--scroll"}, {}, "needs a value"},
        {"an unknown option", {"--colours", "3"}, {}, "unknown option"},
        {"a text longer than a display keeps", {std::string(64 * 1024 + 1, 'a')}, {}, "longer"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = sender::ParseSendOptions(c.args, c.input);
        if (c.messages.empty()) {
            ASSERT_TRUE(std::holds_alternative<sender::UsageError>(parsed));
            EXPECT_NE(std::get<sender::UsageError>(parsed).why.find(c.error), std::string::npos)
                << std::get<sender::UsageError>(parsed).why;
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<sender::SendOptions>(parsed))
            << std::get<sender::UsageError>(parsed).why;
        const auto& messages = std::get<sender::SendOptions>(parsed).messages;
        ASSERT_EQ(messages.size(), c.messages.size());
        for (std::size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(messages[i].kind, c.messages[i].kind) << i;
            EXPECT_EQ(messages[i].text, c.messages[i].text) << i;
        }
    }
    const auto options = std::get<sender::SendOptions>(
        sender::ParseSendOptions({"--to", "[::1]:9100", "--encoding", "UTF-8", "x"}, &NoInput));
    ASSERT_TRUE(options.to);
    EXPECT_EQ(options.to->host, "::1");
    EXPECT_EQ(options.to->port, 9100);
    EXPECT_EQ(options.encoding, protocol::Encoding::Utf8);
    EXPECT_EQ(options.timeoutMs, 3000);
}

// How a stand-in at the display's address treats each connection it accepts.
enum class Peer {
    Display,  // reads the message to its end, then closes
    Floods,   // answers with bytes as fast as it can and never closes, as no display does
    Answers,  // reads the message to its end, answers a few bytes, then closes
};

// A stand-in on 127.0.0.1, serving in a thread for at most 20 s. After takes messages it
// hangs as a stalled display does: it accepts and holds each connection, never reading it.
class StandInDisplay {
  public:
    explicit StandInDisplay(Peer peer = Peer::Display, int takes = 1000)
        : peer_(peer), takes_(takes), listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_.get(), 16) != 0 ||
            ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~StandInDisplay() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    StandInDisplay(const StandInDisplay&) = delete;
    StandInDisplay& operator=(const StandInDisplay&) = delete;

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // The messages read so far; call after the command has ended.
    std::vector<std::string> messages() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return messages_;
    }

  private:
    using Clock = std::chrono::steady_clock;

    void Serve() {
        const auto end = Clock::now() + std::chrono::seconds(20);
        std::vector<platform::Fd> held;
        while (!stop_ && Clock::now() < end) {
            pollfd entry{listener_.get(), POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) continue;
            platform::Fd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!connection.valid()) continue;
            if (static_cast<int>(messages_.size()) >= takes_) {
                if (held.size() < 100) held.push_back(std::move(connection));
                continue;
            }
            if (peer_ == Peer::Floods) {
                Flood(connection.get(), end);
                continue;
            }
            std::string message;
            char buffer[4096];
            for (int reads = 0; reads < 10000; ++reads) {
                const ssize_t got = ::read(connection.get(), buffer, sizeof buffer);
                if (got <= 0) break;
                message.append(buffer, static_cast<std::size_t>(got));
            }
            messages_.push_back(message);
            if (peer_ == Peer::Answers) ::send(connection.get(), "OK\r\n", 4, MSG_NOSIGNAL);
        }
    }

    // Sends bytes until the other side goes away, the test ends or the time is up, and reads
    // whatever comes meanwhile.
    void Flood(int fd, Clock::time_point end) {
        const std::string chunk(65536, 'x');
        short events = POLLIN | POLLOUT;
        while (!stop_ && Clock::now() < end) {
            pollfd entry{fd, events, 0};
            if (::poll(&entry, 1, 50) <= 0) continue;
            if (entry.revents & POLLIN) {
                char buffer[4096];
                if (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) == 0) events = POLLOUT;
            }
            if ((entry.revents & (POLLERR | POLLHUP)) ||
                ((entry.revents & POLLOUT) &&
                 ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                 errno != EAGAIN)) {
                return;
            }
        }
    }

    Peer peer_;
    int takes_;
    platform::Fd listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<std::string> messages_;
    std::thread thread_;
};

struct Outcome {
    int status = -1;
    std::string err;
    std::string out;
};

std::string Quoted(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Runs the command through the shell; feed, when given, is a shell command whose output is
// the command's standard input (otherwise it reads /dev/null).
Outcome RunSend(const TempFolder& folder, const std::vector<std::string>& args,
                const std::string& feed = "") {
    std::string command = Quoted(AFFICHEUR_SEND);
    for (const std::string& arg : args)
        command += ' ' + Quoted(arg);
    if (feed.empty()) {
        command += " </dev/null";
    } else {
        command = feed + " | " + command;
    }
    const auto err = folder.path() / "err.txt";
    const auto out = folder.path() / "out.txt";
    command += " 2>" + Quoted(err.string()) + " >" + Quoted(out.string());
    const int status = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(err);
    run.out = ReadFile(out);
    return run;
}

TEST(SendCommand, DeliversEachMessageOnItsOwnConnectionInWindows1252) {
    TempFolder folder;
    StandInDisplay display;
    ASSERT_NE(display.port(), 0);
    const Outcome run =
        RunSend(folder, {"--to", "127.0.0.1:" + std::to_string(display.port()), "Caf\xC3\xA9",
                         "--line", "Cr\xC3\xA8me", "2,40 \xE2\x82\xAC", "--line", "TOTAL",
                         "23,70 \xE2\x82\xAC", "--colour", "12"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(display.messages(),
              (std::vector<std::string>{"Caf\xE9", "Cr\xE8me\t2,40 \x80\nTOTAL\t23,70 \x80",
                                        "\xFF"
                                        "212"}));
}

// A text that starts with a dash goes after --, where nothing is an option and - is no
// longer standard input; --help shows the way.
TEST(SendCommand, TextsAfterDoubleDashReachTheDisplayAsTheyStand) {
    TempFolder folder;
    StandInDisplay display;
    ASSERT_NE(display.port(), 0);
    const Outcome run =
        RunSend(folder, {"--to", display.address(), "--clear", "--", "-5,00 remise", "-", "--to"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"", "-5,00 remise", "-", "--to"}));

    const Outcome help = RunSend(folder, {"--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("\n  --   "), std::string::npos) << help.out;
}

TEST(SendCommand, TakesTheAddressFromTheClientsSettingsAndWritesNothing) {
    TempFolder folder;
    StandInDisplay display;
    const std::string settings =
        "[ecran]\nip=127.0.0.1\nport=" + std::to_string(display.port()) + "\n";
    WriteFile(folder.settings() / "QUORIXaffich.ini", settings);
    const Outcome run = RunSend(folder, {"--encoding", "utf-8", "\xC5\x81\xC3\xB3\x64\xC5\xBA"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"\xC5\x81\xC3\xB3\x64\xC5\xBA"}));
    EXPECT_EQ(ReadFile(folder.settings() / "QUORIXaffich.ini"), settings);
}

struct FailureCase {
    const char* name;
    std::vector<std::string> args;  // "{PORT}": a loopback port where nothing listens
    int status;
    std::string words;
};

TEST(SendCommand, FailuresAsATable) {
    TempFolder folder;
    // A port that was just free: bound, then closed.
    int freePort = 0;
    {
        platform::Fd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), length), 0);
        ASSERT_EQ(::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
        freePort = ntohs(address.sin_port);
    }
    const std::string nobody = "127.0.0.1:" + std::to_string(freePort);
    // A file with the address first, then more than a settings file ever holds.
    const auto big = folder.path() / "big.ini";
    const std::string bigContent = "[ecran]\nip=127.0.0.1\nport=" + std::to_string(freePort) +
                                   "\n" + std::string(2 * 1024 * 1024, '\n');
    WriteFile(big, bigContent);
    const FailureCase cases[] = {
        {"no display listening", {"--to", nobody, "x"}, 4, "dropped: Connection refused"},
        {"a character outside windows-1252",
         {"--to", nobody, "ab\xC5\x81"},
         3,
         "'\xC5\x81' (U+0141) at position 3"},
        {"a bad --to", {"--to", "127.0.0.1", "x"}, 2, "--to takes HOST:PORT"},
        {"no address anywhere", {"x"}, 2, "set ip and port under [ecran] in "},
        {"a missing settings file names itself",
         {"--settings", "/nonexistent/shop.ini", "x"},
         2,
         "/nonexistent/shop.ini"},
        {"a missing settings file with --to",
         {"--settings", "/nonexistent/shop.ini", "--to", nobody, "x"},
         4,
         "Connection refused"},
        {"a settings file larger than any is not read",
         {"--settings", big.string(), "x"},
         2,
         big.string() + " is " + std::to_string(bigContent.size()) + " bytes"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome run = RunSend(folder, c.args);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder.settings() / "QUORIXaffich.ini"));
}

// afficheur-send run with standard input on a stream that never ends, as a producer that
// never stops writes: the test writes until the command closes its end, or 64 MiB or 20 s
// have gone by, then closes its own.
struct EndlessOutcome {
    Outcome run;
    std::size_t taken = 0;    // bytes the command's end accepted
    bool endedFirst = false;  // the command closed its input before the test stopped writing
};

EndlessOutcome RunSendOnEndlessInput(const TempFolder& folder,
                                     const std::vector<std::string>& args) {
    EndlessOutcome outcome;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return outcome;
    platform::Fd ours(ends[0]);
    platform::Fd theirs(ends[1]);
    const auto err = folder.path() / "err.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs.get(), STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> words{AFFICHEUR_SEND};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, AFFICHEUR_SEND, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    theirs.Close();
    if (spawned != 0) return outcome;

    const std::string chunk(64 * 1024, 'a');
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (outcome.taken < 64 * 1024 * 1024 && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{ours.get(), POLLOUT, 0};
        if (::poll(&entry, 1, 100) <= 0) continue;
        const ssize_t sent =
            ::send(ours.get(), chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno == EAGAIN) continue;
        if (sent <= 0) {
            outcome.endedFirst = true;
            break;
        }
        outcome.taken += static_cast<std::size_t>(sent);
    }
    ours.Close();  // the end of the input, for a command still reading it

    int status = 0;
    const auto waitEnd = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= waitEnd) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(10000);
    }
    outcome.run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.run.err = ReadFile(err);
    return outcome;
}

// "-" stops reading at the most a display keeps (and one byte more, to know the text is
// longer): a producer that never stops is refused at once, not read to the end of memory.
TEST(SendCommand, StandardInputIsReadNoFurtherThanADisplayKeeps) {
    TempFolder folder;
    const EndlessOutcome fed = RunSendOnEndlessInput(folder, {"--to", "127.0.0.1:9", "-"});
    EXPECT_EQ(fed.run.status, 2) << fed.run.err;
    EXPECT_NE(fed.run.err.find("longer than the 65536 bytes a display keeps"), std::string::npos)
        << fed.run.err;
    EXPECT_EQ(fed.run.err.find('\n'), fed.run.err.size() - 1) << "one line: " << fed.run.err;
    EXPECT_TRUE(fed.endedFirst) << "the command read to the end of an endless input";
    // What it read, and what the system holds for it between the two ends.
    EXPECT_LT(fed.taken, 8u * 1024 * 1024);
}

struct AdviceCase {
    const char* name;
    std::string input;  // as a till's software in Windows-1252 writes it
    std::string wire;   // what the display must get
};

// A text that is not UTF-8 is refused with advice that works: the command it names, run on
// the same bytes, makes a text that reaches the display as meant.
TEST(SendCommand, TextThatIsNotUtf8GetsAdviceThatWorks) {
    TempFolder folder;
    StandInDisplay display;
    ASSERT_NE(display.port(), 0);
    const AdviceCase cases[] = {
        {"an accent", "Caf\xE9", "Caf\xE9"},
        {"accents and a euro sign",
         "Cr\xE8me br\xFBl\xE9"
         "e 5,00 \x80",
         "Cr\xE8me br\xFBl\xE9"
         "e 5,00 \x80"},
    };
    std::vector<std::string> delivered;
    for (const AdviceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto input = folder.path() / "input.txt";
        WriteFile(input, c.input);
        const Outcome asArgument = RunSend(folder, {"--to", display.address(), c.input});
        const Outcome asInput =
            RunSend(folder, {"--to", display.address(), "-"}, "cat " + Quoted(input.string()));
        for (const Outcome& refused : {asArgument, asInput}) {
            EXPECT_EQ(refused.status, 3) << refused.err;
            EXPECT_NE(refused.err.find("is not UTF-8"), std::string::npos) << refused.err;
            EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << refused.err;
        }
        EXPECT_EQ(asInput.err, asArgument.err);
        // The advice ends the line: a command that turns the input into UTF-8.
        const auto at = asArgument.err.find("iconv ");
        ASSERT_NE(at, std::string::npos) << asArgument.err;
        const std::string advice = asArgument.err.substr(at, asArgument.err.size() - 1 - at);
        const Outcome followed = RunSend(folder, {"--to", display.address(), "-"},
                                         advice + " <" + Quoted(input.string()));
        EXPECT_EQ(followed.status, 0) << advice << ": " << followed.err;
        delivered.push_back(c.wire);
    }
    EXPECT_EQ(display.messages(), delivered);
}

struct HangCase {
    int takes;  // messages the display reads before it hangs
    std::string words;
};

// With several messages the command stops at the first one not delivered, and its one line
// says which went before it and which were never sent.
TEST(SendCommand, AFailureSaysWhichMessagesWereDeliveredAndWhichWereNot) {
    TempFolder folder;
    const std::vector<std::string> texts{"un", "deux", "trois"};
    const HangCase cases[] = {
        {0,
         "message 1 of 3 to {TO} dropped: no delivery within 500 ms; none delivered, messages 2 "
         "and 3 not sent"},
        {1,
         "message 2 of 3 to {TO} dropped: no delivery within 500 ms; message 1 delivered, "
         "message 3 not sent"},
        {2,
         "message 3 of 3 to {TO} dropped: no delivery within 500 ms; messages 1 and 2 "
         "delivered"},
    };
    for (const HangCase& c : cases) {
        SCOPED_TRACE(c.takes);
        StandInDisplay display(Peer::Display, c.takes);
        ASSERT_NE(display.port(), 0);
        std::vector<std::string> args{"--to", display.address(), "--timeout", "500"};
        args.insert(args.end(), texts.begin(), texts.end());
        const Outcome run = RunSend(folder, args);
        EXPECT_EQ(run.status, 4) << run.err;
        std::string words = c.words;
        words.replace(words.find("{TO}"), 4, display.address());
        EXPECT_EQ(run.err, "afficheur-send: " + words + "\n");
        EXPECT_EQ(display.messages(),
                  std::vector<std::string>(texts.begin(), texts.begin() + c.takes));
    }
}

struct NotDeliveredCase {
    std::size_t failed;
    std::size_t count;
    const char* line;
};

TEST(SendCommand, NotDeliveredLinesAsATable) {
    const NotDeliveredCase cases[] = {
        {1, 1, "message to shop:9100 dropped: Connection refused"},
        {1, 2,
         "message 1 of 2 to shop:9100 dropped: Connection refused; none delivered, "
         "message 2 not sent"},
        {2, 2, "message 2 of 2 to shop:9100 dropped: Connection refused; message 1 delivered"},
        {1, 5,
         "message 1 of 5 to shop:9100 dropped: Connection refused; none delivered, "
         "messages 2 to 5 not sent"},
        {4, 6,
         "message 4 of 6 to shop:9100 dropped: Connection refused; messages 1 to 3 "
         "delivered, messages 5 and 6 not sent"},
    };
    for (const NotDeliveredCase& c : cases) {
        EXPECT_EQ(sender::NotDeliveredLine("shop:9100", c.failed, c.count, "Connection refused"),
                  c.line);
    }
}

struct PeerCase {
    const char* name;
    Peer peer;
};

// A peer that sends anything back is something else listening at the address: the message
// counts as not delivered, within the deadline whatever the peer does.
TEST(SendCommand, APeerThatAnswersIsNotADisplay) {
    TempFolder folder;
    const PeerCase cases[] = {
        {"bytes without end, never closing", Peer::Floods},
        {"a few bytes after the message, then closed", Peer::Answers},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.name);
        StandInDisplay peer(c.peer);
        ASSERT_NE(peer.port(), 0);
        const auto start = std::chrono::steady_clock::now();
        const Outcome run = RunSend(folder, {"--to", peer.address(), "--timeout", "1000", "hello"});
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(run.status, 4) << run.err;
        EXPECT_NE(run.err.find("message to " + peer.address() + " dropped: "), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("not a display"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
        // The peer goes on for 20 s; the command's deadline is 1 s.
        EXPECT_LT(took, std::chrono::seconds(10)) << "--timeout 1000 did not hold";
    }
}

}  // namespace
