// The creator on the real EDIDs of tests/data/edid: every valid one loads and rebuilds into an
// image that validates and shows the same page again; every invalid one is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "creator_test_util.h"
#include "edid/Decoder.h"
#include "workspace/CreatorLoss.h"
#include "workspace/CreatorRebuild.h"
#include "workspace/CreatorTables.h"

using namespace tavo;
using namespace tavo::creator;

namespace {

struct Sample {
    std::string name;
    EdidImage image;
};

std::vector<Sample> Samples() {
    std::vector<Sample> out;
    const std::filesystem::path dir = std::filesystem::path(TAVO_TEST_DATA) / "edid";
    if (!std::filesystem::is_directory(dir)) return out;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".bin") continue;
        std::ifstream f(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                                              std::istreambuf_iterator<char>());
        out.push_back(
            {entry.path().filename().string(), ImageFromBytes(bytes.data(), bytes.size())});
    }
    std::sort(out.begin(), out.end(),
              [](const Sample& a, const Sample& b) { return a.name < b.name; });
    return out;
}

CreatorPage Load(const EdidImage& image) {
    EdidRecord record;
    CreatorPage page;
    OpenImage(record, page, image, creator_test::kTemplateWeek);
    return page;
}

} // namespace

TEST(CreatorSamples, RebuildValidatesOrRefusesAnInvalidImage) {
    const auto samples = Samples();
    ASSERT_GE(samples.size(), 20u) << "tests/data/edid is missing";
    int valid = 0;
    for (const auto& s : samples) {
        SCOPED_TRACE(s.name);
        std::uint16_t status = 0;
        const bool inputValid = ValidateImage(s.image, status);
        EdidImage out{};
        const auto result = Rebuild(s.image, creator_test::kTemplateWeek, out);
        if (!inputValid) {
            EXPECT_FALSE(result);
            EXPECT_EQ(result.message, ValidationMessage(status));
            continue;
        }
        ++valid;
        ASSERT_TRUE(result) << result.message;
        std::uint16_t builtStatus = 0;
        EXPECT_TRUE(ValidateImage(out, builtStatus)) << ValidationMessage(builtStatus);

        // The rebuilt EDID shows the page the original showed. What the build leaves out by
        // design: a DVI page keeps only the base block; the 4:2:0 capability map is never
        // written (so a "4:2:0" box that came from one goes); a 4K format at up to 30 Hz without
        // a forum block gets one and, when there was no HDR block, HDR with both traditional
        // gamma EOTFs and static metadata type 1.
        const CreatorPage before = Load(s.image);
        const CreatorPage after = Load(out);
        const bool dvi = before.IsDvi();
        const bool hdrAdded =
            !before.Checked("CheckBox_HDR_EOTF_1") && !before.Checked("CheckBox_HDR_EOTF_2") &&
            !before.Checked("CheckBox_HDR_EOTF_3") && after.Checked("CheckBox_HDR_EOTF_2");
        for (const auto& name : CreatorPage::CheckNames()) {
            const bool baseBlock = name.starts_with(kEstablishedTimingPrefix) ||
                                   name.starts_with(kStandardTimingPrefix) ||
                                   name.starts_with("RadioButton_");
            if (dvi && !baseBlock) continue;
            if (name == "CheckBox_ColorSpace_3" && before.Checked(name)) continue;
            if (hdrAdded && (name == "CheckBox_HDR_EOTF_2" || name == "CheckBox_HDR_EOTF_3" ||
                             name == kHdrDescriptorType1)) {
                EXPECT_TRUE(after.Checked(name)) << name;
                continue;
            }
            EXPECT_EQ(after.Checked(name), before.Checked(name)) << name;
        }
        for (const auto& name : CreatorPage::EditNames()) {
            if (dvi && name.starts_with("Edit_Audio")) continue;
            if (dvi && (name.starts_with(kHdrLuminancePrefix) || name == kCecAddress)) continue;
            EXPECT_EQ(after.Text(name), before.Text(name)) << name;
        }

        // A second rebuild moves at most the unused standard timings (each build compacts them
        // by one place) and with them the checksum.
        EdidImage again{};
        ASSERT_TRUE(Rebuild(out, creator_test::kTemplateWeek, again));
        for (int i = 0; i < 256; ++i) {
            if ((i < 38 || i > 53) && i != 127) {
                EXPECT_EQ(again[i], out[i]) << "byte " << i;
            }
        }
    }
    EXPECT_GE(valid, 10);
}

// The loss warning: what the creator drops of an opened EDID, never what the operator changed.
TEST(CreatorSamples, LossListsWhatTheCreatorDropsNotTheEdits) {
    const auto samples = Samples();
    const auto it = std::find_if(samples.begin(), samples.end(),
                                 [](const Sample& s) { return s.name == "d0807abe7120c13f.bin"; });
    ASSERT_NE(it, samples.end());
    const EdidImage& opened = it->image;
    const auto today = creator_test::kTemplateWeek;

    EdidRecord record;
    CreatorPage page;
    OpenImage(record, page, opened, today);
    page.SetText(kMonitorName, "EDITED");
    ASSERT_TRUE(Build(page, record));
    const auto lost = LostParts(opened, record.image, today);
    auto has = [&](std::string_view text) {
        return std::find(lost.begin(), lost.end(), text) != lost.end();
    };
    EXPECT_TRUE(has("YCbCr 4:2:0 Capability Map Data Block: removed"));
    EXPECT_TRUE(has("Audio Data Block: E-AC-3 descriptor, byte 3: 0x03 \xE2\x86\x92 0x00"));
    for (const auto& line : lost)
        EXPECT_FALSE(line.starts_with("Descriptor 3")) << line; // the operator renamed it
    // the edit is a difference all the same
    bool renamed = false;
    for (const auto& line : DifferenceTexts(DiffImages(opened, record.image)))
        renamed = renamed || line == "Descriptor 3: name: DENON-AVR \xE2\x86\x92 EDITED";
    EXPECT_TRUE(renamed);

    // what the creator builds itself, it rebuilds without a loss; an invalid image has nothing
    // to lose
    EdidImage rebuilt{}, again{};
    ASSERT_TRUE(Rebuild(opened, today, rebuilt));
    ASSERT_TRUE(Rebuild(rebuilt, today, again));
    EXPECT_EQ(LostParts(rebuilt, again, today), std::vector<std::string>{});
    EdidImage broken = opened;
    broken[0] = 1;
    EXPECT_TRUE(LostParts(broken, rebuilt, today).empty());
    EXPECT_EQ(LossQuestion({"A: removed", "B: added"}),
              "This EDID will lose:\nA: removed\nB: added");
}
