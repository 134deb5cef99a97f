#include "Delivery.h"

#include <chrono>

#include "Socket.h"

namespace sender {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until the socket is ready for reading (or writing), or the deadline. False once the
// deadline has passed, even when it is ready: a peer that keeps it ready never holds the
// command past it.
bool WaitFor(net::Socket& socket, bool writable, Clock::time_point deadline) {
    for (;;) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) return false;
        const net::Wait wait = socket.WaitUntil(writable, left);
        if (wait == net::Wait::Ready) return true;  // on an error the next call says what
        if (wait == net::Wait::TimedOut) return false;
    }
}

struct Step {
    bool done = false;
    std::string why;
};

Step Timeout(int timeoutMs) {
    return {false, "no delivery within " + std::to_string(timeoutMs) + " ms"};
}

Step Failed(net::Error error) {
    return {false, net::ErrorText(error)};
}

// Connects the socket to address within the deadline.
Step Connect(net::Socket& socket, const net::Address& address, Clock::time_point deadline,
             int timeoutMs) {
    const net::Outcome started = socket.Connect(address);
    if (!started.later) return started.error == 0 ? Step{true, {}} : Failed(started.error);
    if (!WaitFor(socket, true, deadline)) return Timeout(timeoutMs);
    if (const net::Error error = socket.ConnectResult()) return Failed(error);
    return {true, {}};
}

Step WriteAndClose(net::Socket& socket, std::string_view bytes, Clock::time_point deadline,
                   int timeoutMs) {
    while (!bytes.empty()) {
        if (!WaitFor(socket, true, deadline)) return Timeout(timeoutMs);
        const net::Outcome sent = socket.Send(bytes);
        if (sent.later) continue;
        if (sent.error != 0) return Failed(sent.error);
        bytes.remove_prefix(sent.bytes);
    }
    if (const net::Error error = socket.ShutdownSending()) return Failed(error);
    // The display closes its side once it has the whole message, and never writes a byte: a
    // peer that answers is something else listening at the address.
    for (;;) {
        if (!WaitFor(socket, false, deadline)) return Timeout(timeoutMs);
        char answer = 0;
        const net::Outcome got = socket.Receive(&answer, 1);
        if (got.later) continue;
        if (got.error != 0) return Failed(got.error);
        if (got.bytes == 0) return {true, {}};
        return {false, "it answered with bytes, so it is not a display"};
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
    if (std::string why = net::Start(); !why.empty()) return {false, why};
    const auto found = net::Lookup(where.host, where.port);
    if (const auto* why = std::get_if<std::string>(&found)) return {false, *why};

    Step last{false, "no address to connect to"};
    for (const net::Address& address : std::get<std::vector<net::Address>>(found)) {
        net::Socket socket(address);
        if (!socket.valid()) {
            last = Failed(socket.error());
            continue;
        }
        last = Connect(socket, address, deadline, timeoutMs);
        if (!last.done) {
            if (MillisecondsLeft(deadline) == 0) break;
            continue;  // the next address of the name, as long as time is left
        }
        last = WriteAndClose(socket, bytes, deadline, timeoutMs);
        return {last.done, last.why};
    }
    return {false, last.why};
}

}  // namespace sender
