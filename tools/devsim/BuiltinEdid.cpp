#include "BuiltinEdid.h"

#include <algorithm>
#include <initializer_list>

namespace tavo::devsim {
namespace {

void Put(EdidImage& image, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

void Checksum(EdidImage& image, std::size_t bank) {
    unsigned sum = 0;
    for (std::size_t i = bank * 128; i < bank * 128 + 127; ++i)
        sum += image[i];
    image[bank * 128 + 127] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

} // namespace

EdidImage BuiltinNewEdid() {
    EdidImage e{};
    // ---- base block -----------------------------------------------------------------------
    Put(e, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}); // header
    Put(e, 8, {0x50, 0x36});                    // manufacturer "TAV" (5-bit letters, big endian)
    Put(e, 10, {0x01, 0x00});                   // product code 1
    Put(e, 12, {0x00, 0x00, 0x00, 0x00});       // no serial number
    Put(e, 16, {0x01, 26});                     // week 1 of 2016
    Put(e, 18, {0x01, 0x03});                   // EDID 1.3
    Put(e, 20, {0x80, 0x3C, 0x22, 0x78, 0x0A}); // digital, 60x34 cm, gamma 2.2, RGB, preferred
    // chromaticity (sRGB primaries, D65 white)
    Put(e, 25, {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54});
    Put(e, 35, {0x21, 0x08, 0x00}); // established: 640x480@60, 800x600@60, 1024x768@60
    // standard timings: 1280x720@60 (16:9), the other seven unused
    Put(e, 38,
        {0x81, 0xC0, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
         0x01});
    // descriptor 1: 1920x1080@60, 148.5 MHz, 598x336 mm
    Put(e, 54,
        {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x56, 0x50, 0x21,
         0x00, 0x00, 0x1E});
    // descriptor 2: range limits 56-75 Hz, 30-83 kHz, 170 MHz
    Put(e, 72,
        {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4B, 0x1E, 0x53, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20,
         0x20, 0x20, 0x20});
    // descriptor 3: monitor name
    Put(e, 90,
        {0x00, 0x00, 0x00, 0xFC, 0x00, 'T', 'A', 'V', 'O', ' ', 'N', 'E', 'W', ' ', 'E', 'D', 'I',
         'D'});
    // descriptor 4: dummy
    Put(e, 108,
        {0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
         0x00, 0x00, 0x00});
    e[126] = 1; // one extension
    Checksum(e, 0);

    // ---- CEA-861 extension ----------------------------------------------------------------
    Put(e, 128, {0x02, 0x03, 0x00, 0x71}); // tag, revision 3, offset below; audio, 4:4:4, 4:2:2
    std::size_t p = 132;
    // video: 1080p60 (native), 720p60, 480p 16:9, 480p 4:3, 640x480, 1080p50, 720p50
    Put(e, p, {0x47, 0x90, 0x04, 0x03, 0x02, 0x01, 0x1F, 0x13});
    p += 8;
    Put(e, p, {0x23, 0x09, 0x07, 0x07}); // audio: L-PCM 2 channels, 32/44.1/48 kHz, 16/20/24 bit
    p += 4;
    Put(e, p, {0x83, 0x01, 0x00, 0x00}); // speakers: front left/right
    p += 4;
    Put(e, p, {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}); // HDMI vendor block, address 1.0.0.0
    p += 6;
    e[130] = static_cast<std::uint8_t>(p - 128); // detailed timings start here
    // 1280x720@60, 74.25 MHz
    Put(e, p,
        {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E, 0x28, 0x55, 0x00, 0x56, 0x50, 0x21,
         0x00, 0x00, 0x1E});
    Checksum(e, 1);
    return e;
}

} // namespace tavo::devsim
