#include "ui/Placement.h"

#include <algorithm>

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

} // namespace tavo
