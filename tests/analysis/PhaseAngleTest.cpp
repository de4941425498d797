#include "analysis/PhaseAngle.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/Fft.hpp"

namespace velmar::analysis {
namespace {

TEST(PhaseAngle, axesQuadrantsAndZero) {
    struct Case {
        double re, im, degrees;
    };
    for (const Case c :
         {Case{1, 0, 90}, Case{0, 1, 0}, Case{-1, 0, 270}, Case{0, -1, 180}, Case{0, 0, 0}, Case{1, 1, 45},
          Case{1, -1, 135}, Case{-1, -1, 225}, Case{-1, 1, 315}, Case{-0.0, 0.0, 0}, Case{0.0, -0.0, 0},
          Case{-0.0, -0.0, 0}, Case{-0.0, 2.0, 0}, Case{-3.0, -0.0, 270}}) {
        const double got = PhaseAngle(c.re, c.im);
        EXPECT_EQ(got, c.degrees) << "(" << c.re << ", " << c.im << ")";
        EXPECT_FALSE(std::signbit(got)) << "(" << c.re << ", " << c.im << ")";
    }
}

// The defining form: arccos(im/r) in degrees, negated for re < 0, brought into [0, 360).
TEST(PhaseAngle, agreesWithTheArccosFormOverThePlane) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> dist(-100.0, 100.0);
    for (int i = 0; i < 2000; ++i) {
        const double re = dist(rng), im = dist(rng);
        double want = std::acos(im / std::hypot(re, im)) * 180.0 / std::numbers::pi;
        if (re < 0) {
            want = 360.0 - want;
        }
        EXPECT_NEAR(PhaseAngle(re, im), want, 1e-9) << re << ", " << im;
    }
}

// Components whose squares overflow or underflow still have a well-defined angle.
TEST(PhaseAngle, keepsItsAccuracyForHugeAndTinyComponents) {
    EXPECT_NEAR(PhaseAngle(1e200, 1e200), 45.0, 1e-12);
    EXPECT_NEAR(PhaseAngle(-1e-200, 1e-200), 315.0, 1e-12);
    EXPECT_NEAR(PhaseAngle(3e-320, -3e-320), 135.0, 1e-9);
}

TEST(PhaseAngle, staysBelow360ForAngleJustUnderAFullTurn) {
    const double got = PhaseAngle(-1e-300, 1.0);
    EXPECT_GE(got, 0.0);
    EXPECT_LT(got, 360.0);
    EXPECT_TRUE(std::isnan(PhaseAngle(std::numeric_limits<double>::quiet_NaN(), 1.0)));
}

// With the transform's positive exponent, 360 − PhaseAngle of a line is the phase φ of A·sin(2πf·t − φ).
TEST(PhaseAngle, withComplexFftReportsThePhaseOfADelayedSine) {
    constexpr std::size_t kN = 64, kLine = 5;
    for (const double phi : {0.0, 30.0, 135.0, 250.0, 359.0}) {
        std::vector<Complex> x(kN);
        for (std::size_t j = 0; j < kN; ++j) {
            const double t = 2 * std::numbers::pi * kLine * static_cast<double>(j) / kN;
            x[j] = Complex(2.0 * std::sin(t - phi * std::numbers::pi / 180.0), 0.0);
        }
        ComplexFft(x);
        const double reported = std::fmod(360.0 - PhaseAngle(x[kLine].real(), x[kLine].imag()), 360.0);
        EXPECT_NEAR(reported, phi, 1e-9) << phi;
        EXPECT_NEAR(std::abs(x[kLine]) * 2.0 / kN, 2.0, 1e-12) << phi;
    }
}

}  // namespace
}  // namespace velmar::analysis
