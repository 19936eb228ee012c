// The one walk over an EDID's blocks and data blocks, at any size.
#include <gtest/gtest.h>

#include "edid/EdidBlocks.h"
#include "edid_builders.h"

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
