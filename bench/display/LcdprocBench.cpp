// afficheur-display's path to a character display: from the last byte of a client message to
// the widget_set line that carries it leaving for LCDd, and the bytes sent for one text change.
//
// The bench plays both neighbours of a real afficheur-display process: the client (one
// loopback connection per message, closed after its bytes, as the client sends them) and
// LCDd (a loopback listener that answers "hello" with a 20x2 display and every command with
// "success"). The time runs from the close of the message's connection to the arrival of the
// widget_set line, so it includes one loopback hop each way, which is far below the figure.
//
// Then afficheur-send in the client's place: from its start to its exit, and to the widget_set
// line at LCDd, beside /bin/true started and awaited the same way (the floor of any command).
//
// Last, a marquee running on the 20x2 (a text too long for its line): the bytes sent to LCDd
// per second, one line per step.
//
// Usage: bench_lcdproc [N]   (N text changes, default 300; N/3 runs of each command). Prints
// lines "label  value unit".

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileDescriptor.h"
#include "probe/Loopback.h"
#include "probe/Percentile.h"

namespace {

using platform::Fd;
using platform::WriteAll;
using Clock = std::chrono::steady_clock;
using probe::Percentile;
using probe::WaitReadable;
using std::chrono::milliseconds;

constexpr milliseconds kPatience{10000};

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "bench_lcdproc: %s\n", why.c_str());
    std::exit(1);
}

// Lines from a socket or pipe, read as they come, each with its line feed.
class Lines {
  public:
    explicit Lines(int fd) : fd_(fd) {}
    std::optional<std::string> Next(milliseconds within = kPatience) {
        auto line = reader_.Next(fd_, Clock::now() + within);
        if (line) *line += '\n';
        return line;
    }

  private:
    int fd_;
    probe::LineReader reader_;
};

Fd Listen(uint16_t* port) {
    Fd fd(probe::ListenOnLoopback(port, 4));
    if (!fd.valid()) Fail("cannot listen on loopback");
    return fd;
}

void Answer(int fd, const std::string& text) {
    if (!WriteAll(fd, text)) Fail("cannot answer the display");
}

// One message as the client sends it; returns when its connection is closed.
Clock::time_point SendMessage(uint16_t port, const std::string& bytes) {
    Clock::time_point sent;
    if (!probe::SendMessage(port, bytes, 1, &sent)) Fail("cannot send the message");
    return sent;
}

// Starts a program with its arguments, standard streams untouched; returns its pid.
pid_t Start(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        Fail("cannot start " + args[0]);
    }
    return pid;
}

void AwaitSuccess(pid_t pid, const std::string& what) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Fail(what + " failed");
    }
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    ::signal(SIGPIPE, SIG_IGN);

    uint16_t lcdPort = 0;
    const Fd lcd = Listen(&lcdPort);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) Fail("no pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        const std::string lcdproc = "127.0.0.1:" + std::to_string(lcdPort);
        ::execl(AFFICHEUR_DISPLAY, AFFICHEUR_DISPLAY, "--headless", "--log", "--listen",
                "127.0.0.1:0", "--lcdproc", lcdproc.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    const Fd log(out[0]);
    Lines logLines(log.get());
    const auto first = logLines.Next();
    const auto at = first ? first->find("127.0.0.1:") : std::string::npos;
    if (at == std::string::npos) Fail("the display did not start");
    const auto displayPort = static_cast<uint16_t>(std::atoi(first->c_str() + at + 10));

    if (!WaitReadable(lcd.get(), Clock::now() + kPatience)) Fail("the display never came");
    const Fd link(::accept4(lcd.get(), nullptr, nullptr, SOCK_CLOEXEC));
    Lines commands(link.get());
    // The set-up: hello, then the screen and its widgets, until the first widget_set.
    for (int n = 0;; ++n) {
        const auto line = commands.Next();
        if (!line || n > 20) Fail("the display's set-up never ended");
        if (*line == "hello\n") {
            Answer(link.get(),
                   "connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 2 cellwid 5 "
                   "cellhgt 8\n");
            continue;
        }
        Answer(link.get(), "success\n");
        if (line->rfind("widget_set afficheur l2", 0) == 0) break;  // the last line of 20x2
    }

    std::vector<double> times;
    std::size_t bytes = 0;
    for (int i = 0; i < rounds; ++i) {
        const std::string text = "Article " + std::to_string(i);
        const auto sent = SendMessage(displayPort, text);
        std::size_t roundBytes = 0;
        for (;;) {
            const auto line = commands.Next();
            if (!line) Fail("no widget_set for message " + std::to_string(i));
            roundBytes += line->size();
            Answer(link.get(), "success\n");
            if (line->find(text) != std::string::npos) break;
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        bytes = roundBytes;
        if (!logLines.Next()) Fail("the display did not log message " + std::to_string(i));
    }
    // Nothing more follows the last change.
    if (commands.Next(milliseconds(300))) Fail("more than the changed widget was sent");

    // afficheur-send in the client's place, and /bin/true as the floor of any command.
    const int runs = std::max(10, rounds / 3);
    const std::string to = "127.0.0.1:" + std::to_string(displayPort);
    std::vector<double> sendExit;
    std::vector<double> sendShown;
    std::vector<double> trueExit;
    for (int i = 0; i < runs; ++i) {
        const auto begin = Clock::now();
        AwaitSuccess(Start({"/bin/true"}), "/bin/true");
        trueExit.push_back(MillisecondsSince(begin));

        const std::string text = "Vente " + std::to_string(i);
        const auto start = Clock::now();
        const pid_t sender = Start({AFFICHEUR_SEND, "--to", to, text});
        for (;;) {
            const auto line = commands.Next();
            if (!line) Fail("no widget_set for afficheur-send's message " + std::to_string(i));
            Answer(link.get(), "success\n");
            if (line->find(text) != std::string::npos) break;
        }
        sendShown.push_back(MillisecondsSince(start));
        AwaitSuccess(sender, "afficheur-send");
        sendExit.push_back(MillisecondsSince(start));
        if (!logLines.Next()) Fail("the display did not log afficheur-send's message");
    }

    // A marquee running: a text too long for the line and without a blank to wrap at, its
    // line sent again at each step. The bytes sent to LCDd over a few seconds, per second.
    const std::string longText = "Promotion-" + std::string(50, '*') + "-fin";
    SendMessage(displayPort, longText);
    if (!logLines.Next()) Fail("the display did not log the long text");
    const auto marqueeStart = Clock::now();
    const auto marqueeSpan = milliseconds(4000);
    std::size_t marqueeBytes = 0;
    while (Clock::now() - marqueeStart < marqueeSpan) {
        const auto line = commands.Next(milliseconds(500));
        if (!line) continue;
        marqueeBytes += line->size() + 1;
        Answer(link.get(), "success\n");
    }
    const double marqueeBytesPerSecond =
        static_cast<double>(marqueeBytes) / (MillisecondsSince(marqueeStart) / 1000.0);

    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);

    std::printf("%-44s %10.3f ms\n", "text to widget_set, median", Percentile(times, 0.5));
    std::printf("%-44s %10.3f ms\n", "text to widget_set, p99", Percentile(times, 0.99));
    std::printf("%-44s %10zu\n", "bytes to LCDd for one text change", bytes);
    std::printf("%-44s %10d\n", "text changes measured", rounds);
    std::printf("%-44s %10.3f ms\n", "afficheur-send to exit, median", Percentile(sendExit, 0.5));
    std::printf("%-44s %10.3f ms\n", "afficheur-send to exit, p99", Percentile(sendExit, 0.99));
    std::printf("%-44s %10.3f ms\n", "afficheur-send to widget_set, median",
                Percentile(sendShown, 0.5));
    std::printf("%-44s %10.3f ms\n", "afficheur-send to widget_set, p99",
                Percentile(sendShown, 0.99));
    std::printf("%-44s %10.3f ms\n", "/bin/true to exit, median", Percentile(trueExit, 0.5));
    std::printf("%-44s %10.3f ms\n", "/bin/true to exit, p99", Percentile(trueExit, 0.99));
    std::printf("%-44s %10.1f B/s\n", "bytes to LCDd while a marquee runs (20x2)",
                marqueeBytesPerSecond);
    return 0;
}
