// The repair driver: the rules' repairs in their order, each one's changes in the semantic
// diff's terms, the check's findings before and after.
#include "edid/Repair.h"

#include <algorithm>

#include "edid/RepairRules.h"

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

EdidImage ImageOf(const Bytes& edid) {
    EdidImage image;
    image.fill(0xFF);
    std::copy_n(edid.begin(), std::min(edid.size(), kEdidSize), image.begin());
    return image;
}

std::vector<Difference> DiffOf(const Bytes& a, const Bytes& b) {
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
void AddRepeats(const Bytes& edid, std::vector<Difference>& differences) {
    // the block's bytes moved up and its length follow from the repeats removed
    std::erase_if(differences, [](const Difference& d) {
        return d.part == "Video Data Block" &&
               (d.what.rfind("byte ", 0) == 0 || d.what == "length");
    });
    for (const int ext : repair::CtaBlocks(edid)) {
        const repair::Collection c = repair::ReadCollection(edid, ext);
        std::vector<int> seen;
        for (const auto& b : c.blocks)
            for (std::size_t i = 1; repair::IsVideoBlock(b) && i < b.size(); ++i) {
                const int vic = repair::SvdVic(b[i]);
                if (std::find(seen.begin(), seen.end(), vic) != seen.end())
                    differences.push_back({"Video Data Block", "repeated video codes removed",
                                           std::to_string(vic), true, false});
                seen.push_back(vic);
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
            if (rule.apply == &repair::RepairDuplicateVic) AddRepeats(edid, differences);
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
