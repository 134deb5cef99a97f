// The share of a listener's slots that keeps one client address from taking them all
// (shared/FairShare.h), plain C++: the display's receiver and its web page each keep one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/FairShare.h"

namespace {

TEST(WebLimitsShare, NoAddressKeepsTheOthersOut) {
    using Share = display::FairShare<int>;
    using Admission = Share::Admission;
    struct Case {
        const char* name;
        std::string holders;  // one address a letter, a slot each, the oldest first
        int places;
        int share;
        std::string newcomer;
        Admission admission;
        int victim = -1;  // the slot taken back, by its place in holders
    };
    const Case cases[] = {
        {"a free slot", "aab", 4, 2, "b", Admission::Take},
        {"an address at its share, slots free", "aab", 4, 2, "a", Admission::RefuseShare},
        {"an address at its share, every slot taken", "aabb", 4, 2, "a", Admission::RefuseShare},
        {"one address holding every slot", "aaaa", 4, 4, "b", Admission::TakeBack, 0},
        {"the address that holds the most", "abbbcc", 6, 4, "d", Admission::TakeBack, 1},
        {"back over a link that dropped, its old slot still held", "abcd", 4, 2, "c",
         Admission::TakeBack, 2},
        {"an address that holds fewer than the most", "abbb", 4, 4, "a", Admission::TakeBack, 1},
        {"a tie with its own address", "abba", 4, 4, "a", Admission::TakeBack, 0},
        {"a tie between others: the oldest slot", "caab", 4, 4, "d", Admission::TakeBack, 1},
        {"a tie between others, the other way", "cbaab", 5, 4, "d", Admission::TakeBack, 1},
        {"every address holding one", "abcd", 4, 2, "e", Admission::RefuseFull},
    };
    for (const auto& c : cases) {
        Share share(c.places, c.share);
        for (std::size_t i = 0; i < c.holders.size(); ++i)
            share.Hold(static_cast<int>(i), std::string(1, c.holders[i]));
        const Share::Verdict verdict = share.Admit(c.newcomer);
        EXPECT_EQ(verdict.admission, c.admission) << c.name;
        if (c.admission != Admission::TakeBack) continue;
        EXPECT_EQ(verdict.victim, c.victim) << c.name;
        EXPECT_EQ(verdict.victimAddress, std::string(1, c.holders[c.victim])) << c.name;
    }
}

TEST(WebLimitsShare, ASlotReleasedIsFreeAgain) {
    display::FairShare<int> share(2, 2);
    share.Hold(1, "a");
    share.Hold(2, "b");
    ASSERT_EQ(share.Admit("c").admission, display::FairShare<int>::Admission::RefuseFull);
    share.Release(1);
    EXPECT_EQ(share.Admit("c").admission, display::FairShare<int>::Admission::Take);
    EXPECT_EQ(share.Holders(), std::vector<int>{2});
}

}  // namespace
