// Our transforms next to FFTW in the same run: FFTW_MEASURE plans made before the timing, double precision
// (single for FftRadix2), in place, one thread. Our transforms work on std::vector storage, as the program's
// callers do; FFTW gets its own aligned buffers, as its callers do.

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <complex>
#include <cstddef>
#include <random>
#include <vector>

#include "analysis/Fft.hpp"

namespace {

using velmar::analysis::Complex;

template <class T>
void FillRandom(T* data, std::size_t count) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (std::size_t i = 0; i < count; ++i) {
        data[i] = static_cast<T>(dist(rng));
    }
}

// Unnormalised transforms grow the data by about √n each time; refill before it could overflow, so that
// no run times arithmetic on infinities.
int TransformsBeforeRefill(std::size_t n) {
    return static_cast<int>(250.0 / std::log10(std::sqrt(static_cast<double>(n)) + 1.0));
}

void BM_ComplexFft(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<Complex> original(n);
    FillRandom(reinterpret_cast<double*>(original.data()), 2 * n);
    std::vector<Complex> data = original;
    const auto plan = velmar::analysis::FftPlan::Get(n);
    plan->Forward(data.data());  // first use: working storage
    data = original;
    const int refill = TransformsBeforeRefill(n);
    int count = 0;
    for (auto _ : state) {
        if (++count == refill) {
            state.PauseTiming();
            data = original;
            count = 0;
            state.ResumeTiming();
        }
        plan->Forward(data.data());
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}

void BM_Fftw(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    auto* data = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
    // Planning with FFTW_MEASURE overwrites the array, so the data go in afterwards.
    fftw_plan plan = fftw_plan_dft_1d(static_cast<int>(n), data, data, FFTW_BACKWARD, FFTW_MEASURE);
    std::vector<double> original(2 * n);
    FillRandom(original.data(), 2 * n);
    auto refillData = [&] {
        for (std::size_t i = 0; i < n; ++i) {
            data[i][0] = original[2 * i];
            data[i][1] = original[2 * i + 1];
        }
    };
    refillData();
    const int refill = TransformsBeforeRefill(n);
    int count = 0;
    for (auto _ : state) {
        if (++count == refill) {
            state.PauseTiming();
            refillData();
            count = 0;
            state.ResumeTiming();
        }
        fftw_execute(plan);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
    fftw_destroy_plan(plan);
    fftw_free(data);
}

// n real samples to n/2 + 1 lines: the spectrum of a whole signal.
void BM_RealFft(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<double> samples(n);
    FillRandom(samples.data(), n);
    std::vector<Complex> lines(n / 2 + 1);
    velmar::analysis::RealFft(samples, lines);
    for (auto _ : state) {
        velmar::analysis::RealFft(samples, lines);
        benchmark::DoNotOptimize(lines.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}

void BM_FftwReal(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    auto* samples = static_cast<double*>(fftw_malloc(sizeof(double) * n));
    auto* lines = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (n / 2 + 1)));
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), samples, lines, FFTW_MEASURE);
    FillRandom(samples, n);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(lines);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
    fftw_destroy_plan(plan);
    fftw_free(lines);
    fftw_free(samples);
}

// The single-precision transform of the cepstrum, a plain radix-2 loop by definition.
void BM_FftRadix2(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<float> re(n), im(n);
    FillRandom(re.data(), n);
    FillRandom(im.data(), n);
    int sign = 1;
    for (auto _ : state) {
        velmar::analysis::FftRadix2(re.data(), im.data(), n, sign);
        sign = -sign;  // forth and back keeps the data bounded
        benchmark::DoNotOptimize(re.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
}

void BM_FftwFloat(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    auto* data = static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * n));
    fftwf_plan forth = fftwf_plan_dft_1d(static_cast<int>(n), data, data, FFTW_BACKWARD, FFTW_MEASURE);
    fftwf_plan back = fftwf_plan_dft_1d(static_cast<int>(n), data, data, FFTW_FORWARD, FFTW_MEASURE);
    FillRandom(reinterpret_cast<float*>(data), 2 * n);
    bool forward = true;
    for (auto _ : state) {
        fftwf_execute(forward ? forth : back);
        forward = !forward;
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(n));
    fftwf_destroy_plan(back);
    fftwf_destroy_plan(forth);
    fftwf_free(data);
}

// Each of ours directly before its reference, size by size, so that the two figures to compare sit next
// to each other and were measured under the same conditions.
#define VELMAR_FFT_PAIR(ours, reference, n)                 \
    BENCHMARK(ours)->Arg(n)->Unit(benchmark::kMicrosecond); \
    BENCHMARK(reference)->Arg(n)->Unit(benchmark::kMicrosecond)

VELMAR_FFT_PAIR(BM_ComplexFft, BM_Fftw, 1 << 10);
VELMAR_FFT_PAIR(BM_ComplexFft, BM_Fftw, 1 << 16);
VELMAR_FFT_PAIR(BM_ComplexFft, BM_Fftw, 1 << 21);
VELMAR_FFT_PAIR(BM_RealFft, BM_FftwReal, 1 << 10);
VELMAR_FFT_PAIR(BM_RealFft, BM_FftwReal, 1 << 16);
VELMAR_FFT_PAIR(BM_RealFft, BM_FftwReal, 1 << 21);
VELMAR_FFT_PAIR(BM_FftRadix2, BM_FftwFloat, 1 << 10);
VELMAR_FFT_PAIR(BM_FftRadix2, BM_FftwFloat, 1 << 16);
VELMAR_FFT_PAIR(BM_FftRadix2, BM_FftwFloat, 1 << 21);

}  // namespace
