// The ready-made EDIDs: each builds, validates and, read back by the decoder and the block map,
// claims what its name and description promise.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "creator_test_util.h"
#include "edid/BlockMap.h"
#include "edid/Check.h"
#include "edid/Decoder.h"
#include "workspace/creator/CreatorLoss.h"
#include "workspace/creator/CreatorRebuild.h"
#include "workspace/sources/Presets.h"

using namespace tavo;

namespace {

// The value of the named field of the first detailed timing descriptor in the base block.
std::string FirstTimingField(const EdidImage& image, std::string_view field) {
    for (const BlockPart& part : MapBlocks(image)) {
        if (part.kind != PartKind::DetailedTiming || part.offset >= 128) continue;
        for (const PartField& f : PartFields(image, part))
            if (f.name == field) return f.value;
        return "";
    }
    return "(no timing)";
}

bool Lists(const auto& codes, std::uint8_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

struct Claims {
    std::string_view name;
    std::string_view active;  // the preferred timing
    std::string_view refresh; // its rate, as the block map rounds it
    bool dvi;
    std::vector<std::uint8_t> videoCodes; // listed in the video data block
    std::vector<std::uint8_t> notVideoCodes;
    std::vector<std::uint8_t> yuv420Codes; // listed as 4:2:0 only
    std::uint16_t audioFormats;            // kAudio* bits
    int maxChannels;
    std::uint32_t speakers;
    std::uint8_t hdrEotfs; // 0: no HDR block
    std::uint8_t colorimetry;
    std::uint8_t ycbcr;
};

const std::vector<Claims>& AllClaims() {
    // clang-format off
    static const std::vector<Claims> claims = {
        {"720p60-stereo", "1280x720", "60.000 Hz", false, {4}, {16, 31}, {},
         kAudioLpcm2, 2, 0x010000, 0, 0, 0x00},
        {"1080p60-stereo", "1920x1080", "60.000 Hz", false, {16, 31, 4}, {95, 97}, {},
         kAudioLpcm2, 2, 0x010000, 0, 0, 0x30},
        {"1080p60-5.1", "1920x1080", "60.000 Hz", false, {16, 4}, {97}, {},
         kAudioLpcm2 | kAudioAc3 | kAudioDts, 6, 0x0F0000, 0, 0, 0x30},
        {"1080p60-7.1", "1920x1080", "60.000 Hz", false, {16, 4}, {97}, {},
         kAudioLpcm2 | kAudioLpcmMulti | kAudioAc3 | kAudioDts, 8, 0x4F0000, 0, 0, 0x30},
        {"2160p30-stereo", "3840x2160", "30.000 Hz", false, {95, 94, 93, 16}, {96, 97}, {},
         kAudioLpcm2, 2, 0x010000, 0, 0, 0x30},
        {"2160p60-420", "3840x2160", "30.000 Hz", false, {95, 16}, {96, 97}, {97, 96},
         kAudioLpcm2, 2, 0x010000, 0, 0, 0x30},
        {"2160p60-hdr-7.1", "3840x2160", "60.000 Hz", false, {97, 96, 95, 16}, {}, {},
         kAudioLpcm2 | kAudioLpcmMulti | kAudioAc3 | kAudioEac3 | kAudioMat | kAudioDts |
             kAudioDtsHd, 8, 0x4F0000, 0x0D, 0xC0, 0x30},
        {"1920x1200-pc", "1920x1200", "59.950 Hz", true, {}, {}, {}, 0, 0, 0, 0, 0, 0x00},
    };
    // clang-format on
    return claims;
}

} // namespace

TEST(Presets, EachClaimsWhatItsNameSays) {
    ASSERT_EQ(Presets().size(), AllClaims().size()) << "a preset without a row of claims";
    for (const Claims& c : AllClaims()) {
        SCOPED_TRACE(std::string(c.name));
        ASSERT_NE(FindPreset(c.name), nullptr);
        const PresetBuild built = BuildPreset(c.name);
        ASSERT_TRUE(built) << built.message;
        EdidRecord r;
        Decode(r, built.image);
        ASSERT_EQ(r.status & kStatusValidationMask, 0);
        // a ready-made EDID passes the check outright: no failure and no warning
        for (const Finding& f : CheckImage(built.image))
            ADD_FAILURE() << FindingText(f);

        EXPECT_EQ(FirstTimingField(built.image, "active"), c.active);
        EXPECT_EQ(FirstTimingField(built.image, "refresh"), c.refresh);
        EXPECT_EQ(built.image[126] == 0, c.dvi);
        for (std::uint8_t v : c.videoCodes)
            EXPECT_TRUE(Lists(r.videoCodes, v)) << "VIC " << int(v);
        for (std::uint8_t v : c.notVideoCodes)
            EXPECT_FALSE(Lists(r.videoCodes, v)) << "VIC " << int(v);
        for (std::uint8_t v : c.yuv420Codes)
            EXPECT_TRUE(Lists(r.yuv420VideoCodes, v)) << "4:2:0 VIC " << int(v);
        EXPECT_EQ(r.yuv420VideoCodes[c.yuv420Codes.size()], 0) << "more 4:2:0-only formats";
        EXPECT_EQ(r.audioFormatsPresent, c.audioFormats);
        EXPECT_EQ(r.maxChannels, c.maxChannels);
        EXPECT_EQ(r.speakerAllocation, c.speakers);
        EXPECT_EQ(r.hdrEotfs, c.hdrEotfs);
        EXPECT_EQ(r.colorimetry, c.colorimetry);
        EXPECT_EQ(r.ycbcrSupport & 0x30, c.ycbcr);
        // a display of these formats needs no more than the HDMI block's own 340 MHz unless it
        // lists a 4:4:4 format at 50/60 Hz in 4K
        EXPECT_EQ(r.support600MHz != 0, Lists(r.videoCodes, 97));

        // opened in the creator and saved without an edit: nothing lost, nothing added
        const creator::CalendarDate day{2025, 1, 6};
        EdidImage rebuilt;
        ASSERT_TRUE(creator::Rebuild(built.image, day, rebuilt));
        const auto changes = creator::BuildChanges(built.image, rebuilt, day);
        EXPECT_TRUE(changes.empty()) << creator::LossQuestion(changes);
        EXPECT_EQ(creator_test::ClaimsAdded(built.image, rebuilt), std::vector<std::string>{});
        EXPECT_EQ(DiffImages(built.image, rebuilt), std::vector<Difference>{})
            << ::testing::PrintToString(DifferenceTexts(DiffImages(built.image, rebuilt)));
    }
}

TEST(Presets, NamesWorkOnTheCommandLineAndUnknownOnesAreRefused) {
    std::set<std::string_view> seen;
    for (const PresetInfo& p : Presets()) {
        EXPECT_TRUE(seen.insert(p.name).second) << p.name << " twice";
        EXPECT_FALSE(p.description.empty()) << p.name;
        EXPECT_TRUE(std::all_of(p.name.begin(), p.name.end(), [](char ch) {
            return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' || ch == '.';
        })) << p.name;
    }
    for (std::string_view bad : {"", "1080P60-STEREO", "1080p60", "1080p60-stereo "}) {
        EXPECT_EQ(FindPreset(bad), nullptr) << bad;
        const PresetBuild b = BuildPreset(bad);
        EXPECT_FALSE(b);
        EXPECT_NE(b.message.find("unknown preset"), std::string::npos);
    }
    // one JSON object per line, a line per preset, the description escaped where needed
    const std::string json = PresetList(true);
    EXPECT_EQ(std::count(json.begin(), json.end(), '\n'), std::ptrdiff_t(Presets().size()));
    EXPECT_NE(json.find("{\"name\":\"1080p60-stereo\",\"description\":\"1920x1080 60 Hz"),
              std::string::npos);
}
