// The creator page's input rules, the HDR-needs-4K rule and the page interlocks.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "edid/EdidImage.h"
#include "workspace/creator/CreatorPage.h"
#include "workspace/creator/CreatorRules.h"
#include "workspace/creator/CreatorTables.h"

using namespace tavo;
using namespace tavo::creator;

namespace {

bool InputError(std::uint16_t status) {
    return (status & kStatusInputError) != 0;
}

} // namespace

TEST(CreatorPage, EveryControlNameIsUniqueAndKnown) {
    std::set<std::string> seen;
    for (const auto& n : CreatorPage::CheckNames())
        EXPECT_TRUE(seen.insert(n).second) << n;
    for (const auto& n : CreatorPage::EditNames())
        EXPECT_TRUE(seen.insert(n).second) << n;
    // 17 + 5 established/standard, 21 + 2 video, 11 + 6 speakers, 7 + 3 + 2 L-PCM/Basic/hidden,
    // 7 x (yes + detail + 7 rates), 3 + 3 + 8 colour, 3 + 3 + type 1 + detail HDR, 3D, 2 radios
    EXPECT_EQ(CreatorPage::CheckNames().size(), 22u + 23u + 17u + 12u + 63u + 14u + 8u + 1u + 2u);
    // 6 descriptor, L-PCM, 7 channel counts, 3 bit rates, 3 luminance, CEC
    EXPECT_EQ(CreatorPage::EditNames().size(), 21u);
    for (auto name :
         {"CheckBox_VideoIdCode_96", "CheckBox_SpeakerPosition_11r", "CheckBox_AudioDTSHD_Freq_7",
          "CheckBox_AudDetial_OBA", "CheckBox_EstablishTiming_17", "CheckBox_HDR_EOTF_3"})
        EXPECT_TRUE(CreatorPage::IsCheck(name)) << name;
    for (auto name : {"Edit_AudioAAC_BitRate", "Edit_HDR_DCLD_3", "Edit_AudioOBA_MaxCh"})
        EXPECT_TRUE(CreatorPage::IsEdit(name)) << name;
    EXPECT_FALSE(CreatorPage::IsEdit("Edit_AudioEAC3_BitRate"));

    CreatorPage page;
    EXPECT_THROW(page.Checked("CheckBox_VideoIdCode_7"), std::out_of_range);
    EXPECT_THROW(page.SetText("Edit_Creator_Nonsense", "x"), std::out_of_range);
}

TEST(CreatorPage, StartStateAndFormatRadioGroup) {
    CreatorPage page;
    EXPECT_FALSE(page.IsDvi());
    EXPECT_EQ(page.Text(kLpcmMaxChannels), "0");
    EXPECT_EQ(page.Text("Edit_AudioAC3_BitRate"), "     0");
    EXPECT_EQ(page.Text("Edit_HDR_DCLD_2"), "    0");
    EXPECT_EQ(page.Text(kCecAddress), "0000");
    page.SetChecked(kFormatDvi, true);
    EXPECT_TRUE(page.IsDvi());
    EXPECT_FALSE(page.Checked(kFormatHdmi));
    page.SetChecked(kFormatHdmi, true);
    EXPECT_FALSE(page.IsDvi());
}

TEST(CreatorRules, ParseDecimal) {
    struct Case {
        const char* text;
        bool ok;
        std::int64_t value;
        std::uint64_t wrapped;
    } cases[] = {
        {"0", true, 0, 0},
        {"    7", true, 7, 7},
        {"  640 ", true, 640, 640},
        {"\t12", true, 12, 12},
        {"+5", true, 5, 5},
        {"-1", true, -1, ~std::uint64_t{0}},
        {"4294967295", true, 4294967295, 4294967295u},
        {"99999999999999999999", true, INT64_MAX, 7766279631452241919u},
        {"-99999999999999999999", true, INT64_MIN, 0 - std::uint64_t{7766279631452241919u}},
        {"", false, 0, 0},
        {"   ", false, 0, 0},
        {"-", false, 0, 0},
        {"1 2", false, 0, 0},
        {"0x10", false, 0, 0},
        {"$10", false, 0, 0},
        {"12a", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto d = ParseDecimal(c.text);
        ASSERT_EQ(d.has_value(), c.ok) << '"' << c.text << '"';
        if (!c.ok) continue;
        EXPECT_EQ(d->value, c.value) << c.text;
        EXPECT_EQ(d->wrapped, c.wrapped) << c.text;
    }
}

TEST(CreatorRules, TextRuleLimitsAndMessages) {
    enum Result { Kept, Ignored, Broken };
    struct Case {
        std::string_view field;
        const char* text;
        Result result;
        const char* message;
    } cases[] = {
        {kManufacturerName, "NEW", Kept, ""},
        {kManufacturerName, "", Kept, ""},
        {kManufacturerName, "NEWS", Broken, "3 Letters Limited!"},
        {kMonitorName, "BrandNewEdid1", Kept, ""},
        {kMonitorName, "BrandNewEdid12", Broken, "13 Letters Limited!"},
        {kProductCode, "", Ignored, ""},
        {kProductCode, "65535", Kept, ""},
        {kProductCode, "65536", Broken, "65535 Limited!"},
        {kProductCode, "123456789012345678901234", Broken, "65535 Limited!"},
        {kProductCode, "12ab", Broken, "Product Code Not A Number!"},
        {kSerialNumber, "", Ignored, ""},
        {kSerialNumber, "-1", Kept, ""},
        {kSerialNumber, "4294959999", Kept, ""},
        {kSerialNumber, "4294960000", Broken, "4 Billion Limited!"},
        {kSerialNumber, "4294961111", Broken, "4 Billion Limited!"},
        {kSerialNumber, "12345678901", Broken, "4 Billion Limited!"},
        {kSerialNumber, "429496000", Kept, ""},
        {kSerialNumber, "serial", Broken, "Serial Number Not A Number!"},
        {kManufactureYear, "199", Ignored, ""},
        {kManufactureYear, "1989", Broken, "1990~2245 Limited!"},
        {kManufactureYear, "1990", Kept, ""},
        {kManufactureYear, "2245", Kept, ""},
        {kManufactureYear, "2246", Broken, "1990~2245 Limited!"},
        {kManufactureYear, "20x5", Broken, "Year Not A Number!"},
        {kManufactureWeek, "", Ignored, ""},
        {kManufactureWeek, "0", Kept, ""},
        {kManufactureWeek, "53", Kept, ""},
        {kManufactureWeek, "54", Broken, "53 Limited!"},
        {"Edit_HDR_DCLD_1", "    7", Kept, ""},
        {"Edit_HDR_DCLD_2", "  255", Kept, ""},
        {"Edit_HDR_DCLD_3", " 256 ", Broken, "255 Limited!"},
        {"Edit_HDR_DCLD_3", "", Broken, "HDR Min Not A Number!"},
        {kLpcmMaxChannels, "8", Kept, ""},
        {kLpcmMaxChannels, "0", Kept, ""},
        {kLpcmMaxChannels, "9", Broken, "8 MaxCH Limited!"},
        {kLpcmMaxChannels, "10", Broken, "8 MaxCH Limited!"},
        {kLpcmMaxChannels, "", Ignored, ""},
        {"Edit_AudioDTSHD_MaxCh", "x", Broken, "DTS HD MaxCH Not A Number!"},
        {"Edit_AudioAC3_MaxCh", " 6", Broken, "8 MaxCH Limited!"},
    };
    for (const auto& c : cases) {
        const auto out = CheckText(c.field, c.text);
        SCOPED_TRACE(std::string(c.field) + " \"" + c.text + "\"");
        EXPECT_EQ(out.ignored, c.result == Ignored);
        EXPECT_EQ(out.broken, c.result == Broken);
        if (c.result == Broken) {
            EXPECT_EQ(out.message, c.message);
        }
    }
}

TEST(CreatorRules, ChangeTextSetsWarningBitAndColour) {
    CreatorPage page;
    std::uint16_t status = kStatusHoldsEdid;
    ChangeText(page, status, kManufacturerName, "NEWS");
    EXPECT_EQ(page.Warning(), "3 Letters Limited!");
    EXPECT_TRUE(InputError(status));
    EXPECT_EQ(page.Colour(kManufacturerName), FontColour::Red);
    EXPECT_EQ(status & kStatusHoldsEdid, kStatusHoldsEdid);

    ChangeText(page, status, kManufacturerName, "NEW");
    EXPECT_EQ(page.Warning(), "");
    EXPECT_FALSE(InputError(status));
    EXPECT_EQ(page.Colour(kManufacturerName), FontColour::Black);

    // an ignored text changes nothing, not even a standing error
    ChangeText(page, status, kManufactureWeek, "99");
    ASSERT_TRUE(InputError(status));
    ChangeText(page, status, kProductCode, "");
    EXPECT_TRUE(InputError(status));
    EXPECT_EQ(page.Warning(), "53 Limited!");
    EXPECT_EQ(page.Colour(kManufactureWeek), FontColour::Red);

    // the flag is shared: a good field clears what another field set, its colour stays red
    ChangeText(page, status, kProductCode, "5");
    EXPECT_FALSE(InputError(status));
    EXPECT_EQ(page.Warning(), "");
    EXPECT_EQ(page.Colour(kManufactureWeek), FontColour::Red);

    // the CEC address runs the manufacturer-name rule
    ChangeText(page, status, kManufactureWeek, "60");
    ASSERT_TRUE(InputError(status));
    ChangeText(page, status, kCecAddress, "2000");
    EXPECT_FALSE(InputError(status));
    EXPECT_EQ(page.Text(kCecAddress), "2000");
    ChangeText(page, status, kManufacturerName, "ABCD");
    ChangeText(page, status, kCecAddress, "3000");
    EXPECT_TRUE(InputError(status));
    EXPECT_EQ(page.Colour(kManufacturerName), FontColour::Red);
    EXPECT_EQ(page.Colour(kCecAddress), FontColour::Black);

    // setting the same text again is no change and runs no rule
    ChangeText(page, status, kManufacturerName, "NEW");
    ChangeText(page, status, kManufactureWeek, "99");
    ASSERT_TRUE(InputError(status));
    ChangeText(page, status, kManufacturerName, "NEW");
    EXPECT_TRUE(InputError(status));
}

TEST(CreatorRules, HdrNeeds4KFromTheHdrSide) {
    CreatorPage page;
    std::uint16_t status = 0;
    ChangeCheck(page, status, "CheckBox_HDR_2", true);
    EXPECT_EQ(page.Warning(), "HDR Must Base On 4K!");
    EXPECT_TRUE(InputError(status));
    EXPECT_TRUE(page.Checked("CheckBox_HDR_2")); // stays ticked
    EXPECT_EQ(page.Colour("CheckBox_HDR_2"), FontColour::Red);

    ChangeCheck(page, status, "CheckBox_HDR_2", false);
    EXPECT_EQ(page.Warning(), "");
    EXPECT_FALSE(InputError(status));
    EXPECT_EQ(page.Colour("CheckBox_HDR_2"), FontColour::Black);

    for (auto box : k4KBoxes) {
        CreatorPage p;
        std::uint16_t st = 0;
        ChangeCheck(p, st, box, true);
        ChangeCheck(p, st, "CheckBox_HDR_1", true);
        EXPECT_FALSE(InputError(st)) << box;
        EXPECT_EQ(p.Colour("CheckBox_HDR_1"), FontColour::Black) << box;
    }
    // the EOTF boxes share the prefix but have no rule
    ChangeCheck(page, status, "CheckBox_HDR_EOTF_1", true);
    EXPECT_FALSE(InputError(status));
}

TEST(CreatorRules, HdrNeeds4KFromThe4KSide) {
    CreatorPage page;
    std::uint16_t status = 0;
    ChangeCheck(page, status, "CheckBox_HDR_1", true);
    ChangeCheck(page, status, "CheckBox_HDR_3", true);
    ASSERT_TRUE(InputError(status));
    ChangeCheck(page, status, "CheckBox_VideoIdCode_97", true);
    EXPECT_EQ(page.Warning(), "");
    EXPECT_FALSE(InputError(status));
    for (auto n : {"CheckBox_HDR_1", "CheckBox_HDR_2", "CheckBox_HDR_3"})
        EXPECT_EQ(page.Colour(n), FontColour::Black) << n;

    // a second 4K box, then clearing one of the two: still a 4K format, nothing happens
    ChangeCheck(page, status, "CheckBox_YUV420VDB_96", true);
    ChangeText(page, status, kManufactureWeek, "77"); // some other error
    ChangeCheck(page, status, "CheckBox_VideoIdCode_97", false);
    EXPECT_EQ(page.Warning(), "53 Limited!");

    // the last 4K box goes: the ticked HDR boxes turn red, the clear one does not
    ChangeCheck(page, status, "CheckBox_YUV420VDB_96", false);
    EXPECT_EQ(page.Warning(), "HDR Must Base On 4K!");
    EXPECT_TRUE(InputError(status));
    EXPECT_EQ(page.Colour("CheckBox_HDR_1"), FontColour::Red);
    EXPECT_EQ(page.Colour("CheckBox_HDR_2"), FontColour::Black);
    EXPECT_EQ(page.Colour("CheckBox_HDR_3"), FontColour::Red);

    // without an HDR box a 4K box changes nothing
    CreatorPage quiet;
    std::uint16_t st = kStatusInputError;
    quiet.SetWarning("53 Limited!");
    ChangeCheck(quiet, st, "CheckBox_VideoIdCode_95", true);
    ChangeCheck(quiet, st, "CheckBox_VideoIdCode_95", false);
    EXPECT_TRUE(InputError(st));
    EXPECT_EQ(quiet.Warning(), "53 Limited!");
    // a 1080p box is no 4K box
    ChangeCheck(quiet, st, "CheckBox_HDR_1", true);
    ChangeCheck(quiet, st, "CheckBox_VideoIdCode_16", true);
    EXPECT_TRUE(InputError(st));
    EXPECT_EQ(quiet.Warning(), "HDR Must Base On 4K!");
}

TEST(CreatorRules, SpeakerTwinsFollowEachOther) {
    for (const auto& box : kSpeakers) {
        CreatorPage page;
        std::uint16_t status = 0;
        const auto left = SpeakerName(box);
        ChangeCheck(page, status, left, true);
        if (box.twinCaption.empty()) {
            // no twin: nothing else on the page moves
            CreatorPage expected;
            expected.SetChecked(left, true);
            EXPECT_EQ(page, expected) << left;
            continue;
        }
        const auto right = SpeakerTwinName(box);
        EXPECT_TRUE(page.Checked(right)) << right;
        ChangeCheck(page, status, right, false);
        EXPECT_FALSE(page.Checked(left)) << left;
        EXPECT_FALSE(page.Checked(right)) << right;
        ChangeCheck(page, status, right, true);
        EXPECT_TRUE(page.Checked(left)) << left;
    }
}

TEST(CreatorRules, ClearedYesBoxFoldsItsPanel) {
    for (std::size_t i = 0; i < kAudioPanels.size(); ++i) {
        const auto& panel = kAudioPanels[i];
        const int index = static_cast<int>(i);
        CreatorPage page;
        std::uint16_t status = 0;
        EXPECT_FALSE(AudioPanelOpen(page, index));
        ChangeCheck(page, status, AudioFormatBoxName(panel), true);
        ChangeCheck(page, status, AudioDetailName(panel), true);
        EXPECT_TRUE(AudioPanelOpen(page, index)) << panel.part;
        // clearing the detail box alone leaves "Yes" alone
        ChangeCheck(page, status, AudioDetailName(panel), false);
        EXPECT_TRUE(page.Checked(AudioFormatBoxName(panel)));
        ChangeCheck(page, status, AudioDetailName(panel), true);
        ChangeCheck(page, status, AudioFormatBoxName(panel), false);
        EXPECT_FALSE(page.Checked(AudioDetailName(panel))) << panel.part;
        EXPECT_FALSE(AudioPanelOpen(page, index)) << panel.part;
    }
    CreatorPage page;
    std::uint16_t status = 0;
    EXPECT_FALSE(HdrPanelOpen(page));
    ChangeCheck(page, status, kHdrDetail, true);
    EXPECT_TRUE(HdrPanelOpen(page));
    // "Basic" has no detail box
    ChangeCheck(page, status, kBasicAudio, true);
    ChangeCheck(page, status, kBasicAudio, false);
    EXPECT_TRUE(page.Checked(kHdrDetail));
}
