#pragma once
// Repair: an EDID mended rule by rule, and what was changed, in the semantic diff's terms.
// Default repairs change nothing a display claims to take (checksums, duplicate video codes,
// reserved bits, descriptor text padding, all-zero descriptors, padding, the extension count of a
// 256-byte image whose extension is present, an HDMI clock over 340 MHz lowered to 340, an HDMI
// Forum character rate that cannot be). Repairs that change a claim (range limits widened to
// hold the listed timings, one native timing, the EDID version for HDMI, a video capability block
// added, the base serial number cleared, the display size from the detailed timing) run only when
// the caller names their rule. A repair never adds a format, an audio capability, a colour
// capability or a higher clock than the EDID already claims.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "edid/Check.h"
#include "edid/EdidDiff.h"

namespace tavo {

struct RepairChange {
    std::string rule;                    // the rule whose findings this change clears
    std::vector<Difference> differences; // what changed, in the semantic diff's terms
};

struct RepairResult {
    std::vector<std::uint8_t> bytes;   // the repaired EDID, as many blocks as the input
    std::vector<RepairChange> changes; // empty: nothing to repair
    std::vector<Finding> before;       // the check's findings before and after the repair
    std::vector<Finding> after;
    bool changed() const { return !changes.empty(); }
};

// Repairs `bytes` (the EDID's own blocks, as CheckEdid takes them): every default repair, and the
// named repairs in `namedRules` (rule ids; a default rule named there changes nothing more).
// Bytes that do not start with the EDID header are left as they are (nothing to repair).
RepairResult RepairEdid(std::span<const std::uint8_t> bytes,
                        const std::vector<std::string>& namedRules = {});

// A 256-byte image repaired as CheckImage reads it; the result is 256 bytes again.
RepairResult RepairImage(const EdidImage& image, const std::vector<std::string>& namedRules = {});

// The rules a repair exists for, in the order the repairs run: default repairs run always, the
// others only when named.
struct RepairRuleInfo {
    std::string_view id;
    bool byDefault;
};
std::vector<RepairRuleInfo> RepairRuleList();
// True when a repair exists for the rule called `id`.
bool IsRepairRule(std::string_view id);

// The lines that say what a repair changed: "checksum: Checksum: 0x1B → 0x0C", one per
// difference, grouped by rule.
std::vector<std::string> RepairChangeTexts(const RepairResult& result);

} // namespace tavo
