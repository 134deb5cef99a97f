// afficheur-send's cases that need Linux: the client's settings file where Linux keeps it, an
// input that never ends (a socket pair), and the iconv command its advice names, run through
// the shell. SendCommandTest.cpp has the cases that run on every system.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "SendOptions.h"
#include "platform/FileDescriptor.h"
#include "support/ChildProcess.h"
#include "support/StandInDisplay.h"
#include "support/TempFolder.h"

namespace {

ChildRun RunSend(const TempFolder& folder, const std::vector<std::string>& args,
                 const std::string& input = "") {
    return RunChild(folder.path(), AFFICHEUR_SEND, args, input);
}

TEST(SendCommand, TakesTheAddressFromTheClientsSettingsAndWritesNothing) {
    TempFolder folder;
    StandInDisplay display;
    const std::string settings =
        "[ecran]\nip=127.0.0.1\nport=" + std::to_string(display.port()) + "\n";
    WriteFile(folder.settings() / "QUORIXaffich.ini", settings);
    const ChildRun run = RunSend(folder, {"--encoding", "utf-8", "\xC5\x81\xC3\xB3\x64\xC5\xBA"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(display.messages(), (std::vector<std::string>{"\xC5\x81\xC3\xB3\x64\xC5\xBA"}));
    EXPECT_EQ(ReadFile(folder.settings() / "QUORIXaffich.ini"), settings);
}

// afficheur-send run with standard input on a stream that never ends, as a producer that
// never stops writes: the test writes until the command closes its end, or 64 MiB or 20 s
// have gone by, then closes its own.
struct EndlessOutcome {
    ChildRun run;
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
        const ChildRun asArgument = RunSend(folder, {"--to", display.address(), c.input});
        const ChildRun asInput = RunSend(folder, {"--to", display.address(), "-"}, c.input);
        for (const ChildRun& refused : {asArgument, asInput}) {
            EXPECT_EQ(refused.status, 3) << refused.err;
            EXPECT_NE(refused.err.find("is not UTF-8"), std::string::npos) << refused.err;
            EXPECT_EQ(refused.err.find('\n'), refused.err.size() - 1) << refused.err;
        }
        EXPECT_EQ(asInput.err, asArgument.err);
        // The advice ends the line: a command that turns the input into UTF-8.
        const auto at = asArgument.err.find("iconv ");
        ASSERT_NE(at, std::string::npos) << asArgument.err;
        const std::string advice = asArgument.err.substr(at, asArgument.err.size() - 1 - at);
        const ChildRun converted = RunChild(folder.path(), "/bin/sh", {"-c", advice}, c.input);
        ASSERT_EQ(converted.status, 0) << advice << ": " << converted.err;
        const ChildRun followed = RunSend(folder, {"--to", display.address(), "-"}, converted.out);
        EXPECT_EQ(followed.status, 0) << advice << ": " << followed.err;
        delivered.push_back(c.wire);
    }
    EXPECT_EQ(display.messages(), delivered);
}

}  // namespace
