#include "options/ConfigFile.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

namespace display {
namespace {

const OptionNames kKnown = {{"listen", true},    {"welcome", true},
                            {"screen", true},    {"lcdproc", {true, false, true}},
                            {"headless", false}, {"config", true}};

TEST(ConfigFile, EachLineBecomesItsOption) {
    const auto arguments = ConfigArguments(
        "\xEF\xBB\xBF# the shop's display, with the mark some editors put first\n"
        "\n"
        "listen = 0.0.0.0:9100\r\n"
        "  screen =   HDMI 1  \n"
        "; a comment\n"
        "welcome = \" two blanks at the ends \"\n"
        "headless\n"
        "lcdproc=127.0.0.1:13666\n"
        "lcdproc = [::1]:13667",
        "display.conf", kKnown);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::string>>(arguments));
    EXPECT_EQ(std::get<std::vector<std::string>>(arguments),
              (std::vector<std::string>{"--listen=0.0.0.0:9100", "--screen=HDMI 1",
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
        // A second value of a one-value option would silently win over the first.
        {"listen = 127.0.0.1:9100\n# the shop\nlisten = 0.0.0.0:9100\n",
         "display.conf:3: listen is given twice (lines 1 and 3); it takes one value"},
        {"\xEF\xBB\xBF\xEF\xBB\xBFlisten = x\n", "display.conf:1: unknown option"},
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
