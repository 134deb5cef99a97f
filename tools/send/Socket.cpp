// POSIX sockets.
#include "Socket.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/SystemError.h"

namespace sender::net {

namespace {

struct AddressListFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

bool NotNow(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

Outcome Done(ssize_t bytes) {
    if (bytes >= 0) return {static_cast<std::size_t>(bytes), false, 0};
    if (NotNow(errno)) return {0, true, 0};
    return {0, false, errno};
}

}  // namespace

std::string Start() {
    return {};
}

std::string ErrorText(Error error) {
    return platform::SystemErrorText(error);
}

std::variant<std::vector<Address>, std::string> Lookup(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int lookup = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (lookup != 0) return std::string("Host not found: ") + ::gai_strerror(lookup);
    const std::unique_ptr<addrinfo, AddressListFree> list(found);
    std::vector<Address> addresses;
    for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
        addresses.push_back({at->ai_family, at->ai_socktype, at->ai_protocol,
                             std::string(reinterpret_cast<const char*>(at->ai_addr),
                                         static_cast<std::size_t>(at->ai_addrlen))});
    }
    return addresses;
}

Socket::Socket(const Address& address) {
    handle_ =
        ::socket(address.family, address.type | SOCK_NONBLOCK | SOCK_CLOEXEC, address.protocol);
    if (handle_ < 0) {
        error_ = errno;
        handle_ = kNone;
    }
}

Socket::~Socket() {
    if (valid()) ::close(static_cast<int>(handle_));
}

Outcome Socket::Connect(const Address& address) {
    const auto* name = reinterpret_cast<const sockaddr*>(address.bytes.data());
    if (::connect(static_cast<int>(handle_), name, static_cast<socklen_t>(address.bytes.size())) ==
        0) {
        return {};
    }
    if (errno == EINPROGRESS || errno == EINTR) return {0, true, 0};
    return {0, false, errno};
}

Error Socket::ConnectResult() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return errno;
    }
    return error;
}

Wait Socket::WaitUntil(bool writable, int ms) {
    pollfd entry{static_cast<int>(handle_), static_cast<short>(writable ? POLLOUT : POLLIN), 0};
    const int ready = ::poll(&entry, 1, ms);
    if (ready > 0) return Wait::Ready;
    if (ready == 0) return Wait::TimedOut;
    return errno == EINTR ? Wait::Interrupted : Wait::Ready;
}

Outcome Socket::Send(std::string_view bytes) {
    return Done(::send(static_cast<int>(handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL));
}

Outcome Socket::Receive(char* buffer, std::size_t size) {
    return Done(::recv(static_cast<int>(handle_), buffer, size, 0));
}

Error Socket::ShutdownSending() {
    return ::shutdown(static_cast<int>(handle_), SHUT_WR) == 0 ? 0 : errno;
}

}  // namespace sender::net
