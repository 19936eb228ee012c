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

TEST(Placement, BesideTakesTheFirstSideThatCoversNothing) {
    const ScreenRect screen{0, 0, 1600, 960}, small{0, 0, 1000, 700};
    const std::vector<ScreenRect> none, main{{300, 0, 583, 560}}; // the main window kept clear
    const struct {
        const char* what;
        const ScreenRect& area;
        ScreenRect anchor, wanted;
        const std::vector<ScreenRect>& avoid;
    } cases[] = {
        {"room on the right", screen, {620, 180, 450, 450}, {1085, 180, 422, 481}, none},
        // pushed back inside from the right it would lie over the anchor's buttons
        {"right edge: the left side", screen, {1140, 180, 450, 450}, {703, 180, 422, 481}, none},
        {"left over main: below", screen, {1140, 100, 450, 300}, {1140, 415, 422, 400}, main},
        {"corner: left, moved up", screen, {1140, 540, 450, 420}, {703, 479, 422, 481}, none},
        // every side covers the anchor: the side covering the least
        {"no free side: least covered", small, {300, 150, 450, 450}, {0, 150, 422, 481}, none},
        // the screen's right part: over the main window rather than over the anchor's buttons
        {"over main, not the anchor",
         {0, 0, 1400, 800},
         {833, 311, 450, 470},
         {396, 311, 422, 481},
         {{409, 157, 583, 560}}},
    };
    for (const auto& c : cases) {
        const ScreenRect placed =
            PlaceBeside(c.anchor, c.wanted.width, c.wanted.height, c.area, c.avoid, 15);
        EXPECT_EQ(placed, c.wanted) << c.what;
        EXPECT_EQ(KeepInside(placed, c.area), placed) << c.what; // always wholly on the screen
    }
    EXPECT_EQ(Overlap({0, 0, 10, 10}, {10, 0, 10, 10}), 0); // touching edges share no pixel
    EXPECT_EQ(Overlap({0, 0, 10, 10}, {5, 5, 10, 10}), 25);
}

// A window too wide for the room beside its anchor is narrowed to the wider free strip, but never
// below its least width nor widened.
TEST(Placement, WidthBesideIsTheWiderFreeStrip) {
    const ScreenRect screen{0, 0, 1600, 1000}, small{0, 0, 1366, 768};
    const struct {
        ScreenRect area, anchor;
        int wanted, least, width;
    } cases[] = {
        {screen, {300, 100, 900, 700}, 1166, 300, 392},                // right: 392, left: 292
        {screen, {300, 100, 900, 700}, 1166, 480, 480},                // narrower than the least
        {screen, {700, 100, 900, 700}, 1166, 480, 692},                // left is wider
        {screen, {0, 100, 500, 700}, 700, 480, 700},                   // room enough: as wanted
        {small, {200, 0, 1000, 700}, 1166, 480, 480},                  // no room: the least width
        {{-1600, 0, 1600, 900}, {-1500, 0, 600, 600}, 1166, 400, 892}, // a screen left of 0
    };
    for (const auto& c : cases)
        EXPECT_EQ(WidthBeside(c.anchor, c.area, 8, c.wanted, c.least), c.width)
            << c.anchor.left << " " << c.wanted;
}
