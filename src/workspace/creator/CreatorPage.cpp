#include "workspace/creator/CreatorPage.h"

#include <array>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "workspace/creator/CreatorTables.h"

namespace tavo::creator {

ControlName::ControlName(std::string_view prefix, int number) {
    char digits[16];
    int n = 0;
    unsigned v = number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (number < 0) digits[n++] = '-';
    const std::size_t room = sizeof buf_ - static_cast<std::size_t>(n);
    const std::size_t p = prefix.size() < room ? prefix.size() : room;
    std::memcpy(buf_, prefix.data(), p);
    len_ = p;
    while (n > 0)
        buf_[len_++] = digits[--n];
}

namespace {

// The composed names of the speaker boxes and of the audio panels' controls, made once.
struct NameCache {
    std::array<std::string, kSpeakers.size()> speakers, twins;
    struct Panel {
        std::string yes, detail, maxCh, bitRate;
        std::array<std::string, kAudioRates.size()> rates;
    };
    std::array<Panel, kAudioPanels.size()> panels;
};

const NameCache& Cache() {
    static const NameCache cache = [] {
        NameCache c;
        for (std::size_t i = 0; i < kSpeakers.size(); ++i) {
            c.speakers[i] = ControlName(kSpeakerPrefix, kSpeakers[i].number);
            if (!kSpeakers[i].twinCaption.empty()) c.twins[i] = c.speakers[i] + "r";
        }
        for (std::size_t i = 0; i < kAudioPanels.size(); ++i) {
            const auto& panel = kAudioPanels[i];
            const std::string part(panel.part);
            auto& n = c.panels[i];
            n.yes = ControlName(kAudioFormatPrefix, panel.formatBox);
            n.detail = "CheckBox_AudDetial_" + part;
            n.maxCh = "Edit_Audio" + part + "_MaxCh";
            if (panel.hasBitRate) n.bitRate = "Edit_Audio" + part + "_BitRate";
            for (std::size_t k = 0; k < kAudioRates.size(); ++k)
                n.rates[k] =
                    ControlName("CheckBox_Audio" + part + "_Freq_", static_cast<int>(k) + 1);
        }
        return c;
    }();
    return cache;
}

std::size_t SpeakerIndex(const SpeakerBox& box) {
    return static_cast<std::size_t>(box.number - 1) % kSpeakers.size();
}

const NameCache::Panel& PanelNames(const AudioPanel& panel) {
    return Cache().panels[static_cast<std::size_t>(panel.formatBox - 3) % kAudioPanels.size()];
}

} // namespace

const std::string& SpeakerName(const SpeakerBox& box) {
    return Cache().speakers[SpeakerIndex(box)];
}
const std::string& SpeakerTwinName(const SpeakerBox& box) {
    return Cache().twins[SpeakerIndex(box)];
}

const std::string& AudioFormatBoxName(const AudioPanel& panel) {
    return PanelNames(panel).yes;
}
const std::string& AudioDetailName(const AudioPanel& panel) {
    return PanelNames(panel).detail;
}
const std::string& AudioMaxChannelsName(const AudioPanel& panel) {
    return PanelNames(panel).maxCh;
}
const std::string& AudioBitRateName(const AudioPanel& panel) {
    return PanelNames(panel).bitRate;
}
const std::string& AudioRateName(const AudioPanel& panel, int k) {
    return PanelNames(panel).rates[static_cast<std::size_t>(k - 1) % kAudioRates.size()];
}

namespace {

struct Names {
    std::vector<std::string> checks;
    std::vector<std::string> edits;
    std::unordered_map<std::string_view, int> index; // views into the two vectors
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
    int i = 0;
    for (const auto& name : n.checks)
        n.index.emplace(name, i++);
    for (const auto& name : n.edits)
        n.index.emplace(name, i++);
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

int CreatorPage::IndexOf(std::string_view name) {
    const auto& index = AllNames().index;
    const auto it = index.find(name);
    return it == index.end() ? -1 : it->second;
}

bool CreatorPage::IsCheck(std::string_view name) {
    const int i = IndexOf(name);
    return i >= 0 && i < static_cast<int>(CheckNames().size());
}
bool CreatorPage::IsEdit(std::string_view name) {
    return IndexOf(name) >= static_cast<int>(CheckNames().size());
}

CreatorPage::CreatorPage(Blank) : controls_(CheckNames().size() + EditNames().size()) {}

CreatorPage::CreatorPage() {
    static const CreatorPage start = [] {
        CreatorPage p{Blank{}};
        p.Find(kFormatHdmi).checked = true;
        p.SetText(kLpcmMaxChannels, "0");
        for (const auto& panel : kAudioPanels) {
            p.SetText(AudioMaxChannelsName(panel), "0");
            if (panel.hasBitRate) p.SetText(AudioBitRateName(panel), "     0");
        }
        for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i)
            p.SetText(ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1), "    0");
        p.SetText(kCecAddress, "0000");
        return p;
    }();
    *this = start;
}

CreatorPage::Control& CreatorPage::Find(std::string_view name) {
    const int i = IndexOf(name);
    if (i < 0) throw std::out_of_range("no creator control " + std::string(name));
    return controls_[static_cast<std::size_t>(i)];
}

const CreatorPage::Control& CreatorPage::Find(std::string_view name) const {
    const int i = IndexOf(name);
    if (i < 0) throw std::out_of_range("no creator control " + std::string(name));
    return controls_[static_cast<std::size_t>(i)];
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

bool AudioPanelOpen(const CreatorPage& page, int panelIndex) {
    return page.Checked(AudioDetailName(kAudioPanels.at(static_cast<std::size_t>(panelIndex))));
}

bool HdrPanelOpen(const CreatorPage& page) {
    return page.Checked(kHdrDetail);
}

} // namespace tavo::creator
