#pragma once
// What the hex view shows of an image: the part of the block map each byte belongs to, the colour
// each part is drawn in, and the bytes that differ from another image (the creator's build beside
// the EDID it opened).
#include <array>
#include <string>

#include "edid/BlockMap.h"

namespace tavo {

// Colours of the parts: kPartColourCount colours that follow one another, and two of their own.
inline constexpr int kPartColourCount = 8;
inline constexpr int kQuietColour = kPartColourCount;      // padding and unused bytes
inline constexpr int kBrokenColour = kPartColourCount + 1; // a data block that runs past its end

struct HexGrid {
    BlockMap parts;
    std::array<int, kEdidSize> partOf{};   // the index in `parts` of each byte
    std::array<int, kEdidSize> colourOf{}; // the colour of each byte's part
    std::array<bool, kEdidSize> changed{}; // the byte differs from the compared image
    std::vector<int> partColour;           // the colour of each part
    int changedCount = 0;
};

// The grid of `image`; with `compared`, the bytes that differ from it are marked.
HexGrid MakeHexGrid(const EdidImage& image, const EdidImage* compared = nullptr);

// One line of the list of parts: "0x36   18  Detailed Timing Descriptor" (offset in hex, length in
// bytes, name).
std::string PartLine(const BlockPart& part);

// The bytes of the blocks `image` announces: the base block alone (128) when byte 126 counts no
// extension, else both blocks (256). What edid-decode is given, so that it judges no block the
// EDID does not have.
std::size_t AnnouncedBytes(const EdidImage& image);

// The decoded fields of a part, "name: value" one a line; the part's bytes in hex first.
std::string FieldsText(const EdidImage& image, const BlockPart& part);

} // namespace tavo
