// Encoding EdidRecord over its template image.
#include <gtest/gtest.h>

#include <functional>

#include "edid/Decoder.h"
#include "edid/Encoder.h"
#include "edid/NewEdidTemplate.h"
#include "edid_builders.h"

using namespace tavo;
using namespace tavo::test;

namespace {

// The record the worked example describes: the new template's own values, HDMI format.
EdidRecord TemplateValues() {
    EdidRecord r;
    r.image = NewEdidTemplate();
    SetFieldText(r.manufacturer, "NEW");
    SetFieldText(r.monitorName, "BrandNewEdid");
    r.week = 15;
    r.year = 223; // 2015
    r.establishedTimings = 0x210000;
    r.standardTimings.fill(kStandardTimingUnused);
    r.videoCodes[0] = 16;
    r.audioDescriptors[0] = {0x09, 0x07, 0x03};
    r.ycbcrSupport = 0x30;
    r.cecAddress = {0x10, 0x00};
    return r;
}

// A record over an image with the given data blocks; name and IDs as the image has them.
EdidRecord Over(const Bytes& blocks) {
    EdidRecord r;
    r.image = WithBlocks(blocks);
    r.standardTimings.fill(kStandardTimingUnused);
    SetFieldText(r.manufacturer, "@@@");
    return r;
}

// The data block collection of an encoded image (132 .. 128 + byte 130).
Bytes Blocks(const EdidImage& img) {
    return Slice(img, 132, 128 + img[130]);
}

void ExpectValid(const EdidImage& img) {
    std::uint16_t st = 0;
    EXPECT_TRUE(ValidateImage(img, st)) << ValidationMessage(st);
}

} // namespace

TEST(NewEdidTemplate, ByteExact) {
    const EdidImage& t = NewEdidTemplate();
    const Bytes base = {
        0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x38, 0xB7, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x0F, 0x19, 0x01, 0x03, 0x80, 0x10, 0x09, 0x78, 0x02, 0xAE, 0xA5, 0xA6, 0x54, 0x4C,
        0x99, 0x26, 0x14, 0x50, 0x54, 0x21, 0x00, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02, 0x3A, 0x80, 0x18, 0x71, 0x38,
        0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0xA0, 0x5A, 0x00, 0x00, 0x00, 0x1E, 0x01, 0x1D, 0x00,
        0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E, 0x28, 0x55, 0x00, 0xA0, 0x5A, 0x00, 0x00, 0x00, 0x1E,
        0x00, 0x00, 0x00, 0xFC, 0x00, 0x42, 0x72, 0x61, 0x6E, 0x64, 0x4E, 0x65, 0x77, 0x45, 0x64,
        0x69, 0x64, 0x0A, 0x00, 0x00, 0x00, 0xFD, 0x00, 0x31, 0x3D, 0x0F, 0x44, 0x11, 0x00, 0x0A,
        0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x01, 0xD3};
    Bytes ext = {0x02, 0x03, 0x13, 0x71, 0x41, 0x10, 0x23, 0x09, 0x07,
                 0x03, 0x68, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21};
    ext.resize(127, 0x00);
    ext.push_back(0xC8);
    EXPECT_EQ(Slice(t, 0, 128), base);
    EXPECT_EQ(Slice(t, 128, 256), ext);
    ExpectValid(t);
}

TEST(Encode, WorkedExample) {
    EdidRecord r = TemplateValues();
    ASSERT_TRUE(Encode(r));
    EXPECT_EQ(Slice(r.image, 0, 128), Slice(NewEdidTemplate(), 0, 128));
    Bytes ext = {0x02, 0x03, 0x12, 0x71, 0x41, 0x10, 0x23, 0x09, 0x07,
                 0x03, 0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21};
    ext.resize(127, 0x00);
    ext.push_back(0xCA);
    EXPECT_EQ(Slice(r.image, 128, 256), ext);
    EXPECT_EQ(r.formatFlags, 0);
}

TEST(Encode, DviClearsTheExtension) {
    EdidRecord r = TemplateValues();
    r.formatFlags = kFormatNoExtension | kFormat4kHigh;
    ASSERT_TRUE(Encode(r));
    EXPECT_EQ(r.image[126], 0);
    EXPECT_EQ(Slice(r.image, 128, 256), Bytes(128, 0xFF));
    EXPECT_EQ(EdidLength(r.image), 128u);
    EXPECT_EQ(r.formatFlags, kFormatNoExtension | kFormat4kHigh); // DVI leaves the flags
    ExpectValid(r.image);
}

TEST(Encode, BaseBlockFields) {
    struct Case {
        const char* what;
        std::function<void(EdidRecord&)> set;
        std::function<void(const EdidImage&, const EdidRecord&)> check;
    } cases[] = {
        {"manufacturer, product, serial, week",
         [](EdidRecord& r) {
             SetFieldText(r.manufacturer, "DEL");
             r.productCode = 0xA1B2;
             r.serialNumber = 0xFFFFFFFF;
             r.week = 52;
         },
         [](const EdidImage& i, const EdidRecord&) {
             EXPECT_EQ(Slice(i, 8, 17),
                       (Bytes{0x10, 0xAC, 0xB2, 0xA1, 0xFF, 0xFF, 0xFF, 0xFF, 52}));
         }},
        {"missing letters count as code 0 (floor division)",
         [](EdidRecord& r) { SetFieldText(r.manufacturer, "A"); },
         [](const EdidImage& i, const EdidRecord&) {
             // 4*1 + floor(-64/8) = -4 -> 0xFC; 32*-64 + -64 = -2112 -> 0xC0
             EXPECT_EQ(i[8], 0xFC);
             EXPECT_EQ(i[9], 0xC0);
         }},
        {"year 1990 is byte 0", [](EdidRecord& r) { r.year = static_cast<std::uint8_t>(1990); },
         [](const EdidImage& i, const EdidRecord&) { EXPECT_EQ(i[17], 0); }},
        {"year 2245 is byte 255", [](EdidRecord& r) { r.year = static_cast<std::uint8_t>(2245); },
         [](const EdidImage& i, const EdidRecord&) { EXPECT_EQ(i[17], 255); }},
        {"13-character name gets no line feed",
         [](EdidRecord& r) { SetFieldText(r.monitorName, "ABCDEFGHIJKLM"); },
         [](const EdidImage& i, const EdidRecord&) {
             EXPECT_EQ(Slice(i, 0x5F, 0x6C), Text("ABCDEFGHIJKLM"));
         }},
        {"empty name: line feed first, then spaces",
         [](EdidRecord& r) { SetFieldText(r.monitorName, ""); },
         [](const EdidImage& i, const EdidRecord&) {
             EXPECT_EQ(Slice(i, 0x5F, 0x6C), Concat({{0x0A}, Text("            ")}));
         }},
        {"a shorter name leaves nothing of the longer one",
         [](EdidRecord& r) { SetFieldText(r.monitorName, "TV"); },
         [](const EdidImage& i, const EdidRecord&) {
             EXPECT_EQ(Slice(i, 0x5F, 0x6C), Concat({Text("TV"), {0x0A}, Text("          ")}));
         }},
        {"established timings", [](EdidRecord& r) { r.establishedTimings = 0xFFA5C3; },
         [](const EdidImage& i, const EdidRecord&) {
             EXPECT_EQ(Slice(i, 35, 38), (Bytes{0xFF, 0xA5, 0xC3}));
         }},
        {"one compaction pass over the standard timings",
         [](EdidRecord& r) {
             r.standardTimings = {0x0101, 0x0101, 0xD1C0, 0x0101, 0x0000, 0x0101, 0x8180, 0x0101};
         },
         [](const EdidImage& i, const EdidRecord& r) {
             const std::array<std::uint16_t, 8> want = {0x0101, 0xD1C0, 0x0101, 0x0000,
                                                        0x0101, 0x8180, 0x0101, 0x0101};
             EXPECT_EQ(r.standardTimings, want);
             EXPECT_EQ(Slice(i, 38, 44), (Bytes{0x01, 0x01, 0xD1, 0xC0, 0x01, 0x01}));
             EXPECT_EQ(Slice(i, 44, 46), (Bytes{0x00, 0x00}));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EdidRecord r = TemplateValues();
        c.set(r);
        ASSERT_TRUE(Encode(r));
        c.check(r.image, r);
        ExpectValid(r.image);
        // what the encoder does not own stays the template's
        EXPECT_EQ(Slice(r.image, 0, 8), Slice(NewEdidTemplate(), 0, 8));
        EXPECT_EQ(Slice(r.image, 18, 35), Slice(NewEdidTemplate(), 18, 35));
        EXPECT_EQ(Slice(r.image, 54, 0x5F), Slice(NewEdidTemplate(), 54, 0x5F));
        EXPECT_EQ(Slice(r.image, 0x6C, 126), Slice(NewEdidTemplate(), 0x6C, 126));
    }
}

TEST(Encode, ExtensionBlocks) {
    const Bytes hdmi67 = {0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x21};
    struct Case {
        const char* what;
        Bytes templateBlocks;
        std::function<void(EdidRecord&)> set;
        Bytes blocks; // the expected data block collection
        std::function<void(const EdidRecord&)> check = [](const EdidRecord&) {};
    } cases[] = {
        {"nothing but the HDMI block",
         {},
         [](EdidRecord& r) {
             r.cecAddress = {0x12, 0x34};
         },
         {0x67, 0x03, 0x0C, 0x00, 0x12, 0x34, 0x00, 0x21}},
        {"deep colour gives 225 MHz, no Supports_AI without a template block",
         {},
         [](EdidRecord& r) { r.deepColor = 0x30; },
         {0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x30, 0x2D}},
        {"template HDMI block without byte 6 stays that short: no Supports_AI, no clock",
         {0x65, 0x03, 0x0C, 0x00, 0x20, 0x00},
         [](EdidRecord&) {},
         {0x65, 0x03, 0x0C, 0x00, 0x00, 0x00}},
        {"template HDMI block's clock and Supports_AI kept, raised for deep colour only",
         {0x67, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x80, 0x1E},
         [](EdidRecord& r) { r.deepColor = 0x80; },
         {0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x80, 0x1E}},
        {"template HDMI block's clock raised for deep colour it did not have",
         {0x67, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x80, 0x1E},
         [](EdidRecord& r) { r.deepColor = 0x20; },
         {0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0xA0, 0x2D}},
        {"template HDMI block's clock kept for a 4K format it lists already",
         {0x41, 95, 0x67, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x00, 0x21},
         [](EdidRecord& r) { r.videoCodes = {95}; },
         {0x41, 95, 0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x21}},
        {"template HDMI block's clock raised for a 4K format added",
         {0x67, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x00, 0x21},
         [](EdidRecord& r) { r.videoCodes = {95}; },
         {0x41, 95, 0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C}},
        {"template byte 6 gives only its Supports_AI bit",
         {0x66, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x78},
         [](EdidRecord& r) { r.deepColor = 0x10; },
         {0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x10, 0x2D}},
        {"VIC 97 adds a 600 MHz forum block and 300 MHz TMDS, and no HDR",
         {},
         [](EdidRecord& r) {
             r.videoCodes[3] = 97;
             r.yuv420DeepColor = 0x0D;
         },
         {0x41, 97, 0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x67, 0xD8, 0x5D, 0xC4, 0x01,
          0x78, 0x80, 0x05},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.formatFlags, kFormat4kHigh);
             EXPECT_EQ(r.hdrEotfs, 0x00);
         }},
        {"VIC 97 the template lists already: no forum block added",
         {0x41, 97},
         [](EdidRecord& r) { r.videoCodes = {97}; },
         {0x41, 97, 0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C}},
        {"4:2:0 deep colour without a forum block: one with no rate of its own",
         {},
         [](EdidRecord& r) { r.yuv420DeepColor = 0x01; },
         {0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x21, 0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x00, 0x00,
          0x01}},
        {"VIC 96 without 4:2:0 deep colour: no HDR added",
         {},
         [](EdidRecord& r) { r.videoCodes[0] = 96; },
         {0x41, 96, 0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x67, 0xD8, 0x5D, 0xC4, 0x01,
          0x78, 0x80, 0x00}},
        {"4:2:0 VIC 96 alone: no forum block, no HDR",
         {},
         [](EdidRecord& r) { r.yuv420VideoCodes[2] = 96; },
         {0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C, 0xE2, 0x0E, 96},
         [](const EdidRecord& r) {
             EXPECT_EQ(r.formatFlags, kFormat4kLow);
             EXPECT_EQ(r.hdrDescriptors, 0x00);
         }},
        {"VIC 93 with an HDR block already: kept",
         {},
         [](EdidRecord& r) {
             r.videoCodes[0] = 93;
             r.hdrEotfs = 0x04;
             r.hdrLuminance = {0x50, 0, 0};
         },
         {0x41, 93, 0x67, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C, 0xE4, 0x06, 0x04, 0x00, 0x50}},
        {"template forum block of six bytes is copied unchanged, without 4K",
         {0x66, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80},
         [](EdidRecord& r) { r.yuv420DeepColor = 7; },
         Concat({hdmi67, {0x66, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80}})},
        {"template forum block: byte 7 replaced, the rest kept",
         {0x69, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07, 0xAA, 0xBB},
         [](EdidRecord& r) { r.yuv420DeepColor = 0x82; },
         Concat({hdmi67, {0x69, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x02, 0xAA, 0xBB}})},
        {"template colorimetry with record byte 0: none",
         {0xE3, 0x05, 0xC0, 0x02},
         [](EdidRecord&) {},
         hdmi67},
        {"template colorimetry metadata profiles carried as they are",
         {0xE3, 0x05, 0xC0, 0x02},
         [](EdidRecord& r) { r.colorimetry = 0x81; },
         Concat({hdmi67, {0xE3, 0x05, 0x81, 0x02}})},
        {"colorimetry without template block, capability, HDR with three codes",
         {},
         [](EdidRecord& r) {
             r.colorimetry = 0x40;
             r.videoCapability = 0xC0;
             r.hdrEotfs = 0x05;
             r.hdrDescriptors = 0x01;
             r.hdrLuminance = {0x00, 0x00, 0x10};
         },
         Concat({hdmi67,
                 {0xE3, 0x05, 0x40, 0x00, 0xE2, 0x00, 0xC0, 0xE6, 0x06, 0x05, 0x01, 0x00, 0x00,
                  0x10}})},
        {"HDR with max and frame-average codes",
         {},
         [](EdidRecord& r) {
             r.hdrEotfs = 0x01;
             r.hdrLuminance = {0x60, 0x50, 0x00};
         },
         Concat({hdmi67, {0xE5, 0x06, 0x01, 0x00, 0x60, 0x50}})},
        {"video, audio, speaker in order; empty entries skipped",
         {0x83, 0x01, 0x00, 0x00, 0xE2, 0x0F, 0x01},
         [](EdidRecord& r) {
             r.videoCodes = {};
             r.videoCodes[5] = 4;
             r.videoCodes[1] = 16;
             r.audioDescriptors[3] = {0x15, 0x07, 0x50};
             r.audioDescriptors[0] = {0x09, 0x07, 0x03};
             r.speakerAllocation = 0x4F0000;
         },
         Concat({{0x42, 16, 4, 0x26, 0x09, 0x07, 0x03, 0x15, 0x07, 0x50, 0x83, 0x4F, 0x00, 0x00},
                 hdmi67})},
        {"two template HDMI blocks: built from the later one, as short as it is",
         {0x68, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x21, 0x0F, 0x66, 0x03, 0x0C, 0x00, 0x20, 0x00,
          0x80},
         [](EdidRecord&) {},
         {0x66, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x80}},
        {"template byte 8 with CNC bits only: ends at byte 8, HDMI_Video_present cleared",
         {0x6A, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x21, 0x23, 0x00, 0x00},
         [](EdidRecord&) {},
         {0x68, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x21, 0x03}},
        {"HDMI VICs: byte 8 added, a 3D byte of 0, the lengths byte, the VICs",
         {},
         [](EdidRecord& r) {
             r.hdmiVics = {1, 0, 3, 0};
         },
         {0x6C, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x20, 0x00, 0x40, 0x01, 0x03}},
        {"HDMI VICs with a template 3D byte: its 3D bits cleared",
         {0x6A, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x21, 0x20, 0xF8, 0x00},
         [](EdidRecord& r) {
             r.hdmiVics = {2, 0, 0, 0};
         },
         {0x6B, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x20, 0x18, 0x20, 0x02}},
        {"3D without VICs or 3D bytes",
         {},
         [](EdidRecord& r) { r.formatFlags = kFormat3D; },
         {0x6A, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x21, 0x20, 0x80, 0x00},
         [](const EdidRecord& r) { EXPECT_EQ(r.formatFlags, kFormat3D); }},
        {"3D with 3D bytes and latency fields from the template",
         {0x6B, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x21, 0x80, 0x11, 0x22},
         [](EdidRecord& r) {
             r.formatFlags = kFormat3D;
             r.hdmiVics = {1, 0, 0, 0};
             r.threeDLength = 2;
             r.threeDFlags = 0xC0;
             r.threeDBytes[0] = 0xAA;
             r.threeDBytes[1] = 0xBB;
         },
         {0x6F, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x3C, 0xA0, 0x11, 0x22, 0xC0, 0x22, 0x01, 0xAA,
          0xBB}},
        {"latency fields without VICs or 3D: HDMI_Video_present and 3D byte dropped",
         {0x6C, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x21, 0xA0, 0x11, 0x22, 0x80, 0x00},
         [](EdidRecord&) {},
         {0x6A, 0x03, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x21, 0x80, 0x11, 0x22}},
        {"template blocks of other kinds are dropped",
         {0xE2, 0x0F, 0x01, 0x70, 0x12, 0x34, 0x56, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         [](EdidRecord&) {},
         hdmi67},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EdidRecord r = Over(c.templateBlocks);
        c.set(r);
        const EncodeResult res = Encode(r);
        ASSERT_TRUE(res.ok) << res.message;
        EXPECT_EQ(Blocks(r.image), c.blocks);
        ExpectValid(r.image);
        c.check(r);
    }
}

// What the template's extension holds outside its data blocks, as the walk reads them (behind
// byte 2 at 0 or 4, or in a block 1 that is no CTA-861 block), carries nothing over: the build is
// the one over a template without blocks.
TEST(Encode, OnlyTheTemplatesDataBlocksCarryOver) {
    const Bytes blocks = {0x67, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x80, 0x1E,
                          0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07};
    const auto set = [](EdidRecord& r) {
        r.deepColor = 0x80;
        r.videoCodes[0] = 16;
        r.yuv420DeepColor = 0x01;
    };
    EdidRecord plain = Over({});
    set(plain);
    ASSERT_TRUE(Encode(plain));
    const struct Case {
        const char* what;
        int offset; // the image byte changed
        std::uint8_t value;
    } cases[] = {
        {"byte 2 = 0", 130, 0},
        {"byte 2 = 4", 130, 4},
        {"block 1 is DisplayID", 128, 0x70},
        {"block 1 is a block map", 128, 0xF0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EdidRecord r = Over(blocks);
        r.image[static_cast<std::size_t>(c.offset)] = c.value;
        FixChecksums(r.image);
        set(r);
        ASSERT_TRUE(Encode(r));
        EXPECT_EQ(Blocks(r.image), Blocks(plain.image));
        ExpectValid(r.image);
    }
    // and the same blocks where the walk reads them are carried over
    EdidRecord carried = Over(blocks);
    set(carried);
    ASSERT_TRUE(Encode(carried));
    EXPECT_NE(Blocks(carried.image), Blocks(plain.image));
}

TEST(Encode, ExtensionHeaderAndTimings) {
    EdidRecord r = Over({});
    r.image[131] = 0xFF;
    r.ycbcrSupport = 0x10;
    for (int i = 0; i < 3; ++i)
        r.extTimings[i].fill(static_cast<std::uint8_t>(0xA0 + i));
    ASSERT_TRUE(Encode(r));
    EXPECT_EQ(Slice(r.image, 128, 132), (Bytes{0x02, 0x03, 12, 0xDF}));
    // descriptors at 12, 30, 48 (each ends well before 126), then zeros up to 126
    EXPECT_EQ(r.image[128 + 12], 0xA0);
    EXPECT_EQ(r.image[128 + 47], 0xA1);
    EXPECT_EQ(r.image[128 + 65], 0xA2);
    EXPECT_EQ(Slice(r.image, 128 + 66, 255), Bytes(61, 0));
}

TEST(Encode, TimingDescriptorsStopWhenOneWouldEndAtOrAfter125) {
    // Data blocks end at 72: descriptors at 72 and 90 go in; one at 108 would end at 125 and
    // does not (the decoder would still read it there).
    EdidRecord r = Over({});
    for (int i = 0; i < 24; ++i)
        r.videoCodes[i] = static_cast<std::uint8_t>(i + 1);
    for (auto& d : r.audioDescriptors)
        d = {0x09, 0x07, 0x03};
    r.speakerAllocation = 0x01;
    for (auto& d : r.extTimings)
        d.fill(0x77);
    ASSERT_TRUE(Encode(r));
    ASSERT_EQ(r.image[130], 4 + 25 + 31 + 4 + 8);
    EXPECT_EQ(r.image[128 + 72], 0x77);
    EXPECT_EQ(r.image[128 + 107], 0x77);
    EXPECT_EQ(Slice(r.image, 128 + 108, 255), Bytes(19, 0));
    ExpectValid(r.image);
}

TEST(Encode, OverSizeIsRefusedAndLeavesTheRecordAlone) {
    EdidRecord r =
        Over({0x6A, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07, 1,  2,  3,  4,  5,  6,  7,  8,
              9,    10,   11,   12,   13,   14,   15,   16,   17, 18, 19, 20, 21, 22, 23, 24});
    r.image[132] = 0x7F; // a forum block of 31 bytes
    r.image[130] = 4 + 32;
    FixChecksums(r.image);
    for (int i = 0; i < 24; ++i)
        r.videoCodes[i] = static_cast<std::uint8_t>(i + 1);
    for (auto& d : r.audioDescriptors)
        d = {0x09, 0x07, 0x03};
    r.speakerAllocation = 0x4F;
    r.standardTimings[0] = kStandardTimingUnused;
    r.standardTimings[1] = 0xD1C0;
    const EdidRecord before = r;
    // 4 + 25 + 31 + 4 + 8 + 32 = 104: fits; each further block goes over
    ASSERT_TRUE(Encode(r));
    EXPECT_EQ(r.image[130], 104);

    struct Case {
        const char* what;
        std::function<void(EdidRecord&)> grow;
        bool fits;
    } cases[] = {
        {"colorimetry and capability: ends at 111",
         [](EdidRecord& x) {
             x.colorimetry = 1;
             x.videoCapability = 1;
         },
         true},
        {"HDR with three codes too: ends at 118",
         [](EdidRecord& x) {
             x.colorimetry = 1;
             x.videoCapability = 1;
             x.hdrEotfs = 1;
             x.hdrLuminance = {1, 1, 1};
         },
         true},
        {"and seven 4:2:0 codes: ends at 127, the last byte before the checksum",
         [](EdidRecord& x) {
             x.colorimetry = 1;
             x.videoCapability = 1;
             x.hdrEotfs = 1;
             x.hdrLuminance = {1, 1, 1};
             for (int i = 0; i < 7; ++i)
                 x.yuv420VideoCodes[i] = 1;
         },
         true},
        {"eight 4:2:0 codes would cover the checksum",
         [](EdidRecord& x) {
             x.colorimetry = 1;
             x.videoCapability = 1;
             x.hdrEotfs = 1;
             x.hdrLuminance = {1, 1, 1};
             for (int i = 0; i < 8; ++i)
                 x.yuv420VideoCodes[i] = 1;
         },
         false},
        {"HDMI payload longer than a block can say (32 bytes)",
         [](EdidRecord& x) {
             x.videoCodes = {};
             x.audioDescriptors = {};
             x.image[132] = 0x6D; // a template HDMI block with latency fields and a 3D byte
             const std::uint8_t hdmi[] = {0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x21,
                                          0xE0, 1,    2,    3,    4,    0x80};
             std::copy(std::begin(hdmi), std::end(hdmi), x.image.begin() + 133);
             x.formatFlags = kFormat3D;
             x.hdmiVics = {1, 2, 3, 4};
             x.threeDLength = 14;
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EdidRecord x = before;
        c.grow(x);
        const EdidRecord grown = x;
        const EncodeResult res = Encode(x);
        EXPECT_EQ(res.ok, c.fits);
        if (c.fits) {
            ExpectValid(x.image);
            EXPECT_LE(x.image[130], 127);
        } else {
            EXPECT_EQ(res.message, "Edid Over Size.");
            EXPECT_EQ(std::memcmp(&x.image, &grown.image, sizeof x.image), 0);
            EXPECT_EQ(x.standardTimings, grown.standardTimings); // no compaction either
            EXPECT_EQ(x.hdrEotfs, grown.hdrEotfs);
        }
    }
}

TEST(Encode, DecodedTemplateReencodesToAValidImage) {
    EdidRecord r;
    Decode(r, NewEdidTemplate());
    ASSERT_TRUE(Encode(r));
    ExpectValid(r.image);
    EdidRecord again;
    Decode(again, r.image);
    EXPECT_EQ(FieldText(again.monitorName), "BrandNewEdid");
    EXPECT_EQ(again.videoCodes[0], 16);
    EXPECT_EQ(again.audioDescriptors[0], (ShortAudioDescriptor{0x09, 0x07, 0x03}));
}
