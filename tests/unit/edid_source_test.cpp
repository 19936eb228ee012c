// The one reader of EDID inputs: binary or hex text, and the hex text it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "edid/EdidSource.h"

using namespace tavo;

namespace {

const std::string kBase16 = "00 ff ff ff ff ff ff 00 06 af 3c 2d 00 00 00 00";

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// `lines` lines of 16 bytes, byte i being i.
std::string Counting(int lines, const std::string& between = " ") {
    std::string text;
    for (int i = 0; i < lines * 16; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", i & 0xFF);
        text += pair;
        text += (i % 16 == 15) ? "\n" : between;
    }
    return text;
}

struct Case {
    const char* name;
    std::string input;
    EdidForm form;
    std::size_t size;       // bytes spelt (hex) or input size (binary)
    std::vector<int> first; // the image's first bytes
};

} // namespace

TEST(EdidSource, DecidesBinaryOrHexText) {
    const std::string xrandr = "\tEDID:\n"
                               "\t\t00ffffffffffff0006af3c2d00000000\n"
                               "\t\t00190104951f1178026675915657\n";
    std::string binaryHeader("\x00\xff\xff\xff\xff\xff\xff\x00", 8);
    const std::vector<Case> cases = {
        {"edid-decode",
         "edid-decode (hex):\n\n" + kBase16 + "\n\n",
         EdidForm::HexText,
         16,
         {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x06, 0xAF}},
        {"xrandr --verbose", xrandr, EdidForm::HexText, 30, {0x00, 0xFF}},
        {"0x and commas",
         "0x00, 0xFF,0Xff ,\r\n0xab",
         EdidForm::HexText,
         4,
         {0x00, 0xFF, 0xFF, 0xAB}},
        {"colons and upper case", "00:FF:Aa:0b", EdidForm::HexText, 4, {0x00, 0xFF, 0xAA, 0x0B}},
        {"0x before a run", "0x00ff10", EdidForm::HexText, 3, {0x00, 0xFF, 0x10}},
        {"header lines between",
         "EDID:\n00 01\nBlock 1:\n02\n",
         EdidForm::HexText,
         3,
         {0x00, 0x01, 0x02}},
        {"256 bytes", Counting(16), EdidForm::HexText, 256, {0x00, 0x01, 0x02}},
        {"binary header wins over text",
         binaryHeader + "00 11",
         EdidForm::Binary,
         13,
         {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, '0', '0'}},
        {"UTF-8 byte-order mark",
         "\xEF\xBB\xBF"
         "EDID:\n00 ff 10\n",
         EdidForm::HexText,
         3,
         {0x00, 0xFF, 0x10}},
        {"UTF-16 byte-order mark",
         std::string("\xFF\xFE"
                     "0\0"
                     "0\0 \0"
                     "a\0"
                     "b\0",
                     12),
         EdidForm::HexText,
         2,
         {0x00, 0xAB}},
        // a report: the hex block after "(hex):" and nothing of the text after it
        {"edid-decode report",
         "edid-decode (hex):\n\n" + Counting(8) + "\n" + Counting(8) +
             "\n----------------\n\nBlock 0, Base EDID:\n  Made in: week 1 of 2022\n",
         EdidForm::Report,
         256,
         {0x00, 0x01, 0x02}},
        {"database file",
         "EDID (hex):\n" + Counting(8) + "\nEDID version: 1.3\nab cd ef 01:\n",
         EdidForm::Report,
         128,
         {0x00, 0x01}},
        // the database's current form: unspaced lines of 16 byte pairs, with or without a
        // blank line between the blocks
        {"database file, unspaced lines",
         "edid-decode (hex):\n\n" + Counting(16, "") +
             "\n----------------\n\nBlock 0, Base EDID:\n",
         EdidForm::Report,
         256,
         {0x00, 0x01, 0x02}},
        {"database file, unspaced blocks apart",
         "EDID (hex):\r\n" + Counting(8, "") + "\r\n" + Counting(8, "") + "\r\nText\n",
         EdidForm::Report,
         256,
         {0x00, 0x01}},
        {"database file, one unspaced line",
         "EDID (hex):\n" + std::string(256, '0') + "\n\nText\n",
         EdidForm::Report,
         128,
         {0x00, 0x00}},
        {"report with a CRLF and more hex later",
         "x\r\nEDID (hex): \r\n" + Counting(8) + "\r\nText\n\n00 11\n",
         EdidForm::Report,
         128,
         {0x00, 0x01}},
        // not hex text: read as binary, so validation names the header
        {"0x alone", "0x 00", EdidForm::Binary, 5, {'0', 'x'}},
        {"other text", "hello\n00 11", EdidForm::Binary, 11, {'h', 'e'}},
        {"text after the hex", kBase16 + "\n----------------\n", EdidForm::Binary, 65, {'0'}},
        {"colon line with a NUL", std::string("ab\0cd:\n00", 9), EdidForm::Binary, 9, {'a'}},
        {"only a header", "EDID:\n", EdidForm::Binary, 6, {'E', 'D'}},
        {"blank", " \n\t\n", EdidForm::Binary, 4, {' ', '\n'}},
        {"short binary header",
         std::string("\x00\xff\xff", 3),
         EdidForm::Binary,
         3,
         {0x00, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = Bytes(c.input);
        EdidSource s;
        std::string error;
        ASSERT_TRUE(ReadEdidBytes(bytes.data(), bytes.size(), 0, s, error)) << error;
        EXPECT_EQ(s.form, c.form);
        EXPECT_EQ(s.size, c.size);
        for (std::size_t i = 0; i < c.first.size(); ++i)
            EXPECT_EQ(s.image[i], c.first[i]) << "byte " << i;
        // a short input reads as FF after its bytes, as a short file always did
        if (c.size < kEdidSize) {
            EXPECT_EQ(s.image[kEdidSize - 1], 0xFF);
        }
    }
}

TEST(EdidSource, RefusesWithAReason) {
    std::string spaced = Counting(8); // line 3 of the block starts with a one-digit token
    spaced.replace(2 * 48, 2, "0 ");
    struct Refusal {
        std::string input;
        const char* reason;
    } refusals[] = {
        {Counting(16) + "00", "too long"},
        {Counting(17), "too long"},
        {Counting(40, ","), "too long"},
        {"00 f 11", "odd number of hex digits in line 1"},
        {"EDID:\n00ff1\n", "odd number of hex digits in line 2"},
        {"\xC3\x89"
         "cran:\n00 11\n",
         "header line 1 has characters outside ASCII"},
        {"EDID \xE9:\n00 11\n", "outside ASCII"},
        // a report's block: 128 or 256 bytes of two-digit tokens
        {"EDID (hex):\n" + Counting(6) + "\nText\n", "holds 96 bytes"},
        {"EDID (hex):\n" + Counting(20) + "\nText\n", "holds 320 bytes"},
        // unspaced runs are whole lines of byte pairs, never mixed with spaced tokens
        {"EDID (hex):\n00ff 11\n" + Counting(8) + "\nText\n", "line 2 that is not hex bytes"},
        {"EDID (hex):\n" + Counting(8, "") + "0\nText\n", "line 10 that is not hex bytes"},
        {"EDID (hex):\n" + Counting(2, "") + "00 11 2x\n\nText\n", "line 4 that is not hex bytes"},
        {"EDID (hex):\n" + Counting(7) + "Text\n" + Counting(1), "line 9 that is not"},

        {"EDID (hex):\n" + spaced + "\nText\n", "line 4 that is not hex bytes"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.input.substr(0, 40));
        const auto bytes = Bytes(r.input);
        EdidSource s;
        std::string error;
        EXPECT_FALSE(ReadEdidBytes(bytes.data(), bytes.size(), 0, s, error));
        EXPECT_NE(error.find(r.reason), std::string::npos) << error;
    }
    // the first part of a longer input that is hex text so far: too long as well
    const auto part = Bytes(Counting(2));
    EdidSource s;
    std::string error;
    EXPECT_FALSE(ReadEdidBytes(part.data(), part.size(), part.size() + 100000, s, error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
    // a longer binary input: its first 256 bytes, its size as given; every byte kept only when
    // all of it was read
    auto binary = Bytes(std::string("\x00\xff\xff\xff\xff\xff\xff\x00", 8) + Counting(20));
    ASSERT_TRUE(ReadEdidBytes(binary.data(), binary.size(), 1000000, s, error));
    EXPECT_EQ(s.form, EdidForm::Binary);
    EXPECT_EQ(s.size, 1000000u);
    EXPECT_EQ(s.image[255], binary[255]);
    EXPECT_TRUE(s.bytes.empty());
    ASSERT_TRUE(ReadEdidBytes(binary.data(), binary.size(), 0, s, error));
    EXPECT_EQ(s.bytes, binary);
    // a report of three blocks: the image its first two, every byte kept, its size all of them
    const auto three = Bytes("EDID (hex):\n" + Counting(24) + "\nText\n");
    ASSERT_TRUE(ReadEdidBytes(three.data(), three.size(), 0, s, error)) << error;
    EXPECT_EQ(s.form, EdidForm::Report);
    EXPECT_EQ(s.size, 384u);
    ASSERT_EQ(s.bytes.size(), 384u);
    EXPECT_EQ(s.bytes[383], 383 & 0xFF);
    EXPECT_EQ(s.image[255], 255);
}

TEST(EdidSource, HexTextReadsBackByteForByte) {
    EdidImage full{};
    for (std::size_t i = 0; i < kEdidSize; ++i)
        full[i] = static_cast<std::uint8_t>(i * 7 + 3);
    EdidImage base = full;
    std::fill(base.begin() + 128, base.end(), 0xFF);
    EdidImage lastByte = base;
    lastByte[255] = 0xFE; // one byte of the extension keeps all 256
    for (const EdidImage& image : {full, base, lastByte}) {
        const std::string text = EdidHexText(image);
        const std::size_t lines = std::count(text.begin(), text.end(), '\n');
        EXPECT_EQ(lines, image == base ? 8u : 16u);
        EXPECT_EQ(text.find('\n'), 16u * 3 - 1) << "16 bytes a line";
        const auto bytes = Bytes(text);
        EdidSource s;
        std::string error;
        ASSERT_TRUE(ReadEdidBytes(bytes.data(), bytes.size(), 0, s, error)) << error;
        EXPECT_EQ(s.form, EdidForm::HexText);
        EXPECT_EQ(s.image, image);
    }
}

TEST(EdidSource, ReadsFiles) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tavo_edid_source_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto write = [&](const char* name, const std::string& content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    };
    EdidSource s;
    std::string error;
    ASSERT_TRUE(ReadEdidPath(write("hex.txt", "EDID:\n" + Counting(8)), s, error)) << error;
    EXPECT_EQ(s.form, EdidForm::HexText);
    EXPECT_EQ(s.size, 128u);
    EXPECT_EQ(s.image[127], 127);
    // edid-decode's own reports (tests/data/reports) give the EDID they were made from, and
    // so does one in the database's unspaced form
    for (const char* name : {"0a2f6adf41d8ea44", "002d10c53aa9561f", "049581c3f4b50a09"}) {
        SCOPED_TRACE(name);
        const std::string data = TAVO_TEST_DATA;
        EdidSource report, binary;
        ASSERT_TRUE(ReadEdidPath(data + "/reports/" + name + ".txt", report, error)) << error;
        ASSERT_TRUE(ReadEdidPath(data + "/edid/" + name + ".bin", binary, error)) << error;
        EXPECT_EQ(report.form, EdidForm::Report);
        EXPECT_EQ(report.size, binary.size);
        EXPECT_EQ(report.image, binary.image);
    }
    // a long text file: too long, however much of it the reader looks at
    std::string longText;
    while (longText.size() <= kEdidTextLimit)
        longText += Counting(1);
    EXPECT_FALSE(ReadEdidPath(write("long.txt", longText), s, error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;

    struct Bad {
        std::string path;
        const char* reason;
    };
    for (const Bad& b :
         {Bad{write("empty.bin", ""), "empty file"}, Bad{dir.string(), "is a directory"},
          Bad{(dir / "missing.bin").string(), "No such file"}}) {
        EXPECT_FALSE(ReadEdidPath(b.path, s, error));
        EXPECT_EQ(error.rfind(b.path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(b.reason), std::string::npos) << error;
    }
    std::filesystem::remove_all(dir);
}

// `xrandr --verbose` output: every connector's EDID with its name; one EDID reads as the input's
// EDID, several are refused naming the connectors, and a disconnected connector gives none.
TEST(EdidSource, ReadsXrandrVerboseOutput) {
    const std::filesystem::path data(TAVO_TEST_DATA);
    auto file = [&](const char* name) {
        std::ifstream in(data / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    auto image = [&](const char* name) {
        const std::string bytes = file(name);
        return ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    const std::string one = file("xrandr-verbose-one.txt");
    const std::string two = file("xrandr-verbose-two.txt");
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(two.empty());

    auto found = ReadXrandrEdids(two);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].connector, "eDP-1");
    EXPECT_EQ(found[0].size, 128u);
    EXPECT_EQ(found[0].image, image("edid/002d10c53aa9561f.bin"));
    EXPECT_EQ(found[1].connector, "HDMI-1");
    EXPECT_EQ(found[1].size, 256u);
    EXPECT_EQ(found[1].image, image("edid/003e3a86840230ba.bin"));

    EdidSource source;
    std::string error;
    EXPECT_FALSE(ReadEdidBytes(Bytes(two).data(), two.size(), 0, source, error));
    EXPECT_EQ(error, "xrandr output with 2 EDIDs (eDP-1, HDMI-1): choose one connector");

    found = ReadXrandrEdids(one);
    ASSERT_EQ(found.size(), 1u); // DP-1 is disconnected
    error.clear();
    ASSERT_TRUE(ReadEdidBytes(Bytes(one).data(), one.size(), 0, source, error)) << error;
    EXPECT_EQ(source.form, EdidForm::Xrandr);
    EXPECT_EQ(source.connector, "HDMI-1");
    EXPECT_EQ(source.image, image("edid/003e3a86840230ba.bin"));

    // other text has no xrandr EDID: an "EDID:" line outside a connector, or none at all
    for (const std::string& text :
         {std::string("hello\n"), std::string("\tEDID:\n\t\t00ffffffffffff00\n"),
          std::string("HDMI-1 connected\n\tEDID:\n\tnot hex\n")})
        EXPECT_TRUE(ReadXrandrEdids(text).empty()) << text;
}
