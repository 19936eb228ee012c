#include "workspace/CreatorRules.h"

#include <limits>

#include "edid/EdidImage.h"
#include "workspace/CreatorTables.h"

namespace tavo::creator {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

RuleOutcome Ignored() {
    return {true, false, {}};
}
RuleOutcome Kept() {
    return {false, false, {}};
}
RuleOutcome Broken(std::string message) {
    return {false, true, std::move(message)};
}

// A numeric rule: empty (when the rule ignores it) or not a number, then the limit.
template <typename Limit>
RuleOutcome NumberRule(std::string_view field, std::string_view text, Limit breaks,
                       std::string_view message) {
    const auto number = ParseDecimal(text);
    if (!number) return Broken(NotANumberMessage(field));
    return breaks(number->value) ? Broken(std::string(message)) : Kept();
}

bool IsHdrDeepColourBox(std::string_view name) {
    for (const auto& box : kHdrDeepColours)
        if (name == ControlName(kHdrDeepColourPrefix, box.number)) return true;
    return false;
}

bool Is4KBox(std::string_view name) {
    for (auto box : k4KBoxes)
        if (name == box) return true;
    return false;
}

bool IsLuminanceEdit(std::string_view name) {
    for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i)
        if (name == ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1)) return true;
    return false;
}

bool IsChannelCountEdit(std::string_view name) {
    if (name == kLpcmMaxChannels) return true;
    for (const auto& panel : kAudioPanels)
        if (name == AudioMaxChannelsName(panel)) return true;
    return false;
}

void SetHdrBoxColours(CreatorPage& page, bool onlyTicked, FontColour colour) {
    for (const auto& box : kHdrDeepColours) {
        const auto name = ControlName(kHdrDeepColourPrefix, box.number);
        if (!onlyTicked || page.Checked(name)) page.SetColour(name, colour);
    }
}

void SetInputError(CreatorPage& page, std::uint16_t& status, std::string_view warning) {
    page.SetWarning(std::string(warning));
    status |= kStatusInputError;
}

void ClearInputError(CreatorPage& page, std::uint16_t& status) {
    page.SetWarning({});
    status = static_cast<std::uint16_t>(status & ~kStatusInputError);
}

} // namespace

std::optional<Decimal> ParseDecimal(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    constexpr std::uint64_t kMagnitudeLimit = std::uint64_t{1} << 63;
    std::uint64_t wrapped = 0;
    std::uint64_t magnitude = 0; // saturates at 2^63
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        wrapped = wrapped * 10 + digit;
        if (magnitude <= (kMagnitudeLimit - digit) / 10)
            magnitude = magnitude * 10 + digit;
        else
            magnitude = kMagnitudeLimit;
    }
    Decimal d{};
    if (negative) {
        d.wrapped = 0 - wrapped;
        d.value = magnitude >= kMagnitudeLimit ? std::numeric_limits<std::int64_t>::min()
                                               : -static_cast<std::int64_t>(magnitude);
    } else {
        d.wrapped = wrapped;
        d.value = magnitude >= kMagnitudeLimit ? std::numeric_limits<std::int64_t>::max()
                                               : static_cast<std::int64_t>(magnitude);
    }
    return d;
}

std::string_view FieldLabel(std::string_view field) {
    if (field == kProductCode) return "Product Code";
    if (field == kSerialNumber) return "Serial Number";
    if (field == kManufactureYear) return "Year";
    if (field == kManufactureWeek) return "Week";
    if (field == kCecAddress) return "CEC Address";
    if (field == kLpcmMaxChannels) return "L-PCM MaxCH";
    static const std::string luminance[] = {"HDR Max", "HDR Avg", "HDR Min"};
    for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i)
        if (field == ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1)) return luminance[i];
    // "     Dolby Digital" -> "Dolby Digital MaxCH" / "Dolby Digital BitRate"
    static const auto panelLabels = [] {
        std::array<std::array<std::string, 2>, kAudioPanels.size()> labels;
        for (std::size_t i = 0; i < kAudioPanels.size(); ++i) {
            const std::string caption(Trim(kAudioPanels[i].caption));
            labels[i] = {caption + " MaxCH", caption + " BitRate"};
        }
        return labels;
    }();
    for (std::size_t i = 0; i < kAudioPanels.size(); ++i) {
        if (field == AudioMaxChannelsName(kAudioPanels[i])) return panelLabels[i][0];
        if (kAudioPanels[i].hasBitRate && field == AudioBitRateName(kAudioPanels[i]))
            return panelLabels[i][1];
    }
    return field;
}

std::string NotANumberMessage(std::string_view field) {
    return std::string(FieldLabel(field)) + " Not A Number!";
}

bool HasTextRule(std::string_view field) {
    return field == kManufacturerName || field == kMonitorName || field == kProductCode ||
           field == kSerialNumber || field == kManufactureYear || field == kManufactureWeek ||
           IsLuminanceEdit(field) || IsChannelCountEdit(field);
}

RuleOutcome CheckText(std::string_view field, std::string_view text) {
    if (field == kManufacturerName) return text.size() > 3 ? Broken("3 Letters Limited!") : Kept();
    if (field == kMonitorName) return text.size() > 13 ? Broken("13 Letters Limited!") : Kept();
    if (field == kProductCode) {
        if (text.empty()) return Ignored();
        return NumberRule(
            field, text, [](std::int64_t v) { return v > 65535; }, "65535 Limited!");
    }
    if (field == kSerialNumber) {
        if (text.empty()) return Ignored();
        if (text.size() > 10) return Broken("4 Billion Limited!");
        if (text.size() == 10) {
            // a ten-digit text above 4294959999 is caught by its first six digits
            const auto head = ParseDecimal(text.substr(0, 6));
            if (head && head->value > 429495) return Broken("4 Billion Limited!");
        }
        return ParseDecimal(text) ? Kept() : Broken(NotANumberMessage(field));
    }
    if (field == kManufactureYear) {
        if (text.size() < 4) return Ignored();
        return NumberRule(
            field, text, [](std::int64_t v) { return v < 1990 || v > 2245; }, "1990~2245 Limited!");
    }
    if (field == kManufactureWeek) {
        if (text.empty()) return Ignored();
        return NumberRule(
            field, text, [](std::int64_t v) { return v > 53; }, "53 Limited!");
    }
    if (IsLuminanceEdit(field))
        return NumberRule(
            field, text, [](std::int64_t v) { return v > 255; }, "255 Limited!");
    if (IsChannelCountEdit(field)) {
        // one character, a digit up to 8
        if (text.empty()) return Ignored();
        if (text.size() > 1) return Broken(std::string(kMaxChannelsLimited));
        if (text[0] < '0' || text[0] > '9') return Broken(NotANumberMessage(field));
        return text[0] > '8' ? Broken(std::string(kMaxChannelsLimited)) : Kept();
    }
    return Ignored();
}

bool Any4KSelected(const CreatorPage& page) {
    for (auto box : k4KBoxes)
        if (page.Checked(box)) return true;
    return false;
}

bool AnyHdrDeepColourTicked(const CreatorPage& page) {
    for (const auto& box : kHdrDeepColours)
        if (page.Checked(ControlName(kHdrDeepColourPrefix, box.number))) return true;
    return false;
}

void ApplyOutcome(CreatorPage& page, std::uint16_t& status, std::string_view field,
                  const RuleOutcome& outcome) {
    if (outcome.ignored) return;
    if (outcome.broken) {
        SetInputError(page, status, outcome.message);
        page.SetColour(field, FontColour::Red);
    } else {
        ClearInputError(page, status);
        page.SetColour(field, FontColour::Black);
    }
}

void ChangeText(CreatorPage& page, std::uint16_t& status, std::string_view name, std::string text) {
    if (page.Text(name) == text) return;
    page.SetText(name, std::move(text));
    if (name == kCecAddress) {
        ApplyOutcome(page, status, kManufacturerName,
                     CheckText(kManufacturerName, page.Text(kManufacturerName)));
    } else if (HasTextRule(name)) {
        ApplyOutcome(page, status, name, CheckText(name, page.Text(name)));
    }
}

void ChangeCheck(CreatorPage& page, std::uint16_t& status, std::string_view name, bool checked) {
    if (page.Checked(name) == checked) return;
    page.SetChecked(name, checked);

    if (IsHdrDeepColourBox(name)) {
        // HDR-needs-4K, from the HDR side: the box stays as the operator set it
        if (checked && !Any4KSelected(page)) {
            SetInputError(page, status, kHdrNeeds4K);
            page.SetColour(name, FontColour::Red);
        } else {
            ClearInputError(page, status);
            page.SetColour(name, FontColour::Black);
        }
        return;
    }
    if (Is4KBox(name)) {
        // HDR-needs-4K, from the 4K side
        if (!AnyHdrDeepColourTicked(page)) return;
        if (checked) {
            ClearInputError(page, status);
            SetHdrBoxColours(page, false, FontColour::Black);
        } else if (!Any4KSelected(page)) {
            SetInputError(page, status, kHdrNeeds4K);
            SetHdrBoxColours(page, true, FontColour::Red);
        }
        return;
    }
    for (const auto& box : kSpeakers) {
        if (box.twinCaption.empty()) continue;
        const auto left = SpeakerName(box);
        const auto right = SpeakerTwinName(box);
        if (name == left) return ChangeCheck(page, status, right, checked);
        if (name == right) return ChangeCheck(page, status, left, checked);
    }
    if (!checked) {
        for (const auto& panel : kAudioPanels)
            if (name == AudioFormatBoxName(panel))
                return ChangeCheck(page, status, AudioDetailName(panel), false);
    }
}

} // namespace tavo::creator
