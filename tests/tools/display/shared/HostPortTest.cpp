// The HOST:PORT form the display's addresses share, split and joined.

#include "shared/HostPort.h"

#include <gtest/gtest.h>

namespace display {
namespace {

TEST(HostPort, SplitsAtTheLastColonAndJoinsBack) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        bool bracketed;
        quint16 port;
    };
    const Case cases[] = {
        {"127.0.0.1:9100", true, "127.0.0.1", false, 9100},
        {"[::1]:9100", true, "::1", true, 9100},
        {"localhost:0", true, "localhost", false, 0},
        {"display.shop.lan:65535", true, "display.shop.lan", false, 65535},
        {"127.0.0.1:65536", false, "", false, 0},
        {"127.0.0.1", false, "", false, 0},
        {":9100", false, "", false, 0},
        {"127.0.0.1:", false, "", false, 0},
        {"127.0.0.1:+80", false, "", false, 0},
        {"127.0.0.1:\xEF\xBC\x98\xEF\xBC\x90", false, "", false, 0},  // fullwidth 80
    };
    for (const Case& c : cases) {
        const auto parts = SplitHostPort(QString::fromUtf8(c.text));
        ASSERT_EQ(parts.has_value(), c.ok) << c.text;
        if (!parts) continue;
        EXPECT_EQ(parts->host.toStdString(), c.host) << c.text;
        EXPECT_EQ(parts->bracketed, c.bracketed) << c.text;
        EXPECT_EQ(parts->port, c.port) << c.text;
        EXPECT_EQ(JoinHostPort(parts->host, parts->port).toStdString(), c.text);
    }
    // A numeric scope stays in the host; the port is not taken for part of it.
    EXPECT_EQ(JoinHostPort(QStringLiteral("fe80::1%2"), 80).toStdString(), "[fe80::1%2]:80");
}

}  // namespace
}  // namespace display
