#pragma once
// Helpers for the creator tests: images made from the built-in template's base block and a
// chosen data block collection, and a fixed date.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "edid/EdidImage.h"
#include "edid/NewEdidTemplate.h"
#include "workspace/CreatorLoad.h"

namespace creator_test {

// Wednesday of week 15 of 2015, the template's own week.
inline constexpr tavo::creator::CalendarDate kTemplateWeek{2015, 4, 8};

inline void FixChecksum(tavo::EdidImage& img, int bank) {
    const int base = bank * 128;
    unsigned s = 0;
    for (int i = base; i < base + 127; ++i)
        s += img[i];
    img[base + 127] = static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

inline void FixChecksums(tavo::EdidImage& img) {
    FixChecksum(img, 0);
    if (img[126] == 1) FixChecksum(img, 1);
}

// The template's base block and extension header with `blocks` as the data block collection and
// no detailed timing descriptors.
inline tavo::EdidImage WithBlocks(const std::vector<std::uint8_t>& blocks,
                                  std::uint8_t byte3 = 0x71) {
    tavo::EdidImage img = tavo::NewEdidTemplate();
    std::fill(img.begin() + 128, img.end(), 0);
    img[128] = 0x02;
    img[129] = 0x03;
    img[130] = static_cast<std::uint8_t>(4 + blocks.size());
    img[131] = byte3;
    std::copy(blocks.begin(), blocks.end(), img.begin() + 132);
    FixChecksums(img);
    return img;
}

} // namespace creator_test
