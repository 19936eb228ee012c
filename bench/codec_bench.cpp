// EDID codec throughput on the real EDIDs of tests/data/edid: decode + analyzer summary (what
// `tavo-cli analyze` and the analyzer window do per EDID), and decode + encode (the creator's
// load and build without the page), the semantic diff of two EDIDs (`tavo-cli diff`) and the
// check (`tavo-cli check`); the analysis, the whole reading and the block map also of a 512-byte
// EDID with DisplayID.
// items_per_second is EDIDs (diffs: pairs of EDIDs) per second on one core.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "edid/BlockMap.h"
#include "edid/Check.h"
#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/EdidDiff.h"
#include "edid/Encoder.h"
#include "edid/WholeEdid.h"
#include "workspace/analysis/AnalyzerSummary.h"
#include "workspace/compose/Compose.h"

using namespace tavo;

namespace {

const std::vector<EdidImage>& Samples() {
    static const std::vector<EdidImage> samples = [] {
        std::vector<EdidImage> out;
        std::vector<std::filesystem::path> paths;
        for (const auto& e :
             std::filesystem::directory_iterator(std::filesystem::path(TAVO_TEST_DATA) / "edid"))
            if (e.path().extension() == ".bin") paths.push_back(e.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& p : paths) {
            std::ifstream in(p, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
            out.push_back(
                ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        }
        return out;
    }();
    return samples;
}

// The 512-byte EDID with a DisplayID block (tests/data/blocks).
std::vector<std::uint8_t> LargeSample() {
    std::ifstream in(std::filesystem::path(TAVO_TEST_DATA) / "blocks" / "displayid-512.bin",
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void BM_DecodeSummary(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("no samples in tests/data/edid");
        return;
    }
    std::size_t i = 0;
    EdidRecord record;
    for (auto _ : state) {
        Decode(record, samples[i]);
        AnalyzerSummary summary = Summarize(record);
        benchmark::DoNotOptimize(summary);
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetLabel(std::to_string(samples.size()) + " EDIDs");
}
BENCHMARK(BM_DecodeSummary);

// The same analysis of the 512-byte EDID with DisplayID in tests/data/blocks, as `tavo-cli
// analyze` makes it: the whole EDID's base block and first CTA-861 extension and the line naming
// the further blocks, then decode and summary.
void BM_DecodeSummary512DisplayId(benchmark::State& state) {
    const auto bytes = LargeSample();
    EdidRecord record;
    for (auto _ : state) {
        EdidImage image{};
        std::string further;
        if (!AnalysisOfWholeEdid(bytes, image, further)) {
            state.SkipWithError("not an EDID of more blocks");
            return;
        }
        Decode(record, image);
        AnalyzerSummary summary = Summarize(record);
        benchmark::DoNotOptimize(summary);
        benchmark::DoNotOptimize(further);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_DecodeSummary512DisplayId);

// Reading an EDID input as every command does (the whole reader: the form decided from the
// bytes, every byte kept) and walking its blocks: the 256-byte samples and the 512-byte EDID.
void ReadAndWalk(benchmark::State& state, const std::vector<std::vector<std::uint8_t>>& inputs) {
    std::size_t i = 0;
    std::vector<std::uint8_t> out;
    std::string error;
    for (auto _ : state) {
        const auto& in = inputs[i];
        EdidForm form = EdidForm::Binary;
        if (!ReadWholeEdidBytes(in.data(), in.size(), out, form, error)) {
            state.SkipWithError("unreadable");
            return;
        }
        const EdidBlocks blocks = ReadEdidBlocks(out);
        benchmark::DoNotOptimize(blocks.blocks.data());
        if (++i == inputs.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_ReadWhole256(benchmark::State& state) {
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const auto& image : Samples())
        inputs.emplace_back(image.begin(), image.end());
    ReadAndWalk(state, inputs);
}
BENCHMARK(BM_ReadWhole256);

void BM_ReadWhole512DisplayId(benchmark::State& state) {
    ReadAndWalk(state, {LargeSample()});
}
BENCHMARK(BM_ReadWhole512DisplayId);

void BM_DecodeSummaryJson(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("no samples in tests/data/edid");
        return;
    }
    std::size_t i = 0;
    EdidRecord record;
    for (auto _ : state) {
        Decode(record, samples[i]);
        std::string json = SummaryJson("x.bin", Summarize(record));
        benchmark::DoNotOptimize(json);
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_DecodeSummaryJson);

// The check of one EDID (what `tavo-cli check` and the analyzer's verdict do per EDID).
void BM_Check(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("no samples in tests/data/edid");
        return;
    }
    std::size_t i = 0, findings = 0;
    for (auto _ : state) {
        const auto found = CheckImage(samples[i]);
        findings += found.size();
        benchmark::DoNotOptimize(found);
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetLabel(std::to_string(samples.size()) + " EDIDs");
    benchmark::DoNotOptimize(findings);
}
BENCHMARK(BM_Check);

void BM_DecodeEncode(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("no samples in tests/data/edid");
        return;
    }
    std::size_t i = 0;
    EdidRecord record;
    std::int64_t refused = 0;
    for (auto _ : state) {
        Decode(record, samples[i]);
        const EncodeResult res = Encode(record);
        refused += !res.ok;
        benchmark::DoNotOptimize(record.image);
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["refused"] = static_cast<double>(refused);
}
BENCHMARK(BM_DecodeEncode);

// Each sample against the next one: the block maps of both, the part matching and the texts.
void BM_Diff(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.size() < 2) {
        state.SkipWithError("no samples in tests/data/edid");
        return;
    }
    std::size_t i = 0;
    std::int64_t lines = 0;
    for (auto _ : state) {
        const auto texts =
            DifferenceTexts(DiffImages(samples[i], samples[(i + 1) % samples.size()]));
        lines += static_cast<std::int64_t>(texts.size());
        benchmark::DoNotOptimize(texts.data());
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["lines"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Diff);

// The block map of every block, with every part's fields (the hex view's and the diff's reading),
// of the 512-byte EDID with a DisplayID block in tests/data/blocks, and of the 256-byte samples
// the same way. items_per_second is EDIDs per second.
void MapWithFields(benchmark::State& state, const std::vector<std::vector<std::uint8_t>>& edids) {
    if (edids.empty()) {
        state.SkipWithError("no EDIDs");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& bytes = edids[i];
        const BlockMap map = MapEdid(bytes);
        std::size_t fields = 0;
        for (const auto& part : map)
            fields += PartFields(bytes, part).size();
        benchmark::DoNotOptimize(fields);
        if (++i == edids.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_BlockMap512DisplayId(benchmark::State& state) {
    MapWithFields(state, {LargeSample()});
}
BENCHMARK(BM_BlockMap512DisplayId);

void BM_BlockMap256(benchmark::State& state) {
    std::vector<std::vector<std::uint8_t>> edids;
    for (const auto& image : Samples())
        edids.emplace_back(image.begin(), image.end());
    MapWithFields(state, edids);
}
BENCHMARK(BM_BlockMap256);

// Compose of eight sources (`tavo-cli compose` with eight displays): two 4K TVs, a monitor,
// three receivers, a 4K monitor and a 1080p TV that share 1080p and 720p. items_per_second is
// composed EDIDs per second, each with its list of what it leaves out.
void BM_ComposeEight(benchmark::State& state) {
    static const char* const names[] = {"0615aa6316ff13ad", "05a56ba71e1ddc67", "049581c3f4b50a09",
                                        "6311a3e944772acc", "0b420c464d9c5469", "d0807abe7120c13f",
                                        "ee123e2c04b65b39", "003e3a86840230ba"};
    std::vector<ComposeSource> sources;
    for (const char* name : names) {
        std::ifstream in(std::filesystem::path(TAVO_TEST_DATA) / "edid" /
                             (std::string(name) + ".bin"),
                         std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        sources.push_back({name, ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                bytes.size())});
    }
    if (Compose(sources, {}).outcome != ComposeOutcome::Built) {
        state.SkipWithError("the eight samples share nothing");
        return;
    }
    std::int64_t omissions = 0;
    for (auto _ : state) {
        const ComposeResult r = Compose(sources, {});
        omissions += static_cast<std::int64_t>(r.omissions.size());
        benchmark::DoNotOptimize(r.image.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.counters["omissions"] =
        benchmark::Counter(static_cast<double>(omissions), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ComposeEight);

} // namespace

BENCHMARK_MAIN();
