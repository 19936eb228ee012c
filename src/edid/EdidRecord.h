#pragma once
// The EDID model record: one decoded (or creator-built) EDID. The decoder fills it from an image,
// the creator page is loaded from it and built back into it, and the encoder writes a new image
// from it over the image it already holds (the template image).
//
// Texts are NUL-terminated 8-bit strings (Latin-1 when shown). Every list marks an empty entry
// with 0, except the standard timings, where 0x0101 is the unused entry.
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "edid/EdidImage.h"

namespace tavo {

// Format flags (EdidRecord::formatFlags).
inline constexpr std::uint16_t kFormatNoExtension = 0x0001;    // DVI: byte 126 is 0 / encode as DVI
inline constexpr std::uint16_t kFormatCeaWithoutHdmi = 0x0002; // extension without an HDMI block
inline constexpr std::uint16_t kFormatHdmiBlock = 0x0004;      // an HDMI block was found
inline constexpr std::uint16_t kFormat3D = 0x0008;             // 3D present
// Decoder: the HDMI block's first HDMI VIC is 1..4. Encoder: a 4K format at up to 30 Hz, or a 4K
// format in 4:2:0, is listed.
inline constexpr std::uint16_t kFormat4kLow = 0x0010;
// Decoder: the video data block lists a VIC 93..107. Encoder: a 4K format at 50/60 Hz is listed.
inline constexpr std::uint16_t kFormat4kHigh = 0x0020;

// Audio formats present (EdidRecord::audioFormatsPresent).
inline constexpr std::uint16_t kAudioLpcm2 = 0x001;     // L-PCM with at most 2 channels
inline constexpr std::uint16_t kAudioLpcmMulti = 0x002; // L-PCM with more than 2 channels
inline constexpr std::uint16_t kAudioAc3 = 0x004;
inline constexpr std::uint16_t kAudioEac3 = 0x008;
inline constexpr std::uint16_t kAudioMat = 0x010; // MAT (Dolby TrueHD)
inline constexpr std::uint16_t kAudioDts = 0x020;
inline constexpr std::uint16_t kAudioDtsHd = 0x040;
inline constexpr std::uint16_t kAudioAac = 0x080;
inline constexpr std::uint16_t kAudioOneBit = 0x100; // One Bit Audio

inline constexpr std::uint16_t kStandardTimingUnused = 0x0101;

inline constexpr std::size_t kVideoCodeCount = 24;
inline constexpr std::size_t kAudioDescriptorCount = 10;
inline constexpr std::size_t kYuv420CodeCount = 8;
inline constexpr std::size_t kHdmiVicCount = 4;
inline constexpr std::size_t k3DByteCount = 14;
inline constexpr std::size_t kExtTimingCount = 3;
inline constexpr std::size_t kDetailedTimingSize = 18;

using ShortAudioDescriptor = std::array<std::uint8_t, 3>;
using DetailedTiming = std::array<std::uint8_t, kDetailedTimingSize>;

struct EdidRecord {
    // Status word: kStatus* bits of EdidImage.h (input error, validation errors, new, holds EDID).
    // The decoder keeps bits 7 and 8 and clears the rest before validating.
    std::uint16_t status = 0;
    // kFormat* bits above. The encoder reads bit 0 (DVI) and bit 3 (3D), and recomputes 4 and 5.
    std::uint16_t formatFlags = 0;
    // The 256-byte image; the encoder writes over it (it is the template of the next build).
    EdidImage image{};

    // Manufacturer ID as three character codes + NUL (compressed ASCII, A = 1, in bytes 8-9).
    // A missing letter is 0.
    std::array<char, 4> manufacturer{};
    // Monitor-name descriptor text + NUL; "UNDEFINE." when the base block has none. Positions
    // after the name are 0 when the creator builds it (a decode may leave an older name's bytes
    // after the terminator).
    std::array<char, 14> monitorName{};
    std::uint16_t productCode = 0;  // bytes 10-11
    std::uint32_t serialNumber = 0; // bytes 12-15
    // Decoded: byte 17 as is (years since 1990). Built by the creator: the low 8 bits of the
    // calendar year, which the encoder turns back into byte 17 by adding 58.
    std::uint8_t year = 0;
    std::uint8_t week = 0; // byte 16
    // Bits 23-16, 15-8, 7-0 are bytes 35, 36, 37.
    std::uint32_t establishedTimings = 0;
    // Entry i: byte 38+2i in the high half, 39+2i in the low half; 0x0101 is unused.
    std::array<std::uint16_t, 8> standardTimings{};
    // Detailed timing descriptors of the extension block, 18 bytes each. A slot for which the
    // decoded image has no room is all zero (the encoder writes zeros there: padding).
    std::array<DetailedTiming, kExtTimingCount> extTimings{};

    // Extension byte 3 (image byte 131) as a whole: 0x20 YCbCr 4:4:4, 0x10 YCbCr 4:2:2.
    std::uint8_t ycbcrSupport = 0;
    // HDMI block byte 6: 0x80 Supports_AI, 0x40 48-bit, 0x20 36-bit, 0x10 30-bit, 0x08 deep
    // colour in YCbCr 4:4:4, 0x01 DVI dual link. 0 when there is no HDMI block.
    std::uint8_t deepColor = 0;
    // Highest colour depth in bits per component: 8, 10, 12 or 16 (8 unless the HDMI block says
    // more).
    std::uint8_t colorDepth = 8;

    // VICs of the video data block by position, native flag of VICs 1..64 removed; 0 is empty.
    std::array<std::uint8_t, kVideoCodeCount> videoCodes{};
    // CEA-861 short audio descriptors; an entry whose first byte is 0 is empty.
    std::array<ShortAudioDescriptor, kAudioDescriptorCount> audioDescriptors{};
    // Bits 23-16, 15-8, 7-0 are the speaker allocation block's payload bytes; 0 means no block.
    std::uint32_t speakerAllocation = 0;
    // VICs of the YCbCr 4:2:0 video data block; 0 is empty.
    std::array<std::uint8_t, kYuv420CodeCount> yuv420VideoCodes{};
    // HDMI_VIC codes of the HDMI block (1: 2160p30, 2: 2160p25, 3: 2160p24, 4: 4096x2160p24),
    // packed at the front; 0 is empty.
    std::array<std::uint8_t, kHdmiVicCount> hdmiVics{};
    std::uint8_t threeDLength = 0; // HDMI_3D_LEN, at most 14 (the decoder keeps 14 bytes)
    // The HDMI block byte holding 3D_present (0x80), 3D_Multi_present (0x60), Image_Size (0x18).
    std::uint8_t threeDFlags = 0;
    // The HDMI block's 3D bytes that follow the HDMI VICs; threeDLength of them are used.
    std::array<std::uint8_t, k3DByteCount> threeDBytes{};

    // Payload byte of the video capability block; 0 means no block.
    std::uint8_t videoCapability = 0;
    // First payload byte of the colorimetry block: 0x80 BT2020 RGB, 0x40 BT2020 YCC, 0x20 BT2020
    // cYCC, 0x10 AdobeRGB, 0x08 AdobeYCC601, 0x04 sYCC601, 0x02 xvYCC709, 0x01 xvYCC601; 0 means
    // no block.
    std::uint8_t colorimetry = 0;
    // HDR static metadata: EOTFs (0x04 ST 2084, 0x02 traditional HDR, 0x01 traditional SDR;
    // 0 means no HDR block), descriptors (0x01 static metadata type 1) and the luminance codes
    // [0] desired content max, [1] max frame-average, [2] min (CTA-861.3 code values).
    std::uint8_t hdrEotfs = 0;
    std::uint8_t hdrDescriptors = 0;
    std::array<std::uint8_t, 3> hdrLuminance{};

    // Name of the best video format the video data block lists, or "UNDEFINE." (+ NUL).
    std::array<char, 12> maxResolutionName{};
    // 1 when the forum block's Max_TMDS_Character_Rate is 600 MHz or more.
    std::uint8_t support600MHz = 0;
    // Creator: the 4:2:0 deep colour bits written into the forum block's byte 7 (0x04 48-bit,
    // 0x02 36-bit, 0x01 30-bit). Decoder: the HDR summary instead (forum 4:2:0 deep colour, or
    // 0x03/0x01 from SCDC and colour depth 12/10, or 0x80; 0 when there is no HDR block).
    std::uint8_t yuv420DeepColor = 0;
    std::uint8_t scdc = 0;            // 1 when the forum block says SCDC_Present
    std::uint8_t yuv420Selection = 0; // 1 when YCbCr 4:2:0 is supported / offered
    // The forum block's byte 7, bits 2-0 (0x04 48-bit, 0x02 36-bit, 0x01 30-bit in 4:2:0).
    std::uint8_t forumYuv420DeepColor = 0;
    // HDMI block bytes 4 and 5: A*16+B, C*16+D.
    std::array<std::uint8_t, 2> cecAddress{};
    // kAudio* bits: which formats have a descriptor in audioDescriptors.
    std::uint16_t audioFormatsPresent = 0;
    // Largest channel count of any short audio descriptor (0 without audio).
    std::uint8_t maxChannels = 0;
};

// The text of a NUL-terminated field (up to its terminator, never past the array).
template <std::size_t N> inline std::string_view FieldText(const std::array<char, N>& field) {
    const void* nul = std::memchr(field.data(), 0, N);
    return {field.data(),
            nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field.data()) : N};
}

// Copies `text` into a NUL-terminated field, cut to N-1 characters; the rest of the field is 0.
template <std::size_t N>
inline void SetFieldText(std::array<char, N>& field, std::string_view text) {
    field.fill(0);
    std::memcpy(field.data(), text.data(), text.size() < N ? text.size() : N - 1);
}

} // namespace tavo
