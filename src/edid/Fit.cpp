#include "edid/Fit.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "edid/BlockMap.h"
#include "edid/EdidBlocks.h"

namespace tavo {
namespace {

constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

void FixChecksum(EdidImage& image, int block) {
    unsigned sum = 0;
    for (int i = block * 128; i < block * 128 + 127; ++i)
        sum += image[static_cast<std::size_t>(i)];
    image[static_cast<std::size_t>(block * 128 + 127)] = static_cast<std::uint8_t>(-sum & 0xFF);
}

std::string FieldValue(const std::vector<PartField>& fields, std::string_view name) {
    for (const auto& f : fields)
        if (f.name == name) return f.value;
    return {};
}

// The main content of one DisplayID data block, or "" for one not worth naming on its own.
std::string DisplayIdContent(std::span<const std::uint8_t> bytes, const BlockPart& part) {
    const auto fields = PartFields(bytes, part);
    switch (part.tag) {
    case 0x12:
    case 0x28:
        return "tiled display " + FieldValue(fields, "tiles");
    case 0x2B:
        return "adaptive sync " + FieldValue(fields, "VRR range");
    case 0x00:
    case 0x20: {
        const std::string name = FieldValue(fields, "name");
        return name.empty() ? std::string() : "product " + name;
    }
    default: {
        std::string timings;
        for (const auto& f : fields) {
            if (!f.name.starts_with("timing ")) continue;
            std::string v = f.value;
            if (const auto at = v.find(" (preferred)"); at != std::string::npos) v.erase(at);
            timings += (timings.empty() ? "" : ", ") + v;
        }
        return timings;
    }
    }
}

} // namespace

std::string DescribeBlock(std::span<const std::uint8_t> bytes, int index) {
    const EdidBlocks e = ReadEdidBlocks(bytes);
    if (index < 0 || index >= static_cast<int>(e.blocks.size())) return {};
    const EdidBlock& blk = e.blocks[static_cast<std::size_t>(index)];
    const std::string head = std::string(blk.kind == BlockKind::Other
                                             ? ExtensionBlockName(blk.tag)
                                             : std::string(BlockKindName(blk.kind)) + " block") +
                             " " + std::to_string(index);
    if (!blk.complete()) return head + ": incomplete, " + std::to_string(blk.length) + " bytes";
    const BlockMap map = MapEdid(bytes.first(std::min<std::size_t>(bytes.size(), e.size)));
    std::vector<std::string> items;
    for (const auto& p : map) {
        if (p.offset < blk.offset || p.offset >= blk.offset + 128) continue;
        if (blk.kind == BlockKind::DisplayId && p.kind == PartKind::DisplayIdDataBlock) {
            std::string c = DisplayIdContent(bytes, p);
            if (!c.empty()) items.push_back(std::move(c));
        } else if (blk.kind == BlockKind::Cta &&
                   (p.IsDataBlock() || p.kind == PartKind::DetailedTiming)) {
            items.push_back(p.name);
        }
    }
    if (!blk.announced) items.insert(items.begin(), "not announced");
    std::string out = head;
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i == 0 ? ": " : ", ") + items[i];
    if (items.empty() && blk.kind != BlockKind::Other) out += ": no data blocks";
    return out;
}

FitOutcome FitEdid(std::span<const std::uint8_t> bytes) {
    FitOutcome out;
    const EdidBlocks e = ReadEdidBlocks(bytes);
    if (e.blocks.empty() || !e.blocks[0].complete() ||
        std::memcmp(bytes.data(), kHeader, sizeof kHeader) != 0) {
        out.result = FitResult::NoBase;
        return out;
    }
    if (e.size <= kEdidSize) {
        out.result = FitResult::AlreadyFits;
        return out;
    }
    const EdidBlock* cta = e.FirstCta();
    if (cta == nullptr) {
        out.result = FitResult::NoCta;
        return out;
    }
    std::copy_n(bytes.begin(), 128, out.image.begin());
    std::copy_n(bytes.begin() + cta->offset, 128, out.image.begin() + 128);
    out.image[126] = 1;
    FixChecksum(out.image, 0);
    FixChecksum(out.image, 1);
    for (const auto& blk : e.blocks)
        if (blk.index != 0 && blk.index != cta->index)
            out.dropped.push_back(DescribeBlock(bytes, blk.index));
    out.result = FitResult::Fitted;
    return out;
}

} // namespace tavo

namespace tavo {

bool FirstTwoBlocks(std::span<const std::uint8_t> bytes, EdidImage& image) {
    const EdidBlocks e = ReadEdidBlocks(bytes);
    if (e.announced <= 2 || bytes.size() <= kEdidSize) return false;
    // the blocks fitting keeps (FitEdid), without describing the ones it drops: this runs for
    // every analysis of a larger EDID
    static constexpr std::uint8_t kHeader[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    const EdidBlock* cta = e.FirstCta();
    if (!e.blocks[0].complete() || cta == nullptr || !cta->complete() ||
        !std::equal(kHeader, kHeader + 8, bytes.begin()))
        return false;
    std::copy_n(bytes.begin(), 128, image.begin());
    std::copy_n(bytes.begin() + cta->offset, 128, image.begin() + 128);
    // one extension now; the checksums stay as the EDID has them (block 0 sums as before)
    image[127] = static_cast<std::uint8_t>(image[127] + image[126] - 1);
    image[126] = 1;
    return true;
}

bool ImageOfLargerEdid(std::span<const std::uint8_t> bytes, EdidImage& image) {
    if (FirstTwoBlocks(bytes, image)) return true;
    static constexpr std::uint8_t kHeader[8] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    if (bytes.size() <= kEdidSize || !std::equal(kHeader, kHeader + 8, bytes.begin())) return false;
    const EdidBlocks e = ReadEdidBlocks(bytes);
    if (e.announced <= 2 || e.FirstCta() != nullptr) return false;
    image = ImageFromBytes(bytes.data(), kEdidSize / 2);
    // no extension now; the base block sums as before
    image[127] = static_cast<std::uint8_t>(image[127] + image[126]);
    image[126] = 0;
    return true;
}

} // namespace tavo
