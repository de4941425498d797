// The transform engine on the sizes the program meets, each next to its reference measured in the same run:
//  - an acceleration signal into a velocity spectrum (FFT, then integration of the lines), the whole
//    conversion against the FFT of the same length alone (ComplexFft, the step's transform by definition,
//    and RealFft, the one it runs);
//  - the spectrum of a part of a signal against the direct sums of its definition;
//  - integration into displacement with its detrends, at two sizes, to show the time grows linearly.
// The engine benchmarks carry the reference as counters (ref_ms, ratio) so that one line tells the story.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "analysis/ArchiveAdapter.hpp"
#include "analysis/Fft.hpp"
#include "analysis/TransformEngine.hpp"
#include "analysis/TransformSteps.hpp"
#include "common/IniFile.hpp"

namespace {

using velmar::analysis::Complex;
using velmar::analysis::ConvertStatus;
using velmar::analysis::Series;
using velmar::analysis::TransformEngine;
using velmar::analysis::TransformTable;

constexpr double kRate = 25600.0;

TransformEngine Engine() {
    TransformTable table;
    table.Load(
        velmar::common::IniFile::FromBytes("[SigSpc]\r\nAccVel=BpfInt\r\nAccAcc=Bpf\r\n"
                                           "[SigSig]\r\nAccDis=IntInt\r\n"
                                           "[SigSpf]\r\nAccAcc=Spf\r\n"
                                           "[SpcGar]\r\nAccAcc=Gar\r\n"
                                           "[SpcKep]\r\nAccAcc=Bpf\r\n"
                                           "[SpcPwb]\r\nAccAcc=Pwb\r\n"));
    return TransformEngine(table);
}

// A machine-like acceleration signal: a few rotation orders, a resonance and noise.
Series Signal(std::size_t n) {
    Series s;
    s.kind = 2;
    s.quantity = 4;
    s.xStep = 1.0 / kRate;
    s.xEnd = s.xStep * static_cast<double>(n - 1);
    s.y.resize(n);
    std::mt19937_64 rng(42);
    std::normal_distribution<double> noise(0.0, 0.3);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) * s.xStep;
        s.y[i] = 2.0 * std::sin(2.0 * std::numbers::pi * 24.7 * t) +
                 0.8 * std::sin(2.0 * std::numbers::pi * 49.4 * t + 1.0) +
                 0.5 * std::sin(2.0 * std::numbers::pi * 3170.0 * t) *
                     (1.0 + std::sin(2.0 * std::numbers::pi * 97.0 * t)) +
                 noise(rng);
    }
    s.RecomputePeak();
    return s;
}

template <class F>
double MedianSeconds(F&& f, int runs) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double ComplexFftSeconds(std::size_t n) {
    std::vector<Complex> data(n);
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (Complex& c : data) {
        c = Complex(u(rng), 0.0);
    }
    const auto plan = velmar::analysis::FftPlan::Get(n);
    std::vector<Complex> work = data;
    plan->Forward(work.data());
    return MedianSeconds(
        [&] {
            std::copy(data.begin(), data.end(), work.begin());
            plan->Forward(work.data());
            benchmark::DoNotOptimize(work.data());
        },
        7);
}

// ---- Acceleration signal into a velocity spectrum
// -----------------------------------------------------------

void BM_ConvertSignalToVelocitySpectrum(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const TransformEngine engine = Engine();
    const Series source = Signal(n);
    Series result;
    engine.ConvertTo(source, 4, 2, result);  // warm: plans, working storage
    for (auto _ : state) {
        Series out;
        if (engine.ConvertTo(source, 4, 2, out) != ConvertStatus::kConverted) {
            state.SkipWithError("conversion refused");
            break;
        }
        benchmark::DoNotOptimize(out.y.data());
    }
    const double reference = ComplexFftSeconds(n);
    state.counters["complexfft_ms"] = reference * 1e3;
    // (time per conversion) / (time of the FFT alone)
    state.counters["ratio_to_complexfft"] = benchmark::Counter(
        reference, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_ConvertSignalToVelocitySpectrum)->Arg(1 << 21)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same through the archive's interface: node header and buffer in and out.
void BM_ArchiveConvertSignalToVelocitySpectrum(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    velmar::analysis::ArchiveTransformEngine adapter(std::make_shared<const TransformEngine>(Engine()));
    const Series source = Signal(n);
    velmar::archive::TDataHeader header;
    std::vector<double> elements;
    velmar::analysis::NodeDataFromSeries(source, header, elements);
    velmar::archive::TransformParams params;
    params.Valid = 1;
    params.TargetKind = 4;
    params.TargetQuantity = 2;
    for (auto _ : state) {
        velmar::archive::TransformParams p = params;
        velmar::archive::TDataHeader resultHeader;
        std::vector<double> resultElements;
        if (!adapter.Convert(header, elements, p, resultHeader, resultElements, {})) {
            state.SkipWithError("conversion refused");
            break;
        }
        benchmark::DoNotOptimize(resultElements.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_ArchiveConvertSignalToVelocitySpectrum)
    ->Arg(1 << 21)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ComplexFftAlone(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Complex> data(n, Complex(0.5, 0.0));
    std::vector<Complex> work = data;
    const auto plan = velmar::analysis::FftPlan::Get(n);
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(data.begin(), data.end(), work.begin());
        state.ResumeTiming();
        plan->Forward(work.data());
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_ComplexFftAlone)->Arg(1 << 21)->Unit(benchmark::kMillisecond);

void BM_RealFftAlone(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<double> data(n + 2, 0.5);
    for (auto _ : state) {
        velmar::analysis::RealFft(std::span<const double>(data.data(), n),
                                  std::span<Complex>(reinterpret_cast<Complex*>(data.data()), n / 2 + 1));
        benchmark::DoNotOptimize(data.data());
        state.PauseTiming();
        std::fill(data.begin(), data.end(), 0.5);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}
BENCHMARK(BM_RealFftAlone)->Arg(1 << 21)->Unit(benchmark::kMillisecond);

// ---- Spectrum of a part
// --------------------------------------------------------------------------------------

constexpr double kPartFirstHz = 10.0;
constexpr double kPartStepHz = 2.5;

void BM_PartSpectrum(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto lines = static_cast<std::size_t>(state.range(1));
    const Series signal = Signal(n);
    std::vector<Complex> out;
    // warm: plans and working storage
    velmar::analysis::detail::FourierSums(signal.y, kPartFirstHz, kPartStepHz, signal.xStep, lines,
                                          velmar::analysis::detail::SumMethod::kAuto, out, {});
    for (auto _ : state) {
        velmar::analysis::detail::FourierSums(signal.y, kPartFirstHz, kPartStepHz, signal.xStep, lines,
                                              velmar::analysis::detail::SumMethod::kAuto, out, {});
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_PartSpectrum)
    ->Args({1 << 20, 1600})
    ->Args({1 << 20, 16})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The whole step, grid and scaling included.
void BM_PartSpectrumStep(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto lines = static_cast<double>(state.range(1));
    const Series signal = Signal(n);
    const velmar::analysis::PartSpectrumRange range{0.0, signal.xEnd, kPartFirstHz,
                                                    kPartFirstHz + (lines - 1) * kPartStepHz, kPartStepHz};
    for (auto _ : state) {
        Series s = signal;
        velmar::analysis::PartSpectrum(s, range, {});
        benchmark::DoNotOptimize(s.y.data());
    }
}
BENCHMARK(BM_PartSpectrumStep)->Args({1 << 20, 1600})->Unit(benchmark::kMillisecond)->UseRealTime();

// The sums as the definition writes them: a cosine and a sine of k·ω for every sample and line. The fast
// sums are compared with them afterwards: max_rel_err is the largest difference over the largest sum.
void BM_PartSpectrumDirectSums(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto lines = static_cast<std::size_t>(state.range(1));
    const Series signal = Signal(n);
    std::vector<Complex> out(lines);
    for (auto _ : state) {
        for (std::size_t j = 0; j < lines; ++j) {
            const double f = kPartFirstHz + static_cast<double>(j) * kPartStepHz;
            const double omega = 2.0 * std::numbers::pi * f * signal.xStep;
            double re = 0.0, im = 0.0;
            for (std::size_t k = 0; k < n; ++k) {
                re += signal.y[k] * std::cos(static_cast<double>(k) * omega);
                im += signal.y[k] * std::sin(static_cast<double>(k) * omega);
            }
            out[j] = Complex(re, im);
        }
        benchmark::DoNotOptimize(out.data());
    }
    std::vector<Complex> fast;
    velmar::analysis::detail::FourierSums(signal.y, kPartFirstHz, kPartStepHz, signal.xStep, lines,
                                          velmar::analysis::detail::SumMethod::kAuto, fast, {});
    double largest = 0.0, error = 0.0;
    for (std::size_t j = 0; j < lines; ++j) {
        largest = std::max(largest, std::abs(out[j]));
        error = std::max(error, std::abs(out[j] - fast[j]));
    }
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["max_rel_err"] = error / largest;
}
BENCHMARK(BM_PartSpectrumDirectSums)
    ->Args({1 << 20, 1600})
    ->Args({1 << 20, 16})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- Integration into displacement
// --------------------------------------------------------------------------

void BM_IntegrateToDisplacement(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const TransformEngine engine = Engine();
    const Series source = Signal(n);
    for (auto _ : state) {
        Series out;
        if (engine.ConvertTo(source, 2, 1, out) != ConvertStatus::kConverted) {
            state.SkipWithError("conversion refused");
            break;
        }
        benchmark::DoNotOptimize(out.y.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(n) * 1e-9,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_IntegrateToDisplacement)
    ->Arg(1 << 19)
    ->Arg(1 << 21)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- The other steps on large spectra
// -------------------------------------------------------------------------

Series Spectrum(std::size_t lines) {
    Series s;
    s.kind = 4;
    s.quantity = 4;
    s.flags = Series::kComplexFlag;
    s.xStep = 0.5;
    s.xEnd = 0.5 * static_cast<double>(lines - 1);
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (std::size_t i = 0; i < lines; ++i) {
        s.y.push_back(0.01 + u(rng) * (i % 9 == 4 ? 2.0 : 0.05));  // a peak every 9 lines
        s.phase.push_back(u(rng) * 360.0);
    }
    s.RecomputePeak();
    return s;
}

void BM_SpectrumStep(benchmark::State& state, std::int32_t target) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const TransformEngine engine = Engine();
    const Series source = Spectrum(n);
    velmar::analysis::TransformRequest request;
    request.targetKind = target;
    request.bands.ratio = std::cbrt(2.0);
    for (auto _ : state) {
        Series out;
        velmar::analysis::TransformRequest r = request;
        if (engine.Convert(source, r, out) != ConvertStatus::kConverted) {
            state.SkipWithError("conversion refused");
            break;
        }
        benchmark::DoNotOptimize(out.y.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}
BENCHMARK_CAPTURE(BM_SpectrumStep, harmonics, 64)->Arg(1 << 18)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SpectrumStep, cepstrum, 128)->Arg(1 << 18)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SpectrumStep, third_octaves, 256)->Arg(1 << 18)->Unit(benchmark::kMillisecond);

}  // namespace
