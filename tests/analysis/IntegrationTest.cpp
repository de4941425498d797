// Integration (with the drift removal of integrated signals) and differentiation.

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

// Acceleration into velocity: trapezoid rule, mean removed, one detrend of two segments.
// Velocity into displacement: detrends of 2, 4 and, above 2048 points, 8 segments. The reference runs
// exactly those detrends; one detrend more or less changes the result far beyond the tolerance.
TEST(Integrate, signalsMatchTheReferenceWithTheirDetrends) {
    struct Case {
        const char* name;
        std::int32_t quantity;
    };
    for (const Case c :
         {Case{"int_signal_acc", 2}, Case{"int_signal_vel_4000", 1}, Case{"int_signal_vel_2048", 1}}) {
        SCOPED_TRACE(c.name);
        const auto& golden = Golden(c.name);
        Series s = golden.Input();
        s.phaseShift = 10.0;
        s.rms = -1.0;
        s.carried63 = 6.3;
        s.carried75 = 7.5;
        s.phaseShift2 = 3.0;
        ASSERT_EQ(Integrate(s), StepResult::kDone);
        EXPECT_EQ(s.quantity, c.quantity);
        ExpectNearVector(s.y, golden.Array("out_values"), 1e-9, "values");
        EXPECT_DOUBLE_EQ(s.phaseShift, 100.0);
        EXPECT_EQ(s.rms, 0.0);  // a negative RMS is not carried
        EXPECT_EQ(s.carried63, 6.3);
        EXPECT_EQ(s.carried75, 0.0);
        EXPECT_EQ(s.phaseShift2, 3.0);
        EXPECT_DOUBLE_EQ(s.peak, testing::MaxAbs(s.y));
    }
}

// The detrend counts are what sets the 4000- and the 2048-point results apart: run each reference case
// with the other's detrends by hand and the results must differ.
TEST(Integrate, eightSegmentDetrendOnlyAbove2048Points) {
    const auto& golden = Golden("int_signal_vel_2048");
    Series twice = golden.Input();
    ASSERT_EQ(Integrate(twice), StepResult::kDone);
    Series thrice = twice;
    ASSERT_TRUE(Detrend(thrice, 8));
    double largestChange = 0.0;
    for (std::size_t i = 0; i < twice.Count(); ++i) {
        largestChange = std::max(largestChange, std::fabs(thrice.y[i] - twice.y[i]));
    }
    EXPECT_GT(largestChange, 1e-6 * testing::MaxAbs(twice.y));
    EXPECT_EQ(golden.Scalar("segments"), 2.0);
    EXPECT_EQ(Golden("int_signal_vel_4000").Scalar("segments"), 3.0);
}

TEST(Integrate, spectraDivideBy2PiFAndZeroTheLowestLines) {
    for (const char* name : {"int_spectrum_acc", "int_spectrum_vel"}) {
        SCOPED_TRACE(name);
        const auto& golden = Golden(name);
        Series s = golden.Input();
        const std::int32_t quantity = s.quantity;
        ASSERT_EQ(Integrate(s), StepResult::kDone);
        EXPECT_EQ(s.quantity, quantity == 4 ? 2 : 1);
        ExpectNearVector(s.y, golden.Array("out_values"), 1e-13, "values");
        ExpectNearPhases(s.phase, golden.Array("out_phases"), s.y, 1e-10, "phases");
        // round(1000·0.001) = 1 line for acceleration, round(1000·0.015) = 15 for velocity
        const std::size_t zeroed = quantity == 4 ? 1 : 15;
        for (std::size_t i = 0; i < zeroed; ++i) {
            EXPECT_EQ(s.y[i], 0.0) << i;
        }
        EXPECT_NE(s.y[zeroed], 0.0);
    }
}

TEST(Differentiate, matchesTheReference) {
    const auto& signal = Golden("dif_signal");
    Series s = signal.Input();
    ASSERT_EQ(Differentiate(s), StepResult::kDone);
    EXPECT_EQ(s.quantity, 2);
    EXPECT_DOUBLE_EQ(s.phaseShift, -90.0);
    ExpectNearVector(s.y, signal.Array("out_values"), 1e-12, "signal");

    const auto& spectrum = Golden("dif_spectrum");
    Series f = spectrum.Input();
    ASSERT_EQ(Differentiate(f), StepResult::kDone);
    EXPECT_EQ(f.quantity, 4);
    ExpectNearVector(f.y, spectrum.Array("out_values"), 1e-13, "spectrum");
    ExpectNearPhases(f.phase, spectrum.Array("out_phases"), f.y, 1e-10, "phases");
}

// Below seven points the five-point rule has no neighbourhood at all: central differences instead, which
// still give the exact slope of a straight line.
TEST(Differentiate, shortSignalsGetPlainDifferences) {
    for (std::size_t n : {1u, 2u, 3u, 5u, 6u, 7u, 8u}) {
        Series s;
        s.kind = 2;
        s.quantity = 1;
        s.xStep = 0.001;
        for (std::size_t i = 0; i < n; ++i) {
            s.y.push_back(3.0 * static_cast<double>(i) * s.xStep + 1.0);
        }
        ASSERT_EQ(Differentiate(s), StepResult::kDone) << n;
        ASSERT_EQ(s.Count(), n);
        for (double v : s.y) {
            // a constant slope of 3 µm per ms... with the mean taken off, nothing is left
            EXPECT_NEAR(v, 0.0, 1e-9) << n;
        }
    }
}

TEST(Integrate, onlyVelocityAndAccelerationAndNeverCepstra) {
    struct Case {
        std::int32_t kind;
        std::int32_t quantity;
    };
    for (const Case c : {Case{2, 1}, Case{2, 16}, Case{4, 1}, Case{128, 4}}) {
        Series s;
        s.kind = c.kind;
        s.quantity = c.quantity;
        s.xStep = 1.0;
        s.y = {1.0, 2.0, 3.0};
        const Series before = s;
        EXPECT_EQ(Integrate(s), StepResult::kSkipped);
        EXPECT_EQ(s.y, before.y);
        EXPECT_EQ(s.quantity, before.quantity);
    }
    Series displacementCepstrum;
    displacementCepstrum.kind = 128;
    displacementCepstrum.quantity = 1;
    EXPECT_EQ(Differentiate(displacementCepstrum), StepResult::kSkipped);
}

// Phases of frequency-domain data are stored raw: the second shift is added once when they are shown, so
// a step turns the stored value and carries the shift unchanged.
TEST(Integrate, turnsTheStoredPhaseWithoutAddingTheSecondShift) {
    Series s;
    s.kind = 4;
    s.quantity = 4;
    s.flags = Series::kComplexFlag;
    s.xStep = 10.0;
    s.phaseShift2 = 25.0;
    s.y = {0.0, 1.0, 2.0};
    s.phase = {0.0, 300.0, 45.0};
    ASSERT_EQ(Integrate(s), StepResult::kDone);
    EXPECT_DOUBLE_EQ(s.phase[1], 30.0);
    EXPECT_DOUBLE_EQ(s.phase[2], 135.0);
    EXPECT_EQ(s.phaseShift2, 25.0);
    ASSERT_EQ(Differentiate(s), StepResult::kDone);
    EXPECT_DOUBLE_EQ(s.phase[1], 300.0);
    EXPECT_DOUBLE_EQ(s.phase[2], 45.0);
}

TEST(Integrate, harmonicsLoseTheirAreas) {
    Series s;
    s.kind = 64;
    s.quantity = 2;
    s.x = {0.0, 50.0, 100.0};
    s.y = {1.0, 2.0, 3.0};
    s.phase = {10.0, 20.0, 30.0};
    s.fourth = {0.5, 0.6, 0.7};
    s.totalPeakArea = 1.8;
    ASSERT_EQ(Integrate(s), StepResult::kDone);
    EXPECT_EQ(s.y[0], 0.0);  // at 0 Hz
    EXPECT_NEAR(s.y[1], 2.0 * 1000.0 / (2.0 * std::numbers::pi * 50.0), 1e-12);
    EXPECT_EQ(s.fourth, (std::vector<double>{0.0, 0.0, 0.0}));
    EXPECT_EQ(s.totalPeakArea, 0.0);
    EXPECT_EQ(s.x, (std::vector<double>{0.0, 50.0, 100.0}));
}

// Segments of fewer than two points: nothing to fit, the data stay.
TEST(Detrend, tooShortSegmentsLeaveTheData) {
    Series s;
    s.kind = 2;
    s.y = {1.0, 5.0, 2.0, 8.0, 3.0, 9.0, 4.0};
    const std::vector<double> before = s.y;
    EXPECT_FALSE(Detrend(s, 4));
    EXPECT_FALSE(Detrend(s, 8));
    EXPECT_FALSE(Detrend(s, 0));
    EXPECT_EQ(s.y, before);
    EXPECT_TRUE(Detrend(s, 2));
}

TEST(Detrend, takesMostOfASlowDriftAway) {
    Series s;
    s.kind = 2;
    const std::size_t n = 4096;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(n);
        s.y.push_back(std::sin(2.0 * std::numbers::pi * 200.0 * t) + 5.0 * t * t - 2.0 * t);
    }
    Series drift = s;
    for (std::size_t i = 0; i < n; ++i) {
        drift.y[i] -=
            std::sin(2.0 * std::numbers::pi * 200.0 * static_cast<double>(i) / static_cast<double>(n));
    }
    const double before = testing::MaxAbs(drift.y);
    ASSERT_TRUE(Detrend(s, 2));
    ASSERT_TRUE(Detrend(s, 4));
    ASSERT_TRUE(Detrend(s, 8));
    double after = 0.0;
    for (std::size_t i = n / 8; i < n - n / 8; ++i) {
        after =
            std::max(after, std::fabs(s.y[i] - std::sin(2.0 * std::numbers::pi * 200.0 *
                                                        static_cast<double>(i) / static_cast<double>(n))));
    }
    EXPECT_LT(after, 0.25 * before);
}

}  // namespace
}  // namespace velmar::analysis
