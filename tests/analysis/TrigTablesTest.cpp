// The fast trigonometry of the steps against the library functions, and the per-line loops.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/LineKernels.hpp"
#include "analysis/PhaseAngle.hpp"
#include "analysis/TrigTables.hpp"
#include "common/Numbers.hpp"

namespace velmar::analysis::detail {
namespace {

// Angles compared round the circle.
double AngleGap(double a, double b, double turn) {
    double d = std::fmod(std::fabs(a - b), turn);
    return std::min(d, turn - d);
}

TEST(Atan2, agreesWithTheLibraryToAboutAnUlpEverywhere) {
    std::mt19937_64 rng(9);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    double worst = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double y = std::ldexp(mantissa(rng), exponent(rng) / (i % 3 == 0 ? 1 : 50));
        const double x = std::ldexp(mantissa(rng), exponent(rng) / (i % 3 == 0 ? 1 : 50));
        const double want = std::atan2(y, x);
        worst = std::max(worst, std::fabs(Atan2(y, x) - want) / std::max(std::fabs(want), 1e-300));
    }
    EXPECT_LT(worst, 4e-16);
    // The axes, the diagonals and the octant seams exactly where the reduction switches.
    const double seams[][2] = {{0, 1},    {1, 0},  {0, -1},  {-1, 0},   {1, 1},
                               {-1, 1},   {1, -1}, {-1, -1}, {0.66, 1}, {std::nextafter(0.66, 1.0), 1},
                               {1, 0.66}, {3, 4},  {-4, 3}};
    for (const auto& p : seams) {
        EXPECT_NEAR(Atan2(p[0], p[1]), std::atan2(p[0], p[1]), 4e-16 * std::numbers::pi)
            << p[0] << " " << p[1];
    }
    EXPECT_EQ(Atan2(0.0, 0.0), 0.0);
}

// The stored phase of a line: 360 − PhaseAngle(re, im), in [0, 360), 0 for 0.
TEST(LinePhase, isThreeSixtyLessThePhaseAngle) {
    std::mt19937_64 rng(4);
    std::uniform_real_distribution<double> u(-5.0, 5.0);
    for (int i = 0; i < 100000; ++i) {
        const double re = u(rng), im = i % 7 == 0 ? 0.0 : u(rng);
        const double got = LinePhase(re, im);
        ASSERT_GE(got, 0.0);
        ASSERT_LT(got, 360.0);
        EXPECT_LT(AngleGap(got, 360.0 - PhaseAngle(re, im), 360.0), 1e-12) << re << " " << im;
    }
    // A component A·sin(2πft − φ) gives X = (A·N/2)·(−sin φ + i·cos φ): the line reads φ.
    for (double phi : {0.0, 30.0, 90.0, 179.0, 180.0, 270.0, 359.5}) {
        const double r = phi * std::numbers::pi / 180.0;
        EXPECT_NEAR(LinePhase(-std::sin(r), std::cos(r)), phi, 1e-12) << phi;
    }
    EXPECT_EQ(LinePhase(0.0, 0.0), 0.0);
    EXPECT_EQ(LinePhase(0.0, 1.0), 0.0);  // not 360
}

TEST(TurnTable, givesTheUnitCircleToFullAccuracy) {
    const TurnTable& turns = TurnTable::Shared();
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    double worst = 0.0;
    for (int i = 0; i < 100000; ++i) {
        const double t = u(rng);
        const std::complex<double> z = turns(t);
        const long double angle = 2.0L * std::numbers::pi_v<long double> * t;
        worst = std::max({worst, static_cast<double>(std::fabs(z.real() - std::cos(angle))),
                          static_cast<double>(std::fabs(z.imag() - std::sin(angle)))});
    }
    EXPECT_LT(worst, 1e-15);  // a few units in the last place
}

TEST(RootTable, givesTheRootsOfUnityOfAnyOrder) {
    for (std::size_t d : {1u, 3u, 1023u, 1024u, 1025u, 4095u, 100003u}) {
        const RootTable roots(d);
        for (std::size_t q = 0; q < d; q += 1 + d / 500) {
            const long double angle = 2.0L * std::numbers::pi_v<long double> * q / d;
            EXPECT_NEAR(roots(q).real(), static_cast<double>(std::cos(angle)), 1e-15) << d << " " << q;
            EXPECT_NEAR(roots(q).imag(), static_cast<double>(std::sin(angle)), 1e-15) << d << " " << q;
            EXPECT_EQ(roots.Cos(q), roots(q).real());
        }
    }
}

// The fraction of a huge product stays exact: k·a for k up to 2^42 loses nothing. The reference forms
// hi·k in 128-bit integers.
TEST(FractionOfProduct, reducesHugeProductsExactly) {
    const TwoDouble a = ExactProduct(0.1, 1.0 / 3.0);
    int exponent = 0;
    const double mantissa = std::frexp(a.hi, &exponent);
    const auto digits = static_cast<std::int64_t>(std::ldexp(mantissa, 53));
    const int shift = 53 - exponent;  // a.hi = digits / 2^shift
    ASSERT_GT(shift, 0);
    ASSERT_LT(shift, 64);
    for (std::int64_t k :
         {std::int64_t{1}, std::int64_t{12345}, std::int64_t{4398046511104}, std::int64_t{1234567890123}}) {
        const unsigned __int128 product =
            static_cast<unsigned __int128>(digits) * static_cast<std::uint64_t>(k);
        const unsigned __int128 mask = (static_cast<unsigned __int128>(1) << shift) - 1;
        long double fraction =
            std::ldexp(static_cast<long double>(static_cast<std::uint64_t>(product & mask)), -shift);
        fraction += static_cast<long double>(a.lo) * k;
        fraction -= std::nearbyintl(fraction);
        // ±0.5 are the same turn (12345·a lands on a half)
        EXPECT_LT(AngleGap(FractionOfProduct(a, static_cast<double>(k)), static_cast<double>(fraction), 1.0),
                  2e-16)
            << k;
    }
}

TEST(LineKernels, turnPhasesWrapsLikeNormalizeAngle) {
    std::vector<double> inside{0.0, 10.0, 269.9, 270.0, 359.99, 180.0};
    std::vector<double> outside = inside;
    outside.push_back(-30.0);  // one stored phase outside a turn takes the careful path for all
    outside.push_back(1000.0);
    for (double turn : {90.0, -90.0}) {
        for (std::vector<double> phases : {inside, outside}) {
            std::vector<double> want;
            for (double p : phases) {
                want.push_back(common::NormalizeAngle(p + turn));
            }
            TurnPhases(phases.data(), phases.size(), turn);
            for (std::size_t i = 0; i < phases.size(); ++i) {
                EXPECT_NEAR(phases[i], want[i], 1e-12) << i << " " << turn;
                EXPECT_LT(phases[i], 360.0);
                EXPECT_GE(phases[i], 0.0);
            }
        }
    }
    // Just below 90 turned back by 90 is a tiny negative angle, and that plus 360 rounds to 360 itself.
    std::vector<double> tiny{90.0 - 1e-14};
    TurnPhases(tiny.data(), 1, -90.0);
    EXPECT_EQ(tiny[0], 0.0);
}

TEST(LineKernels, frequencyScalingZeroesTheLowLinesAndZeroHertz) {
    std::vector<double> y(8, 2.0);
    DivideByFrequency(y.data(), y.size(), 0.0, 5.0, 10.0, 2);
    EXPECT_EQ(y[0], 0.0);
    EXPECT_EQ(y[1], 0.0);
    EXPECT_DOUBLE_EQ(y[2], 2.0 * 10.0 / 10.0);
    EXPECT_DOUBLE_EQ(y[7], 2.0 * 10.0 / 35.0);
    std::vector<double> z(4, 3.0);
    MultiplyByFrequency(z.data(), z.size(), 1.0, 2.0, 0.5);
    EXPECT_DOUBLE_EQ(z[3], 3.0 * 0.5 * 7.0);
    std::vector<double> values(3), phases(3);
    const double complexes[] = {3.0, 4.0, 0.0, -2.0, 0.0, 0.0};
    MagnitudesAndPhases(complexes, 3, 2.0, values.data(), phases.data());
    EXPECT_DOUBLE_EQ(values[0], 10.0);
    EXPECT_DOUBLE_EQ(values[1], 4.0);
    EXPECT_EQ(values[2], 0.0);
    EXPECT_NEAR(phases[1], 180.0, 1e-12);
    EXPECT_EQ(phases[2], 0.0);
}

}  // namespace
}  // namespace velmar::analysis::detail
