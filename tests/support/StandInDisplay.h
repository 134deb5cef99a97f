#pragma once
// A stand-in for afficheur-display at 127.0.0.1 (the display itself is a Qt program, not built
// everywhere): it takes one message per connection, reads it to its end, records its bytes and
// closes, as the display does. Or it behaves as no display does, for the tests of what a
// sender makes of that. It serves in a thread of its own for at most 20 s.

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/Loopback.h"

// How the stand-in treats each connection it accepts.
enum class Peer {
    Display,  // reads the message to its end, then closes
    Floods,   // answers with bytes as fast as it can and never closes, as no display does
    Answers,  // reads the message to its end, answers a few bytes, then closes
};

class StandInDisplay {
  public:
    // After `takes` messages it hangs as a stalled display does: it accepts and holds each
    // connection, never reading it.
    explicit StandInDisplay(Peer peer = Peer::Display, int takes = 1000);
    ~StandInDisplay();
    StandInDisplay(const StandInDisplay&) = delete;
    StandInDisplay& operator=(const StandInDisplay&) = delete;

    // 0 when it could not listen.
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // The messages read, in order; stops the stand-in, so call it once the sender has ended.
    std::vector<std::string> messages();

  private:
    void Serve();
    std::string ReadMessage(loopback::Socket& connection);
    void Flood(loopback::Socket& connection);
    bool TimeLeft() const;

    Peer peer_;
    int takes_;
    loopback::Socket listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::chrono::steady_clock::time_point end_;
    std::vector<std::string> messages_;
    std::thread thread_;
};
