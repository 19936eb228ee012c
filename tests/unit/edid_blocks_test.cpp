// The one walk over an EDID's blocks and data blocks, at any size.
#include <gtest/gtest.h>

#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "edid/BlockMap.h"
#include "edid/DisplayIdTimings.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "edid/WholeDiff.h"
#include "edid/WholeEdid.h"
#include "edid_builders.h"
#include "workspace/analysis/AnalyzerSummary.h"
#include "workspace/analysis/HexGrid.h"

using namespace tavo;
using namespace tavo::test;

namespace {

// The walk as one line: per block its kind, and for CTA-861 its data blocks as
// "offset+length tag[/ext]" ("!" when broken), "T" per detailed timing and "P<n>" for padding;
// for DisplayID its data blocks as "offset+length tag", "F<n>" for filler and "C<ok>".
std::string Walk(const EdidBlocks& e) {
    std::string out;
    for (const auto& blk : e.blocks) {
        if (!out.empty()) out += " | ";
        out += std::string(BlockKindName(blk.kind));
        if (!blk.announced) out += "(unannounced)";
        if (!blk.complete()) out += "(" + std::to_string(blk.length) + " bytes)";
        for (const auto& db : blk.dataBlocks) {
            out += " " + std::to_string(db.offset) + "+" + std::to_string(db.length) + " " +
                   std::to_string(db.tag);
            if (db.extendedTag >= 0) out += "/" + std::to_string(db.extendedTag);
            if (db.broken) out += "!";
        }
        for (std::size_t t = 0; t < blk.detailedTimings.size(); ++t)
            out += " T";
        if (blk.kind == BlockKind::Cta && blk.complete())
            out += " P" + std::to_string(blk.paddingLength);
        if (blk.hasSection) {
            for (const auto& db : blk.section.dataBlocks)
                out += " " + std::to_string(db.offset) + "+" + std::to_string(db.length) + " " +
                       std::to_string(db.tag) + (db.broken ? "!" : "");
            if (blk.section.fillerLength > 0)
                out += " F" + std::to_string(blk.section.fillerLength);
            out += std::string(" C") + (blk.section.checksumOk ? "ok" : "bad");
        }
    }
    return out;
}

const Bytes kVideo = {0x43, 0x10, 0x04, 0x03}; // Video Data Block, 3 codes
const Bytes kOverride3 = {0xE2, 0x78, 0x03};   // EDID Extension Override, 3 extensions

struct Case {
    const char* name;
    Bytes bytes;
    std::string walk;
    int announced;
};

} // namespace

TEST(EdidBlocks, WalksEveryBlockByItsRules) {
    Bytes brokenLength = LargeEdid({CtaBlock({0x43, 0x10, 0x04})}); // declares 3, holds 2
    // byte 2 = 0: no data blocks, no detailed timings, even with bytes that look like both
    Bytes noCollection = LargeEdid({CtaBlock(kVideo, 0, 0)});
    Bytes past127 = LargeEdid({CtaBlock(Bytes(124, 0), 200)});
    for (int at : {132, 164, 196, 228})
        past127[at] = 0x5F; // Video Data Block, 31 codes
    FixBlockChecksum(past127, 1);
    const Case cases[] = {
        {"base only", LargeEdid({}), "base", 1},
        {"byte 2 = 0", noCollection, "base | CTA-861 P123", 2},
        {"byte 2 = 4, two timings", LargeEdid({CtaBlock({}, 4, 2)}), "base | CTA-861 T T P87", 2},
        {"data blocks and a timing", LargeEdid({CtaBlock(kVideo, -1, 1)}),
         "base | CTA-861 132+4 2 T P101", 2},
        {"length past the collection's end", brokenLength, "base | CTA-861 132+3 2! P120", 2},
        {"byte 2 past 127: the collection runs to the checksum", past127,
         "base | CTA-861 132+32 2 164+32 2 196+32 2 228+27 2! P0", 2},
        {"DisplayID 2.0 after CTA-861 in 512 bytes",
         LargeEdid({CtaBlock(kVideo),
                    DisplayIdBlock(0x20, 0, DidBlock(0x2B, 0, DidAdaptiveSync(48, 240))),
                    CtaBlock({})}),
         "base | CTA-861 132+4 2 P119 | DisplayID 261+9 43 Cok | CTA-861 P123", 4},
        {"DisplayID filler after the last data block",
         LargeEdid(
             {DisplayIdBlock(0x13, 3, Concat({DidBlock(0x12, 0, Bytes(22, 1)), Bytes(6, 0)}))}),
         "base | DisplayID 133+25 18 F6 Cok", 2},
        {"DisplayID block cut by the section's end",
         LargeEdid({DisplayIdBlock(0x20, 0, Bytes{0x22, 0x00, 0x14, 0x01})}),
         "base | DisplayID 133+4 34! Cok", 2},
        {"override: three extensions, byte 126 says one",
         [] {
             Bytes e = LargeEdid({CtaBlock(kOverride3), CtaBlock(kVideo), CtaBlock({})});
             e[126] = 1;
             FixBlockChecksum(e, 0);
             return e;
         }(),
         "base | CTA-861 132+3 7/120 P120 | CTA-861 260+4 2 P119 | CTA-861 P123", 4},
        {"blocks past the announced count",
         [] {
             Bytes e = LargeEdid({CtaBlock(kVideo), CtaBlock({})});
             e[126] = 1;
             return e;
         }(),
         "base | CTA-861 132+4 2 P119 | CTA-861(unannounced) P123", 2},
        {"truncated inside block 1",
         [] {
             Bytes e = LargeEdid({CtaBlock(kVideo)});
             e.resize(200);
             return e;
         }(),
         "base | CTA-861(72 bytes)", 2},
        {"truncated inside the base block", Bytes(100, 0), "base(100 bytes)", 1},
        {"empty", Bytes{}, "", 1},
    };
    for (const auto& c : cases) {
        const EdidBlocks e = ReadEdidBlocks(c.bytes);
        EXPECT_EQ(Walk(e), c.walk) << c.name;
        EXPECT_EQ(e.announced, c.announced) << c.name;
    }
}

TEST(EdidBlocks, DisplayIdSectionHeaderAndChecksum) {
    Bytes e =
        LargeEdid({CtaBlock(kVideo),
                   DisplayIdBlock(0x20, 7, DidBlock(0x28, 0, DidTiled(2, 1, 0, 0, 2560, 1440)))});
    EdidBlocks r = ReadEdidBlocks(e);
    ASSERT_EQ(r.blocks.size(), 3u);
    const auto& s = r.blocks[2].section;
    EXPECT_EQ(s.version, 0x20);
    EXPECT_EQ(s.bytes, 25);
    EXPECT_EQ(s.productType, 7);
    EXPECT_EQ(s.extensionCount, 0);
    EXPECT_EQ(s.checksumOffset, 256 + 5 + 25);
    EXPECT_TRUE(s.checksumOk);
    EXPECT_TRUE(r.blocks[2].checksumOk);
    e[256 + 10] ^= 1;
    r = ReadEdidBlocks(e);
    EXPECT_FALSE(r.blocks[2].section.checksumOk);
    EXPECT_FALSE(r.blocks[2].checksumOk);
    EXPECT_FALSE(r.truncated());
    EXPECT_EQ(r.FirstCta()->index, 1);
}

TEST(EdidBlocks, ReadsNothingOutsideTheBytes) {
    // Every length of a 512-byte EDID: walking each prefix must stay inside it (the sanitizer
    // builds catch a read past the end) and report truncation.
    const Bytes full = LargeEdid(
        {CtaBlock(kOverride3), DisplayIdBlock(0x20, 0, DidBlock(0x2B, 0, DidAdaptiveSync(48, 144))),
         CtaBlock(kVideo)});
    for (std::size_t n = 0; n < full.size(); ++n) {
        const std::vector<std::uint8_t> prefix(full.begin(), full.begin() + n);
        const EdidBlocks e = ReadEdidBlocks(prefix);
        EXPECT_EQ(e.size, n);
        EXPECT_EQ(e.blocks.size(), (n + 127) / 128);
        EXPECT_TRUE(e.truncated() || n == 0) << n;
    }
    Bytes huge(kMaxEdidBytes + 500, 0);
    EXPECT_EQ(ReadEdidBlocks(huge).blocks.size(), static_cast<std::size_t>(kMaxEdidBlocks));
}

namespace {

namespace fs = std::filesystem;

Bytes ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every byte in exactly one part, in order.
void ExpectCovers(const BlockMap& map, std::size_t size, const std::string& what) {
    int at = 0;
    for (const auto& p : map) {
        ASSERT_EQ(p.offset, at) << what << ": " << p.name;
        ASSERT_GT(p.length, 0) << what << ": " << p.name;
        at = p.end();
    }
    EXPECT_EQ(at, static_cast<int>(size)) << what;
}

// The fields of the first part named `name`, as "name=value; ...".
std::string FieldsOf(const Bytes& bytes, const BlockMap& map, const std::string& name) {
    for (const auto& p : map) {
        if (p.name != name) continue;
        std::string out;
        for (const auto& f : PartFields(bytes, p))
            out += (out.empty() ? "" : "; ") + f.name + "=" + f.value;
        return out;
    }
    return "(no part " + name + ")";
}

} // namespace

// The builders' larger EDIDs are pinned as files, which the edid-decode comparison reads
// (TAVO_WRITE_GOLDEN=1 rewrites them).
TEST(EdidMap, LargerSamplesArePinned) {
    const fs::path dir = fs::path(TAVO_TEST_DATA) / "blocks";
    for (const auto& s : LargeSamples()) {
        const fs::path file = dir / (std::string(s.name) + ".bin");
        if (std::getenv("TAVO_WRITE_GOLDEN") != nullptr) {
            std::ofstream(file, std::ios::binary)
                .write(reinterpret_cast<const char*>(s.bytes.data()),
                       static_cast<std::streamsize>(s.bytes.size()));
        }
        EXPECT_EQ(ReadBytes(file), s.bytes) << file;
        const EdidBlocks e = ReadEdidBlocks(s.bytes);
        EXPECT_FALSE(e.truncated()) << s.name;
        for (const auto& blk : e.blocks)
            EXPECT_TRUE(blk.checksumOk && blk.announced) << s.name << " block " << blk.index;
        ExpectCovers(MapEdid(s.bytes), s.bytes.size(), s.name);
    }
}

TEST(EdidMap, SameAsMapBlocksForEveryImageItCovers) {
    std::vector<fs::path> files;
    for (const auto& f : fs::directory_iterator(fs::path(TAVO_TEST_DATA) / "edid"))
        if (f.path().extension() == ".bin") files.push_back(f.path());
    ASSERT_GT(files.size(), 20u);
    int compared = 0;
    for (const auto& f : files) {
        const Bytes raw = ReadBytes(f);
        const EdidImage image = ImageFromBytes(raw.data(), raw.size());
        if (image[126] != 0 && image[128] == 0x70) continue; // DisplayID: split by MapEdid only
        const BlockMap a = MapBlocks(image), b = MapEdid(image);
        ASSERT_EQ(a.size(), b.size()) << f;
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].offset, b[i].offset) << f;
            EXPECT_EQ(a[i].length, b[i].length) << f;
            EXPECT_EQ(a[i].name, b[i].name) << f;
            EXPECT_EQ(a[i].tag, b[i].tag) << f;
            EXPECT_EQ(a[i].extendedTag, b[i].extendedTag) << f;
            EXPECT_EQ(PartFields(image, a[i]), PartFields(image, b[i])) << f;
        }
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

TEST(EdidMap, CoversEveryByteOfAnyInput) {
    // random blocks with CTA-861 and DisplayID tags, and every prefix of them
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        Bytes bytes = LargeEdid({});
        const int extensions = 1 + static_cast<int>(rng() % 5);
        for (int k = 0; k < extensions; ++k) {
            Bytes blk(128);
            for (auto& v : blk)
                v = static_cast<std::uint8_t>(rng() % (round % 2 ? 256 : 8));
            blk[0] = (rng() % 3 == 0) ? 0x02 : (rng() % 2 ? 0x70 : 0xF0);
            bytes.insert(bytes.end(), blk.begin(), blk.end());
        }
        bytes[126] = static_cast<std::uint8_t>(rng() % 6);
        const std::size_t n = rng() % (bytes.size() + 1);
        bytes.resize(n);
        ExpectCovers(MapEdid(bytes), n, "round " + std::to_string(round));
        for (const auto& p : MapEdid(bytes))
            PartFields(bytes, p); // reads stay inside the part (sanitizer builds)
    }
}

TEST(EdidMap, DisplayIdAndVariableRefreshFields) {
    const auto samples = LargeSamples();
    const Bytes& big = samples[0].bytes;
    const BlockMap map = MapEdid(big);
    const struct {
        const char* part;
        const char* fields;
    } cases[] = {
        {"DisplayID Section Header",
         "version=2.0; section bytes=83; primary use case=0; extension count=0"},
        {"Product Identification Data Block (0x20)",
         "revision=0; length=16; vendor=00-11-22; product code=4660; serial number=0; week=1; "
         "year=2030; name=TAVO"},
        {"Video Timing Modes Type 7 - Detailed Timings Data Block",
         "revision=0; length=20; timing 1=5120x1440 at 240 Hz (preferred)"},
        {"Tiled Display Topology Data Block (0x28)",
         "revision=0; length=22; tiles=2 x 1; tile location=0, 0; tile size=2560x1440; single "
         "enclosure=yes"},
        {"Adaptive Sync Data Block",
         "revision=0; length=6; VRR range=48 Hz to 240 Hz; native panel range=yes"},
        {"DisplayID Section Checksum", "checksum=0xA7; section sums to zero=yes"},
        {"Vendor-Specific Data Block (AMD)", "length=8; version=1.1; VRR range=48 Hz to 144 Hz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldsOf(big, map, c.part), c.fields) << c.part;
    const std::string forum = FieldsOf(big, map, "HDMI Forum Vendor-Specific Data Block");
    EXPECT_NE(forum.find("ALLM (auto low latency mode)=yes"), std::string::npos) << forum;
    EXPECT_NE(forum.find("VRR range=48 Hz to 240 Hz"), std::string::npos) << forum;
    // the CTA-861 data block inside DisplayID reads as the CTA-861 block it carries
    EXPECT_EQ(FieldsOf(big, map, "HDR Static Metadata Data Block").substr(0, 6), "length");
    const Bytes& old = samples[2].bytes;
    EXPECT_EQ(
        FieldsOf(old, MapEdid(old), "Video Timing Modes Type 1 - Detailed Timings Data Block"),
        "revision=0; length=20; timing 1=2560x1440 at 60 Hz");
}

TEST(Fit, KeepsBaseAndFirstCtaAndNamesTheRest) {
    const auto samples = LargeSamples();
    struct {
        const char* name;
        Bytes bytes;
        FitResult result;
        int keptBlock;
        std::vector<std::string> dropped;
    } cases[] = {
        {"DisplayID",
         samples[0].bytes,
         FitResult::Fitted,
         1,
         {"DisplayID block 2: product TAVO, 5120x1440 at 240 Hz, tiled display 2 x 1, adaptive "
          "sync 48 Hz to 240 Hz",
          "CTA-861 block 3: Detailed Timing Descriptor"}},
        {"two CTA-861",
         samples[1].bytes,
         FitResult::Fitted,
         1,
         {"CTA-861 block 2: Audio Data Block, Vendor-Specific Data Block (AMD)"}},
        {"override",
         samples[2].bytes,
         FitResult::Fitted,
         1,
         {"CTA-861 block 2: Audio Data Block",
          "DisplayID block 3: 2560x1440 at 60 Hz, tiled display 2 x 1"}},
        {"CTA-861 after DisplayID",
         LargeEdid({DisplayIdBlock(0x20, 0, {}), CtaBlock(kVideo), CtaBlock({})}),
         FitResult::Fitted,
         2,
         {"DisplayID block 1: no data blocks", "CTA-861 block 3: no data blocks"}},
        {"256 bytes", LargeEdid({CtaBlock(kVideo)}), FitResult::AlreadyFits, 0, {}},
        {"no CTA-861",
         LargeEdid({DisplayIdBlock(0x20, 0, {}), DisplayIdBlock(0x20, 0, {})}),
         FitResult::NoCta,
         0,
         {}},
        {"no header", Bytes(512, 0), FitResult::NoBase, 0, {}},
    };
    for (const auto& c : cases) {
        const FitOutcome fit = FitEdid(c.bytes);
        EXPECT_EQ(fit.result, c.result) << c.name;
        EXPECT_EQ(fit.dropped, c.dropped) << c.name;
        if (fit.result != FitResult::Fitted) continue;
        // the base block changes in byte 126 and its checksum only; the CTA-861 block not at all
        for (int i = 0; i < 126; ++i)
            EXPECT_EQ(fit.image[i], c.bytes[i]) << c.name << " byte " << i;
        EXPECT_EQ(fit.image[126], 1);
        for (int i = 0; i < 128; ++i)
            EXPECT_EQ(fit.image[128 + i], c.bytes[c.keptBlock * 128 + i])
                << c.name << " byte " << i;
        std::uint16_t status = 0;
        EXPECT_TRUE(ValidateImage(fit.image, status)) << c.name;
    }
}

// The analyzer's reading of a larger EDID: base block and first CTA-861 extension as one image
// whose checksums stay as good or bad as they were, and the blocks beyond by kind.
TEST(WholeAnalysis, KeepsBaseAndFirstCtaAndCountsTheRest) {
    const auto samples = LargeSamples();
    Bytes badBase = samples[0].bytes;
    badBase[20] ^= 0x01;
    Bytes badCta = samples[0].bytes;
    badCta[140] ^= 0x01;
    const Bytes cut(samples[0].bytes.begin(), samples[0].bytes.begin() + 384);
    Bytes noCtaBadBase = LargeEdid({DisplayIdBlock(0x20, 0, {}), DisplayIdBlock(0x20, 0, {})});
    noCtaBadBase[20] ^= 0x01;
    Bytes noCtaNoHeader = LargeEdid({DisplayIdBlock(0x20, 0, {}), DisplayIdBlock(0x20, 0, {})});
    noCtaNoHeader[1] = 0;
    FixBlockChecksum(noCtaNoHeader, 0);
    struct {
        const char* name;
        Bytes bytes;
        bool read;
        std::string further;
        std::uint16_t status; // ValidateImage's on the image; 0: valid
    } cases[] = {
        {"DisplayID", samples[0].bytes, true, "1 DisplayID, 1 CTA-861", 0},
        {"two CTA-861", samples[1].bytes, true, "1 CTA-861", 0},
        {"CTA-861 after DisplayID",
         LargeEdid({DisplayIdBlock(0x20, 0, {}), CtaBlock(kVideo), CtaBlock({})}), true,
         "1 DisplayID, 1 CTA-861", 0},
        {"cut after block 2", cut, true, "1 DisplayID, 1 missing", 0},
        {"bad base checksum", badBase, true, "1 DisplayID, 1 CTA-861", kStatusBadChecksum0},
        {"bad CTA-861 checksum", badCta, true, "1 DisplayID, 1 CTA-861", kStatusBadChecksum1},
        {"256 bytes", LargeEdid({CtaBlock(kVideo)}), false, "", 0},
        {"no CTA-861: the base block alone",
         LargeEdid({DisplayIdBlock(0x20, 0, {}), DisplayIdBlock(0x20, 0, {})}), true, "2 DisplayID",
         0},
        {"no CTA-861, a block map first",
         LargeEdid({BlockMapBlock({0x70, 0x70}), DisplayIdBlock(0x13, 0, {}),
                    DisplayIdBlock(0x13, 0, {})}),
         true, "1 block map, 2 DisplayID", 0},
        {"no CTA-861, the base checksum bad", noCtaBadBase, true, "2 DisplayID",
         kStatusBadChecksum0},
        {"no CTA-861, no header", noCtaNoHeader, false, "", 0},
    };
    for (const auto& c : cases) {
        EdidImage image{};
        std::string further;
        ASSERT_EQ(AnalysisOfWholeEdid(c.bytes, image, further), c.read) << c.name;
        if (!c.read) continue;
        EXPECT_EQ(further, c.further) << c.name;
        const bool cta = ReadEdidBlocks(c.bytes).FirstCta() != nullptr;
        EXPECT_EQ(image[126], cta ? 1 : 0) << c.name;
        if (!cta) { // the base block as it stands, bar its count; nothing of the other blocks
            EXPECT_TRUE(std::equal(image.begin(), image.begin() + 126, c.bytes.begin())) << c.name;
            EXPECT_TRUE(std::all_of(image.begin() + 128, image.end(), [](auto b) {
                return b == 0xFF;
            })) << c.name;
        }
        std::uint16_t status = 0;
        ValidateImage(image, status);
        EXPECT_EQ(status, c.status) << c.name;
        // a sound EDID's image is the one fitting writes, byte for byte
        if (c.status == 0 && cta) {
            EXPECT_EQ(image, FitEdid(c.bytes).image) << c.name;
        }
    }
}

TEST(WholeEdid, ReadsEveryByteOfBinaryAndHexText) {
    const Bytes big = LargeSamples()[0].bytes;
    auto hex = [](const Bytes& b, std::size_t n) {
        std::string t = "EDID:\n";
        char buf[4];
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(buf, sizeof buf, "%02x", b[i % b.size()]);
            t += buf;
            t += i % 16 == 15 ? "\n" : " ";
        }
        return Bytes(t.begin(), t.end());
    };
    Bytes tooBig = big;
    tooBig.resize(kMaxEdidBytes + 1);
    // an edid-decode report (its hex block, paragraphs of 16 spaced pairs a line, blocks apart)
    auto report = [&](std::size_t n) {
        const Bytes h = hex(big, n);
        std::string t(h.begin() + 6, h.end()); // without "EDID:\n"
        for (std::size_t at = 0, lines = 0; (at = t.find('\n', at)) != std::string::npos; ++at)
            if (++lines % 8 == 0) t.insert(++at, "\n");
        t = "edid-decode (hex):\n\n" + t + "\n----------------\n\nBlock 0, Base EDID:\n";
        return Bytes(t.begin(), t.end());
    };
    // xrandr --verbose: one connector, its EDID in indented lines of 32 digits
    auto xrandr = [&](std::size_t n) {
        std::string t = "HDMI-1 connected 1920x1080+0+0 (normal) 600mm x 340mm\n\tEDID:\n";
        char buf[4];
        for (std::size_t i = 0; i < n; ++i) {
            if (i % 16 == 0) t += "\t\t";
            std::snprintf(buf, sizeof buf, "%02x", big[i]);
            t += buf;
            if (i % 16 == 15) t += "\n";
        }
        t += "\tBORDER: 0\n";
        return Bytes(t.begin(), t.end());
    };
    // the report edid-decode printed for the 512-byte sample (tests/data/reports)
    std::ifstream pinned(fs::path(TAVO_TEST_DATA) / "reports" / "displayid-512.txt",
                         std::ios::binary);
    const Bytes pinnedReport{std::istreambuf_iterator<char>(pinned),
                             std::istreambuf_iterator<char>()};
    const struct {
        const char* name;
        Bytes input;
        bool ok;
        std::size_t size;
        EdidForm form;
        const char* error;
    } cases[] = {
        {"binary, 512 bytes", big, true, 512, EdidForm::Binary, ""},
        {"binary, 300 bytes: a block cut short stays so", Bytes(big.begin(), big.begin() + 300),
         true, 300, EdidForm::Binary, ""},
        {"hex text, 512 bytes", hex(big, 512), true, 512, EdidForm::HexText, ""},
        {"hex text, 128 bytes (the ordinary reader)", hex(big, 128), true, 128, EdidForm::HexText,
         ""},
        {"hex text, 257 bytes: not whole blocks", hex(big, 257), false, 0, EdidForm::Binary,
         "too long"},
        {"hex text, an odd run of digits", Text("00 ff fff\n"), false, 0, EdidForm::Binary, "odd"},
        {"report, 512 bytes", report(512), true, 512, EdidForm::Report, ""},
        {"report, 384 bytes", report(384), true, 384, EdidForm::Report, ""},
        {"report, 256 bytes (the ordinary reader)", report(256), true, 256, EdidForm::Report, ""},
        {"report of edid-decode, 512 bytes", pinnedReport, true, 512, EdidForm::Report, ""},
        {"report, 320 bytes: not whole blocks", report(320), false, 0, EdidForm::Binary,
         "holds 320 bytes, not an EDID of whole 128-byte blocks"},
        {"xrandr, 512 bytes", xrandr(512), true, 512, EdidForm::Xrandr, ""},
        {"binary past 32 KiB", tooBig, false, 0, EdidForm::Binary, "longer than an EDID of 256"},
        {"empty", Bytes{}, false, 0, EdidForm::Binary, "empty"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> out;
        EdidForm form = EdidForm::Binary;
        std::string error;
        const bool ok = ReadWholeEdidBytes(c.input.data(), c.input.size(), out, form, error);
        EXPECT_EQ(ok, c.ok) << c.name << ": " << error;
        if (!ok) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
            continue;
        }
        EXPECT_EQ(out.size(), c.size) << c.name;
        EXPECT_EQ(form, c.form) << c.name;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), big.begin())) << c.name;
    }
}

TEST(WholeDiff, NamesEveryBlocksDifferences) {
    const auto samples = LargeSamples();
    const Bytes& big = samples[0].bytes;
    Bytes threeTiles = big;
    threeTiles[303 + 4] = 0x20; // tiled display topology: 3 x 1
    FixBlockChecksum(threeTiles, 2);
    const FitOutcome fit = FitEdid(big);
    const Bytes fitted(fit.image.begin(), fit.image.end());
    const struct {
        const char* name;
        Bytes a, b;
        std::vector<std::string> texts;
    } cases[] = {
        {"same", big, big, {}},
        {"a field of a DisplayID data block",
         big,
         threeTiles,
         {"DisplayID block 2: Tiled Display Topology Data Block (0x28): tiles: 2 x 1 \xE2\x86\x92 "
          "3 x 1"}},
        {"fitted: the dropped blocks by their content",
         big,
         fitted,
         {"Extension Block Count: extensions: 3 \xE2\x86\x92 1",
          "DisplayID block 2: removed: product TAVO, 5120x1440 at 240 Hz, tiled display 2 x 1, "
          "adaptive sync 48 Hz to 240 Hz",
          "CTA-861 block 3: removed: Detailed Timing Descriptor"}},
        {"a block added",
         samples[1].bytes,
         LargeEdid(
             {CtaBlock(Concat({{0x43, 0x90, 0x04, 0x03}, {0x65, 0x03, 0x0C, 0x00, 0x10, 0x00}}), -1,
                       2),
              CtaBlock(Concat({{0x23, 0x09, 0x07, 0x07},
                               {0x68, 0x1A, 0x00, 0x00, 0x01, 0x01, 0x30, 0x90, 0x00}})),
              DisplayIdBlock(0x20, 0, DidBlock(0x2B, 0, DidAdaptiveSync(40, 144)))}),
         {"Extension Block Count: extensions: 2 \xE2\x86\x92 3",
          "DisplayID block 3: added: adaptive sync 40 Hz to 144 Hz"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DifferenceTexts(DiffEdids(c.a, c.b)), c.texts) << c.name;
    // 256-byte images: DiffImages' own result
    const EdidImage x = WithBlocks({0x43, 0x10, 0x04, 0x03}), y = WithBlocks({0x42, 0x10, 0x04});
    EXPECT_EQ(DiffEdids(x, y), DiffImages(x, y));
}

namespace {

// The timings DisplayID declares, one data block per row, with the rates edid-decode prints for
// the same bytes (its "kHz" and "MHz" columns).
struct DisplayIdTimingCase {
    const char* name;
    Bytes block;      // one DisplayID data block
    std::string want; // "kind WxH[i] clock-kHz line-rate-kHz" or "kind code", per timing
};

std::string Describe(const DisplayIdTiming& t) {
    static const char* const kKinds[] = {"detailed", "formula", "dmt", "vic", "hdmivic", "vic420"};
    std::string out = kKinds[static_cast<int>(t.kind)];
    if (t.kind != DisplayIdTimingKind::Detailed && t.kind != DisplayIdTimingKind::Formula)
        return out + " " + std::to_string(t.code);
    char buf[96];
    std::snprintf(buf, sizeof buf, " %dx%d%s %d %.3f", t.timing.format.width,
                  t.timing.format.height, t.timing.format.interlaced ? "i" : "",
                  t.timing.pixelClockKhz, t.timing.HFrequencyKhz());
    return out + buf;
}

} // namespace

TEST(DisplayIdTimings, EachTypeAsTheReferenceDecoderReadsIt) {
    const DisplayIdTimingCase cases[] = {
        {"type I", DidBlock(0x03, 0, DidTiming(24150, 2560, 160, 1440, 41)),
         "detailed 2560x1440 241500 88.787"},
        {"type VII", DidBlock(0x22, 0, DidTiming(1903334, 5120, 160, 1440, 62)),
         "detailed 5120x1440 1903334 360.480"},
        {"type II",
         DidBlock(0x04, 0, {0x05, 0x5E, 0x01, 0x08, 0x3F, 0x27, 0x53, 0x9F, 0x05, 40, 0x24}),
         "detailed 2560x1440 896060 329.434"},
        {"type III, 16:9 reduced blanking", DidBlock(0x05, 0, {0x14, 239, 119}),
         "formula 1920x1080 285500 137.260"},
        {"type III, 16:9", DidBlock(0x05, 0, {0x04, 63, 59}), "formula 512x288 11500 17.969"},
        {"type IX, CVT", DidBlock(0x24, 0, {0x00, 0xFF, 0x09, 0x9F, 0x05, 59}),
         "formula 2560x1440 312250 89.521"},
        {"type IX, reduced blanking", DidBlock(0x24, 0, {0x01, 0xFF, 0x09, 0x9F, 0x05, 143}),
         "formula 2560x1440 604250 222.151"},
        {"type IX, reduced blanking 2", DidBlock(0x24, 0, {0x02, 0xFF, 0x09, 0x9F, 0x05, 119}),
         "formula 2560x1440 483120 183.000"},
        {"type IV, DMT ids", DidBlock(0x06, 0, {0x52, 0x44}), "dmt 82, dmt 68"},
        {"type IV, video codes", DidBlock(0x06, 0x40, {97}), "vic 97"},
        {"type VIII, two-byte HDMI VICs", DidBlock(0x23, 0x88, {0x01, 0x00, 0x03, 0x00}),
         "hdmivic 1, hdmivic 3"},
        {"CTA-861 inside", DidBlock(0x81, 0, {0x42, 0x90, 0x04, 0xE2, 0x0E, 0x61}),
         "vic 16, vic 4, vic420 97"},
        {"type X, the largest sizes at 1024 Hz: the clock held",
         DidBlock(0x2A, 0x10, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03}),
         "formula 65536x65536 1000000000 10681.935"},
        {"broken block: none", {0x03, 0x00, 40, 0x00}, ""},
    };
    for (const auto& c : cases) {
        const Bytes edid = LargeEdid({DisplayIdBlock(0x20, 0, c.block)});
        std::string got;
        for (const DisplayIdTiming& t : ReadDisplayIdTimings(edid, ReadEdidBlocks(edid)))
            got += (got.empty() ? "" : ", ") + Describe(t);
        EXPECT_EQ(got, c.want) << c.name;
    }
}

// A larger EDID is shown byte for byte, every block mapped; beside a slot's image, the bytes
// only one of them has count as changed.
TEST(HexGrid, LargerEdidsWhole) {
    for (const auto& sample : LargeSamples()) {
        SCOPED_TRACE(sample.name);
        const HexGrid grid = MakeHexGrid(sample.bytes);
        ASSERT_EQ(grid.size(), static_cast<int>(sample.bytes.size()));
        EXPECT_TRUE(std::equal(grid.bytes.begin(), grid.bytes.end(), sample.bytes.begin()));
        const BlockMap map = MapEdid(sample.bytes);
        ASSERT_EQ(grid.parts.size(), map.size());
        for (int b = 0; b < grid.size(); ++b) {
            const BlockPart& p =
                grid.parts[static_cast<std::size_t>(grid.partOf[static_cast<std::size_t>(b)])];
            ASSERT_TRUE(p.offset <= b && b < p.end()) << b;
        }
        EXPECT_EQ(AnnouncedBytes(sample.bytes), sample.bytes.size());
        EdidImage two{};
        ASSERT_TRUE(FirstTwoBlocks(sample.bytes, two));
        const HexGrid beside = MakeHexGrid(sample.bytes, two);
        for (int b = 256; b < grid.size(); ++b)
            ASSERT_TRUE(beside.changed[static_cast<std::size_t>(b)]) << b;
        const HexGrid image = MakeHexGrid(two, std::span<const std::uint8_t>(sample.bytes));
        EXPECT_EQ(image.size(), 256);
        // the text of a part past 256 bytes holds its own bytes
        const auto far = std::find_if(map.begin(), map.end(), [](const BlockPart& p) {
            return p.offset >= 256 && p.length > 1;
        });
        ASSERT_NE(far, map.end());
        const std::string text = FieldsText(grid, *far);
        char first[4];
        std::snprintf(first, sizeof first, "%02X",
                      sample.bytes[static_cast<std::size_t>(far->offset)]);
        EXPECT_EQ(text.substr(text.find('\n') + 1, 2), first) << text;
    }
}
