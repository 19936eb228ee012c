#pragma once
// Shared by the EDID fuzz targets.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "edid/EdidImage.h"

namespace tavo::fuzz {

// Arbitrary bytes rarely pass validation; this makes them a valid image (header, extension
// count 0 or 1, both checksums) so the decoder's block walks see them.
inline EdidImage Repaired(EdidImage img) {
    const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    for (int i = 0; i < 8; ++i)
        img[i] = header[i];
    img[126] &= 1;
    for (int bank = 0; bank < 2; ++bank) {
        unsigned s = 0;
        for (int i = bank * 128; i < bank * 128 + 127; ++i)
            s += img[i];
        img[bank * 128 + 127] = static_cast<std::uint8_t>(0x100 - (s & 0xFF));
    }
    return img;
}

inline void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace tavo::fuzz
