// The default repairs: each mends what a reader would refuse or misread, and changes nothing a
// display claims to take.
#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string>

#include "edid/EdidBlocks.h"
#include "edid/RepairRules.h"

namespace tavo::repair {
namespace {

// Applies `mend` to every data block of every CTA-861 extension that lies whole inside its
// collection, in place (a mend keeps the block's length).
template <typename Mend> Bytes MendDataBlocks(const Bytes& edid, Mend mend) {
    Bytes out = edid;
    for (const int ext : CtaBlocks(out)) {
        int at = ext + 4;
        const Collection c = ReadCollection(out, ext);
        for (auto b : c.blocks) {
            mend(b);
            std::copy(b.begin(), b.end(), out.begin() + at);
            at += static_cast<int>(b.size());
        }
    }
    return out;
}

} // namespace

// Every block's checksum, except of an erased block (all 0xFF or all 0x00 before its checksum):
// there is no block there to mend.
Bytes RepairChecksum(const Bytes& edid) {
    Bytes out = edid;
    FixAllChecksums(out);
    for (int b = 1; b < BlockCount(out); ++b) {
        const auto first = edid.begin() + b * kBlock, last = first + kBlock - 1;
        if (std::all_of(first, last, [](auto v) { return v == 0xFF; }) ||
            std::all_of(first, last, [](auto v) { return v == 0x00; }))
            out[b * kBlock + kBlock - 1] = edid[b * kBlock + kBlock - 1];
    }
    return out;
}

// A 256-byte image whose byte 126 says 0 but whose second block is a CTA-861 extension (its tag,
// revision 1-3, and a data block collection that ends where byte 2 says) announces it. Its
// checksum is not asked: the checksum repair mends that, and the repaired EDID must not hold an
// extension this repair would announce on a second run.
Bytes RepairExtensionCount(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) != 2 || out[126] != 0) return out;
    const int d = out[130];
    if (out[128] != 0x02 || out[129] < 1 || out[129] > 3 || !(d == 0 || (d >= 4 && d <= 127)))
        return out;
    // the collection ends where byte 2 says: no data block runs past it
    std::vector<CtaDataBlock> walked;
    if (d >= 4) WalkCtaCollection(out, 132, 128 + d, walked);
    if (std::none_of(walked.begin(), walked.end(), [](const CtaDataBlock& b) { return b.broken; }))
        out[126] = 1;
    return out;
}

namespace {

// Where a video code stays: its block and its byte in that block.
struct SvdRef {
    std::size_t block, byte;
};

// The capability map's bits moved with their codes: `target` gives each old code's new index
// (a removed copy: the kept copy's; -1: kept in an earlier extension). Bits past the codes index
// nothing and go.
void RemapYuv420(Bytes& b, const std::vector<int>& target) {
    Bytes map(b.size() - 2, 0);
    for (std::size_t i = 0; i < target.size() && i / 8 < map.size(); ++i)
        if (target[i] >= 0 && (b[2 + i / 8] & (1 << (i % 8))))
            map[target[i] / 8] |= static_cast<std::uint8_t>(1 << (target[i] % 8));
    std::copy(map.begin(), map.end(), b.begin() + 2);
}

// Removes repeated video codes from one collection's video data blocks, the first copy kept
// (a later copy's native flag moves to it), and the codes an earlier extension lists (`earlier`:
// code -> native there), unless this copy is native and the earlier one not, or marked 4:2:0
// capable; true when any went.
bool DedupCollection(Collection& c, const std::map<int, bool>& earlier) {
    std::map<int, SvdRef> first;
    std::map<int, int> index; // video code -> its new index
    std::vector<int> target;  // old SVD index -> new index
    int next = 0;
    // whether the 4:2:0 capability map marks the code of old index `i` (a map of only its tag:
    // every code)
    const auto marked = [&](std::size_t i) {
        for (const Bytes& b : c.blocks)
            if (IsExtended(b, kExtYuv420Map))
                return b.size() == 2 || (2 + i / 8 < b.size() && (b[2 + i / 8] & (1 << (i % 8))));
        return false;
    };
    for (std::size_t bi = 0; bi < c.blocks.size(); ++bi) {
        if (!IsVideoBlock(c.blocks[bi])) continue;
        const Bytes old = c.blocks[bi];
        Bytes& b = c.blocks[bi];
        b.resize(1);
        for (std::size_t i = 1; i < old.size(); ++i) {
            const int vic = SvdVic(old[i]);
            if (const auto e = earlier.find(vic); e != earlier.end() && vic != 0 &&
                                                  (e->second || !SvdNative(old[i])) &&
                                                  !marked(target.size())) {
                target.push_back(-1);
                continue;
            }
            if (const auto it = first.find(vic); it != first.end() && vic != 0) {
                target.push_back(index[vic]);
                std::uint8_t& keep = c.blocks[it->second.block][it->second.byte];
                if (SvdNative(old[i])) keep = old[i];
                continue;
            }
            first[vic] = {bi, b.size()};
            index[vic] = next;
            target.push_back(next++);
            b.push_back(old[i]);
        }
        b[0] = static_cast<std::uint8_t>(0x40 | (b.size() - 1));
    }
    if (next == static_cast<int>(target.size())) return false;
    for (auto& b : c.blocks)
        if (IsExtended(b, kExtYuv420Map) && b.size() > 2) RemapYuv420(b, target);
    // a video block left empty goes
    std::erase_if(c.blocks, [](const Bytes& b) { return IsVideoBlock(b) && b.size() == 1; });
    return true;
}

} // namespace

// Repeated video codes removed from the video data blocks, the first copy kept, also where the
// copies stand in two CTA-861 extensions; the YCbCr 4:2:0 capability map, which indexes the codes
// of all video data blocks in order, follows.
Bytes RepairDuplicateVic(const Bytes& edid) {
    Bytes out = edid;
    std::map<int, bool> earlier; // the codes of the extensions before, and whether native there
    for (const int ext : CtaBlocks(out)) {
        Collection c = ReadCollection(out, ext);
        if (c.whole && DedupCollection(c, earlier)) WriteCollection(out, ext, c);
        for (const Bytes& b : c.blocks)
            for (std::size_t i = 1; IsVideoBlock(b) && i < b.size(); ++i)
                earlier[SvdVic(b[i])] = earlier[SvdVic(b[i])] || SvdNative(b[i]);
    }
    return out;
}

// The colorimetry block's metadata profile bits MD0-MD3 are reserved: 0.
Bytes RepairColorimetryReserved(const Bytes& edid) {
    return MendDataBlocks(edid, [](Bytes& b) {
        if (IsExtended(b, kExtColorimetry) && b.size() > 3) b[3] &= 0xF0;
    });
}

namespace {

constexpr std::uint8_t kTagSerial = 0xFF, kTagText = 0xFE, kTagName = 0xFC, kTagDummy = 0x10;

bool Printable(std::uint8_t c) {
    return c >= 0x20 && c <= 0x7E;
}

// The visible text of a descriptor string: up to the line feed, or up to a non-printable
// character that only padding (NUL, line feed, space) follows. nullopt when a non-printable
// character stands inside the text: that cannot be mended without changing what it says.
std::optional<std::string> VisibleText(const std::uint8_t* s) {
    int e = 0;
    while (e < 13 && Printable(s[e]))
        ++e;
    if (e < 13 && s[e] != 0x0A)
        for (int i = e; i < 13; ++i)
            if (s[i] != 0x00 && s[i] != 0x0A && s[i] != 0x20) return std::nullopt;
    std::string text(s, s + e);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

void PutDummy(Bytes& edid, int at) {
    std::fill_n(edid.begin() + at, 18, 0);
    edid[at + 3] = kTagDummy;
}

bool OtherNameHasText(const Bytes& edid, int self) {
    for (const int at : DescriptorSlots(edid)) {
        if (at == self || !IsDisplayDescriptor(edid, at) || edid[at + 3] != kTagName) continue;
        const auto text = VisibleText(&edid[at + 5]);
        if (!text || !text->empty()) return true;
    }
    return false;
}

} // namespace

// Name, serial and text descriptors: the text ends at a line feed, spaces pad the rest; trailing
// spaces go. A string left empty becomes the dummy descriptor (a name only when another name
// remains).
Bytes RepairDescriptorText(const Bytes& edid) {
    Bytes out = edid;
    for (const int at : DescriptorSlots(out)) {
        const std::uint8_t tag = out[at + 3];
        if (!IsDisplayDescriptor(out, at) || out[at + 2] != 0 ||
            (tag != kTagSerial && tag != kTagText && tag != kTagName))
            continue;
        const auto text = VisibleText(&out[at + 5]);
        if (!text) continue;
        if (text->empty()) {
            if (tag != kTagName || OtherNameHasText(out, at)) PutDummy(out, at);
            continue;
        }
        std::array<std::uint8_t, 13> s;
        s.fill(0x20);
        std::copy(text->begin(), text->end(), s.begin());
        if (text->size() < 13) s[text->size()] = 0x0A;
        std::copy(s.begin(), s.end(), out.begin() + at + 5);
    }
    return out;
}

// An all-zero 18-byte descriptor becomes the dummy descriptor (tag 0x10).
Bytes RepairEmptyDescriptor(const Bytes& edid) {
    Bytes out = edid;
    if (BlockCount(out) < 1) return out;
    for (const int at : kDescriptors)
        if (std::all_of(out.begin() + at, out.begin() + at + 18, [](auto v) { return v == 0; }))
            PutDummy(out, at);
    return out;
}

// The extension's bytes after its detailed timings, up to the checksum, are 0.
Bytes RepairPadding(const Bytes& edid) {
    Bytes out = edid;
    for (const int ext : CtaBlocks(out))
        std::fill(out.begin() + TimingsEnd(out, ext), out.begin() + ext + 127, 0);
    return out;
}

// The HDMI block's Max_TMDS_Clock (byte 7, 5 MHz units) above 340 MHz is 340 MHz.
Bytes RepairHdmiTmds(const Bytes& edid) {
    return MendDataBlocks(edid, [](Bytes& b) {
        if (IsVendor(b, kOuiHdmi) && b.size() > 7 && b[7] > 68) b[7] = 68;
    });
}

// The HDMI Forum block's Max_TMDS_Character_Rate (byte 5, 5 MHz units) is 0 (nothing above
// 340 MHz) or 345-600 MHz: 5-340 MHz becomes 0, above 600 MHz becomes 600 MHz.
Bytes RepairHfTmds(const Bytes& edid) {
    return MendDataBlocks(edid, [](Bytes& b) {
        if (!IsVendor(b, kOuiHdmiForum) || b.size() <= 5) return;
        if (b[5] > 0 && b[5] <= 68) b[5] = 0;
        if (b[5] > 120) b[5] = 120;
    });
}

} // namespace tavo::repair
