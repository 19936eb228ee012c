// The block map of an image (every byte in one named part) and the semantic diff of two images.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "edid/BlockMap.h"
#include "edid/EdidDiff.h"
#include "workspace/analysis/HexGrid.h"

using namespace tavo;
namespace fs = std::filesystem;

namespace {

void FixChecksum(EdidImage& img, int bank) {
    unsigned s = 0;
    for (int i = bank * 128; i < bank * 128 + 127; ++i)
        s += img[i];
    img[bank * 128 + 127] = static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

// A valid image: base block with a detailed timing and a monitor name, one CTA extension whose
// data block collection is `blocks` (byte 130 is `offset`, or right after the blocks when -1)
// followed by `timings` detailed timings.
EdidImage WithBlocks(const std::vector<std::uint8_t>& blocks, int offset = -1, int timings = 0) {
    EdidImage img{};
    const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    std::copy(std::begin(header), std::end(header), img.begin());
    img[18] = 1, img[19] = 3;
    img[54] = 0x02, img[55] = 0x3A; // 148.50 MHz
    const std::uint8_t name[] = {0, 0, 0, 0xFC, 0, 'T', 'V', 0x0A};
    std::copy(std::begin(name), std::end(name), img.begin() + 72);
    img[126] = 1;
    FixChecksum(img, 0);
    img[128] = 0x02;
    img[129] = 0x03;
    img[130] =
        static_cast<std::uint8_t>(offset >= 0 ? offset : 4 + static_cast<int>(blocks.size()));
    std::copy(blocks.begin(), blocks.end(), img.begin() + 132);
    for (int t = 0; t < timings; ++t)
        img[128 + img[130] + 18 * t] = 0x01;
    FixChecksum(img, 1);
    return img;
}

std::string Names(const BlockMap& map, int from = 0) {
    std::string out;
    for (const auto& p : map) {
        if (p.offset < from) continue;
        if (!out.empty()) out += " | ";
        out += std::to_string(p.offset) + "+" + std::to_string(p.length) + " " + p.name;
        if (p.kind == PartKind::BrokenDataBlock) out += " [broken]";
    }
    return out;
}

EdidImage ReadImage(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string bytes = ss.str();
    return ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Every byte in exactly one part, in order, none outside the image.
void ExpectCoversImage(const BlockMap& map) {
    int at = 0;
    for (const auto& p : map) {
        ASSERT_EQ(p.offset, at) << p.name;
        ASSERT_GT(p.length, 0) << p.name;
        at = p.end();
    }
    EXPECT_EQ(at, 256);
}

} // namespace

TEST(BlockMap, BaseBlockParts) {
    const BlockMap map = MapBlocks(WithBlocks({}));
    ExpectCoversImage(map);
    EXPECT_EQ(Names(map).substr(0, Names(map).find(" | 128+")),
              "0+8 Header | 8+10 Vendor & Product Identification | 18+2 EDID Structure Version & "
              "Revision | 20+5 Basic Display Parameters & Features | 25+10 Color Characteristics | "
              "35+3 Established Timings I & II | 38+16 Standard Timings | 54+18 Detailed Timing "
              "Descriptor | 72+18 Display Product Name | 90+18 Empty Descriptor | 108+18 Empty "
              "Descriptor | 126+1 Extension Block Count | 127+1 Checksum");
    EXPECT_EQ(map[7].kind, PartKind::DetailedTiming);
    EXPECT_EQ(map[8].kind, PartKind::MonitorName);
}

TEST(BlockMap, ExtensionParts) {
    struct Case {
        const char* what;
        EdidImage image;
        const char* parts; // from byte 128 on
    } cases[] = {
        {"data blocks, two timings, padding",
         WithBlocks({0x42, 0x90, 0x04, 0x23, 0x09, 0x07, 0x07, 0x83, 0x01, 0x00, 0x00,
                     0x66, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x44, 0xE3, 0x0F, 0x01, 0x00},
                    -1, 2),
         "128+4 CTA-861 Extension Header | 132+3 Video Data Block | 135+4 Audio Data Block | 139+4 "
         "Speaker Allocation Data Block | 143+7 HDMI Vendor-Specific Data Block | 150+4 YCbCr "
         "4:2:0 Capability Map Data Block | 154+18 Detailed Timing Descriptor | 172+18 Detailed "
         "Timing Descriptor | 190+65 Padding | 255+1 Checksum"},
        {"forum, other vendors, extended tags",
         WithBlocks({0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x03, 0x63, 0x1A,
                     0x00, 0x00, 0x62, 0x12, 0x34, 0xE3, 0x06, 0x05, 0x01, 0xE4,
                     0x01, 0x8B, 0x84, 0x90, 0xE2, 0x7F, 0x00, 0xE1, 0x12, 0x00}),
         "128+4 CTA-861 Extension Header | 132+8 HDMI Forum Vendor-Specific Data Block | 140+4 "
         "Vendor-Specific Data Block (AMD) | 144+3 Vendor-Specific Data Block | 147+4 HDR Static "
         "Metadata Data Block | 151+5 Vendor-Specific Video Data Block (HDR10+) | 156+3 Unknown "
         "CTA-861 Data Block (extended tag 0x7F) | 159+2 HDMI Audio Data Block | 161+1 Unknown "
         "CTA-861 Data Block (tag 0x00) | 162+93 Padding | 255+1 Checksum"},
        {"a block longer than the collection ends at its end",
         WithBlocks({0x42, 0x10, 0x04, 0x2F, 0x09, 0x07}, 10),
         "128+4 CTA-861 Extension Header | 132+3 Video Data Block | 135+3 Audio Data Block (runs "
         "past its collection) [broken] | 138+117 Padding | 255+1 Checksum"},
        {"extended tag without its tag byte", WithBlocks({0xE0}),
         "128+4 CTA-861 Extension Header | 132+1 Extended Tag Data Block without its tag | 133+122 "
         "Padding | 255+1 Checksum"},
        {"offset 0: no blocks, no timings", WithBlocks({0x42, 0x10, 0x04}, 0, 0),
         "128+4 CTA-861 Extension Header | 132+123 Padding | 255+1 Checksum"},
        {"offset 2 cannot hold blocks", WithBlocks({0x42, 0x10, 0x04}, 2, 0),
         "128+4 CTA-861 Extension Header | 132+123 Padding | 255+1 Checksum"},
        {"offset past the block: blocks run to the checksum",
         WithBlocks(std::vector<std::uint8_t>(123, 0x5F), 200),
         "128+4 CTA-861 Extension Header | 132+32 Video Data Block | 164+32 Video Data Block | "
         "196+32 Video Data Block | 228+27 Video Data Block (runs past its collection) [broken] | "
         "255+1 Checksum"},
        {"a timing never overlaps the checksum",
         WithBlocks(std::vector<std::uint8_t>(106, 0x5F), 110, 1),
         "128+4 CTA-861 Extension Header | 132+32 Video Data Block | 164+32 Video Data Block | "
         "196+32 Video Data Block | 228+10 Video Data Block (runs past its collection) [broken] | "
         "238+17 Padding | 255+1 Checksum"},
        {"zeros are one-byte blocks of tag 0", WithBlocks({0x00, 0x00}),
         "128+4 CTA-861 Extension Header | 132+1 Unknown CTA-861 Data Block (tag 0x00) | 133+1 "
         "Unknown CTA-861 Data Block (tag 0x00) | 134+121 Padding | 255+1 Checksum"},
    };
    for (auto& c : cases) {
        const BlockMap map = MapBlocks(c.image);
        ExpectCoversImage(map);
        EXPECT_EQ(Names(map, 128), c.parts) << c.what;
    }
}

TEST(BlockMap, OtherExtensionsAndUnannouncedBytes) {
    EdidImage img = WithBlocks({});
    img[128] = 0x70;
    EXPECT_EQ(Names(MapBlocks(img), 128), "128+128 DisplayID Extension Block");
    EXPECT_EQ(MapBlocks(img).back().kind, PartKind::Extension);
    img[128] = 0x33;
    EXPECT_EQ(Names(MapBlocks(img), 128), "128+128 Unknown EDID Extension Block 0x33");
    img[126] = 0;
    EXPECT_EQ(MapBlocks(img).back().kind, PartKind::Unused);
    EXPECT_EQ(MapBlocks(img).back().offset, 128);
}

TEST(BlockMap, TagsAndJson) {
    const EdidImage img = WithBlocks({0x41, 0x10, 0xE2, 0x00, 0x0F, 0xE0});
    const BlockMap map = MapBlocks(img);
    const std::string json = BlockMapJson("a \"b\".bin", map);
    EXPECT_EQ(json.substr(0, 98), "{\"file\": \"a \\\"b\\\".bin\", \"parts\": [{\"offset\": 0, "
                                  "\"length\": 8, \"kind\": \"header\", \"name\": \"Header\"}, ");
    EXPECT_NE(json.find("{\"offset\": 132, \"length\": 2, \"kind\": \"data_block\", \"name\": "
                        "\"Video Data Block\", \"tag\": 2, \"extended_tag\": null}, {\"offset\": "
                        "134, \"length\": 3, \"kind\": \"data_block\", \"name\": \"Video "
                        "Capability Data Block\", \"tag\": 7, \"extended_tag\": 0}, {\"offset\": "
                        "137, \"length\": 1, \"kind\": \"data_block\", \"name\": \"Extended Tag "
                        "Data Block without its tag\", \"tag\": 7, \"extended_tag\": null}"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("\"tag\": ", json.find("Padding")), std::string::npos);
    EXPECT_EQ(json.back(), '}');
}

TEST(BlockMap, DecodedFields) {
    const EdidImage img = WithBlocks({0x6B, 0x03, 0x0C, 0x00, 0x41, 0x00, 0x38, 0x44, 0x20, 0x00,
                                      0x20, 0x01, 0x23, 0x0F, 0x7F, 0x07});
    const BlockMap map = MapBlocks(img);
    auto field = [&](const std::string& part, const std::string& name) {
        for (const auto& p : map)
            if (p.name == part)
                for (const auto& f : PartFields(img, p))
                    if (f.name == name) return f.value;
        return std::string("(none)");
    };
    EXPECT_EQ(field("HDMI Vendor-Specific Data Block", "source physical address"), "4.1.0.0");
    EXPECT_EQ(field("HDMI Vendor-Specific Data Block", "maximum TMDS clock"), "340 MHz");
    EXPECT_EQ(field("HDMI Vendor-Specific Data Block", "deep colour"),
              "DC_36bit, DC_30bit, DC_Y444");
    EXPECT_EQ(field("HDMI Vendor-Specific Data Block", "HDMI VICs"), "1");
    EXPECT_EQ(field("Audio Data Block", "L-PCM descriptor"), "8 ch, 0F 7F 07");
    EXPECT_EQ(field("Detailed Timing Descriptor", "pixel clock"), "148.50 MHz");
    EXPECT_EQ(field("Display Product Name", "name"), "TV");
    EXPECT_EQ(field("Checksum", "block sums to zero"), "yes");

    // the HDMI Forum block's FRL rate, ALLM and VRR range in words (fields after the OUI)
    struct Forum {
        std::vector<std::uint8_t> fields;
        const char* frl;
        const char* deepColour;
        const char* allm;
        const char* vrr;
    } forum[] = {
        {{1, 0x78, 0x80, 0x63, 0x02, 0x30, 0x78},
         "up to 12 Gbps on 4 lanes",
         "DC_36bit_420, DC_30bit_420",
         "yes",
         "48 Hz to 120 Hz"},
        {{1, 0x78, 0x80, 0x10, 0x00, 0x00, 0x00},
         "3 Gbps on 3 lanes",
         "none",
         "no",
         "not supported"},
        {{1, 0x78, 0x80, 0x24, 0x0A, 0x58, 0x2C},
         "3 and 6 Gbps on 3 lanes",
         "DC_48bit_420",
         "yes",
         "24 Hz to 300 Hz"},
        {{1, 0x78, 0x80, 0x00, 0x00, 0x05},
         "not supported (TMDS only)",
         "none",
         "no",
         "5 Hz to the video format's rate"},
        {{1, 0x78, 0x80, 0x98}, "reserved (9)", "UHD_VIC", "(none)", "(none)"},
    };
    for (const auto& c : forum) {
        std::vector<std::uint8_t> block = {static_cast<std::uint8_t>(0x60 | (3 + c.fields.size())),
                                           0xD8, 0x5D, 0xC4};
        block.insert(block.end(), c.fields.begin(), c.fields.end());
        const EdidImage forumImage = WithBlocks(block);
        const BlockMap forumMap = MapBlocks(forumImage);
        auto value = [&](const std::string& name) {
            for (const auto& p : forumMap)
                if (p.name == "HDMI Forum Vendor-Specific Data Block")
                    for (const auto& f : PartFields(forumImage, p))
                        if (f.name == name) return f.value;
            return std::string("(none)");
        };
        SCOPED_TRACE(c.frl);
        EXPECT_EQ(value("maximum FRL rate"), c.frl);
        EXPECT_EQ(value("4:2:0 deep colour"), c.deepColour);
        EXPECT_EQ(value("ALLM (auto low latency mode)"), c.allm);
        EXPECT_EQ(value("VRR range"), c.vrr);
    }
}

TEST(BlockMap, SamplesAndRandomBytesAreCovered) {
    int samples = 0;
    for (const auto& e : fs::directory_iterator(fs::path(TAVO_TEST_DATA) / "edid")) {
        if (e.path().extension() != ".bin") continue;
        const EdidImage img = ReadImage(e.path());
        const BlockMap map = MapBlocks(img);
        ExpectCoversImage(map);
        for (const auto& p : map)
            PartFields(img, p);
        ++samples;
    }
    EXPECT_GT(samples, 20);
    std::mt19937 rng(15);
    for (int round = 0; round < 2000; ++round) {
        EdidImage img;
        for (auto& b : img)
            b = static_cast<std::uint8_t>(rng());
        img[126] = 1;
        img[128] = 2;
        const BlockMap map = MapBlocks(img);
        ExpectCoversImage(map);
        for (const auto& p : map)
            PartFields(img, p);
    }
}

namespace {

std::string DiffText(const EdidImage& a, const EdidImage& b) {
    std::string out;
    for (const auto& line : DifferenceTexts(DiffImages(a, b)))
        out += (out.empty() ? "" : "\n") + line;
    return out;
}

// video 16* 4 102, audio E-AC-3 8 ch, HDMI 4.1.0.0 340 MHz, 4:2:0 capability map
const std::vector<std::uint8_t> kBlocks = {0x43, 0x90, 0x04, 0x66, 0x23, 0x57, 0x06,
                                           0x01, 0x67, 0x03, 0x0C, 0x00, 0x41, 0x00,
                                           0x00, 0x44, 0xE2, 0x0F, 0x01};

std::vector<std::uint8_t> Without(std::vector<std::uint8_t> v, std::size_t at, std::size_t n) {
    v.erase(v.begin() + static_cast<long>(at), v.begin() + static_cast<long>(at + n));
    return v;
}

// `v` with its first bytes replaced by `front`.
std::vector<std::uint8_t> Replaced(std::vector<std::uint8_t> v, std::vector<std::uint8_t> front) {
    std::copy(front.begin(), front.end(), v.begin());
    return v;
}

} // namespace

TEST(EdidDiff, NamesEachDifferenceInBlockMapTerms) {
    const EdidImage base = WithBlocks(kBlocks);
    auto changed = [&](std::size_t at, std::uint8_t v) {
        auto blocks = kBlocks;
        blocks[at] = v;
        return WithBlocks(blocks);
    };
    std::vector<std::uint8_t> twoVideo = kBlocks;
    twoVideo.insert(twoVideo.begin(), {0x41, 0x05});
    EdidImage renamed = base;
    renamed[77] = 'P', renamed[78] = 'C';
    FixChecksum(renamed, 0);
    EdidImage checksumOnly = base;
    checksumOnly[255] ^= 0xFF;
    EdidImage dummy = base;
    dummy[75] = 0x10;
    FixChecksum(dummy, 0);
    struct Case {
        const char* what;
        EdidImage b;
        const char* expected;
    } cases[] = {
        {"identical", base, ""},
        {"a block removed", WithBlocks(Without(kBlocks, 16, 3)),
         "YCbCr 4:2:0 Capability Map Data Block: removed"},
        {"a field changed", changed(15, 0x2D),
         "HDMI Vendor-Specific Data Block: maximum TMDS clock 340 → 225 MHz"},
        {"an audio byte", changed(7, 0x00),
         "Audio Data Block: E-AC-3 descriptor, byte 3: 0x01 → 0x00"},
        {"audio format replaced", changed(5, 0x0F),
         "Audio Data Block: E-AC-3 descriptor removed\nAudio Data Block: L-PCM descriptor added"},
        {"video codes and native flags", WithBlocks(Replaced(kBlocks, {0x43, 0x10, 0x84, 0x05})),
         "Video Data Block: native flags removed: 16\nVideo Data Block: native flags added: "
         "4\nVideo Data Block: video codes removed: 102\nVideo Data Block: video codes added: 5"},
        {"video codes reordered", WithBlocks(Replaced(kBlocks, {0x43, 0x04, 0x90, 0x66})),
         "Video Data Block: order of video codes changed"},
        {"a repeated block is numbered", WithBlocks(twoVideo),
         "Video Data Block 1: video codes removed: 16, 4, 102\nVideo Data Block 1: video codes "
         "added: 5\nVideo Data Block 2: added"},
        {"monitor name", renamed, "Descriptor 2: name: TV → PC"},
        {"descriptor kind", dummy, "Descriptor 2: Display Product Name → Dummy Descriptor"},
        {"only a checksum", checksumOnly, "Extension Checksum: 0x"},
    };
    for (const auto& c : cases) {
        const std::string got = DiffText(base, c.b);
        if (std::string_view(c.what) == "only a checksum")
            EXPECT_EQ(got.rfind(c.expected, 0), 0u) << got;
        else
            EXPECT_EQ(got, c.expected) << c.what;
        EXPECT_EQ(got.empty(), base == c.b) << c.what;
    }
}

TEST(EdidDiff, StructuralChangesOnlyWhenNothingElse) {
    // a zero byte dropped from the end of a block moves the timings and the checksum: named,
    // but as structural differences, which are no loss
    std::vector<std::uint8_t> longer = kBlocks;
    longer[8] = 0x68;
    longer.insert(longer.begin() + 16, 0x00);
    const auto d = DiffImages(WithBlocks(longer), WithBlocks(kBlocks));
    ASSERT_FALSE(d.empty());
    for (const auto& x : d)
        EXPECT_TRUE(x.structural) << x.part << ": " << x.what;
    const auto mixed = DiffImages(WithBlocks(longer), WithBlocks(Without(kBlocks, 16, 3)));
    ASSERT_EQ(DifferenceTexts(mixed).size(), 1u);
    EXPECT_EQ(DifferenceTexts(mixed)[0], "YCbCr 4:2:0 Capability Map Data Block: removed");
}

TEST(EdidDiff, JsonShape) {
    EXPECT_EQ(DiffJson("a.bin", "b\\.bin", {"X: removed", "Y: \"q\""}),
              "{\"a\": \"a.bin\", \"b\": \"b\\\\.bin\", \"differences\": [\"X: removed\", \"Y: "
              "\\\"q\\\"\"]}");
}

// The hex view's grid: each byte in its part's colour, neighbours never alike, the changed bytes.
TEST(HexGrid, PartsColoursAndChangedBytes) {
    const EdidImage img = WithBlocks({0x42, 0x10, 0x04, 0x2F, 0x09, 0x07}, 10);
    const HexGrid grid = MakeHexGrid(img);
    ASSERT_EQ(grid.parts.size(), grid.partColour.size());
    for (std::size_t i = 0; i < grid.parts.size(); ++i) {
        const BlockPart& p = grid.parts[i];
        for (int b = p.offset; b < p.end(); ++b) {
            ASSERT_EQ(grid.partOf[static_cast<std::size_t>(b)], static_cast<int>(i)) << b;
            ASSERT_EQ(grid.colourOf[static_cast<std::size_t>(b)], grid.partColour[i]) << b;
        }
        if (p.kind == PartKind::BrokenDataBlock) {
            EXPECT_EQ(grid.partColour[i], kBrokenColour);
        } else if (p.kind == PartKind::Padding) {
            EXPECT_EQ(grid.partColour[i], kQuietColour);
        } else {
            EXPECT_GE(grid.partColour[i], 0) << p.name;
            EXPECT_LT(grid.partColour[i], kPartColourCount) << p.name;
        }
        if (i > 0) {
            EXPECT_NE(grid.partColour[i], grid.partColour[i - 1]) << p.name;
        }
    }
    EXPECT_EQ(grid.changedCount, 0);
    EXPECT_EQ(std::count(grid.changed.begin(), grid.changed.end(), true), 0);

    EdidImage other = img;
    other[10] ^= 0x40, other[255] ^= 1;
    const HexGrid marked = MakeHexGrid(img, &other);
    EXPECT_EQ(marked.changedCount, 2);
    for (std::size_t b = 0; b < kEdidSize; ++b)
        EXPECT_EQ(marked.changed[b], b == 10 || b == 255) << b;
    // unannounced bytes are one quiet part
    EdidImage base = img;
    base[126] = 0;
    EXPECT_EQ(MakeHexGrid(base).colourOf[200], kQuietColour);

    // edid-decode gets the blocks the image announces: a base block alone is 128 bytes
    EdidImage baseOnly = img;
    baseOnly[126] = 0;
    EXPECT_EQ(AnnouncedBytes(img), 256u);
    EXPECT_EQ(AnnouncedBytes(baseOnly), 128u);
}

TEST(HexGrid, PartLinesAndFieldTexts) {
    const EdidImage img = WithBlocks({0x42, 0x10, 0x04});
    const BlockMap map = MapBlocks(img);
    EXPECT_EQ(PartLine(map.front()), "0x00    8  Header");
    const auto video =
        std::find_if(map.begin(), map.end(), [](const BlockPart& p) { return p.offset == 132; });
    ASSERT_NE(video, map.end());
    EXPECT_EQ(PartLine(*video), "0x84    3  Video Data Block");
    const auto name = std::find_if(
        map.begin(), map.end(), [](const BlockPart& p) { return p.kind == PartKind::MonitorName; });
    ASSERT_NE(name, map.end());
    const std::string text = FieldsText(img, *name);
    // the part's line, its 18 bytes 16 to a line, its fields
    EXPECT_EQ(text.substr(0, text.find("\n\n")),
              "0x48   18  Display Product Name\n00 00 00 FC 00 54 56 0A 00 00 00 00 00 00 00 00\n"
              "00 00");
    EXPECT_NE(text.find("\nname: TV\n"), std::string::npos) << text;
}
