#pragma once
// The 256-byte EDID image a slot holds (base block + at most one CEA-861 extension) and its
// validation. Its blocks and data blocks are read by the one walk, edid/EdidBlocks.h.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavo {

inline constexpr std::size_t kEdidSize = 256;
using EdidImage = std::array<std::uint8_t, kEdidSize>;

// Status word of an EDID record.
inline constexpr std::uint16_t kStatusInputError = 0x0001;   // the creator page holds an error
inline constexpr std::uint16_t kStatusBadHeader = 0x0008;    // illegal header
inline constexpr std::uint16_t kStatusBadChecksum0 = 0x0010; // bytes 0..127 do not sum to 0
inline constexpr std::uint16_t kStatusBadChecksum1 = 0x0020; // bytes 128..255 do not sum to 0
inline constexpr std::uint16_t kStatusTooManyBanks = 0x0040; // byte 126 above 1
inline constexpr std::uint16_t kStatusValidationMask = 0x0078;
inline constexpr std::uint16_t kStatusNewTemplate = 0x0080; // started from the built-in EDID
inline constexpr std::uint16_t kStatusHoldsEdid = 0x0100;   // the creator holds an EDID

// Data block tag values: the header's top three bits in place (0x20 x CEA-861 tag code).
inline constexpr std::uint8_t kTagAudio = 0x20;
inline constexpr std::uint8_t kTagVideo = 0x40;
inline constexpr std::uint8_t kTagVendor = 0x60;
inline constexpr std::uint8_t kTagSpeaker = 0x80;
inline constexpr std::uint8_t kTagExtended = 0xE0;

// Checks header, bank-0 checksum, extension count and (only when byte 126 is 1) bank-1 checksum,
// in that order; the first failure sets its bit. Clears the four validation bits first and leaves
// every other bit of `status` alone. True when the image is valid.
bool ValidateImage(const EdidImage& image, std::uint16_t& status);

// The message the uploads show for the validation bit set in `status` ("" when none is set).
std::string_view ValidationMessage(std::uint16_t status);

// Image byte at `offset`, or 0 past the image: blocks may claim lengths that run past byte 255.
inline std::uint8_t ByteAt(const EdidImage& image, int offset) {
    return (offset >= 0 && offset < static_cast<int>(kEdidSize)) ? image[offset] : 0;
}

// The bytes of the EDID's own blocks: 128 when byte 126 says there is no extension, else 256.
// A file saved holds these; a device slot always holds 256 (the rest as the image has it).
inline std::size_t EdidLength(const EdidImage& image) {
    return image[126] == 0 ? kEdidSize / 2 : kEdidSize;
}

// The 256 bytes a device slot is written with: a one-block EDID (byte 126 is 0) with the rest
// 0xFF, as an erased slot reads, whatever the image held there; any other image as it is.
inline EdidImage SlotImage(const EdidImage& image) {
    EdidImage out = image;
    if (out[126] == 0)
        for (std::size_t i = kEdidSize / 2; i < kEdidSize; ++i)
            out[i] = 0xFF;
    return out;
}

// The image as the open dialogs read a file: the first 256 bytes, a short file padded with 0xFF.
EdidImage ImageFromBytes(const std::uint8_t* data, std::size_t size);

} // namespace tavo
