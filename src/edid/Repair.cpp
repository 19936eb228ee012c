// The repair driver: the rules' repairs in their order, each one's changes in the semantic
// diff's terms, the check's findings before and after.
#include "edid/Repair.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "edid/EdidBlocks.h"
#include "edid/RepairRules.h"
#include "edid/WholeDiff.h"

namespace tavo {
namespace {

using repair::Bytes;
using repair::kBlock;

constexpr repair::RepairRule kRules[] = {
    {"extension-count", true, &repair::RepairExtensionCount},
    {"checksum", true, &repair::RepairChecksum},
    {"duplicate-vic", true, &repair::RepairDuplicateVic},
    {"colorimetry-reserved", true, &repair::RepairColorimetryReserved},
    {"descriptor-text", true, &repair::RepairDescriptorText},
    {"empty-descriptor", true, &repair::RepairEmptyDescriptor},
    {"padding", true, &repair::RepairPadding},
    {"hdmi-tmds", true, &repair::RepairHdmiTmds},
    {"hf-tmds", true, &repair::RepairHfTmds},
    {"native-timings", false, &repair::RepairNativeTimings},
    {"missing-vcdb", false, &repair::RepairMissingVcdb},
    {"serial-number", false, &repair::RepairSerialNumber},
    {"image-size", false, &repair::RepairImageSize},
    // before the range limits: the version decides how their timings read
    {"hdmi-version", false, &repair::RepairHdmiVersion},
    // last: the timings it must hold are those the other repairs leave
    {"range-limits", false, &repair::RepairRangeLimits},
};

int BlockSum(const Bytes& edid, int block) {
    int sum = 0;
    for (int i = block * kBlock; i < block * kBlock + kBlock; ++i)
        sum += edid[i];
    return sum & 0xFF;
}

// After a repair other than the checksums' own, every block sums to what it summed to before:
// a sound checksum stays sound, a wrong one stays for the checksum repair to name.
void KeepSums(const Bytes& before, Bytes& after) {
    for (int b = 0; b < repair::BlockCount(after); ++b) {
        const int delta = BlockSum(after, b) - BlockSum(before, b);
        after[b * kBlock + kBlock - 1] =
            static_cast<std::uint8_t>(after[b * kBlock + kBlock - 1] - delta);
    }
}

constexpr std::string_view kArrow = " \xE2\x86\x92 "; // " → "

std::string Hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
    return buf;
}

EdidImage ImageOf(const Bytes& edid) {
    EdidImage image;
    image.fill(0xFF);
    std::copy_n(edid.begin(), std::min(edid.size(), kEdidSize), image.begin());
    return image;
}

std::vector<Difference> DiffOf(const Bytes& a, const Bytes& b) {
    // a larger EDID: every block part by part (a DisplayID section's checksum, a second CTA-861
    // block's data blocks)
    if (repair::BlockCount(a) > 2) {
        std::vector<Difference> out = DiffEdids(a, b);
        std::erase_if(
            out, [](const Difference& d) { return d.part == "EDID" && d.what == "bytes differ"; });
        // the diff lets a further block's padding and checksums follow from its parts: the
        // padding is named as the first two blocks' is, the checksums where nothing else changed
        // (the checksum repair)
        const EdidBlocks blocks = ReadEdidBlocks(b);
        // block 1 in both CTA-861: the diff of the first two blocks named its parts
        const int from = a[kBlock] == 0x02 && b[kBlock] == 0x02 ? 2 : 1;
        BlockMap map = MapEdid(b);
        // the padding first: a checksum is named only where nothing but checksums changed
        std::stable_partition(map.begin(), map.end(),
                              [](const BlockPart& p) { return p.kind == PartKind::Padding; });
        bool onlyStructural = true;
        for (const BlockPart& p : map) {
            onlyStructural = std::all_of(out.begin(), out.end(),
                                         [](const Difference& d) { return d.structural; });
            const int index = p.offset / kBlock;
            if (index < from || index >= static_cast<int>(blocks.blocks.size()) ||
                std::equal(a.begin() + p.offset, a.begin() + p.end(), b.begin() + p.offset))
                continue;
            const EdidBlock& blk = blocks.blocks[static_cast<std::size_t>(index)];
            const std::string label =
                (blk.kind == BlockKind::Other
                     ? "Block " + std::to_string(index)
                     : std::string(BlockKindName(blk.kind)) + " block " + std::to_string(index)) +
                ": " + p.name;
            if (p.kind == PartKind::Padding) {
                // each EDID's own padding: a shorter collection moves it
                const auto nonZero = [&](const Bytes& e, const BlockMap& m) {
                    long n = 0;
                    for (const BlockPart& q : m)
                        if (q.kind == PartKind::Padding && q.offset / kBlock == index)
                            n += std::count_if(e.begin() + q.offset, e.begin() + q.end(),
                                               [](std::uint8_t v) { return v != 0; });
                    return n;
                };
                const long before = nonZero(a, MapEdid(a)), after = nonZero(b, map);
                if (before != after)
                    out.push_back(
                        {label, "non-zero bytes",
                         std::to_string(before) + std::string(kArrow) + std::to_string(after),
                         false, false});
            } else if ((p.kind == PartKind::Checksum || p.kind == PartKind::DisplayIdChecksum) &&
                       onlyStructural) {
                out.push_back({label,
                               Hex2(a[p.offset]) + std::string(kArrow) + Hex2(b[p.offset]),
                               {},
                               false,
                               true});
            }
        }
        if (out.empty() && a != b) out.push_back({"EDID", "contents differ", {}, false, false});
        return out;
    }
    std::vector<Difference> out = DiffImages(ImageOf(a), ImageOf(b));
    // blocks past the image the diff reads
    for (int blk = 2; blk < repair::BlockCount(a); ++blk)
        if (!std::equal(a.begin() + blk * kBlock, a.begin() + (blk + 1) * kBlock,
                        b.begin() + blk * kBlock))
            out.push_back({"Block " + std::to_string(blk), "contents differ", {}, false, false});
    if (out.empty() && a != b) out.push_back({"EDID", "contents differ", {}, false, false});
    return out;
}

// An extension newly announced: its count and the extension itself, not each of its parts as
// if they were new (they were in the EDID before, unannounced).
void AnnouncedOnly(std::vector<Difference>& differences) {
    std::erase_if(differences, [](const Difference& d) {
        return d.part != "Extension Block Count" && d.part.rfind("CTA-861 Extension", 0) != 0;
    });
}

// The repeated video codes a repair removed: the diff compares the lists as sets and so does
// not see them go.
void AddRepeats(const Bytes& before, const Bytes& after, std::vector<Difference>& differences) {
    // the block's bytes moved up and its length follow from the repeats removed
    // (past the first two blocks, the diff names the block first, says the list of codes and
    // the detailed timing offset that follows from the shorter collection)
    const auto endsWith = [](const std::string& s, std::string_view end) {
        return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    };
    std::erase_if(differences, [&](const Difference& d) {
        const bool block =
            d.part == "Video Data Block" ||
            (d.part.rfind("CTA-861 block ", 0) == 0 && endsWith(d.part, ": Video Data Block"));
        const bool header = d.part.rfind("CTA-861 block ", 0) == 0 &&
                            endsWith(d.part, ": CTA-861 Extension Header");
        return (block &&
                (d.what.rfind("byte ", 0) == 0 || d.what == "length" || d.what == "video codes")) ||
               (header && d.what == "detailed timing offset");
    });
    // the codes each extension lost, in the order they stood: a copy the repair kept matches
    // the first of its code
    for (const int ext : repair::CtaBlocks(before)) {
        const auto codes = [&](const Bytes& edid) {
            std::map<int, int> count;
            std::vector<int> order;
            for (const auto& b : repair::ReadCollection(edid, ext).blocks)
                for (std::size_t i = 1; repair::IsVideoBlock(b) && i < b.size(); ++i) {
                    ++count[repair::SvdVic(b[i])];
                    order.push_back(repair::SvdVic(b[i]));
                }
            return std::pair(count, order);
        };
        // past the first two blocks the block is named, as the diff names it
        const std::string prefix =
            ext >= 2 * kBlock ? "CTA-861 block " + std::to_string(ext / kBlock) + ": " : "";
        auto kept = codes(after).first;
        for (const int vic : codes(before).second) {
            if (kept[vic] > 0) {
                --kept[vic];
                continue;
            }
            differences.push_back({prefix + "Video Data Block", "repeated video codes removed",
                                   std::to_string(vic), true, false});
        }
    }
}

bool HasHeader(const Bytes& edid) {
    constexpr std::uint8_t kHeader[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    return edid.size() >= kBlock &&
           std::equal(std::begin(kHeader), std::end(kHeader), edid.begin());
}

bool Named(const std::vector<std::string>& named, std::string_view id) {
    return std::find(named.begin(), named.end(), id) != named.end();
}

} // namespace

std::vector<RepairRuleInfo> RepairRuleList() {
    std::vector<RepairRuleInfo> out;
    for (const auto& r : kRules)
        out.push_back({r.id, r.byDefault});
    return out;
}

bool IsRepairRule(std::string_view id) {
    return repair::FindRepairRule(id) != nullptr;
}

namespace repair {
std::span<const RepairRule> RepairRules() {
    return kRules;
}
const RepairRule* FindRepairRule(std::string_view id) {
    for (const auto& r : kRules)
        if (r.id == id) return &r;
    return nullptr;
}
} // namespace repair

RepairResult RepairEdid(std::span<const std::uint8_t> bytes,
                        const std::vector<std::string>& namedRules) {
    RepairResult result;
    result.before = CheckEdid(bytes);
    Bytes edid(bytes.begin(), bytes.begin() + bytes.size() / kBlock * kBlock);
    // bytes that do not start with the EDID header are no EDID to mend
    if (!HasHeader(edid)) edid.clear();
    // One repair can make room for another that ran before it (a collection that shrinks lets
    // the extension be recognised), so the rules run again until a pass changes nothing: a
    // repaired EDID repaired again stays as it is.
    for (int pass = 0; pass < 4 && !edid.empty(); ++pass) {
        bool changed = false;
        for (const auto& rule : kRules) {
            if (!rule.byDefault && !Named(namedRules, rule.id)) continue;
            Bytes next = rule.apply(edid);
            if (rule.apply != &repair::RepairChecksum) KeepSums(edid, next);
            if (next == edid) continue;
            auto differences = DiffOf(edid, next);
            if (rule.apply == &repair::RepairExtensionCount) AnnouncedOnly(differences);
            if (rule.apply == &repair::RepairDuplicateVic) AddRepeats(edid, next, differences);
            auto same = std::find_if(result.changes.begin(), result.changes.end(),
                                     [&](const RepairChange& c) { return c.rule == rule.id; });
            if (same == result.changes.end())
                result.changes.push_back({std::string(rule.id), std::move(differences)});
            else
                same->differences.insert(same->differences.end(), differences.begin(),
                                         differences.end());
            edid = std::move(next);
            changed = true;
        }
        if (!changed) break;
    }
    result.bytes.assign(bytes.begin(), bytes.end());
    std::copy(edid.begin(), edid.end(), result.bytes.begin());
    result.after = result.changed() ? CheckEdid(result.bytes) : result.before;
    return result;
}

RepairResult RepairImage(const EdidImage& image, const std::vector<std::string>& namedRules) {
    const auto all = [&](std::uint8_t v) {
        return std::all_of(image.begin() + 128, image.end(), [v](auto b) { return b == v; });
    };
    const bool baseAlone = image[126] == 0 && (all(0xFF) || all(0x00));
    RepairResult result =
        RepairEdid(std::span(image.data(), baseAlone ? kEdidSize / 2 : kEdidSize), namedRules);
    result.bytes.insert(result.bytes.end(), image.begin() + result.bytes.size(), image.end());
    return result;
}

std::vector<std::string> RepairChangeTexts(const RepairResult& result) {
    std::vector<std::string> out;
    for (const auto& change : result.changes)
        for (const auto& line : DifferenceTexts(change.differences))
            out.push_back(change.rule + ": " + line);
    return out;
}

} // namespace tavo
