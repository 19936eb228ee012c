#pragma once
// Small helpers that make EDID images for the codec tests.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "edid/EdidBlocks.h"
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

// The offsets of the data blocks with this tag value (kTagAudio ... kTagExtended) in the image's
// CTA-861 extension, in order, as the walk reads them: none when byte 126 announces no extension
// or block 1 is no CTA-861 block.
inline std::vector<int> DataBlocksTagged(const EdidImage& img, std::uint8_t tag) {
    std::vector<int> out;
    const EdidBlocks walked = ReadEdidBlocks(img);
    if (const EdidBlock* cta = walked.FirstAnnouncedCta())
        for (const CtaDataBlock& db : cta->dataBlocks)
            if ((db.tag << 5) == tag) out.push_back(db.offset);
    return out;
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

// Larger EDIDs, block by block: each builder returns 128 bytes with a valid checksum.
inline void FixBlockChecksum(Bytes& bytes, std::size_t block) {
    const std::size_t base = block * 128;
    unsigned s = 0;
    for (std::size_t i = base; i < base + 127; ++i)
        s += bytes[i];
    bytes[base + 127] = static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

// A CTA-861 block: `blocks` as its collection, then `timings` detailed timings (1920x1080 at
// 60 Hz). `dtdOffset` -1: right after the collection.
inline Bytes CtaBlock(const Bytes& blocks, int dtdOffset = -1, int timings = 0) {
    Bytes b(128, 0);
    b[0] = 0x02;
    b[1] = 0x03;
    b[2] =
        static_cast<std::uint8_t>(dtdOffset >= 0 ? dtdOffset : 4 + static_cast<int>(blocks.size()));
    std::copy_n(blocks.begin(), std::min<std::size_t>(blocks.size(), 123), b.begin() + 4);
    const std::uint8_t dtd[18] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                  0x2C, 0x45, 0x00, 0x40, 0x84, 0x63, 0x00, 0x00, 0x1E};
    for (int t = 0; t < timings; ++t)
        std::copy_n(dtd, 18, b.begin() + b[2] + 18 * t);
    FixBlockChecksum(b, 0);
    return b;
}

// A DisplayID data block.
inline Bytes DidBlock(std::uint8_t tag, std::uint8_t revision, const Bytes& payload) {
    Bytes b{tag, revision, static_cast<std::uint8_t>(payload.size())};
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

// A DisplayID extension block with one section of `version` (0x13, 0x20) holding `blocks`.
inline Bytes DisplayIdBlock(std::uint8_t version, std::uint8_t productType, const Bytes& blocks) {
    Bytes b(128, 0);
    b[0] = 0x70;
    b[1] = version;
    b[2] = static_cast<std::uint8_t>(std::min<std::size_t>(blocks.size(), 121));
    b[3] = productType;
    std::copy_n(blocks.begin(), b[2], b.begin() + 5);
    unsigned s = 0;
    for (int i = 1; i < 5 + b[2]; ++i)
        s += b[i];
    b[5 + b[2]] = static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
    FixBlockChecksum(b, 0);
    return b;
}

// A 20-byte type I / type VII timing descriptor: `clock` in the type's units (10 kHz / 1 kHz).
inline Bytes DidTiming(int clock, int hActive, int hBlank, int vActive, int vBlank,
                       bool preferred = false) {
    auto le16 = [](int v) {
        return Bytes{static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)};
    };
    const int c = clock - 1;
    return Concat({Bytes{static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                         static_cast<std::uint8_t>(c >> 16),
                         static_cast<std::uint8_t>(preferred ? 0x80 : 0x00)},
                   le16(hActive - 1), le16(hBlank - 1), le16(48 - 1), le16(32 - 1),
                   le16(vActive - 1), le16(vBlank - 1), le16(3 - 1), le16(5 - 1)});
}

// Tiled display topology payload (22 bytes): `h` x `v` tiles, this one at (`x`, `y`).
inline Bytes DidTiled(int h, int v, int x, int y, int width, int height) {
    Bytes p(22, 0);
    p[0] = 0x80; // one physical enclosure
    p[1] = static_cast<std::uint8_t>(((h - 1) & 0x0F) << 4 | ((v - 1) & 0x0F));
    p[2] = static_cast<std::uint8_t>((x & 0x0F) << 4 | (y & 0x0F));
    p[4] = static_cast<std::uint8_t>((width - 1) & 0xFF);
    p[5] = static_cast<std::uint8_t>((width - 1) >> 8);
    p[6] = static_cast<std::uint8_t>((height - 1) & 0xFF);
    p[7] = static_cast<std::uint8_t>((height - 1) >> 8);
    p[13] = 'T', p[14] = 'V', p[15] = 'O';
    return p;
}

// One adaptive-sync descriptor (6 bytes): `minHz` to `maxHz`.
inline Bytes DidAdaptiveSync(int minHz, int maxHz) {
    return Bytes{0x01,
                 0x00,
                 static_cast<std::uint8_t>(minHz),
                 static_cast<std::uint8_t>((maxHz - 1) & 0xFF),
                 static_cast<std::uint8_t>(((maxHz - 1) >> 8) & 0x03),
                 0x00};
}

// A block map: the tags of the blocks after it, the rest zero.
inline Bytes BlockMapBlock(const Bytes& tags) {
    Bytes b(128, 0);
    b[0] = 0xF0;
    std::copy_n(tags.begin(), std::min<std::size_t>(tags.size(), 126), b.begin() + 1);
    FixBlockChecksum(b, 0);
    return b;
}

// The EDID of `extensions` after a base block whose byte 126 counts them (capped at 255).
inline Bytes LargeEdid(std::initializer_list<Bytes> extensions) {
    const EdidImage base = BaseOnly();
    Bytes out(base.begin(), base.begin() + 128);
    out[126] = static_cast<std::uint8_t>(std::min<std::size_t>(extensions.size(), 255));
    FixBlockChecksum(out, 0);
    for (const auto& e : extensions)
        out.insert(out.end(), e.begin(), e.end());
    return out;
}

// The larger EDIDs pinned in tests/data/blocks: name and bytes.
struct LargeSample {
    const char* name;
    Bytes bytes;
};

inline std::vector<LargeSample> LargeSamples() {
    const Bytes video = {0x43, 0x90, 0x04, 0x03};            // VICs 16 (native), 4, 3
    const Bytes audio = {0x23, 0x09, 0x07, 0x07};            // L-PCM, 2 channels
    const Bytes hdmi = {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}; // physical address 1.0.0.0
    const Bytes forum = {0x6A, 0xD8, 0x5D, 0xC4, 0x01, 0x78, // version 1, 600 MHz
                         0x80, 0x00, 0x02, 0x30, 0xF0};      // SCDC, ALLM, VRR 48-240 Hz
    const Bytes amd = {0x68, 0x1A, 0x00, 0x00, 0x01, 0x01, 0x30, 0x90, 0x00}; // 48-144 Hz
    const Bytes hdr = {0xE3, 0x06, 0x05, 0x01};                               // SDR and ST 2084
    // 5120x1440 at 240 Hz: 5280 x 1502 total, 1903.334 MHz
    const Bytes timing7 = DidTiming(1903334, 5120, 160, 1440, 62, true);
    const Bytes productId = {0x00, 0x11, 0x22, 0x34, 0x12, 0,   0,   0,
                             0,    1,    30,   4,    'T',  'A', 'V', 'O'};
    const Bytes displayId2 =
        Concat({DidBlock(0x20, 0, productId), DidBlock(0x22, 0, timing7),
                DidBlock(0x28, 0, DidTiled(2, 1, 0, 0, 2560, 1440)),
                DidBlock(0x2B, 0, DidAdaptiveSync(48, 240)), DidBlock(0x81, 0, hdr)});
    // DisplayID 1.3: a type I timing (10 kHz units) 2560x1440 at 60 Hz and its tile 1 of 2
    const Bytes displayId13 = Concat({DidBlock(0x03, 0, DidTiming(24170, 2560, 160, 1440, 41)),
                                      DidBlock(0x12, 0, DidTiled(2, 1, 1, 0, 2560, 1440))});
    Bytes overrideEdid = LargeEdid({CtaBlock(Concat({{0xE2, 0x78, 0x03}, video, hdmi}), -1, 1),
                                    CtaBlock(audio), DisplayIdBlock(0x13, 0x03, displayId13)});
    overrideEdid[126] = 1; // the override block announces the three extensions
    FixBlockChecksum(overrideEdid, 0);
    return {
        {"displayid-512", LargeEdid({CtaBlock(Concat({video, audio, hdmi, forum, amd, hdr}), -1, 1),
                                     DisplayIdBlock(0x20, 0, displayId2), CtaBlock({}, 4, 1)})},
        {"two-cta-384",
         LargeEdid({CtaBlock(Concat({video, hdmi}), -1, 2), CtaBlock(Concat({audio, amd}))})},
        {"override-512", overrideEdid},
    };
}

} // namespace tavo::test
