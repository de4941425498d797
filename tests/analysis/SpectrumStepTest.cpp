// The FFT step: spectra of signals through each window, envelope spectra, cepstra.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "GoldenSupport.hpp"
#include "analysis/TransformSteps.hpp"

namespace velmar::analysis {
namespace {

using testing::ExpectNearPhases;
using testing::ExpectNearVector;
using testing::Golden;

Series Sine(std::size_t count, double rate, double amplitude, double frequency, double phaseDegrees,
            std::int32_t quantity = 4) {
    Series s;
    s.kind = 2;
    s.quantity = quantity;
    s.xStep = 1.0 / rate;
    s.xEnd = s.xStep * static_cast<double>(count - 1);
    const double phi = phaseDegrees * std::numbers::pi / 180.0;
    for (std::size_t i = 0; i < count; ++i) {
        s.y.push_back(amplitude *
                      std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate - phi));
    }
    s.RecomputePeak();
    return s;
}

TEST(FourierStep, signalSpectraMatchTheReferenceForEveryWindow) {
    struct Case {
        const char* name;
        FftWindow window;
        std::size_t lines;
    };
    for (const Case c :
         {Case{"fft_signal_rect", FftWindow::kRectangular, 200},
          Case{"fft_signal_hamming", FftWindow::kHamming, 200},
          Case{"fft_signal_hann", FftWindow::kHann, 200}, Case{"fft_signal_1025", FftWindow::kHamming, 400},
          Case{"fft_voltage_hamming_asked", FftWindow::kHamming, 200}}) {
        SCOPED_TRACE(c.name);
        const auto& golden = Golden(c.name);
        Series s = golden.Input();
        ASSERT_EQ(FourierStep(s, c.window, {}), StepResult::kDone);
        EXPECT_EQ(s.kind, 4);
        EXPECT_EQ(s.flags & Series::kComplexFlag, Series::kComplexFlag);
        ASSERT_EQ(s.Count(), c.lines);
        EXPECT_DOUBLE_EQ(s.xStep, golden.Scalar("out_step"));
        EXPECT_DOUBLE_EQ(s.xEnd, s.xStep * static_cast<double>(c.lines - 1));
        ExpectNearVector(s.y, golden.Array("out_values"), 1e-12, "values");
        ExpectNearPhases(s.phase, golden.Array("out_phases"), s.y, 1e-8, "phases");
        EXPECT_EQ(s.y[0], 0.0);
        EXPECT_EQ(s.phase[0], 0.0);
    }
}

// A sine lying exactly on a line reads its amplitude through Hann or no window and 0.972 of it through
// Hamming (the program's 1.8 correction, not 1.852); its phase φ of A·sin(2πft − φ) comes back as φ.
TEST(FourierStep, sineOnALineReadsItsAmplitudeAndPhase) {
    const double rate = 1024.0, frequency = 64.0;  // line 64 of a 1024-point transform
    struct Case {
        FftWindow window;
        double expected;
    };
    for (const Case c : {Case{FftWindow::kRectangular, 2.0}, Case{FftWindow::kHann, 2.0},
                         Case{FftWindow::kHamming, 2.0 * 0.972}}) {
        Series s = Sine(1024, rate, 2.0, frequency, 30.0);
        ASSERT_EQ(FourierStep(s, c.window, {}), StepResult::kDone);
        ASSERT_EQ(s.Count(), 400u);
        // The windows are symmetric over N − 1 points, so their mean is lower than 0.54 or 0.5 by a part in
        // N (about 0.1 % here); the Hamming figure is 0.54·1.8 = 0.972 up to that.
        EXPECT_NEAR(s.y[64], c.expected, 2.5e-3) << static_cast<int>(c.window);
        EXPECT_NEAR(s.phase[64], 30.0, c.window == FftWindow::kRectangular ? 1e-9 : 0.5);
        EXPECT_DOUBLE_EQ(s.X(64), frequency);
    }
}

TEST(FourierStep, transformLengthIsTheLargestEvenPowerOfTwo) {
    struct Case {
        std::size_t points;
        std::size_t lines;
    };
    // 1000 → 512 points → round(512/2.56) = 200 lines; 1025 → 1024 → 400; 3 → 2 → round(0.78) = 1 line,
    // which is refused below.
    for (const Case c : {Case{1000, 200}, Case{1025, 400}, Case{1024, 400}, Case{1023, 200}, Case{4, 2}}) {
        Series s = Sine(c.points, 1000.0, 1.0, 50.0, 0.0);
        ASSERT_EQ(FourierStep(s, FftWindow::kHamming, {}), StepResult::kDone) << c.points;
        EXPECT_EQ(s.Count(), c.lines) << c.points;
    }
}

// Too short to transform: the step refuses instead of taking the logarithm of 0 or dividing by N − 1 = 0.
TEST(FourierStep, refusesSeriesTooShortOrWithoutAStep) {
    for (std::size_t points : {0u, 1u, 2u, 3u}) {
        Series s = Sine(std::max<std::size_t>(points, 1), 1000.0, 1.0, 50.0, 0.0);
        s.y.resize(points);
        const Series before = s;
        EXPECT_EQ(FourierStep(s, FftWindow::kHamming, {}), StepResult::kUnfitInput) << points;
        EXPECT_EQ(s.y, before.y);
    }
    Series flat = Sine(64, 1000.0, 1.0, 50.0, 0.0);
    flat.xStep = 0.0;
    EXPECT_EQ(FourierStep(flat, FftWindow::kHamming, {}), StepResult::kUnfitInput);
    Series wrongKind = Sine(64, 1000.0, 1.0, 50.0, 0.0);
    wrongKind.kind = 64;
    EXPECT_EQ(FourierStep(wrongKind, FftWindow::kHamming, {}), StepResult::kSkipped);
}

// 4096 envelope samples at 25,600 Hz: lines up to 1000 Hz, round(1000·4096/25600) + 1 = 161 of them,
// the lowest four blank, no phases.
TEST(FourierStep, envelopeSpectrumStopsAt1000HzAndBlanksFourLines) {
    const auto& golden = Golden("fft_envelope");
    Series s = golden.Input();
    ASSERT_EQ(FourierStep(s, FftWindow::kHamming, {}), StepResult::kDone);
    EXPECT_EQ(s.kind, 32);
    EXPECT_EQ(s.flags & Series::kComplexFlag, 0);
    EXPECT_FALSE(s.HasPhases());
    ASSERT_EQ(s.Count(), 161u);
    EXPECT_DOUBLE_EQ(s.xEnd, 1000.0);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(s.y[i], 0.0) << i;
    }
    ExpectNearVector(s.y, golden.Array("out_values"), 1e-12, "values");
}

TEST(FourierStep, cepstrumOfASpectrumMatchesTheReference) {
    const auto& golden = Golden("cepstrum");
    Series s = golden.Input();
    ASSERT_EQ(FourierStep(s, FftWindow::kHamming, {}), StepResult::kDone);
    EXPECT_EQ(s.kind, 128);
    EXPECT_FALSE(s.HasPhases());
    ASSERT_EQ(s.Count(), 256u);  // the first 256 of the 400 lines
    EXPECT_DOUBLE_EQ(s.xStep, golden.Scalar("out_step"));
    EXPECT_DOUBLE_EQ(s.xEnd, s.xStep * 255.0);
    // The transform is done in single precision.
    ExpectNearVector(s.y, golden.Array("out_values"), 2e-5, "cepstrum");
}

TEST(FourierStep, cepstrumOfNothingButZerosIsRefused) {
    Series s;
    s.kind = 4;
    s.quantity = 2;
    s.xStep = 1.0;
    s.y.assign(64, 0.0);
    EXPECT_EQ(FourierStep(s, FftWindow::kHamming, {}), StepResult::kUnfitInput);
}

// A stale stored peak of 0 must not put a logarithm of 0 into the cepstrum.
TEST(FourierStep, cepstrumWithAStalePeakStaysFinite) {
    Series s;
    s.kind = 4;
    s.quantity = 2;
    s.xStep = 1.0;
    s.y.assign(64, 0.0);
    s.y[5] = 1.0;
    s.peak = 0.0;
    ASSERT_EQ(FourierStep(s, FftWindow::kHamming, {}), StepResult::kDone);
    for (double v : s.y) {
        ASSERT_TRUE(std::isfinite(v));
    }
}

TEST(FourierStep, progressCanStopTheStep) {
    Series s = Sine(1024, 1000.0, 1.0, 50.0, 0.0);
    const Series before = s;
    int calls = 0;
    EXPECT_EQ(FourierStep(s, FftWindow::kHamming,
                          [&calls](double) {
                              ++calls;
                              return calls < 2;
                          }),
              StepResult::kCancelled);
    EXPECT_EQ(s.kind, before.kind);
    EXPECT_EQ(s.y, before.y);
}

// The progress callback may run another conversion on the same thread (a window repainting under a modal
// progress dialog): the working storage in use must not be handed to it.
TEST(FourierStep, conversionStartedFromProgressDoesNotDisturbTheOneRunning) {
    const Series first = Sine(4096, 1000.0, 1.0, 50.0, 0.0);
    const Series second = Sine(4096, 1000.0, 7.0, 210.0, 45.0);
    Series alone = first;
    ASSERT_EQ(FourierStep(alone, FftWindow::kHann, {}), StepResult::kDone);
    Series outer = first;
    Series inner = second;
    ASSERT_EQ(FourierStep(outer, FftWindow::kHann,
                          [&inner](double fraction) {
                              if (fraction > 0.0 && inner.kind == 2) {
                                  EXPECT_EQ(FourierStep(inner, FftWindow::kHann, {}), StepResult::kDone);
                              }
                              return true;
                          }),
              StepResult::kDone);
    EXPECT_EQ(inner.kind, 4);
    EXPECT_EQ(outer.y, alone.y);
    EXPECT_EQ(outer.phase, alone.phase);
}

}  // namespace
}  // namespace velmar::analysis
