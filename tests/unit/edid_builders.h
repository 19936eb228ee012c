#pragma once
// Small helpers that make EDID images for the codec tests.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo::test {

using Bytes = std::vector<std::uint8_t>;

inline void FixChecksum(EdidImage& img, int bank) {
    const int base = bank * 128;
    unsigned s = 0;
    for (int i = base; i < base + 127; ++i)
        s += img[i];
    img[base + 127] = static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

inline void FixChecksums(EdidImage& img) {
    FixChecksum(img, 0);
    FixChecksum(img, 1);
}

// A valid base block (header, no descriptors) with byte 126 = 0.
inline EdidImage BaseOnly() {
    EdidImage img{};
    const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    std::copy(std::begin(header), std::end(header), img.begin());
    img[18] = 1;
    img[19] = 3;
    for (int i = 38; i < 54; ++i)
        img[i] = 0x01;
    FixChecksum(img, 0);
    return img;
}

// A valid image with one CEA-861 extension whose data block collection is `blocks`.
inline EdidImage WithBlocks(const Bytes& blocks, std::uint8_t byte131 = 0x00) {
    EdidImage img = BaseOnly();
    img[126] = 1;
    img[128] = 0x02;
    img[129] = 0x03;
    img[130] = static_cast<std::uint8_t>(4 + blocks.size());
    img[131] = byte131;
    std::copy_n(blocks.begin(), std::min<std::size_t>(blocks.size(), 124), img.begin() + 132);
    FixChecksums(img);
    return img;
}

// Puts a monitor-name descriptor (00 00 00 FC 00 + 13 bytes) at descriptor slot `slot` (0..3).
inline void PutNameDescriptor(EdidImage& img, int slot, const Bytes& text13) {
    const int at = 54 + 18 * slot;
    std::fill_n(img.begin() + at, 18, 0);
    img[at + 3] = 0xFC;
    std::copy_n(text13.begin(), std::min<std::size_t>(13, text13.size()), img.begin() + at + 5);
    FixChecksum(img, 0);
}

inline Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Slice(const EdidImage& img, int from, int to) {
    return Bytes(img.begin() + from, img.begin() + to);
}

} // namespace tavo::test
