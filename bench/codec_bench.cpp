// EDID codec throughput on the real EDIDs of tests/data/edid: decode + analyzer summary (what
// `tavo-cli analyze` and the analyzer window do per EDID), and decode + encode (the creator's
// load and build without the page), the semantic diff of two EDIDs (`tavo-cli diff`) and the
// check (`tavo-cli check`).
// items_per_second is EDIDs (diffs: pairs of EDIDs) per second on one core.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "edid/Check.h"
#include "edid/Decoder.h"
#include "edid/EdidDiff.h"
#include "edid/Encoder.h"
#include "workspace/AnalyzerSummary.h"
#include "workspace/Compose.h"

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
