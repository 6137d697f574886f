// The page layout of the report printout: one inch on every side, in twips.
#include <gtest/gtest.h>

#include "platform/print_layout.h"

namespace bv {
namespace {

struct LayoutCase {
    const char* what;
    long dpiX, dpiY, width, height;
    TwipsRect page, text;
};

TEST(PrintLayoutTest, OneInchOnEverySideInTwips) {
    const LayoutCase cases[] = {
        // A4 at 600 dpi as a laser printer reports its printable area.
        {"A4 600 dpi", 600, 600, 4960, 7014, {0, 0, 11904, 16833}, {1440, 1440, 10464, 15393}},
        // Letter at 72 dpi: every dot is 20 twips.
        {"Letter 72 dpi", 72, 72, 612, 792, {0, 0, 12240, 15840}, {1440, 1440, 10800, 14400}},
        // Different resolutions across and down (300 x 600 dpi ink jet).
        {"300 x 600 dpi", 300, 600, 2400, 6600, {0, 0, 11520, 15840}, {1440, 1440, 10080, 14400}},
        // Twips are cut, not rounded: 4961 dots at 600 dpi are 11906.4 twips.
        {"uneven", 600, 600, 4961, 7015, {0, 0, 11906, 16836}, {1440, 1440, 10466, 15396}},
        // A poster plotter: dots * 1440 no longer fits 32 bits.
        {"2400 dpi poster", 2400, 2400, 2000000, 3000000, {0, 0, 1200000, 1800000},
         {1440, 1440, 1198560, 1798560}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.what);
        PrintLayout layout;
        ASSERT_TRUE(OneInchMarginLayout(c.dpiX, c.dpiY, c.width, c.height, layout));
        EXPECT_EQ(c.page.left, layout.page.left);
        EXPECT_EQ(c.page.top, layout.page.top);
        EXPECT_EQ(c.page.right, layout.page.right);
        EXPECT_EQ(c.page.bottom, layout.page.bottom);
        EXPECT_EQ(c.text.left, layout.text.left);
        EXPECT_EQ(c.text.top, layout.text.top);
        EXPECT_EQ(c.text.right, layout.text.right);
        EXPECT_EQ(c.text.bottom, layout.text.bottom);
    }
}

TEST(PrintLayoutTest, RefusesWhatLeavesNoRoomOrMakesNoSense) {
    const struct {
        const char* what;
        long dpiX, dpiY, width, height;
    } cases[] = {
        {"no horizontal resolution", 0, 600, 4960, 7014},
        {"no vertical resolution", 600, 0, 4960, 7014},
        {"negative resolution", -600, 600, 4960, 7014},
        {"exactly two inches wide", 600, 600, 1200, 7014},
        {"less than two inches high", 600, 600, 4960, 1199},
        {"no page", 600, 600, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PrintLayout layout;
        layout.text.left = 77;
        EXPECT_FALSE(OneInchMarginLayout(c.dpiX, c.dpiY, c.width, c.height, layout));
        EXPECT_EQ(77, layout.text.left) << "a refused layout is left as it was";
    }
    // One dot over two inches leaves a text area of one dot (2.4 twips, cut to 2).
    PrintLayout narrow;
    ASSERT_TRUE(OneInchMarginLayout(600, 600, 1201, 1201, narrow));
    EXPECT_EQ(2, narrow.text.right - narrow.text.left);
    EXPECT_EQ(2, narrow.text.bottom - narrow.text.top);
}

TEST(PrintLayoutTest, DotsToTwips) {
    EXPECT_EQ(1440, DotsToTwips(600, 600));
    EXPECT_EQ(720, DotsToTwips(150, 300));
    EXPECT_EQ(2, DotsToTwips(1, 600));  // 2.4 twips
    EXPECT_EQ(0, DotsToTwips(100, 0));
    EXPECT_EQ(0, DotsToTwips(100, -1));
}

}  // namespace
}  // namespace bv
