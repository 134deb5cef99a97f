// The meter that holds a request to the web server's bounds (web/WebLimits.h), plain C++.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/WebLimits.h"

namespace {

using display::RequestMeter;
using display::RequestVerdict;
using display::WebLimits;

TEST(WebLimitsMeter, HoldsARequestToItsBounds) {
    WebLimits limits;
    limits.maxRequestBytes = 64;
    limits.maxHeadLines = 3;
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        RequestVerdict verdict;
        bool headEnded;
    };
    const Case cases[] = {
        {"a small request", {"GET / HTTP/1.1\r\nHost: a\r\n\r\n"}, RequestVerdict::Within, true},
        {"bare line feeds", {"GET / HTTP/1.1\nHost: a\n\n"}, RequestVerdict::Within, true},
        {"the head's end across chunks",
         {"GET / HTTP/1.1\r\n", "\r", "\n"},
         RequestVerdict::Within,
         true},
        {"empty lines before the request line",
         {"\r\n\r\nGET / HTTP/1.1\r\n"},
         RequestVerdict::Within,
         false},
        {"a head not ended yet", {"GET / HTTP/1.1\r\nHost: a\r\n"}, RequestVerdict::Within, false},
        {"exactly the byte bound",
         {"GET /" + std::string(40, 'a') + " HTTP/1.1\r\nX: 1\r\n\r\n"},
         RequestVerdict::Within,
         true},
        {"one byte past it in the head",
         {"GET /" + std::string(41, 'a') + " HTTP/1.1\r\nX: 1\r\n\r\n"},
         RequestVerdict::HeadTooLarge,
         true},
        {"a head past it that never ends",
         {"GET /", std::string(70, 'a')},
         RequestVerdict::HeadTooLarge,
         false},
        {"too many lines",
         {"GET / HTTP/1.1\r\nA: 1\r\nB: 1\r\nC: 1\r\n\r\n"},
         RequestVerdict::HeadTooLarge,
         true},
        {"a body past the byte bound",
         {"POST / HTTP/1.1\r\n\r\n", std::string(60, 'b')},
         RequestVerdict::TooLarge,
         true},
        {"a CR alone is not a line end", {"GET / HTTP/1.1\r\r\r\r"}, RequestVerdict::Within, false},
    };
    for (const auto& c : cases) {
        RequestMeter meter(limits);
        RequestVerdict verdict = RequestVerdict::Within;
        for (const auto& chunk : c.chunks)
            verdict = meter.Feed(chunk);
        EXPECT_EQ(verdict, c.verdict) << c.name;
        EXPECT_EQ(meter.headEnded(), c.headEnded) << c.name;
    }
}

TEST(WebLimitsMeter, AVerdictPastABoundStays) {
    WebLimits limits;
    limits.maxRequestBytes = 8;
    RequestMeter meter(limits);
    EXPECT_EQ(meter.Feed("GET /123456789"), RequestVerdict::HeadTooLarge);
    EXPECT_EQ(meter.Feed("\r\n\r\n"), RequestVerdict::HeadTooLarge);
}

}  // namespace
