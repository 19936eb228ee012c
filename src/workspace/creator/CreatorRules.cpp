#include "workspace/creator/CreatorRules.h"

#include <limits>
#include <vector>

#include "edid/EdidImage.h"
#include "workspace/creator/CreatorTables.h"

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

// What a change of each control runs, by its page index: made once from the tables.
enum class Handler : std::uint8_t {
    None,
    HdrDeepColour, // CheckBox_HDR_1..3: HDR-needs-4K from the HDR side
    FourK,         // the seven 4K boxes: HDR-needs-4K from the 4K side
    Speaker,       // a speaker box with a twin: `other` is the twin
    YesBox,        // an audio panel's "Yes" box: `other` is its detail box
    Luminance,     // Edit_HDR_DCLD_n
    ChannelCount,  // the eight MaxCh edits
    OwnRule,       // the descriptor edits with a rule of their own
    CecAddress,    // runs the manufacturer-name rule
};

struct Role {
    Handler handler = Handler::None;
    std::string_view other; // the twin or detail box
};

const std::vector<Role>& Roles() {
    static const std::vector<Role> roles = [] {
        std::vector<Role> r(CreatorPage::CheckNames().size() + CreatorPage::EditNames().size());
        const auto set = [&](std::string_view name, Handler h, std::string_view other = {}) {
            r.at(static_cast<std::size_t>(CreatorPage::IndexOf(name))) = {h, other};
        };
        for (const auto& box : kHdrDeepColours)
            set(ControlName(kHdrDeepColourPrefix, box.number), Handler::HdrDeepColour);
        for (auto box : k4KBoxes)
            set(box, Handler::FourK);
        for (const auto& box : kSpeakers) {
            if (box.twinCaption.empty()) continue;
            set(SpeakerName(box), Handler::Speaker, SpeakerTwinName(box));
            set(SpeakerTwinName(box), Handler::Speaker, SpeakerName(box));
        }
        for (const auto& panel : kAudioPanels) {
            set(AudioFormatBoxName(panel), Handler::YesBox, AudioDetailName(panel));
            set(AudioMaxChannelsName(panel), Handler::ChannelCount);
        }
        set(kLpcmMaxChannels, Handler::ChannelCount);
        for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i)
            set(ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1), Handler::Luminance);
        for (auto name : {kManufacturerName, kMonitorName, kProductCode, kSerialNumber,
                          kManufactureYear, kManufactureWeek})
            set(name, Handler::OwnRule);
        set(kCecAddress, Handler::CecAddress);
        return r;
    }();
    return roles;
}

Role RoleOf(std::string_view name) {
    const int i = CreatorPage::IndexOf(name);
    return i < 0 ? Role{} : Roles()[static_cast<std::size_t>(i)];
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
    const Handler h = RoleOf(field).handler;
    return h == Handler::OwnRule || h == Handler::Luminance || h == Handler::ChannelCount;
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
    const Handler handler = RoleOf(field).handler;
    if (handler == Handler::Luminance)
        return NumberRule(
            field, text, [](std::int64_t v) { return v > 255; }, "255 Limited!");
    if (handler == Handler::ChannelCount) {
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
    switch (RoleOf(name).handler) {
    case Handler::CecAddress:
        ApplyOutcome(page, status, kManufacturerName,
                     CheckText(kManufacturerName, page.Text(kManufacturerName)));
        break;
    case Handler::OwnRule:
    case Handler::Luminance:
    case Handler::ChannelCount:
        ApplyOutcome(page, status, name, CheckText(name, page.Text(name)));
        break;
    default:
        break;
    }
}

void ChangeCheck(CreatorPage& page, std::uint16_t& status, std::string_view name, bool checked) {
    if (page.Checked(name) == checked) return;
    page.SetChecked(name, checked);

    const Role role = RoleOf(name);
    switch (role.handler) {
    case Handler::HdrDeepColour:
        // HDR-needs-4K, from the HDR side: the box stays as the operator set it
        if (checked && !Any4KSelected(page)) {
            SetInputError(page, status, kHdrNeeds4K);
            page.SetColour(name, FontColour::Red);
        } else {
            ClearInputError(page, status);
            page.SetColour(name, FontColour::Black);
        }
        break;
    case Handler::FourK:
        // HDR-needs-4K, from the 4K side
        if (!AnyHdrDeepColourTicked(page)) break;
        if (checked) {
            ClearInputError(page, status);
            SetHdrBoxColours(page, false, FontColour::Black);
        } else if (!Any4KSelected(page)) {
            SetInputError(page, status, kHdrNeeds4K);
            SetHdrBoxColours(page, true, FontColour::Red);
        }
        break;
    case Handler::Speaker:
        ChangeCheck(page, status, role.other, checked);
        break;
    case Handler::YesBox:
        // a cleared "Yes" folds its panel
        if (!checked) ChangeCheck(page, status, role.other, false);
        break;
    default:
        break;
    }
}

} // namespace tavo::creator
