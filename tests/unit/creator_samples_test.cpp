// The creator on the real EDIDs of tests/data/edid: every valid one loads and rebuilds into an
// image that validates and shows the same page again; every invalid one is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "creator_test_util.h"
#include "edid/Decoder.h"
#include "edid/Fit.h"
#include "edid_builders.h"
#include "workspace/creator/CreatorLoss.h"
#include "workspace/creator/CreatorRebuild.h"
#include "workspace/creator/CreatorTables.h"

using namespace tavo;
using namespace tavo::creator;

namespace {

struct Sample {
    std::string name;
    EdidImage image;
};

// The EDIDs of tests/data/edid, or of another folder of tests/data.
std::vector<Sample> Samples(const char* folder = "edid") {
    std::vector<Sample> out;
    const std::filesystem::path dir = std::filesystem::path(TAVO_TEST_DATA) / folder;
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

// Opened and built without an edit, no real EDID gains a claim: no block, video code, audio
// format, rate, flag or higher clock that it did not have; and the loss question then has no
// "gain" part.
TEST(CreatorSamples, OpenAndBuildClaimsNothingNew) {
    auto samples = Samples();
    const auto more = Samples("samples");
    ASSERT_GE(more.size(), 100u) << "tests/data/samples is missing";
    samples.insert(samples.end(), more.begin(), more.end());
    int built = 0;
    for (const auto& s : samples) {
        SCOPED_TRACE(s.name);
        EdidImage out{};
        if (!Rebuild(s.image, creator_test::kTemplateWeek, out)) continue;
        ++built;
        const auto gained = creator_test::ClaimsAdded(s.image, out);
        EXPECT_TRUE(gained.empty()) << ::testing::PrintToString(gained);
        const auto changes = BuildChanges(s.image, out, creator_test::kTemplateWeek);
        EXPECT_EQ(LossQuestion(changes).find("gain"), std::string::npos) << LossQuestion(changes);
    }
    EXPECT_GE(built, 120);
}

// The reader of gains the test above relies on: each kind of added claim is caught, a reordering
// or a removal is not.
TEST(CreatorSamples, ClaimsAddedCatchesEachKindOfGain) {
    using creator_test::WithBlocks;
    const std::vector<std::uint8_t> hdmi = {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21};
    auto with = [&](std::vector<std::uint8_t> blocks) {
        blocks.insert(blocks.begin(), hdmi.begin(), hdmi.end());
        return WithBlocks(blocks);
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> opened, built; // data blocks after the HDMI block
        bool gain;
    } cases[] = {
        {"forum block added", {}, {0x66, 0xD8, 0x5D, 0xC4, 0x01, 0x00, 0x00}, true},
        {"video code added", {0x41, 16}, {0x42, 16, 4}, true},
        {"video codes reordered", {0x42, 16, 4}, {0x42, 4, 16}, false},
        {"video code removed", {0x42, 16, 4}, {0x41, 16}, false},
        {"audio rate added", {0x23, 0x09, 0x07, 0x07}, {0x23, 0x09, 0x0F, 0x07}, true},
        {"audio channels raised", {0x23, 0x09, 0x07, 0x07}, {0x23, 0x0D, 0x07, 0x07}, true},
        {"audio rate removed", {0x23, 0x09, 0x07, 0x07}, {0x23, 0x09, 0x03, 0x07}, false},
        {"colorimetry MD0 set", {0xE3, 0x05, 0x80, 0x00}, {0xE3, 0x05, 0x80, 0x01}, true},
        {"HDR EOTF added", {0xE3, 0x06, 0x05, 0x01}, {0xE3, 0x06, 0x0D, 0x01}, true},
        {"HDR EOTF removed", {0xE3, 0x06, 0x0D, 0x01}, {0xE3, 0x06, 0x05, 0x01}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(creator_test::ClaimsAdded(with(c.opened), with(c.built)).empty(), !c.gain)
            << c.what;
    // the HDMI block's clock raised; a standard timing moved to another entry
    EdidImage a = with({}), b = a;
    b[132 + 7] = 0x3C;
    creator_test::FixChecksums(b);
    EXPECT_FALSE(creator_test::ClaimsAdded(a, b).empty());
    a[38] = 0x81, a[39] = 0x80, a[40] = 0x01, a[41] = 0x01; // 1280x1024 in entry 1
    creator_test::FixChecksums(a);
    b = a;
    std::swap(b[38], b[40]);
    std::swap(b[39], b[41]);
    creator_test::FixChecksums(b);
    EXPECT_FALSE(DiffImages(a, b).empty());
    EXPECT_TRUE(creator_test::ClaimsAdded(a, b).empty());
    b[38] = 0xD1, b[39] = 0xC0; // 1920x1080 besides: added
    creator_test::FixChecksums(b);
    EXPECT_FALSE(creator_test::ClaimsAdded(a, b).empty());
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
    const auto lost = BuildChanges(opened, record.image, today);
    auto has = [&](std::string_view line) {
        return std::any_of(lost.begin(), lost.end(),
                           [&](const BuildChange& c) { return !c.added && c.Line() == line; });
    };
    EXPECT_TRUE(has("YCbCr 4:2:0 capability map (YCbCr 4:2:0 Capability Map Data Block: removed)"));
    EXPECT_TRUE(has("E-AC-3: format details (Audio Data Block: E-AC-3 descriptor, byte 3: 0x03 "
                    "\xE2\x86\x92 0x00)"));
    for (const auto& change : lost)
        EXPECT_FALSE(change.detail.starts_with("Descriptor 3")) << change.Line(); // renamed
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
    EXPECT_EQ(BuildChanges(rebuilt, again, today), std::vector<BuildChange>{});
    EdidImage broken = opened;
    broken[0] = 1;
    EXPECT_TRUE(BuildChanges(broken, rebuilt, today).empty());

    // an opened EDID of more blocks loses, on top, every block but the two the build writes,
    // each named; its first two blocks lose what they lose on their own
    for (const auto& sample : test::LargeSamples()) {
        SCOPED_TRACE(sample.name);
        EdidImage two{};
        ASSERT_TRUE(FirstTwoBlocks(sample.bytes, two));
        EdidRecord r;
        CreatorPage p;
        OpenImage(r, p, two, today);
        ASSERT_TRUE(Build(p, r));
        const auto whole =
            BuildChanges(std::span<const std::uint8_t>(sample.bytes), r.image, today);
        const auto alone = BuildChanges(two, r.image, today);
        ASSERT_GE(whole.size(), alone.size());
        EXPECT_TRUE(std::equal(alone.begin(), alone.end(), whole.begin()));
        std::vector<std::string> dropped;
        for (auto c = whole.begin() + static_cast<std::ptrdiff_t>(alone.size()); c != whole.end();
             ++c) {
            EXPECT_FALSE(c->added);
            dropped.push_back(c->Said());
        }
        EXPECT_EQ(dropped, FitEdid(sample.bytes).dropped);
    }
    // without a CTA-861 extension the base block alone is opened, and every other block is lost
    {
        const auto noCta =
            test::LargeEdid({test::BlockMapBlock({0x70, 0x70}), test::DisplayIdBlock(0x20, 0, {}),
                             test::DisplayIdBlock(0x13, 0, {})});
        EdidImage base{};
        ASSERT_TRUE(ImageOfLargerEdid(noCta, base));
        EXPECT_EQ(base[126], 0);
        EdidRecord r;
        CreatorPage p;
        OpenImage(r, p, base, today);
        ASSERT_TRUE(Build(p, r));
        const auto whole = BuildChanges(std::span<const std::uint8_t>(noCta), r.image, today);
        std::vector<std::string> dropped;
        for (const auto& c : whole)
            if (c.Said().find(" block ") != std::string::npos) dropped.push_back(c.Said());
        ASSERT_EQ(dropped.size(), 3u) << LossQuestion(whole);
        EXPECT_NE(dropped[0].find(" block 1"), std::string::npos) << dropped[0];
        EXPECT_EQ(dropped[1].rfind("DisplayID block 2", 0), 0u) << dropped[1];
        EXPECT_EQ(dropped[2].rfind("DisplayID block 3", 0), 0u) << dropped[2];
    }
    const auto large = test::LargeSamples();
    const auto tiled = BuildChanges(std::span<const std::uint8_t>(large[0].bytes),
                                    FitEdid(large[0].bytes).image, today);
    ASSERT_FALSE(tiled.empty());
    EXPECT_EQ(tiled.back().Said().rfind("CTA-861 block 3", 0), 0u) << tiled.back().Said();
    EXPECT_TRUE(std::any_of(tiled.begin(), tiled.end(), [](const BuildChange& c) {
        return c.Line().starts_with("DisplayID block 2: product TAVO, 5120x1440 at 240 Hz, tiled "
                                    "display 2 x 1") &&
               c.Line().ends_with("(DisplayID block 2: removed)");
    })) << LossQuestion(tiled);

    // losses first, then additions, then what is neither; in words, never byte values
    const std::string arrow = " \xE2\x86\x92 ";
    EXPECT_EQ(LossQuestion({{false, "", "C: order", true},
                            {true, "", "B: added"},
                            {false, "A", "A: removed"},
                            {false, "", "Descriptor 4: byte 3: 0x00" + arrow + "0x10"}}),
              "This EDID will lose:\nA\nDescriptor 4: byte 3\nIt will gain:\nB: added\n"
              "It will change:\nC: order");
    EXPECT_EQ(LossQuestion({{true, "B", "B: added"}}), "This EDID will gain:\nB");
    EXPECT_EQ(LossQuestion({{false, "C", "C: order", true}}), "This EDID will change:\nC");
}

// The changes in the page's terms, the byte detail second; a build as DVI loses the extension as
// a whole.
TEST(CreatorSamples, ChangesAreSaidInThePagesTerms) {
    using creator_test::WithBlocks;
    const std::vector<std::uint8_t> hdmi = {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00};
    auto with = [&](std::vector<std::uint8_t> blocks) {
        blocks.insert(blocks.end(), hdmi.begin(), hdmi.end());
        return WithBlocks(blocks);
    };
    const std::string arrow = " \xE2\x86\x92 ";
    struct Case {
        std::vector<std::uint8_t> opened, built; // the data blocks before the HDMI block
        std::vector<std::string> lines;          // "-" lost, "+" added, "~" neither
    } cases[] = {
        {{0x23, 0x09, 0x7F, 0x07},
         {0x23, 0x09, 0x1F, 0x07},
         {"-L-PCM: 176.4 and 192 kHz (Audio Data Block: L-PCM descriptor, byte 2: 0x7F" + arrow +
          "0x1F)"}},
        {{0x23, 0x09, 0x07, 0x07},
         {0x23, 0x09, 0x0F, 0x01},
         {"+L-PCM: 88.2 kHz (Audio Data Block: L-PCM descriptor, byte 2: 0x07" + arrow + "0x0F)",
          "-L-PCM: 20-bit and 24-bit samples (Audio Data Block: L-PCM descriptor, byte 3: 0x07" +
              arrow + "0x01)"}},
        {{0x23, 0x0F, 0x07, 0x07},
         {0x23, 0x0D, 0x07, 0x07},
         {"-L-PCM: 8 channels" + arrow + "6 (Audio Data Block: L-PCM descriptor, byte 1: 0x0F" +
          arrow + "0x0D)"}},
        {{0x26, 0x09, 0x07, 0x07, 0x15, 0x07, 0x50},
         {0x23, 0x09, 0x07, 0x07},
         {"-AC-3 audio (Audio Data Block: AC-3 descriptor removed)"}},
        {{0x23, 0x15, 0x07, 0x50},
         {0x23, 0x15, 0x07, 0x28},
         {"-AC-3: maximum bit rate 640" + arrow +
          "320 kbit/s (Audio Data Block: AC-3 descriptor, "
          "byte 3: 0x50" +
          arrow + "0x28)"}},
        // video codes by their format, an order and a native flag neither or a gain
        {{0x43, 0x10, 0x04, 0x61},
         {0x41, 0x10},
         {"-video formats 1280x720p60 and 3840x2160p60 (Video Data Block: video codes removed: "
          "4, 97)"}},
        {{0x42, 0x10, 0x04},
         {0x42, 0x04, 0x10},
         {"~the order of the video formats (Video Data Block: order of video codes changed)"}},
        {{0x41, 0x10},
         {0x41, 0x90},
         {"+the native format flag of 1920x1080p60 (Video Data Block: native flags added: 16)"}},
        // a flag set is a gain; the forum block's UHD VIC flag is not deep colour
        {{0xE3, 0x05, 0x80, 0x00},
         {0xE3, 0x05, 0x80, 0x01},
         {"+colorimetry: metadata profiles, a flag set (Colorimetry Data Block: metadata "
          "profiles: 0x00" +
          arrow + "0x01)"}},
        {{0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x0B},
         {0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x03},
         {"-HDMI Forum block: 4K formats sent by their video codes (UHD VIC) (HDMI Forum "
          "Vendor-Specific Data Block: 4:2:0 deep colour: UHD_VIC, DC_36bit_420, DC_30bit_420" +
          arrow + "DC_36bit_420, DC_30bit_420)"}},
        {{0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x44, 0x80, 0x00},
         {0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x00},
         {"+HDMI Forum block: maximum TMDS character rate 340" + arrow +
          "600 MHz (HDMI Forum Vendor-Specific Data Block: maximum TMDS character rate 340" +
          arrow + "600 MHz)"}},
        {{},
         {0xE2, 0x0F, 0x01},
         {"+YCbCr 4:2:0 capability map (YCbCr 4:2:0 Capability Map Data "
          "Block: added)"}},
    };
    for (const auto& c : cases) {
        const EdidImage opened = with(c.opened), built = with(c.built);
        std::vector<std::string> lines;
        for (const auto& change : BuildChanges(opened, built, built))
            lines.push_back((change.changed ? "~" : change.added ? "+" : "-") + change.Line());
        EXPECT_EQ(lines, c.lines);
        // the question says the same without byte values
        for (const auto& change : BuildChanges(opened, built, built))
            EXPECT_FALSE(std::regex_search(LossQuestion({change}), std::regex("\\b0x[0-9A-F]{2}")))
                << change.Line();
    }

    // an extension without an HDMI block is saved as DVI: all of it goes, said once
    const auto samples = Samples();
    const auto dvi = std::find_if(samples.begin(), samples.end(),
                                  [](const Sample& s) { return s.name == "00f9ebab5d16e4d7.bin"; });
    ASSERT_NE(dvi, samples.end());
    EdidImage out{};
    ASSERT_TRUE(Rebuild(dvi->image, creator_test::kTemplateWeek, out));
    const auto changes = BuildChanges(dvi->image, out, creator_test::kTemplateWeek);
    ASSERT_FALSE(changes.empty());
    EXPECT_TRUE(changes.front().words.starts_with("the whole CTA extension ("))
        << changes.front().words;
    EXPECT_TRUE(changes.front().words.ends_with(") because the EDID is saved as DVI"));
    for (std::size_t i = 1; i < changes.size(); ++i)
        EXPECT_FALSE(changes[i].detail.find("Data Block") != std::string::npos ||
                     changes[i].detail.starts_with("Extension"))
            << changes[i].Line();
}
