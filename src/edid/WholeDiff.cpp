#include "edid/WholeDiff.h"

#include <algorithm>

#include "edid/BlockMap.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"

namespace tavo {
namespace {

constexpr std::string_view kArrow = " \xE2\x86\x92 "; // " → "

// The first 256 bytes as the image DiffImages reads; with `baseOnly` bytes 128.. read as 0xFF in
// both, so that block 1 is left to the per-block comparison.
EdidImage Head(std::span<const std::uint8_t> bytes, bool baseOnly) {
    return ImageFromBytes(bytes.data(), std::min<std::size_t>(bytes.size(), baseOnly ? 128 : 256));
}

struct BlockParts {
    std::vector<const BlockPart*> parts; // the named parts of one block, padding and checksum aside
    std::vector<int> occurrence;         // how many parts of the same name came before, from 1
};

BlockParts PartsOf(const BlockMap& map, const EdidBlock& blk) {
    BlockParts out;
    for (const auto& p : map) {
        if (p.offset < blk.offset || p.offset >= blk.offset + blk.length) continue;
        if (p.kind == PartKind::Padding || p.kind == PartKind::Checksum ||
            p.kind == PartKind::DisplayIdChecksum)
            continue; // follow from the other parts
        int n = 1;
        for (const auto* q : out.parts)
            n += q->name == p.name;
        out.parts.push_back(&p);
        out.occurrence.push_back(n);
    }
    return out;
}

std::string BlockLabel(const EdidBlock& blk) {
    return (blk.kind == BlockKind::Other ? ExtensionBlockName(blk.tag)
                                         : std::string(BlockKindName(blk.kind)) + " block") +
           " " + std::to_string(blk.index);
}

void CompareBlock(std::span<const std::uint8_t> a, const BlockMap& ma, const EdidBlock& ba,
                  std::span<const std::uint8_t> b, const BlockMap& mb, const EdidBlock& bb,
                  std::vector<Difference>& out) {
    const std::string label = BlockLabel(bb);
    if (ba.kind != bb.kind || ba.complete() != bb.complete()) {
        out.push_back(
            {"Block " + std::to_string(ba.index), "changed",
             DescribeBlock(a, ba.index) + std::string(kArrow) + DescribeBlock(b, bb.index)});
        return;
    }
    const BlockParts pa = PartsOf(ma, ba), pb = PartsOf(mb, bb);
    std::vector<bool> matched(pb.parts.size(), false);
    for (std::size_t i = 0; i < pa.parts.size(); ++i) {
        const BlockPart& x = *pa.parts[i];
        std::size_t j = 0;
        while (j < pb.parts.size() &&
               (pb.parts[j]->name != x.name || pb.occurrence[j] != pa.occurrence[i]))
            ++j;
        const std::string part = label + ": " + x.name;
        if (j == pb.parts.size()) {
            out.push_back({part, "removed", {}});
            continue;
        }
        matched[j] = true;
        const BlockPart& y = *pb.parts[j];
        if (x.length == y.length &&
            std::equal(a.begin() + x.offset, a.begin() + x.end(), b.begin() + y.offset))
            continue;
        const auto fa = PartFields(a, x), fb = PartFields(b, y);
        bool named = false;
        for (const auto& f : fa) {
            const auto g = std::find_if(fb.begin(), fb.end(),
                                        [&](const PartField& h) { return h.name == f.name; });
            if (g == fb.end()) {
                out.push_back({part, f.name + " removed", f.value});
                named = true;
            } else if (g->value != f.value) {
                out.push_back({part, f.name, f.value + std::string(kArrow) + g->value});
                named = true;
            }
        }
        for (const auto& g : fb)
            if (std::none_of(fa.begin(), fa.end(),
                             [&](const PartField& f) { return f.name == g.name; })) {
                out.push_back({part, g.name + " added", g.value});
                named = true;
            }
        if (!named) out.push_back({part, "bytes differ", {}});
    }
    for (std::size_t j = 0; j < pb.parts.size(); ++j)
        if (!matched[j]) out.push_back({label + ": " + pb.parts[j]->name, "added", {}});
}

} // namespace

Difference BlockDifference(std::span<const std::uint8_t> bytes, int index, std::string_view what) {
    const std::string described = DescribeBlock(bytes, index);
    const auto colon = described.find(": ");
    return {described.substr(0, colon), std::string(what),
            colon == std::string::npos ? std::string() : described.substr(colon + 2)};
}

std::vector<Difference> DiffEdids(std::span<const std::uint8_t> a,
                                  std::span<const std::uint8_t> b) {
    if (a.size() <= kEdidSize && b.size() <= kEdidSize)
        return DiffImages(ImageFromBytes(a.data(), a.size()), ImageFromBytes(b.data(), b.size()));
    const EdidBlocks ea = ReadEdidBlocks(a), eb = ReadEdidBlocks(b);
    a = a.first(ea.size);
    b = b.first(eb.size);
    auto ctaOrNone = [](const EdidBlocks& e) {
        return e.blocks.size() < 2 || e.blocks[1].kind == BlockKind::Cta;
    };
    // block 1 goes with the base block when it is CTA-861 in both: DiffImages knows it best
    const bool headTwo = ctaOrNone(ea) && ctaOrNone(eb);
    std::vector<Difference> out = DiffImages(Head(a, !headTwo), Head(b, !headTwo));
    const BlockMap ma = MapEdid(a), mb = MapEdid(b);
    const std::size_t from = headTwo ? 2 : 1;
    const std::size_t count = std::max(ea.blocks.size(), eb.blocks.size());
    for (std::size_t k = from; k < count; ++k) {
        const bool inA = k < ea.blocks.size(), inB = k < eb.blocks.size();
        if (inA && inB) {
            CompareBlock(a, ma, ea.blocks[k], b, mb, eb.blocks[k], out);
            continue;
        }
        out.push_back(BlockDifference(inA ? a : b, static_cast<int>(k), inA ? "removed" : "added"));
    }
    // the bytes past the blocks both hold, should they differ only there
    if (out.empty() && !std::equal(a.begin(), a.end(), b.begin(), b.end()))
        out.push_back({"EDID", "bytes differ", {}});
    return out;
}

} // namespace tavo
