// Compose: sets of real EDIDs with what the result must and must not claim, the rules on small
// built images, and the property that holds for every set: the result validates, keeps a shared
// timing and claims nothing that a source lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "edid/BlockMap.h"
#include "edid/Check.h"
#include "edid/DisplayIdTimings.h"
#include "edid/Fit.h"
#include "edid/VideoFormats.h"
#include "edid_builders.h"
#include "workspace/compose/Compose.h"

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

std::map<std::string, ComposeCapability> Claims(const EdidImage& image, const Bytes& whole = {}) {
    std::map<std::string, ComposeCapability> out;
    for (const auto& c : ComposeCapabilities(image, whole))
        out[c.name] = c;
    return out;
}

using Sad = std::array<std::uint8_t, 3>;
std::vector<Sad> AudioOf(const EdidImage& img) {
    std::vector<Sad> out;
    for (const int at : DataBlocksTagged(img, kTagAudio))
        for (int k = 0; k + 3 <= (img[at] & 0x1F); k += 3)
            if (img[at + 1 + k] & 0x78)
                out.push_back({img[at + 1 + k], img[at + 2 + k], img[at + 3 + k]});
    return out;
}

// The detailed timings of an image, as the block map finds them.
std::vector<DetailedTiming> DetailedTimingsOf(const EdidImage& img) {
    std::vector<DetailedTiming> out;
    for (const BlockPart& part : MapBlocks(img))
        if (part.kind == PartKind::DetailedTiming) {
            DetailedTiming d{};
            std::copy(img.begin() + part.offset, img.begin() + part.end(), d.begin());
            out.push_back(d);
        }
    return out;
}

// Whether `src` lists the timing of `d` exactly: a detailed timing with the same bytes (bar the
// image size and the stereo bits), or a video code, established or standard timing whose timing
// written as a detailed timing gives those bytes (a video code at its 1000/1001 rate too).
bool ListsExactly(const EdidImage& src, const DetailedTiming& d, const Bytes& whole = {}) {
    auto same = [&](const DetailedTiming& t) {
        for (int i = 0; i < 18; ++i) {
            if (i >= 12 && i <= 14) continue;
            if ((i == 17 ? t[i] & 0x9E : t[i]) != (i == 17 ? d[i] & 0x9E : d[i])) return false;
        }
        return true;
    };
    auto sameTiming = [&](VideoTiming t, bool vic) {
        if (const auto w = WriteDetailedTiming(t); w && same(*w)) return true;
        t.pixelClockKhz = static_cast<int>(std::lround(t.pixelClockKhz * 1000.0 / 1001.0));
        const auto w = WriteDetailedTiming(t);
        return vic && w &&
               (same(*w) || std::abs(((*w)[0] | (*w)[1] << 8) - (d[0] | d[1] << 8)) <= 1);
    };
    for (const DetailedTiming& t : DetailedTimingsOf(src))
        if (same(t)) return true;
    // the exact timings of the source's DisplayID extensions
    const Bytes all = whole.size() > kEdidSize ? whole : Bytes(src.begin(), src.end());
    for (const DisplayIdTiming& t : ReadDisplayIdTimings(all, ReadEdidBlocks(all))) {
        if (t.kind == DisplayIdTimingKind::Vic)
            if (const auto v = VicTiming(t.code); v && sameTiming(*v, true)) return true;
        if (t.kind != DisplayIdTimingKind::Detailed && t.kind != DisplayIdTimingKind::Formula)
            continue;
        if (const auto w = WriteDetailedTiming(t.timing); w && same(*w)) return true;
    }
    for (const BlockPart& part : MapBlocks(src)) {
        if (part.kind != PartKind::DataBlock || part.tag != 2) continue;
        for (int k = part.offset + 1; k < part.end(); ++k) {
            const int code = src[k] >= 129 && src[k] <= 192 ? src[k] - 128 : src[k];
            if (const auto t = VicTiming(code); t && sameTiming(*t, true)) return true;
        }
    }
    const auto t = ReadDetailedTiming(d.data());
    for (int bit = 0; bit < kEstablishedTimingBits; ++bit)
        if (src[35 + bit / 8] & (0x80 >> bit % 8))
            if (*EstablishedFormat(bit) == t->format && KnownTiming(t->format) &&
                sameTiming(*KnownTiming(t->format), false))
                return true;
    for (int i = 0; i < 8; ++i)
        if (StandardTimingFormat(src[38 + 2 * i], src[39 + 2 * i]) == t->format &&
            KnownTiming(t->format) && sameTiming(*KnownTiming(t->format), false))
            return true;
    return false;
}

struct RangeLimits {
    int minV, maxV, minH, maxH, clockMhz;
};
std::optional<RangeLimits> RangeLimitsOf(const EdidImage& img) {
    for (int at = 54; at < 126; at += 18)
        if (!img[at] && !img[at + 1] && img[at + 3] == 0xFD) {
            const int v = img[at + 4] & 3, h = img[at + 4] >> 2 & 3;
            return RangeLimits{img[at + 5] + (v == 3 ? 255 : 0), img[at + 6] + (v >= 2 ? 255 : 0),
                               img[at + 7] + (h == 3 ? 255 : 0), img[at + 8] + (h >= 2 ? 255 : 0),
                               img[at + 9] * 10};
        }
    return std::nullopt;
}

// The variable refresh ranges of the HDMI Forum and the AMD blocks (maximum 0: the format's).
std::vector<std::pair<int, int>> VrrRangesOf(const EdidImage& img) {
    std::vector<std::pair<int, int>> out;
    for (const BlockPart& part : MapBlocks(img)) {
        if (part.kind != PartKind::DataBlock || part.tag != 3 || part.length < 4) continue;
        const std::uint8_t* b = &img[part.offset];
        const int oui = b[1] | b[2] << 8 | b[3] << 16;
        if (oui == 0xC45DD8 && part.length > 9 && (b[9] & 0x3F))
            out.push_back({b[9] & 0x3F, (b[9] & 0xC0) << 2 | (part.length > 10 ? b[10] : 0)});
        if (oui == 0x00001A && part.length > 7 && b[6] && b[7] > b[6]) out.push_back({b[6], b[7]});
    }
    return out;
}

// A source as the block map reads it: a larger EDID's base block and first CTA-861 extension,
// wherever that stands.
EdidImage MappedImage(const ComposeSource& s) {
    EdidImage two{};
    return s.bytes.size() > kEdidSize && FirstTwoBlocks(s.bytes, two) ? two : s.image;
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
        const auto theirs = Claims(sources[i].image, sources[i].bytes);
        const bool audioHere = !options.audioFrom || options.audioFrom == int(i + 1);
        // a display without an extension takes no InfoFrame: the quantization is not its say
        const EdidImage mapped = MappedImage(sources[i]);
        const bool cta = mapped[126] && mapped[128] == 0x02;
        for (const auto& [name, claim] : mine) {
            if (claim.audio && !audioHere) continue;
            if (!cta && name.find("quantization selectable") != std::string::npos) continue;
            const auto it = theirs.find(name);
            EXPECT_TRUE(it != theirs.end() && it->second.level >= claim.level)
                << claim.Text() << " claimed, not held by source " << i + 1 << " ("
                << sources[i].label << ")";
        }
        // every audio descriptor within one descriptor of the source: channels, rates, sizes
        if (options.audioFrom) continue;
        for (const Sad& s : AudioOf(r.image)) {
            const auto theirsSads = AudioOf(mapped);
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
        const auto want = AudioOf(MappedImage(sources[options.audioFrom - 1]));
        EXPECT_EQ(
            AudioOf(r.image),
            std::vector<Sad>(want.begin(), want.begin() + std::min<std::size_t>(want.size(), 10)));
    }
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const EdidImage src = MappedImage(sources[i]);
        for (const DetailedTiming& d : DetailedTimingsOf(r.image))
            EXPECT_TRUE(ListsExactly(src, d, sources[i].bytes))
                << ReadDetailedTiming(d.data())->format.width << "x"
                << ReadDetailedTiming(d.data())->format.height << " at "
                << ReadDetailedTiming(d.data())->pixelClockKhz << " kHz, not in source " << i + 1
                << " (" << sources[i].label << ")";
        // the range limits lie within the source's
        const auto mineL = RangeLimitsOf(r.image), theirsL = RangeLimitsOf(src);
        ASSERT_TRUE(mineL);
        if (theirsL) {
            EXPECT_GE(mineL->minV, theirsL->minV) << sources[i].label;
            EXPECT_LE(mineL->maxV, theirsL->maxV) << sources[i].label;
            EXPECT_GE(mineL->minH, theirsL->minH) << sources[i].label;
            EXPECT_LE(mineL->maxH, theirsL->maxH) << sources[i].label;
            EXPECT_LE(mineL->clockMhz, theirsL->clockMhz) << sources[i].label;
        }
        // a variable refresh range within the source's
        for (const auto& [lo, hi] : VrrRangesOf(r.image)) {
            const auto theirsV = VrrRangesOf(src);
            EXPECT_FALSE(theirsV.empty()) << "VRR beyond source " << i + 1;
            for (const auto& [tlo, thi] : theirsV) {
                EXPECT_GE(lo, tlo) << sources[i].label;
                if (thi) {
                    EXPECT_TRUE(hi && hi <= thi) << sources[i].label;
                }
            }
            EXPECT_GE(lo, mineL->minV);
            EXPECT_LE(hi, mineL->maxV);
        }
    }
    for (const ComposeOmission& o : r.omissions) {
        EXPECT_FALSE(o.text.empty());
        for (int s : o.lackingSources)
            EXPECT_NE(o.text.find("\"" + sources[s - 1].label + "\""), std::string::npos) << o.text;
    }
}

// `img` with a range limits descriptor in descriptor slot 3 (rates in Hz and kHz, the clock in
// MHz).
EdidImage WithLimits(EdidImage img, int minV, int maxV, int minH, int maxH, int clockMhz) {
    const Bytes d = {0,
                     0,
                     0,
                     0xFD,
                     0,
                     static_cast<std::uint8_t>(minV),
                     static_cast<std::uint8_t>(maxV),
                     static_cast<std::uint8_t>(minH),
                     static_cast<std::uint8_t>(maxH),
                     static_cast<std::uint8_t>(clockMhz / 10),
                     0,
                     0x0A,
                     0x20,
                     0x20,
                     0x20,
                     0x20,
                     0x20,
                     0x20};
    std::copy(d.begin(), d.end(), img.begin() + 108);
    FixChecksums(img);
    return img;
}

// `img` with `d` as detailed timing `slot` (0..3) of the base block.
EdidImage WithDtd(EdidImage img, int slot, const DetailedTiming& d) {
    std::copy(d.begin(), d.end(), img.begin() + 54 + 18 * slot);
    FixChecksums(img);
    return img;
}

// The first 256 bytes of a larger EDID, as a slot would hold them.
EdidImage LargeImage(const Bytes& whole) {
    return ImageFromBytes(whole.data(), std::min(whole.size(), kEdidSize));
}

// The first two blocks of a larger EDID as an EDID of two blocks.
EdidImage TwoBlocks(const Bytes& whole) {
    EdidImage img = LargeImage(whole);
    img[126] = 1;
    FixChecksum(img, 0);
    return img;
}

// `img` with byte 2 of its extension set to `offset`.
EdidImage WithDataOffset(EdidImage img, int offset) {
    img[130] = static_cast<std::uint8_t>(offset);
    FixChecksums(img);
    return img;
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
        {{"0615aa6316ff13ad", "ee123e2c04b65b39"},
         0,
         {"3840x2160 60 Hz", "3840x2160 60 Hz (4:2:0)", "HDMI Forum", "SCDC", "1920x1080 60 Hz",
          "L-PCM", "AC-3", "E-AC-3", "YCbCr 4:4:4"},
         {"HDR static metadata", "48-bit colour", "DTS-HD", "3D",
          "3840x2160 50 Hz"}}, // 50 Hz: outside the first TV's range limits (59-70 Hz)
        // the second TV's range limits (30-80 kHz, 100 MHz) hold neither 4K nor 1080p
        {{"0615aa6316ff13ad", "05a56ba71e1ddc67"},
         0,
         {"1280x720 60 Hz", "HDMI Forum", "SCDC", "L-PCM", "AC-3", "YCbCr 4:4:4"},
         {"3840x2160 60 Hz", "3840x2160 60 Hz (4:2:0)", "1920x1080 60 Hz", "E-AC-3",
          "HDR static metadata"}},
        {{"0615aa6316ff13ad", "049581c3f4b50a09", "6311a3e944772acc"},
         3,
         {"1920x1080 60 Hz", "MAT", "DTS-HD", "speaker LFE1", "HDMI"},
         {"3840x2160 60 Hz", "HDMI Forum", "HDR static metadata", "BT.2020 RGB"}},
        {{"0615aa6316ff13ad", "049581c3f4b50a09", "6311a3e944772acc"},
         0,
         {"1920x1080 60 Hz", "L-PCM"},
         {"MAT", "speaker LFE1", "HDR static metadata"}},
        {{"26e3de8b9c73245c", "003e3a86840230ba"},
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

// The valid sample EDIDs, in name order.
std::vector<ComposeSource> ValidSamples() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kData / "edid"))
        if (e.path().extension() == ".bin") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    std::vector<ComposeSource> out;
    for (const std::string& name : names) {
        ComposeSource s{name, Load(name)};
        std::uint16_t status = 0;
        if (ValidateImage(s.image, status)) out.push_back(s);
    }
    return out;
}

// Random sets of 2 to 4 samples (a fixed seed), a third of them with the audio of one: the result
// raises no check failure that none of its sources raises.
TEST(Compose, ResultsRaiseNoCheckFailureTheirSourcesLack) {
    const std::vector<ComposeSource> samples = ValidSamples();
    ASSERT_GE(samples.size(), 20u);
    auto failures = [](const EdidImage& img) {
        std::set<std::string> rules;
        for (const Finding& f : CheckImage(img))
            if (f.severity == Severity::Failure) rules.insert(f.rule);
        return rules;
    };
    std::mt19937 random(20261208);
    int built = 0;
    for (int set = 0; set < 60; ++set) {
        std::vector<std::size_t> picked(samples.size());
        for (std::size_t i = 0; i < picked.size(); ++i)
            picked[i] = i;
        std::shuffle(picked.begin(), picked.end(), random);
        const int count = 2 + static_cast<int>(random() % 3);
        std::vector<ComposeSource> sources;
        std::string names;
        for (int i = 0; i < count; ++i) {
            sources.push_back(samples[picked[i]]);
            names += " " + samples[picked[i]].label;
        }
        ComposeOptions options;
        options.audioFrom = random() % 3 == 0 ? 1 + static_cast<int>(random() % count) : 0;
        SCOPED_TRACE("audio from " + std::to_string(options.audioFrom) + ":" + names);
        const ComposeResult r = Compose(sources, options);
        if (r.outcome != ComposeOutcome::Built) continue;
        ++built;
        ExpectSound(sources, options, r);
        std::set<std::string> theirs;
        for (const ComposeSource& s : sources)
            for (const std::string& rule : failures(s.image))
                theirs.insert(rule);
        for (const std::string& rule : failures(r.image))
            EXPECT_TRUE(theirs.count(rule)) << "the result fails " << rule << ", no source does";
    }
    EXPECT_GE(built, 25);
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
        {{"00f9ebab5d16e4d7", "003e3a86840230ba"},
         0,
         ComposeOutcome::NothingShared,
         "range limits share no horizontal rate (134-134 kHz in source 1 (\"00f9ebab5d16e4d7\"), "
         "30-83 kHz in source 2 (\"003e3a86840230ba\")): no EDID can lie within them all."},
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
    const DetailedTiming dtd1080 = *WriteDetailedTiming(t);

    // 1680x1050 at 60 Hz: reduced blanking (119 MHz) as a detailed timing; the standard timing
    // names the DMT one (146.25 MHz)
    VideoTiming rb{{1680, 1050, false, 60}, 119000, 48, 32, 80, 3, 6, 21, true, false};
    const DetailedTiming dtdRb = *WriteDetailedTiming(rb);
    EdidImage stdOnly = WithDtd(BaseOnly(), 0, dtd1080);
    stdOnly[38] = 0xB3, stdOnly[39] = 0x00; // 1680x1050 60 Hz
    FixChecksums(stdOnly);
    const EdidImage rbDtd = WithDtd(WithDtd(BaseOnly(), 0, dtd1080), 1, dtdRb);
    // VIC 2's timing (720x480) with digital composite sync instead of separate syncs
    DetailedTiming composite = *WriteDetailedTiming(*VicTiming(2));
    composite[17] = 0x10;
    const EdidImage compositeDtd = WithDtd(WithDtd(BaseOnly(), 0, dtd1080), 1, composite);

    // rich extensions: 4K, 8-channel audio, HDMI, HDR; and the same behind a byte 2 of 0 or 4,
    // which announces no data blocks (0: no detailed timings either)
    const Bytes hdmi = {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x3C};
    const Bytes rich = Concat({vdb16_97, lpcm8, ac3_6, hdmi, hdrA});
    const EdidImage richA = WithDtd(WithBlocks(rich, 0x40), 0, dtd1080);
    const EdidImage richB =
        WithDtd(WithBlocks(Concat({vdb16_97, lpcm8, hdmi, hdrB}), 0x40), 0, dtd1080);

    // variable refresh: HDMI Forum blocks of 40-120 and 48-144 Hz, AMD blocks of 48-75 and
    // 40-60 Hz
    auto forum = [](int lo, int hi) {
        return Bytes{0x6A,
                     0xD8,
                     0x5D,
                     0xC4,
                     0x01,
                     0x78,
                     0x80,
                     0x00,
                     0x00,
                     static_cast<std::uint8_t>(lo | ((hi >> 2) & 0xC0)),
                     static_cast<std::uint8_t>(hi & 0xFF)};
    };
    auto amd = [](int lo, int hi) {
        return Bytes{0x68,
                     0x1A,
                     0x00,
                     0x00,
                     0x01,
                     0x01,
                     static_cast<std::uint8_t>(lo),
                     static_cast<std::uint8_t>(hi),
                     0x00};
    };

    // 2560x1440 at 60 Hz (241.5 MHz) as a detailed timing of the base block, and the same as a
    // DisplayID type I (10 kHz units) and type VII (1 kHz units) timing
    const VideoTiming x{{2560, 1440, false, 60}, 241500, 48, 32, 80, 3, 5, 33, false, false};
    const EdidImage withX = WithDtd(WithBlocks(vdb16), 0, *WriteDetailedTiming(x));
    const Bytes didX = DidBlock(0x03, 0, DidTiming(24150, 2560, 160, 1440, 41));
    const Bytes didX7 = DidBlock(0x22, 0, DidTiming(241500, 2560, 160, 1440, 41));
    const Bytes did5k = DidBlock(0x22, 0, DidTiming(1903334, 5120, 160, 1440, 62)); // 240 Hz

    struct Case {
        const char* what;
        std::vector<EdidImage> sources;
        std::vector<std::string> must, mustNot;
        int audioFrom = 0;
        std::string omission = {};     // a text the list of what is left out holds
        std::vector<Bytes> whole = {}; // per source: every byte of a larger EDID, or none
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
         {"HDR static metadata", "HDR EOTF SMPTE ST 2084", "HDR EOTF traditional SDR"},
         {"HDR EOTF HLG"}},
        {"a detailed timing only where every source lists that timing",
         {rbDtd, stdOnly},
         {"1920x1080 60 Hz"},
         {"1680x1050 60 Hz"},
         0,
         "1680x1050 60 Hz: the sources list different timings of it (119.00 MHz in source 1 "
         "(\"s1\"), 146.25 MHz in source 2 (\"s2\"))"},
        {"a detailed timing with another kind of sync is another timing",
         {WithBlocks({0x42, 16, 2}), compositeDtd},
         {"1920x1080 60 Hz"},
         {"720x480 60 Hz"}},
        {"the same detailed timing in every source is kept",
         {rbDtd, rbDtd},
         {"1920x1080 60 Hz", "1680x1050 60 Hz"},
         {}},
        {"range limits: a timing outside one source's limits is left out",
         {WithLimits(WithBlocks(Concat({{0x42, 16, 31}})), 49, 61, 29, 70, 150),
          WithLimits(WithBlocks(Concat({{0x42, 16, 31}})), 58, 75, 30, 68, 170)},
         {"1920x1080 60 Hz"},
         {"1920x1080 50 Hz"},
         0,
         "1920x1080 50 Hz: outside the range limits of source 2 (\"s2\")"},
        {"an extension whose byte 2 is 0 has no data blocks and no detailed timings",
         {WithDataOffset(richA, 0), WithDataOffset(richB, 0)},
         {"1920x1080 60 Hz"},
         {"3840x2160 60 Hz", "HDMI", "HDR static metadata", "L-PCM", "AC-3", "basic audio"}},
        {"an extension whose byte 2 is 4 has no data blocks",
         {WithDataOffset(richA, 4), WithDataOffset(richB, 4)},
         {"1920x1080 60 Hz"},
         {"3840x2160 60 Hz", "HDMI", "HDR static metadata", "L-PCM", "AC-3"}},
        {"... while the same extensions with their data blocks share them",
         {richA, richB},
         {"3840x2160 60 Hz", "HDMI", "HDR static metadata", "L-PCM"},
         {"AC-3"}},
        {"variable refresh: the range all share, in the blocks all have",
         {WithBlocks(Concat({vdb16, hdmi, forum(40, 120), amd(48, 75)})),
          WithBlocks(Concat({vdb16, hdmi, forum(48, 144), amd(40, 60)}))},
         {"VRR", "HDMI Forum"},
         {}},
        {"variable refresh left out where a source has none",
         {WithBlocks(Concat({vdb16, hdmi, forum(40, 120)})), WithBlocks(Concat({vdb16, hdmi}))},
         {"HDMI"},
         {"VRR"},
         0,
         "VRR: not in source 2 (\"s2\")"},
        {"a timing a source declares only in DisplayID counts for it",
         {withX, WithBlocks(vdb16)},
         {"2560x1440 60 Hz", "1920x1080 60 Hz"},
         {},
         0,
         {},
         {{}, LargeEdid({CtaBlock(vdb16), DisplayIdBlock(0x13, 0, didX)})}},
        {"... and not once the EDID is cut to its image",
         {withX, TwoBlocks(LargeEdid({CtaBlock(vdb16), DisplayIdBlock(0x13, 0, didX)}))},
         {"1920x1080 60 Hz"},
         {"2560x1440 60 Hz"},
         0,
         "2560x1440 60 Hz: not in source 2 (\"s2\")"},
        {"DisplayID in the second block of a 256-byte EDID, its clock in 1 kHz units",
         {withX, TwoBlocks(LargeEdid({DisplayIdBlock(0x20, 0, didX7)}))},
         {"2560x1440 60 Hz"},
         {"1920x1080 60 Hz"}},
        {"a video code of a CTA-861 block inside DisplayID",
         {WithBlocks(vdb16_97), WithBlocks(vdb16)},
         {"3840x2160 60 Hz", "1920x1080 60 Hz"},
         {},
         0,
         {},
         {{},
          LargeEdid({CtaBlock(vdb16), DisplayIdBlock(0x20, 0, DidBlock(0x81, 0, {0x41, 97}))})}},
        {"a CTA-861 extension after a block map is read",
         {WithBlocks(vdb16_97), WithBlocks(vdb16)},
         {"3840x2160 60 Hz", "1920x1080 60 Hz"},
         {},
         0,
         {},
         {{}, LargeEdid({BlockMapBlock({0x02}), CtaBlock(vdb16_97)})}},
        {"... and after DisplayID, whose timings count as well",
         {WithBlocks(vdb16_97), WithDtd(WithBlocks(vdb16_97), 0, *WriteDetailedTiming(x))},
         {"3840x2160 60 Hz", "2560x1440 60 Hz", "1920x1080 60 Hz"},
         {},
         0,
         {},
         {LargeEdid({DisplayIdBlock(0x20, 0, didX7), CtaBlock(vdb16_97)})}},
        {"... its data blocks, not only its timings: audio the other lacks is said to be lost",
         {WithBlocks(Concat({vdb16, lpcm8, ac3_6}), 0x40),
          WithBlocks(Concat({vdb16, lpcm8}), 0x40)},
         {"L-PCM"},
         {"AC-3"},
         0,
         "AC-3: not in source 2 (\"s2\")",
         {LargeEdid({DisplayIdBlock(0x13, 0, didX), CtaBlock(Concat({vdb16, lpcm8, ac3_6}))})}},
        {"a timing all share that no detailed timing holds is left out, and said so",
         {WithBlocks(vdb16), WithBlocks(vdb16)},
         {"1920x1080 60 Hz"},
         {"5120x1440 240 Hz"},
         0,
         "5120x1440 240 Hz: every source lists its timing (1903.33 MHz), which a detailed "
         "timing of the composed EDID cannot carry",
         {LargeEdid({CtaBlock(vdb16), DisplayIdBlock(0x20, 0, did5k)}),
          LargeEdid({CtaBlock(vdb16), DisplayIdBlock(0x20, 0, did5k)})}},
        {"a DisplayID timing no other source declares is left out",
         {WithBlocks(vdb16), WithBlocks(vdb16)},
         {"1920x1080 60 Hz"},
         {"2560x1440 60 Hz"},
         0,
         "2560x1440 60 Hz: not in source 2 (\"s2\")",
         {LargeEdid({CtaBlock(vdb16), DisplayIdBlock(0x13, 0, didX)})}},
        {"with the audio of one source, only that source can lack an audio claim",
         {WithBlocks(Concat({vdb16, lpcm8, ac3_6}), 0x40), WithBlocks(vdb16),
          WithBlocks(Concat({vdb16, lpcm2_48}), 0x40)},
         {"L-PCM"},
         {"AC-3"},
         3,
         "AC-3: not in source 3 (\"s3\")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ComposeSource> sources;
        for (std::size_t i = 0; i < c.sources.size(); ++i) {
            const Bytes whole = i < c.whole.size() ? c.whole[i] : Bytes{};
            sources.push_back({"s" + std::to_string(i + 1),
                               whole.empty() ? c.sources[i] : LargeImage(whole), whole});
        }
        ComposeOptions options;
        options.audioFrom = c.audioFrom;
        const ComposeResult r = Compose(sources, options);
        ExpectSound(sources, options, r);
        if (!c.omission.empty()) {
            EXPECT_TRUE(std::any_of(r.omissions.begin(), r.omissions.end(),
                                    [&](const ComposeOmission& o) { return o.text == c.omission; }))
                << "no \"" << c.omission << "\" in " << ComposeJson(r);
        }
        // with the audio of one source, only that source lacks an audio claim
        std::vector<std::string> audio;
        for (const ComposeSource& s : sources)
            for (const auto& [name, claim] : Claims(s.image))
                if (claim.audio) audio.push_back(name);
        for (const ComposeOmission& o : r.omissions) {
            const bool isAudio = std::any_of(audio.begin(), audio.end(), [&](const auto& a) {
                return o.capability.rfind(a, 0) == 0;
            });
            if (c.audioFrom && isAudio) {
                EXPECT_EQ(o.lackingSources, std::vector<int>{c.audioFrom}) << o.text;
            }
        }
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
    int at = -1;
    for (const int e : DataBlocksTagged(h.image, kTagExtended))
        if (at < 0 && h.image[e + 1] == 6) at = e;
    ASSERT_GE(at, 0);
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
    const auto sources = Sources({"0615aa6316ff13ad", "ee123e2c04b65b39"});
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
    const auto at = DataBlocksTagged(r.image, kTagVendor);
    const auto first = DataBlocksTagged(sources[0].image, kTagVendor);
    ASSERT_FALSE(at.empty());
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(r.image[at[0] + 4], sources[0].image[first[0] + 4]);
}

// A few results pinned byte for byte (tests/data/compose/README.md says how they are made).
TEST(Compose, GoldenResults) {
    struct Golden {
        std::string file;
        std::vector<std::string> sources;
        int audioFrom;
    };
    const std::vector<Golden> goldens = {
        {"tv-and-tv.bin", {"0615aa6316ff13ad", "ee123e2c04b65b39"}, 0},
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
