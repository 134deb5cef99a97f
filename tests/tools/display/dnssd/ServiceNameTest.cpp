// The name the page is announced under: the register's, or the machine's, and always one DNS
// label (at most 63 bytes) of whole UTF-8 characters on one line.

#include <gtest/gtest.h>

#include <string>

#include "dnssd/DnsSdService.h"

namespace {

TEST(ServiceName, IsTheRegistersOrTheMachinesInOneLabel) {
    struct Case {
        const char* name;
        std::string registerName;
        std::string expected;
    };
    const std::string e = "\xC3\xA9";  // é, two bytes
    const Case cases[] = {
        {"the register's name", "Caisse 1", "Afficheur Caisse 1"},
        {"no register: the machine's name", "", "Afficheur comptoir"},
        {"line breaks and tabs become spaces", "Caisse\n1\t2", "Afficheur Caisse 1 2"},
        {"cut at 63 bytes", std::string(80, 'a'), "Afficheur " + std::string(53, 'a')},
        {"never inside a character", std::string(52, 'a') + e + "z",
         "Afficheur " + std::string(52, 'a')},
        {"a character that ends at the 63rd byte stays", std::string(51, 'a') + e + "z",
         "Afficheur " + std::string(51, 'a') + e},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = display::ServiceNameFor(c.registerName, "comptoir");
        EXPECT_EQ(name, c.expected);
        EXPECT_LE(name.size(), 63u);
    }
}

}  // namespace
