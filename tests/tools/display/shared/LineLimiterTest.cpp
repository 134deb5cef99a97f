// The limiter that keeps a flood of refused connections, or of any line repeated by one
// source, to a few log lines.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "shared/LineLimiter.h"

namespace {

using display::LineLimiter;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr auto kInterval = 10s;
const LineLimiter::Clock::time_point kStart{};

// The keyed limiter: lines are told apart by source and kind, never by their text.
TEST(LineLimiter, KeepsEachSourceAndKindToItsFirstLineAndThenCounts) {
    struct Line {
        int at;  // seconds from the start
        const char* source;
        const char* what;
        std::string text;
        Lines written;  // what Write returns
    };
    struct Case {
        const char* name;
        std::size_t maxKeys;
        std::vector<Line> lines;
        int dueAt;        // then Due at this second
        Lines summaries;  // what it returns
    };
    const auto huh = [](int n) { return "LCDd refused: huh? " + std::string(n, 'x'); };
    const Case cases[] = {
        {"a line that changes each time is limited all the same",
         4,
         {{0, "LCDd", "error answers", huh(1), {huh(1)}},
          {1, "LCDd", "error answers", huh(2), {}},
          {2, "LCDd", "error answers", huh(3), {}}},
         10,
         {"LCDd: 2 more error answers in the last 10 s"}},
        {"each source has its own first line and its own count",
         4,
         {{0, "from 192.0.2.1", "notes", "a", {"a"}},
          {1, "from 192.0.2.2", "notes", "b", {"b"}},
          {2, "from 192.0.2.1", "notes", "c", {}},
          {3, "from 192.0.2.2", "notes", "d", {}},
          {4, "from 192.0.2.2", "notes", "e", {}}},
         10,
         {"from 192.0.2.1: 1 more notes in the last 10 s"}},
        {"a source's kinds are counted apart",
         4,
         {{0, "LCDd", "error answers", "a", {"a"}},
          {0, "LCDd", "odd answers", "b", {"b"}},
          {1, "LCDd", "odd answers", "c", {}}},
         10,
         {"LCDd: 1 more odd answers in the last 10 s"}},
        {"the summary of an interval that ended comes before the next line",
         4,
         {{0, "S", "lines", "a", {"a"}},
          {5, "S", "lines", "b", {}},
          {12, "S", "lines", "c", {"S: 1 more lines in the last 12 s"}},
          {30, "T", "lines", "d", {"S: 1 more lines in the last 18 s", "d"}}},
         30,
         {}},
        {"after a quiet interval the next line is written whole",
         4,
         {{0, "S", "lines", "a", {"a"}},
          {11, "S", "lines", "b", {"b"}},
          {22, "S", "lines", "c", {"c"}}},
         40,
         {}},
        {"past the sources followed, the others share one count",
         2,
         {{0, "from 192.0.2.1", "notes", "a", {"a"}},
          {0, "from 192.0.2.2", "notes", "b", {"b"}},
          {1, "from 192.0.2.3", "notes", "c", {"c"}},
          {2, "from 192.0.2.4", "notes", "d", {}},
          {3, "from 192.0.2.5", "notes", "e", {}},
          {4, "from 192.0.2.1", "notes", "f", {}}},
         11,
         {"2 more notes from other sources in the last 10 s",
          "from 192.0.2.1: 1 more notes in the last 11 s"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LineLimiter limiter(kInterval, c.maxKeys);
        for (const Line& line : c.lines) {
            EXPECT_EQ(limiter.Write(kStart + std::chrono::seconds(line.at), line.source, line.what,
                                    line.text),
                      line.written)
                << line.text;
        }
        EXPECT_EQ(limiter.Due(kStart + std::chrono::seconds(c.dueAt)), c.summaries);
    }
}

}  // namespace
