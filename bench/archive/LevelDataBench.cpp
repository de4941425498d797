// Reading a long series held by a node: through the contiguous view, as the transform engine and the plot
// do, next to the per-point accessors (one virtual call per value).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "archive/ArchiveContext.hpp"
#include "archive/DBLevel.hpp"
#include "common/Numbers.hpp"

namespace {

using velmar::archive::ArchiveContext;
using velmar::archive::MakeNode;
using velmar::archive::NodePtr;
using velmar::archive::PointLayout;
using velmar::archive::TDataHeader;
using velmar::archive::TDBLevel;

constexpr std::int32_t kPoints = std::int32_t{1} << 21;

struct Series {
    ArchiveContext context;
    NodePtr node;

    Series(std::int32_t kind, std::uint8_t flags) {
        node = MakeNode<TDBLevel>(context, nullptr);
        TDataHeader h;
        h.Kind = kind;
        h.Quantity = 4;
        h.Flags = flags;
        h.XStep = 1.0 / 25600;
        h.PhaseShift2 = 12.5;
        node->SetHeader(h);
        node->AllocData(kPoints);
        node->LockData();
        auto values = node->MutableValues();
        for (std::size_t k = 0; k < values.size(); ++k) {
            values[k] = static_cast<double>(k % 1000) * 0.001 - 0.5;
        }
    }
};

void BM_SignalSum_Span(benchmark::State& state) {
    Series series(2, 0);
    const TDBLevel& node = *series.node;
    for (auto _ : state) {
        const auto values = node.Values();
        double sum = 0;
        for (double v : values) {
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_SignalSum_Span)->Unit(benchmark::kMillisecond);

void BM_SignalSum_Accessors(benchmark::State& state) {
    Series series(2, 0);
    TDBLevel* node = series.node.get();
    benchmark::DoNotOptimize(node);  // hides the node's type: every Y() stays a virtual call
    for (auto _ : state) {
        double sum = 0;
        for (int i = 1; i <= kPoints; ++i) {
            sum += node->Y(i);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_SignalSum_Accessors)->Unit(benchmark::kMillisecond);

// Amplitude and shown phase of every line of a spectrum with phases.
void BM_PairSpectrum_Span(benchmark::State& state) {
    Series series(4, TDataHeader::kPairFlag);
    const TDBLevel& node = *series.node;
    for (auto _ : state) {
        const auto values = node.Values();
        const PointLayout layout = node.Layout();
        const double shift = node.Header().PhaseShift2;
        double amplitude = 0;
        double phase = 0;
        for (std::size_t k = 0; k + 1 < values.size(); k += layout.stride) {
            amplitude += values[k + static_cast<std::size_t>(layout.value)];
            phase +=
                velmar::common::NormalizeAngle(values[k + static_cast<std::size_t>(layout.phase)] + shift);
        }
        benchmark::DoNotOptimize(amplitude);
        benchmark::DoNotOptimize(phase);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_PairSpectrum_Span)->Unit(benchmark::kMillisecond);

void BM_PairSpectrum_Accessors(benchmark::State& state) {
    Series series(4, TDataHeader::kPairFlag);
    TDBLevel* node = series.node.get();
    benchmark::DoNotOptimize(node);
    for (auto _ : state) {
        double amplitude = 0;
        double phase = 0;
        for (int i = 1; i <= kPoints; ++i) {
            amplitude += node->Y(i);
            phase += node->Phase(i);
        }
        benchmark::DoNotOptimize(amplitude);
        benchmark::DoNotOptimize(phase);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_PairSpectrum_Accessors)->Unit(benchmark::kMillisecond);

// Largest value of the whole series, as the plot asks for its scale.
void BM_Statistics(benchmark::State& state) {
    Series series(2, 0);
    TDBLevel* node = series.node.get();
    benchmark::DoNotOptimize(node);
    for (auto _ : state) {
        benchmark::DoNotOptimize(node->Statistics(1, kPoints));
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond);

}  // namespace
