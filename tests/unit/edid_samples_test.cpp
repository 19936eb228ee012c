// Real EDIDs in tests/data/edid: provenance, pinned analyses, and re-encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "edid/BlockMap.h"
#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/Encoder.h"
#include "workspace/analysis/AnalyzerSummary.h"
#include "workspace/sources/Presets.h"

using namespace tavo;
namespace fs = std::filesystem;

namespace {

const fs::path kDir = fs::path(TAVO_TEST_DATA) / "edid";

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

EdidImage ReadImage(const fs::path& p) {
    const std::string bytes = ReadText(p);
    return ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::vector<fs::path> Samples() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(kDir))
        if (e.path().extension() == ".bin") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

template <std::size_t N> std::vector<std::uint8_t> NonZero(const std::array<std::uint8_t, N>& a) {
    std::vector<std::uint8_t> out;
    for (auto v : a)
        if (v != 0) out.push_back(v);
    return out;
}

} // namespace

TEST(EdidSamples, EveryBlobHasProvenanceAndAGoldenFile) {
    const auto samples = Samples();
    ASSERT_GE(samples.size(), 20u);
    const std::string readme = ReadText(fs::path(TAVO_TEST_DATA) / "README.md");
    for (const auto& p : samples) {
        const std::string name = p.filename().string();
        EXPECT_NE(readme.find("| " + name + " |"), std::string::npos) << name << " not in README";
        EXPECT_TRUE(fs::exists(fs::path(p).replace_extension(".json"))) << name;
    }
}

TEST(EdidSamples, AnalysisMatchesGoldenFiles) {
    for (const auto& p : Samples()) {
        SCOPED_TRACE(p.filename().string());
        EdidRecord r;
        r.image = ReadImage(p);
        const AnalyzerSummary s = AnalyseEdid(r);
        std::string golden = ReadText(fs::path(p).replace_extension(".json"));
        while (!golden.empty() && (golden.back() == '\n' || golden.back() == '\r'))
            golden.pop_back();
        EXPECT_EQ(SummaryJson(p.filename().string(), s), golden);
        EXPECT_EQ(s.valid, (r.status & kStatusValidationMask) == 0);
    }
}

// Decode then encode without edits: the result validates and decodes to the same lists.
TEST(EdidSamples, ReencodeValidatesAndKeepsTheBlocks) {
    int encoded = 0;
    for (const auto& p : Samples()) {
        SCOPED_TRACE(p.filename().string());
        EdidRecord r;
        Decode(r, ReadImage(p));
        if (r.status & kStatusValidationMask) continue;
        const EdidRecord decoded = r;
        const EncodeResult res = Encode(r);
        if (!res) {
            EXPECT_EQ(res.message, kEncodeOverSize);
            EXPECT_EQ(r.image, decoded.image);
            continue;
        }
        ++encoded;
        std::uint16_t st = 0;
        ASSERT_TRUE(ValidateImage(r.image, st)) << ValidationMessage(st);

        EdidRecord again;
        Decode(again, r.image);
        EXPECT_EQ(FieldText(again.manufacturer), FieldText(decoded.manufacturer));
        EXPECT_EQ(FieldText(again.monitorName), FieldText(decoded.monitorName));
        EXPECT_EQ(again.serialNumber, decoded.serialNumber);
        EXPECT_EQ(again.establishedTimings, decoded.establishedTimings);
        if (decoded.formatFlags & kFormatNoExtension) {
            EXPECT_EQ(again.formatFlags, kFormatNoExtension);
            continue;
        }
        EXPECT_EQ(again.formatFlags & kFormatHdmiBlock, kFormatHdmiBlock);
        EXPECT_EQ(NonZero(again.videoCodes), NonZero(decoded.videoCodes));
        EXPECT_EQ(NonZero(again.yuv420VideoCodes), NonZero(decoded.yuv420VideoCodes));
        EXPECT_EQ(NonZero(again.hdmiVics), NonZero(decoded.hdmiVics));
        EXPECT_EQ(again.cecAddress, decoded.cecAddress);
        EXPECT_EQ(again.speakerAllocation, decoded.speakerAllocation);
        EXPECT_EQ(again.colorimetry, decoded.colorimetry);
        EXPECT_EQ(again.videoCapability, decoded.videoCapability);
        // The record keeps ten descriptors; further ones (a second audio block overwrites the
        // first block's slots) are not in the new image.
        EXPECT_LE(again.maxChannels, decoded.maxChannels);
        EXPECT_EQ(again.audioFormatsPresent & ~decoded.audioFormatsPresent, 0);
        std::vector<ShortAudioDescriptor> kept, had;
        for (const auto& d : again.audioDescriptors)
            if (d[0] != 0) kept.push_back(d);
        for (const auto& d : decoded.audioDescriptors)
            if (d[0] != 0) had.push_back(d);
        EXPECT_EQ(kept, had);
        EXPECT_EQ(again.formatFlags & kFormat3D, decoded.formatFlags & kFormat3D);
        // A 4K format without a forum block in the template gains one (SCDC, 300/600 MHz).
        const bool gainsForum = r.formatFlags & (kFormat4kHigh | kFormat4kLow);
        if (!gainsForum) {
            EXPECT_EQ(again.scdc, decoded.scdc);
        }
        EXPECT_GE(again.scdc, decoded.scdc);
        EXPECT_GE(again.support600MHz, decoded.support600MHz);
    }
    EXPECT_GT(encoded, 10);
}

// The same templates with every list full: either a valid image or a refusal that leaves the
// record as it was, never a block cut short.
TEST(EdidSamples, FullListsFitOrAreRefused) {
    int refused = 0, fitted = 0;
    for (const auto& p : Samples()) {
        SCOPED_TRACE(p.filename().string());
        EdidRecord r;
        Decode(r, ReadImage(p));
        if (r.status & kStatusValidationMask) continue;
        r.formatFlags = kFormat3D;
        for (std::size_t i = 0; i < r.videoCodes.size(); ++i)
            r.videoCodes[i] = static_cast<std::uint8_t>(i + 1);
        for (auto& d : r.audioDescriptors)
            d = {0x09, 0x07, 0x07};
        r.speakerAllocation = 0x4F;
        r.colorimetry = 0xC0;
        r.videoCapability = 0x40;
        r.hdrEotfs = 0x05;
        r.hdrLuminance = {1, 2, 3};
        r.yuv420VideoCodes = {96, 97, 101, 102, 1, 2, 3, 4};
        r.hdmiVics = {1, 2, 3, 4};
        r.threeDLength = 14;
        const EdidRecord before = r;
        const EncodeResult res = Encode(r);
        if (res) {
            ++fitted;
            std::uint16_t st = 0;
            EXPECT_TRUE(ValidateImage(r.image, st));
            EXPECT_LE(r.image[130], 127);
        } else {
            ++refused;
            EXPECT_EQ(r.image, before.image);
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(fitted, 0);
}

// The decoder reads the data blocks the block map shows in the first CTA-861 extension, and no
// others: an HDMI block, audio, a speaker allocation and YCbCr 4:2:0 exactly where the map has
// them (whole), over the samples, the larger EDIDs and the ready-made ones.
TEST(EdidSamples, DecoderReadsTheDataBlocksTheBlockMapShows) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> inputs;
    for (const auto& p : Samples()) {
        const std::string bytes = ReadText(p);
        inputs.emplace_back(p.filename().string(),
                            std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    for (const char* name : {"displayid-512", "two-cta-384", "override-512"}) {
        const std::string bytes =
            ReadText(fs::path(TAVO_TEST_DATA) / "blocks" / (std::string(name) + ".bin"));
        inputs.emplace_back(name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    for (const PresetInfo& preset : Presets()) {
        const PresetBuild built = BuildPreset(std::string(preset.name));
        inputs.emplace_back(std::string(preset.name),
                            std::vector<std::uint8_t>(built.image.begin(), built.image.end()));
    }
    int withCta = 0;
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        EdidRecord r;
        DecodeEdid(r, bytes);
        if (r.status & kStatusValidationMask) continue;
        const EdidBlocks walked = ReadEdidBlocks(bytes);
        const EdidBlock* cta =
            bytes.size() > kEdidSize ? walked.FirstCta() : walked.FirstAnnouncedCta();
        bool hdmi = false, audio = false, speaker = false, yuv420 = false;
        if (cta != nullptr) {
            ++withCta;
            for (const BlockPart& part : MapEdid(bytes)) {
                if (part.kind != PartKind::DataBlock || part.offset < cta->offset ||
                    part.offset >= cta->offset + kEdidBlockSize)
                    continue;
                const auto at = [&, &bytes = bytes](int k) {
                    return bytes[static_cast<std::size_t>(part.offset + k)];
                };
                hdmi = hdmi || (part.tag == 3 && part.length >= 4 && at(1) == 0x03 &&
                                at(2) == 0x0C && at(3) == 0x00);
                audio = audio || (part.tag == 1 && part.length >= 4);
                speaker = speaker || (part.tag == 4 && part.length >= 4);
                yuv420 = yuv420 || (part.extendedTag == 15 ||
                                    (part.extendedTag == 14 && part.length >= 3 && at(2) != 0));
            }
        }
        EXPECT_EQ((r.formatFlags & kFormatHdmiBlock) != 0, hdmi);
        EXPECT_EQ(r.audioDescriptors[0][0] != 0 || r.audioDescriptors[0][1] != 0 ||
                      r.audioDescriptors[0][2] != 0,
                  audio);
        if (!speaker) {
            EXPECT_EQ(r.speakerAllocation, 0u);
        }
        EXPECT_EQ(r.yuv420Selection != 0, yuv420);
    }
    EXPECT_GE(withCta, 20);
}
