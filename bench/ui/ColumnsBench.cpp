// Display columns of a 2^21-sample signal: from the block pyramid against the full scan of every visible
// sample (the reference), and the one-off cost of building the pyramid.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "ui/ColumnPyramid.hpp"
#include "ui/SignalViewModel.hpp"

namespace {

using velmar::ui::ColumnPyramid;
using velmar::ui::IndexRange;

constexpr int kSamples = 1 << 21;

// A shaft tone with harmonics and noise, like a real vibration record.
const std::vector<double>& Signal() {
    static const std::vector<double> values = [] {
        std::vector<double> v(kSamples);
        std::mt19937_64 rng(12345);
        std::normal_distribution<double> noise(0.0, 0.2);
        for (int i = 0; i < kSamples; ++i) {
            const double t = i / 25600.0;
            v[static_cast<std::size_t>(i)] = std::sin(2 * M_PI * 24.5 * t) +
                                             0.4 * std::sin(2 * M_PI * 49 * t) +
                                             0.1 * std::sin(2 * M_PI * 1130 * t) + noise(rng);
        }
        return v;
    }();
    return values;
}

// Whole signal, or a view whose ends sit on no block boundary.
IndexRange RangeOf(int which) {
    return which == 0 ? IndexRange{1, kSamples} : IndexRange{12345, kSamples - 6789};
}

void BM_Columns_FullScan(benchmark::State& state) {
    const auto& values = Signal();
    const int width = static_cast<int>(state.range(0));
    const IndexRange range = RangeOf(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(velmar::ui::BuildColumns(values, range, width, 1.0));
    }
    state.SetItemsProcessed(state.iterations() * range.Count());
}

void BM_Columns_Pyramid(benchmark::State& state) {
    const auto& values = Signal();
    const ColumnPyramid pyramid(values);
    const int width = static_cast<int>(state.range(0));
    const IndexRange range = RangeOf(static_cast<int>(state.range(1)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(pyramid.BuildColumns(range, width, 1.0));
    }
    state.SetItemsProcessed(state.iterations() * range.Count());
}

void BM_Pyramid_Build(benchmark::State& state) {
    const auto& values = Signal();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const ColumnPyramid pyramid(values);
        bytes = pyramid.SummaryBytes();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.counters["summaryMiB"] = static_cast<double>(bytes) / (1 << 20);
}

BENCHMARK(BM_Columns_FullScan)->ArgsProduct({{1600, 2048}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Columns_Pyramid)->ArgsProduct({{1600, 2048}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pyramid_Build)->Unit(benchmark::kMicrosecond);

}  // namespace
