#include "workspace/HexGrid.h"

#include <algorithm>
#include <cstdio>

namespace tavo {

HexGrid MakeHexGrid(const EdidImage& image, const EdidImage* compared) {
    HexGrid grid;
    grid.parts = MapBlocks(image);
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
        for (int b = std::max(p.offset, 0); b < p.end() && b < static_cast<int>(kEdidSize); ++b) {
            grid.partOf[static_cast<std::size_t>(b)] = static_cast<int>(i);
            grid.colourOf[static_cast<std::size_t>(b)] = colour;
        }
    }
    if (compared) {
        for (std::size_t b = 0; b < kEdidSize; ++b) {
            grid.changed[b] = image[b] != (*compared)[b];
            grid.changedCount += grid.changed[b] ? 1 : 0;
        }
    }
    return grid;
}

std::string PartLine(const BlockPart& part) {
    char head[32];
    std::snprintf(head, sizeof head, "0x%02X  %3d  ", static_cast<unsigned>(part.offset) & 0xFFFu,
                  part.length);
    return head + part.name;
}

std::string FieldsText(const EdidImage& image, const BlockPart& part) {
    std::string out = PartLine(part) + '\n';
    char hex[4];
    for (int i = 0; i < part.length; ++i) {
        const int b = part.offset + i;
        if (b < 0 || b >= static_cast<int>(kEdidSize)) break;
        if (i > 0) out += i % 16 == 0 ? '\n' : ' ';
        std::snprintf(hex, sizeof hex, "%02X", image[static_cast<std::size_t>(b)]);
        out += hex;
    }
    out += "\n\n";
    for (const PartField& f : PartFields(image, part))
        out += f.name + ": " + f.value + '\n';
    return out;
}

std::size_t AnnouncedBytes(const EdidImage& image) {
    return image[126] == 0 ? kEdidSize / 2 : kEdidSize;
}

} // namespace tavo
