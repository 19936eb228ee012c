// The check's view of an EDID: its blocks, the base block's map and its CTA-861 extensions.
#include <algorithm>

#include "edid/CheckModel.h"

namespace tavo::check {
namespace {

std::uint32_t OuiAt(const Model& m, int p) {
    return std::uint32_t(m.At(p + 2)) << 16 | std::uint32_t(m.At(p + 1)) << 8 | m.At(p);
}

// A CTA-861 extension's data blocks as the walk reads them (a revision before 3 has none; a
// block whose header runs past the collection is not read), then its detailed timings.
CtaExtension ReadCta(const Model& m, const EdidBlock& blk) {
    CtaExtension x;
    x.offset = blk.offset;
    if (m.At(x.offset + 1) >= 3)
        for (const CtaDataBlock& d : blk.dataBlocks) {
            if (d.broken) break;
            CtaBlock b;
            b.offset = d.offset;
            b.tag = d.tag;
            b.length = d.length - 1;
            b.extendedTag = d.extendedTag;
            if (b.tag == 3 && b.length >= 3) b.oui = OuiAt(m, b.offset + 1);
            x.blocks.push_back(b);
            if (b.tag == 2)
                for (int i = 1; i <= b.length; ++i) {
                    const int vic = m.At(b.offset + i);
                    x.vics.push_back(vic >= 129 && vic <= 192 ? vic & 0x7F : vic);
                }
        }
    const int dtdStart = m.At(x.offset + 2);
    if (dtdStart < 4) return x;
    // an 18-byte slot of zeroes ends the detailed timings; a display descriptor is skipped
    for (int p = x.offset + dtdStart; p + 18 <= x.offset + 127; p += 18) {
        if (std::all_of(m.bytes.begin() + p, m.bytes.begin() + p + 18,
                        [](std::uint8_t v) { return v == 0; }))
            break;
        if (m.At(p) || m.At(p + 1)) x.dtds.push_back(p);
    }
    return x;
}

} // namespace

namespace {

const CtaBlock* Find(const std::vector<CtaBlock>& blocks, int tag, int extendedTag,
                     std::uint32_t oui) {
    for (const CtaBlock& b : blocks)
        if (b.tag == tag && (extendedTag < 0 || b.extendedTag == extendedTag) &&
            (oui == 0 || b.oui == oui))
            return &b;
    return nullptr;
}

} // namespace

const CtaBlock* CtaExtension::FindBlock(int tag, int extendedTag, std::uint32_t oui) const {
    return Find(blocks, tag, extendedTag, oui);
}

const CtaBlock* Model::FindBlock(int tag, int extendedTag, std::uint32_t oui) const {
    return Find(ctaBlocks, tag, extendedTag, oui);
}

int Model::RangeLimitsAt() const {
    for (int at = 54; at < 126; at += 18)
        if (At(at) == 0 && At(at + 1) == 0 && At(at + 3) == 0xFD) return at;
    return -1;
}

Model BuildModel(std::span<const std::uint8_t> bytes) {
    Model m;
    m.blocks = static_cast<int>(bytes.size() / 128);
    m.bytes = bytes.first(static_cast<std::size_t>(m.blocks) * 128);
    if (m.blocks == 0) return m;
    std::copy_n(m.bytes.begin(), std::min<std::size_t>(m.bytes.size(), kEdidSize), m.image.begin());
    if (m.blocks == 1) std::fill(m.image.begin() + 128, m.image.end(), 0);
    m.minor = m.At(18) == 1 ? m.At(19) : 0;
    for (int at = 54; at < 126; at += 18)
        if (m.At(at) || m.At(at + 1)) m.dtds.push_back(at);
    // every CTA-861 extension counts, as every DisplayID extension does
    const EdidBlocks walked = ReadEdidBlocks(m.bytes);
    bool displayId = false;
    for (const EdidBlock& blk : walked.blocks) {
        displayId = displayId || blk.kind == BlockKind::DisplayId;
        if (blk.kind != BlockKind::Cta || !blk.complete()) continue;
        CtaExtension x = ReadCta(m, blk);
        if (m.cta < 0) m.cta = x.offset;
        m.ctaBlocks.insert(m.ctaBlocks.end(), x.blocks.begin(), x.blocks.end());
        m.dtds.insert(m.dtds.end(), x.dtds.begin(), x.dtds.end());
        m.vics.insert(m.vics.end(), x.vics.begin(), x.vics.end());
        m.ctas.push_back(std::move(x));
    }
    if (displayId) m.displayId = ReadDisplayIdTimings(m.bytes, walked);
    m.timings = CollectTimings(m);
    return m;
}

void Add(std::vector<Finding>& out, const Model& m, std::string_view rule, Severity severity,
         int offset, std::string text) {
    Finding f;
    f.rule = std::string(rule);
    f.severity = severity;
    f.text = std::move(text);
    const bool mapped = offset >= 0 && offset < 256 && (offset < 128 || m.blocks > 1);
    if (mapped) {
        if (m.map.empty()) m.map = MapBlocks(m.image);
        for (const BlockPart& p : m.map)
            if (offset >= p.offset && offset < p.end()) {
                f.part = p.name;
                f.offset = p.offset;
                f.length = p.length;
                break;
            }
    } else if (offset >= 0) {
        // past the first 256 bytes: the part of the whole EDID's map, or the block
        if (offset < static_cast<int>(m.bytes.size())) {
            if (m.wholeMap.empty()) m.wholeMap = MapEdid(m.bytes);
            for (const BlockPart& p : m.wholeMap)
                if (offset >= p.offset && offset < p.end()) {
                    f.part = p.name;
                    f.offset = p.offset;
                    f.length = p.length;
                    break;
                }
        }
        if (f.part.empty()) {
            f.part = "Block " + std::to_string(offset / 128);
            f.offset = offset / 128 * 128;
            f.length = 128;
        }
    } else {
        f.part = "EDID";
    }
    out.push_back(std::move(f));
}

} // namespace tavo::check
