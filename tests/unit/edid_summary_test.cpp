// The analyzer summary rows and the JSON line.
#include <gtest/gtest.h>

#include <algorithm>

#include "edid/Decoder.h"
#include "edid/NewEdidTemplate.h"
#include "edid_builders.h"
#include "workspace/analysis/AnalyzerSummary.h"

using namespace tavo;
using namespace tavo::test;

namespace {

AnalyzerSummary Analyse(const EdidImage& img) {
    EdidRecord r;
    r.image = img;
    return AnalyseEdid(r);
}

std::vector<std::string> Rows(const AnalyzerSummary& s) {
    std::vector<std::string> out;
    for (const auto& row : s.rows)
        out.emplace_back(row.View());
    return out;
}

} // namespace

TEST(Summary, WholeRows) {
    struct Case {
        const char* what;
        EdidImage image;
        std::vector<std::string> rows;
        bool valid;
    } cases[] = {
        {"new template",
         NewEdidTemplate(),
         {"Good", "Good", "HDMI", "NEW", "BrandNewEdid", "1080p@60Hz", "8bit", "No", "No", "No",
          "No", "No", "2PCM,", "2CH", "1000"},
         true},
        {"base block only",
         BaseOnly(),
         {"Good", "Good", "DVI", "@@@", "UNDEFINE.", "UNDEFINE.", "8bit", "No", "No", "No", "No",
          "No", "", "0CH", "0000"},
         true},
        {"extension without HDMI block",
         WithBlocks({0x41, 0x10}),
         {"Good", "Good", "DVI", "@@@", "UNDEFINE.", "1080p@60Hz", "8bit", "No", "No", "No", "No",
          "No", "", "0CH", "0000"},
         true},
        {"everything",
         WithBlocks({0x42, 0x10, 0x61,                                           // video
                     0x2C, 0x09, 0x07, 0x07, 0x0F, 0x7F, 0x07, 0x15, 0x07, 0x50, // audio
                     0x3D, 0x07, 0x50,                                           //
                     0x6C, 0x03, 0x0C, 0x00, 0xAB, 0xCD, 0xF8, 0x78, 0x20, 0x80, 0x20,
                     0x01, 0x00, 0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x07, // forum
                     0xE3, 0x06, 0x05, 0x01, 0xE2, 0x0F, 0x01}),
         {"Good", "Good", "HDMI", "@@@", "UNDEFINE.", "2160p@60Hz", "16bit", "Yes", "Yes", "Yes",
          "Yes", "8bit,10bit,12bit,16bit,", "2PCM,MPCM,DolbyD,DTS,", "8CH", "ABCD"},
         true},
        {"bank-1 checksum wrong",
         [] {
             EdidImage i = NewEdidTemplate();
             i[255] ^= 1;
             return i;
         }(),
         {"Illegal (header good)", "Illegal (extension block)", "-", "-", "-", "-", "-", "-", "-",
          "-", "-", "-", "-", "-", "-"},
         false},
        {"extension announced, its area erased",
         [] {
             EdidImage i = NewEdidTemplate();
             std::fill(i.begin() + 128, i.end(), 0xFF);
             return i;
         }(),
         {"Illegal (header good)", "Illegal (extension erased)", "-", "-", "-", "-", "-", "-", "-",
          "-", "-", "-", "-", "-", "-"},
         false},
        {"base block checksum wrong",
         [] {
             EdidImage i = NewEdidTemplate();
             i[20] ^= 1;
             return i;
         }(),
         {"Illegal (header good)", "Illegal (base block)", "-", "-", "-", "-", "-", "-", "-", "-",
          "-", "-", "-", "-", "-"},
         false},
        {"header broken",
         [] {
             EdidImage i = NewEdidTemplate();
             i[3] = 0;
             return i;
         }(),
         {"Illegal", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-", "-"},
         false},
        {"monitor name starting with a line feed",
         [] {
             EdidImage i = BaseOnly();
             PutNameDescriptor(i, 0, {0x0A, 'X'});
             return i;
         }(),
         {"Good", "Good", "DVI", "@@@", "-", "UNDEFINE.", "8bit", "No", "No", "No", "No", "No", "",
          "0CH", "0000"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const AnalyzerSummary s = Analyse(c.image);
        EXPECT_EQ(Rows(s), c.rows);
        EXPECT_EQ(s.valid, c.valid);
    }
}

TEST(Summary, AudioRowListsTheFormatsInOrderOnOneLine) {
    const std::pair<std::uint16_t, std::string_view> cases[] = {
        {0x1FF, "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,DTS,DTSHD,AAC,OBA,"},
        {kAudioOneBit | kAudioLpcm2 | kAudioDtsHd, "2PCM,DTSHD,OBA,"},
        {0, ""},
    };
    for (const auto& [formats, row] : cases) {
        EdidRecord r;
        Decode(r, NewEdidTemplate());
        r.audioFormatsPresent = formats;
        EXPECT_EQ(Summarize(r).Row(SummaryRow::AudioFormats), row) << formats;
    }
}

TEST(Summary, HdrRow) {
    const std::pair<std::uint8_t, std::string_view> cases[] = {
        {0x00, "No"},
        {0x80, "8bit,"},
        {0x01, "8bit,10bit,"},
        {0x05, "8bit,10bit,16bit,"},
        {0x07, "8bit,10bit,12bit,16bit,"},
    };
    for (const auto& [bits, text] : cases) {
        EdidRecord r;
        Decode(r, NewEdidTemplate());
        r.yuv420DeepColor = bits;
        EXPECT_EQ(Summarize(r).Row(SummaryRow::SupportHdr), text) << int(bits);
    }
}

TEST(Summary, JsonLine) {
    EdidImage img = WithBlocks({0x32, 0x09, 0x07, 0x07, 0x0F, 0x7F, 0x07, 0x15, 0x07, 0x50, 0x35,
                                0x07, 0x50, 0x55, 0x07, 0x50, 0x65, 0x07, 0x50});
    PutNameDescriptor(img, 1, {'A', '"', '\\', 0xE9, 0x01, '\n'});
    FixChecksums(img);
    const AnalyzerSummary s = Analyse(img);
    ASSERT_EQ(s.Row(SummaryRow::AudioFormats), "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,AAC,");
    EXPECT_EQ(SummaryJson("dir/a \"b\".bin", s),
              "{\"file\":\"dir/a \\\"b\\\".bin\",\"EDID Header\":\"Good\",\"EDID Checksum\":"
              "\"Good\",\"Content Format\":\"DVI\",\"Manufacturer Name\":\"@@@\",\"Monitor "
              "Name\":\"A\\\"\\\\\xC3\xA9\\u0001\",\"Max Resolution\":\"UNDEFINE.\",\"Max Color "
              "Depth\":\"8bit\",\"Support 3D\":\"No\",\"Support YUV420\":\"No\",\"Support "
              "SCDC\":\"No\",\"Support 600MHz\":\"No\",\"Support HDR\":\"No\",\"Audio "
              "Formats\":\"2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,AAC,\",\"Audio Max "
              "Channel\":\"8CH\",\"CEC Address\":\"0000\"}");
    // a file name is UTF-8 as it stands (the rows' texts are Latin-1)
    const std::string name = "\xC3\xA9"
                             "cran.bin";
    EXPECT_EQ(SummaryJson(name, s).substr(0, 21), "{\"file\":\"" + name + "\",");
    // the further blocks of a larger EDID close the line
    const std::string further = SummaryJson("f", s, "1 DisplayID");
    EXPECT_EQ(further.substr(further.size() - 32), ",\"Further Blocks\":\"1 DisplayID\"}");
    EXPECT_EQ(Latin1ToUtf8("\xFF"
                           "a"),
              "\xC3\xBF"
              "a");
}
