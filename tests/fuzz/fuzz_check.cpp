// The check of arbitrary bytes, as `tavo-cli check` sees them: any number of whole blocks, the
// 256-byte image a slot holds, and the same with a CTA-861 extension forced in so the data block
// walks run. Nothing is read outside the input (ASan), every finding names a known rule, a part
// inside the EDID and a sentence; the findings are ordered; the JSON is one line.
#include "edid/Check.h"
#include "fuzz_common.h"

#include <algorithm>
#include <span>
#include <vector>

using namespace tavo;

namespace {

void Verify(const std::vector<Finding>& findings, std::size_t size) {
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        fuzz::Check(FindCheckRule(f.rule) != nullptr);
        fuzz::Check(!f.part.empty() && !f.text.empty());
        fuzz::Check(f.offset >= 0 && f.length >= 0 &&
                    static_cast<std::size_t>(f.offset + f.length) <=
                        std::max<std::size_t>(size, 256));
        if (i)
            fuzz::Check(findings[i - 1].offset < f.offset ||
                        (findings[i - 1].offset == f.offset && findings[i - 1].rule <= f.rule));
    }
    const std::string json = CheckJson("fuzz.bin", findings);
    fuzz::Check(json.find('\n') == std::string::npos);
    const std::string summary = CheckSummaryLine(findings);
    fuzz::Check(summary.rfind("Check: ", 0) == 0);
    fuzz::Check((VerdictOf(findings) == Verdict::Pass) == findings.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // exactly the input's bytes on the heap, so a read past them is caught
    const std::vector<std::uint8_t> bytes(data, data + size);
    Verify(CheckEdid(bytes), size);
    EdidImage image = ImageFromBytes(data, size);
    Verify(CheckImage(image), kEdidSize);
    image[126] = 1;
    image[128] = 2;
    image[129] = 3;
    const EdidImage repaired = fuzz::Repaired(image);
    Verify(CheckImage(repaired), kEdidSize);
    return 0;
}
