// Validation, and the data blocks a slot's image holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

#include "edid/EdidBlocks.h"
#include "edid/EdidImage.h"
#include "edid_builders.h"

using namespace tavo;

using namespace tavo::test;

TEST(Validate, EachErrorBit) {
    const EdidImage good = WithBlocks({0x41, 0x10});
    std::uint16_t st = 0;
    EXPECT_TRUE(ValidateImage(good, st));
    EXPECT_EQ(st, 0);

    struct Case {
        const char* what;
        std::function<void(EdidImage&)> change;
        std::uint16_t bit;
        const char* message;
    } cases[] = {
        {"byte 0 set, checksums wrong too",
         [](EdidImage& i) {
             i[0] = 1;
             i[200] ^= 1;
         },
         kStatusBadHeader, "Illegal Edid Header."},
        {"byte 7 set", [](EdidImage& i) { i[7] = 0x10; }, kStatusBadHeader, "Illegal Edid Header."},
        {"byte 3 not FF",
         [](EdidImage& i) {
             i[3] = 0xFE;
             FixChecksum(i, 0);
         },
         kStatusBadHeader, "Illegal Edid Header."},
        {"bank 0 sum", [](EdidImage& i) { i[20] ^= 0x55; }, kStatusBadChecksum0,
         "Illegal Edid CheckSum0."},
        {"two extensions, bank 1 not summed",
         [](EdidImage& i) {
             i[126] = 2;
             FixChecksum(i, 0);
             i[200] ^= 1;
         },
         kStatusTooManyBanks, "Edid Over Banks."},
        {"bank 1 sum", [](EdidImage& i) { i[140] ^= 0x01; }, kStatusBadChecksum1,
         "Illegal Edid CheckSum1."},
    };
    for (auto& c : cases) {
        EdidImage img = good;
        c.change(img);
        std::uint16_t status = kStatusNewTemplate | kStatusHoldsEdid | kStatusInputError |
                               kStatusBadChecksum1; // a stale error bit from an earlier check
        EXPECT_FALSE(ValidateImage(img, status)) << c.what;
        EXPECT_EQ(status & kStatusValidationMask, c.bit) << c.what;
        EXPECT_EQ(status & ~kStatusValidationMask,
                  kStatusNewTemplate | kStatusHoldsEdid | kStatusInputError)
            << c.what;
        EXPECT_EQ(ValidationMessage(status), c.message) << c.what;
    }
}

TEST(Validate, BankOneOnlyWithOneExtension) {
    EdidImage img = WithBlocks({});
    img[126] = 0;
    FixChecksum(img, 0);
    for (int i = 128; i < 256; ++i)
        img[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::uint16_t st = 0xFFFF;
    EXPECT_TRUE(ValidateImage(img, st));
    EXPECT_EQ(st, 0xFFFF & ~kStatusValidationMask);

    img[126] = 1;
    FixChecksum(img, 0);
    for (int i = 128; i < 256; ++i)
        img[i] = 0; // all-zero bank 1 sums to 0
    EXPECT_TRUE(ValidateImage(img, st));
    EXPECT_EQ(ValidationMessage(0), "");
}

// The data blocks a slot's image holds, as the decoder, the encoder and the presets read them.
TEST(ImageDataBlocks, WhatBlockOneHolds) {
    const auto zeroFrom = [](EdidImage img, int offset) {
        img[130] = static_cast<std::uint8_t>(offset);
        FixChecksums(img);
        return img;
    };
    const EdidImage listed = WithBlocks({0x42, 0x10, 0x04, 0x23, 9, 7, 3, 0x60, 0x41, 0x05});
    EdidImage noExtension = listed;
    noExtension[126] = 0;
    FixChecksums(noExtension);
    EdidImage displayId = listed;
    displayId[128] = 0x70;
    FixChecksums(displayId);
    // byte 2 = 255 would end the collection at 383; it ends before the checksum, and a video
    // block whose length runs past that is cut there
    EdidImage toTheEnd{};
    toTheEnd[126] = 1;
    toTheEnd[128] = 0x02;
    toTheEnd[130] = 255;
    for (int i = 132; i < 256; ++i)
        toTheEnd[i] = 0x1F; // tag 0, length 31
    toTheEnd[228] = 0x5F;
    const struct Case {
        const char* what;
        EdidImage image;
        std::uint8_t tag;
        std::vector<int> offsets;
    } cases[] = {
        {"video blocks in order", listed, kTagVideo, {132, 140}},
        {"a block of length 0", listed, kTagVendor, {139}},
        {"no such block", listed, kTagSpeaker, {}},
        {"byte 126 is 0", noExtension, kTagVideo, {}},
        {"block 1 is DisplayID", displayId, kTagVideo, {}},
        {"byte 2 is 4", zeroFrom(listed, 4), kTagVideo, {}},
        {"byte 2 is 0", zeroFrom(listed, 0), kTagVideo, {}},
        {"byte 2 cuts the second video block", zeroFrom(listed, 13), kTagVideo, {132, 140}},
        {"byte 2 past the block", toTheEnd, kTagVideo, {228}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DataBlocksTagged(c.image, c.tag), c.offsets);
    }
    const EdidBlocks walked = ReadEdidBlocks(toTheEnd);
    ASSERT_NE(walked.FirstAnnouncedCta(), nullptr);
    const CtaDataBlock& last = walked.FirstAnnouncedCta()->dataBlocks.back();
    EXPECT_EQ(last.offset + last.length, 255);
    EXPECT_TRUE(last.broken);
    EXPECT_EQ(ByteAt(toTheEnd, 300), 0);
    EXPECT_EQ(ByteAt(toTheEnd, -1), 0);
}

TEST(ImageFromBytes, PadsShortFilesWithFF) {
    const std::uint8_t few[] = {1, 2, 3};
    const EdidImage img = ImageFromBytes(few, 3);
    EXPECT_EQ(img[2], 3);
    EXPECT_EQ(img[3], 0xFF);
    EXPECT_EQ(img[255], 0xFF);
    std::vector<std::uint8_t> big(300, 7);
    EXPECT_EQ(ImageFromBytes(big.data(), big.size())[255], 7);
    EXPECT_EQ(ImageFromBytes(nullptr, 0)[0], 0xFF);
}

// A one-block EDID: a file holds its 128 bytes, a device slot the base block and 0xFF; an image
// with an extension is kept whole in both.
TEST(EdidLength, OneBlockIsHalfTheImage) {
    EdidImage one{};
    one.fill(0x00);
    one[126] = 0;
    for (int i = 128; i < 256; ++i)
        one[i] = static_cast<std::uint8_t>(i); // whatever a build left there
    EXPECT_EQ(EdidLength(one), 128u);
    const EdidImage slot = SlotImage(one);
    EXPECT_TRUE(std::equal(slot.begin(), slot.begin() + 128, one.begin()));
    EXPECT_TRUE(
        std::all_of(slot.begin() + 128, slot.end(), [](std::uint8_t b) { return b == 0xFF; }));

    EdidImage two = one;
    two[126] = 1;
    EXPECT_EQ(EdidLength(two), 256u);
    EXPECT_EQ(SlotImage(two), two);
    two[126] = 2; // too many: never cut, validation names it
    EXPECT_EQ(EdidLength(two), 256u);
}
