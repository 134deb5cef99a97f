// The limiter that keeps a flood of refused connections to a few log lines.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "RefusalLog.h"

namespace {

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

}  // namespace
