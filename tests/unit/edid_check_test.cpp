// The check: real EDIDs with the rules each must and must not raise (as edid-decode --check
// raises them), built EDIDs for the rules the samples leave out, and the verdict, summary and
// JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "edid/Check.h"
#include "edid_builders.h"

using namespace tavo;
using namespace tavo::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> ReadSample(const std::string& name) {
    std::ifstream in(fs::path(TAVO_TEST_DATA) / "edid" / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "rule!" for a failure, "rule?" for a warning.
std::set<std::string> Raised(const std::vector<Finding>& findings) {
    std::set<std::string> out;
    for (const Finding& f : findings)
        out.insert(f.rule + (f.severity == Severity::Failure ? "!" : "?"));
    return out;
}

std::set<std::string> Rules(const std::vector<Finding>& findings) {
    std::set<std::string> out;
    for (const Finding& f : findings)
        out.insert(f.rule);
    return out;
}

std::vector<Finding> CheckBytes(const EdidImage& img, std::size_t size = kEdidSize) {
    return CheckEdid(std::span<const std::uint8_t>(img.data(), size));
}

struct SampleCase {
    const char* file;
    std::set<std::string> raised; // exactly these, with their severities
};

// What edid-decode --check (Debian 12) reports for each, in rule terms.
const SampleCase kSamples[] = {
    {"002d10c53aa9561f.bin", {"empty-descriptor!", "missing-name!"}},
    {"003e3a86840230ba.bin",
     {"image-size!", "missing-vcdb!", "native-timings?", "range-limits!", "serial-number?",
      "srgb!"}},
    {"00f9ebab5d16e4d7.bin", {"it-overscan?", "missing-vcdb!", "native-timings!", "range-limits?"}},
    {"021345d04455e827.bin", {"descriptor-text!", "extension-count!", "gtf!", "gtf?"}},
    {"043ee99858195f4a.bin", {"extension-count!"}},
    {"04d535e716efdc2b.bin",
     {"descriptor-text!", "it-overscan?", "missing-name!", "missing-vcdb!", "required-timings!"}},
    {"05a56ba71e1ddc67.bin",
     {"colorimetry-reserved!", "duplicate-vic!", "image-size!", "missing-vcdb!", "native-timings!",
      "range-limits!"}},
    {"0716a23fd78ad31d.bin", {}},
    {"0a2f6adf41d8ea44.bin", {"colorimetry-reserved!", "image-size!", "vcdb-quantization?"}},
    {"0b420c464d9c5469.bin",
     {"colorimetry-reserved!", "hdmi-tmds!", "image-size!", "it-overscan?", "missing-vcdb!",
      "native-timings!", "range-limits!"}},
    {"1865d631944fcb58.bin",
     {"descriptor-text!", "hf-tmds!", "image-size!", "native-timings?", "serial-number?",
      "vcdb-quantization?"}},
    {"42732ae63cde488c.bin",
     {"checksum!", "image-size!", "missing-vcdb!", "padding!", "range-limits!"}},
    {"5b3c1571e4005dfc.bin", {"missing-range-limits!"}},
    {"00b3ac0f83f56f03.bin",
     {"dtd-vs-vic?", "hdmi-tmds!", "image-size!", "it-overscan?", "missing-vcdb!",
      "native-timings?", "range-limits!", "serial-number?"}},
    {"006a9b43537f6e73.bin",
     {"gtf!", "gtf?", "hdmi-version!", "missing-vcdb!", "native-timings!", "range-limits?",
      "serial-number?"}},
    {"030407fccf28cb1f.bin",
     {"hdmi-vic-equivalent!", "image-size!", "it-overscan?", "missing-vcdb!", "range-limits!"}},
    {"0b67485f5fd26132.bin", {"dtd-order!", "hdmi-tmds!", "missing-vcdb!", "srgb!"}},
};

TEST(Check, SamplesRaiseExactlyTheirRules) {
    for (const SampleCase& c : kSamples) {
        const auto bytes = ReadSample(c.file);
        ASSERT_GE(bytes.size(), 128u) << c.file;
        EXPECT_EQ(Raised(CheckEdid(bytes)), c.raised) << c.file;
    }
}

TEST(Check, FindingsNameTheirPartAndAreOrdered) {
    const auto bytes = ReadSample("05a56ba71e1ddc67.bin");
    const auto findings = CheckEdid(bytes);
    ASSERT_FALSE(findings.empty());
    EXPECT_TRUE(std::is_sorted(findings.begin(), findings.end(), [](const auto& a, const auto& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.rule < b.rule;
    }));
    for (const Finding& f : findings) {
        EXPECT_FALSE(f.part.empty()) << f.rule;
        EXPECT_FALSE(f.text.empty()) << f.rule;
        EXPECT_LE(f.offset + f.length, 256) << f.rule;
        ASSERT_NE(FindCheckRule(f.rule), nullptr) << f.rule;
    }
    const auto dup = std::find_if(findings.begin(), findings.end(),
                                  [](const Finding& f) { return f.rule == "duplicate-vic"; });
    ASSERT_NE(dup, findings.end());
    EXPECT_EQ(dup->part, "Video Data Block");
    EXPECT_NE(dup->text.find("VIC "), std::string::npos);
}

// A serial number descriptor in the last descriptor slot.
void PutSerial(EdidImage& img) {
    const Bytes d = {0,   0,   0,   0xFF, 0,   '1', '2', '3', '\n',
                     ' ', ' ', ' ', ' ',  ' ', ' ', ' ', ' ', ' '};
    std::copy(d.begin(), d.end(), img.begin() + 108);
}

// A clean base block: EDID 1.3, sRGB-free chromaticities, 640x480 established, a preferred
// 1920x1080 detailed timing, range limits that hold it, a name and a display size to match.
EdidImage CleanBase() {
    EdidImage img = BaseOnly();
    img[20] = 0x80; // digital
    img[21] = 53, img[22] = 30;
    img[24] = 0x0A; // RGB, preferred timing
    img[35] = 0x20; // 640x480 at 60 Hz
    const Bytes dtd = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                       0x2C, 0x45, 0x00, 0x13, 0x2B, 0x21, 0x00, 0x00, 0x1E}; // 531x299 mm
    std::copy(dtd.begin(), dtd.end(), img.begin() + 54);
    const Bytes range = {0, 0, 0, 0xFD, 0, 50, 75, 30, 83, 16, 0, 0x0A, 32, 32, 32, 32, 32, 32};
    std::copy(range.begin(), range.end(), img.begin() + 72);
    PutNameDescriptor(img, 2, Text("Test\n        "));
    const Bytes dummy = {0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::copy(dummy.begin(), dummy.end(), img.begin() + 108);
    FixChecksum(img, 0);
    return img;
}

TEST(Check, CleanBaseBlockPasses) {
    const EdidImage img = CleanBase();
    const auto findings = CheckBytes(img, 128);
    EXPECT_TRUE(findings.empty()) << FindingText(findings.front());
    EXPECT_EQ(VerdictOf(findings), Verdict::Pass);
    EXPECT_TRUE(CheckImage(img).empty()) << "an erased extension area is no extension";
}

struct BaseCase {
    const char* name;
    void (*change)(EdidImage&);
    std::set<std::string> raised;
};

const BaseCase kBaseCases[] = {
    {"header", [](EdidImage& i) { i[1] = 0xFE; }, {"header!"}},
    {"srgb flag", [](EdidImage& i) { i[24] |= 0x04; }, {"srgb!"}},
    {"1.4 reserved depth",
     [](EdidImage& i) { i[19] = 4, i[20] = 0xF1, i[24] |= 1, i[82] = 1; },
     {"video-interface!"}},
    {"1.4 reserved interface",
     [](EdidImage& i) { i[19] = 4, i[20] = 0x96, i[24] |= 1, i[82] = 1; },
     {"video-interface!"}},
    {"1.3 interface bits", [](EdidImage& i) { i[20] = 0x85; }, {"video-interface!"}},
    {"1.3 without preferred", [](EdidImage& i) { i[24] &= ~0x02; }, {"dtd-order!"}},
    {"range too narrow 1.3",
     [](EdidImage& i) { i[72 + 8] = 60; },
     {"range-limits!"}}, // 67.5 kHz over 60
    {"range too narrow 1.4",
     [](EdidImage& i) { i[19] = 4, i[24] |= 0x01, i[72 + 10] = 0x01, i[72 + 8] = 60; },
     {"range-limits?"}},
    {"range off by one", [](EdidImage& i) { i[72 + 8] = 67; }, {"range-limits?"}}, // 67.5 kHz
    {"clock over the limit", [](EdidImage& i) { i[72 + 9] = 13; }, {"range-limits!"}},
    {"clock within rounding", [](EdidImage& i) { i[72 + 9] = 14; }, {"range-limits?"}},
    {"gtf in 1.4", [](EdidImage& i) { i[19] = 4; }, {"gtf!", "gtf?"}},
    {"image larger than display", [](EdidImage& i) { i[21] = 40; }, {"image-size!"}},
    {"no display size", [](EdidImage& i) { i[21] = 0, i[22] = 0; }, {"image-size!"}},
    {"no name", [](EdidImage& i) { i[108 - 18 + 3] = 0x10; }, {"missing-name!"}},
    {"no range limits", [](EdidImage& i) { i[72 + 3] = 0x10; }, {"missing-range-limits!"}},
    {"all-zero descriptor",
     [](EdidImage& i) { std::fill_n(i.begin() + 108, 18, 0); },
     {"empty-descriptor!"}},
    {"name with trailing spaces",
     [](EdidImage& i) { PutNameDescriptor(i, 2, Text("Test \n       ")); },
     {"descriptor-text!"}},
    {"name empty",
     [](EdidImage& i) { PutNameDescriptor(i, 2, Text("\n            ")); },
     {"descriptor-text!"}},
    {"name with a control character",
     [](EdidImage& i) { PutNameDescriptor(i, 2, Text("Te\tst\n       ")); },
     {"descriptor-text!"}},
    {"zeroes after the line feed",
     [](EdidImage& i) {
         PutNameDescriptor(i, 2, Bytes{'T', 'e', 's', 't', '\n'});
     },
     {"descriptor-text!"}},
    {"text after the line feed (as the reference decoder, not raised)",
     [](EdidImage& i) { PutNameDescriptor(i, 2, Text("Test\nXY      ")); },
     {}},
    {"no 640x480 without an extension", [](EdidImage& i) { i[35] = 0; }, {}},
    {"serial number without an extension", [](EdidImage& i) { i[12] = 7, PutSerial(i); }, {}},
    {"extension announced, not held", [](EdidImage& i) { i[126] = 1; }, {"extension-count!"}},
};

void Dump(const EdidImage& img, std::size_t size, const std::string& name) {
    if (const char* dir = std::getenv("TAVO_CHECK_DUMP")) {
        std::ofstream out(fs::path(dir) / (name + ".bin"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(size));
    }
}

TEST(Check, BuiltBaseBlocks) {
    int n = 0;
    for (const BaseCase& c : kBaseCases) {
        EdidImage img = CleanBase();
        c.change(img);
        FixChecksum(img, 0);
        Dump(img, 128, "base" + std::to_string(n++));
        EXPECT_EQ(Raised(CheckBytes(img, 128)), c.raised) << c.name;
    }
}

TEST(Check, ChecksumOfEachBlock) {
    EdidImage img = CleanBase();
    img[127] ^= 1;
    auto f = CheckBytes(img, 128);
    ASSERT_EQ(Rules(f), std::set<std::string>{"checksum"});
    EXPECT_EQ(f[0].part, "Checksum");
    EXPECT_EQ(f[0].offset, 127);
    EXPECT_NE(f[0].text.find("Block 0"), std::string::npos);
}

// The clean base block with a CTA-861 extension around `blocks`, a VCDB that selects both
// quantization ranges and IT formats underscanned.
EdidImage WithExtension(const Bytes& blocks, std::uint8_t byte131 = 0x80) {
    EdidImage base = CleanBase();
    EdidImage img = WithBlocks(Concat({Bytes{0xE2, 0x00, 0xC0}, blocks}), byte131);
    std::copy_n(base.begin(), 126, img.begin());
    img[126] = 1;
    FixChecksums(img);
    return img;
}

const Bytes kVdb = {0x43, 0x10, 0x04, 0x01}; // VIC 16, 4, 1

struct CtaCase {
    const char* name;
    Bytes blocks;
    std::uint8_t byte131;
    std::set<std::string> raised;
};

const CtaCase kCtaCases[] = {
    {"clean", kVdb, 0x80, {}},
    {"overscanned IT formats", kVdb, 0x00, {"it-overscan?"}},
    {"duplicate VIC", {0x44, 0x10, 0x04, 0x01, 0x90}, 0x80, {"duplicate-vic!"}},
    {"two native resolutions", {0x43, 0x90, 0x84, 0x01}, 0x80, {"native-timings!"}},
    {"no 640x480", {0x42, 0x10, 0x04}, 0x80, {}}, // the base block lists it
    {"colorimetry MD0", Concat({kVdb, {0xE3, 0x05, 0x03, 0x01}}), 0x80, {"colorimetry-reserved!"}},
    {"HDMI clock 600 MHz",
     Concat({kVdb, {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 120}}),
     0x80,
     {"hdmi-tmds!"}},
    {"HDMI clock 340 MHz",
     Concat({kVdb, {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 68}}),
     0x80,
     {}},
    {"HDMI Forum rate 300 MHz",
     Concat({kVdb,
             {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 60},
             {0x67, 0xD8, 0x5D, 0xC4, 0x01, 60, 0x00, 0x00}}),
     0x80,
     {"hf-tmds!"}},
    {"HDMI Forum rate 600 MHz",
     Concat({kVdb,
             {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 60},
             {0x67, 0xD8, 0x5D, 0xC4, 0x01, 120, 0x00, 0x00}}),
     0x80,
     {}},
    {"HDMI VIC without its video code",
     Concat({kVdb, {0x6B, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 60, 0x20, 0x00, 0x20, 0x01}}),
     0x80,
     {"hdmi-vic-equivalent!", "range-limits!"}},
};

TEST(Check, BuiltExtensions) {
    int n = 0;
    for (const CtaCase& c : kCtaCases) {
        const EdidImage img = WithExtension(c.blocks, c.byte131);
        Dump(img, kEdidSize, "cta" + std::to_string(n++));
        EXPECT_EQ(Raised(CheckBytes(img)), c.raised) << c.name;
    }
}

// The clean base block (EDID 1.3, range limits 50-75 Hz, 30-83 kHz, 160 MHz), the clean
// extension and a DisplayID block of `version` holding `blocks`: the timings DisplayID declares
// count for the range limits and the near-timing rule, as edid-decode --check counts them. With
// `third`, that block instead: a second CTA-861 extension is checked as edid-decode checks it.
struct DisplayIdCase {
    const char* name; // also the file name under tests/data/check
    std::uint8_t version;
    Bytes blocks;
    std::set<std::string> raised;
    Bytes third = {};
};

// A second CTA-861 extension: `blocks`, byte 3 `byte3`, `timings` detailed timings (1920x1080 at
// 60 Hz, 1600x900 mm) and a non-zero padding byte when `padded`.
Bytes SecondCta(const Bytes& blocks, std::uint8_t byte3 = 0x80, int timings = 0,
                bool padded = false) {
    Bytes b = CtaBlock(blocks, -1, timings);
    b[3] = byte3;
    if (padded) b[120] = 0x01;
    FixBlockChecksum(b, 0);
    return b;
}

const Bytes kVic2 = {0x41, 0x02}; // 720x480 at 60 Hz, inside the range limits

const DisplayIdCase kDisplayIdCases[] = {
    {"displayid-type1-within", 0x13, DidBlock(0x03, 0, DidTiming(6402, 1280, 160, 720, 21)), {}},
    {"displayid-type1-outside", // 2560x1440 at 60 Hz: 88.8 kHz, 241.5 MHz
     0x13,
     DidBlock(0x03, 0, DidTiming(24150, 2560, 160, 1440, 41)),
     {"range-limits!"}},
    {"displayid-type7-144hz", // 1920x1080 at 144 Hz: 160 kHz, 332.75 MHz
     0x20,
     DidBlock(0x22, 0, DidTiming(332750, 1920, 160, 1080, 31, true)),
     {"range-limits!"}},
    {"displayid-type1-near-vic16", // VIC 16's totals with other porches
     0x13,
     DidBlock(0x03, 0, DidTiming(14850, 1920, 280, 1080, 45)),
     {"dtd-vs-vic?"}},
    {"displayid-type4-dmt", 0x13, DidBlock(0x06, 0, {0x52, 0x44}), {}},
    {"displayid-type4-dmt-outside", 0x13, DidBlock(0x06, 0, {0x4C}), {"range-limits!"}},
    {"displayid-type8-vic97", 0x20, DidBlock(0x23, 0x40, {97}), {"range-limits!"}},
    {"displayid-type8-dmt-unknown", 0x20, DidBlock(0x23, 0, {97}), {}}, // no DMT 0x61
    {"displayid-type3-cvt-rb", 0x13, DidBlock(0x05, 0, {0x14, 239, 119}), {"range-limits!"}},
    {"displayid-type9-cvt", // 2560x1440 at 60 Hz, CVT: 89.5 kHz, 312.25 MHz
     0x20,
     DidBlock(0x24, 0, {0x00, 0xFF, 0x09, 0x9F, 0x05, 59}),
     {"range-limits!"}},
    {"displayid-type10-not-counted", // edid-decode does not read type X
     0x20,
     DidBlock(0x2A, 0, {0x00, 0xFF, 0x09, 0x9F, 0x05, 59}),
     {}},
    {"displayid-cta-vic97", 0x20, DidBlock(0x81, 0, {0x41, 97}), {"range-limits!"}},
    {"displayid-cta-420-vic97", 0x20, DidBlock(0x81, 0, {0xE2, 14, 97}), {"range-limits!"}},
    {"cta2-clean", 0, {}, {}, SecondCta(kVic2)},
    {"cta2-duplicate-vic", 0, {}, {"duplicate-vic!"}, SecondCta({0x41, 0x10})},
    {"cta2-overscan", 0, {}, {"it-overscan?"}, SecondCta(kVic2, 0x00)},
    {"cta2-colorimetry-md0",
     0,
     {},
     {"colorimetry-reserved!"},
     SecondCta(Concat({kVic2, {0xE3, 0x05, 0x03, 0x01}}))},
    {"cta2-hdmi-600",
     0,
     {},
     {"hdmi-tmds!"},
     SecondCta(Concat({kVic2, {0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 120}}))},
    {"cta2-vcdb-rgb",
     0,
     {},
     {"vcdb-quantization!"},
     SecondCta(Concat({kVic2, {0xE2, 0x00, 0x00}}))},
    {"cta2-vic97-outside", 0, {}, {"range-limits!"}, SecondCta({0x41, 97})},
    {"cta2-padding", 0, {}, {"padding!"}, SecondCta(kVic2, 0x80, 0, true)},
    {"cta2-dtd-image-size", 0, {}, {"image-size!"}, SecondCta(kVic2, 0x80, 1)},
};

Bytes WithDisplayId(const DisplayIdCase& c) {
    const EdidImage cta = WithExtension(kVdb);
    Bytes out(cta.begin(), cta.end());
    out[126] = 2;
    FixBlockChecksum(out, 0);
    const Bytes did = c.third.empty() ? DisplayIdBlock(c.version, 0, c.blocks) : c.third;
    out.insert(out.end(), did.begin(), did.end());
    return out;
}

// The cases are pinned as files, which the edid-decode comparison reads (TAVO_WRITE_GOLDEN=1
// rewrites them).
TEST(Check, DisplayIdTimingsCount) {
    const fs::path dir = fs::path(TAVO_TEST_DATA) / "check";
    for (const DisplayIdCase& c : kDisplayIdCases) {
        const Bytes bytes = WithDisplayId(c);
        const fs::path file = dir / (std::string(c.name) + ".bin");
        if (std::getenv("TAVO_WRITE_GOLDEN") != nullptr) {
            fs::create_directories(dir);
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
        std::ifstream in(file, std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
                  bytes)
            << file;
        EXPECT_EQ(Raised(CheckEdid(bytes)), c.raised) << c.name;
    }
    // the finding names the DisplayID timing
    const auto findings = CheckEdid(WithDisplayId(kDisplayIdCases[1]));
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].text.find("2560x1440 at 60 Hz (DisplayID detailed timing 1) needs 88.8"),
              std::string::npos)
        << findings[0].text;
    // cut to its first two blocks, the same EDID passes
    const Bytes whole = WithDisplayId(kDisplayIdCases[1]);
    const Bytes two(whole.begin(), whole.begin() + 256);
    EXPECT_EQ(Rules(CheckEdid(two)), std::set<std::string>{"extension-count"});
}

// A finding in a second CTA-861 extension names its part there; the video capability block must
// stand in the first extension, one in the second comes too late.
TEST(Check, SecondCtaExtension) {
    const auto padding = CheckEdid(WithDisplayId({"", 0, {}, {}, SecondCta(kVic2, 0x80, 0, true)}));
    ASSERT_EQ(padding.size(), 1u);
    EXPECT_GE(padding[0].offset, 256);
    EXPECT_LT(padding[0].offset, 384);
    EXPECT_EQ(padding[0].part, "Padding");

    EdidImage first = WithBlocks(kVdb, 0x80); // no video capability block
    std::copy_n(CleanBase().begin(), 126, first.begin());
    first[126] = 2;
    FixChecksums(first);
    Bytes late(first.begin(), first.end());
    const Bytes second = SecondCta({0xE2, 0x00, 0xC0});
    late.insert(late.end(), second.begin(), second.end());
    EXPECT_EQ(Raised(CheckEdid(late)), std::set<std::string>{"missing-vcdb!"});
    // the same block in the first extension and none in the second passes
    Bytes early = WithDisplayId({"", 0, {}, {}, SecondCta({})});
    EXPECT_EQ(Raised(CheckEdid(early)), std::set<std::string>{});
}

TEST(Check, ExtensionWithoutCapabilityBlockOrPadding) {
    EdidImage img = WithBlocks(kVdb, 0x80);
    const EdidImage base = CleanBase();
    std::copy_n(base.begin(), 126, img.begin());
    img[126] = 1;
    img[250] = 7; // in the padding after the (absent) detailed timings
    FixChecksums(img);
    EXPECT_EQ(Raised(CheckBytes(img)), (std::set<std::string>{"missing-vcdb!", "padding!"}));
    // a 256-byte image whose byte 126 is 0 still holds its extension (CheckImage ignores it only
    // when erased)
    img[126] = 0;
    FixChecksums(img);
    const std::set<std::string> want = {"extension-count", "missing-vcdb", "padding"};
    EXPECT_EQ(Rules(CheckBytes(img)), want);
    EXPECT_EQ(Rules(CheckImage(img)), want);
}

TEST(Check, HdmiAsksForEdid13AndSerialNumberOnce) {
    EdidImage img = WithExtension(Concat({kVdb, {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}}));
    img[19] = 4, img[24] |= 0x01, img[72 + 10] = 0x01;
    img[12] = 1;
    PutSerial(img);
    FixChecksums(img);
    EXPECT_EQ(Raised(CheckBytes(img)), (std::set<std::string>{"hdmi-version!", "serial-number?"}));
}

TEST(Check, ShortInputsAndWholeBlocksOnly) {
    const EdidImage img = CleanBase();
    EXPECT_TRUE(CheckEdid(std::span<const std::uint8_t>(img.data(), 127)).empty());
    // bytes past the last whole block are ignored
    EXPECT_TRUE(CheckEdid(std::span<const std::uint8_t>(img.data(), 200)).empty());
}

TEST(Check, RulesTable) {
    const std::set<std::string> listed = {"checksum",
                                          "header",
                                          "extension-count",
                                          "range-limits",
                                          "missing-range-limits",
                                          "missing-name",
                                          "serial-number",
                                          "image-size",
                                          "srgb",
                                          "native-timings",
                                          "missing-vcdb",
                                          "vcdb-quantization",
                                          "it-overscan",
                                          "dtd-vs-vic",
                                          "gtf",
                                          "hdmi-version",
                                          "colorimetry-reserved",
                                          "duplicate-vic",
                                          "descriptor-text",
                                          "hdmi-tmds",
                                          "hf-tmds",
                                          "empty-descriptor",
                                          "padding",
                                          "hdmi-vic-equivalent",
                                          "dtd-order",
                                          "required-timings",
                                          "video-interface"};
    std::set<std::string> ids;
    for (const CheckRule& r : CheckRules()) {
        EXPECT_TRUE(ids.insert(std::string(r.id)).second) << r.id;
        EXPECT_EQ(FindCheckRule(r.id), &r);
        EXPECT_FALSE(r.summary.empty());
    }
    EXPECT_EQ(ids, listed);
    EXPECT_EQ(FindCheckRule("no-such-rule"), nullptr);
    EXPECT_EQ(FindCheckRule("checksum")->repair, RepairKind::Default);
    EXPECT_EQ(FindCheckRule("range-limits")->repair, RepairKind::Named);
    EXPECT_EQ(FindCheckRule("srgb")->repair, RepairKind::None);
}

TEST(Check, SummaryVerdictAndJson) {
    EXPECT_EQ(CheckSummaryLine({}), "Check: no finding");
    const Finding fail{"checksum", Severity::Failure, "Checksum", 127, 1, "Bad \"sum\"\n"};
    const Finding warn{"it-overscan", Severity::Warning, "CTA-861 Extension Header", 128, 4, "W"};
    EXPECT_EQ(CheckSummaryLine({fail}), "Check: 1 failure");
    EXPECT_EQ(CheckSummaryLine({warn}), "Check: 1 warning");
    EXPECT_EQ(CheckSummaryLine({fail, fail, warn}), "Check: 2 failures, 1 warning");
    EXPECT_EQ(VerdictOf({}), Verdict::Pass);
    EXPECT_EQ(VerdictOf({warn}), Verdict::Warn);
    EXPECT_EQ(VerdictOf({warn, fail}), Verdict::Fail);
    EXPECT_EQ(CheckJson("a\"b.bin", {fail}),
              "{\"file\": \"a\\\"b.bin\", \"verdict\": \"fail\", \"findings\": [{\"rule\": "
              "\"checksum\", \"severity\": \"failure\", \"part\": \"Checksum\", \"offset\": 127, "
              "\"length\": 1, \"text\": \"Bad \\\"sum\\\"\\u000a\"}]}");
    EXPECT_EQ(CheckJson("x", {}), "{\"file\": \"x\", \"verdict\": \"pass\", \"findings\": []}");
    EXPECT_EQ(FindingText(warn), "warning  it-overscan  CTA-861 Extension Header (offset 128, 4 "
                                 "bytes): W");
}

} // namespace
