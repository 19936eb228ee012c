// The repairs: built EDIDs with each rule's fault and the changes expected, and over the real
// samples the property that a default repair never raises a claim and that a repaired EDID has
// nothing left to repair.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "edid/BlockMap.h"
#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/Repair.h"
#include "edid/VideoFormats.h"
#include "edid_builders.h"
#include "workspace/analysis/AnalyzerSummary.h"

using namespace tavo;
using namespace tavo::test;
namespace fs = std::filesystem;

namespace {

// A base block with the 1080p60 timing in descriptor 0 (600 x 340 mm), dummy descriptors after
// it, and a CTA-861 extension with `blocks`.
EdidImage WithTiming(const Bytes& blocks, std::uint8_t byte131 = 0x00) {
    EdidImage img = WithBlocks(blocks, byte131);
    for (const int at : {72, 90, 108})
        img[at + 3] = 0x10;
    const auto dtd = WriteDetailedTiming(*VicTiming(16));
    std::copy(dtd->begin(), dtd->end(), img.begin() + 54);
    img[54 + 12] = 0x58; // 600 x 340 mm
    img[54 + 13] = 0x54;
    img[54 + 14] = 0x21;
    FixChecksums(img);
    return img;
}

void PutDescriptor(EdidImage& img, int slot, std::uint8_t tag, const Bytes& text13) {
    PutNameDescriptor(img, slot, text13);
    img[54 + 18 * slot + 3] = tag;
    FixChecksum(img, 0);
}

const Bytes kVideo = {0x42, 0x90, 0x04};
const Bytes kHdmi600 = {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x78};
Bytes Forum(std::uint8_t rate) {
    return {0x66, 0xD8, 0x5D, 0xC4, 0x01, rate, 0x80};
}

struct Case {
    const char* what;
    EdidImage in;
    std::vector<std::string> named;
    std::vector<std::string> texts;                    // the change lines, exactly
    std::vector<std::pair<int, std::uint8_t>> bytes{}; // bytes of the result
};

EdidImage BadChecksum() {
    EdidImage img = WithTiming(kVideo);
    img[255] ^= 0x10;
    return img;
}
EdidImage DuplicateVics() {
    // 16, 4, 16 native, 31, 4; the 4:2:0 map marks the third and the fifth
    return WithTiming({0x45, 16, 4, 0x90, 31, 4, 0xE2, 0x0F, 0x14});
}
EdidImage UnannouncedExtension() {
    EdidImage img = WithTiming(kVideo);
    img[126] = 0;
    FixChecksums(img);
    return img;
}
EdidImage PaddingBytes() {
    EdidImage img = WithTiming(kVideo);
    img[200] = 0x55;
    FixChecksums(img);
    return img;
}
EdidImage TextFaults() {
    EdidImage img = WithTiming(kVideo);
    PutDescriptor(img, 1, 0xFC, Text("Screen  \n    "));
    PutDescriptor(img, 2, 0xFF, Text("\n            "));
    PutDescriptor(img, 3, 0xFE, Concat({Text("ABC"), Bytes(10, 0)}));
    return img;
}
EdidImage SerialTwice() {
    EdidImage img = WithTiming(kVideo);
    PutDescriptor(img, 1, 0xFF, Text("SN1234\n      "));
    img[12] = 0x34;
    img[13] = 0x12;
    FixChecksums(img);
    return img;
}
EdidImage RangeTooNarrow() {
    EdidImage img = WithTiming(kVideo);
    const Bytes range = {0,  0,    0,    0xFD, 0,    56,   61,   30,   50,
                         10, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
    std::copy(range.begin(), range.end(), img.begin() + 72);
    FixChecksums(img);
    return img;
}
EdidImage Version14Hdmi() {
    EdidImage img = WithTiming(Concat({kVideo, kHdmi600}));
    img[19] = 4;
    img[20] = 0xA5; // digital, 10 bits, HDMI-a
    FixChecksums(img);
    return img;
}

const std::string kArrow = " \xE2\x86\x92 ";

std::vector<Case> Cases() {
    const std::string a = kArrow;
    return {
        {"a wrong checksum",
         BadChecksum(),
         {},
         {"checksum: Extension Checksum: 0x0E" + a + "0x1E"}},
        {"repeated video codes: the first kept with the native flag, the 4:2:0 map follows",
         DuplicateVics(),
         {},
         {"duplicate-vic: Video Data Block: native flags added: 16",
          "duplicate-vic: YCbCr 4:2:0 Capability Map Data Block: capability map: 14" + a + "03",
          "duplicate-vic: Video Data Block: repeated video codes removed: 16, 4"},
         {{130, 11},
          {132, 0x43},
          {133, 0x90},
          {134, 4},
          {135, 31},
          {136, 0xE2},
          {138, 0x03},
          {139, 0}}},
        {"an unannounced extension",
         UnannouncedExtension(),
         {},
         {"extension-count: Extension Block Count: extensions: 0" + a + "1",
          "extension-count: CTA-861 Extension Block: added"},
         {{126, 1}}},
        {"padding",
         PaddingBytes(),
         {},
         {"padding: Padding: non-zero bytes: 1" + a + "0"},
         {{200, 0}}},
        {"colorimetry MD0-MD3",
         WithTiming(Concat({kVideo, {0xE3, 0x05, 0xC0, 0x0F}})),
         {},
         {"colorimetry-reserved: Colorimetry Data Block: metadata profiles: 0x0F" + a + "0x00"},
         {{137, 0xC0}, {138, 0x00}}},
        {"descriptor texts: trailing spaces, an empty serial, NUL padding",
         TextFaults(),
         {},
         {"descriptor-text: Descriptor 2: name: Screen  " + a + "Screen",
          "descriptor-text: Descriptor 3: Display Product Serial Number" + a + "Dummy Descriptor",
          "descriptor-text: Descriptor 4: text: ABC.........." + a + "ABC"},
         {{83, 0x0A}, {84, 0x20}, {93, 0x10}, {95, 0}, {116, 0x0A}, {117, 0x20}}},
        {"all-zero descriptors",
         WithBlocks(kVideo),
         {},
         {"empty-descriptor: Descriptor 1: Empty Descriptor" + a + "Dummy Descriptor",
          "empty-descriptor: Descriptor 2: Empty Descriptor" + a + "Dummy Descriptor",
          "empty-descriptor: Descriptor 3: Empty Descriptor" + a + "Dummy Descriptor",
          "empty-descriptor: Descriptor 4: Empty Descriptor" + a + "Dummy Descriptor"},
         {{57, 0x10}, {111, 0x10}}},
        {"HDMI clock 600 MHz",
         WithTiming(Concat({kVideo, kHdmi600})),
         {},
         {"hdmi-tmds: HDMI Vendor-Specific Data Block: maximum TMDS clock 600" + a + "340 MHz"},
         {{142, 68}}},
        {"forum rate 300 MHz",
         WithTiming(Concat({kVideo, kHdmi600, Forum(60)})),
         {},
         {"hdmi-tmds: HDMI Vendor-Specific Data Block: maximum TMDS clock 600" + a + "340 MHz",
          "hf-tmds: HDMI Forum Vendor-Specific Data Block: maximum TMDS character rate 300" + a +
              "0 MHz"},
         {{148, 0}}},
        {"forum rate 610 MHz",
         WithTiming(Concat({kVideo, Forum(122)})),
         {},
         {"hf-tmds: HDMI Forum Vendor-Specific Data Block: maximum TMDS character rate 610" + a +
          "600 MHz"},
         {{140, 120}}},
        {"forum rate 600 MHz and an HDMI clock of 340: nothing",
         WithTiming(
             Concat({kVideo, Bytes{0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 68}, Forum(120)})),
         {},
         {}},
        {"a non-printable character inside a name: left",
         [] {
             EdidImage img = WithTiming(kVideo);
             PutDescriptor(img, 1, 0xFC,
                           Text("AB\x80"
                                "CD\n        "));
             return img;
         }(),
         {},
         {}},
        {"the only name blank: left",
         [] {
             EdidImage img = WithTiming(kVideo);
             PutDescriptor(img, 1, 0xFC, Text(" \n           "));
             return img;
         }(),
         {},
         {}},
        {"a second block that is no CTA-861 extension stays unannounced",
         [] {
             EdidImage img = WithTiming(kVideo);
             std::copy_n(img.begin(), 128, img.begin() + 128);
             img[126] = 0;
             FixChecksums(img);
             return img;
         }(),
         {},
         {}},
        {"an extension with a wrong checksum is announced all the same",
         [] {
             EdidImage img = UnannouncedExtension();
             img[255] ^= 1;
             return img;
         }(),
         {},
         {"extension-count: Extension Block Count: extensions: 0" + a + "1",
          "extension-count: CTA-861 Extension Block: added",
          "checksum: Extension Checksum: 0x1F" + a + "0x1E"},
         {{126, 1}}},
        {"an announced extension that is erased: its checksum is left",
         [] {
             EdidImage img = WithTiming(kVideo);
             std::fill(img.begin() + 128, img.end(), 0xFF);
             return img;
         }(),
         {},
         {},
         {{255, 0xFF}}},
        {"serial twice, not named", SerialTwice(), {}, {}},
        {"serial twice",
         SerialTwice(),
         {"serial-number"},
         {"serial-number: Vendor & Product Identification: serial number: 4660" + a + "0"},
         {{12, 0}, {13, 0}}},
        {"range limits widened to the listed timing, never narrowed",
         RangeTooNarrow(),
         {"range-limits"},
         {"range-limits: Descriptor 2: horizontal rate 30-50" + a + "30-68 kHz",
          "range-limits: Descriptor 2: maximum pixel clock 100" + a + "150 MHz"},
         {{77, 56}, {78, 61}}},
        {"range limits hold a standard timing that only GTF describes (1920x1080 at 75 Hz: "
         "84.6 kHz, 220.6 MHz)",
         [] {
             EdidImage img = RangeTooNarrow();
             img[38] = 0xD1;
             img[39] = 0xCF;
             img[72 + 8] = 83;
             img[72 + 9] = 17;
             FixChecksums(img);
             return img;
         }(),
         {"range-limits"},
         {"range-limits: Descriptor 2: vertical rate 56-61" + a + "56-75 Hz",
          "range-limits: Descriptor 2: horizontal rate 30-83" + a + "30-85 kHz",
          "range-limits: Descriptor 2: maximum pixel clock 170" + a + "230 MHz"}},
        {"range limits: a maximum of 0 reads as none and stays",
         [] {
             EdidImage img = RangeTooNarrow();
             img[72 + 5] = 61;
             img[72 + 6] = 0;
             FixChecksums(img);
             return img;
         }(),
         {"range-limits"},
         {"range-limits: Descriptor 2: vertical rate 61-0" + a + "60-0 Hz",
          "range-limits: Descriptor 2: horizontal rate 30-50" + a + "30-68 kHz",
          "range-limits: Descriptor 2: maximum pixel clock 100" + a + "150 MHz"},
         {{77, 60}, {78, 0}}},
        {"native timings",
         WithTiming({0x43, 0x90, 0x84, 0x05}, 0x02),
         {"native-timings"},
         {"native-timings: CTA-861 Extension Header: native detailed timings: 2" + a + "1",
          "native-timings: Video Data Block: native flags removed: 16, 4"},
         {{131, 0x01}, {133, 16}, {134, 4}}},
        {"HDMI version",
         Version14Hdmi(),
         {"hdmi-version"},
         {"hdmi-tmds: HDMI Vendor-Specific Data Block: maximum TMDS clock 600" + a + "340 MHz",
          "hdmi-version: EDID Structure Version & Revision: version: 1.4" + a + "1.3",
          "hdmi-version: Basic Display Parameters & Features: input definition: 0xA5" + a + "0x80"},
         {{19, 3}}},
        {"missing VCDB",
         WithTiming(kVideo),
         {"missing-vcdb"},
         {"missing-vcdb: Video Capability Data Block: added"},
         {{130, 10}, {135, 0xE2}, {136, 0x00}, {137, 0x40}}},
        {"missing VCDB without room: nothing",
         [] {
             // twelve video codes and six detailed timings leave two bytes before the checksum
             EdidImage img = WithTiming({0x4C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
             for (int i = 0; i < 6; ++i)
                 std::copy_n(img.begin() + 54, 18, img.begin() + 145 + 18 * i);
             FixChecksums(img);
             return img;
         }(),
         {"missing-vcdb"},
         {}},
        {"image size",
         WithTiming(kVideo),
         {"image-size"},
         {"image-size: Basic Display Parameters & Features: image size: 0 x 0 cm" + a +
          "60 x 34 cm"},
         {{21, 60}, {22, 34}}},
    };
}

} // namespace

TEST(Repair, BuiltFaults) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.what);
        const RepairResult r = RepairImage(c.in, c.named);
        EXPECT_EQ(RepairChangeTexts(r), c.texts);
        ASSERT_EQ(r.bytes.size(), kEdidSize);
        for (const auto& [at, v] : c.bytes)
            EXPECT_EQ(r.bytes[at], v) << "byte " << at;
        // every block sums to 0, but for an erased one
        for (int b = 0; b < 2; ++b) {
            if (std::all_of(r.bytes.begin() + b * 128, r.bytes.begin() + b * 128 + 127,
                            [](auto v) { return v == 0xFF; }))
                continue;
            unsigned sum = 0;
            for (int i = 0; i < 128; ++i)
                sum += r.bytes[b * 128 + i];
            EXPECT_EQ(sum & 0xFF, 0u) << "block " << b;
        }
    }
}

// An EDID of more blocks is repaired whole: every CTA-861 block as the first would be, wherever
// it stands; any other block keeps its bytes, bar a wrong checksum.
TEST(Repair, LargerEdidWhole) {
    const auto Hex = [](unsigned v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02X", v & 0xFFu);
        return std::string(buf);
    };
    const Bytes dupVic = {0x43, 0x10, 0x04, 0x10};                         // VIC 16 twice
    const Bytes hdmi600 = {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 120}; // 600 MHz
    Bytes badDisplayId =
        DisplayIdBlock(0x13, 0, DidBlock(0x03, 0, DidTiming(6402, 1280, 160, 720, 21)));
    badDisplayId[127] ^= 0x21;
    Bytes padded = CtaBlock({0x41, 0x02});
    padded[120] = 0x01;
    FixBlockChecksum(padded, 0);
    struct Case {
        const char* what;
        Bytes in;
        std::vector<std::string> texts;  // the base block's empty descriptors aside
        std::set<std::string> left = {}; // the default rules' findings a repair leaves
    } cases[] = {
        {"DisplayID first, its checksum wrong",
         LargeEdid({badDisplayId, CtaBlock(dupVic)}),
         {"checksum: DisplayID block 1: Checksum: " + Hex(badDisplayId[127]) + " \xE2\x86\x92 " +
              Hex(badDisplayId[127] ^ 0x21),
          "duplicate-vic: CTA-861 block 2: Video Data Block: repeated video codes removed: 16"}},
        {"two CTA-861 blocks, both mended",
         LargeEdid({CtaBlock(Concat({dupVic, hdmi600})), padded}),
         {"duplicate-vic: Video Data Block: repeated video codes removed: 16",
          "padding: CTA-861 block 2: Padding: non-zero bytes: 1 \xE2\x86\x92 0",
          "hdmi-tmds: HDMI Vendor-Specific Data Block: maximum TMDS clock 600 \xE2\x86\x92 340 "
          "MHz"}},
        {"a code repeated in a second CTA-861 block",
         LargeEdid({CtaBlock({0x42, 0x10, 0x04}), CtaBlock({0x42, 0x04, 0x02})}),
         {"duplicate-vic: CTA-861 block 2: Video Data Block: repeated video codes removed: 4"}},
        {"a repeated code the later block marks 4:2:0 capable stays",
         LargeEdid({CtaBlock({0x42, 0x10, 0x04}), CtaBlock({0x42, 0x04, 0x02, 0xE2, 0x0F, 0x01})}),
         {},
         {"duplicate-vic"}},
        {"a block map first",
         LargeEdid({BlockMapBlock({0x02}), CtaBlock(hdmi600)}),
         {"hdmi-tmds: CTA-861 block 2: HDMI Vendor-Specific Data Block: maximum TMDS clock: 600 "
          "MHz \xE2\x86\x92 340 MHz"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RepairResult r = RepairEdid(c.in);
        ASSERT_EQ(r.bytes.size(), c.in.size());
        std::vector<std::string> texts = RepairChangeTexts(r);
        std::erase_if(texts, [](const std::string& t) { return t.starts_with("empty-"); });
        EXPECT_EQ(texts, c.texts);
        const EdidBlocks blocks = ReadEdidBlocks(r.bytes);
        ASSERT_EQ(blocks.blocks.size(), c.in.size() / 128);
        for (const EdidBlock& b : blocks.blocks) {
            EXPECT_TRUE(b.checksumOk) << "block " << b.index;
            if (b.kind != BlockKind::Cta && b.index > 0) {
                EXPECT_TRUE(std::equal(r.bytes.begin() + b.offset, r.bytes.begin() + b.offset + 127,
                                       c.in.begin() + b.offset))
                    << "block " << b.index;
            }
        }
        // nothing a default repair mends is left, in any block, but what the case leaves
        std::set<std::string> left;
        for (const Finding& f : r.after)
            if (f.rule == "checksum" || f.rule == "duplicate-vic" || f.rule == "padding" ||
                f.rule == "hdmi-tmds")
                left.insert(f.rule);
        EXPECT_EQ(left, c.left);
        EXPECT_FALSE(RepairEdid(r.bytes).changed());
    }
}

// ---- over the real samples ----

namespace {

std::vector<fs::path> SampleFiles() {
    std::vector<fs::path> out;
    std::vector<fs::path> dirs = {fs::path(TAVO_TEST_DATA) / "edid",
                                  fs::path(TAVO_TEST_DATA) / "repair"};
    // more EDIDs for a local run: TAVO_EDID_SAMPLES=DIR
    if (const char* extra = std::getenv("TAVO_EDID_SAMPLES")) dirs.emplace_back(extra);
    for (const auto& dir : dirs)
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() == ".bin" &&
                e.path().filename().string().find(".repaired") == std::string::npos)
                out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

Bytes ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// What an EDID claims, as a reader finds it in the bytes and in the decoder's record.
struct Claims {
    std::multiset<int> vics, nativeVics;
    std::set<std::array<std::uint8_t, 3>> audio;
    std::set<std::string> dataBlocks;
    int hdmiTmds = 0, forumRate = 0, colorimetry = 0, metadata = 0;
    EdidRecord record;
};

Claims ClaimsOf(const EdidImage& img) {
    Claims c;
    Decode(c.record, img);
    for (const auto& part : MapBlocks(img)) {
        if (!part.IsDataBlock()) continue;
        c.dataBlocks.insert(part.name);
        const auto* b = &img[part.offset];
        for (int i = 1; i < part.length; ++i) {
            if (part.tag == 2) {
                const int vic = b[i] >= 129 && b[i] <= 192 ? b[i] & 0x7F : b[i];
                c.vics.insert(vic);
                if (b[i] >= 129 && b[i] <= 192) c.nativeVics.insert(vic);
            }
            if (part.tag == 1 && i + 2 < part.length && (i - 1) % 3 == 0)
                c.audio.insert({b[i], b[i + 1], b[i + 2]});
        }
        if (part.name.rfind("HDMI Vendor", 0) == 0 && part.length > 7) c.hdmiTmds = b[7];
        if (part.name.rfind("HDMI Forum", 0) == 0 && part.length > 5) c.forumRate = b[5];
        if (part.extendedTag == 5 && part.length > 3) c.colorimetry = b[2], c.metadata = b[3];
    }
    return c;
}

template <typename T> bool Within(const std::multiset<T>& a, const std::multiset<T>& b) {
    return std::includes(b.begin(), b.end(), a.begin(), a.end());
}
template <typename T> bool Within(const std::set<T>& a, const std::set<T>& b) {
    return std::includes(b.begin(), b.end(), a.begin(), a.end());
}
bool BitsWithin(unsigned a, unsigned b) {
    return (a & ~b) == 0;
}
template <std::size_t N> std::set<int> NonZeroSet(const std::array<std::uint8_t, N>& a) {
    std::set<int> out;
    for (auto v : a)
        if (v) out.insert(v);
    return out;
}

// The image as a reader takes it before the repair: checksums sound (they claim nothing), and
// an extension the repair announces read as announced (a reader of the whole EDID sees it).
EdidImage ReadAsBefore(EdidImage img, const EdidImage& repaired) {
    if (img[126] == 0 && repaired[126] == 1) img[126] = 1;
    FixChecksums(img);
    return img;
}

} // namespace

TEST(Repair, DefaultRepairsNeverRaiseAClaim) {
    int repaired = 0;
    for (const auto& p : SampleFiles()) {
        SCOPED_TRACE(p.filename().string());
        const Bytes bytes = ReadBytes(p);
        const EdidImage in = ImageFromBytes(bytes.data(), bytes.size());
        const RepairResult r = RepairImage(in);
        ASSERT_EQ(r.bytes.size(), kEdidSize);
        EdidImage out;
        std::copy(r.bytes.begin(), r.bytes.end(), out.begin());
        if (!r.changed()) {
            EXPECT_EQ(out, in);
            continue;
        }
        ++repaired;
        const Claims a = ClaimsOf(ReadAsBefore(in, out)), b = ClaimsOf(out);
        EXPECT_TRUE(Within(b.vics, a.vics) || b.vics.empty());
        EXPECT_EQ(std::set<int>(b.vics.begin(), b.vics.end()),
                  std::set<int>(a.vics.begin(), a.vics.end()))
            << "a default repair removes repeats only";
        EXPECT_TRUE(Within(std::set<int>(b.nativeVics.begin(), b.nativeVics.end()),
                           std::set<int>(a.nativeVics.begin(), a.nativeVics.end())));
        EXPECT_TRUE(Within(b.audio, a.audio));
        EXPECT_TRUE(Within(b.dataBlocks, a.dataBlocks));
        EXPECT_LE(b.hdmiTmds, a.hdmiTmds);
        EXPECT_LE(b.forumRate, a.forumRate);
        EXPECT_TRUE(BitsWithin(b.colorimetry, a.colorimetry));
        EXPECT_TRUE(BitsWithin(b.metadata, a.metadata));
        const EdidRecord &ra = a.record, &rb = b.record;
        EXPECT_TRUE(Within(NonZeroSet(rb.yuv420VideoCodes), NonZeroSet(ra.yuv420VideoCodes)));
        EXPECT_TRUE(Within(NonZeroSet(rb.hdmiVics), NonZeroSet(ra.hdmiVics)));
        EXPECT_TRUE(BitsWithin(rb.audioFormatsPresent, ra.audioFormatsPresent));
        EXPECT_TRUE(BitsWithin(rb.deepColor, ra.deepColor));
        EXPECT_TRUE(BitsWithin(rb.hdrEotfs, ra.hdrEotfs));
        EXPECT_TRUE(BitsWithin(rb.videoCapability, ra.videoCapability));
        EXPECT_LE(rb.maxChannels, ra.maxChannels);
        EXPECT_LE(rb.colorDepth, ra.colorDepth);
        EXPECT_LE(rb.support600MHz, ra.support600MHz);
        EXPECT_EQ(rb.speakerAllocation, ra.speakerAllocation);
        // the summary rows that say "Yes" after the repair said it before
        EdidRecord sa = ra, sb = rb;
        const AnalyzerSummary ya = AnalyseEdid(sa), yb = AnalyseEdid(sb);
        for (const SummaryRow row :
             {SummaryRow::Support3D, SummaryRow::SupportYuv420, SummaryRow::SupportScdc,
              SummaryRow::Support600MHz, SummaryRow::SupportHdr})
            if (yb.Row(row) == "Yes") {
                EXPECT_EQ(ya.Row(row), "Yes");
            }
        if (yb.valid) {
            EXPECT_EQ(yb.Row(SummaryRow::MaxResolution), ya.Row(SummaryRow::MaxResolution));
        }
        // the range limits and the detailed timings are no default repair's business
        EXPECT_EQ(std::vector(out.begin() + 54, out.begin() + 72),
                  std::vector(in.begin() + 54, in.begin() + 72));
        // the check: the repaired rules' findings gone, no rule found that was not before
        std::set<std::string> before, after;
        for (const auto& f : r.before)
            before.insert(f.rule);
        for (const auto& f : r.after)
            after.insert(f.rule);
        for (const auto& change : r.changes)
            EXPECT_EQ(after.count(change.rule), 0u) << change.rule << " still found";
        EXPECT_TRUE(Within(after, before));
        // repaired again: nothing left to repair
        const RepairResult again = RepairImage(out);
        EXPECT_FALSE(again.changed()) << RepairChangeTexts(again).front();
    }
    EXPECT_GE(repaired, 10);
}

// The EDID's own size stays: a 128-byte EDID is repaired as one block and stays 128 bytes, and
// repairs named by the caller run on top of the defaults, still idempotent.
TEST(Repair, SizeAndNamedRepairsOnSamples) {
    const std::vector<std::string> all = {"range-limits", "native-timings", "hdmi-version",
                                          "missing-vcdb", "serial-number",  "image-size"};
    for (const auto& p : SampleFiles()) {
        SCOPED_TRACE(p.filename().string());
        const Bytes bytes = ReadBytes(p);
        const std::size_t size = bytes.size() <= 128 ? 128 : 256;
        Bytes edid = bytes;
        edid.resize(size, 0xFF);
        const RepairResult r = RepairEdid(edid, all);
        ASSERT_EQ(r.bytes.size(), size);
        for (int b = 0; b < static_cast<int>(size / 128); ++b) {
            unsigned sum = 0;
            for (int i = 0; i < 128; ++i)
                sum += r.bytes[b * 128 + i];
            EXPECT_EQ(sum & 0xFF, 0u) << "block " << b;
        }
        const RepairResult again = RepairEdid(r.bytes, all);
        EXPECT_FALSE(again.changed()) << RepairChangeTexts(again).front();
        // the rules whose repair always applies where the check finds them are cleared
        for (const auto& f : r.after)
            for (const char* rule :
                 {"range-limits", "native-timings", "hdmi-version", "serial-number", "checksum",
                  "duplicate-vic", "hdmi-tmds", "hf-tmds", "colorimetry-reserved", "padding"})
                EXPECT_NE(f.rule, rule) << f.text;
    }
}

// A 256-byte image whose extension area is erased is repaired as its base block alone: the
// erased bytes stay as they are.
TEST(Repair, ImageWithErasedExtensionArea) {
    EdidImage img = BaseOnly();
    for (const int at : {54, 72, 90, 108})
        img[at + 3] = 0x10;
    FixChecksum(img, 0);
    std::fill(img.begin() + 128, img.end(), 0xFF);
    img[127] ^= 0x01;
    const RepairResult r = RepairImage(img);
    ASSERT_EQ(r.changes.size(), 1u);
    EXPECT_EQ(r.changes[0].rule, "checksum");
    EXPECT_TRUE(
        std::all_of(r.bytes.begin() + 128, r.bytes.end(), [](auto v) { return v == 0xFF; }));
    EXPECT_TRUE(IsRepairRule("range-limits"));
    EXPECT_FALSE(IsRepairRule("srgb"));
    EXPECT_FALSE(RepairEdid({}).changed());
    // no EDID header: nothing to repair, however wrong the rest
    EdidImage noHeader = BadChecksum();
    noHeader[1] = 0x00;
    EXPECT_FALSE(RepairImage(noHeader).changed());
    EXPECT_EQ(RepairImage(noHeader).bytes, Bytes(noHeader.begin(), noHeader.end()));
}

// Real EDIDs with random bytes changed (a fixed seed), every repair named: the size kept, every
// block sound afterwards, and a second repair changes nothing.
TEST(Repair, MutatedSamplesRepairOnce) {
    std::mt19937 random(27);
    std::vector<std::string> all;
    for (const auto& rule : RepairRuleList())
        all.emplace_back(rule.id);
    int changed = 0;
    for (const auto& p : SampleFiles()) {
        const Bytes original = ReadBytes(p);
        for (int round = 0; round < 40; ++round) {
            Bytes bytes = original;
            const int edits = 1 + static_cast<int>(random() % 6);
            for (int e = 0; e < edits; ++e)
                bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
            const RepairResult r = RepairEdid(bytes, all);
            ASSERT_EQ(r.bytes.size(), bytes.size());
            if (!r.changed()) continue;
            ++changed;
            for (std::size_t b = 0; b + 128 <= r.bytes.size(); b += 128) {
                unsigned sum = 0;
                for (std::size_t i = b; i < b + 128; ++i)
                    sum += r.bytes[i];
                EXPECT_EQ(sum & 0xFF, 0u) << p.filename() << " round " << round;
            }
            const RepairResult again = RepairEdid(r.bytes, all);
            EXPECT_FALSE(again.changed())
                << p.filename() << " round " << round << ": " << RepairChangeTexts(again).front();
        }
    }
    EXPECT_GT(changed, 100);
}
