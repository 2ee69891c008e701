#include <gtest/gtest.h>

#include "ui/win32/dialog_placement.h"

using namespace lumenfall;

namespace {
const ScreenRect kScreen{0, 0, 1024, 768};
}

TEST(DialogPlacement, CentredHorizontallyWithTheTopAtAThirdOfTheFreeHeight) {
    // Desktop 1024 x 768, dialog 354 x 300: free 670 x 468 -> x 335, y 156.
    ScreenPoint p = placeDialog(kScreen, 354, 300, kScreen);
    EXPECT_EQ(p.x, 335);
    EXPECT_EQ(p.y, 156);
    // Over a parent at (40, 30) of 700 x 560: free 346 x 260 -> 40 + 173, 30 + 86 (260 / 3 truncated).
    p = placeDialog({40, 30, 740, 590}, 354, 300, kScreen);
    EXPECT_EQ(p.x, 213);
    EXPECT_EQ(p.y, 116);
    // Odd free space truncates: free 5 x 5 -> +2, +1.
    p = placeDialog({100, 100, 110, 110}, 5, 5, kScreen);
    EXPECT_EQ(p.x, 102);
    EXPECT_EQ(p.y, 101);
}

TEST(DialogPlacement, StaysOnTheVisibleAreaNearAnEdge) {
    // A small parent in the top-left corner would put a larger dialog at
    // negative coordinates; it is moved to the corner instead.
    ScreenPoint p = placeDialog({0, 0, 100, 80}, 300, 200, kScreen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    // Near the bottom-right corner it is pulled back inside.
    p = placeDialog({900, 700, 1100, 900}, 300, 200, kScreen);
    EXPECT_EQ(p.x, 1024 - 300);
    EXPECT_EQ(p.y, 768 - 200);
    // Larger than the screen: the top-left corner stays visible.
    p = placeDialog(kScreen, 2000, 1000, kScreen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(DialogPlacement, ExtremeRectanglesDoNotOverflow) {
    ScreenRect huge{-2147483647, -2147483647, 2147483647, 2147483647};
    ScreenPoint p = placeDialog(huge, 300, 200, kScreen);
    EXPECT_GE(p.x, 0);
    EXPECT_LE(p.x, 1024 - 300);
    EXPECT_GE(p.y, 0);
    EXPECT_LE(p.y, 768 - 200);
}
