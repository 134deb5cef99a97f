#pragma once
// Test helpers for afficheur-display's web page: the built program run as its own process
// with --http, the client's way of sending a message (one TCP connection each, Windows-1252
// bytes), and a raw HTTP connection that reads exactly what the server sends. Loopback only;
// every wait is bounded.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace webtest {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline constexpr milliseconds kPatience{20000};  // generous: the machine may be busy

// One running afficheur-display with its stdout on a pipe. Ends it when destroyed.
class Display {
  public:
    explicit Display(std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
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
        Stop();
        if (out_ >= 0) ::close(out_);
    }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Ends it (SIGTERM, then SIGKILL after 5 s) and waits for it.
    void Stop() {
        if (pid_ <= 0 || exited_) return;
        ::kill(pid_, SIGTERM);
        if (!WaitExit(milliseconds(5000))) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        exited_ = true;
    }

    pid_t pid() const { return pid_; }

    // Its exit code once it ends within the time; -1 otherwise, or when killed by a signal.
    int ExitCode(milliseconds within = kPatience) {
        if (!exited_ && !WaitExit(within)) return -1;
        exited_ = true;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

    // The next log line as JSON; an empty object when none comes within the time.
    QJsonObject NextRecord(milliseconds within = kPatience) {
        const auto deadline = Clock::now() + within;
        for (;;) {
            const auto end = buffer_.find('\n');
            if (end != std::string::npos) {
                const std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
            }
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || out_ < 0) return {};
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char chunk[65536];
            const auto n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // The log line of the next message received, skipping nothing else.
    QJsonObject NextMessage() { return NextRecord(); }

  private:
    bool WaitExit(milliseconds within) {
        const auto deadline = Clock::now() + within;
        while (Clock::now() < deadline) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) return true;
            ::usleep(10000);
        }
        return false;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::string buffer_;
};

struct Ports {
    uint16_t display = 0;  // where messages go
    uint16_t http = 0;     // where the page is
};

inline uint16_t PortOf(const QJsonObject& record) {
    return static_cast<uint16_t>(record.value("address").toString().section(':', -1).toUInt());
}

// The arguments of a display without a window, logging, on free ports (or the given web port).
inline std::vector<std::string> WebArgs(uint16_t httpPort = 0) {
    return {"--headless",  "--log",  "--listen",
            "127.0.0.1:0", "--http", "127.0.0.1:" + std::to_string(httpPort)};
}

// Reads the two first log lines: where messages go, where the page is.
inline Ports ReadPorts(Display& display) {
    Ports ports;
    ports.display = PortOf(display.NextRecord());
    const auto http = display.NextRecord();
    if (http.value("kind").toString() == "http") ports.http = PortOf(http);
    return ports;
}

// A TCP connection to loopback. Closed when destroyed.
class Socket {
  public:
    // receiveBuffer, when not 0, sets the system's receive buffer before connecting, to make
    // a reader that takes little.
    explicit Socket(uint16_t port, int receiveBuffer = 0)
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        if (receiveBuffer > 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Socket() { ::close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool connected() const { return connected_; }
    int fd() const { return fd_; }

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

    // Reads until `until` is in what was read (or, with an empty `until`, until the peer
    // closes), or the time runs out. Returns everything read so far on this socket.
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

    bool closed() const { return closed_; }
    const std::string& received() const { return received_; }

  private:
    int fd_;
    bool connected_ = false;
    bool closed_ = false;
    std::string received_;
};

// One message as the client sends it: a connection of its own, the bytes, then closed.
inline bool SendMessage(uint16_t port, const std::string& bytes) {
    Socket socket(port);
    return socket.connected() && socket.Send(bytes);
}

// A whole GET answer (the server closes after each one, except for a stream).
inline std::string Get(uint16_t port, const std::string& path) {
    Socket socket(port);
    if (!socket.Send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")) return {};
    return socket.ReadAll();
}

// "200" from "HTTP/1.1 200 OK\r\n..."; empty when there is no status line.
inline std::string StatusOf(const std::string& answer) {
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12) return {};
    return answer.substr(9, 3);
}

// What follows the head of an answer.
inline std::string BodyOf(const std::string& answer) {
    const auto end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

// The board of the last whole event in a stream's bytes; empty when there is none.
inline QJsonObject LastBoard(const std::string& stream) {
    const auto end = stream.rfind("}\n\n");
    if (end == std::string::npos) return {};
    const auto start = stream.rfind("data: {", end);
    if (start == std::string::npos) return {};
    return QJsonDocument::fromJson(
               QByteArray::fromStdString(stream.substr(start + 6, end - start - 5)))
        .object();
}

}  // namespace webtest
