#pragma once
// The video formats an EDID can name without a detailed timing: the CTA-861 video codes (VICs),
// the established timings of the base block and a few common DMT timings, with the timing a
// detailed timing descriptor of the same format carries.
#include <cstdint>
#include <optional>

#include "edid/EdidRecord.h"

namespace tavo {

// A format as formats are matched: active size, interlace and refresh rate in whole Hz (59.94 and
// 60 Hz are one rate; an interlaced format's rate is its field rate).
struct VideoFormat {
    int width = 0;
    int height = 0; // lines of the frame (both fields of an interlaced format)
    bool interlaced = false;
    int rate = 0;
    bool operator==(const VideoFormat&) const = default;
    auto operator<=>(const VideoFormat&) const = default;
};

// The whole timing: what a detailed timing descriptor holds, minus the image size.
struct VideoTiming {
    VideoFormat format;
    int pixelClockKhz = 0;
    int hFront = 0, hSync = 0, hBack = 0;
    int vFront = 0, vSync = 0, vBack = 0; // per field when interlaced
    bool hPositive = false, vPositive = false;
    int HTotal() const { return format.width + hFront + hSync + hBack; }
    // Lines of one field (the frame when progressive), without the half line of interlace.
    int VTotal() const {
        return (format.interlaced ? format.height / 2 : format.height) + vFront + vSync + vBack;
    }
    double HFrequencyKhz() const { return HTotal() ? double(pixelClockKhz) / HTotal() : 0; }
};

// The timing of a CTA-861 video code (1..107), nullopt for others.
std::optional<VideoTiming> VicTiming(int vic);
// The format of a CTA-861 video code 1..219 as far as it is known, nullopt otherwise.
std::optional<VideoFormat> VicFormat(int vic);
// The lowest video code of this format, 0 when none.
int VicOfFormat(const VideoFormat& format);
// HDMI_VIC 1..4 as a CTA video code (95, 94, 93, 98), 0 otherwise; and back.
int VicOfHdmiVic(int hdmiVic);
int HdmiVicOfVic(int vic);

// The established timing of bit `bit` (0: byte 37 bit 7 ... see the table), nullopt for the
// manufacturer bits. Bits count from byte 35 bit 7 (0) to byte 37 bit 7 (16).
inline constexpr int kEstablishedTimingBits = 17;
std::optional<VideoFormat> EstablishedFormat(int bit);

// A known DMT / CTA timing of this format (CTA codes first), nullopt when none is known.
std::optional<VideoTiming> KnownTiming(const VideoFormat& format);

// Detailed timing descriptors: the timing they hold (nullopt for a display descriptor or a
// timing of zero size), and one written from a timing (image size 0 x 0 mm; nullopt when a
// field does not fit, as 4096 active pixels do not).
std::optional<VideoTiming> ReadDetailedTiming(const std::uint8_t* d);
std::optional<DetailedTiming> WriteDetailedTiming(const VideoTiming& timing);

// A standard timing's two bytes as a format (nullopt for an unused entry), and back (0 when the
// format cannot be written as one).
std::optional<VideoFormat> StandardTimingFormat(std::uint8_t b0, std::uint8_t b1);
std::uint16_t StandardTimingCode(const VideoFormat& format);

} // namespace tavo
