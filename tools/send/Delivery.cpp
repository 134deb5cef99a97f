#include "Delivery.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/FileDescriptor.h"

namespace sender {

namespace {

using Clock = std::chrono::steady_clock;

struct AddressListFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is ready for events, or the deadline. False once the deadline has passed,
// even when fd is ready: a peer that keeps it ready never holds the command past it.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, left);
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return true;  // the next call on fd says what is wrong
    }
}

struct Step {
    bool done = false;
    std::string why;
};

Step Timeout(int timeoutMs) {
    return {false, "no delivery within " + std::to_string(timeoutMs) + " ms"};
}

Step Failed(int error) {
    return {false, std::strerror(error)};
}

// Connects fd (non-blocking) to address within the deadline.
Step Connect(int fd, const addrinfo& address, Clock::time_point deadline, int timeoutMs) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return {true, {}};
    if (errno != EINPROGRESS && errno != EINTR) return Failed(errno);
    if (!WaitFor(fd, POLLOUT, deadline)) return Timeout(timeoutMs);
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return Failed(errno);
    if (error != 0) return Failed(error);
    return {true, {}};
}

Step WriteAndClose(int fd, std::string_view bytes, Clock::time_point deadline, int timeoutMs) {
    while (!bytes.empty()) {
        if (!WaitFor(fd, POLLOUT, deadline)) return Timeout(timeoutMs);
        const ssize_t written = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (written < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return Failed(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::shutdown(fd, SHUT_WR) != 0) return Failed(errno);
    // The display closes its side once it has the whole message, and never writes a byte: a
    // peer that answers is something else listening at the address.
    for (;;) {
        if (!WaitFor(fd, POLLIN, deadline)) return Timeout(timeoutMs);
        char answer = 0;
        const ssize_t got = ::recv(fd, &answer, 1, 0);
        if (got == 0) return {true, {}};
        if (got > 0) return {false, "it answered with bytes, so it is not a display"};
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return Failed(errno);
    }
}

// "message 3", "messages 1 and 2", "messages 2 to 5": the messages first to last (from 1).
std::string Messages(std::size_t first, std::size_t last) {
    if (first == last) return "message " + std::to_string(first);
    return "messages " + std::to_string(first) + (last == first + 1 ? " and " : " to ") +
           std::to_string(last);
}

}  // namespace

std::string NotDeliveredLine(const std::string& label, std::size_t failed, std::size_t count,
                             const std::string& why) {
    if (count == 1) return "message to " + label + " dropped: " + why;
    std::string line = "message " + std::to_string(failed) + " of " + std::to_string(count) +
                       " to " + label + " dropped: " + why + "; ";
    line += failed == 1 ? "none delivered" : Messages(1, failed - 1) + " delivered";
    if (failed < count) line += ", " + Messages(failed + 1, count) + " not sent";
    return line;
}

Delivery Deliver(const Endpoint& where, std::string_view bytes, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(where.port);
    const int lookup = ::getaddrinfo(where.host.c_str(), port.c_str(), &hints, &found);
    if (lookup != 0) return {false, std::string("Host not found: ") + ::gai_strerror(lookup)};
    const std::unique_ptr<addrinfo, AddressListFree> addresses(found);

    Step last{false, "no address to connect to"};
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        platform::Fd fd(::socket(address->ai_family,
                                 address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                 address->ai_protocol));
        if (!fd.valid()) {
            last = Failed(errno);
            continue;
        }
        last = Connect(fd.get(), *address, deadline, timeoutMs);
        if (!last.done) {
            if (MillisecondsLeft(deadline) == 0) break;
            continue;  // the next address of the name, as long as time is left
        }
        last = WriteAndClose(fd.get(), bytes, deadline, timeoutMs);
        return {last.done, last.why};
    }
    return {false, last.why};
}

}  // namespace sender
