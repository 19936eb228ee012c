#pragma once
// The creator page's input rules and interlocks, as transformations of the page value and the
// record's status word (bit 0, the input-error flag, is the one flag all rules share: it tells
// what the rule that ran last found).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "workspace/creator/CreatorPage.h"

namespace tavo::creator {

// A decimal integer as the page's numeric fields hold it: blanks around it are ignored (the
// loader writes right-aligned numbers like "    7"), an optional sign, then at least one digit.
struct Decimal {
    std::int64_t value;    // saturated to the 64-bit range
    std::uint64_t wrapped; // the value modulo 2^64: its low bits are exact for any length
    bool operator==(const Decimal&) const = default;
};
std::optional<Decimal> ParseDecimal(std::string_view text);

// What a field's rule says about a text.
struct RuleOutcome {
    bool ignored = false; // the rule does not look at this text: nothing changes
    bool broken = false;
    std::string message; // the warning when broken
    bool operator==(const RuleOutcome&) const = default;
};

// True for the edits that have a rule of their own (descriptor numbers and names, luminance
// codes, channel counts). Edit_Creator_CEC_Address has none: a change of it runs the
// manufacturer-name rule.
bool HasTextRule(std::string_view field);
// The rule of `field` applied to `text`. A non-empty text that should be a number and is not
// breaks the rule with "<field label> Not A Number!" (where the rule does not ignore it).
RuleOutcome CheckText(std::string_view field, std::string_view text);

// The label a message uses for a numeric field ("Product Code", "Dolby Digital BitRate").
std::string_view FieldLabel(std::string_view field);
std::string NotANumberMessage(std::string_view field);

// A 4K format is selected: one of the seven 4K boxes is ticked.
bool Any4KSelected(const CreatorPage& page);
bool AnyHdrDeepColourTicked(const CreatorPage& page);

// The operator (or the loader) changes a control. The value changes and, when it really
// changed, the control's rules and interlocks run, exactly as its change/click handler does:
// - the descriptor edits, luminance edits and channel-count edits: their rule sets the warning
//   line, status bit 0 and the edit's font; the CEC address runs the manufacturer-name rule;
// - CheckBox_HDR_1..3 and the seven 4K boxes: the HDR-needs-4K rule from either side;
// - a speaker box with a twin: the twin takes the same state;
// - a cleared "Yes" box of an audio panel clears the panel's detail box (folding the panel).
void ChangeText(CreatorPage& page, std::uint16_t& status, std::string_view name, std::string text);
void ChangeCheck(CreatorPage& page, std::uint16_t& status, std::string_view name, bool checked);

// The shared effect of a rule on `field`: warning line, status bit 0, the field's font.
void ApplyOutcome(CreatorPage& page, std::uint16_t& status, std::string_view field,
                  const RuleOutcome& outcome);

inline constexpr std::string_view kHdrNeeds4K = "HDR Must Base On 4K!";
inline constexpr std::string_view kMaxChannelsLimited = "8 MaxCH Limited!";

} // namespace tavo::creator
