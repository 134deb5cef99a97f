// The networks afficheur-display takes connections from (shared/AllowList.h).

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QString>

#include <vector>

#include "shared/AllowList.h"

TEST(DisplayAllowList, LetsInOnlyItsNetworksWhicheverWayAnIpv4PeerIsSeen) {
    struct Case {
        std::vector<const char*> networks;
        const char* peer;
        bool allowed;
    };
    const Case cases[] = {
        {{}, "192.0.2.7", true},
        {{"192.168.1.10"}, "192.168.1.10", true},
        {{"192.168.1.10"}, "192.168.1.11", false},
        {{"192.168.1.0/24"}, "192.168.1.200", true},
        {{"192.168.1.0/24"}, "192.168.2.1", false},
        {{"192.168.1.10/32"}, "::ffff:192.168.1.10", true},  // a dual-stack listener's view
        {{"::ffff:192.168.1.0/120"}, "192.168.1.7", true},
        {{"::ffff:192.168.1.0/120"}, "::ffff:192.168.2.7", false},
        {{"0.0.0.0/0"}, "2001:db8::1", false},
        {{"2001:db8:1:2::/64"}, "2001:db8:1:2:aaaa:bbbb:cccc:dddd", true},
        {{"2001:db8:1:2::/64"}, "2001:db8:1:3::1", false},
        {{"::1"}, "127.0.0.1", false},
        {{"127.0.0.1"}, "::1", false},
        {{"10.0.0.0/8", "192.168.1.10"}, "192.168.1.10", true},
    };
    for (const auto& c : cases) {
        display::AllowList allowed;
        for (const char* network : c.networks)
            ASSERT_EQ(allowed.Add(QString::fromLatin1(network)).toStdString(), "") << network;
        EXPECT_EQ(allowed.Allows(QHostAddress(QString::fromLatin1(c.peer))), c.allowed)
            << c.peer << " against " << (c.networks.empty() ? "no list" : c.networks.back());
    }

    // Each fault says what it is; nothing is added.
    for (const char* bad :
         {"shop", "", "/24", "192.168.1.0/", "192.168.1.0/33", "::1/129", "192.168.1.0/x",
          "192.168.1.0/+8", "127.1", "010.0.0.1", " 192.168.1.10", "fe80::1%eth0"}) {
        display::AllowList allowed;
        EXPECT_FALSE(allowed.Add(QString::fromLatin1(bad)).isEmpty()) << '"' << bad << '"';
        EXPECT_TRUE(allowed.empty()) << '"' << bad << '"';
    }
}
