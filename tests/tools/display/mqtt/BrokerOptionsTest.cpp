// The rules of the broker's topics: which texts name a topic the display may use, and the
// default prefix made from a host name that a topic could not hold as it is.

#include "mqtt/BrokerOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace display {
namespace {

TEST(BrokerTopics, OnlyAPlainTopicIsTaken) {
    struct Case {
        std::string text;
        bool taken;
    };
    const Case cases[] = {
        {"afficheur/shop-12/9100", true},
        {"chain", true},
        {"shop 12/caisse é", true},  // blanks and any UTF-8 are a topic's
        {"", false},
        {"shop/+", false},
        {"shop/#", false},
        {"#", false},
        {std::string("shop\0x", 6), false},
        {"$SYS/broker", false},
        {"/shop", false},
        {"shop/", false},
        {"shop//12", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TopicFault(c.text).empty(), c.taken) << c.text << ": " << TopicFault(c.text);
}

TEST(BrokerTopics, TheDefaultPrefixIsAPlainTopicWhateverTheHostName) {
    EXPECT_EQ(DefaultTopic("till-3", 9100), "afficheur/till-3/9100");
    for (const char* host : {"a+b", "a#b", "a/b", "$host", ""}) {
        const std::string topic = DefaultTopic(host, 9100);
        EXPECT_EQ(TopicFault(topic), "") << host << " gave " << topic;
    }
    EXPECT_EQ(ClientId("afficheur/till-3/9100"), "afficheur-display:afficheur/till-3/9100");
}

}  // namespace
}  // namespace display
