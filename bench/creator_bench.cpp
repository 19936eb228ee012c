// The creator on the real EDIDs of tests/data/edid: the whole way of `tavo-cli rebuild` and of
// Open + Save in the window (decode, every control of the page set through its rules, the page
// read back into the record, encode, validate), and the two halves on their own.
// items_per_second is EDIDs per second on one core.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "workspace/creator/CreatorBuild.h"
#include "workspace/creator/CreatorLoad.h"
#include "workspace/creator/CreatorRebuild.h"

using namespace tavo;
using namespace tavo::creator;

namespace {

// The valid samples (the invalid ones stop at the loader's reset page).
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
            const EdidImage image =
                ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            std::uint16_t status = 0;
            if (ValidateImage(image, status)) out.push_back(image);
        }
        return out;
    }();
    return samples;
}

constexpr CalendarDate kDate{2026, 12, 7};

void BM_CreatorRebuild(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("no valid samples in tests/data/edid");
        return;
    }
    std::size_t i = 0;
    EdidImage out{};
    for (auto _ : state) {
        const BuildResult result = Rebuild(samples[i], kDate, out);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(out);
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetLabel(std::to_string(samples.size()) + " EDIDs");
}
BENCHMARK(BM_CreatorRebuild);

void BM_CreatorLoad(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("no valid samples in tests/data/edid");
        return;
    }
    std::size_t i = 0;
    EdidRecord record;
    CreatorPage page;
    for (auto _ : state) {
        OpenImage(record, page, samples[i], kDate);
        benchmark::DoNotOptimize(page);
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_CreatorLoad);

void BM_CreatorBuild(benchmark::State& state) {
    const auto& samples = Samples();
    if (samples.empty()) {
        state.SkipWithError("no valid samples in tests/data/edid");
        return;
    }
    // the pages loaded beforehand; each build starts from its freshly loaded record
    std::vector<std::pair<EdidRecord, CreatorPage>> loaded(samples.size());
    for (std::size_t k = 0; k < samples.size(); ++k)
        OpenImage(loaded[k].first, loaded[k].second, samples[k], kDate);
    std::size_t i = 0;
    for (auto _ : state) {
        EdidRecord record = loaded[i].first;
        const BuildResult result = Build(loaded[i].second, record);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(record.image);
        if (++i == samples.size()) i = 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_CreatorBuild);

} // namespace

BENCHMARK_MAIN();
