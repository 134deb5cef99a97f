// The limiters that keep a flood of refused connections, or of any line repeated by one
// source, to a few log lines.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "shared/LineLimiter.h"
#include "web/RefusalLog.h"

namespace {

using display::LineLimiter;
using display::RefusalLog;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr auto kInterval = 10s;
const RefusalLog::Clock::time_point kStart{};

std::string Client(int n) {
    return "--http: 192.0.2.1:" + std::to_string(n) + " answered 503";
}

TEST(RefusalLog, AFloodWritesItsFirstLineThenOneSummaryPerInterval) {
    RefusalLog log(kInterval);
    EXPECT_EQ(log.Refused(kStart, Client(1)), Lines{Client(1)});
    // A thousand more within the interval: counted, none written.
    for (int i = 0; i < 1000; ++i)
        EXPECT_TRUE(log.Refused(kStart + 9s, Client(2)).empty());
    EXPECT_TRUE(log.counting());
    EXPECT_EQ(log.intervalEnd(), kStart + kInterval);
    EXPECT_EQ(log.Due(kStart + 9s), "");
    // The flood goes on past the interval: the summary, and this one is counted in the next.
    EXPECT_EQ(log.Refused(kStart + 10s, Client(3)),
              Lines{"--http: 1000 more connections refused in the last 10 s"});
    EXPECT_TRUE(log.Refused(kStart + 15s, Client(4)).empty());
    EXPECT_EQ(log.Due(kStart + 20s), "--http: 2 more connections refused in the last 10 s");
}

TEST(RefusalLog, TheCountOfTheLastBurstIsWrittenWhenItsIntervalEnds) {
    RefusalLog log(kInterval);
    log.Refused(kStart, Client(1));
    log.Refused(kStart + 1s, Client(2));
    log.Refused(kStart + 2s, Client(3));
    EXPECT_EQ(log.Due(kStart + 12s), "--http: 2 more connections refused in the last 12 s");
    EXPECT_FALSE(log.counting());
    // One quiet interval later, the next refusal is written whole again.
    EXPECT_EQ(log.Due(kStart + 30s), "");
    EXPECT_EQ(log.Refused(kStart + 31s, Client(4)), Lines{Client(4)});
}

TEST(RefusalLog, RefusalsFarApartAreEachWrittenWhole) {
    RefusalLog log(kInterval);
    for (int i = 0; i < 5; ++i) {
        const auto now = kStart + i * 11s;
        EXPECT_EQ(log.Refused(now, Client(i)), Lines{Client(i)}) << i;
        EXPECT_FALSE(log.counting());
    }
}

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
