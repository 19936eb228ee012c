#pragma once
// What the hex view shows of an EDID: the part of the block map each byte belongs to, the colour
// each part is drawn in, and the bytes that differ from another EDID (the creator's build beside
// the EDID it opened). An EDID of 256 bytes or fewer is shown as the slot's image it is read into
// (256 bytes, its block map that of the image); a larger one byte for byte, every block mapped.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "edid/BlockMap.h"

namespace tavo {

// Colours of the parts: kPartColourCount colours that follow one another, and two of their own.
inline constexpr int kPartColourCount = 8;
inline constexpr int kQuietColour = kPartColourCount;      // padding and unused bytes
inline constexpr int kBrokenColour = kPartColourCount + 1; // a data block that runs past its end

struct HexGrid {
    std::vector<std::uint8_t> bytes; // the bytes shown: 256, or every byte of a larger EDID
    BlockMap parts;
    std::vector<int> partOf;     // the index in `parts` of each byte
    std::vector<int> colourOf;   // the colour of each byte's part
    std::vector<bool> changed;   // the byte differs from the compared EDID (or only one has it)
    std::vector<int> partColour; // the colour of each part
    int changedCount = 0;
    int size() const { return static_cast<int>(bytes.size()); }
};

// The bytes the hex view shows of `bytes`: 256 or fewer as the slot's image (a short input padded
// with 0xFF), more as they are.
std::vector<std::uint8_t> ShownBytes(std::span<const std::uint8_t> bytes);

// The grid of `bytes` (ShownBytes); with `compared`, the bytes that differ from it are marked.
HexGrid MakeHexGrid(std::span<const std::uint8_t> bytes);
HexGrid MakeHexGrid(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> compared);
HexGrid MakeHexGrid(const EdidImage& image, const EdidImage* compared = nullptr);

// One line of the list of parts: "0x36   18  Detailed Timing Descriptor" (offset in hex, length in
// bytes, name).
std::string PartLine(const BlockPart& part);

// The bytes of the blocks an EDID announces: of a slot's image the base block alone (128) when
// byte 126 counts no extension, else both blocks (256); of a larger EDID every announced block
// it holds. What edid-decode is given, so that it judges no block the EDID does not have.
std::size_t AnnouncedBytes(std::span<const std::uint8_t> bytes);

// The decoded fields of a part of the grid's block map, "name: value" one a line; the part's
// bytes in hex first.
std::string FieldsText(const HexGrid& grid, const BlockPart& part);
std::string FieldsText(const EdidImage& image, const BlockPart& part);

} // namespace tavo
