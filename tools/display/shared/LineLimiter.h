#pragma once
// Keeps repeated log lines to a few, so that a peer that repeats itself (a flood of refused
// connections, an LCDd that answers every command with an error, a sender whose every message
// is wrong) neither fills the disk that holds the logs nor, when stderr is a pipe nobody
// reads, blocks the thread that writes them. Plain C++ (no Qt, no clock of its own), so it can
// be tested alone.
//
// Lines are told apart by their source (who they are about: "--http", "LCDd at
// 127.0.0.1:13666", "from 192.0.2.7") and their kind (what the summary counts: "connections
// refused", "error answers"), never by their text: a line that differs each time is limited
// all the same. For each source and kind, the first line after a quiet spell is written whole;
// the ones that follow within the interval are only counted, and once the interval is over one
// summary line says how many there were ("--http: 57 more connections refused in the last
// 10 s"); a flood goes on as one summary per interval. At most maxKeys sources are followed at
// once: the lines of further sources share one count per kind ("57 more connections refused
// from other sources in the last 10 s"). Not thread-safe: one owner, on one thread.

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace display {

class LineLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kMaxKeys = 64;

    explicit LineLimiter(std::chrono::milliseconds interval, std::size_t maxKeys = kMaxKeys);

    // The count of one interval's lines that were not written.
    struct Summary {
        std::string source;  // "" for the sources past maxKeys
        std::string what;
        long counted = 0;
        long long seconds = 0;  // the interval's length, rounded
        // "SOURCE: 57 more WHAT in the last 10 s", or "... from other sources ...".
        std::string Text() const;
    };

    // Whether a line about source, of the kind what, at now is written (true) or only counted.
    // The summaries that are due meanwhile wait for DueSummaries.
    bool Pass(Clock::time_point now, const std::string& source, const std::string& what);

    // Due, as values rather than lines.
    std::vector<Summary> DueSummaries(Clock::time_point now);

    // A line about source, of the kind the summary calls what, at now. Returns the lines to
    // write now, in order: the summaries of the intervals that ended, then line if it is not
    // only counted.
    std::vector<std::string> Write(Clock::time_point now, const std::string& source,
                                   const std::string& what, std::string line);

    // The summaries of the lines counted and not written whose interval is over at now, if
    // any. Call it when the interval ends (see NextDue) so that the count of the last burst is
    // written even when no line follows.
    std::vector<std::string> Due(Clock::time_point now);

    // When Due next has something to say; nothing when no line is being counted.
    std::optional<Clock::time_point> NextDue() const;

  private:
    struct Interval {
        Clock::time_point start;
        long counted = 0;
    };
    using Key = std::pair<std::string, std::string>;  // source ("" for others), what

    std::chrono::milliseconds interval_;
    std::size_t maxKeys_;
    std::map<Key, Interval> open_;  // the running intervals: lines in them are only counted
};

}  // namespace display
