#include "workspace/analysis/AnalyzerSummary.h"

#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "edid/JsonWriter.h"

#include <utility>
#include <vector>

namespace tavo {
namespace {

constexpr std::string_view kYes = "Yes";
constexpr std::string_view kNo = "No";
constexpr std::string_view kDash = "-";

// Audio row entries in the order they are shown.
struct AudioEntry {
    std::uint16_t bit;
    std::string_view text;
};
constexpr AudioEntry kAudioEntries[] = {
    {kAudioLpcm2, "2PCM,"},   {kAudioLpcmMulti, "MPCM,"}, {kAudioAc3, "DolbyD,"},
    {kAudioEac3, "DolbyD+,"}, {kAudioMat, "DolbyHD,"},    {kAudioDts, "DTS,"},
    {kAudioDtsHd, "DTSHD,"},  {kAudioAac, "AAC,"},        {kAudioOneBit, "OBA,"},
};

void AppendDecimal(SummaryText& t, unsigned v) {
    char buf[4];
    int n = 0;
    do {
        buf[3 - n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 4);
    t.Append({buf + 4 - n, static_cast<std::size_t>(n)});
}

void AppendHexByte(SummaryText& t, std::uint8_t v) {
    constexpr char kHex[] = "0123456789ABCDEF";
    const char buf[2] = {kHex[v >> 4], kHex[v & 0x0F]};
    t.Append({buf, 2});
}

SummaryText& RowOf(AnalyzerSummary& s, SummaryRow r) {
    return s.rows[static_cast<int>(r)];
}

} // namespace

AnalyzerSummary Summarize(const EdidRecord& record) {
    AnalyzerSummary s;
    if (record.status & kStatusValidationMask) {
        for (auto& row : s.rows)
            row.Assign(kDash);
        // "Illegal" stays on the header row; when the header itself is good, plain words
        // beside it say so and the checksum row names the block at fault, so that a checksum
        // fault (an erased extension area) is not read as a broken header
        const std::uint16_t status = record.status;
        SummaryText& header = RowOf(s, SummaryRow::Header);
        header.Assign("Illegal");
        if (!(status & kStatusBadHeader)) {
            header.Append(" (header good)");
            SummaryText& checksum = RowOf(s, SummaryRow::Checksum);
            if (status & kStatusBadChecksum0) {
                checksum.Assign("Illegal (base block)");
            } else if (status & kStatusTooManyBanks) {
                checksum.Assign("Illegal (extension count)");
            } else if (status & kStatusBadChecksum1) {
                bool erased = true, empty = true;
                for (std::size_t i = 128; i < kEdidSize; ++i) {
                    erased = erased && record.image[i] == 0xFF;
                    empty = empty && record.image[i] == 0x00;
                }
                checksum.Assign(erased  ? "Illegal (extension erased)"
                                : empty ? "Illegal (extension empty)"
                                        : "Illegal (extension block)");
            }
        }
        s.valid = false;
        return s;
    }
    s.valid = true;
    RowOf(s, SummaryRow::Header).Assign("Good");
    RowOf(s, SummaryRow::Checksum).Assign("Good");
    RowOf(s, SummaryRow::Format)
        .Assign(record.formatFlags & (kFormatNoExtension | kFormatCeaWithoutHdmi) ? "DVI" : "HDMI");
    RowOf(s, SummaryRow::ManufacturerName).Assign(FieldText(record.manufacturer));
    const std::string_view name = FieldText(record.monitorName);
    RowOf(s, SummaryRow::MonitorName).Assign(name.empty() ? kDash : name);
    RowOf(s, SummaryRow::MaxResolution).Assign(FieldText(record.maxResolutionName));

    SummaryText& depth = RowOf(s, SummaryRow::MaxColorDepth);
    AppendDecimal(depth, record.colorDepth);
    depth.Append("bit");

    RowOf(s, SummaryRow::Support3D).Assign(record.formatFlags & kFormat3D ? kYes : kNo);
    RowOf(s, SummaryRow::SupportYuv420).Assign(record.yuv420Selection ? kYes : kNo);
    RowOf(s, SummaryRow::SupportScdc).Assign(record.scdc ? kYes : kNo);
    RowOf(s, SummaryRow::Support600MHz).Assign(record.support600MHz ? kYes : kNo);

    // The decoder leaves the HDR summary in the 4:2:0 deep colour field.
    SummaryText& hdr = RowOf(s, SummaryRow::SupportHdr);
    const std::uint8_t hdrSummary = record.yuv420DeepColor;
    if (hdrSummary == 0) {
        hdr.Assign(kNo);
    } else {
        hdr.Assign("8bit,");
        if (hdrSummary & 0x01) hdr.Append("10bit,");
        if (hdrSummary & 0x02) hdr.Append("12bit,");
        if (hdrSummary & 0x04) hdr.Append("16bit,");
    }

    SummaryText& audio = RowOf(s, SummaryRow::AudioFormats);
    for (const auto& e : kAudioEntries)
        if (record.audioFormatsPresent & e.bit) audio.Append(e.text);

    SummaryText& channels = RowOf(s, SummaryRow::AudioChannels);
    AppendDecimal(channels, record.maxChannels);
    channels.Append("CH");

    SummaryText& cec = RowOf(s, SummaryRow::CecAddress);
    AppendHexByte(cec, record.cecAddress[0]);
    AppendHexByte(cec, record.cecAddress[1]);
    return s;
}

AnalyzerSummary AnalyseEdid(EdidRecord& record) {
    Decode(record, record.image);
    return Summarize(record);
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void WriteSummary(JsonWriter& json, std::string_view file, const AnalyzerSummary& summary,
                  std::string_view furtherBlocks) {
    json.BeginObject(JsonSpacing::Tight).Member("file", file);
    for (int i = 0; i < kSummaryRowCount; ++i)
        json.Key(kSummaryTitles[i]).Latin1(summary.rows[i].View());
    if (!furtherBlocks.empty()) json.Member(kFurtherBlocksLabel, furtherBlocks);
    json.EndObject();
}

std::string SummaryJson(std::string_view file, const AnalyzerSummary& summary,
                        std::string_view furtherBlocks) {
    JsonWriter json(JsonSpacing::Tight);
    WriteSummary(json, file, summary, furtherBlocks);
    return json.Text();
}

bool AnalysisOfWholeEdid(std::span<const std::uint8_t> bytes, EdidImage& image,
                         std::string& furtherBlocks) {
    const EdidBlocks e = ReadEdidBlocks(bytes);
    const EdidBlock* cta = e.FirstCta();
    // without a CTA-861 extension (a base block and DisplayID blocks): the base block alone
    if (!ImageOfLargerEdid(bytes, image)) return false;
    std::vector<std::pair<std::string_view, int>> kinds;
    for (const EdidBlock& b : e.blocks) {
        if (b.index == 0 || (cta != nullptr && b.index == cta->index)) continue;
        const std::string_view name = BlockKindName(b.kind);
        auto it = kinds.begin();
        while (it != kinds.end() && it->first != name)
            ++it;
        if (it == kinds.end())
            kinds.emplace_back(name, 1);
        else
            ++it->second;
    }
    furtherBlocks.clear();
    for (const auto& [name, count] : kinds) {
        if (!furtherBlocks.empty()) furtherBlocks += ", ";
        furtherBlocks += std::to_string(count) + ' ' + std::string(name);
    }
    const int missing = e.announced - static_cast<int>(e.blocks.size());
    if (missing > 0)
        furtherBlocks += (furtherBlocks.empty() ? "" : ", ") + std::to_string(missing) + " missing";
    return true;
}

} // namespace tavo
