// Validation and the data-block finder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

#include "edid/EdidImage.h"

using namespace tavo;

namespace {

void FixChecksum(EdidImage& img, int bank) {
    const int base = bank * 128;
    unsigned s = 0;
    for (int i = base; i < base + 127; ++i)
        s += img[i];
    img[base + 127] = static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

// A valid image with one extension whose data block collection is `blocks`.
EdidImage WithBlocks(const std::vector<std::uint8_t>& blocks) {
    EdidImage img{};
    const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    std::copy(std::begin(header), std::end(header), img.begin());
    img[126] = 1;
    FixChecksum(img, 0);
    img[128] = 0x02;
    img[129] = 0x03;
    img[130] = static_cast<std::uint8_t>(4 + blocks.size());
    std::copy(blocks.begin(), blocks.end(), img.begin() + 132);
    FixChecksum(img, 1);
    return img;
}

} // namespace

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

TEST(FindDataBlock, WalksBlocksInOrder) {
    // video(2) audio(3) vendor(0-length) video(1)
    const EdidImage img = WithBlocks({0x42, 0x10, 0x04, 0x23, 9, 7, 3, 0x60, 0x41, 0x05});
    int p = kFirstDataBlock;
    ASSERT_TRUE(FindDataBlock(img, kTagVideo, p));
    EXPECT_EQ(p, 132);
    p += DataBlockLength(img, p) + 1;
    ASSERT_TRUE(FindDataBlock(img, kTagVideo, p));
    EXPECT_EQ(p, 140);
    p += DataBlockLength(img, p) + 1;
    EXPECT_FALSE(FindDataBlock(img, kTagVideo, p));
    EXPECT_EQ(p, 142); // unchanged on failure

    p = kFirstDataBlock;
    ASSERT_TRUE(FindDataBlock(img, kTagVendor, p)); // a block of length 0 is returned too
    EXPECT_EQ(p, 139);
    EXPECT_EQ(DataBlockLength(img, p), 0);
    p += 1;
    EXPECT_FALSE(FindDataBlock(img, kTagVendor, p));
    p = kFirstDataBlock;
    EXPECT_FALSE(FindDataBlock(img, kTagSpeaker, p));
}

TEST(FindDataBlock, NoExtensionOrEmptyCollection) {
    EdidImage img = WithBlocks({0x41, 0x10});
    img[126] = 0;
    int p = kFirstDataBlock;
    EXPECT_FALSE(FindDataBlock(img, kTagVideo, p));
    EXPECT_EQ(p, kFirstDataBlock);

    img = WithBlocks({0x41, 0x10});
    img[130] = 4;
    EXPECT_FALSE(FindDataBlock(img, kTagVideo, p));
    img[130] = 0;
    EXPECT_FALSE(FindDataBlock(img, kTagVideo, p));
}

TEST(FindDataBlock, NeverReadsPastTheImage) {
    // byte 130 = 255 would put the end of the collection at 383; the walk stops at 256. Lengths of
    // 31 make the walk jump straight towards the end of the image.
    EdidImage img{};
    img[126] = 1;
    img[130] = 255;
    for (int i = 132; i < 256; ++i)
        img[i] = 0x1F; // tag 0, length 31
    img[253] = 0x1F;
    int p = kFirstDataBlock;
    EXPECT_FALSE(FindDataBlock(img, kTagVideo, p));
    img[228] = 0x5F; // a video block whose payload runs past the image is still found
    p = kFirstDataBlock;
    int found = -1;
    while (FindDataBlock(img, kTagVideo, p)) {
        found = p;
        p += DataBlockLength(img, p) + 1;
    }
    EXPECT_EQ(found, 228);
    EXPECT_EQ(ByteAt(img, 300), 0);
    EXPECT_EQ(ByteAt(img, -1), 0);
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
