#include "workspace/creator/CreatorBuild.h"

#include <algorithm>

#include "edid/Encoder.h"
#include "workspace/creator/CreatorRules.h"
#include "workspace/creator/CreatorTables.h"

namespace tavo::creator {

namespace {

BuildResult Fail(std::string message) {
    return {false, std::move(message)};
}

bool ReadNumber(const CreatorPage& page, std::string_view field, Decimal& out, BuildResult& error) {
    const auto number = ParseDecimal(page.Text(field));
    if (!number) {
        error = Fail(NotANumberMessage(field));
        return false;
    }
    out = *number;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::uint8_t Low8(const Decimal& d) {
    return static_cast<std::uint8_t>(d.wrapped & 0xFF);
}

// The channel bits of a count of 1..8; larger counts are written as 8.
std::uint8_t ChannelBits(std::int64_t count) {
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(count, 1, 8) - 1);
}

bool IsChecked(const CreatorPage& page, std::string_view prefix, int number) {
    return page.Checked(ControlName(prefix, number));
}

std::uint8_t LpcmRates(const CreatorPage& page) {
    std::uint8_t bits = 0;
    for (const auto& rate : kAudioRates)
        if (IsChecked(page, kLpcmRatePrefix, rate.number)) bits |= rate.bit;
    return bits;
}

std::uint8_t PanelRates(const CreatorPage& page, const AudioPanel& panel) {
    std::uint8_t bits = 0;
    for (const auto& rate : kAudioRates)
        if (page.Checked(AudioRateName(panel, rate.number))) bits |= rate.bit;
    return bits;
}

ShortAudioDescriptor* FirstEmptySlot(EdidRecord& r) {
    for (auto& sad : r.audioDescriptors)
        if (sad[0] == 0) return &sad;
    return nullptr;
}

// The first bytes of the formats of the "Yes" boxes n = 1, 3..9, with their present bits.
struct YesBox {
    int n;
    std::uint8_t firstByte;
    const AudioPanel* panel; // null for "Basic"
};

std::array<YesBox, 8> YesBoxes() {
    std::array<YesBox, 8> boxes{};
    boxes[0] = {1, kLpcmTwoChannels, nullptr};
    for (std::size_t i = 0; i < kAudioPanels.size(); ++i)
        boxes[i + 1] = {kAudioPanels[i].formatBox, kAudioPanels[i].FirstByte(), &kAudioPanels[i]};
    return boxes;
}

std::uint16_t PresentBit(int n) {
    return static_cast<std::uint16_t>(1u << (n - 1));
}

// Edits a list of codes in place: a ticked code missing from the list takes the first entry
// that is 0 or above 107 (none free: not added); a cleared code is removed wherever it stands.
template <std::size_t N> void EditCodes(std::array<std::uint8_t, N>& codes, int code, bool ticked) {
    const bool present = std::find(codes.begin(), codes.end(), code) != codes.end();
    if (ticked && !present) {
        auto free = std::find_if(codes.begin(), codes.end(),
                                 [](std::uint8_t v) { return v == 0 || v > 107; });
        if (free != codes.end()) *free = static_cast<std::uint8_t>(code);
    } else if (!ticked && present) {
        std::replace(codes.begin(), codes.end(), static_cast<std::uint8_t>(code), std::uint8_t{0});
    }
}

} // namespace

BuildResult ReadNumbers(const CreatorPage& page, PageNumbers& numbers) {
    BuildResult error;
    Decimal d{};
    if (!ReadNumber(page, kProductCode, d, error)) return error;
    numbers.productCode = static_cast<std::uint16_t>(d.wrapped & 0xFFFF);
    if (!ReadNumber(page, kSerialNumber, d, error)) return error;
    numbers.serialNumber = static_cast<std::uint32_t>(d.wrapped & 0xFFFFFFFF);
    if (!ReadNumber(page, kManufactureYear, d, error)) return error;
    numbers.year = Low8(d);
    if (!ReadNumber(page, kManufactureWeek, d, error)) return error;
    numbers.week = Low8(d);
    for (std::size_t i = 0; i < numbers.luminance.size(); ++i) {
        if (!ReadNumber(page, ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1), d, error))
            return error;
        numbers.luminance[i] = Low8(d);
    }
    if (!ReadNumber(page, kLpcmMaxChannels, d, error)) return error;
    numbers.lpcmChannels = d.value;
    for (std::size_t i = 0; i < kAudioPanels.size(); ++i) {
        const auto& panel = kAudioPanels[i];
        if (!ReadNumber(page, AudioMaxChannelsName(panel), d, error)) return error;
        numbers.panelChannels[i] = d.value;
        numbers.panelBitRate[i] = 0;
        if (panel.hasBitRate) {
            if (!ReadNumber(page, AudioBitRateName(panel), d, error)) return error;
            numbers.panelBitRate[i] = d.value;
        }
    }
    // four hexadecimal digits, A.B.C.D
    std::string_view cec = page.Text(kCecAddress);
    while (!cec.empty() && cec.front() == ' ')
        cec.remove_prefix(1);
    while (!cec.empty() && cec.back() == ' ')
        cec.remove_suffix(1);
    int digits[4] = {-1, -1, -1, -1};
    if (cec.size() == 4)
        for (int i = 0; i < 4; ++i)
            digits[i] = HexDigit(cec[static_cast<std::size_t>(i)]);
    if (std::any_of(std::begin(digits), std::end(digits), [](int v) { return v < 0; }))
        return Fail("CEC Address Not 4 Hex Digits!");
    numbers.cecAddress = {static_cast<std::uint8_t>(digits[0] * 16 + digits[1]),
                          static_cast<std::uint8_t>(digits[2] * 16 + digits[3])};
    return {};
}

// Additions that found the audio list full wait for the removals, so that a format ticked
// together with another one cleared is in the first build, not the next.
struct WaitingFormats {
    std::array<std::uint8_t, 9> firstBytes{}; // the eight boxes and multichannel L-PCM
    std::size_t count = 0;
};

void AddAudioFormat(EdidRecord& r, std::uint8_t firstByte, WaitingFormats& waiting) {
    if (auto* slot = FirstEmptySlot(r))
        (*slot)[0] = firstByte;
    else
        waiting.firstBytes[waiting.count++] = firstByte;
}

// Multichannel L-PCM (its bit records it even when the list is full), then each ticked format
// the record does not have yet.
void AddAudioFormats(const CreatorPage& page, std::int64_t lpcm, EdidRecord& r,
                     WaitingFormats& waiting) {
    if (lpcm > 2 && !(r.audioFormatsPresent & kAudioLpcmMulti)) {
        r.audioFormatsPresent |= kAudioLpcmMulti;
        AddAudioFormat(r, static_cast<std::uint8_t>((kLpcmCode << 3) | ChannelBits(lpcm)), waiting);
    }
    for (const auto& box : YesBoxes()) {
        if (!IsChecked(page, kAudioFormatPrefix, box.n) ||
            (r.audioFormatsPresent & PresentBit(box.n)))
            continue;
        r.audioFormatsPresent |= PresentBit(box.n);
        AddAudioFormat(r, box.firstByte, waiting);
    }
}

// Multichannel L-PCM removed (the first such descriptor only), then each cleared format (only
// the first byte of its descriptors is cleared).
void RemoveAudioFormats(const CreatorPage& page, std::int64_t lpcm, EdidRecord& r) {
    if (lpcm <= 2 && (r.audioFormatsPresent & kAudioLpcmMulti)) {
        r.audioFormatsPresent =
            static_cast<std::uint16_t>(r.audioFormatsPresent & ~kAudioLpcmMulti);
        for (auto& sad : r.audioDescriptors) {
            if (((sad[0] & 0x78) >> 3) == kLpcmCode && (sad[0] & 7) > 1) {
                sad[0] = 0;
                break;
            }
        }
    }
    for (const auto& box : YesBoxes()) {
        if (IsChecked(page, kAudioFormatPrefix, box.n) ||
            !(r.audioFormatsPresent & PresentBit(box.n)))
            continue;
        r.audioFormatsPresent =
            static_cast<std::uint16_t>(r.audioFormatsPresent & ~PresentBit(box.n));
        for (auto& sad : r.audioDescriptors) {
            const bool match = box.panel == nullptr ? sad[0] == kLpcmTwoChannels
                                                    : (sad[0] & 0x78) == box.firstByte;
            if (match) sad[0] = 0;
        }
    }
}

// The additions that waited for room; still no room: dropped, their bits stay set.
void PlaceWaitingFormats(EdidRecord& r, const WaitingFormats& waiting) {
    for (std::size_t i = 0; i < waiting.count; ++i)
        if (auto* slot = FirstEmptySlot(r)) (*slot)[0] = waiting.firstBytes[i];
}

// An L-PCM descriptor from the L-PCM controls: the channel count (the two-channel descriptor
// keeps its count, and with no count a one-channel one too), rates and sample sizes. A
// multichannel one with no channel count left goes.
void RewriteLpcmDescriptor(ShortAudioDescriptor& sad, std::int64_t lpcm, std::uint8_t rates,
                           std::uint8_t sampleSizes) {
    const bool multichannel = (sad[0] & 7) > 1;
    if (lpcm <= 0 && multichannel) {
        sad[0] = 0;
        return;
    }
    if ((sad[0] & 7) != 1 && lpcm > 0)
        sad[0] = static_cast<std::uint8_t>((sad[0] & ~7) | ChannelBits(lpcm));
    sad[1] = rates;
    sad[2] = sampleSizes;
}

// A descriptor of a panel's format from that panel, or from the format's defaults when the
// panel gives no channel count.
void RewritePanelDescriptor(ShortAudioDescriptor& sad, const CreatorPage& page,
                            const PageNumbers& numbers, std::size_t i) {
    const auto& panel = kAudioPanels[i];
    const std::int64_t channels = numbers.panelChannels[i];
    const bool fromPanel = channels > 0;
    const std::uint8_t base = static_cast<std::uint8_t>(sad[0] & ~7);
    sad[0] = static_cast<std::uint8_t>(
        base | (fromPanel ? ChannelBits(channels) : ChannelBits(panel.defaultChannels)));
    sad[1] = fromPanel ? PanelRates(page, panel) : panel.defaultRates;
    if (panel.thirdByteKind == ThirdByte::Fixed || !fromPanel)
        sad[2] = panel.thirdByte;
    else
        sad[2] = static_cast<std::uint8_t>(
            std::clamp<std::int64_t>(numbers.panelBitRate[i] / 8, 0, 255));
}

// Every descriptor of a known format rewritten from its controls.
void RewriteAudioDescriptors(const CreatorPage& page, const PageNumbers& numbers, EdidRecord& r) {
    const std::uint8_t lpcmRates = LpcmRates(page);
    std::uint8_t sampleSizes = 0;
    for (const auto& size : kLpcmSampleSizes)
        if (IsChecked(page, kLpcmSampleSizePrefix, size.number)) sampleSizes |= size.bit;
    for (auto& sad : r.audioDescriptors) {
        if (sad[0] == 0) continue;
        const int code = (sad[0] & 0x78) >> 3;
        if (code == kLpcmCode) {
            RewriteLpcmDescriptor(sad, numbers.lpcmChannels, lpcmRates, sampleSizes);
            continue;
        }
        for (std::size_t i = 0; i < kAudioPanels.size(); ++i) {
            if (kAudioPanels[i].code != code) continue;
            RewritePanelDescriptor(sad, page, numbers, i);
            break;
        }
    }
}

// The speaker allocation; the twin boxes are not read.
void ReadSpeakers(const CreatorPage& page, EdidRecord& r) {
    r.speakerAllocation = 0;
    for (const auto& box : kSpeakers)
        if (page.Checked(SpeakerName(box))) r.speakerAllocation |= box.bit;
}

void BuildAudio(const CreatorPage& page, const PageNumbers& numbers, EdidRecord& r) {
    WaitingFormats waiting;
    AddAudioFormats(page, numbers.lpcmChannels, r, waiting);
    RemoveAudioFormats(page, numbers.lpcmChannels, r);
    PlaceWaitingFormats(r, waiting);
    RewriteAudioDescriptors(page, numbers, r);
    ReadSpeakers(page, r);
}

// Manufacturer (lower-case letters are packed as capitals), monitor name, product code, serial
// number, year and week.
void ReadDescriptor(const CreatorPage& page, const PageNumbers& numbers, EdidRecord& r) {
    std::string letters = page.Text(kManufacturerName).substr(0, 3);
    for (auto& c : letters)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    SetFieldText(r.manufacturer, letters);
    SetFieldText(r.monitorName, std::string_view(page.Text(kMonitorName)).substr(0, 13));
    r.productCode = numbers.productCode;
    r.serialNumber = numbers.serialNumber;
    r.year = numbers.year;
    r.week = numbers.week;
}

// Established timings, and the standard timings edited in place; as with the video codes, a
// second pass adds the timings that found every entry taken before the removals (with room it
// changes nothing).
void ReadTimings(const CreatorPage& page, EdidRecord& r) {
    r.establishedTimings = 0;
    for (const auto& box : kEstablishedTimings)
        if (IsChecked(page, kEstablishedTimingPrefix, box.number)) r.establishedTimings |= box.bit;
    auto& st = r.standardTimings;
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& box : kStandardTimings) {
            const auto at = std::find(st.begin(), st.end(), box.code);
            const bool ticked = IsChecked(page, kStandardTimingPrefix, box.number);
            if (ticked && at == st.end()) {
                auto free = std::find_if(st.begin(), st.end(), [](std::uint16_t v) {
                    return v == 0 || v == kUnusedStandardTiming;
                });
                if (free != st.end()) *free = box.code;
            } else if (!ticked && at != st.end()) {
                *at = kUnusedStandardTiming;
            }
        }
}

// Colour spaces and depths, then colorimetry.
void ReadColour(const CreatorPage& page, EdidRecord& r) {
    r.ycbcrSupport = 0;
    for (const auto& box : kColorSpaces)
        if (box.bit != 0 && IsChecked(page, kColorSpacePrefix, box.number))
            r.ycbcrSupport |= box.bit;
    r.yuv420Selection = IsChecked(page, kColorSpacePrefix, 3) ? 1 : 0;
    // the depths from their boxes; the other bits of the HDMI block's byte (Supports_AI, deep
    // colour in 4:4:4, dual link) stay as loaded while the depths are, so that an unchanged page
    // claims no more than the EDID it came from
    std::uint8_t depths = 0, depthMask = 0;
    for (const auto& box : kColorDepths) {
        depthMask |= box.bit;
        if (IsChecked(page, kColorDepthPrefix, box.number)) depths |= box.bit;
    }
    const bool ycbcr444 = IsChecked(page, kColorSpacePrefix, 1);
    if (depths != (r.deepColor & depthMask)) {
        r.deepColor = depths;
        if (r.deepColor != 0 && ycbcr444) r.deepColor |= kDeepColourYcbcr444;
    } else if (depths == 0) {
        r.deepColor = 0;
    } else if (!ycbcr444) {
        r.deepColor = static_cast<std::uint8_t>(r.deepColor & ~kDeepColourYcbcr444);
    }
    r.colorimetry = 0;
    for (const auto& box : kColorimetries)
        if (IsChecked(page, kColorimetryPrefix, box.number)) r.colorimetry |= box.bit;
}

template <std::size_t N> bool Lists(const std::array<std::uint8_t, N>& codes, int code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Video codes and 4:2:0 video codes edited in place (the second pass adds the codes that found
// the list full before the removals; with room it changes nothing), the HDMI VICs and 3D.
//
// A 4K box stands for a video code and an HDMI VIC of the same format, and the page ticks it for
// either. Ticked for an HDMI VIC alone, it adds no video code, and ticked for a video code alone,
// no HDMI VIC: each list keeps what it had while the box stays ticked, and the box adds both only
// when the operator ticks it. The HDMI VICs keep their order, and those without a box (4096x2160)
// stay.
void ReadVideo(const CreatorPage& page, EdidRecord& r) {
    const auto videoBefore = r.videoCodes;
    const auto hdmiBefore = r.hdmiVics;
    const auto byHdmiVicAlone = [&](int vic) {
        if (Lists(videoBefore, vic)) return false;
        return std::any_of(hdmiBefore.begin(), hdmiBefore.end(), [&](std::uint8_t h) {
            return h >= 1 && h < kVideoBoxOfHdmiVic.size() && kVideoBoxOfHdmiVic[h] == vic;
        });
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& box : kVideoBoxes) {
            const bool ticked = IsChecked(page, kVideoCodePrefix, box.vic);
            if (ticked && byHdmiVicAlone(box.vic)) continue;
            EditCodes(r.videoCodes, box.vic, ticked);
        }
        for (const auto& box : kYuv420Boxes)
            EditCodes(r.yuv420VideoCodes, box.vic, IsChecked(page, kYuv420Prefix, box.vic));
    }
    r.hdmiVics.fill(0);
    std::size_t h = 0;
    for (std::uint8_t vic : hdmiBefore) {
        if (vic == 0) continue;
        const auto box = std::find_if(kHdmiVicBoxes.begin(), kHdmiVicBoxes.end(),
                                      [&](const HdmiVicBox& b) { return b.hdmiVic == vic; });
        const int boxVic = box != kHdmiVicBoxes.end()        ? box->vic
                           : vic < kVideoBoxOfHdmiVic.size() ? kVideoBoxOfHdmiVic[vic]
                                                             : 0;
        if (boxVic == 0 || IsChecked(page, kVideoCodePrefix, boxVic)) r.hdmiVics[h++] = vic;
    }
    for (const auto& box : kHdmiVicBoxes)
        if (IsChecked(page, kVideoCodePrefix, box.vic) && !Lists(videoBefore, box.vic) &&
            !byHdmiVicAlone(box.vic) && !Lists(r.hdmiVics, box.hdmiVic) && h < r.hdmiVics.size())
            r.hdmiVics[h++] = static_cast<std::uint8_t>(box.hdmiVic);
    if (page.Checked(k3DPresent))
        r.formatFlags |= kFormat3D;
    else
        r.formatFlags = static_cast<std::uint16_t>(r.formatFlags & ~kFormat3D);
}

// HDR: the 4:2:0 deep colour, the EOTFs, the static metadata type and the luminance values.
void ReadHdr(const CreatorPage& page, const PageNumbers& numbers, EdidRecord& r) {
    r.yuv420DeepColor = 0;
    for (const auto& box : kHdrDeepColours)
        if (IsChecked(page, kHdrDeepColourPrefix, box.number)) r.yuv420DeepColor |= box.bit;
    // the EOTFs the page has no box for (HLG and later ones) stay as loaded
    std::uint8_t eotfs = r.hdrEotfs;
    for (const auto& box : kHdrEotfs)
        eotfs = static_cast<std::uint8_t>(eotfs & ~box.bit);
    for (const auto& box : kHdrEotfs)
        if (IsChecked(page, kHdrEotfPrefix, box.number)) eotfs |= box.bit;
    r.hdrEotfs = eotfs;
    r.hdrDescriptors = static_cast<std::uint8_t>((r.hdrDescriptors & ~1) |
                                                 (page.Checked(kHdrDescriptorType1) ? 1 : 0));
    r.hdrLuminance = numbers.luminance;
}

// The format: DVI (no extension) or HDMI.
void ReadFormat(const CreatorPage& page, EdidRecord& r) {
    if (page.IsDvi())
        r.formatFlags |= kFormatNoExtension;
    else
        r.formatFlags = static_cast<std::uint16_t>(r.formatFlags &
                                                   ~(kFormatNoExtension | kFormatCeaWithoutHdmi));
}

BuildResult ReadPage(const CreatorPage& page, EdidRecord& record) {
    PageNumbers numbers;
    if (auto read = ReadNumbers(page, numbers); !read) return read;
    ReadDescriptor(page, numbers, record);
    ReadTimings(page, record);
    ReadColour(page, record);
    ReadVideo(page, record);
    ReadHdr(page, numbers, record);
    BuildAudio(page, numbers, record);
    record.cecAddress = numbers.cecAddress;
    ReadFormat(page, record);
    return {};
}

BuildResult Build(const CreatorPage& page, EdidRecord& record) {
    EdidRecord built = record;
    if (auto read = ReadPage(page, built); !read) return read;
    if (const auto encoded = Encode(built); !encoded) return Fail(std::string(encoded.message));
    record = built;
    return {};
}

Gate SaveGate(std::uint16_t status) {
    return (status & kStatusHoldsEdid) ? Gate::Build : Gate::NoTemplate;
}

Gate UploadGate(std::uint16_t status) {
    if (status & kStatusInputError) return Gate::InputError;
    return SaveGate(status);
}

BuildResult BuildForUpload(const CreatorPage& page, EdidRecord& record) {
    if (auto built = Build(page, record); !built) return built;
    if (!ValidateImage(record.image, record.status))
        return Fail(std::string(ValidationMessage(record.status)));
    return {};
}

} // namespace tavo::creator
