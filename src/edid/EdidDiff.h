#pragma once
// The semantic diff of two images: their block maps compared part by part and field by field,
// each difference named in the block map's terms ("YCbCr 4:2:0 Capability Map Data Block:
// removed", "HDMI Vendor-Specific Data Block: maximum TMDS clock 340 → 225 MHz").
#include <string>
#include <string_view>
#include <vector>

#include "edid/BlockMap.h"

namespace tavo {

// One difference. Its text is `part: what` or `part: what: detail`. Entries with `listItem` set
// are single members of a list ("video codes removed" / "102") and print merged with the other
// entries of the same part and what ("video codes removed: 102, 101").
struct Difference {
    std::string part;
    std::string what;
    std::string detail;
    bool listItem = false;
    // a checksum, an offset, a length that only follows from other changes: no loss
    bool structural = false;
    bool operator==(const Difference&) const = default;
};

// What differs from `a` to `b`; empty exactly when the images are equal. Checksums, the detailed
// timing offset and the padding's length follow from other changes and are named only when
// nothing else differs.
std::vector<Difference> DiffImages(const EdidImage& a, const EdidImage& b);

// The differences as lines of text, the entries of one list merged into the line of the first.
std::vector<std::string> DifferenceTexts(const std::vector<Difference>& differences);

// {"a": ..., "b": ..., "differences": ["...", ...]} on one line.
std::string DiffJson(std::string_view fileA, std::string_view fileB,
                     const std::vector<std::string>& texts);

} // namespace tavo
