// Compose two or three images cut from the input (repaired to pass validation; a missing one is
// a copy of the first): a built result validates, and every claim it makes is held by every
// source (the audio claims by the source the audio comes from).
#include <algorithm>

#include "edid/Decoder.h"
#include "fuzz_common.h"
#include "workspace/AnalyzerSummary.h"
#include "workspace/Compose.h"

using namespace tavo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int count = size > 2 * kEdidSize ? 3 : 2;
    std::vector<ComposeSource> sources;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = i * kEdidSize;
        ComposeSource s;
        s.label = "source";
        s.image = at < size
                      ? fuzz::Repaired(ImageFromBytes(data + at, std::min(kEdidSize, size - at)))
                      : sources[0].image;
        sources.push_back(s);
    }
    ComposeOptions options;
    options.audioFrom = data[size - 1] % (count + 1);
    const ComposeResult result = Compose(sources, options);
    fuzz::Check(result.outcome != ComposeOutcome::BadInput);
    if (result.outcome != ComposeOutcome::Built) return 0;
    std::uint16_t status = 0;
    fuzz::Check(ValidateImage(result.image, status));
    EdidRecord record;
    record.image = result.image;
    (void)ShowAnalysis(record);
    std::vector<std::vector<ComposeCapability>> held;
    for (const ComposeSource& s : sources)
        held.push_back(ComposeCapabilities(s.image));
    for (const ComposeCapability& claim : ComposeCapabilities(result.image)) {
        for (int i = 0; i < count; ++i) {
            if (claim.audio && options.audioFrom && i + 1 != options.audioFrom) continue;
            const auto it = std::find_if(held[i].begin(), held[i].end(),
                                         [&](const auto& c) { return c.name == claim.name; });
            fuzz::Check(it != held[i].end() && it->level >= claim.level);
        }
    }
    return 0;
}
