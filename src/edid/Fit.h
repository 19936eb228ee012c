#pragma once
// Fitting an EDID of more than two blocks into the 256 bytes a slot holds: the base block and the
// first CTA-861 extension stay byte for byte, the extension count becomes 1 and both checksums
// follow; every other block is dropped and named.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

enum class FitResult : std::uint8_t {
    Fitted,      // `image` holds the fitted EDID, `dropped` what was left out
    AlreadyFits, // 256 bytes or fewer announced and given: nothing to fit
    NoBase,      // fewer than 128 bytes, or no EDID header
    NoCta,       // no complete CTA-861 extension to keep
};

struct FitOutcome {
    FitResult result = FitResult::NoBase;
    EdidImage image{};
    // One line per dropped block, in the diff's terms: "DisplayID block 2: tiled display 2 x 1,
    // 5120x1440 at 240 Hz".
    std::vector<std::string> dropped;
};

FitOutcome FitEdid(std::span<const std::uint8_t> bytes);

// An EDID of more than two blocks as the analysis reads it: its base block and first CTA-861
// extension, wherever that stands, as one 256-byte image with the extension count 1 and each
// checksum as good or bad as it was. False for an EDID that announces two blocks or fewer, or
// that FitEdid cannot fit (no base block, no CTA-861 extension).
bool FirstTwoBlocks(std::span<const std::uint8_t> bytes, EdidImage& image);

// An EDID of more than two blocks as one 256-byte image: FirstTwoBlocks' image when it has a
// CTA-861 extension; without one, its base block alone (extension count 0, its checksum as good or
// bad as it was, the rest 0xFF), every other block left out. False for an EDID that announces two
// blocks or fewer or has no base block.
bool ImageOfLargerEdid(std::span<const std::uint8_t> bytes, EdidImage& image);

// What a block holds, in a few words: "tiled display 2 x 1, 5120x1440 at 240 Hz" for DisplayID,
// the data blocks' names for CTA-861, the block's name otherwise. `index` is the block's number.
std::string DescribeBlock(std::span<const std::uint8_t> bytes, int index);

} // namespace tavo
