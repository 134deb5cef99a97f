// Where each part of the board goes on a screen (board/Regions.h), plain C++.

#include <gtest/gtest.h>

#include "board/Regions.h"

// The regions of the screen: a header of 8% for the register's name, a band for the scrolling
// text of 12% in portrait and 18% in landscape, the rest for the text; an empty part takes
// no room.
TEST(DisplayScreen, TheRegionsFollowTheScreensShape) {
    struct Case {
        double width, height;
        bool named, scrolling;
        double header, band;
    };
    const Case cases[] = {
        {1280, 800, true, true, 64, 144}, {800, 1280, true, true, 102.4, 153.6},
        {360, 640, true, false, 51.2, 0}, {800, 300, false, true, 0, 54},
        {800, 300, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        const display::Regions r = display::RegionsFor(c.width, c.height, c.named, c.scrolling);
        EXPECT_DOUBLE_EQ(r.headerHeight, c.header) << c.width << "x" << c.height;
        EXPECT_DOUBLE_EQ(r.bandHeight, c.band) << c.width << "x" << c.height;
        EXPECT_DOUBLE_EQ(r.textTop, c.header);
        EXPECT_DOUBLE_EQ(r.textHeight, c.height - c.header - c.band);
    }
}
