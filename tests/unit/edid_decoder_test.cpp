// Decoding images into EdidRecord.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/NewEdidTemplate.h"
#include "edid_builders.h"

using namespace tavo;
using namespace tavo::test;

namespace {

EdidRecord Decoded(const EdidImage& img) {
    EdidRecord r;
    Decode(r, img);
    return r;
}

} // namespace

TEST(Decode, NewTemplate) {
    const EdidRecord r = Decoded(NewEdidTemplate());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(FieldText(r.manufacturer), "NEW");
    EXPECT_EQ(FieldText(r.monitorName), "BrandNewEdid");
    EXPECT_EQ(r.productCode, 0);
    EXPECT_EQ(r.serialNumber, 0u);
    EXPECT_EQ(r.week, 15);
    EXPECT_EQ(r.year, 25);
    EXPECT_EQ(r.establishedTimings, 0x210000u);
    for (auto st : r.standardTimings)
        EXPECT_EQ(st, kStandardTimingUnused);
    EXPECT_EQ(r.formatFlags, kFormatHdmiBlock);
    EXPECT_EQ(r.ycbcrSupport, 0x71);
    EXPECT_EQ(r.videoCodes[0], 16);
    EXPECT_EQ(r.videoCodes[1], 0);
    EXPECT_EQ(FieldText(r.maxResolutionName), "1080p@60Hz");
    EXPECT_EQ(r.audioDescriptors[0], (ShortAudioDescriptor{0x09, 0x07, 0x03}));
    EXPECT_EQ(r.audioDescriptors[1][0], 0);
    EXPECT_EQ(r.audioFormatsPresent, kAudioLpcm2);
    EXPECT_EQ(r.maxChannels, 2);
    EXPECT_EQ(r.cecAddress, (std::array<std::uint8_t, 2>{0x10, 0x00}));
    EXPECT_EQ(r.deepColor, 0x80);
    EXPECT_EQ(r.colorDepth, 8);
    EXPECT_EQ(r.hdrEotfs, 0);
    EXPECT_EQ(r.yuv420DeepColor, 0);
}

TEST(Decode, InvalidImageResetsFieldsAndKeepsCreatorBits) {
    EdidRecord r = Decoded(NewEdidTemplate());
    r.status = 0xFFFF;
    EdidImage bad = NewEdidTemplate();
    bad[200] ^= 0x55; // bank-1 checksum
    Decode(r, bad);
    EXPECT_EQ(r.status, kStatusNewTemplate | kStatusHoldsEdid | kStatusBadChecksum1);
    EXPECT_EQ(r.image, bad);
    EXPECT_EQ(FieldText(r.monitorName), "UNDEFINE.");
    EXPECT_EQ(FieldText(r.maxResolutionName), "UNDEFINE.");
    EXPECT_EQ(r.formatFlags, 0);
    EXPECT_EQ(r.colorDepth, 8);
    EXPECT_EQ(r.videoCodes[0], 0);
    EXPECT_EQ(r.audioDescriptors[0][0], 0);
    EXPECT_EQ(r.cecAddress[0], 0);
    EXPECT_EQ(r.deepColor, 0);
    // not reset by an invalid decode: they keep the previous EDID's values
    EXPECT_EQ(FieldText(r.manufacturer), "NEW");
    EXPECT_EQ(r.week, 15);
}

TEST(Decode, SourceMayBeTheRecordsOwnImage) {
    EdidRecord r;
    r.image = NewEdidTemplate();
    Decode(r, r.image);
    EXPECT_EQ(r.image, NewEdidTemplate());
    EXPECT_EQ(FieldText(r.monitorName), "BrandNewEdid");
}

TEST(Decode, MonitorName) {
    struct Case {
        const char* what;
        std::function<void(EdidImage&)> make;
        std::string name;
        bool checkTail = false; // the bytes after the terminator (second-name case)
    } cases[] = {
        {"no descriptor", [](EdidImage&) {}, "UNDEFINE."},
        {"text starts with a line feed", [](EdidImage& i) { PutNameDescriptor(i, 1, {0x0A}); }, ""},
        {"13 characters, no line feed",
         [](EdidImage& i) { PutNameDescriptor(i, 3, Text("ABCDEFGHIJKLM")); }, "ABCDEFGHIJKLM"},
        {"later shorter name leaves the earlier bytes after its terminator",
         [](EdidImage& i) {
             PutNameDescriptor(i, 0, Text("LONGNAME\n"));
             PutNameDescriptor(i, 2, Text("AB\n"));
         },
         "AB", true},
        {"descriptor with a non-zero byte before FC is not a name",
         [](EdidImage& i) {
             PutNameDescriptor(i, 1, Text("X\n"));
             i[54 + 18 + 2] = 1;
             FixChecksum(i, 0);
         },
         "UNDEFINE."},
    };
    for (const auto& c : cases) {
        EdidImage img = BaseOnly();
        c.make(img);
        const EdidRecord r = Decoded(img);
        EXPECT_EQ(FieldText(r.monitorName), c.name) << c.what;
        if (c.checkTail) {
            // "AB", its terminator, then the rest of "LONGNAME" and its terminator
            EXPECT_EQ(r.monitorName[2], 0) << c.what;
            EXPECT_EQ(r.monitorName[3], 'G') << c.what;
            EXPECT_EQ(r.monitorName[8], 0) << c.what; // LONGNAME's line feed
            EXPECT_EQ(r.monitorName[13], 0) << c.what;
        }
    }
}

TEST(Decode, ManufacturerAndIdentity) {
    EdidImage img = BaseOnly();
    // "DEL": D=4, E=5, L=12 -> 0 00100 00101 01100 = 0x10AC
    img[8] = 0x10;
    img[9] = 0xAC;
    img[10] = 0x34, img[11] = 0x12;
    img[12] = 0x78, img[13] = 0x56, img[14] = 0x34, img[15] = 0x12;
    img[16] = 52, img[17] = 33;
    img[35] = 0x21, img[36] = 0x08, img[37] = 0x80;
    img[38] = 0xD1, img[39] = 0xC0;
    FixChecksum(img, 0);
    const EdidRecord r = Decoded(img);
    EXPECT_EQ(FieldText(r.manufacturer), "DEL");
    EXPECT_EQ(r.productCode, 0x1234);
    EXPECT_EQ(r.serialNumber, 0x12345678u);
    EXPECT_EQ(r.week, 52);
    EXPECT_EQ(r.year, 33);
    EXPECT_EQ(r.establishedTimings, 0x210880u);
    EXPECT_EQ(r.standardTimings[0], 0xD1C0);
    EXPECT_EQ(r.standardTimings[1], 0x0101);
}

TEST(Decode, FormatFlagsAndBlocks) {
    struct Case {
        const char* what;
        Bytes blocks;
        std::function<void(const EdidRecord&)> check;
    } cases[] = {
        {"no HDMI block: DVI-like CEA extension",
         {0x41, 0x10},
         [](const EdidRecord& r) { EXPECT_EQ(r.formatFlags, kFormatCeaWithoutHdmi); }},
        {"native VIC 16",
         {0x41, 0x90},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.videoCodes[0], 16);
             EXPECT_EQ(FieldText(r.maxResolutionName), "1080p@60Hz");
         }},
        {"VIC 97 wins over VIC 16 in either order",
         {0x42, 0x90, 0x61},
         [](const EdidRecord& r) {
             EXPECT_EQ(FieldText(r.maxResolutionName), "2160p@60Hz");
             EXPECT_EQ(r.formatFlags & kFormat4kHigh, kFormat4kHigh);
         }},
        {"VIC 97 first",
         {0x42, 0x61, 0x10},
         [](const EdidRecord& r) { EXPECT_EQ(FieldText(r.maxResolutionName), "2160p@60Hz"); }},
        {"VIC 63 only",
         {0x41, 63},
         [](const EdidRecord& r) {
             EXPECT_EQ(FieldText(r.maxResolutionName), "UNDEFINE.");
             EXPECT_EQ(r.formatFlags & kFormat4kHigh, 0);
         }},
        {"skipped values leave their entry empty; 0xC1+ kept as is",
         {0x45, 0x00, 0x80, 0xFE, 0xC5, 0x81},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.videoCodes[0], 0);
             EXPECT_EQ(r.videoCodes[2], 0);
             EXPECT_EQ(r.videoCodes[3], 0xC5);
             EXPECT_EQ(r.videoCodes[4], 1);
             EXPECT_EQ(FieldText(r.maxResolutionName), "480p@60Hz");
         }},
        {"a later video block without a known VIC keeps the earlier name",
         {0x41, 0x04, 0x41, 63},
         [](const EdidRecord& r) {
             EXPECT_EQ(FieldText(r.maxResolutionName), "720p@60Hz");
             EXPECT_EQ(r.videoCodes[0], 63);
         }},
        {"HDMI deep colour 0x70 gives 16 bit",
         {0x66, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x70},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.formatFlags, kFormatHdmiBlock);
             EXPECT_EQ(r.colorDepth, 16);
             EXPECT_EQ(r.deepColor, 0x70);
             EXPECT_EQ(r.cecAddress, (std::array<std::uint8_t, 2>{0x12, 0x34}));
         }},
        {"HDMI deep colour 0x30 gives 12 bit",
         {0x66, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x30},
         [](const EdidRecord& r) { EXPECT_EQ(r.colorDepth, 12); }},
        {"HDMI block of length 8: no 3D, no VICs",
         {0x68, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C, 0x20, 0x80, 0x20, 0x01},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.formatFlags, kFormatHdmiBlock);
             EXPECT_EQ(r.hdmiVics[0], 0);
         }},
        {"byte 8 = 0x20: byte 9 is the 3D byte, then lengths and VICs",
         {0x6E, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C, 0x20, 0x80, 0x42, 0x01, 0x03, 0xAA, 0xBB},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.formatFlags, kFormatHdmiBlock | kFormat3D | kFormat4kLow);
             EXPECT_EQ(r.threeDFlags, 0x80);
             EXPECT_EQ(r.threeDLength, 2);
             EXPECT_EQ(r.threeDBytes[0], 0xAA);
             EXPECT_EQ(r.threeDBytes[1], 0xBB);
             EXPECT_EQ(r.hdmiVics, (std::array<std::uint8_t, 4>{1, 3, 0, 0}));
         }},
        {"latency fields move the 3D byte to 11",
         {0x6E, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C, 0xA0, 0x11, 0x22, 0x00, 0x20, 0x05},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.formatFlags & kFormat3D, 0);
             EXPECT_EQ(r.formatFlags & kFormat4kLow, 0); // first HDMI VIC 5 is not 1..4
             EXPECT_EQ(r.hdmiVics[0], 5);
         }},
        {"interlaced latency fields move it to 13",
         {0x70, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C, 0xE0, 1, 2, 3, 4, 0x80, 0x20, 0x04},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.formatFlags & (kFormat3D | kFormat4kLow), kFormat3D | kFormat4kLow);
             EXPECT_EQ(r.hdmiVics[0], 4);
         }},
        {"HDMI_3D_LEN above 14 keeps 14 bytes",
         {0x7F, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C, 0x20, 0x80, 0x1F, 1,  2,  3,  4,  5,
          6,    7,    8,    9,    10,   11,   12,   13,   14,   15,   16,   17, 18, 19, 20, 21},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.threeDLength, 14);
             EXPECT_EQ(r.threeDBytes[13], 14);
         }},
        {"forum 0x77 is below 600 MHz",
         {0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x77, 0x80, 0x05},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.support600MHz, 0);
             EXPECT_EQ(r.scdc, 1);
             EXPECT_EQ(r.forumYuv420DeepColor, 0x05);
             EXPECT_EQ(r.formatFlags, kFormatCeaWithoutHdmi);
         }},
        {"forum 0x78 is 600 MHz",
         {0x65, 0xD8, 0x5D, 0xC4, 0x01, 0x78},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.support600MHz, 1);
             EXPECT_EQ(r.scdc, 0);
         }},
        {"HDR without forum or SCDC: summary 0x80",
         {0xE3, 0x06, 0x05, 0x01},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.hdrEotfs, 0x05);
             EXPECT_EQ(r.hdrDescriptors, 0x01);
             EXPECT_EQ(r.yuv420DeepColor, 0x80);
         }},
        {"HDR with forum deep colour 0x05",
         {0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x00, 0x05, 0xE3, 0x06, 0x05, 0x01},
         [](const EdidRecord& r) { EXPECT_EQ(r.yuv420DeepColor, 0x05); }},
        {"HDR with SCDC at 8 bit: summary 0",
         {0x66, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0xE3, 0x06, 0x05, 0x01},
         [](const EdidRecord& r) { EXPECT_EQ(r.yuv420DeepColor, 0); }},
        {"HDR with SCDC at 12 bit: summary 0x03",
         {0x66, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x30, 0x66, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0xE3,
          0x06, 0x05, 0x01},
         [](const EdidRecord& r) { EXPECT_EQ(r.yuv420DeepColor, 0x03); }},
        {"HDR luminance codes",
         {0xE6, 0x06, 0x07, 0x01, 0x60, 0x50, 0x10},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.hdrLuminance, (std::array<std::uint8_t, 3>{0x60, 0x50, 0x10}));
         }},
        {"LPCM 2 and 8 channels",
         {0x26, 0x09, 0x07, 0x07, 0x0F, 0x7F, 0x07},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.audioFormatsPresent, kAudioLpcm2 | kAudioLpcmMulti);
             EXPECT_EQ(r.maxChannels, 8);
             EXPECT_EQ(r.audioDescriptors[1], (ShortAudioDescriptor{0x0F, 0x7F, 0x07}));
         }},
        {"every compressed format",
         {0x38, 0x15, 0, 0,    0x55, 0, 0,    0x65, 0, 0,    0x3D, 0, 0,
          0x5F, 0,    0, 0x35, 0,    0, 0x4D, 0,    0, 0x30, 0,    0},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.audioFormatsPresent, kAudioAc3 | kAudioEac3 | kAudioMat | kAudioDts |
                                                  kAudioDtsHd | kAudioAac | kAudioOneBit);
             EXPECT_EQ(r.maxChannels, 8);
         }},
        {"colorimetry of length 4 and capability of length 3 are ignored",
         {0xE4, 0x05, 0xC0, 0x01, 0x00, 0xE3, 0x00, 0x40, 0x00},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.colorimetry, 0);
             EXPECT_EQ(r.videoCapability, 0);
         }},
        {"colorimetry and capability",
         {0xE3, 0x05, 0xC0, 0x01, 0xE2, 0x00, 0x40},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.colorimetry, 0xC0);
             EXPECT_EQ(r.videoCapability, 0x40);
         }},
        {"4:2:0 video block",
         {0xE3, 0x0E, 0x61, 0x60},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.yuv420VideoCodes[0], 0x61);
             EXPECT_EQ(r.yuv420VideoCodes[1], 0x60);
             EXPECT_EQ(r.yuv420Selection, 1);
         }},
        {"empty 4:2:0 video block is not support",
         {0xE1, 0x0E},
         [](const EdidRecord& r) { EXPECT_EQ(r.yuv420Selection, 0); }},
        {"4:2:0 capability map",
         {0xE2, 0x0F, 0x01},
         [](const EdidRecord& r) { EXPECT_EQ(r.yuv420Selection, 1); }},
        {"first speaker block only",
         {0x83, 0x4F, 0x00, 0x00, 0x83, 0x01, 0x00, 0x00},
         [](const EdidRecord& r) { EXPECT_EQ(r.speakerAllocation, 0x4F0000u); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const EdidRecord r = Decoded(WithBlocks(c.blocks));
        ASSERT_EQ(r.status, 0);
        c.check(r);
    }
}

// Which data blocks count: those of the first CTA-861 extension, as far as its byte 2 lets them
// run, wherever that extension stands in an EDID of any size.
TEST(Decode, DataBlocksOfTheFirstCtaExtension) {
    const Bytes video = {0x43, 0x90, 0x04, 0x03};
    const Bytes hdmi = {0x65, 0x03, 0x0C, 0x00, 0x12, 0x34};
    const auto slot = [](const Bytes& cta) { return LargeEdid({cta}); };
    Bytes blockMap(128, 0);
    blockMap[0] = 0xF0;
    blockMap[1] = 0x02;
    FixBlockChecksum(blockMap, 0);
    const Bytes displayId =
        DisplayIdBlock(0x20, 0, DidBlock(0x22, 0, DidTiming(148500, 1920, 280, 1080, 45)));
    const struct Case {
        const char* what;
        Bytes bytes;
        std::array<std::uint8_t, 3> vics; // the first three video codes
        std::uint16_t format;
        std::uint8_t ycbcr;
    } cases[] = {
        {"byte 2 after the collection",
         slot(CtaBlock(Concat({video, hdmi}), -1)),
         {16, 4, 3},
         kFormatHdmiBlock,
         0},
        {"byte 2 = 0: no data blocks",
         slot(CtaBlock(Concat({video, hdmi}), 0)),
         {0, 0, 0},
         kFormatCeaWithoutHdmi,
         0},
        {"byte 2 = 4: no data blocks",
         slot(CtaBlock(Concat({video, hdmi}), 4)),
         {0, 0, 0},
         kFormatCeaWithoutHdmi,
         0},
        {"a video block running past byte 2 ends there",
         slot(CtaBlock(Concat({video, hdmi}), 6)),
         {16, 0, 0},
         kFormatCeaWithoutHdmi,
         0},
        {"block 1 DisplayID, two blocks: no CTA-861 data blocks",
         slot(displayId),
         {0, 0, 0},
         kFormatCeaWithoutHdmi,
         0},
        {"CTA-861 at block 2 behind a block map",
         LargeEdid({blockMap, CtaBlock(Concat({video, hdmi}))}),
         {16, 4, 3},
         kFormatHdmiBlock,
         0},
        {"CTA-861 at block 2 behind DisplayID",
         LargeEdid({displayId, CtaBlock(Concat({video, hdmi}))}),
         {16, 4, 3},
         kFormatHdmiBlock,
         0},
        {"the first of two CTA-861 blocks",
         LargeEdid({CtaBlock(hdmi), CtaBlock(video)}),
         {0, 0, 0},
         kFormatHdmiBlock,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EdidRecord r;
        DecodeEdid(r, c.bytes);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ((std::array<std::uint8_t, 3>{r.videoCodes[0], r.videoCodes[1], r.videoCodes[2]}),
                  c.vics);
        EXPECT_EQ(r.formatFlags & (kFormatHdmiBlock | kFormatCeaWithoutHdmi), c.format);
        EXPECT_EQ(r.ycbcrSupport, c.ycbcr);
        if (c.format == kFormatHdmiBlock) {
            EXPECT_EQ(r.cecAddress, (std::array<std::uint8_t, 2>{0x12, 0x34}));
        }
    }
}

// A larger EDID decodes as its base block and first CTA-861 block would on their own; the
// record's image is those two blocks with each checksum as the EDID has it.
TEST(Decode, LargerEdidAsItsFirstTwoBlocks) {
    for (const auto& sample : LargeSamples()) {
        SCOPED_TRACE(sample.name);
        EdidRecord whole;
        DecodeEdid(whole, sample.bytes);
        const EdidBlocks walked = ReadEdidBlocks(sample.bytes);
        ASSERT_NE(walked.FirstCta(), nullptr);
        EdidImage two{};
        std::copy_n(sample.bytes.begin(), 128, two.begin());
        std::copy_n(sample.bytes.begin() + walked.FirstCta()->offset, 128, two.begin() + 128);
        two[126] = 1;
        FixChecksums(two);
        const EdidRecord alone = Decoded(two);
        EXPECT_EQ(whole.status, alone.status);
        EXPECT_EQ(whole.videoCodes, alone.videoCodes);
        EXPECT_EQ(whole.audioDescriptors, alone.audioDescriptors);
        EXPECT_EQ(whole.formatFlags, alone.formatFlags);
        EXPECT_EQ(whole.extTimings, alone.extTimings);
        EXPECT_TRUE(
            std::equal(whole.image.begin() + 128, whole.image.begin() + 255, two.begin() + 128));
    }
}

TEST(Decode, BaseOnlyImage) {
    const EdidRecord r = Decoded(BaseOnly());
    EXPECT_EQ(r.formatFlags, kFormatNoExtension);
    EXPECT_EQ(r.colorDepth, 8);
    EXPECT_EQ(r.videoCodes[0], 0);
    EXPECT_EQ(FieldText(r.maxResolutionName), "UNDEFINE.");
}

TEST(Decode, HdmiBlockPastTheCollectionReadsZerosPastIt) {
    // The collection claims to run to the image end and so ends before the checksum; the last
    // block is an HDMI block whose VIC offsets lie past it.
    EdidImage img = WithBlocks({});
    img[130] = 127;
    // zero-length blocks of tag 0 up to 243, then an HDMI block whose lengths byte is 254
    for (int i = 132; i < 244; ++i)
        img[i] = 0x00;
    const std::uint8_t tail[] = {0x70, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C, 0x20, 0x80, 0x42};
    std::copy(std::begin(tail), std::end(tail), img.begin() + 244);
    FixChecksums(img);
    const EdidRecord r = Decoded(img);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.formatFlags & (kFormatHdmiBlock | kFormat3D), kFormatHdmiBlock | kFormat3D);
    EXPECT_EQ(r.threeDLength, 2);
    EXPECT_EQ(r.hdmiVics[0], 0); // the checksum byte is no part of the block
    EXPECT_EQ(r.hdmiVics[1], 0);
    EXPECT_EQ(r.threeDBytes[0], 0);
    EXPECT_EQ(r.threeDBytes[1], 0);
}

// Nothing of an earlier EDID stays in the record: a slot with no room, or every slot when the
// extension gives no timing offset, is empty.
TEST(Decode, ExtensionTimingSlotsThatDoNotFitAreEmpty) {
    for (const int offset : {80, 0, 3}) {
        SCOPED_TRACE(offset);
        EdidRecord r;
        for (auto& d : r.extTimings)
            d.fill(0xEE);
        EdidImage img = WithBlocks({0x41, 0x10});
        img[130] = static_cast<std::uint8_t>(offset);
        // slot 0 at 80, slot 1 at 98 (fits: ends at 115), slot 2 at 116 (does not)
        for (int i = 0; i < 36; ++i)
            img[128 + 80 + i] = static_cast<std::uint8_t>(i + 1);
        FixChecksums(img);
        Decode(r, img);
        EXPECT_EQ(r.extTimings[0][0], offset == 80 ? 1 : 0);
        EXPECT_EQ(r.extTimings[1][17], offset == 80 ? 36 : 0);
        EXPECT_EQ(r.extTimings[2], DetailedTiming{});
    }
}
