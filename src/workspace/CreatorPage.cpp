#include "workspace/CreatorPage.h"

#include <algorithm>
#include <stdexcept>

#include "workspace/CreatorTables.h"

namespace tavo::creator {

std::string ControlName(std::string_view prefix, int number) {
    std::string name(prefix);
    name += std::to_string(number);
    return name;
}

std::string SpeakerName(const SpeakerBox& box) {
    return ControlName(kSpeakerPrefix, box.number);
}
std::string SpeakerTwinName(const SpeakerBox& box) {
    return box.twinCaption.empty() ? std::string() : SpeakerName(box) + "r";
}

std::string AudioFormatBoxName(const AudioPanel& panel) {
    return ControlName(kAudioFormatPrefix, panel.formatBox);
}
std::string AudioDetailName(const AudioPanel& panel) {
    return "CheckBox_AudDetial_" + std::string(panel.part);
}
std::string AudioMaxChannelsName(const AudioPanel& panel) {
    return "Edit_Audio" + std::string(panel.part) + "_MaxCh";
}
std::string AudioBitRateName(const AudioPanel& panel) {
    return "Edit_Audio" + std::string(panel.part) + "_BitRate";
}
std::string AudioRateName(const AudioPanel& panel, int k) {
    return ControlName("CheckBox_Audio" + std::string(panel.part) + "_Freq_", k);
}

namespace {

struct Names {
    std::vector<std::string> checks;
    std::vector<std::string> edits;
};

Names MakeNames() {
    Names n;
    auto& c = n.checks;
    auto& e = n.edits;
    // Descriptor
    for (auto name : {kManufacturerName, kMonitorName, kProductCode, kSerialNumber,
                      kManufactureYear, kManufactureWeek})
        e.emplace_back(name);
    // PC Timing
    for (const auto& box : kEstablishedTimings)
        c.push_back(ControlName(kEstablishedTimingPrefix, box.number));
    for (const auto& box : kStandardTimings)
        c.push_back(ControlName(kStandardTimingPrefix, box.number));
    // SD/HD/UHD
    for (const auto& box : kVideoBoxes)
        c.push_back(ControlName(kVideoCodePrefix, box.vic));
    for (const auto& box : kYuv420Boxes)
        c.push_back(ControlName(kYuv420Prefix, box.vic));
    // Audio1
    for (const auto& box : kSpeakers) {
        c.push_back(SpeakerName(box));
        if (!box.twinCaption.empty()) c.push_back(SpeakerTwinName(box));
    }
    e.emplace_back(kLpcmMaxChannels);
    for (const auto& box : kLpcmSampleSizes)
        c.push_back(ControlName(kLpcmSampleSizePrefix, box.number));
    for (const auto& box : kAudioRates)
        c.push_back(ControlName(kLpcmRatePrefix, box.number));
    c.emplace_back(kBasicAudio);
    c.emplace_back(kHiddenLpcmFormat);
    // Audio2
    for (const auto& panel : kAudioPanels) {
        c.push_back(AudioFormatBoxName(panel));
        c.push_back(AudioDetailName(panel));
        e.push_back(AudioMaxChannelsName(panel));
        for (const auto& rate : kAudioRates)
            c.push_back(AudioRateName(panel, rate.number));
        if (panel.hasBitRate) e.push_back(AudioBitRateName(panel));
    }
    // Color Space
    for (const auto& box : kColorSpaces)
        c.push_back(ControlName(kColorSpacePrefix, box.number));
    for (const auto& box : kColorDepths)
        c.push_back(ControlName(kColorDepthPrefix, box.number));
    for (const auto& box : kColorimetries)
        c.push_back(ControlName(kColorimetryPrefix, box.number));
    for (const auto& box : kHdrDeepColours)
        c.push_back(ControlName(kHdrDeepColourPrefix, box.number));
    for (const auto& box : kHdrEotfs)
        c.push_back(ControlName(kHdrEotfPrefix, box.number));
    for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i)
        e.push_back(ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1));
    c.emplace_back(kHdrDescriptorType1);
    c.emplace_back(kHdrDetail);
    // Others
    c.emplace_back(k3DPresent);
    e.emplace_back(kCecAddress);
    c.emplace_back(kFormatHdmi);
    c.emplace_back(kFormatDvi);
    return n;
}

const Names& AllNames() {
    static const Names names = MakeNames();
    return names;
}

} // namespace

const std::vector<std::string>& CreatorPage::CheckNames() {
    return AllNames().checks;
}
const std::vector<std::string>& CreatorPage::EditNames() {
    return AllNames().edits;
}

bool CreatorPage::IsCheck(std::string_view name) {
    const auto& v = CheckNames();
    return std::find(v.begin(), v.end(), name) != v.end();
}
bool CreatorPage::IsEdit(std::string_view name) {
    const auto& v = EditNames();
    return std::find(v.begin(), v.end(), name) != v.end();
}

CreatorPage::CreatorPage() {
    for (const auto& name : CheckNames())
        controls_.emplace(name, Control{});
    for (const auto& name : EditNames())
        controls_.emplace(name, Control{});
    controls_.find(kFormatHdmi)->second.checked = true;
    SetText(kLpcmMaxChannels, "0");
    for (const auto& panel : kAudioPanels) {
        SetText(AudioMaxChannelsName(panel), "0");
        if (panel.hasBitRate) SetText(AudioBitRateName(panel), "     0");
    }
    for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i)
        SetText(ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1), "    0");
    SetText(kCecAddress, "0000");
}

CreatorPage::Control& CreatorPage::Find(std::string_view name) {
    auto it = controls_.find(name);
    if (it == controls_.end()) throw std::out_of_range("no creator control " + std::string(name));
    return it->second;
}

const CreatorPage::Control& CreatorPage::Find(std::string_view name) const {
    auto it = controls_.find(name);
    if (it == controls_.end()) throw std::out_of_range("no creator control " + std::string(name));
    return it->second;
}

bool CreatorPage::Checked(std::string_view name) const {
    return Find(name).checked;
}

void CreatorPage::SetChecked(std::string_view name, bool checked) {
    Find(name).checked = checked;
    // the two format radio buttons form one group
    if (checked && name == kFormatHdmi) Find(kFormatDvi).checked = false;
    if (checked && name == kFormatDvi) Find(kFormatHdmi).checked = false;
}

const std::string& CreatorPage::Text(std::string_view name) const {
    return Find(name).text;
}
void CreatorPage::SetText(std::string_view name, std::string text) {
    Find(name).text = std::move(text);
}

FontColour CreatorPage::Colour(std::string_view name) const {
    return Find(name).colour;
}
void CreatorPage::SetColour(std::string_view name, FontColour colour) {
    Find(name).colour = colour;
}

bool CreatorPage::IsDvi() const {
    return Checked(kFormatDvi);
}

int AudioPanelHeight(const CreatorPage& page, int panelIndex) {
    const auto& panel = kAudioPanels.at(static_cast<std::size_t>(panelIndex));
    return page.Checked(AudioDetailName(panel)) ? kAudioPanelOpenHeight : kFoldedPanelHeight;
}

int HdrPanelHeight(const CreatorPage& page) {
    return page.Checked(kHdrDetail) ? kHdrPanelOpenHeight : kFoldedPanelHeight;
}

} // namespace tavo::creator
