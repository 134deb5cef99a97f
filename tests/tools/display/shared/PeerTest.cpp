// The peer labels of afficheur-display's log (shared/Peer.h).

#include <gtest/gtest.h>

#include <QHostAddress>

#include "shared/Peer.h"

TEST(DisplayEndpoint, LabelsKeepTheScopeAndThePortApart) {
    struct Case {
        const char* name;
        QHostAddress address;
        quint16 port;
        const char* label;
    };
    const Case cases[] = {
        {"IPv4", QHostAddress("127.0.0.1"), 40312, "127.0.0.1:40312"},
        {"IPv4 seen through IPv6", QHostAddress("::ffff:127.0.0.1"), 40312, "127.0.0.1:40312"},
        {"IPv6", QHostAddress("::1"), 9100, "[::1]:9100"},
        {"numeric scope", QHostAddress("fe80::1%2"), 40312, "[fe80::1%2]:40312"},
        {"named scope", QHostAddress("fe80::1%lo"), 40312, "[fe80::1%lo]:40312"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(display::Endpoint(c.address, c.port).toStdString(), c.label) << c.name;
}
