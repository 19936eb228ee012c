// The check's view of an EDID: its blocks, the base block's map and the first CTA-861 extension.
#include <algorithm>

#include "edid/CheckModel.h"

namespace tavo::check {
namespace {

std::uint32_t OuiAt(const Model& m, int p) {
    return std::uint32_t(m.At(p + 2)) << 16 | std::uint32_t(m.At(p + 1)) << 8 | m.At(p);
}

void MapCta(Model& m) {
    const int x = m.cta;
    const int dtdStart = m.At(x + 2);
    const int end = std::min(dtdStart, 127);
    if (m.At(x + 1) >= 3 && dtdStart >= 4)
        for (int p = x + 4; p < x + end;) {
            CtaBlock b;
            b.offset = p;
            b.tag = m.At(p) >> 5;
            b.length = m.At(p) & 0x1F;
            if (p + 1 + b.length > x + end) break;
            if (b.tag == 7 && b.length >= 1) b.extendedTag = m.At(p + 1);
            if (b.tag == 3 && b.length >= 3) b.oui = OuiAt(m, p + 1);
            m.ctaBlocks.push_back(b);
            p += 1 + b.length;
        }
    if (dtdStart < 4) return;
    for (int p = x + dtdStart; p + 18 <= x + 127; p += 18) {
        if (std::all_of(m.bytes.begin() + p, m.bytes.begin() + p + 18,
                        [](std::uint8_t v) { return v == 0; }))
            break;
        if (m.At(p) || m.At(p + 1)) m.dtds.push_back(p);
    }
}

} // namespace

const CtaBlock* Model::FindBlock(int tag, int extendedTag, std::uint32_t oui) const {
    for (const CtaBlock& b : ctaBlocks)
        if (b.tag == tag && (extendedTag < 0 || b.extendedTag == extendedTag) &&
            (oui == 0 || b.oui == oui))
            return &b;
    return nullptr;
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
    for (int b = 1; b < m.blocks; ++b)
        if (m.At(b * 128) == 0x02) {
            m.cta = b * 128;
            MapCta(m);
            for (const CtaBlock& v : m.ctaBlocks)
                if (v.tag == 2)
                    for (int i = 1; i <= v.length; ++i) {
                        const int vic = m.At(v.offset + i);
                        m.vics.push_back(vic >= 129 && vic <= 192 ? vic & 0x7F : vic);
                    }
            break;
        }
    for (int b = 1; b < m.blocks; ++b)
        if (m.At(b * 128) == 0x70) { // a DisplayID extension: walk the blocks for its timings
            m.displayId = ReadDisplayIdTimings(m.bytes, ReadEdidBlocks(m.bytes));
            break;
        }
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
        f.part = "Block " + std::to_string(offset / 128);
        f.offset = offset / 128 * 128;
        f.length = 128;
    } else {
        f.part = "EDID";
    }
    out.push_back(std::move(f));
}

} // namespace tavo::check
