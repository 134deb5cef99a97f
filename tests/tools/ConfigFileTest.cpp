#include "options/ConfigFile.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace display {
namespace {

const OptionNames kKnown = {
    {"listen", true}, {"welcome", true}, {"lcdproc", true}, {"headless", false}, {"config", true}};

TEST(ConfigFile, EachLineBecomesItsOption) {
    const auto arguments = ConfigArguments(
        "# the shop's display\n"
        "\n"
        "listen = 0.0.0.0:9100\r\n"
        "  welcome =   Bienvenue chez nous  \n"
        "; a comment\n"
        "welcome = \" two blanks at the ends \"\n"
        "headless\n"
        "lcdproc=127.0.0.1:13666\n"
        "lcdproc = [::1]:13667",
        "display.conf", kKnown);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::string>>(arguments));
    EXPECT_EQ(std::get<std::vector<std::string>>(arguments),
              (std::vector<std::string>{"--listen=0.0.0.0:9100", "--welcome=Bienvenue chez nous",
                                        "--welcome= two blanks at the ends ", "--headless",
                                        "--lcdproc=127.0.0.1:13666", "--lcdproc=[::1]:13667"}));
}

TEST(ConfigFile, TheFirstFaultNamesItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"listen = x\nfast = yes\n", "display.conf:2: unknown option 'fast'"},
        {"listen\n", "display.conf:1: listen needs a value"},
        {"headless = yes\n", "display.conf:1: headless takes no value"},
        {"config = other.conf\n", "display.conf:1: a configuration file cannot name another"},
        {"--listen = x\n", "display.conf:1: unknown option '--listen'"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text);
        const auto arguments = ConfigArguments(text, "display.conf", kKnown);
        ASSERT_TRUE(std::holds_alternative<ConfigError>(arguments));
        EXPECT_EQ(std::get<ConfigError>(arguments).why.rfind(error, 0), 0u)
            << std::get<ConfigError>(arguments).why;
    }
}

}  // namespace
}  // namespace display
