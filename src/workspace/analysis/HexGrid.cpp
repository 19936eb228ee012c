#include "workspace/analysis/HexGrid.h"

#include <algorithm>
#include <cstdio>

#include "edid/EdidBlocks.h"

namespace tavo {
namespace {

bool LargerThanASlot(std::span<const std::uint8_t> bytes) {
    return bytes.size() > kEdidSize;
}

} // namespace

std::vector<std::uint8_t> ShownBytes(std::span<const std::uint8_t> bytes) {
    if (LargerThanASlot(bytes))
        return {bytes.begin(),
                bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), kMaxEdidBytes))};
    const EdidImage image = ImageFromBytes(bytes.data(), bytes.size());
    return {image.begin(), image.end()};
}

HexGrid MakeHexGrid(std::span<const std::uint8_t> bytes) {
    HexGrid grid;
    grid.bytes = ShownBytes(bytes);
    const auto n = grid.bytes.size();
    grid.parts = LargerThanASlot(grid.bytes)
                     ? MapEdid(grid.bytes)
                     : MapBlocks(ImageFromBytes(grid.bytes.data(), grid.bytes.size()));
    grid.partOf.assign(n, 0);
    grid.colourOf.assign(n, kQuietColour);
    grid.changed.assign(n, false);
    grid.partColour.reserve(grid.parts.size());
    int next = 0; // the colours follow one another, so neighbouring parts never share one
    for (std::size_t i = 0; i < grid.parts.size(); ++i) {
        const BlockPart& p = grid.parts[i];
        int colour = kQuietColour;
        if (p.kind == PartKind::BrokenDataBlock)
            colour = kBrokenColour;
        else if (p.kind != PartKind::Padding && p.kind != PartKind::Unused)
            colour = next++ % kPartColourCount;
        grid.partColour.push_back(colour);
        for (int b = std::max(p.offset, 0); b < p.end() && b < static_cast<int>(n); ++b) {
            grid.partOf[static_cast<std::size_t>(b)] = static_cast<int>(i);
            grid.colourOf[static_cast<std::size_t>(b)] = colour;
        }
    }
    return grid;
}

HexGrid MakeHexGrid(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> compared) {
    HexGrid grid = MakeHexGrid(bytes);
    const std::vector<std::uint8_t> other = ShownBytes(compared);
    for (std::size_t b = 0; b < grid.bytes.size(); ++b) {
        grid.changed[b] = b >= other.size() || grid.bytes[b] != other[b];
        grid.changedCount += grid.changed[b] ? 1 : 0;
    }
    return grid;
}

HexGrid MakeHexGrid(const EdidImage& image, const EdidImage* compared) {
    return compared ? MakeHexGrid(image, std::span<const std::uint8_t>(*compared))
                    : MakeHexGrid(std::span<const std::uint8_t>(image));
}

std::string PartLine(const BlockPart& part) {
    char head[32];
    std::snprintf(head, sizeof head, "0x%02X  %3d  ", static_cast<unsigned>(part.offset) & 0xFFFFu,
                  part.length);
    return head + part.name;
}

std::string FieldsText(const HexGrid& grid, const BlockPart& part) {
    std::string out = PartLine(part) + '\n';
    char hex[4];
    for (int i = 0; i < part.length; ++i) {
        const int b = part.offset + i;
        if (b < 0 || b >= grid.size()) break;
        if (i > 0) out += i % 16 == 0 ? '\n' : ' ';
        std::snprintf(hex, sizeof hex, "%02X", grid.bytes[static_cast<std::size_t>(b)]);
        out += hex;
    }
    out += "\n\n";
    const auto fields =
        LargerThanASlot(grid.bytes)
            ? PartFields(std::span<const std::uint8_t>(grid.bytes), part)
            : PartFields(ImageFromBytes(grid.bytes.data(), grid.bytes.size()), part);
    for (const PartField& f : fields)
        out += f.name + ": " + f.value + '\n';
    return out;
}

std::string FieldsText(const EdidImage& image, const BlockPart& part) {
    return FieldsText(MakeHexGrid(std::span<const std::uint8_t>(image)), part);
}

std::size_t AnnouncedBytes(std::span<const std::uint8_t> bytes) {
    if (!LargerThanASlot(bytes))
        return bytes.size() > 126 && bytes[126] == 0 ? kEdidSize / 2 : kEdidSize;
    const EdidBlocks e = ReadEdidBlocks(bytes);
    return std::min(e.size, static_cast<std::size_t>(e.announced) * kEdidBlockSize);
}

} // namespace tavo
