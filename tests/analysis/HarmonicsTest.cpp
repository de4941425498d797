// The harmonics step: peak scan, rescans at higher thresholds, refinement of each peak.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "GoldenSupport.hpp"
#include "analysis/TransformSteps.hpp"

namespace velmar::analysis {
namespace {

using testing::ExpectNearVector;
using testing::Golden;

// rescan: 161 peaks above 4 % of the largest, so the scan runs again at 8 % and keeps those above it.
// velocity_base: a velocity spectrum measures its threshold from 1.5 × RMS (here 2 % then 20 % of 3.0).
// capped: 200 equal peaks stay above every threshold; past 90 % the first 128 of the last scan are kept.
TEST(HarmonicsStep, peakTablesMatchTheReference) {
    for (const char* name : {"harmonics_rescan", "harmonics_velocity_base", "harmonics_capped"}) {
        SCOPED_TRACE(name);
        const auto& golden = Golden(name);
        Series s = golden.Input();
        s.phaseShift2 = 12.0;
        s.carried75 = 7.5;
        ASSERT_EQ(HarmonicsStep(s), StepResult::kDone);
        EXPECT_EQ(s.kind, 64);
        const std::vector<double>& frequency = golden.Array("out_frequency");
        ASSERT_EQ(s.Count(), frequency.size());
        // The bisection compares interpolated values; a different rounding of a near tie can stop it one
        // halving apart, a few ten-thousandths of a hertz.
        for (std::size_t i = 0; i < frequency.size(); ++i) {
            EXPECT_NEAR(s.x[i], frequency[i], 5e-4) << i;
        }
        ExpectNearVector(s.y, golden.Array("out_amplitude"), 1e-6, "amplitude");
        ExpectNearVector(s.phase, golden.Array("out_phase"), 1e-12, "phase");
        ExpectNearVector(s.fourth, golden.Array("out_area"), 1e-12, "area");
        double total = 0.0, largest = 0.0;
        for (std::size_t i = 0; i < s.Count(); ++i) {
            total += s.fourth[i];
            largest = std::max(largest, s.y[i]);
        }
        EXPECT_NEAR(s.totalPeakArea, total, 1e-9 * total);
        EXPECT_EQ(s.peak, largest);
        EXPECT_EQ(s.xStart, 0.0);
        EXPECT_EQ(s.phaseShift2, 12.0);
        EXPECT_EQ(s.carried75, 7.5);
    }
    EXPECT_EQ(Golden("harmonics_rescan").Scalar("percent"), 8.0);
    EXPECT_EQ(Golden("harmonics_capped").Array("out_frequency").size(), 128u);
}

// With lines closer together than the refinement's bracket, there is nothing to halve: the top line itself
// is the peak (the refinement used to leave the amplitude undefined then).
TEST(HarmonicsStep, denseLinesKeepTheTopLine) {
    Series s;
    s.kind = 4;
    s.quantity = 4;
    s.xStep = 0.0001;
    s.y = {0.0, 0.1, 0.6, 1.0, 0.7, 0.2, 0.0, 0.0};
    s.RecomputePeak();
    ASSERT_EQ(HarmonicsStep(s), StepResult::kDone);
    ASSERT_EQ(s.Count(), 1u);
    EXPECT_DOUBLE_EQ(s.x[0], 0.0003);
    EXPECT_EQ(s.y[0], 1.0);
}

TEST(HarmonicsStep, refinedPeakLiesBetweenTheTopLineAndItsHigherNeighbour) {
    Series s;
    s.kind = 4;
    s.quantity = 4;
    s.xStep = 1.0;
    // A parabola with its top at 10.3 Hz sampled on whole hertz: the polynomial through the lines is the
    // parabola itself, so the bisection homes in on its top.
    for (int i = 0; i < 20; ++i) {
        const double d = i - 10.3;
        s.y.push_back(5.0 - 0.04 * d * d);
    }
    s.RecomputePeak();
    ASSERT_EQ(HarmonicsStep(s), StepResult::kDone);
    ASSERT_EQ(s.Count(), 1u);
    EXPECT_GT(s.x[0], 10.0);
    EXPECT_LT(s.x[0], 11.0);
    EXPECT_NEAR(s.x[0], 10.3, 0.01);
    EXPECT_NEAR(s.y[0], 5.0, 0.01);
}

TEST(HarmonicsStep, refusesWhatItCannotScan) {
    Series single;
    single.kind = 4;
    single.xStep = 1.0;
    single.y = {1.0};
    EXPECT_EQ(HarmonicsStep(single), StepResult::kUnfitInput);
    Series signal;
    signal.kind = 2;
    signal.xStep = 1.0;
    signal.y = {1.0, 2.0, 1.0};
    EXPECT_EQ(HarmonicsStep(signal), StepResult::kSkipped);
}

}  // namespace
}  // namespace velmar::analysis
