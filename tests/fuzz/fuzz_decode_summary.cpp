// Decode and summarise arbitrary bytes, as `tavo-cli analyze` and the analyzer do.
#include <cstring>

#include "edid/Decoder.h"
#include "fuzz_common.h"
#include "workspace/analysis/AnalyzerSummary.h"

using namespace tavo;

namespace {

void Analyse(const EdidImage& image) {
    EdidRecord record;
    record.image = image;
    const AnalyzerSummary s = AnalyseEdid(record);
    fuzz::Check(s.valid == ((record.status & kStatusValidationMask) == 0));
    fuzz::Check(record.image == image);
    for (const auto& row : s.rows)
        fuzz::Check(row.Size() < SummaryText::kCapacity);
    // the rows are single lines: breaking them is for whoever shows them. A name or serial text
    // keeps its own control characters (a carriage return among them: a descriptor's text ends only
    // at its line feed); whoever shows a row makes them visible.
    for (const auto& row : s.rows)
        fuzz::Check(row.View().find('\n') == std::string_view::npos);
    // text fields stay terminated
    fuzz::Check(std::memchr(record.monitorName.data(), 0, record.monitorName.size()) != nullptr);
    fuzz::Check(record.colorDepth == 8 || record.colorDepth == 10 || record.colorDepth == 12 ||
                record.colorDepth == 16);
    const std::string json = SummaryJson("fuzz.bin", s);
    fuzz::Check(json.find('\n') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const EdidImage image = ImageFromBytes(data, size);
    Analyse(image);
    Analyse(fuzz::Repaired(image));
    return 0;
}
