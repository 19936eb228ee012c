#include "edid/EdidBlocks.h"

#include <algorithm>

namespace tavo {
namespace {

constexpr int kCtaTag = 0x02;
constexpr int kDisplayIdTag = 0x70;
constexpr int kBlockMapTag = 0xF0;
constexpr int kOverrideExtendedTag = 0x78;
constexpr int kCtaInDisplayIdTag = 0x81;

BlockKind KindOf(int tag) {
    switch (tag) {
    case kCtaTag:
        return BlockKind::Cta;
    case kDisplayIdTag:
        return BlockKind::DisplayId;
    case kBlockMapTag:
        return BlockKind::BlockMap;
    default:
        return BlockKind::Other;
    }
}

// A CTA-861 block's byte 2 (d) says where its detailed timings start: 0 means neither data blocks
// nor detailed timings, 4 means no data blocks, 1..3 cannot be (treated as 0); above 127 the
// collection runs to the checksum and leaves no room for detailed timings.
void WalkCta(std::span<const std::uint8_t> b, EdidBlock& blk) {
    const int base = blk.offset;
    const int d = b[base + 2];
    blk.dtdOffset = d;
    const bool hasCollection = d >= 4;
    const int end = hasCollection ? base + std::min(d, 127) : base + 4;
    blk.collectionEnd = end;
    WalkCtaCollection(b, base + 4, end, blk.dataBlocks);
    int p = end;
    if (hasCollection && d <= 127) {
        while (p + 18 <= base + 127 && (b[p] != 0 || b[p + 1] != 0)) {
            blk.detailedTimings.push_back(p);
            p += 18;
        }
    }
    blk.paddingOffset = p;
    blk.paddingLength = base + 127 - p;
}

// The section takes bytes 1..126 of the block: version, payload length, product type, extension
// count, the payload, then its own checksum over the section. A payload declared longer than the
// block allows ends at byte 125 so that the section checksum still lies inside the block.
void WalkDisplayId(std::span<const std::uint8_t> b, EdidBlock& blk) {
    DisplayIdSection& s = blk.section;
    const int o = blk.offset + 1;
    s.offset = o;
    s.version = b[o];
    s.bytes = b[o + 1];
    s.productType = b[o + 2];
    s.extensionCount = b[o + 3];
    const int limit = blk.offset + 126; // the last place the section checksum may take
    int end = o + 4 + s.bytes;
    s.lengthCut = end > limit;
    end = std::min(end, limit);
    int p = o + 4;
    while (p < end) {
        // Zero bytes to the payload's end are filler, not data blocks.
        if (std::all_of(b.begin() + p, b.begin() + end, [](std::uint8_t v) { return v == 0; })) {
            s.fillerOffset = p;
            s.fillerLength = end - p;
            p = end;
            break;
        }
        DisplayIdDataBlock db;
        db.offset = p;
        db.tag = b[p];
        db.revision = p + 1 < end ? b[p + 1] : 0;
        db.payloadLength = p + 2 < end ? b[p + 2] : 0;
        const int length = 3 + db.payloadLength;
        db.broken = p + 3 > end || p + length > end;
        db.length = db.broken ? end - p : length;
        if (db.tag == kCtaInDisplayIdTag && !db.broken)
            WalkCtaCollection(b, p + 3, p + db.length, db.cta);
        p += db.length;
        s.dataBlocks.push_back(std::move(db));
    }
    s.checksumOffset = end;
    unsigned sum = 0;
    for (int i = o; i <= end; ++i)
        sum += b[i];
    s.checksumOk = (sum & 0xFF) == 0;
    blk.hasSection = true;
}

} // namespace

void WalkCtaCollection(std::span<const std::uint8_t> b, int from, int end,
                       std::vector<CtaDataBlock>& out) {
    end = std::min(end, static_cast<int>(b.size()));
    int p = from;
    while (p < end) {
        CtaDataBlock db;
        db.offset = p;
        db.tag = b[p] >> 5;
        const int length = (b[p] & 0x1F) + 1;
        if (db.tag == 7 && p + 1 < end && length > 1) db.extendedTag = b[p + 1];
        db.broken = p + length > end;
        db.length = db.broken ? end - p : length;
        p += db.length;
        out.push_back(db);
    }
}

std::string_view BlockKindName(BlockKind kind) {
    switch (kind) {
    case BlockKind::Base:
        return "base";
    case BlockKind::Cta:
        return "CTA-861";
    case BlockKind::DisplayId:
        return "DisplayID";
    case BlockKind::BlockMap:
        return "block map";
    case BlockKind::Other:
        return "other";
    }
    return "other";
}

const EdidBlock* EdidBlocks::FirstCta() const {
    for (const auto& blk : blocks)
        if (blk.kind == BlockKind::Cta && blk.complete()) return &blk;
    return nullptr;
}

const EdidBlock* EdidBlocks::FirstAnnouncedCta() const {
    for (const auto& blk : blocks)
        if (blk.announced && blk.kind == BlockKind::Cta && blk.complete()) return &blk;
    return nullptr;
}

int OverrideCount(std::span<const std::uint8_t> bytes, const EdidBlock& block) {
    for (const auto& db : block.dataBlocks) {
        if (db.broken || db.extendedTag != kOverrideExtendedTag || db.length < 3) continue;
        return bytes[db.offset + 2];
    }
    return -1;
}

EdidBlocks ReadEdidBlocks(std::span<const std::uint8_t> bytes) {
    EdidBlocks out;
    const auto b = bytes.first(std::min(bytes.size(), kMaxEdidBytes));
    out.size = b.size();
    const int count = static_cast<int>((b.size() + kEdidBlockSize - 1) /
                                       static_cast<std::size_t>(kEdidBlockSize));
    out.blocks.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        EdidBlock blk;
        blk.index = i;
        blk.offset = i * kEdidBlockSize;
        blk.length = std::min(kEdidBlockSize, static_cast<int>(b.size()) - blk.offset);
        blk.kind = i == 0 ? BlockKind::Base : KindOf(b[blk.offset]);
        blk.tag = i == 0 ? -1 : b[blk.offset];
        if (blk.complete()) {
            unsigned sum = 0;
            for (int k = 0; k < kEdidBlockSize; ++k)
                sum += b[blk.offset + k];
            blk.checksumOk = (sum & 0xFF) == 0;
            if (blk.kind == BlockKind::Cta) WalkCta(b, blk);
            if (blk.kind == BlockKind::DisplayId) WalkDisplayId(b, blk);
        }
        out.blocks.push_back(std::move(blk));
    }
    if (b.size() > 126) out.announced = 1 + b[126];
    // The override block counts only in block 1, and only when that block is CTA-861.
    if (out.blocks.size() > 1 && out.blocks[1].kind == BlockKind::Cta && out.blocks[1].complete()) {
        const int n = OverrideCount(b, out.blocks[1]);
        if (n > 0) {
            out.announced = std::min(1 + n, kMaxEdidBlocks);
            out.fromOverride = true;
        }
    }
    for (auto& blk : out.blocks)
        blk.announced = blk.index < out.announced;
    return out;
}

} // namespace tavo
