#include "analysis/Interpolation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace velmar::analysis {
namespace {

// Through m equally spaced points of a polynomial of degree m − 1 the interpolant is that polynomial, inside
// the points and beyond them.
TEST(LagrangeValue, reproducesThePolynomialOfDegreeCountMinusOne) {
    const std::vector<double> coefficients{0.7, -1.3, 0.4, 2.1, -0.6, 0.25};
    for (std::size_t count = 3; count <= 6; ++count) {
        auto poly = [&](double x) {
            double v = 0.0;
            for (std::size_t i = count; i-- > 0;) {
                v = v * x + coefficients[i];
            }
            return v;
        };
        const double x1 = -0.8, h = 0.35;
        std::vector<double> y;
        for (std::size_t j = 0; j < count; ++j) {
            y.push_back(poly(x1 + static_cast<double>(j) * h));
        }
        for (double x = -1.5; x <= 2.0; x += 0.0625) {
            EXPECT_NEAR(LagrangeValue(y, x1, h, x), poly(x), 1e-11) << "count " << count << " x " << x;
        }
    }
}

TEST(LagrangeValue, threePointsGiveTheMiddleValueExactlyAtTheMiddleAbscissa) {
    const std::vector<double> y{1.25, -7.5, 3.0};
    EXPECT_EQ(LagrangeValue(y, 10.0, 0.5, 10.5), -7.5);
    EXPECT_EQ(LagrangeValue(y, 10.0, 0.5, 10.0), 1.25);
}

TEST(LagrangeValue, givesZeroForUnsupportedCountsAndDegenerateSpacing) {
    const std::vector<double> seven{1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(LagrangeValue(std::span(seven).first(2), 0.0, 1.0, 0.5), 0.0);
    EXPECT_EQ(LagrangeValue(seven, 0.0, 1.0, 0.5), 0.0);
    EXPECT_EQ(LagrangeValue({}, 0.0, 1.0, 0.5), 0.0);
    EXPECT_EQ(LagrangeValue(std::span(seven).first(4), 0.0, 0.0, 0.5), 0.0);
    EXPECT_EQ(LagrangeValue(std::span(seven).first(4), 0.0, std::numeric_limits<double>::infinity(), 0.5),
              0.0);
}

const std::vector<TablePoint> kTable{{10.0f, 5.0f}, {20.0f, 25.0f}, {40.0f, 15.0f}, {50.0f, -5.0f}};

TEST(TableValue, holdsTheEndValuesOutsideTheTable) {
    EXPECT_EQ(TableValue(kTable, -1e30), 5.0);
    EXPECT_EQ(TableValue(kTable, 10.0), 5.0);
    EXPECT_EQ(TableValue(kTable, 50.0), -5.0);
    EXPECT_EQ(TableValue(kTable, 1e30), -5.0);
}

TEST(TableValue, givesTheTableValueAtAnInteriorAbscissaAndInterpolatesBetween) {
    EXPECT_EQ(TableValue(kTable, 20.0), 25.0);
    EXPECT_EQ(TableValue(kTable, 40.0), 15.0);
    EXPECT_DOUBLE_EQ(TableValue(kTable, 15.0), 15.0);
    EXPECT_DOUBLE_EQ(TableValue(kTable, 25.0), 22.5);
    EXPECT_DOUBLE_EQ(TableValue(kTable, 47.5), 0.0);
}

// Tables come from measurement files; a repeated abscissa is a step and the first bracketing pair wins.
TEST(TableValue, takesTheFirstBracketingPairAtARepeatedAbscissa) {
    const std::vector<TablePoint> step{{0.0f, 0.0f}, {1.0f, 10.0f}, {1.0f, 20.0f}, {2.0f, 30.0f}};
    EXPECT_EQ(TableValue(step, 1.0), 20.0);
    EXPECT_DOUBLE_EQ(TableValue(step, 0.5), 5.0);
    EXPECT_DOUBLE_EQ(TableValue(step, 1.5), 25.0);
}

TEST(TableValue, copesWithEmptyOneEntryAndDisorderedTables) {
    EXPECT_EQ(TableValue({}, 3.0), 0.0);
    const std::vector<TablePoint> one{{5.0f, 7.0f}};
    EXPECT_EQ(TableValue(one, 4.0), 7.0);
    EXPECT_EQ(TableValue(one, 6.0), 7.0);
    const std::vector<TablePoint> disordered{{0.0f, 0.0f}, {3.0f, 3.0f}, {1.0f, 10.0f}, {4.0f, 4.0f}};
    EXPECT_DOUBLE_EQ(TableValue(disordered, 2.0), 2.0);
    EXPECT_DOUBLE_EQ(TableValue(disordered, 3.5), 5.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(TableValue(kTable, nan)));
    const std::vector<TablePoint> broken{
        {0.0f, 1.0f}, {std::numeric_limits<float>::quiet_NaN(), 2.0f}, {2.0f, 3.0f}};
    EXPECT_TRUE(std::isfinite(TableValue(broken, 1.0)));
}

}  // namespace
}  // namespace velmar::analysis
