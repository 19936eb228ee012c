#include "workspace/sources/Presets.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/Encoder.h"
#include "edid/JsonWriter.h"
#include "edid/NewEdidTemplate.h"

namespace tavo {
namespace {

// A video timing as the detailed timing descriptor holds it.
struct Timing {
    int pixelClockKHz;
    int hActive, hBlank, hFront, hSync;
    int vActive, vBlank, vFront, vSync;
    bool hPositive, vPositive;
};

// CTA-861 timings and the reduced-blanking timing of a 1920x1200 panel.
constexpr Timing k720p60{74250, 1280, 370, 110, 40, 720, 30, 5, 5, true, true};
constexpr Timing k1080p60{148500, 1920, 280, 88, 44, 1080, 45, 4, 5, true, true};
constexpr Timing k2160p30{297000, 3840, 560, 176, 88, 2160, 90, 8, 10, true, true};
constexpr Timing k2160p60{594000, 3840, 560, 176, 88, 2160, 90, 8, 10, true, true};
constexpr Timing k1200p60rb{154000, 1920, 160, 48, 32, 1200, 35, 3, 6, true, false};

// The 18 bytes of a detailed timing descriptor for `t` on a screen of the given size.
DetailedTiming TimingDescriptor(const Timing& t, int widthMm, int heightMm) {
    DetailedTiming d{};
    const int clock = t.pixelClockKHz / 10;
    d[0] = static_cast<std::uint8_t>(clock);
    d[1] = static_cast<std::uint8_t>(clock >> 8);
    d[2] = static_cast<std::uint8_t>(t.hActive);
    d[3] = static_cast<std::uint8_t>(t.hBlank);
    d[4] = static_cast<std::uint8_t>(((t.hActive >> 8) << 4) | (t.hBlank >> 8));
    d[5] = static_cast<std::uint8_t>(t.vActive);
    d[6] = static_cast<std::uint8_t>(t.vBlank);
    d[7] = static_cast<std::uint8_t>(((t.vActive >> 8) << 4) | (t.vBlank >> 8));
    d[8] = static_cast<std::uint8_t>(t.hFront);
    d[9] = static_cast<std::uint8_t>(t.hSync);
    d[10] = static_cast<std::uint8_t>(((t.vFront & 0x0F) << 4) | (t.vSync & 0x0F));
    d[11] = static_cast<std::uint8_t>(((t.hFront >> 8) << 6) | ((t.hSync >> 8) << 4) |
                                      ((t.vFront >> 4) << 2) | (t.vSync >> 4));
    d[12] = static_cast<std::uint8_t>(widthMm);
    d[13] = static_cast<std::uint8_t>(heightMm);
    d[14] = static_cast<std::uint8_t>(((widthMm >> 8) << 4) | (heightMm >> 8));
    // digital separate sync and its polarities
    d[17] = static_cast<std::uint8_t>(0x18 | (t.vPositive ? 0x04 : 0) | (t.hPositive ? 0x02 : 0));
    return d;
}

// Display range limits: vertical Hz, horizontal kHz, the highest pixel clock in MHz.
struct Range {
    int minV, maxV, minH, maxH, maxClockMHz;
};

std::array<std::uint8_t, 18> RangeDescriptor(const Range& r) {
    std::array<std::uint8_t, 18> d{};
    d[3] = 0xFD;
    d[5] = static_cast<std::uint8_t>(r.minV);
    d[6] = static_cast<std::uint8_t>(r.maxV);
    d[7] = static_cast<std::uint8_t>(r.minH);
    d[8] = static_cast<std::uint8_t>(r.maxH);
    d[9] = static_cast<std::uint8_t>((r.maxClockMHz + 9) / 10);
    d[10] = 0x00; // default GTF
    d[11] = 0x0A;
    std::fill(d.begin() + 12, d.end(), 0x20);
    return d;
}

// Short audio descriptors. Rates: 0x01 32, 0x02 44.1, 0x04 48, 0x08 88.2, 0x10 96, 0x20 176.4,
// 0x40 192 kHz.
constexpr std::uint8_t kRates48 = 0x07;  // 32, 44.1, 48 kHz
constexpr std::uint8_t kRates192 = 0x7F; // 32 .. 192 kHz

ShortAudioDescriptor Sad(int format, int channels, std::uint8_t rates, std::uint8_t third) {
    return {static_cast<std::uint8_t>((format << 3) | (channels - 1)), rates, third};
}
// L-PCM with 16, 20 and 24 bits
ShortAudioDescriptor Lpcm(int channels, std::uint8_t rates) {
    return Sad(1, channels, rates, 0x07);
}
// AC-3 and DTS carry their highest bit rate in 8 kbit/s units
ShortAudioDescriptor Ac3(int channels) {
    return Sad(2, channels, kRates48, 640 / 8);
}
ShortAudioDescriptor Dts(int channels) {
    return Sad(7, channels, kRates48 & 0x06, 1536 / 8);
}
ShortAudioDescriptor Eac3(int channels) {
    return Sad(10, channels, kRates48 & 0x06, 0x00);
}
ShortAudioDescriptor DtsHd(int channels) {
    return Sad(11, channels, kRates192 & 0x7E, 0x01);
}
ShortAudioDescriptor TrueHd(int channels) {
    return Sad(12, channels, 0x54, 0x00); // 48, 96, 192 kHz
}

// Speaker allocation payload byte 1: FL/FR, LFE, FC, RL/RR, ... RLC/RRC.
constexpr std::uint32_t kSpeakersStereo = 0x01u << 16;
constexpr std::uint32_t kSpeakers51 = 0x0Fu << 16;
constexpr std::uint32_t kSpeakers71 = 0x4Fu << 16;

// Established timings 640x480, 800x600 and 1024x768 at 60 Hz.
constexpr std::uint32_t kEstablishedVga = 0x210800;

// Standard timing entries: (width / 8 - 31) in the high byte, aspect and refresh - 60 in the low.
constexpr std::uint16_t kStd1280x1024 = 0x8180;
constexpr std::uint16_t kStd1440x900 = 0x9500;
constexpr std::uint16_t kStd1680x1050 = 0xB300;
constexpr std::uint16_t kStd1280x800 = 0x8100;
constexpr std::uint16_t kStd1600x900 = 0xA9C0;

struct PresetSpec {
    PresetInfo info;
    std::string_view monitorName; // at most 13 characters
    std::uint16_t productCode;
    bool dvi;
    Timing preferred;
    const Timing* second; // nullptr: the slot holds nothing else
    int widthMm, heightMm;
    Range range;
    std::vector<std::uint16_t> standardTimings;
    std::vector<std::uint8_t> videoCodes;
    std::vector<std::uint8_t> yuv420Codes;
    std::vector<ShortAudioDescriptor> audio;
    std::uint32_t speakers;
    std::uint8_t ycbcr;       // extension byte 3: 0x20 4:4:4, 0x10 4:2:2
    std::uint8_t deepColor;   // HDMI block byte 6
    std::uint8_t colorimetry; // 0: no colorimetry block
    std::uint8_t hdrEotfs;    // 0: no HDR block
    std::array<std::uint8_t, 3> hdrLuminance;
    std::uint8_t yuv420DeepColor;
};

const std::vector<PresetSpec>& Specs() {
    static const std::vector<PresetSpec> specs = {
        {{"720p60-stereo",
          "1280x720 60 Hz, 2-channel L-PCM; RGB 8-bit only, so DVI displays take it too"},
         "720p Stereo",
         0x0720,
         false,
         k720p60,
         nullptr,
         700,
         390,
         {49, 61, 15, 50, 80},
         {},
         {4, 19, 3, 2, 1},
         {},
         {Lpcm(2, kRates48)},
         kSpeakersStereo,
         0x00,
         0x00,
         0,
         0,
         {},
         0},
        {{"1080p60-stereo", "1920x1080 60 Hz, 2-channel L-PCM"},
         "1080p Stereo",
         0x1080,
         false,
         k1080p60,
         &k720p60,
         1000,
         560,
         {49, 61, 15, 68, 150},
         {},
         {16, 31, 4, 19, 3, 2, 1},
         {},
         {Lpcm(2, kRates48)},
         kSpeakersStereo,
         0x30,
         0x00,
         0,
         0,
         {},
         0},
        {{"1080p60-5.1", "1920x1080 60 Hz with 5.1 sound: AC-3, DTS, 2-channel L-PCM"},
         "1080p 5.1",
         0x1051,
         false,
         k1080p60,
         &k720p60,
         1000,
         560,
         {49, 61, 15, 68, 150},
         {},
         {16, 31, 4, 19, 3, 2, 1},
         {},
         {Lpcm(2, kRates48), Ac3(6), Dts(6)},
         kSpeakers51,
         0x30,
         0x00,
         0,
         0,
         {},
         0},
        {{"1080p60-7.1",
          "1920x1080 60 Hz with 7.1 sound: 8-channel L-PCM up to 192 kHz, AC-3, DTS"},
         "1080p 7.1",
         0x1071,
         false,
         k1080p60,
         &k720p60,
         1000,
         560,
         {49, 61, 15, 68, 150},
         {},
         {16, 31, 4, 19, 3, 2, 1},
         {},
         {Lpcm(2, kRates192), Lpcm(8, kRates192), Ac3(6), Dts(6)},
         kSpeakers71,
         0x30,
         0x00,
         0,
         0,
         {},
         0},
        {{"2160p30-stereo", "3840x2160 at 24, 25 and 30 Hz, 1080p60, 2-channel L-PCM"},
         "2160p30",
         0x2130,
         false,
         k2160p30,
         &k1080p60,
         1210,
         680,
         {24, 61, 15, 68, 300},
         {},
         {95, 94, 93, 16, 31, 4, 19, 3, 2, 1},
         {},
         {Lpcm(2, kRates48)},
         kSpeakersStereo,
         0x30,
         0x00,
         0,
         0,
         {},
         0},
        {{"2160p60-420",
          "3840x2160 60 and 50 Hz in YCbCr 4:2:0 only (and 4:4:4 up to 30 Hz), 2-channel L-PCM"},
         "2160p60 420",
         0x2142,
         false,
         k2160p30,
         &k1080p60,
         1210,
         680,
         {24, 61, 15, 136, 600},
         {},
         {95, 94, 93, 16, 31, 4, 19, 3, 2, 1},
         {97, 96},
         {Lpcm(2, kRates48)},
         kSpeakersStereo,
         0x30,
         0x00,
         0,
         0,
         {},
         0},
        {{"2160p60-hdr-7.1",
          "3840x2160 60 Hz 4:4:4, 10/12-bit, BT.2020, HDR10 and HLG; 7.1 sound: L-PCM, AC-3, "
          "E-AC-3, Dolby TrueHD, DTS, DTS-HD"},
         "2160p60 HDR",
         0x2160,
         false,
         k2160p60,
         &k1080p60,
         1210,
         680,
         {24, 61, 15, 136, 600},
         {},
         {97, 96, 95, 94, 93, 16, 31, 4, 19, 3, 2, 1},
         {},
         {Lpcm(2, kRates192), Lpcm(8, kRates192), Ac3(6), Eac3(8), TrueHd(8), Dts(6), DtsHd(8)},
         kSpeakers71,
         0x30,
         0x38, // 36- and 30-bit, deep colour in 4:4:4
         0xC0, // BT.2020 RGB and YCbCr
         0x0D, // SDR, SMPTE ST 2084 (HDR10), HLG
         {115, 90, 0},
         0x03}, // 30- and 36-bit in 4:2:0
        {{"1920x1200-pc",
          "PC monitor, 1920x1200 60 Hz (reduced blanking) and VESA modes to 1680x1050, DVI: no "
          "audio"},
         "PC 1920x1200",
         0x1200,
         true,
         k1200p60rb,
         nullptr,
         520,
         320,
         {56, 61, 30, 75, 160},
         {kStd1680x1050, kStd1440x900, kStd1280x1024, kStd1280x800, kStd1600x900},
         {},
         {},
         {},
         0,
         0x00,
         0x00,
         0,
         0,
         {},
         0},
    };
    return specs;
}

// The base block's four descriptors: the preferred timing, a second timing (or the range
// limits), the monitor name for the encoder to fill in, and the range limits (or nothing).
void WriteDescriptors(const PresetSpec& s, EdidImage& image) {
    auto put = [&](int slot, const std::array<std::uint8_t, 18>& d) {
        std::copy(d.begin(), d.end(), image.begin() + 54 + 18 * slot);
    };
    put(0, TimingDescriptor(s.preferred, s.widthMm, s.heightMm));
    std::array<std::uint8_t, 18> name{};
    name[3] = 0xFC;
    std::fill(name.begin() + 5, name.end(), 0x20);
    const std::array<std::uint8_t, 18> range = RangeDescriptor(s.range);
    if (s.second) {
        put(1, TimingDescriptor(*s.second, s.widthMm, s.heightMm));
        put(2, name);
        put(3, range);
    } else {
        put(1, name);
        put(2, range);
        std::array<std::uint8_t, 18> dummy{};
        dummy[3] = 0x10; // dummy descriptor
        put(3, dummy);
    }
    // the extension's IT formats are underscanned by default (byte 3 bit 7, kept by the encoder)
    image[131] |= 0x80;
    // screen size in cm
    image[21] = static_cast<std::uint8_t>(s.widthMm / 10);
    image[22] = static_cast<std::uint8_t>(s.heightMm / 10);
}

// Two things the encoder writes as the creator always has, which today's HDMI and CTA-861 readers
// reject: a forum block's Max_TMDS_Character_Rate of 340 MHz or less (0 is the value that leaves
// the clock to the HDMI block), and the colorimetry block's metadata profile bits MD0-MD3, now
// reserved. Both are set right here, and the extension's checksum with them.
void Conform(EdidImage& image) {
    const EdidBlocks walked = ReadEdidBlocks(image);
    const EdidBlock* cta = walked.FirstAnnouncedCta();
    if (cta == nullptr) return;
    for (const CtaDataBlock& db : cta->dataBlocks) {
        const int r = db.offset, length = db.length - 1; // payload bytes inside the collection
        const int tag = db.tag << 5;
        if (tag == kTagVendor && length >= 5 && image[r + 1] == 0xD8 && image[r + 2] == 0x5D &&
            image[r + 3] == 0xC4 && image[r + 5] <= 340 / 5)
            image[r + 5] = 0;
        if (tag == kTagExtended && length >= 3 && image[r + 1] == 0x05) image[r + 3] &= 0xF0;
    }
    unsigned sum = 0;
    for (int i = cta->offset; i < cta->offset + 127; ++i)
        sum += image[i];
    image[cta->offset + 127] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

PresetBuild Build(const PresetSpec& s) {
    EdidRecord record;
    Decode(record, NewEdidTemplate());
    WriteDescriptors(s, record.image);

    SetFieldText(record.manufacturer, "NEW");
    SetFieldText(record.monitorName, s.monitorName);
    record.productCode = s.productCode;
    record.serialNumber = 0;
    record.year = static_cast<std::uint8_t>(2025 & 0xFF); // the calendar year's low byte
    record.week = 1;
    record.formatFlags = s.dvi ? kFormatNoExtension : 0;
    record.establishedTimings = kEstablishedVga;
    record.standardTimings.fill(kStandardTimingUnused);
    std::copy(s.standardTimings.begin(), s.standardTimings.end(), record.standardTimings.begin());

    record.videoCodes = {};
    std::copy(s.videoCodes.begin(), s.videoCodes.end(), record.videoCodes.begin());
    record.yuv420VideoCodes = {};
    std::copy(s.yuv420Codes.begin(), s.yuv420Codes.end(), record.yuv420VideoCodes.begin());
    record.audioDescriptors = {};
    std::copy(s.audio.begin(), s.audio.end(), record.audioDescriptors.begin());
    record.speakerAllocation = s.audio.size() ? s.speakers : 0;
    record.extTimings = {};
    // 4K at 24, 25 and 30 Hz also as HDMI VICs, for sources that read only the HDMI block
    record.hdmiVics = {};
    std::size_t hdmiVics = 0;
    for (const auto& [vic, hdmiVic] : {std::pair{93, 3}, std::pair{94, 2}, std::pair{95, 1}})
        if (std::find(s.videoCodes.begin(), s.videoCodes.end(), vic) != s.videoCodes.end())
            record.hdmiVics[hdmiVics++] = static_cast<std::uint8_t>(hdmiVic);
    record.threeDLength = 0;
    record.threeDFlags = 0;
    record.ycbcrSupport = s.ycbcr;
    record.deepColor = s.deepColor;
    record.colorimetry = s.colorimetry;
    // RGB (and YCbCr) quantization range selectable, IT and CE formats underscanned
    record.videoCapability = s.ycbcr ? 0xCA : 0x4A;
    record.hdrEotfs = s.hdrEotfs;
    record.hdrDescriptors = s.hdrEotfs ? 0x01 : 0;
    record.hdrLuminance = s.hdrLuminance;
    record.yuv420DeepColor = s.yuv420DeepColor;
    record.cecAddress = {0x10, 0x00};

    PresetBuild out;
    if (const EncodeResult r = Encode(record); !r) {
        out.message = std::string(r.message);
        return out;
    }
    // A 4K format makes the encoder add an HDMI Forum block, and with it HDR when there was
    // none. Built again over its own image (as the creator builds over its template), the
    // forum block is the template's and the preset's own HDR choice holds.
    if (record.hdrEotfs != s.hdrEotfs) {
        record.hdrEotfs = s.hdrEotfs;
        record.hdrDescriptors = s.hdrEotfs ? 0x01 : 0;
        if (const EncodeResult r = Encode(record); !r) {
            out.message = std::string(r.message);
            return out;
        }
    }
    Conform(record.image);
    std::uint16_t status = 0;
    if (!ValidateImage(record.image, status)) {
        out.message = std::string(ValidationMessage(status));
        return out;
    }
    out.ok = true;
    out.image = record.image;
    return out;
}

} // namespace

const std::vector<PresetInfo>& Presets() {
    static const std::vector<PresetInfo> list = [] {
        std::vector<PresetInfo> l;
        for (const PresetSpec& s : Specs())
            l.push_back(s.info);
        return l;
    }();
    return list;
}

const PresetInfo* FindPreset(std::string_view name) {
    for (const PresetInfo& p : Presets())
        if (p.name == name) return &p;
    return nullptr;
}

PresetBuild BuildPreset(std::string_view name) {
    for (const PresetSpec& s : Specs())
        if (s.info.name == name) return Build(s);
    PresetBuild out;
    out.message = "unknown preset '" + std::string(name) + "'";
    return out;
}

std::string PresetList(bool json) {
    std::size_t width = 0;
    for (const PresetInfo& p : Presets())
        width = std::max(width, p.name.size());
    std::string out;
    for (const PresetInfo& p : Presets()) {
        if (json) {
            JsonWriter line(JsonSpacing::Tight);
            line.BeginObject()
                .Member("name", p.name)
                .Member("description", p.description)
                .EndObject();
            out += line.Text() + '\n';
        } else {
            out += std::string(p.name) + std::string(width - p.name.size() + 2, ' ') +
                   std::string(p.description) + '\n';
        }
    }
    return out;
}

} // namespace tavo
