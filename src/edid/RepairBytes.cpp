// The repairs' shared reading and writing of blocks, extensions and data block collections.
#include <algorithm>

#include "edid/EdidBlocks.h"
#include "edid/RepairRules.h"

namespace tavo::repair {

int BlockCount(const Bytes& edid) {
    return static_cast<int>(edid.size()) / kBlock;
}

void FixAllChecksums(Bytes& edid) {
    for (int b = 0; b < BlockCount(edid); ++b) {
        unsigned sum = 0;
        for (int i = b * kBlock; i < b * kBlock + kBlock - 1; ++i)
            sum += edid[i];
        edid[b * kBlock + kBlock - 1] = static_cast<std::uint8_t>(-sum & 0xFF);
    }
}

std::vector<int> CtaBlocks(const Bytes& edid) {
    std::vector<int> out;
    for (int b = 1; b < BlockCount(edid); ++b)
        if (edid[b * kBlock] == 0x02) out.push_back(b * kBlock);
    return out;
}

namespace {

// The collection's end (exclusive): byte 2 when it holds one, else the header's end.
int CollectionEnd(const Bytes& edid, int ext) {
    const int d = edid[ext + 2];
    return d >= 4 ? ext + std::min(d, 127) : ext + 4;
}

} // namespace

Collection ReadCollection(const Bytes& edid, int ext) {
    Collection c;
    std::vector<CtaDataBlock> walked;
    WalkCtaCollection(edid, ext + 4, CollectionEnd(edid, ext), walked);
    for (const CtaDataBlock& db : walked) {
        if (db.broken) {
            c.whole = false;
            break;
        }
        c.blocks.emplace_back(edid.begin() + db.offset, edid.begin() + db.offset + db.length);
    }
    return c;
}

int TimingsEnd(const Bytes& edid, int ext) {
    const int d = edid[ext + 2];
    int p = CollectionEnd(edid, ext);
    if (d < 4 || d > 127) return p;
    // detailed timings and display descriptors, up to 18 bytes of zeros
    while (p + 18 <= ext + 127 &&
           std::any_of(edid.begin() + p, edid.begin() + p + 18, [](auto v) { return v != 0; }))
        p += 18;
    return p;
}

std::vector<int> DescriptorSlots(const Bytes& edid) {
    std::vector<int> out;
    if (BlockCount(edid) < 1) return out;
    out.assign(std::begin(kDescriptors), std::end(kDescriptors));
    for (const int ext : CtaBlocks(edid)) {
        const int d = edid[ext + 2];
        if (d < 4 || d > 127) continue;
        for (int p = ext + d; p + 18 <= TimingsEnd(edid, ext); p += 18)
            out.push_back(p);
    }
    return out;
}

bool WriteCollection(Bytes& edid, int ext, const Collection& c) {
    if (!c.whole) return false;
    Bytes block(edid.begin() + ext, edid.begin() + ext + 4);
    for (const auto& b : c.blocks)
        block.insert(block.end(), b.begin(), b.end());
    const int newEnd = static_cast<int>(block.size());
    // what followed the collection (detailed timings, padding) follows it again
    Bytes tail(edid.begin() + CollectionEnd(edid, ext), edid.begin() + ext + 127);
    const auto room = static_cast<std::size_t>(127 - std::min(newEnd, 127));
    while (tail.size() > room && tail.back() == 0)
        tail.pop_back();
    if (newEnd > 127 || tail.size() > room) return false;
    block.insert(block.end(), tail.begin(), tail.end());
    block.resize(127, 0);
    if (edid[ext + 2] != 0 || !c.blocks.empty()) block[2] = static_cast<std::uint8_t>(newEnd);
    std::copy(block.begin(), block.end(), edid.begin() + ext);
    // the padding after the moved timings is zeros: a descriptor that no longer fits before the
    // checksum has become padding
    std::fill(edid.begin() + TimingsEnd(edid, ext), edid.begin() + ext + 127, 0);
    return true;
}

bool IsVideoBlock(const Bytes& b) {
    return (b[0] >> 5) == 2;
}
bool IsExtended(const Bytes& b, int extendedTag) {
    return (b[0] >> 5) == 7 && b.size() > 1 && b[1] == extendedTag;
}
bool IsVendor(const Bytes& b, std::uint32_t oui) {
    return (b[0] >> 5) == 3 && b.size() >= 4 &&
           (static_cast<std::uint32_t>(b[3]) << 16 | b[2] << 8 | b[1]) == oui;
}

int SvdVic(std::uint8_t svd) {
    return svd >= 129 && svd <= 192 ? svd & 0x7F : svd;
}
bool SvdNative(std::uint8_t svd) {
    return svd >= 129 && svd <= 192;
}

bool IsDisplayDescriptor(const Bytes& edid, int at) {
    return edid[at] == 0 && edid[at + 1] == 0;
}

} // namespace tavo::repair
