// The creator's build: page -> record -> image, its numbers, the audio build and the over-size
// refusal.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "creator_test_util.h"
#include "edid/Decoder.h"
#include "workspace/creator/CreatorBuild.h"
#include "workspace/creator/CreatorLoad.h"
#include "workspace/creator/CreatorRules.h"
#include "workspace/creator/CreatorTables.h"

using namespace tavo;
using namespace tavo::creator;
using creator_test::kTemplateWeek;
using creator_test::WithBlocks;

namespace {

struct Creator {
    EdidRecord record;
    CreatorPage page;
    void Tick(std::string_view name, bool on = true) { ChangeCheck(page, record.status, name, on); }
    void Type(std::string_view name, std::string text) {
        ChangeText(page, record.status, name, std::move(text));
    }
};

Creator New(const CalendarDate& date = kTemplateWeek) {
    Creator c;
    OpenNew(c.record, c.page, date);
    return c;
}

Creator Open(const EdidImage& image) {
    Creator c;
    OpenImage(c.record, c.page, image, kTemplateWeek);
    return c;
}

std::vector<ShortAudioDescriptor> UsedDescriptors(const EdidRecord& r) {
    std::vector<ShortAudioDescriptor> out;
    for (const auto& sad : r.audioDescriptors)
        if (sad[0] != 0) out.push_back(sad);
    return out;
}

std::string Hex(const std::vector<ShortAudioDescriptor>& list) {
    std::string s;
    char buf[12];
    for (const auto& sad : list) {
        std::snprintf(buf, sizeof buf, "%02X %02X %02X|", sad[0], sad[1], sad[2]);
        s += buf;
    }
    return s;
}

bool SameRecordData(const EdidRecord& a, const EdidRecord& b) {
    return a.image == b.image && a.audioDescriptors == b.audioDescriptors &&
           a.standardTimings == b.standardTimings && a.videoCodes == b.videoCodes &&
           a.formatFlags == b.formatFlags && a.audioFormatsPresent == b.audioFormatsPresent &&
           a.serialNumber == b.serialNumber && a.productCode == b.productCode;
}

} // namespace

TEST(CreatorBuild, NewThenBuildGivesTheTemplateAndTheWorkedExtension) {
    Creator c = New();
    ASSERT_TRUE(Build(c.page, c.record));
    const EdidImage& tpl = NewEdidTemplate();
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(c.record.image[i], tpl[i]) << "byte " << i;
    const std::uint8_t ext[] = {0x02, 0x03, 0x12, 0x71, 0x41, 0x10, 0x23, 0x09, 0x07,
                                0x03, 0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21};
    for (int i = 0; i < 128; ++i) {
        const std::uint8_t want = i < 18 ? ext[i] : i == 127 ? 0xCA : 0x00;
        EXPECT_EQ(c.record.image[128 + i], want) << "extension byte " << i;
    }
    // a second build of the same page gives the same image
    const EdidImage first = c.record.image;
    ASSERT_TRUE(Build(c.page, c.record));
    EXPECT_EQ(c.record.image, first);

    // built today, only the week, the year and the checksum move
    Creator today = New({2026, 12, 7});
    ASSERT_TRUE(Build(today.page, today.record));
    for (int i = 0; i < 128; ++i) {
        if (i == 16 || i == 17 || i == 127) continue;
        EXPECT_EQ(today.record.image[i], tpl[i]) << "byte " << i;
    }
    EXPECT_EQ(today.record.image[16], 50);
    EXPECT_EQ(today.record.image[17], 2026 - 1990);
}

TEST(CreatorBuild, NumbersAreReadWithoutBlanksAndKeepTheirLowBits) {
    struct Case {
        std::string_view field;
        const char* text;
        std::vector<std::pair<int, std::uint8_t>> bytes; // image offset, value
    } cases[] = {
        {kSerialNumber, "-1", {{12, 0xFF}, {13, 0xFF}, {14, 0xFF}, {15, 0xFF}}},
        {kSerialNumber, "4294967295", {{12, 0xFF}, {13, 0xFF}, {14, 0xFF}, {15, 0xFF}}},
        {kSerialNumber, "-2147483648", {{12, 0x00}, {13, 0x00}, {14, 0x00}, {15, 0x80}}},
        {kSerialNumber, " 7 ", {{12, 0x07}, {13, 0x00}, {14, 0x00}, {15, 0x00}}},
        {kProductCode, "  640", {{10, 0x80}, {11, 0x02}}},
        {kProductCode, "65537", {{10, 0x01}, {11, 0x00}}},
        {kManufactureYear, "1990", {{17, 0}}},
        {kManufactureYear, "2245", {{17, 255}}},
        {kManufactureWeek, "  53", {{16, 53}}},
        {kCecAddress, "1a2B", {{128 + 14, 0x1A}, {128 + 15, 0x2B}}},
        {"Edit_HDR_DCLD_1", "    7", {}},
    };
    for (const auto& c : cases) {
        Creator cr = New();
        cr.Type(c.field, c.text);
        const auto result = Build(cr.page, cr.record);
        ASSERT_TRUE(result) << c.field << " \"" << c.text << "\": " << result.message;
        for (const auto& [offset, value] : c.bytes)
            EXPECT_EQ(cr.record.image[offset], value) << c.field << " \"" << c.text << "\"";
    }
}

TEST(CreatorBuild, AFieldThatIsNotANumberStopsTheBuild) {
    struct Case {
        std::string_view field;
        const char* text;
        const char* message;
    } cases[] = {
        {kProductCode, "", "Product Code Not A Number!"},
        {kSerialNumber, "12 34", "Serial Number Not A Number!"},
        {kManufactureYear, "", "Year Not A Number!"},
        {kManufactureWeek, "w15", "Week Not A Number!"},
        {"Edit_HDR_DCLD_3", "   ", "HDR Min Not A Number!"},
        {kLpcmMaxChannels, "", "L-PCM MaxCH Not A Number!"},
        {"Edit_AudioOBA_MaxCh", "two", "One Bit Audio MaxCH Not A Number!"},
        {"Edit_AudioAC3_BitRate", "", "Dolby Digital BitRate Not A Number!"},
        {"Edit_AudioAAC_BitRate", "64O", "AAC LC BitRate Not A Number!"},
        {kCecAddress, "10000", "CEC Address Not 4 Hex Digits!"},
        {kCecAddress, "1g00", "CEC Address Not 4 Hex Digits!"},
        {kCecAddress, "", "CEC Address Not 4 Hex Digits!"},
    };
    for (const auto& c : cases) {
        Creator cr = New();
        cr.Tick("CheckBox_VideoIdCode_97"); // something the build would change
        const EdidRecord before = cr.record;
        cr.Type(c.field, c.text);
        const auto result = Build(cr.page, cr.record);
        EXPECT_FALSE(result) << c.field;
        EXPECT_EQ(result.message, c.message) << c.field;
        EXPECT_TRUE(SameRecordData(cr.record, before)) << c.field;
    }
}

TEST(CreatorBuild, DescriptorTextsAndFormat) {
    Creator c = New();
    c.Type(kManufacturerName, "abz");
    c.Type(kMonitorName, "A Very Long Monitor Name");
    ASSERT_TRUE(Build(c.page, c.record));
    EXPECT_EQ(c.record.image[8], (1 << 2) | (2 >> 3));
    EXPECT_EQ(c.record.image[9], ((2 & 7) << 5) | 26);
    // 13 characters, no line feed
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&c.record.image[0x5F]), 13),
              "A Very Long M");
    EXPECT_EQ(c.record.image[0x5F + 13], 0x00); // the next descriptor is not touched

    c.Type(kMonitorName, "");
    c.Tick(kFormatDvi);
    ASSERT_TRUE(Build(c.page, c.record));
    EXPECT_EQ(c.record.image[0x5F], 0x0A);
    EXPECT_EQ(c.record.image[126], 0);
    for (int i = 128; i < 256; ++i) // one block: the rest reads as a 128-byte file does
        ASSERT_EQ(c.record.image[i], 0xFF) << i;
    EXPECT_EQ(EdidLength(c.record.image), 128u);
    std::uint16_t st = 0;
    EXPECT_TRUE(ValidateImage(c.record.image, st));
}

TEST(CreatorBuild, TimingsAndVideoCodesAreEditedInPlace) {
    // standard timings: 0x8180 in entry 2 from the template, 1280x960 (no box) in entry 0
    EdidImage image =
        WithBlocks({0x45, 0x10, 0x3F, 0x04, 0x78, 0x61, 0x65, 0x03, 0x0C, 0x00, 0x10, 0x00});
    image[38] = 0x81, image[39] = 0x40, image[42] = 0x81, image[43] = 0x80;
    creator_test::FixChecksums(image);
    Creator c = Open(image);
    ASSERT_TRUE(c.page.Checked("CheckBox_StandardTiming_1"));

    c.Tick("CheckBox_StandardTiming_1", false);
    ASSERT_TRUE(ReadPage(c.page, c.record));
    EXPECT_EQ(c.record.standardTimings[0], 0x8140);
    EXPECT_EQ(c.record.standardTimings[2], 0x0101);
    c.Tick("CheckBox_StandardTiming_1");
    c.Tick("CheckBox_StandardTiming_5");
    ASSERT_TRUE(ReadPage(c.page, c.record));
    EXPECT_EQ(c.record.standardTimings[1], 0x8180); // the first unused entry
    EXPECT_EQ(c.record.standardTimings[2], 0xA94F);

    // video codes: 16, 63 (no box), 4, 120 (no box, above 107), 97
    EXPECT_EQ(c.record.videoCodes[0], 16);
    c.Tick("CheckBox_VideoIdCode_16", false);
    c.Tick("CheckBox_VideoIdCode_5");
    c.Tick("CheckBox_VideoIdCode_6");
    c.Tick("CheckBox_VideoIdCode_93");
    c.Tick("CheckBox_VideoIdCode_95");
    c.Tick("CheckBox_VideoIdCode_94");
    ASSERT_TRUE(ReadPage(c.page, c.record));
    // in box order: 6 takes the entry of 120, 5 the first empty one, 93 the entry 16 left
    const std::uint8_t want[] = {93, 63, 4, 6, 97, 5, 94, 95, 0};
    for (std::size_t i = 0; i < std::size(want); ++i)
        EXPECT_EQ(c.record.videoCodes[i], want[i]) << "entry " << i;
    // HDMI VICs in the order of the boxes 93, 94, 95
    EXPECT_EQ(c.record.hdmiVics, (std::array<std::uint8_t, 4>{3, 2, 1, 0}));

    // a cleared box removes every copy of its code; a full list takes no new code
    c.record.videoCodes.fill(4);
    c.Tick("CheckBox_VideoIdCode_4", false);
    ASSERT_TRUE(ReadPage(c.page, c.record));
    for (auto v : c.record.videoCodes)
        ASSERT_TRUE(v == 0 || v >= 5);
    c.record.videoCodes.fill(63);
    c.Tick("CheckBox_VideoIdCode_3");
    ASSERT_TRUE(ReadPage(c.page, c.record));
    for (auto v : c.record.videoCodes)
        EXPECT_EQ(v, 63);

    // a full list where a box earlier in box order is ticked and a later one cleared: the new
    // code takes the entry of the removed one in the same build
    Creator swap = New(); // box 16 ticked
    swap.record.videoCodes.fill(63);
    swap.record.videoCodes[5] = 16;
    swap.Tick("CheckBox_VideoIdCode_16", false);
    swap.Tick("CheckBox_VideoIdCode_3");
    ASSERT_TRUE(ReadPage(swap.page, swap.record));
    EXPECT_EQ(swap.record.videoCodes[5], 3);

    // the same for standard timings: every entry taken, box 1 ticked and box 5 (later in box
    // order) cleared in one build: 1280x1024 takes the entry 1600x1200 left
    Creator full = New();
    full.record.standardTimings.fill(0x8140); // 1280x960, no box
    full.record.standardTimings[6] = 0xA94F;  // box 5
    full.Tick("CheckBox_StandardTiming_5");
    full.Tick("CheckBox_StandardTiming_1", false);
    ASSERT_TRUE(ReadPage(full.page, full.record));
    full.Tick("CheckBox_StandardTiming_5", false);
    full.Tick("CheckBox_StandardTiming_1");
    ASSERT_TRUE(ReadPage(full.page, full.record));
    EXPECT_EQ(full.record.standardTimings[6], 0x8180);
}

TEST(CreatorBuild, ColourFields) {
    Creator c = New();
    c.Tick("CheckBox_ColorDepth_3");
    c.Tick("CheckBox_Colorimetry_1");
    c.Tick("CheckBox_Colorimetry_7");
    c.Tick("CheckBox_ColorSpace_3");
    ASSERT_TRUE(ReadPage(c.page, c.record));
    EXPECT_EQ(c.record.deepColor, 0x10 | 0x08); // 4:4:4 is ticked by the template
    EXPECT_EQ(c.record.colorimetry, 0x82);
    EXPECT_EQ(c.record.ycbcrSupport, 0x30);
    EXPECT_EQ(c.record.yuv420Selection, 1);
    c.Tick("CheckBox_ColorSpace_1", false);
    ASSERT_TRUE(ReadPage(c.page, c.record));
    EXPECT_EQ(c.record.deepColor, 0x10);
    EXPECT_EQ(c.record.ycbcrSupport, 0x10);
}

TEST(CreatorBuild, AudioDescriptors) {
    struct Case {
        const char* what;
        std::function<void(Creator&)> edit;
        std::vector<ShortAudioDescriptor> want; // the used slots after one build
    } cases[] = {
        {"Dolby Digital with the defaults",
         [](Creator& c) { c.Tick("CheckBox_AudioFormat_3"); },
         {{0x09, 0x07, 0x03}, {0x15, 0x07, 0x50}}},
        {"Dolby Digital from its panel",
         [](Creator& c) {
             c.Tick("CheckBox_AudioFormat_3");
             c.Type("Edit_AudioAC3_MaxCh", "6");
             c.Tick("CheckBox_AudioAC3_Freq_5");
             c.Tick("CheckBox_AudioAC3_Freq_6");
             c.Type("Edit_AudioAC3_BitRate", "  640");
         },
         {{0x09, 0x07, 0x03}, {0x15, 0x06, 0x50}}},
        {"every other format with its defaults",
         [](Creator& c) {
             for (int n = 4; n <= 9; ++n)
                 c.Tick(ControlName(kAudioFormatPrefix, n));
         },
         {{0x09, 0x07, 0x03},
          {0x57, 0x06, 0x00},
          {0x67, 0x7E, 0x00},
          {0x3E, 0x1E, 0xC0},
          {0x5F, 0x7E, 0x01},
          {0x35, 0x06, 0x3C},
          {0x4D, 0x02, 0x00}}},
        {"fixed third bytes with panel counts",
         [](Creator& c) {
             c.Tick("CheckBox_AudioFormat_7");
             c.Type("Edit_AudioDTSHD_MaxCh", "2");
             c.Tick("CheckBox_AudioDTSHD_Freq_1");
         },
         {{0x09, 0x07, 0x03}, {0x59, 0x40, 0x01}}},
        {"multichannel L-PCM with Basic",
         [](Creator& c) {
             c.Type(kLpcmMaxChannels, "8");
             c.Tick("CheckBox_AudioLPCM_Freq_1");
             c.Tick("CheckBox_AudioLPCM_SamBit_1");
         },
         {{0x09, 0x47, 0x07}, {0x0F, 0x47, 0x07}}},
        {"L-PCM count above 8 is written as 8",
         [](Creator& c) { c.Type(kLpcmMaxChannels, "9"); },
         {{0x09, 0x07, 0x03}, {0x0F, 0x07, 0x03}}},
        {"panel count above 8 is written as 8",
         [](Creator& c) {
             c.Tick("CheckBox_AudioFormat_5");
             c.Type("Edit_AudioMAT_MaxCh", "12");
         },
         {{0x09, 0x07, 0x03}, {0x67, 0x00, 0x00}}},
        {"bit rate above 2040 is written as 255, a negative one as 0",
         [](Creator& c) {
             c.Tick("CheckBox_AudioFormat_3");
             c.Tick("CheckBox_AudioFormat_8");
             c.Type("Edit_AudioAC3_MaxCh", "2");
             c.Type("Edit_AudioAC3_BitRate", "4000");
             c.Type("Edit_AudioAAC_MaxCh", "2");
             c.Type("Edit_AudioAAC_BitRate", "-8");
         },
         {{0x09, 0x07, 0x03}, {0x11, 0x00, 0xFF}, {0x31, 0x00, 0x00}}},
        {"Basic cleared", [](Creator& c) { c.Tick(kBasicAudio, false); }, {}},
    };
    for (const auto& c : cases) {
        Creator cr = New();
        c.edit(cr);
        ASSERT_TRUE(ReadPage(cr.page, cr.record)) << c.what;
        EXPECT_EQ(Hex(UsedDescriptors(cr.record)), Hex(c.want)) << c.what;
    }
}

TEST(CreatorBuild, AudioAcrossBuilds) {
    // lowering the L-PCM count to 2 removes the multichannel descriptor on the next build
    Creator c = New();
    c.Type(kLpcmMaxChannels, "8");
    ASSERT_TRUE(Build(c.page, c.record));
    EXPECT_EQ(UsedDescriptors(c.record).size(), 2u);
    EXPECT_EQ(c.record.audioFormatsPresent & kAudioLpcmMulti, kAudioLpcmMulti);
    c.Type(kLpcmMaxChannels, "2");
    ASSERT_TRUE(Build(c.page, c.record));
    EXPECT_EQ(Hex(UsedDescriptors(c.record)), Hex({{0x09, 0x07, 0x03}}));
    EXPECT_EQ(c.record.image[128 + 6], 0x23); // the audio block holds one descriptor

    // a cleared format loses only its first byte
    Creator ac3 = Open(
        WithBlocks({0x26, 0x09, 0x07, 0x03, 0x15, 0x07, 0x50, 0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}));
    ac3.Tick("CheckBox_AudioFormat_3", false);
    ASSERT_TRUE(ReadPage(ac3.page, ac3.record));
    EXPECT_EQ(ac3.record.audioDescriptors[1], (ShortAudioDescriptor{0x00, 0x07, 0x50}));
    EXPECT_EQ(ac3.record.audioFormatsPresent & kAudioAc3, 0);

    // two multichannel L-PCM descriptors and a count of 0: step 3 removes the first, and the
    // second is removed rather than given a channel count of -1
    Creator two = Open(WithBlocks({0x29, 0x09, 0x07, 0x03, 0x0D, 0x07, 0x03, 0x0F, 0x07, 0x03, 0x65,
                                   0x03, 0x0C, 0x00, 0x10, 0x00}));
    ASSERT_EQ(two.page.Text(kLpcmMaxChannels), "8");
    two.Type(kLpcmMaxChannels, "0");
    ASSERT_TRUE(Build(two.page, two.record));
    EXPECT_EQ(Hex(UsedDescriptors(two.record)), Hex({{0x09, 0x07, 0x03}}));
    // with a count of 1 the second one is kept with one channel
    Creator keep = Open(WithBlocks({0x29, 0x09, 0x07, 0x03, 0x0D, 0x07, 0x03, 0x0F, 0x07, 0x03,
                                    0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}));
    keep.Type(kLpcmMaxChannels, "1");
    ASSERT_TRUE(ReadPage(keep.page, keep.record));
    EXPECT_EQ(Hex(UsedDescriptors(keep.record)), Hex({{0x09, 0x07, 0x03}, {0x08, 0x07, 0x03}}));
    // a count of 0 removes only the multichannel ones: one and two channels stay as they are
    Creator few = Open(WithBlocks({0x29, 0x08, 0x07, 0x03, 0x09, 0x07, 0x03, 0x0F, 0x07, 0x03, 0x65,
                                   0x03, 0x0C, 0x00, 0x10, 0x00}));
    few.Type(kLpcmMaxChannels, "0");
    ASSERT_TRUE(ReadPage(few.page, few.record));
    EXPECT_EQ(Hex(UsedDescriptors(few.record)), Hex({{0x08, 0x07, 0x03}, {0x09, 0x07, 0x03}}));

    // a full list silently takes no new format, but remembers it as present
    std::vector<std::uint8_t> full = {0x3E};
    for (int i = 0; i < 10; ++i)
        full.insert(full.end(), {0x09, 0x07, 0x03});
    full.insert(full.end(), {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00});
    Creator fullList = Open(WithBlocks(full));
    fullList.Tick("CheckBox_AudioFormat_9");
    ASSERT_TRUE(ReadPage(fullList.page, fullList.record));
    EXPECT_EQ(UsedDescriptors(fullList.record).size(), 10u);
    for (const auto& sad : fullList.record.audioDescriptors)
        EXPECT_EQ(sad[0], 0x09);
    EXPECT_EQ(fullList.record.audioFormatsPresent & kAudioOneBit, kAudioOneBit);

    // a full list with Dolby Digital cleared and DTS ticked: DTS takes the freed slot at once
    std::vector<std::uint8_t> withAc3 = {0x3E, 0x09, 0x07, 0x03, 0x15, 0x07, 0x50};
    for (int i = 0; i < 8; ++i)
        withAc3.insert(withAc3.end(), {0x69, 0x07, 0x00}); // a format without a panel
    withAc3.insert(withAc3.end(), {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00});
    Creator swap = Open(WithBlocks(withAc3));
    swap.Tick("CheckBox_AudioFormat_3", false);
    swap.Tick("CheckBox_AudioFormat_6");
    ASSERT_TRUE(ReadPage(swap.page, swap.record));
    EXPECT_EQ(swap.record.audioDescriptors[1], (ShortAudioDescriptor{0x3E, 0x1E, 0xC0}));
    EXPECT_EQ(UsedDescriptors(swap.record).size(), 10u);
}

TEST(CreatorBuild, SpeakerAllocationFromTheLeftBoxes) {
    struct Case {
        const char* box;
        std::uint32_t bits;
    } cases[] = {
        {"CheckBox_SpeakerPosition_1", 0x800000},   {"CheckBox_SpeakerPosition_4", 0x100000},
        {"CheckBox_SpeakerPosition_8", 0x010000},   {"CheckBox_SpeakerPosition_8r", 0x010000},
        {"CheckBox_SpeakerPosition_9", 0x000400},   {"CheckBox_SpeakerPosition_11", 0x000100},
        {"CheckBox_SpeakerPosition_11r", 0x000100},
    };
    for (const auto& c : cases) {
        Creator cr = New();
        cr.Tick(c.box);
        ASSERT_TRUE(Build(cr.page, cr.record));
        EXPECT_EQ(cr.record.speakerAllocation, c.bits) << c.box;
        // the speaker block follows the audio block
        EXPECT_EQ(cr.record.image[128 + 10], 0x83) << c.box;
        EXPECT_EQ(cr.record.image[128 + 11], (c.bits >> 16) & 0xFF) << c.box;
        EXPECT_EQ(cr.record.image[128 + 12], (c.bits >> 8) & 0xFF) << c.box;
    }
    // a twin box alone (page state set without the interlock) is not read
    Creator cr = New();
    cr.page.SetChecked("CheckBox_SpeakerPosition_8r", true);
    ASSERT_TRUE(ReadPage(cr.page, cr.record));
    EXPECT_EQ(cr.record.speakerAllocation, 0u);
}

TEST(CreatorBuild, BlocksThatDoNotFitFailTheBuild) {
    // A template whose data blocks fill 120 of the extension's 123 bytes: 24 video codes without
    // a box, ten audio descriptors, speakers, an HDMI block with three HDMI VICs and fourteen 3D
    // bytes, a forum block of 31 payload bytes.
    std::vector<std::uint8_t> b = {0x58};
    for (int v : {1,  2,  7,  8,  9,  10, 11, 12, 13, 14, 15, 17,
                  22, 23, 24, 25, 26, 27, 28, 29, 30, 35, 36, 37})
        b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(0x3E);
    for (int i = 0; i < 10; ++i)
        b.insert(b.end(), {0x09, 0x07, 0x03});
    b.insert(b.end(), {0x83, 0x01, 0x00, 0x00});
    b.insert(b.end(),
             {0x7B, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x3C, 0x20, 0x80, 0x6E, 0x01, 0x02, 0x03});
    for (int i = 0; i < 14; ++i)
        b.push_back(static_cast<std::uint8_t>(i));
    b.insert(b.end(), {0x7F, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x00});
    b.resize(b.size() + 24, 0);
    ASSERT_EQ(b.size(), 120u);
    Creator c = Open(WithBlocks(b));
    ASSERT_EQ(c.record.status & kStatusValidationMask, 0);
    ASSERT_TRUE(c.page.Checked(k3DPresent));

    Creator fits = c;
    ASSERT_TRUE(Build(fits.page, fits.record));
    std::uint16_t st = 0;
    EXPECT_TRUE(ValidateImage(fits.record.image, st));

    c.Tick("CheckBox_Colorimetry_1");
    c.Tick("CheckBox_HDR_EOTF_1");
    const EdidRecord before = c.record;
    const auto result = Build(c.page, c.record);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message, "Edid Over Size.");
    EXPECT_TRUE(SameRecordData(c.record, before));
}

TEST(CreatorBuild, ARichPageSurvivesBuildAndLoad) {
    Creator c = New();
    for (auto box : {"CheckBox_EstablishTiming_1",  "CheckBox_EstablishTiming_12",
                     "CheckBox_EstablishTiming_17", "CheckBox_StandardTiming_2",
                     "CheckBox_StandardTiming_5",   "CheckBox_VideoIdCode_3",
                     "CheckBox_VideoIdCode_4",      "CheckBox_VideoIdCode_93",
                     "CheckBox_VideoIdCode_95",     "CheckBox_VideoIdCode_97",
                     "CheckBox_YUV420VDB_96",       "CheckBox_ColorSpace_3",
                     "CheckBox_ColorDepth_2",       "CheckBox_Colorimetry_2",
                     "CheckBox_Colorimetry_5",      "CheckBox_HDR_2",
                     "CheckBox_HDR_EOTF_1",         "CheckBox_HDR_Despt_1",
                     "CheckBox_SpeakerPosition_1",  "CheckBox_SpeakerPosition_6",
                     "CheckBox_SpeakerPosition_7",  "CheckBox_SpeakerPosition_8",
                     "CheckBox_SpeakerPosition_11", "CheckBox_AudioLPCM_Freq_1",
                     "CheckBox_AudioLPCM_SamBit_1", "CheckBox_AudioFormat_3",
                     "CheckBox_AudioAC3_Freq_5",    "CheckBox_AudioFormat_7",
                     "CheckBox_AudioDTSHD_Freq_1",  "CheckBox_AudioDTSHD_Freq_3",
                     "CheckBox_AudioFormat_9",      "CheckBox_AudioOBA_Freq_7",
                     "CheckBox_3D_Present"})
        c.Tick(box);
    const std::pair<std::string_view, const char*> texts[] = {
        {kManufacturerName, "ABC"},     {kMonitorName, "Round Trip"},
        {kProductCode, "513"},          {kSerialNumber, "-5"},
        {kManufactureYear, "2020"},     {kManufactureWeek, "33"},
        {"Edit_HDR_DCLD_1", "   90"},   {"Edit_HDR_DCLD_2", "   40"},
        {"Edit_HDR_DCLD_3", "    1"},   {kLpcmMaxChannels, "6"},
        {"Edit_AudioAC3_MaxCh", "6"},   {"Edit_AudioAC3_BitRate", "  640"},
        {"Edit_AudioDTSHD_MaxCh", "8"}, {"Edit_AudioOBA_MaxCh", "2"},
        {kCecAddress, "2100"},
    };
    for (const auto& [name, text] : texts)
        c.Type(name, text);
    ASSERT_EQ(c.page.Warning(), "");
    ASSERT_TRUE(Build(c.page, c.record));
    std::uint16_t st = 0;
    ASSERT_TRUE(ValidateImage(c.record.image, st));

    const Creator back = Open(c.record.image);
    for (const auto& name : CreatorPage::CheckNames())
        EXPECT_EQ(back.page.Checked(name), c.page.Checked(name)) << name;
    for (const auto& name : CreatorPage::EditNames())
        EXPECT_EQ(back.page.Text(name), c.page.Text(name)) << name;

    // building the loaded page again gives the same image
    Creator again = back;
    ASSERT_TRUE(Build(again.page, again.record));
    EXPECT_EQ(again.record.image, c.record.image);
}

TEST(CreatorBuild, SaveAndUploadGates) {
    struct Case {
        std::uint16_t status;
        Gate save;
        Gate upload;
    } cases[] = {
        {0, Gate::NoTemplate, Gate::NoTemplate},
        {kStatusHoldsEdid, Gate::Build, Gate::Build},
        {kStatusHoldsEdid | kStatusNewTemplate, Gate::Build, Gate::Build},
        {kStatusHoldsEdid | kStatusInputError, Gate::Build, Gate::InputError},
        {kStatusInputError, Gate::NoTemplate, Gate::InputError},
        {kStatusHoldsEdid | kStatusBadChecksum0, Gate::Build, Gate::Build},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SaveGate(c.status), c.save) << c.status;
        EXPECT_EQ(UploadGate(c.status), c.upload) << c.status;
    }
}

TEST(CreatorBuild, UploadValidatesTheBuiltImage) {
    // a bad header stays in the built image: the upload refuses it
    EdidImage badHeader = NewEdidTemplate();
    badHeader[0] = 0x01;
    Creator header = Open(badHeader);
    ASSERT_EQ(header.page.Text(kManufacturerName), "Error.");
    auto result = BuildForUpload(header.page, header.record);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message, "Illegal Edid Header.");
    EXPECT_EQ(header.record.status & kStatusValidationMask, kStatusBadHeader);

    // a bad checksum is rewritten by the encoder: the new image's result replaces the old bits
    EdidImage badSum = NewEdidTemplate();
    badSum[20] ^= 1;
    Creator sum = Open(badSum);
    ASSERT_EQ(sum.record.status & kStatusValidationMask, kStatusBadChecksum0);
    result = BuildForUpload(sum.page, sum.record);
    EXPECT_TRUE(result) << result.message;
    EXPECT_EQ(sum.record.status & kStatusValidationMask, 0);
    EXPECT_EQ(sum.record.status & kStatusHoldsEdid, kStatusHoldsEdid);

    // a build failure comes first and leaves the status alone
    Creator nan = New();
    nan.Type(kManufactureWeek, "");
    const std::uint16_t before = nan.record.status;
    result = BuildForUpload(nan.page, nan.record);
    EXPECT_EQ(result.message, "Week Not A Number!");
    EXPECT_EQ(nan.record.status, before);
}
