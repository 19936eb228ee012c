#pragma once
// The semantic diff of two EDIDs of any size: the base block and a CTA-861 block 1 as DiffImages
// names them, every further block part by part in the block map's terms ("DisplayID block 2:
// Tiled Display Topology Data Block (0x28): tiles: 2 x 1 → 3 x 1"), a block only one EDID has
// named with its main content ("DisplayID block 2: removed: tiled display 2 x 1, 5120x1440 at
// 240 Hz").
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "edid/EdidDiff.h"

namespace tavo {

// What differs from `a` to `b`; empty exactly when they are equal. Two EDIDs of 256 bytes (or a
// base block alone) give DiffImages' result.
std::vector<Difference> DiffEdids(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b);

// Block `index` of `bytes` as the diff names a block only one EDID has: its name as the part
// ("DisplayID block 2"), `what` ("removed", "added") and its main content as the detail
// ("tiled display 2 x 1, 5120x1440 at 240 Hz").
Difference BlockDifference(std::span<const std::uint8_t> bytes, int index, std::string_view what);

} // namespace tavo
