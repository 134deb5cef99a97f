#pragma once
// Skipping a test whose tool is not on this machine (a browser, a locale). ./test installs
// and builds everything the tests need and sets AFFICHEUR_REQUIRE_TOOLS=1; there a skip fails
// instead, so a green run never hides a failed install step.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

inline bool ToolsRequired() {
    const char* required = std::getenv("AFFICHEUR_REQUIRE_TOOLS");
    return required != nullptr && std::string_view(required) == "1";
}

// Ends the test as skipped, or as failed where the tools are required. Returns from the
// calling function, like GTEST_SKIP.
#define SKIP_MISSING_TOOL(why)                                      \
    do {                                                            \
        if (ToolsRequired())                                        \
            FAIL() << (why)                                         \
                   << " (./test requires it; scripts/packages.txt " \
                      "should bring it)";                           \
        GTEST_SKIP() << (why);                                      \
    } while (false)
