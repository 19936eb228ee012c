// Loading an EDID onto the creator page: New, Open, Open from the analyzer, the reset page of an
// invalid image, the date of a New EDID and the number formats.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "creator_test_util.h"
#include "edid/Decoder.h"
#include "edid/EdidDiff.h"
#include "workspace/creator/CreatorLoad.h"
#include "workspace/creator/CreatorRebuild.h"
#include "workspace/creator/CreatorRules.h"
#include "workspace/creator/CreatorTables.h"

using namespace tavo;
using namespace tavo::creator;
using creator_test::WithBlocks;

namespace {

std::set<std::string> CheckedBoxes(const CreatorPage& page) {
    std::set<std::string> out;
    for (const auto& name : CreatorPage::CheckNames())
        if (page.Checked(name)) out.insert(name);
    return out;
}

CreatorPage Loaded(const EdidImage& image, EdidRecord* out = nullptr) {
    EdidRecord record;
    CreatorPage page;
    OpenImage(record, page, image, creator_test::kTemplateWeek);
    if (out) *out = record;
    return page;
}

EdidImage Sample(const std::string& name) {
    std::ifstream f(std::filesystem::path(TAVO_TEST_DATA) / "edid" / name, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                                          std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << name;
    return ImageFromBytes(bytes.data(), bytes.size());
}

} // namespace

TEST(CreatorLoad, IsoWeek) {
    struct Case {
        CalendarDate date;
        int week;
    } cases[] = {
        {{2015, 4, 8}, 15},  {{2026, 12, 7}, 50}, {{2026, 12, 31}, 53}, {{2027, 1, 3}, 53},
        {{2027, 1, 4}, 1},   {{2021, 1, 1}, 53},  {{2023, 1, 1}, 52},   {{2024, 12, 30}, 1},
        {{2008, 12, 29}, 1}, {{2010, 1, 3}, 53},  {{2020, 12, 31}, 53}, {{2019, 12, 30}, 1},
        {{2016, 2, 29}, 9},  {{2000, 1, 1}, 52},  {{2245, 6, 15}, 24},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsoWeek(c.date), c.week)
            << c.date.year << '-' << c.date.month << '-' << c.date.day;
}

TEST(CreatorLoad, NumberTexts) {
    struct Case {
        std::string got;
        const char* want;
    } cases[] = {
        {LuminanceText(0), "    0"},
        {LuminanceText(7), "    7"},
        {LuminanceText(10), "   10"},
        {LuminanceText(99), "   99"},
        {LuminanceText(123), "  123"},
        {LuminanceText(255), "  255"},
        {BitRateText(0), "  0"},
        {BitRateText(640), "  640"},
        {BitRateText(992), "  992"},
        {BitRateText(1000), " 1000"},
        {BitRateText(1536), " 1536"},
        {BitRateText(2040), " 2040"},
        {SerialNumberText(0), "0"},
        {SerialNumberText(0xFFFFFFFF), "-1"},
        {SerialNumberText(0x80000000), "-2147483648"},
        {SerialNumberText(0x7FFFFFFF), "2147483647"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.want);
}

TEST(CreatorLoad, NewShowsTheTemplateWithTodaysYearAndWeek) {
    EdidRecord record;
    CreatorPage page;
    OpenNew(record, page, {2026, 12, 7});
    EXPECT_EQ(record.status & (kStatusNewTemplate | kStatusHoldsEdid),
              kStatusNewTemplate | kStatusHoldsEdid);
    EXPECT_EQ(record.status & kStatusInputError, 0);
    EXPECT_EQ(page.Warning(), "");

    const std::pair<std::string_view, const char*> texts[] = {
        {kManufacturerName, "NEW"},
        {kMonitorName, "BrandNewEdid"},
        {kProductCode, "0"},
        {kSerialNumber, "0"},
        {kManufactureYear, "2026"},
        {kManufactureWeek, "50"},
        {kLpcmMaxChannels, "2"},
        {"Edit_AudioAC3_MaxCh", "0"},
        {"Edit_AudioAC3_BitRate", "     0"},
        {"Edit_HDR_DCLD_1", "    0"},
        {kCecAddress, "1000"},
    };
    for (const auto& [name, text] : texts)
        EXPECT_EQ(page.Text(name), text) << name;

    const std::set<std::string> expected = {
        "CheckBox_EstablishTiming_3",  "CheckBox_EstablishTiming_8", "CheckBox_ColorSpace_1",
        "CheckBox_ColorSpace_2",       "CheckBox_VideoIdCode_16",    "CheckBox_AudioLPCM_Freq_5",
        "CheckBox_AudioLPCM_Freq_6",   "CheckBox_AudioLPCM_Freq_7",  "CheckBox_AudioLPCM_SamBit_2",
        "CheckBox_AudioLPCM_SamBit_3", "CheckBox_AudioFormat_1",     "RadioButton_Edid_Fmt_Hdmi",
    };
    EXPECT_EQ(CheckedBoxes(page), expected);

    // opened as a file, the same image shows its own year and week
    const CreatorPage opened = Loaded(NewEdidTemplate());
    EXPECT_EQ(opened.Text(kManufactureYear), "2015");
    EXPECT_EQ(opened.Text(kManufactureWeek), "15");
}

TEST(CreatorLoad, InvalidImageGivesTheResetPage) {
    // a page full of a previous EDID's state
    EdidRecord record;
    CreatorPage page;
    std::uint16_t& st = record.status;
    OpenNew(record, page, creator_test::kTemplateWeek);
    for (auto name :
         {"CheckBox_AudioFormat_3", "CheckBox_AudDetial_AC3", "CheckBox_AudioAC3_Freq_2",
          "CheckBox_SpeakerPosition_8", "CheckBox_VideoIdCode_97", "CheckBox_HDR_2",
          "CheckBox_3D_Present", "CheckBox_StandardTiming_4"})
        ChangeCheck(page, st, name, true);
    ChangeText(page, st, "Edit_HDR_DCLD_2", "  200");
    ChangeCheck(page, st, kFormatDvi, true);

    // a 100-byte file: padded with 0xFF, the bank-0 checksum fails
    std::vector<std::uint8_t> shortFile(NewEdidTemplate().begin(), NewEdidTemplate().begin() + 100);
    const EdidImage image = ImageFromBytes(shortFile.data(), shortFile.size());
    OpenImage(record, page, image, creator_test::kTemplateWeek);

    EXPECT_EQ(record.status & kStatusValidationMask, kStatusBadChecksum0);
    EXPECT_EQ(record.status & (kStatusNewTemplate | kStatusHoldsEdid), kStatusHoldsEdid);
    EXPECT_EQ(page.Text(kManufacturerName), "Error.");
    EXPECT_EQ(page.Text(kMonitorName), "Error.");
    for (auto name : {kProductCode, kSerialNumber, kManufactureYear, kManufactureWeek})
        EXPECT_EQ(page.Text(name), "0") << name;
    EXPECT_EQ(page.Text(kCecAddress), "0000");
    EXPECT_EQ(page.Text(kLpcmMaxChannels), "0");
    EXPECT_EQ(page.Text("Edit_AudioDTS_BitRate"), "     0");
    EXPECT_EQ(page.Text("Edit_HDR_DCLD_2"), "    0");
    // every box is clear except the format radio button, which the reset leaves alone; the
    // cleared "Yes" box folded its panel; the twin followed its speaker box
    EXPECT_EQ(CheckedBoxes(page), std::set<std::string>{"RadioButton_Edid_Fmt_Dvi"});
    // "Error." is six letters: the manufacturer-name rule flags it
    EXPECT_EQ(page.Colour(kManufacturerName), FontColour::Red);
}

TEST(CreatorLoad, FieldsFromTheImage) {
    // HDMI block with HDMI_VIC 4 (4096x2160 at 24 Hz): 3D byte 0x80, one HDMI VIC, no 3D bytes
    const std::vector<std::uint8_t> hdmi = {0x6B, 0x03, 0x0C, 0x00, 0x21, 0x43,
                                            0x70, 0x3C, 0x20, 0x80, 0x20, 0x04};
    // forum block: 600 MHz, SCDC, 4:2:0 deep colour 16 and 10 bit
    const std::vector<std::uint8_t> forum = {0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x05};
    // video: native 16, 63 (no box), 97; audio: L-PCM 8 ch, AC-3 640k, DTS 1536k, AAC
    std::vector<std::uint8_t> blocks = {0x43, 0x90, 0x3F, 0x61, 0x2C, 0x0F, 0x7F, 0x07,
                                        0x15, 0x07, 0x50, 0x3E, 0x06, 0xC0, 0x35, 0x04,
                                        0x50, 0x83, 0xC7, 0x06, 0x00}; // FLW RLC FC LFE FL, FCH TC
    blocks.insert(blocks.end(), hdmi.begin(), hdmi.end());
    blocks.insert(blocks.end(), forum.begin(), forum.end());
    // colorimetry BT2020 RGB + xvYCC601, HDR ST2084 + SDR, type 1, luminance 7, 123, 255
    const std::uint8_t ext[] = {0xE3, 0x05, 0x81, 0x01, 0xE6, 0x06, 0x05,
                                0x01, 0x07, 0x7B, 0xFF, 0xE2, 0x0E, 0x61};
    blocks.insert(blocks.end(), std::begin(ext), std::end(ext));
    EdidImage image = WithBlocks(blocks, 0xE1); // YCbCr 4:4:4 only
    // serial FF FF FF FF, week 3 of 2245, product 0x1234, letters ABC
    image[8] = 0x04, image[9] = 0x43, image[10] = 0x34, image[11] = 0x12;
    for (int i = 12; i < 16; ++i)
        image[i] = 0xFF;
    image[16] = 3, image[17] = 255;
    // established 720x400@70 and 1152x870@75; standard timings 0x8180 last, 1280x960 first
    image[35] = 0x80, image[36] = 0x00, image[37] = 0x80;
    image[38] = 0x81, image[39] = 0x40, image[52] = 0x81, image[53] = 0x80;
    creator_test::FixChecksums(image);

    EdidRecord record;
    const CreatorPage page = Loaded(image, &record);
    ASSERT_EQ(record.status & kStatusValidationMask, 0);

    const std::pair<std::string_view, const char*> texts[] = {
        {kManufacturerName, "ABC"},    {kProductCode, "4660"},
        {kSerialNumber, "-1"},         {kManufactureYear, "2245"},
        {kManufactureWeek, "3"},       {kLpcmMaxChannels, "8"},
        {"Edit_AudioAC3_MaxCh", "6"},  {"Edit_AudioAC3_BitRate", "  640"},
        {"Edit_AudioDTS_MaxCh", "7"},  {"Edit_AudioDTS_BitRate", " 1536"},
        {"Edit_AudioAAC_MaxCh", "6"},  {"Edit_AudioAAC_BitRate", "  640"},
        {"Edit_AudioEAC3_MaxCh", "0"}, {"Edit_HDR_DCLD_1", "    7"},
        {"Edit_HDR_DCLD_2", "  123"},  {"Edit_HDR_DCLD_3", "  255"},
        {kCecAddress, "2143"},
    };
    for (const auto& [name, text] : texts)
        EXPECT_EQ(page.Text(name), text) << name;

    const std::set<std::string> expected = {
        "CheckBox_EstablishTiming_1",
        "CheckBox_EstablishTiming_17",
        "CheckBox_StandardTiming_1",
        "CheckBox_ColorSpace_1",
        "CheckBox_ColorSpace_3", // 4:2:0 from the 4:2:0 video block
        "CheckBox_ColorDepth_1",
        "CheckBox_ColorDepth_2",
        "CheckBox_ColorDepth_3",
        "CheckBox_Colorimetry_1",
        "CheckBox_Colorimetry_8",
        "CheckBox_VideoIdCode_16",
        "CheckBox_VideoIdCode_97",
        "CheckBox_VideoIdCode_93", // HDMI_VIC 4
        "CheckBox_YUV420VDB_97",
        "CheckBox_3D_Present",
        "CheckBox_HDR_1",
        "CheckBox_HDR_3",
        "CheckBox_HDR_EOTF_1",
        "CheckBox_HDR_EOTF_3",
        "CheckBox_HDR_Despt_1",
        // L-PCM: 8 channels, all rates, 24/20/16 bit; "Basic" stays clear
        "CheckBox_AudioLPCM_Freq_1",
        "CheckBox_AudioLPCM_Freq_2",
        "CheckBox_AudioLPCM_Freq_3",
        "CheckBox_AudioLPCM_Freq_4",
        "CheckBox_AudioLPCM_Freq_5",
        "CheckBox_AudioLPCM_Freq_6",
        "CheckBox_AudioLPCM_Freq_7",
        "CheckBox_AudioLPCM_SamBit_1",
        "CheckBox_AudioLPCM_SamBit_2",
        "CheckBox_AudioLPCM_SamBit_3",
        "CheckBox_AudioFormat_3",
        "CheckBox_AudioAC3_Freq_5",
        "CheckBox_AudioAC3_Freq_6",
        "CheckBox_AudioAC3_Freq_7",
        "CheckBox_AudioFormat_6",
        "CheckBox_AudioDTS_Freq_5",
        "CheckBox_AudioDTS_Freq_6",
        "CheckBox_AudioFormat_8",
        "CheckBox_AudioAAC_Freq_5",
        "CheckBox_SpeakerPosition_1",
        "CheckBox_SpeakerPosition_1r",
        "CheckBox_SpeakerPosition_2",
        "CheckBox_SpeakerPosition_2r",
        "CheckBox_SpeakerPosition_6",
        "CheckBox_SpeakerPosition_7",
        "CheckBox_SpeakerPosition_8",
        "CheckBox_SpeakerPosition_8r",
        "CheckBox_SpeakerPosition_9",
        "CheckBox_SpeakerPosition_10",
        "RadioButton_Edid_Fmt_Hdmi",
    };
    EXPECT_EQ(CheckedBoxes(page), expected);
    // the HDR boxes came after a 4K box: no warning
    EXPECT_EQ(page.Warning(), "");
    EXPECT_EQ(page.Colour("CheckBox_HDR_1"), FontColour::Black);
}

TEST(CreatorLoad, NamesFormatAndHdmiVics) {
    struct Case {
        const char* what;
        EdidImage image;
        std::string_view control;
        const char* text; // for an edit; null for a box that must be checked
    };
    EdidImage noName = NewEdidTemplate();
    noName[0x5D] = 0xFD; // the monitor-name descriptor becomes another descriptor
    EdidImage emptyName = NewEdidTemplate();
    emptyName[0x5F] = 0x0A;
    EdidImage dvi = NewEdidTemplate();
    dvi[126] = 0;
    EdidImage ceaOnly = WithBlocks({0x41, 0x10});
    for (auto* img : {&noName, &emptyName, &dvi})
        creator_test::FixChecksums(*img);

    const auto hdmiWithVic = [](std::uint8_t vic) {
        return WithBlocks({0x6B, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C, 0x20, 0x00, 0x20, vic});
    };
    const Case cases[] = {
        {"no name", noName, kMonitorName, "UNDEFINE."},
        {"empty name", emptyName, kMonitorName, "-"},
        {"no extension", dvi, kFormatDvi, nullptr},
        {"CEA without HDMI block", ceaOnly, kFormatDvi, nullptr},
        {"HDMI VIC 1", hdmiWithVic(1), "CheckBox_VideoIdCode_95", nullptr},
        {"HDMI VIC 2", hdmiWithVic(2), "CheckBox_VideoIdCode_94", nullptr},
        {"HDMI VIC 3", hdmiWithVic(3), "CheckBox_VideoIdCode_93", nullptr},
        {"HDMI VIC 4", hdmiWithVic(4), "CheckBox_VideoIdCode_93", nullptr},
    };
    for (const auto& c : cases) {
        const CreatorPage page = Loaded(c.image);
        if (c.text)
            EXPECT_EQ(page.Text(c.control), c.text) << c.what;
        else
            EXPECT_TRUE(page.Checked(c.control)) << c.what;
    }
    // an unknown HDMI VIC ticks nothing
    const CreatorPage unknown = Loaded(hdmiWithVic(9));
    for (const auto& box : kVideoBoxes)
        EXPECT_FALSE(unknown.Checked(ControlName(kVideoCodePrefix, box.vic))) << box.vic;
}

TEST(CreatorLoad, ANewLoadForgetsThePreviousAudioAndTicksAgain) {
    EdidRecord record;
    CreatorPage page;
    OpenNew(record, page, creator_test::kTemplateWeek);
    ChangeCheck(page, record.status, "CheckBox_AudioFormat_5", true);
    ChangeCheck(page, record.status, "CheckBox_AudDetial_MAT", true);
    ChangeText(page, record.status, "Edit_AudioMAT_MaxCh", "4");
    // no audio block at all
    OpenImage(record, page, WithBlocks({0x41, 0x10, 0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}),
              creator_test::kTemplateWeek);
    EXPECT_EQ(page.Text(kLpcmMaxChannels), "0");
    EXPECT_EQ(page.Text("Edit_AudioMAT_MaxCh"), "0");
    for (auto name : {"CheckBox_AudioFormat_1", "CheckBox_AudioFormat_5", "CheckBox_AudDetial_MAT",
                      "CheckBox_AudioLPCM_Freq_5", "CheckBox_AudioLPCM_SamBit_3"})
        EXPECT_FALSE(page.Checked(name)) << name;

    // a 2-channel and an 8-channel L-PCM descriptor: "Basic" stays ticked, MaxCH shows the last
    OpenImage(
        record, page,
        WithBlocks({0x26, 0x09, 0x07, 0x01, 0x0F, 0x07, 0x01, 0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}),
        creator_test::kTemplateWeek);
    EXPECT_TRUE(page.Checked(kBasicAudio));
    EXPECT_EQ(page.Text(kLpcmMaxChannels), "8");
}

TEST(CreatorLoad, OpenFromTheAnalyzer) {
    EdidRecord transfer;
    Decode(transfer, NewEdidTemplate());
    EdidRecord record;
    record.status = kStatusNewTemplate;
    CreatorPage page;
    ASSERT_TRUE(OpenFromAnalyzer(record, page, transfer, creator_test::kTemplateWeek));
    EXPECT_EQ(record.status & (kStatusNewTemplate | kStatusHoldsEdid), kStatusHoldsEdid);
    EXPECT_EQ(page.Text(kMonitorName), "BrandNewEdid");

    EdidImage broken = NewEdidTemplate();
    broken[3] = 0;
    Decode(transfer, broken);
    const CreatorPage before = page;
    const EdidRecord recordBefore = record;
    EXPECT_FALSE(OpenFromAnalyzer(record, page, transfer, creator_test::kTemplateWeek));
    EXPECT_EQ(page, before);
    EXPECT_EQ(record.image, recordBefore.image);
    EXPECT_EQ(record.status, recordBefore.status);
}

TEST(CreatorLoad, LpcmShowsTheLargestCountAndKeepsBothDescriptors) {
    struct Case {
        std::vector<std::uint8_t> audio; // the audio data block
        const char* maxCh;
        bool basic;
        bool kept = true; // one MaxCH edit cannot keep a one-channel and a two-channel L-PCM
    } cases[] = {
        {{0x23, 0x09, 0x07, 0x03}, "2", true},
        {{0x23, 0x08, 0x07, 0x03}, "1", false},
        {{0x23, 0x0F, 0x07, 0x03}, "8", false},
        {{0x26, 0x09, 0x07, 0x03, 0x0D, 0x07, 0x03}, "6", true},
        // a two-channel descriptor after a multichannel one must not hide it
        {{0x26, 0x0D, 0x57, 0x07, 0x09, 0x07, 0x07}, "6", true},
        {{0x26, 0x08, 0x07, 0x03, 0x09, 0x07, 0x03}, "2", true, false},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> blocks = c.audio;
        blocks.insert(blocks.end(), {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00});
        const EdidImage image = WithBlocks(blocks);
        const CreatorPage page = Loaded(image);
        EXPECT_EQ(page.Text(kLpcmMaxChannels), c.maxCh) << c.maxCh;
        EXPECT_EQ(page.Checked(kBasicAudio), c.basic) << c.maxCh;

        // a build without an edit keeps every L-PCM descriptor and its channel count
        if (!c.kept) continue;
        EdidRecord before;
        Decode(before, image);
        EdidImage out{};
        ASSERT_TRUE(Rebuild(image, creator_test::kTemplateWeek, out));
        EdidRecord after;
        Decode(after, out);
        for (std::size_t i = 0; i < before.audioDescriptors.size(); ++i)
            EXPECT_EQ(after.audioDescriptors[i][0], before.audioDescriptors[i][0]) << i;
    }
}

// What a page shows and builds comes from the EDID opened, nothing of the one opened before it:
// opening `second` after `first` gives the page, the record and the build that opening `second`
// alone gives.
TEST(CreatorLoad, NothingCarriesOverFromThePreviousEdid) {
    struct Case {
        const char* first;
        const char* second;
    } cases[] = {
        // three extension timings (720x480, 1440x480i, ...) before one without them
        {"0615aa6316ff13ad.bin", "0a2f6adf41d8ea44.bin"},
        // eight audio formats and a speaker block before an HDMI EDID without audio
        {"6311a3e944772acc.bin", "1865d631944fcb58.bin"},
        // HDMI and forum blocks, 3D, 4:2:0 before an extension without any vendor block
        {"d0807abe7120c13f.bin", "00f9ebab5d16e4d7.bin"},
        // a full extension before a base block alone; a long name before a one-blank name
        {"d5aa8a9a1b01ee31.bin", "002d10c53aa9561f.bin"},
        {"0716a23fd78ad31d.bin", "021345d04455e827.bin"},
        // an invalid image between: its reset page leaves nothing behind either
        {"42732ae63cde488c.bin", "0e6a3caebdbd807a.bin"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " then " + c.second);
        const EdidImage first = Sample(c.first), second = Sample(c.second);
        EdidRecord fresh, reused;
        CreatorPage freshPage, reusedPage;
        OpenImage(fresh, freshPage, second, creator_test::kTemplateWeek);
        OpenImage(reused, reusedPage, first, creator_test::kTemplateWeek);
        OpenImage(reused, reusedPage, second, creator_test::kTemplateWeek);
        EXPECT_EQ(reusedPage, freshPage);
        EXPECT_EQ(reused.extTimings, fresh.extTimings);
        EXPECT_EQ(reused.audioDescriptors, fresh.audioDescriptors);
        EXPECT_EQ(reused.standardTimings, fresh.standardTimings);
        EXPECT_EQ(FieldText(reused.monitorName), FieldText(fresh.monitorName));
        ASSERT_TRUE(Build(freshPage, fresh));
        ASSERT_TRUE(Build(reusedPage, reused));
        EXPECT_EQ(reused.image, fresh.image);
        // nothing of the first EDID appears in what is saved
        for (const auto& line : DifferenceTexts(DiffImages(second, reused.image)))
            EXPECT_FALSE(line.starts_with("Extension Detailed Timing Descriptor") &&
                         line.ends_with(": added"))
                << line;
    }
}
