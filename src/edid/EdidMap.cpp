// The block map of an EDID of any size, over the one walk of EdidBlocks.h.
#include <algorithm>
#include <cstdio>

#include "edid/BlockMap.h"
#include "edid/EdidBlocks.h"

namespace tavo {
namespace {

constexpr int kCtaInDisplayIdTag = 0x81;

std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02x", v & 0xFFu);
    return buf;
}

void Add(BlockMap& map, int offset, int length, PartKind kind, std::string name, int tag = -1,
         int extendedTag = -1) {
    if (length <= 0) return;
    BlockPart part;
    part.offset = offset;
    part.length = length;
    part.kind = kind;
    part.name = std::move(name);
    part.tag = tag;
    part.extendedTag = extendedTag;
    map.push_back(std::move(part));
}

void AddCtaDataBlocks(std::span<const std::uint8_t> b, const std::vector<CtaDataBlock>& blocks,
                      int end, BlockMap& map) {
    for (const auto& db : blocks) {
        if (db.broken)
            Add(map, db.offset, db.length, PartKind::BrokenDataBlock,
                CtaDataBlockName(b, db.offset, end) + " (runs past its collection)", db.tag,
                db.extendedTag);
        else
            Add(map, db.offset, db.length, PartKind::DataBlock,
                CtaDataBlockName(b, db.offset, db.offset + db.length), db.tag, db.extendedTag);
    }
}

void MapCta(std::span<const std::uint8_t> b, const EdidBlock& blk, BlockMap& map) {
    Add(map, blk.offset, 4, PartKind::CtaHeader, "CTA-861 Extension Header");
    AddCtaDataBlocks(b, blk.dataBlocks, blk.collectionEnd, map);
    for (int t : blk.detailedTimings)
        Add(map, t, 18, PartKind::DetailedTiming, "Detailed Timing Descriptor");
    Add(map, blk.paddingOffset, blk.paddingLength, PartKind::Padding, "Padding");
}

void MapDisplayId(std::span<const std::uint8_t> b, const EdidBlock& blk, BlockMap& map) {
    const DisplayIdSection& s = blk.section;
    Add(map, blk.offset, 5, PartKind::DisplayIdHeader, "DisplayID Section Header");
    for (const auto& db : s.dataBlocks) {
        std::string name = DisplayIdDataBlockName(db.tag);
        if (db.broken) {
            Add(map, db.offset, db.length, PartKind::BrokenDisplayIdDataBlock,
                name + " (runs past its section)", db.tag);
        } else if (db.tag == kCtaInDisplayIdTag) {
            // edid-decode lists the CTA-861 data blocks it carries after it, one by one
            Add(map, db.offset, 3, PartKind::DisplayIdDataBlock, std::move(name), db.tag);
            AddCtaDataBlocks(b, db.cta, db.offset + db.length, map);
        } else {
            if ((db.tag == 0x7e || db.tag == 0x7f) && db.payloadLength >= 3) {
                // the OUI names a known owner; stored either way round in the EDIDs around
                for (const bool lsbFirst : {true, false}) {
                    const int first = lsbFirst ? 5 : 3, last = lsbFirst ? 3 : 5;
                    char oui[16];
                    std::snprintf(oui, sizeof oui, "%02X-%02X-%02X", b[db.offset + first],
                                  b[db.offset + 4], b[db.offset + last]);
                    if (const auto owner = OuiOwnerName(oui); !owner.empty()) {
                        name += " (" + std::string(owner) + ")";
                        break;
                    }
                }
            }
            Add(map, db.offset, db.length, PartKind::DisplayIdDataBlock, std::move(name), db.tag);
        }
    }
    Add(map, s.fillerOffset, s.fillerLength, PartKind::Padding, "Filler");
    Add(map, s.checksumOffset, 1, PartKind::DisplayIdChecksum, "DisplayID Section Checksum");
    Add(map, s.checksumOffset + 1, blk.offset + 127 - (s.checksumOffset + 1), PartKind::Padding,
        "Padding");
}

} // namespace

std::string DisplayIdDataBlockName(int tag) {
    switch (tag) {
    // DisplayID 1.3
    case 0x00:
        return "Product Identification Data Block (" + Hex2(tag) + ")";
    case 0x01:
        return "Display Parameters Data Block (" + Hex2(tag) + ")";
    case 0x02:
        return "Color Characteristics Data Block";
    case 0x03:
        return "Video Timing Modes Type 1 - Detailed Timings Data Block";
    case 0x04:
        return "Video Timing Modes Type 2 - Detailed Timings Data Block";
    case 0x05:
        return "Video Timing Modes Type 3 - Short Timings Data Block";
    case 0x06:
        return "Video Timing Modes Type 4 - DMT Timings Data Block";
    case 0x07:
        return "Supported Timing Modes Type 1 - VESA DMT Timings Data Block";
    case 0x08:
        return "Supported Timing Modes Type 2 - CTA-861 Timings Data Block";
    case 0x09:
        return "Video Timing Range Data Block";
    case 0x0a:
        return "Product Serial Number Data Block";
    case 0x0b:
        return "GP ASCII String Data Block";
    case 0x0c:
        return "Display Device Data Data Block";
    case 0x0d:
        return "Interface Power Sequencing Data Block";
    case 0x0e:
        return "Transfer Characteristics Data Block";
    case 0x0f:
        return "Display Interface Data Block";
    case 0x10:
        return "Stereo Display Interface Data Block (" + Hex2(tag) + ")";
    case 0x11:
        return "Video Timing Modes Type 5 - Short Timings Data Block";
    case 0x12:
        return "Tiled Display Topology Data Block (" + Hex2(tag) + ")";
    case 0x13:
        return "Video Timing Modes Type 6 - Detailed Timings Data Block";
    case 0x7f:
        return "Vendor-Specific Data Block (" + Hex2(tag) + ")";
    // DisplayID 2.0
    case 0x20:
        return "Product Identification Data Block (" + Hex2(tag) + ")";
    case 0x21:
        return "Display Parameters Data Block (" + Hex2(tag) + ")";
    case 0x22:
        return "Video Timing Modes Type 7 - Detailed Timings Data Block";
    case 0x23:
        return "Video Timing Modes Type 8 - Enumerated Timing Codes Data Block";
    case 0x24:
        return "Video Timing Modes Type 9 - Formula-based Timings Data Block";
    case 0x25:
        return "Dynamic Video Timing Range Limits Data Block";
    case 0x26:
        return "Display Interface Features Data Block";
    case 0x27:
        return "Stereo Display Interface Data Block (" + Hex2(tag) + ")";
    case 0x28:
        return "Tiled Display Topology Data Block (" + Hex2(tag) + ")";
    case 0x29:
        return "ContainerID Data Block";
    case 0x2a:
        return "Video Timing Modes Type 10 - Formula-based Timings Data Block";
    case 0x2b:
        return "Adaptive Sync Data Block";
    case 0x7e:
        return "Vendor-Specific Data Block (" + Hex2(tag) + ")";
    case 0x81:
        return "CTA-861 DisplayID Data Block";
    default:
        return "Unknown DisplayID Data Block (" + Hex2(tag) + ")";
    }
}

BlockMap MapEdid(std::span<const std::uint8_t> bytes) {
    const EdidBlocks e = ReadEdidBlocks(bytes);
    const auto b = bytes.first(e.size);
    BlockMap map;
    map.reserve(40 * e.blocks.size());
    for (const auto& blk : e.blocks) {
        if (!blk.complete()) {
            Add(map, blk.offset, blk.length, PartKind::Incomplete,
                "Incomplete Block (" + std::to_string(blk.length) + " bytes)");
            continue;
        }
        if (blk.index == 0) {
            // the base block as MapBlocks reads it: its parts never look past byte 127
            const BlockMap base =
                MapBlocks(ImageFromBytes(b.data(), std::min<std::size_t>(b.size(), 128)));
            for (const auto& p : base)
                if (p.offset < kEdidBlockSize) map.push_back(p);
            continue;
        }
        if (!blk.announced) {
            Add(map, blk.offset, 128, PartKind::Unused,
                "Not Announced by the Extension Block Count");
            continue;
        }
        switch (blk.kind) {
        case BlockKind::Cta:
            MapCta(b, blk, map);
            break;
        case BlockKind::DisplayId:
            MapDisplayId(b, blk, map);
            break;
        case BlockKind::BlockMap:
            Add(map, blk.offset, 127, PartKind::BlockMapBlock, ExtensionBlockName(blk.tag));
            break;
        case BlockKind::Base:
        case BlockKind::Other:
            Add(map, blk.offset, 128, PartKind::Extension, ExtensionBlockName(blk.tag));
            continue; // its checksum is inside the part
        }
        Add(map, blk.offset + 127, 1, PartKind::Checksum, "Checksum");
    }
    return map;
}

} // namespace tavo
