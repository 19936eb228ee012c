#include "ui/Placement.h"

#include <algorithm>
#include <utility>

namespace tavo {

namespace {

// One axis: start of a span of `length` kept within [low, low + room).
int Clamp(int start, int length, int low, int room) {
    if (length >= room) return low;
    return std::clamp(start, low, low + room - length);
}

} // namespace

ScreenRect KeepInside(const ScreenRect& wanted, const ScreenRect& area) {
    ScreenRect placed = wanted;
    placed.left = Clamp(wanted.left, wanted.width, area.left, area.width);
    placed.top = Clamp(wanted.top, wanted.height, area.top, area.height);
    return placed;
}

long long Overlap(const ScreenRect& a, const ScreenRect& b) {
    const long long w = std::min(a.right(), b.right()) - std::max(a.left, b.left);
    const long long h = std::min(a.bottom(), b.bottom()) - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

ScreenRect PlaceBeside(const ScreenRect& anchor, int width, int height, const ScreenRect& area,
                       const std::vector<ScreenRect>& avoid, int gap) {
    const ScreenRect sides[] = {
        {anchor.right() + gap, anchor.top, width, height},       // right
        {anchor.left - gap - width, anchor.top, width, height},  // left
        {anchor.left, anchor.bottom() + gap, width, height},     // below
        {anchor.left, anchor.top - gap - height, width, height}, // above
    };
    // what a side covers: the anchor first (the window just used, with the buttons under the
    // operator's hand), then the other windows
    ScreenRect best{};
    std::pair<long long, long long> bestCovered{-1, -1};
    for (const ScreenRect& side : sides) {
        const ScreenRect placed = KeepInside(side, area);
        std::pair<long long, long long> covered{Overlap(placed, anchor), 0};
        for (const ScreenRect& other : avoid)
            covered.second += Overlap(placed, other);
        if (covered == std::pair<long long, long long>{0, 0}) return placed;
        if (bestCovered.first < 0 || covered < bestCovered) {
            best = placed;
            bestCovered = covered;
        }
    }
    return best;
}

int WidthBeside(const ScreenRect& anchor, const ScreenRect& area, int gap, int wanted, int least) {
    const int right = area.right() - anchor.right() - gap;
    const int left = anchor.left - area.left - gap;
    return std::max(least, std::min(wanted, std::max(right, left)));
}

} // namespace tavo
