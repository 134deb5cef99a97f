#pragma once
// What the tests and the benchmarks do over loopback, the way a display's peers do it: wait for
// a descriptor to be readable, read lines as they come, listen on a free port, and send one
// message as the client does (a connection of its own, the bytes, then the end of the stream).
// Plain C++ on POSIX sockets; every wait is bounded.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace probe {

using Clock = std::chrono::steady_clock;

// True once fd has something to read (or its end), false when the deadline passes first.
inline bool WaitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready > 0) return true;
        if (ready == 0) return false;
    }
}

// Lines from a socket or a pipe, taken as they come, each without its line feed.
class LineReader {
  public:
    // Reads what is there now (after WaitReadable said so); false at the end of the stream.
    bool Feed(int fd) {
        char chunk[65536];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
    // A whole line already read, if there is one.
    std::optional<std::string> Take() {
        const auto end = buffer_.find('\n');
        if (end == std::string::npos) return std::nullopt;
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
    }
    // The next line from fd, waiting for it until the deadline.
    std::optional<std::string> Next(int fd, Clock::time_point deadline) {
        for (;;) {
            if (auto line = Take()) return line;
            if (!WaitReadable(fd, deadline) || !Feed(fd)) return std::nullopt;
        }
    }

  private:
    std::string buffer_;
};

// 127.0.0.<from>:port.
inline sockaddr_in Loopback(uint16_t port, int from = 1) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK + static_cast<uint32_t>(from - 1));
    address.sin_port = htons(port);
    return address;
}

// A socket listening on a free loopback port (put in *port); -1 when there is none.
inline int ListenOnLoopback(uint16_t* port, int backlog = 16) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

// One message as the client sends it, from 127.0.0.<from>: connected, written, and its end
// sent. False when it could not be; *lastByte, when given, is when the last byte was sent.
inline bool SendMessage(uint16_t port, std::string_view bytes, int from = 1,
                        Clock::time_point* lastByte = nullptr) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const timeval patience{10, 0};  // bounds connect() and each send()
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    bool sent = true;
    if (from != 1) {
        const sockaddr_in own = Loopback(0, from);
        sent = ::bind(fd, reinterpret_cast<const sockaddr*>(&own), sizeof own) == 0;
    }
    const sockaddr_in address = Loopback(port);
    sent = sent && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    while (sent && !bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        sent = n > 0;
        if (sent) bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    if (lastByte != nullptr) *lastByte = Clock::now();
    if (sent) ::shutdown(fd, SHUT_WR);
    ::close(fd);
    return sent;
}

}  // namespace probe
