// POSIX sockets.
#include "support/Loopback.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace loopback {

namespace {

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

Io Done(ssize_t bytes, bool receiving) {
    if (bytes > 0) return {static_cast<std::size_t>(bytes), false, false, false};
    if (bytes == 0) return {0, receiving, false, false};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {0, false, true, false};
    return {0, false, false, true};
}

int BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

int LoopbackSocket(bool listening) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(fd, 16) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

void Socket::Close() {
    if (valid()) ::close(Fd(std::exchange(handle_, kNone)));
}

Socket Socket::Listen() {
    const int fd = LoopbackSocket(true);
    return fd < 0 ? Socket() : Socket(fd);
}

int Socket::port() const {
    return BoundPort(Fd(handle_));
}

Socket Socket::Accept(int ms) {
    if (!Wait(true, false, ms).readable) return {};
    const int fd = ::accept4(Fd(handle_), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    return fd < 0 ? Socket() : Socket(fd);
}

Readiness Socket::Wait(bool read, bool write, int ms) {
    pollfd entry{Fd(handle_), static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
    if (::poll(&entry, 1, ms) <= 0) return {};
    const bool failed = (entry.revents & (POLLERR | POLLHUP)) != 0;
    return {(entry.revents & POLLIN) != 0 || failed, (entry.revents & POLLOUT) != 0};
}

Io Socket::Receive(char* buffer, std::size_t size) {
    return Done(::recv(Fd(handle_), buffer, size, 0), true);
}

Io Socket::Send(std::string_view bytes) {
    return Done(::send(Fd(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL), false);
}

int FreePort() {
    const int fd = LoopbackSocket(false);
    if (fd < 0) return 0;
    const int port = BoundPort(fd);
    ::close(fd);
    return port;
}

}  // namespace loopback
