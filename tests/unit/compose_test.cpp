// Compose: sets of real EDIDs with what the result must and must not claim, the rules on small
// built images, and the property that holds for every set: the result validates, keeps a shared
// timing and claims nothing that a source lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "edid/VideoFormats.h"
#include "edid_builders.h"
#include "workspace/Compose.h"

using namespace tavo;
using namespace tavo::test;
namespace fs = std::filesystem;

namespace {

const fs::path kData = fs::path(TAVO_TEST_DATA);

EdidImage Load(const std::string& name) {
    std::ifstream in(kData / "edid" / (name + ".bin"), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string bytes = ss.str();
    return ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::vector<ComposeSource> Sources(const std::vector<std::string>& names) {
    std::vector<ComposeSource> out;
    for (const auto& n : names)
        out.push_back({n, Load(n)});
    return out;
}

std::map<std::string, ComposeCapability> Claims(const EdidImage& image) {
    std::map<std::string, ComposeCapability> out;
    for (const auto& c : ComposeCapabilities(image))
        out[c.name] = c;
    return out;
}

using Sad = std::array<std::uint8_t, 3>;
std::vector<Sad> AudioOf(const EdidImage& img) {
    std::vector<Sad> out;
    for (int at = kFirstDataBlock; FindDataBlock(img, kTagAudio, at);
         at += 1 + DataBlockLength(img, at))
        for (int k = 0; k + 3 <= DataBlockLength(img, at); k += 3)
            if (img[at + 1 + k] & 0x78)
                out.push_back({img[at + 1 + k], img[at + 2 + k], img[at + 3 + k]});
    return out;
}

// The promises every composed EDID keeps towards its sources.
void ExpectSound(const std::vector<ComposeSource>& sources, const ComposeOptions& options,
                 const ComposeResult& r) {
    ASSERT_EQ(r.outcome, ComposeOutcome::Built) << r.message;
    std::uint16_t status = 0;
    EXPECT_TRUE(ValidateImage(r.image, status)) << ValidationMessage(status);
    const auto mine = Claims(r.image);
    EXPECT_TRUE(std::any_of(mine.begin(), mine.end(), [](const auto& c) {
        return c.first.find(" Hz") != std::string::npos;
    })) << "no timing kept";
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const auto theirs = Claims(sources[i].image);
        const bool audioHere = !options.audioFrom || options.audioFrom == int(i + 1);
        for (const auto& [name, claim] : mine) {
            if (claim.audio && !audioHere) continue;
            const auto it = theirs.find(name);
            EXPECT_TRUE(it != theirs.end() && it->second.level >= claim.level)
                << claim.Text() << " claimed, not held by source " << i + 1 << " ("
                << sources[i].label << ")";
        }
        // every audio descriptor within one descriptor of the source: channels, rates, sizes
        if (options.audioFrom) continue;
        for (const Sad& s : AudioOf(r.image)) {
            const auto theirsSads = AudioOf(sources[i].image);
            EXPECT_TRUE(std::any_of(theirsSads.begin(), theirsSads.end(),
                                    [&](const Sad& t) {
                                        return (s[0] & 0x78) == (t[0] & 0x78) &&
                                               (s[0] & 7) <= (t[0] & 7) && !(s[1] & ~t[1]) &&
                                               ((s[0] & 0x78) != 0x08 || !(s[2] & ~t[2]));
                                    }))
                << "audio descriptor beyond source " << i + 1 << " (" << sources[i].label << ")";
        }
    }
    if (options.audioFrom) {
        const auto want = AudioOf(sources[options.audioFrom - 1].image);
        EXPECT_EQ(
            AudioOf(r.image),
            std::vector<Sad>(want.begin(), want.begin() + std::min<std::size_t>(want.size(), 10)));
    }
    for (const ComposeOmission& o : r.omissions) {
        EXPECT_FALSE(o.text.empty());
        for (int s : o.lackingSources)
            EXPECT_NE(o.text.find("\"" + sources[s - 1].label + "\""), std::string::npos) << o.text;
    }
}

} // namespace

// Real EDIDs: a 4K HDR TV and a 4K TV with 16-bit colour; a TV, a monitor and a receiver; a
// DVI-like extension with an HDMI monitor; receivers with 3D.
TEST(Compose, SampleSetsClaimWhatTheyShare) {
    struct Set {
        std::vector<std::string> sources;
        int audioFrom;
        std::vector<std::string> must, mustNot;
    };
    const std::vector<Set> sets = {
        {{"0615aa6316ff13ad", "05a56ba71e1ddc67"},
         0,
         {"3840x2160 60 Hz", "3840x2160 60 Hz (4:2:0)", "HDMI Forum", "SCDC", "1920x1080 60 Hz",
          "L-PCM", "AC-3", "YCbCr 4:4:4"},
         {"HDR static metadata", "E-AC-3", "48-bit colour", "DTS-HD", "3840x2160 50 Hz"}},
        {{"0615aa6316ff13ad", "049581c3f4b50a09", "6311a3e944772acc"},
         3,
         {"1920x1080 60 Hz", "MAT", "DTS-HD", "speaker LFE1", "HDMI"},
         {"3840x2160 60 Hz", "HDMI Forum", "HDR static metadata", "BT2020RGB"}},
        {{"0615aa6316ff13ad", "049581c3f4b50a09", "6311a3e944772acc"},
         0,
         {"1920x1080 60 Hz", "L-PCM"},
         {"MAT", "speaker LFE1", "HDR static metadata"}},
        {{"00f9ebab5d16e4d7", "003e3a86840230ba"},
         0,
         {"1920x1080 60 Hz"},
         {"HDMI", "Max TMDS clock"}},
        {{"d0807abe7120c13f", "ee123e2c04b65b39", "0b420c464d9c5469"},
         0,
         {"HDMI Forum", "SCDC"},
         {"3D", "48-bit colour"}},
    };
    for (const Set& set : sets) {
        SCOPED_TRACE(set.sources[0] + " + " + set.sources[1]);
        const auto sources = Sources(set.sources);
        ComposeOptions options;
        options.audioFrom = set.audioFrom;
        const ComposeResult r = Compose(sources, options);
        ExpectSound(sources, options, r);
        const auto claims = Claims(r.image);
        for (const auto& m : set.must)
            EXPECT_TRUE(claims.count(m)) << "lacks " << m;
        for (const auto& m : set.mustNot)
            EXPECT_FALSE(claims.count(m)) << "claims " << m;
    }
}

// Every pair of valid sample EDIDs, and each with the second's audio.
TEST(Compose, EveryPairOfSamplesKeepsItsPromises) {
    std::vector<ComposeSource> samples;
    for (const auto& e : fs::directory_iterator(kData / "edid")) {
        if (e.path().extension() != ".bin") continue;
        ComposeSource s{e.path().stem().string(), Load(e.path().stem().string())};
        std::uint16_t status = 0;
        if (ValidateImage(s.image, status)) samples.push_back(s);
    }
    ASSERT_GE(samples.size(), 20u);
    int built = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        for (std::size_t j = i + 1; j < samples.size(); ++j) {
            const std::vector<ComposeSource> pair = {samples[i], samples[j]};
            for (int audioFrom : {0, 2}) {
                SCOPED_TRACE(samples[i].label + " + " + samples[j].label);
                ComposeOptions options;
                options.audioFrom = audioFrom;
                const ComposeResult r = Compose(pair, options);
                if (r.outcome == ComposeOutcome::NothingShared) {
                    EXPECT_NE(r.message.find(samples[j].label), std::string::npos);
                    continue;
                }
                ExpectSound(pair, options, r);
                built += audioFrom == 0;
            }
        }
    EXPECT_GT(built, 100);
}

TEST(Compose, RefusesWhatItCannotCompose) {
    struct Case {
        std::vector<std::string> sources;
        int audioFrom;
        ComposeOutcome outcome;
        std::string message;
    };
    const std::vector<std::string> nine(9, "003e3a86840230ba");
    const std::vector<Case> cases = {
        {{"003e3a86840230ba"}, 0, ComposeOutcome::BadInput, "2 to 8 sources, not 1"},
        {nine, 0, ComposeOutcome::BadInput, "not 9"},
        {{"003e3a86840230ba", "42732ae63cde488c"},
         0,
         ComposeOutcome::BadInput,
         "source 2 (\"42732ae63cde488c\"): "},
        {{"003e3a86840230ba", "0615aa6316ff13ad"}, 3, ComposeOutcome::BadInput, "no source 3"},
        {{"002d10c53aa9561f", "0289615d2251c3bc"},
         0,
         ComposeOutcome::NothingShared,
         "share no timing: sources 1 (\"002d10c53aa9561f\"), 2 (\"0289615d2251c3bc\")"},
    };
    for (const Case& c : cases) {
        const ComposeResult r = Compose(Sources(c.sources), {c.audioFrom, "x"});
        EXPECT_EQ(r.outcome, c.outcome) << c.message;
        EXPECT_NE(r.message.find(c.message), std::string::npos) << r.message;
    }
    // the validation message of the refused source is the one the uploads show
    std::uint16_t status = 0;
    ValidateImage(Load("42732ae63cde488c"), status);
    const auto r = Compose(Sources({"003e3a86840230ba", "42732ae63cde488c"}), {});
    EXPECT_NE(r.message.find(std::string(ValidationMessage(status))), std::string::npos);
}

// The matching rules on built images: kinds of timing, rates, 4:2:0, audio, HDR.
TEST(Compose, RulesOnBuiltImages) {
    const Bytes vdb16 = {0x41, 16};                  // VIC 16: 1920x1080 60 Hz
    const Bytes vdb16_97 = {0x42, 16, 97};           // + 3840x2160 60 Hz
    const Bytes y420vdb97 = {0xE2, 14, 97};          // 3840x2160 60 Hz in 4:2:0 only
    const Bytes cmdbAll = {0xE1, 15};                // every VDB format also in 4:2:0
    const Bytes lpcm8 = {0x23, 0x0F, 0x7F, 0x07};    // L-PCM 8 ch, all rates, 16/20/24
    const Bytes lpcm2_48 = {0x23, 0x09, 0x07, 0x01}; // L-PCM 2 ch, 32-48 kHz, 16-bit
    const Bytes ac3_6 = {0x23, 0x15, 0x07, 0x50};    // AC-3 6 ch, 640 kb/s
    const Bytes hdrA = {0xE6, 0x06, 0x05, 0x01, 0x60, 0x50, 0x10}; // SDR+PQ, 96/80/16
    const Bytes hdrB = {0xE6, 0x06, 0x0D, 0x01, 0x50, 0x60, 0x20}; // SDR+PQ+HLG, 80/96/32

    // 1920x1080 60 Hz as a detailed timing at 59.94 Hz (148.35 MHz) in the base block
    EdidImage dtdOnly = BaseOnly();
    const VideoTiming t = *VicTiming(16);
    VideoTiming t5994 = t;
    t5994.pixelClockKhz = 148350;
    const auto d = *WriteDetailedTiming(t5994);
    std::copy(d.begin(), d.end(), dtdOnly.begin() + 54);
    FixChecksum(dtdOnly, 0);

    struct Case {
        const char* what;
        std::vector<EdidImage> sources;
        std::vector<std::string> must, mustNot;
    };
    const std::vector<Case> cases = {
        {"a video code matches a detailed timing of 59.94 Hz",
         {WithBlocks(vdb16), dtdOnly},
         {"1920x1080 60 Hz"},
         {}},
        {"4:2:0 only where every source takes it in 4:2:0",
         {WithBlocks(Concat({vdb16_97, cmdbAll})), WithBlocks(Concat({vdb16, y420vdb97}))},
         {"3840x2160 60 Hz (4:2:0)", "1920x1080 60 Hz"},
         {"3840x2160 60 Hz"}},
        {"no 4:2:0 where a source takes the format in RGB only",
         {WithBlocks(vdb16_97), WithBlocks(Concat({vdb16, y420vdb97}))},
         {"1920x1080 60 Hz"},
         {"3840x2160 60 Hz", "3840x2160 60 Hz (4:2:0)"}},
        {"audio: the fewest channels, the rates and sizes all share",
         {WithBlocks(Concat({vdb16, lpcm8, ac3_6}), 0x40),
          WithBlocks(Concat({vdb16, lpcm2_48}), 0x40)},
         {"L-PCM", "L-PCM 48 kHz", "basic audio"},
         {"L-PCM 96 kHz", "L-PCM 24-bit", "AC-3"}},
        {"HDR: shared EOTFs, lowest maximum luminance",
         {WithBlocks(Concat({vdb16, hdrA})), WithBlocks(Concat({vdb16, hdrB}))},
         {"HDR static metadata", "HDR EOTF SMPTE ST2084", "HDR EOTF traditional SDR"},
         {"HDR EOTF HLG"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ComposeSource> sources;
        for (std::size_t i = 0; i < c.sources.size(); ++i)
            sources.push_back({"s" + std::to_string(i + 1), c.sources[i]});
        const ComposeResult r = Compose(sources, {});
        ExpectSound(sources, {}, r);
        const auto claims = Claims(r.image);
        for (const auto& m : c.must)
            EXPECT_TRUE(claims.count(m)) << "lacks " << m;
        for (const auto& m : c.mustNot)
            EXPECT_FALSE(claims.count(m)) << "claims " << m;
    }
    // the audio of the second set: one L-PCM descriptor of 2 channels, 32-48 kHz, 16-bit
    const auto r = Compose({{"a", WithBlocks(Concat({vdb16, lpcm8, ac3_6}), 0x40)},
                            {"b", WithBlocks(Concat({vdb16, lpcm2_48}), 0x40)}},
                           {});
    EXPECT_EQ(AudioOf(r.image), (std::vector<Sad>{{0x09, 0x07, 0x01}}));
    // HDR luminance: max and frame-average the lower codes, the minimum no lower than either's
    const auto h = Compose(
        {{"a", WithBlocks(Concat({vdb16, hdrA}))}, {"b", WithBlocks(Concat({vdb16, hdrB}))}}, {});
    int at = kFirstDataBlock;
    ASSERT_TRUE(FindDataBlock(h.image, kTagExtended, at));
    while (h.image[at + 1] != 6)
        ASSERT_TRUE(FindDataBlock(h.image, kTagExtended, at += 1 + DataBlockLength(h.image, at)));
    EXPECT_EQ(h.image[at + 2], 0x05);
    EXPECT_EQ(h.image[at + 4], 0x50);
    EXPECT_EQ(h.image[at + 5], 0x50);
    auto minNits = [](int maxCode, int minCode) {
        return 50.0 * std::pow(2.0, maxCode / 32.0) * (minCode / 255.0) * (minCode / 255.0) / 100;
    };
    EXPECT_GE(minNits(h.image[at + 4], h.image[at + 6]), minNits(0x60, 0x10));
    EXPECT_GE(minNits(h.image[at + 4], h.image[at + 6]), minNits(0x50, 0x20));
    EXPECT_LT(minNits(h.image[at + 4], h.image[at + 6] - 1), minNits(0x50, 0x20));
}

TEST(Compose, IdentityNameAndPreferredTiming) {
    const auto sources = Sources({"0615aa6316ff13ad", "05a56ba71e1ddc67"});
    const auto r = Compose(sources, {0, "A name longer than thirteen"});
    ASSERT_EQ(r.outcome, ComposeOutcome::Built);
    EXPECT_TRUE(
        std::equal(r.image.begin() + 8, r.image.begin() + 12, sources[0].image.begin() + 8));
    EXPECT_EQ(std::string(r.image.begin() + 113, r.image.begin() + 126), "A name longer");
    const auto plain = Compose(sources, {});
    EXPECT_EQ(std::string(plain.image.begin() + 113, plain.image.begin() + 125), "Common EDID\n");
    // the preferred timing is the largest shared one a detailed timing can carry
    const auto t = ReadDetailedTiming(&r.image[54]);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->format, (VideoFormat{3840, 2160, false, 60}));
    // the physical address of the first source
    int at = kFirstDataBlock, first = kFirstDataBlock;
    ASSERT_TRUE(FindDataBlock(r.image, kTagVendor, at));
    ASSERT_TRUE(FindDataBlock(sources[0].image, kTagVendor, first));
    EXPECT_EQ(r.image[at + 4], sources[0].image[first + 4]);
}

// A few results pinned byte for byte (tests/data/compose/README.md says how they are made).
TEST(Compose, GoldenResults) {
    struct Golden {
        std::string file;
        std::vector<std::string> sources;
        int audioFrom;
    };
    const std::vector<Golden> goldens = {
        {"tv-and-tv.bin", {"0615aa6316ff13ad", "05a56ba71e1ddc67"}, 0},
        {"tv-monitor-receiver.bin",
         {"0615aa6316ff13ad", "049581c3f4b50a09", "6311a3e944772acc"},
         3},
    };
    for (const Golden& g : goldens) {
        std::ifstream in(kData / "compose" / g.file, std::ios::binary);
        const std::string want((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        const auto r = Compose(Sources(g.sources), {g.audioFrom, "Common EDID"});
        EXPECT_EQ(std::string(r.image.begin(), r.image.end()), want) << g.file;
    }
}

TEST(Compose, JsonListsTheOmissions) {
    const auto r =
        Compose({{"Office \"27\"", Load("0615aa6316ff13ad")}, {"b", Load("05a56ba71e1ddc67")}}, {});
    const std::string json = ComposeJson(r);
    EXPECT_EQ(json.rfind("{\"outcome\": \"built\", \"message\": \"\", \"omissions\": [{", 0), 0u)
        << json;
    // a format source 2 lacks, and one it has with fewer channels
    EXPECT_NE(json.find("{\"capability\": \"E-AC-3\", \"lacking_sources\": [2], "
                        "\"text\": \"E-AC-3: not in source 2 (\\\"b\\\")\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"text\": \"AC-3 6 channels: not in source 2 (\\\"b\\\")\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("not in source 1 (\\\"Office \\\"27\\\"\\\")"), std::string::npos) << json;
}

// Detailed timings written from the video code table read back as the same format.
TEST(VideoFormats, DetailedTimingsRoundTrip) {
    for (int vic = 1; vic <= 107; ++vic) {
        const auto t = VicTiming(vic);
        ASSERT_TRUE(t) << vic;
        const auto d = WriteDetailedTiming(*t);
        if (t->format.width > 4095 || t->hFront > 1023) { // no room in the descriptor
            EXPECT_FALSE(d) << vic;
            continue;
        }
        ASSERT_TRUE(d) << vic;
        const auto back = ReadDetailedTiming(d->data());
        ASSERT_TRUE(back) << vic;
        EXPECT_EQ(back->format, t->format) << vic;
        EXPECT_EQ(back->pixelClockKhz, t->pixelClockKhz / 10 * 10) << vic;
        EXPECT_EQ(VicFormat(vic), t->format);
    }
    for (const VideoFormat f :
         {VideoFormat{1280, 1024, false, 60}, VideoFormat{1920, 1200, false, 60},
          VideoFormat{1440, 900, false, 75}, VideoFormat{264, 165, false, 60}}) {
        const auto code = StandardTimingCode(f);
        ASSERT_NE(code, 0);
        EXPECT_EQ(StandardTimingFormat(code >> 8, code & 0xFF), f);
    }
    EXPECT_EQ(StandardTimingCode({256, 160, false, 60}), 0); // would read back as unused
    EXPECT_EQ(StandardTimingCode({1366, 768, false, 60}), 0);
}
