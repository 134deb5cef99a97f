#pragma once
// The built afficheur-display run as a process of its own, for the tests that drive it over
// loopback as the client does and judge it by its log: its stdout on a pipe, read one JSON
// log line at a time; its stderr in a file in memory (never full, so it never holds the
// display up); and client connections, one per message. Every wait is bounded by a deadline;
// a failure (no start, no line, no connection) shows as an empty result, false or -1, which
// the test then checks.
//
// POSIX only, and header-only so that the support library needs neither Qt nor the program:
// a test target that includes it links Qt6::Core and defines AFFICHEUR_DISPLAY as the path of
// the built afficheur-display.

#ifndef AFFICHEUR_DISPLAY
#error "define AFFICHEUR_DISPLAY as the path of the built afficheur-display"
#endif

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "probe/Loopback.h"

namespace displaytest {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline constexpr milliseconds kPatience{20000};  // generous: the machine may be busy

// One running afficheur-display. Ends it (SIGTERM, then SIGKILL after 5 s) when destroyed.
// Not thread-safe: one test thread reads it.
class Display {
  public:
    // Starts it with args. Without withDisplayServer it gets no DISPLAY, WAYLAND_DISPLAY or
    // QT_QPA_PLATFORM, as on a machine with no screen. When it cannot start, every read
    // comes back empty and ExitCode is 127 (or -1 when it could not even be forked).
    explicit Display(std::vector<std::string> args, bool withDisplayServer = true) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        errors_ = ::memfd_create("afficheur-display-stderr", MFD_CLOEXEC);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            if (errors_ >= 0) ::dup2(errors_, STDERR_FILENO);
            if (!withDisplayServer) {
                ::unsetenv("DISPLAY");
                ::unsetenv("WAYLAND_DISPLAY");
                ::unsetenv("QT_QPA_PLATFORM");
            }
            std::vector<char*> argv;
            std::string program = AFFICHEUR_DISPLAY;
            argv.push_back(program.data());
            for (auto& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }

    ~Display() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGTERM);
            if (!WaitExit(milliseconds(5000))) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
        if (out_ >= 0) ::close(out_);
        if (errors_ >= 0) ::close(errors_);
    }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // The next line of its stdout, or nothing when none comes within the time or it ends.
    std::optional<std::string> NextLine(milliseconds within = kPatience) {
        const auto deadline = Clock::now() + within;
        for (;;) {
            const auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || out_ < 0) return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char chunk[65536];
            const auto n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // The next log line as JSON; an empty object when none comes.
    QJsonObject NextRecord(milliseconds within = kPatience) {
        const auto line = NextLine(within);
        if (!line) return {};
        return QJsonDocument::fromJson(QByteArray::fromStdString(*line)).object();
    }

    // Reads its first log line, which says where it listens for messages (started with
    // "--log --listen 127.0.0.1:0"), and returns the port it chose; 0 when none comes.
    uint16_t Listening() { return PortOf(NextRecord()); }

    // The port at the end of a log line's address ("127.0.0.1:9100"); 0 when there is none.
    static uint16_t PortOf(const QJsonObject& record) {
        return static_cast<uint16_t>(record.value("address").toString().section(':', -1).toUInt());
    }

    // Everything it wrote on stderr so far.
    std::string Errors() const {
        std::string text;
        char chunk[4096];
        for (off_t at = 0;;) {
            const auto n = errors_ < 0 ? 0 : ::pread(errors_, chunk, sizeof chunk, at);
            if (n <= 0) return text;
            text.append(chunk, static_cast<std::size_t>(n));
            at += n;
        }
    }

    // Waits until its stderr holds the text; false when it does not within the time.
    bool ErrorsShow(const std::string& text, milliseconds within = kPatience) const {
        const auto deadline = Clock::now() + within;
        while (Errors().find(text) == std::string::npos) {
            if (Clock::now() >= deadline) return false;
            ::usleep(20000);
        }
        return true;
    }

    // Stops reading its stdout, as a reader such as `head -n1` does once it has its line.
    void CloseOutput() {
        if (out_ >= 0) ::close(out_);
        out_ = -1;
    }

    // Sends it a signal (SIGTERM to end it as a service manager does, SIGKILL for a crash).
    void Signal(int signal) {
        if (pid_ > 0 && !exited_) ::kill(pid_, signal);
    }

    // Its exit code once it ends within the time; -1 otherwise, or when killed by a signal.
    int ExitCode(milliseconds within = kPatience) {
        if (!exited_ && !WaitExit(within)) return -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // Every line still to come, until it closes its stdout.
    std::string RestOfOutput() {
        std::string rest;
        while (const auto line = NextLine())
            rest += *line + "\n";
        return rest + buffer_;
    }

  private:
    bool WaitExit(milliseconds within) {
        const auto deadline = Clock::now() + within;
        while (pid_ > 0 && Clock::now() < deadline) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) return exited_ = true;
            ::usleep(10000);
        }
        return false;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int errors_ = -1;
    int status_ = 0;
    bool exited_ = false;
    std::string buffer_;
};

// A TCP connection to loopback, as a client of the display or of its web page. Closed when
// destroyed; connected() says whether it was made.
class Connection {
  public:
    // receiveBuffer, when not 0, sets the system's receive buffer before connecting, to make
    // a reader that takes little. from is the client's own address, 127.0.0.<from>: each is
    // this machine, and a client address of its own for the display.
    explicit Connection(uint16_t port, int receiveBuffer = 0, int from = 1)
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        if (fd_ < 0) return;
        if (receiveBuffer > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK + static_cast<uint32_t>(from - 1));
        if (from != 1 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Connection() {
        if (fd_ >= 0) ::close(fd_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool connected() const { return connected_; }

    // "127.0.0.<from>:<port>", as the display's log names this client; empty when unknown.
    std::string Peer() const {
        sockaddr_in local{};
        socklen_t size = sizeof local;
        if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return {};
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(local.sin_port));
    }

    // Writes as much as the peer takes; false once it stops taking.
    bool Send(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const auto n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Ends the message: the peer sees the end of the stream.
    void EndMessage() { ::shutdown(fd_, SHUT_WR); }

    // Reads until `until` is in what was read (or, with an empty `until`, until the peer
    // closes), or the time runs out. Returns everything read so far on this connection.
    const std::string& ReadUntil(const std::string& until, milliseconds within = kPatience) {
        const auto deadline = Clock::now() + within;
        while (until.empty() || received_.find(until) == std::string::npos) {
            if (closed_) break;
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char chunk[65536];
            const auto n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            received_.append(chunk, static_cast<std::size_t>(n));
        }
        return received_;
    }

    // Everything until the peer closes.
    const std::string& ReadAll(milliseconds within = kPatience) { return ReadUntil("", within); }

    // True when the peer closes its side within the time (end of stream or reset).
    bool ClosedByPeer(milliseconds within) {
        ReadAll(within);
        return closed_;
    }

    bool closed() const { return closed_; }
    const std::string& received() const { return received_; }

  private:
    int fd_;
    bool connected_ = false;
    bool closed_ = false;
    std::string received_;
};

// One message as the client sends it: a connection of its own (from 127.0.0.<from>), the
// bytes, then closed.
using probe::SendMessage;

}  // namespace displaytest
