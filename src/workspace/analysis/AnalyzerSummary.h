#pragma once
// The "EDID Information" summary: what the analysis says of a decoded EDID, as fifteen rows of
// text and whether the EDID is valid. How a window or a terminal shows the rows is theirs.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "edid/EdidRecord.h"

namespace tavo {

class JsonWriter;

enum class SummaryRow : int {
    Header,
    Checksum,
    Format,
    ManufacturerName,
    MonitorName,
    MaxResolution,
    MaxColorDepth,
    Support3D,
    SupportYuv420,
    SupportScdc,
    Support600MHz,
    SupportHdr,
    AudioFormats,
    AudioChannels,
    CecAddress,
};
inline constexpr int kSummaryRowCount = 15;

// Row titles: the JSON keys of `tavo-cli analyze --json`.
inline constexpr std::array<std::string_view, kSummaryRowCount> kSummaryTitles = {
    "EDID Header",    "EDID Checksum",   "Content Format", "Manufacturer Name", "Monitor Name",
    "Max Resolution", "Max Color Depth", "Support 3D",     "Support YUV420",    "Support SCDC",
    "Support 600MHz", "Support HDR",     "Audio Formats",  "Audio Max Channel", "CEC Address",
};
// A row text of bounded length (the longest, the audio row with every format, is 51 characters).
class SummaryText {
public:
    static constexpr std::size_t kCapacity = 63;
    std::string_view View() const { return {data_.data(), size_}; }
    std::size_t Size() const { return size_; }
    void Clear() { size_ = 0; }
    void Assign(std::string_view s) {
        size_ = 0;
        Append(s);
    }
    void Append(std::string_view s) {
        const std::size_t n = s.size() < kCapacity - size_ ? s.size() : kCapacity - size_;
        s.copy(data_.data() + size_, n);
        size_ += n;
    }

private:
    std::array<char, kCapacity> data_{};
    std::size_t size_ = 0;
};

struct AnalyzerSummary {
    std::array<SummaryText, kSummaryRowCount> rows;
    bool valid = false; // the image passed validation
    std::string_view Row(SummaryRow r) const { return rows[static_cast<int>(r)].View(); }
};

// The summary of a record that Decode has filled. An invalid image gives "Illegal" and "-"
// rows; when its header is good, "Illegal (header good)" and the checksum row names the block at
// fault ("Illegal (extension erased)"). The audio row lists the formats, each ending in a comma
// ("2PCM,MPCM,DolbyD,").
AnalyzerSummary Summarize(const EdidRecord& record);

// Decodes the record's own image into it, then summarises it.
AnalyzerSummary AnalyseEdid(EdidRecord& record);

// A whole EDID of more than two blocks as the analyzer reads it: the base block and the first
// CTA-861 extension, wherever it stands, as one 256-byte image with the extension count 1 (each
// checksum as good or bad as it was), and the blocks beyond them by kind, in order of first
// appearance, and the announced blocks the bytes lack: "1 DisplayID", "1 DisplayID, 1 CTA-861",
// "1 DisplayID, 1 missing". Without a CTA-861 extension the image is the base block alone
// (extension count 0, the rest 0xFF) and every other block is further: "2 DisplayID". False for
// an EDID that announces two blocks or fewer or has no base block: it is read as a slot's image.
bool AnalysisOfWholeEdid(std::span<const std::uint8_t> bytes, EdidImage& image,
                         std::string& furtherBlocks);

// The title and JSON key of the line that names the further blocks of a whole EDID.
inline constexpr std::string_view kFurtherBlocksLabel = "Further Blocks";

// One JSON object on one line, tightly spaced: "file" and the fifteen rows keyed by
// kSummaryTitles (their Latin-1 text written as UTF-8), then "Further Blocks" when
// `furtherBlocks` names any.
std::string SummaryJson(std::string_view file, const AnalyzerSummary& summary,
                        std::string_view furtherBlocks = {});
// That object as the next value of `json`.
void WriteSummary(JsonWriter& json, std::string_view file, const AnalyzerSummary& summary,
                  std::string_view furtherBlocks = {});

// Latin-1 bytes as UTF-8 (for printing label texts).
std::string Latin1ToUtf8(std::string_view text);

} // namespace tavo
