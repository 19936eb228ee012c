// Windows kept on the screen's work area.
#include <gtest/gtest.h>

#include "ui/Placement.h"

using namespace tavo;

TEST(Placement, MovesOnlyAsFarAsNeeded) {
    // a 1600 x 1000 screen whose work area leaves 40 pixels for a panel at the bottom
    const ScreenRect area{0, 0, 1600, 960};
    const struct {
        const char* what;
        ScreenRect wanted;
        int left, top;
    } cases[] = {
        {"fits: kept", {620, 180, 450, 480}, 620, 180},
        {"touches the right edge: kept", {1150, 100, 450, 480}, 1150, 100},
        {"one past the right edge", {1151, 100, 450, 480}, 1150, 100},
        {"far off the right edge", {1530, 100, 450, 480}, 1150, 100},
        {"off the bottom", {100, 700, 450, 480}, 100, 480},
        {"off the left and the top", {-30, -5, 450, 480}, 0, 0},
        {"off two edges at once", {1565, 900, 430, 510}, 1170, 450},
        {"wider than the area: left edge", {300, 100, 1700, 480}, 0, 100},
        {"taller than the area: top edge", {300, 100, 450, 1200}, 300, 0},
    };
    for (const auto& c : cases) {
        const ScreenRect placed = KeepInside(c.wanted, area);
        EXPECT_EQ(placed.left, c.left) << c.what;
        EXPECT_EQ(placed.top, c.top) << c.what;
        EXPECT_EQ(placed.width, c.wanted.width) << c.what;
        EXPECT_EQ(placed.height, c.wanted.height) << c.what;
    }
}

TEST(Placement, SecondScreenToTheLeftOfThePrimary) {
    // the work area of a screen left of the primary one starts at a negative x
    const ScreenRect area{-1280, 24, 1280, 1000};
    EXPECT_EQ(KeepInside({-100, 10, 450, 480}, area), (ScreenRect{-450, 24, 450, 480}));
    EXPECT_EQ(KeepInside({-1300, 500, 450, 480}, area), (ScreenRect{-1280, 500, 450, 480}));
}
