#pragma once
// Where a window goes so that the operator can see all of it: the place it asks for when that
// fits the screen's work area, otherwise moved just enough to fit.
#include <vector>

namespace tavo {

struct ScreenRect {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }  // one past the last column
    int bottom() const { return top + height; } // one past the last row
    bool operator==(const ScreenRect&) const = default;
};

// `wanted` moved the least distance that puts it inside `area`. A window larger than the area
// keeps its size and is aligned to the area's top-left corner, so its title bar and close box
// stay reachable.
ScreenRect KeepInside(const ScreenRect& wanted, const ScreenRect& area);

// The pixels `a` and `b` share.
long long Overlap(const ScreenRect& a, const ScreenRect& b);

// A window of `width` x `height` placed beside `anchor`, `gap` pixels from it: to its right, else
// to its left, else below, else above it, each kept inside `area`. The first side where it covers
// neither the anchor nor any of `avoid` is taken; when every side covers something, the side that
// covers the fewest pixels of the anchor, and of those the fewest of the others: a window over the
// grid hides less of the operator's work than one over the buttons just pressed.
ScreenRect PlaceBeside(const ScreenRect& anchor, int width, int height, const ScreenRect& area,
                       const std::vector<ScreenRect>& avoid, int gap);

// The width a window beside `anchor` can have without covering it: the wider of the strips of
// `area` right and left of the anchor, less `gap`; never below `least` nor above `wanted`.
int WidthBeside(const ScreenRect& anchor, const ScreenRect& area, int gap, int wanted, int least);

} // namespace tavo
