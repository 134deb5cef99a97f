#include "support/StandInDisplay.h"

#include <chrono>

namespace {

constexpr int kWaitMs = 50;

}  // namespace

StandInDisplay::StandInDisplay(Peer peer, int takes)
    : peer_(peer),
      takes_(takes),
      listener_(loopback::Socket::Listen()),
      end_(std::chrono::steady_clock::now() + std::chrono::seconds(20)) {
    if (!listener_.valid()) return;
    port_ = listener_.port();
    thread_ = std::thread([this] { Serve(); });
}

StandInDisplay::~StandInDisplay() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::vector<std::string> StandInDisplay::messages() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return messages_;
}

bool StandInDisplay::TimeLeft() const {
    return !stop_ && std::chrono::steady_clock::now() < end_;
}

void StandInDisplay::Serve() {
    std::vector<loopback::Socket> held;
    while (TimeLeft()) {
        loopback::Socket connection = listener_.Accept(kWaitMs);
        if (!connection.valid()) continue;
        if (static_cast<int>(messages_.size()) >= takes_) {
            if (held.size() < 100) held.push_back(std::move(connection));
            continue;
        }
        if (peer_ == Peer::Floods) {
            Flood(connection);
            continue;
        }
        messages_.push_back(ReadMessage(connection));
        if (peer_ == Peer::Answers) connection.Send("OK\r\n");
    }
}

std::string StandInDisplay::ReadMessage(loopback::Socket& connection) {
    std::string message;
    char buffer[4096];
    for (int reads = 0; reads < 100000 && TimeLeft(); ++reads) {
        if (!connection.Wait(true, false, kWaitMs).readable) continue;
        const loopback::Io got = connection.Receive(buffer, sizeof buffer);
        if (got.end || got.failed) break;
        message.append(buffer, got.bytes);
    }
    return message;
}

// Sends bytes until the other side goes away, the test ends or the time is up, and reads
// whatever comes meanwhile.
void StandInDisplay::Flood(loopback::Socket& connection) {
    const std::string chunk(65536, 'x');
    bool reading = true;
    while (TimeLeft()) {
        const loopback::Readiness ready = connection.Wait(reading, true, kWaitMs);
        if (ready.readable) {
            char buffer[4096];
            const loopback::Io got = connection.Receive(buffer, sizeof buffer);
            if (got.failed) return;
            if (got.end) reading = false;
        }
        if (ready.writable && connection.Send(chunk).failed) return;
    }
}
