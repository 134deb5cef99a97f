#pragma once
// Keeps the lines about refused connections to a few, so that a peer opening connections as
// fast as it can neither floods stderr nor, when stderr is a pipe nobody reads, blocks the
// thread that writes them. Plain C++ (no Qt, no clock of its own), so it can be tested alone.
//
// The first refusal after a quiet spell is written whole (it names the client). The ones that
// follow within the interval are only counted, and once the interval is over one summary line
// says how many there were; a flood goes on as one summary per interval. Not thread-safe: one
// owner, on one thread. A LineLimiter with one source.

#include <chrono>
#include <string>
#include <vector>

#include "shared/LineLimiter.h"

namespace display {

class RefusalLog {
  public:
    using Clock = LineLimiter::Clock;

    // source names the listener in the summary line ("--http: 57 more connections refused
    // ...", "--listen: ...").
    explicit RefusalLog(std::chrono::milliseconds interval, std::string source = "--http");

    // A connection was refused at now, described by line. Returns the lines to write now, in
    // order: a summary of the interval that ended, if any, then line if it is not only counted.
    std::vector<std::string> Refused(Clock::time_point now, std::string line);

    // The summary of the refusals counted and not written, once their interval is over at
    // now; empty otherwise. Call it when the interval ends so that the count of the last burst
    // is written even when no refusal follows.
    std::string Due(Clock::time_point now);

    // When Due next has something to say, if refusals are being counted.
    bool counting() const { return lines_.NextDue().has_value(); }
    Clock::time_point intervalEnd() const { return lines_.NextDue().value_or(Clock::time_point{}); }

  private:
    LineLimiter lines_;
    std::string source_;
};

}  // namespace display
