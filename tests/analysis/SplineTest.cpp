#include "analysis/Spline.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace velmar::analysis {
namespace {

// f(x) = 2 − x + x²/2 − x³/4 and its derivatives.
double Cubic(double x) {
    return 2.0 - x + 0.5 * x * x - 0.25 * x * x * x;
}
double CubicSlope(double x) {
    return -1.0 + x - 0.75 * x * x;
}
double CubicCurvature(double x) {
    return 1.0 - 1.5 * x;
}

const std::vector<double> kUnevenKnots{-1.0, -0.3, 0.2, 1.1, 1.5, 2.7, 3.0};

std::vector<double> Sample(const std::vector<double>& x, double (*f)(double)) {
    std::vector<double> y;
    for (double v : x) {
        y.push_back(f(v));
    }
    return y;
}

// Second derivative of the Hermite piece between knots k and k+1 at its left (t = 0) and right (t = h) end,
// worked out from the piece itself rather than from the equations the fit solves.
double CurvatureAtLeft(const std::vector<double>& x, const std::vector<double>& y,
                       const std::vector<double>& m, std::size_t k) {
    const double h = x[k + 1] - x[k], s = (y[k + 1] - y[k]) / h;
    return 2.0 * (3.0 * s - 2.0 * m[k] - m[k + 1]) / h;
}

double CurvatureAtRight(const std::vector<double>& x, const std::vector<double>& y,
                        const std::vector<double>& m, std::size_t k) {
    const double h = x[k + 1] - x[k], s = (y[k + 1] - y[k]) / h;
    return (-6.0 * s + 2.0 * m[k] + 4.0 * m[k + 1]) / h;
}

void ExpectContinuousCurvatureAtInteriorKnots(const std::vector<double>& x, const std::vector<double>& y,
                                              const std::vector<double>& m) {
    for (std::size_t k = 1; k + 1 < x.size(); ++k) {
        EXPECT_NEAR(CurvatureAtRight(x, y, m, k - 1), CurvatureAtLeft(x, y, m, k), 1e-12) << "knot " << k;
    }
}

// With the end conditions a cubic itself meets, the spline is that cubic, and so are its extrapolated ends.
TEST(SplineFit, reproducesACubicFromItsEndSlopesOrEndCurvatures) {
    const std::vector<double> y = Sample(kUnevenKnots, Cubic);
    const double x1 = kUnevenKnots.front(), xn = kUnevenKnots.back();
    struct Case {
        SplineEnd mode;
        double a, b;
    };
    for (const Case c : {Case{SplineEnd::kSlopes, CubicSlope(x1), CubicSlope(xn)},
                         Case{SplineEnd::kSecondDerivatives, CubicCurvature(x1), CubicCurvature(xn)}}) {
        std::vector<double> m(kUnevenKnots.size());
        ASSERT_TRUE(SplineFit(c.mode, kUnevenKnots, y, c.a, c.b, m));
        for (std::size_t i = 0; i < m.size(); ++i) {
            EXPECT_NEAR(m[i], CubicSlope(kUnevenKnots[i]), 1e-12) << "mode " << static_cast<int>(c.mode);
        }
        for (double at = -2.5; at <= 4.5; at += 0.125) {
            EXPECT_NEAR(SplineValue(kUnevenKnots, y, m, at), Cubic(at), 1e-11)
                << "mode " << static_cast<int>(c.mode) << " at " << at;
        }
    }
}

// The end terms of mode 2 are the second derivatives at both ends, with the same sign at each end.
TEST(SplineFit, secondDerivativeModeHoldsTheGivenCurvatureAtBothEnds) {
    const std::vector<double> y{0.5, -1.0, 2.0, 0.25, 1.0};
    const std::vector<double> x{0.0, 1.0, 1.5, 3.0, 4.0};
    std::vector<double> m(x.size());
    ASSERT_TRUE(SplineFit(SplineEnd::kSecondDerivatives, x, y, 3.0, -7.0, m));
    EXPECT_NEAR(CurvatureAtLeft(x, y, m, 0), 3.0, 1e-12);
    EXPECT_NEAR(CurvatureAtRight(x, y, m, x.size() - 2), -7.0, 1e-12);
    ExpectContinuousCurvatureAtInteriorKnots(x, y, m);
}

TEST(SplineFit, naturalSplineThroughCollinearKnotsIsTheLineAlsoBeyondTheEnds) {
    const std::vector<double> y = Sample(kUnevenKnots, [](double x) { return 3.0 * x - 1.0; });
    std::vector<double> m(kUnevenKnots.size());
    ASSERT_TRUE(SplineFit(SplineEnd::kSecondDerivatives, kUnevenKnots, y, 0.0, 0.0, m));
    for (double at = -10.0; at <= 10.0; at += 0.25) {
        EXPECT_NEAR(SplineValue(kUnevenKnots, y, m, at), 3.0 * at - 1.0, 1e-11) << at;
    }
}

TEST(SplineFit, naturalSplineHasZeroEndCurvatureAndContinuousCurvature) {
    const std::vector<double> x{-5.0, 0.0, 0.5, 2.0, 2.25, 6.0, 9.0, 15.0};
    const std::vector<double> y{1.0, -2.0, 4.0, 0.5, 0.75, -3.0, 2.0, 1.0};
    std::vector<double> m(x.size());
    ASSERT_TRUE(SplineFit(SplineEnd::kSecondDerivatives, x, y, 0.0, 0.0, m));
    EXPECT_NEAR(CurvatureAtLeft(x, y, m, 0), 0.0, 1e-12);
    EXPECT_NEAR(CurvatureAtRight(x, y, m, x.size() - 2), 0.0, 1e-12);
    ExpectContinuousCurvatureAtInteriorKnots(x, y, m);
    for (std::size_t i = 0; i < x.size(); ++i) {
        EXPECT_NEAR(SplineValue(x, y, m, x[i]), y[i], 1e-12) << i;
    }
}

TEST(SplineFit, periodicSplineJoinsItsEndsWithEqualSlopeAndCurvature) {
    std::vector<double> x{0.0, 0.7, 1.1, 2.0, 3.3, 4.0, 5.1, 2 * std::numbers::pi};
    std::vector<double> y;
    for (double v : x) {
        y.push_back(std::sin(v) + 0.3 * std::cos(2 * v));
    }
    y.back() = y.front();
    std::vector<double> m(x.size());
    ASSERT_TRUE(SplineFit(SplineEnd::kPeriodic, x, y, 0.0, 0.0, m));
    EXPECT_EQ(m.back(), m.front());
    EXPECT_NEAR(CurvatureAtRight(x, y, m, x.size() - 2), CurvatureAtLeft(x, y, m, 0), 1e-12);
    ExpectContinuousCurvatureAtInteriorKnots(x, y, m);
    for (std::size_t i = 0; i < x.size(); ++i) {
        EXPECT_NEAR(SplineValue(x, y, m, x[i]), y[i], 1e-12) << i;
    }
}

// Two and three knots leave no ordinary interior row: every neighbour of a knot is reached across the wrap.
TEST(SplineFit, periodicSplineWithTwoOrThreeKnots) {
    std::vector<double> m2(2);
    ASSERT_TRUE(SplineFit(SplineEnd::kPeriodic, std::vector<double>{1.0, 3.0}, std::vector<double>{5.0, 5.0},
                          0, 0, m2));
    EXPECT_EQ(m2[0], 0.0);
    EXPECT_EQ(m2[1], 0.0);

    const std::vector<double> x{0.0, 1.0, 3.0}, y{1.0, -1.0, 1.0};
    std::vector<double> m(3);
    ASSERT_TRUE(SplineFit(SplineEnd::kPeriodic, x, y, 0.0, 0.0, m));
    EXPECT_EQ(m[2], m[0]);
    EXPECT_NEAR(CurvatureAtRight(x, y, m, 0), CurvatureAtLeft(x, y, m, 1), 1e-12);
    EXPECT_NEAR(CurvatureAtRight(x, y, m, 1), CurvatureAtLeft(x, y, m, 0), 1e-12);
}

TEST(SplineFit, oneKnotGivesAStraightLine) {
    const std::vector<double> x{2.0}, y{5.0};
    std::vector<double> m(1);
    ASSERT_TRUE(SplineFit(SplineEnd::kSlopes, x, y, 0.5, 9.0, m));
    EXPECT_EQ(SplineValue(x, y, m, 4.0), 6.0);
    ASSERT_TRUE(SplineFit(SplineEnd::kSecondDerivatives, x, y, 0.5, 9.0, m));
    EXPECT_EQ(SplineValue(x, y, m, -3.0), 5.0);
}

TEST(SplineFit, refusesInputsThatWouldDivideByZeroOrOverrun) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        SplineEnd mode;
        std::vector<double> x, y;
        std::size_t slopes;
    };
    const std::vector<Case> cases{
        {"duplicate abscissa", SplineEnd::kSecondDerivatives, {0, 1, 1, 2}, {0, 1, 2, 3}, 4},
        {"falling abscissa", SplineEnd::kSlopes, {0, 2, 1}, {0, 1, 2}, 3},
        {"NaN abscissa", SplineEnd::kSecondDerivatives, {0, nan, 2}, {0, 1, 2}, 3},
        {"infinite abscissa", SplineEnd::kPeriodic, {0, 1, INFINITY}, {0, 1, 0}, 3},
        {"fewer values than abscissas", SplineEnd::kSlopes, {0, 1, 2}, {0, 1}, 3},
        {"slopes too short", SplineEnd::kSlopes, {0, 1, 2}, {0, 1, 2}, 2},
        {"no knots", SplineEnd::kSlopes, {}, {}, 0},
        {"unknown mode", static_cast<SplineEnd>(4), {0, 1, 2}, {0, 1, 2}, 3},
    };
    for (const Case& c : cases) {
        std::vector<double> slopes(c.slopes, 42.0);
        EXPECT_FALSE(SplineFit(c.mode, c.x, c.y, 0.0, 0.0, slopes)) << c.what;
        for (double s : slopes) {
            EXPECT_EQ(s, 42.0) << c.what;
        }
    }
}

TEST(SplineValue, returnsTheKnotValueAtInteriorKnotsAndZeroWithoutKnots) {
    const std::vector<double> x{0.0, 1.0, 2.5, 4.0}, y{3.0, -1.0, 0.5, 2.0};
    std::vector<double> m(4);
    ASSERT_TRUE(SplineFit(SplineEnd::kSecondDerivatives, x, y, 0.0, 0.0, m));
    EXPECT_EQ(SplineValue(x, y, m, 1.0), -1.0);
    EXPECT_EQ(SplineValue(x, y, m, 2.5), 0.5);
    EXPECT_NEAR(SplineValue(x, y, m, 4.0), 2.0, 1e-14);
    EXPECT_EQ(SplineValue({}, {}, {}, 1.0), 0.0);
}

}  // namespace
}  // namespace velmar::analysis
