#pragma once
// Skipping a test whose fault this machine will not let it set up (no mount namespaces, no
// way to drop root). ./test sets AFFICHEUR_REQUIRE_FAULTS=1 where it found that the machine
// does allow them; there a skip fails instead, so a green run never hides a fault test that
// did not run.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

inline bool FaultsRequired() {
    const char* required = std::getenv("AFFICHEUR_REQUIRE_FAULTS");
    return required != nullptr && std::string_view(required) == "1";
}

// Ends the test as skipped, or as failed where the faults are required. Returns from the
// calling function, like GTEST_SKIP.
#define SKIP_FAULT(why)                                                                  \
    do {                                                                                 \
        if (FaultsRequired()) FAIL() << "this machine allows the fault, yet: " << (why); \
        GTEST_SKIP() << (why);                                                           \
    } while (false)
