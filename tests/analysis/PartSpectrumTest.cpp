// Spectrum of a part of a signal: the Fourier sums of the definition on an arbitrary frequency grid,
// formed fast; checked against the sums done term by term in long double.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

#include "FftTestSupport.hpp"
#include "analysis/TransformSteps.hpp"

namespace velmar::analysis {
namespace {

using LongComplex = std::complex<long double>;

// X(j) = Σ y(k)·exp(2πi·k·f(j)·dt), every angle reduced in long double before its sine is taken.
std::vector<LongComplex> DirectSums(const std::vector<double>& y, double f0, double df, double dt,
                                    std::size_t lines) {
    std::vector<LongComplex> out(lines);
    for (std::size_t j = 0; j < lines; ++j) {
        const long double cycles = (static_cast<long double>(f0) + static_cast<long double>(j) * df) * dt;
        long double re = 0, im = 0;
        for (std::size_t k = 0; k < y.size(); ++k) {
            long double turns = static_cast<long double>(k) * cycles;
            turns -= std::floor(turns);
            const long double angle = 2.0L * std::numbers::pi_v<long double> * turns;
            re += y[k] * std::cos(angle);
            im += y[k] * std::sin(angle);
        }
        out[j] = LongComplex(re, im);
    }
    return out;
}

std::vector<double> RandomReal(std::size_t n, std::uint64_t seed) {
    const std::vector<Complex> c = testing::RandomSignal(n, seed);
    std::vector<double> y(n);
    for (std::size_t i = 0; i < n; ++i) {
        y[i] = c[i].real() + 0.3 * std::sin(0.01 * static_cast<double>(i));
    }
    return y;
}

// Relative to the largest sum; and every sum of some size also on its own.
void ExpectSameSums(const std::vector<Complex>& got, const std::vector<LongComplex>& want, const char* what) {
    ASSERT_EQ(got.size(), want.size());
    long double largest = 0;
    for (const LongComplex& w : want) {
        largest = std::max(largest, std::abs(w));
    }
    for (std::size_t j = 0; j < want.size(); ++j) {
        const long double error = std::abs(LongComplex(got[j].real(), got[j].imag()) - want[j]);
        EXPECT_LE(static_cast<double>(error / largest), 1e-9) << what << " line " << j;
        if (std::abs(want[j]) > largest / 100) {
            EXPECT_LE(static_cast<double>(error / std::abs(want[j])), 1e-9) << what << " line " << j;
        }
    }
}

TEST(FourierSums, bothMethodsEqualTheDirectSums) {
    const std::vector<double> y = RandomReal(4001, 77);
    const double f0 = 3.7, df = 1.37, dt = 1.0 / 1000.0;
    const std::size_t lines = 300;
    const std::vector<LongComplex> want = DirectSums(y, f0, df, dt, lines);
    for (const auto method :
         {detail::SumMethod::kRotation, detail::SumMethod::kChirpZ, detail::SumMethod::kAuto}) {
        std::vector<Complex> got;
        ASSERT_TRUE(detail::FourierSums(y, f0, df, dt, lines, method, got, {}));
        ExpectSameSums(got, want, method == detail::SumMethod::kRotation ? "rotation" : "chirp-z");
    }
}

// Far from the start the angle k·f·dt is a large number of turns; its fraction must still be exact.
TEST(FourierSums, longSignalsKeepTheirAnglesExact) {
    const std::vector<double> y = RandomReal(40000, 5);
    const double f0 = 1234.567, df = 0.1, dt = 1.0 / 25600.0;
    const std::size_t lines = 6;
    const std::vector<LongComplex> want = DirectSums(y, f0, df, dt, lines);
    for (const auto method : {detail::SumMethod::kRotation, detail::SumMethod::kChirpZ}) {
        std::vector<Complex> got;
        ASSERT_TRUE(detail::FourierSums(y, f0, df, dt, lines, method, got, {}));
        ExpectSameSums(got, want, method == detail::SumMethod::kRotation ? "rotation" : "chirp-z");
    }
}

Series Signal(std::vector<double> y, double dt) {
    Series s;
    s.kind = 2;
    s.quantity = 2;
    s.xStep = dt;
    s.xStart = 0.0;
    s.xEnd = dt * static_cast<double>(y.size() - 1);
    s.y = std::move(y);
    s.RecomputePeak();
    s.rms = 1.5;
    s.phaseShift = 5.0;
    s.phaseShift2 = 6.0;
    s.carried63 = 6.3;
    return s;
}

TEST(PartSpectrum, linesAreTheScaledSumsOverTheChosenSamples) {
    const double dt = 1.0 / 1000.0;
    Series s = Signal(RandomReal(3000, 9), dt);
    const std::vector<double> samples(s.y.begin() + 500, s.y.begin() + 2001);  // 0.5 s … 2.0 s
    PartSpectrumRange range{0.5, 2.0, 12.0, 48.0, 5.0};
    ASSERT_EQ(PartSpectrum(s, range, {}), StepResult::kDone);
    // K = round((48 − 12)/5 + 1) = round(8.2) = 8 lines; the first frequency rounds to a multiple of the
    // step (10 Hz), the last follows from it.
    ASSERT_EQ(s.Count(), 8u);
    EXPECT_EQ(s.kind, 16);
    EXPECT_EQ(s.flags & Series::kComplexFlag, Series::kComplexFlag);
    EXPECT_DOUBLE_EQ(s.xStart, 10.0);
    EXPECT_DOUBLE_EQ(s.xEnd, 45.0);
    EXPECT_DOUBLE_EQ(s.xStep, 5.0);
    EXPECT_EQ(s.rms, 1.5);
    EXPECT_EQ(s.phaseShift2, 6.0);
    EXPECT_EQ(s.carried63, 6.3);
    const std::vector<LongComplex> sums = DirectSums(samples, 10.0, 5.0, dt, 8);
    for (std::size_t j = 0; j < 8; ++j) {
        const double value = static_cast<double>(std::abs(sums[j])) * 2.0 / 1501.0;
        EXPECT_NEAR(s.y[j], value, 1e-9 * value) << j;
        // phase = 360 − PhaseAngle(re, im) = arg(re + i·im) + 270, in degrees
        double phase = std::atan2(static_cast<double>(sums[j].imag()), static_cast<double>(sums[j].real())) *
                           180.0 / std::numbers::pi +
                       270.0;
        phase = std::fmod(phase, 360.0);
        double d = std::fabs(s.phase[j] - phase);
        EXPECT_LT(std::min(d, 360.0 - d), 1e-7) << j;
    }
}

TEST(PartSpectrum, sineOverWholePeriodsReadsItsAmplitudeAndPhase) {
    const double dt = 1.0 / 2000.0;
    std::vector<double> y;
    for (int i = 0; i < 4000; ++i) {
        y.push_back(1.5 *
                    std::sin(2.0 * std::numbers::pi * 125.0 * i * dt - 40.0 * std::numbers::pi / 180.0));
    }
    Series s = Signal(y, dt);
    ASSERT_EQ(PartSpectrum(s, PartSpectrumRange{0.0, 1.0, 100.0, 150.0, 25.0}, {}), StepResult::kDone);
    ASSERT_EQ(s.Count(), 3u);
    // 2001 samples: 250 whole periods and one sample; the line is within a part in 2000 of the amplitude.
    EXPECT_NEAR(s.y[1], 1.5, 2e-3);
    EXPECT_NEAR(s.phase[1], 40.0, 0.2);
    EXPECT_LT(s.y[0], 0.01);
    EXPECT_LT(s.y[2], 0.01);
}

// Lines are computed up to the first one past the Nyquist frequency; the rest stay 0.
TEST(PartSpectrum, stopsOneLinePastNyquist) {
    const double dt = 1.0 / 100.0;  // Nyquist 50 Hz
    Series s = Signal(RandomReal(400, 3), dt);
    ASSERT_EQ(PartSpectrum(s, PartSpectrumRange{0.0, 10.0, 0.0, 80.0, 10.0}, {}), StepResult::kDone);
    ASSERT_EQ(s.Count(), 9u);  // 0, 10, … 80 Hz
    for (std::size_t j = 0; j <= 6; ++j) {
        EXPECT_GT(s.y[j], 0.0) << j;  // up to 60 Hz, the first line past 50 Hz
    }
    for (std::size_t j = 7; j < 9; ++j) {
        EXPECT_EQ(s.y[j], 0.0) << j;
    }
}

// A step of 0 or below, an empty grid, or a grid of more than 2^21 lines used to mean a division by 0, an
// allocation of nothing or a practical hang; a time range holding under two samples gave nothing at all
// and was taken as success.
TEST(PartSpectrum, refusesGridsAndRangesThatMakeNoSense) {
    const Series signal = Signal(RandomReal(500, 1), 0.001);
    struct Case {
        PartSpectrumRange range;
        const char* what;
    };
    const double nan = std::nan("");
    for (const Case& c :
         {Case{{0.0, 0.4, 0.0, 100.0, 0.0}, "zero step"}, Case{{0.0, 0.4, 0.0, 100.0, -5.0}, "negative step"},
          Case{{0.0, 0.4, 0.0, 100.0, nan}, "no step"},
          Case{{0.0, 0.4, 100.0, 50.0, 10.0}, "end below begin"},
          Case{{0.0, 0.4, -20.0, 50.0, 10.0}, "negative frequency"},
          Case{{0.0, 0.4, 0.0, 20000.0, 0.001}, "twenty million lines"},
          Case{{0.3, 0.3, 0.0, 100.0, 10.0}, "one sample"},
          Case{{0.4, 0.1, 0.0, 100.0, 10.0}, "end before begin"},
          Case{{5.0, 9.0, 0.0, 100.0, 10.0}, "after the signal"}}) {
        Series s = signal;
        EXPECT_EQ(PartSpectrum(s, c.range, {}), StepResult::kBadParameters) << c.what;
        EXPECT_EQ(s.kind, 2) << c.what;
        EXPECT_EQ(s.y, signal.y) << c.what;
    }
    Series spectrum = signal;
    spectrum.kind = 4;
    EXPECT_EQ(PartSpectrum(spectrum, PartSpectrumRange{0.0, 0.4, 0.0, 100.0, 10.0}, {}),
              StepResult::kSkipped);
}

TEST(PartSpectrum, timesAreClampedToTheSignal) {
    const double dt = 0.001;
    Series whole = Signal(RandomReal(800, 4), dt);
    Series clamped = whole;
    ASSERT_EQ(PartSpectrum(whole, PartSpectrumRange{0.0, 0.799, 0.0, 100.0, 10.0}, {}), StepResult::kDone);
    ASSERT_EQ(PartSpectrum(clamped, PartSpectrumRange{-3.0, 50.0, 0.0, 100.0, 10.0}, {}), StepResult::kDone);
    EXPECT_EQ(whole.y, clamped.y);
}

TEST(PartSpectrum, progressCanStopIt) {
    Series s = Signal(RandomReal(2000, 4), 0.001);
    EXPECT_EQ(PartSpectrum(s, PartSpectrumRange{0.0, 2.0, 0.0, 400.0, 1.0}, [](double) { return false; }),
              StepResult::kCancelled);
    EXPECT_EQ(s.kind, 2);
}

}  // namespace
}  // namespace velmar::analysis
