#pragma once
// The check: whether an EDID is sound, as a list of findings an installer can read. Each finding
// has a stable rule id ("checksum", "range-limits", ...), a severity, the part it concerns in the
// block map's terms and one plain sentence ("The range limits allow 30-83 kHz, but the 3840x2160
// timing needs 135 kHz: a source may refuse it."). The conditions and severities follow the
// reference decoder's conformance check (edid-decode --check); docs/check.md lists every rule and
// where we differ from it, and why.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

class JsonWriter;

enum class Severity : std::uint8_t { Failure, Warning };

// "failure" or "warning", as `tavo-cli check --json` writes it.
std::string_view SeverityName(Severity severity);

struct Finding {
    std::string rule; // stable id, e.g. "duplicate-vic"
    Severity severity = Severity::Failure;
    std::string part; // the block map's name of the part concerned ("Video Data Block")
    int offset = 0;   // the part's first byte in the EDID
    int length = 0;   // the part's length (0 when the finding concerns the EDID as a whole)
    std::string text; // one sentence for an installer
    bool operator==(const Finding&) const = default;
};

// What the check knows of a rule: its id, its severity, what it looks at, and whether a repair
// can mend it without changing what the display claims (a default repair), only when the operator
// names it (it changes a claim), or not at all.
enum class RepairKind : std::uint8_t { None, Default, Named };
struct CheckRule {
    std::string_view id;
    Severity severity;
    std::string_view summary; // "A listed timing lies outside the range limits."
    RepairKind repair;
};

// Every rule the check knows, in a fixed order.
std::span<const CheckRule> CheckRules();
// The rule called `id`, or nullptr.
const CheckRule* FindCheckRule(std::string_view id);

// The findings for the EDID held in `bytes`: its own blocks, 128 bytes each (a 128-byte EDID is
// one block; bytes past the last whole block are ignored). Findings are ordered by offset, then
// by rule id. Never reads outside `bytes`.
std::vector<Finding> CheckEdid(std::span<const std::uint8_t> bytes);

// The findings for a 256-byte image as a slot or a file holds it: the base block alone when
// byte 126 is 0 and bytes 128-255 are all 0xFF or all 0x00 (an erased or unused extension area),
// otherwise both blocks.
std::vector<Finding> CheckImage(const EdidImage& image);

enum class Verdict : std::uint8_t { Pass, Warn, Fail };
Verdict VerdictOf(const std::vector<Finding>& findings);
// "pass", "warn", "fail".
std::string_view VerdictName(Verdict verdict);

// "Check: 2 failures, 1 warning", "Check: 1 failure", "Check: no finding".
std::string CheckSummaryLine(const std::vector<Finding>& findings);

// One line of text per finding: "failure  range-limits  Display Range Limits (offset 108, 18
// bytes): The range limits ...".
std::string FindingText(const Finding& finding);

// {"file": ..., "verdict": "fail", "findings": [{"rule": ..., "severity": "failure", "part": ...,
// "offset": N, "length": N, "text": ...}, ...]} on one line; `nameKey` names what was checked
// ("file", "slot").
std::string CheckJson(std::string_view file, const std::vector<Finding>& findings,
                      std::string_view nameKey = "file");
// The findings as the array of the check's JSON, into `json` in its spacing.
void WriteFindings(JsonWriter& json, const std::vector<Finding>& findings);

} // namespace tavo
