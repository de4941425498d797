#include "ui/SignalViewModel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace velmar::ui {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<double> Ramp(int n) {
    std::vector<double> v(static_cast<std::size_t>(n));
    std::iota(v.begin(), v.end(), 1.0);
    return v;
}

TEST(SignalViewModel, PlotRect_leavesLabelMargins) {
    const PlotRect r = PlotRectForClient(600, 400);
    EXPECT_EQ(r.left, 46);
    EXPECT_EQ(r.top, 8);
    EXPECT_EQ(r.right, 592);
    EXPECT_EQ(r.bottom, 376);
    EXPECT_EQ(r.Width(), 546);
    EXPECT_EQ(r.Height(), 368);
}

TEST(SignalViewModel, NearestIndex_halfwayRoundsToEvenAndClamps) {
    const Sampling s{0.0, 1.0, 10};
    struct Case {
        double x;
        int index;
    };
    // Position 0.5 goes down to 0 (point 1), 1.5 and 2.5 both go to 2 (point 3): ties to even, not away.
    const Case cases[] = {{0.5, 1},  {1.5, 3},    {2.5, 3},    {3.5, 5},    {3.49, 4},
                          {-3.0, 1}, {100.0, 10}, {1e300, 10}, {-1e300, 1}, {kNaN, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(NearestIndex(s, c.x), c.index) << "x=" << c.x;
    }
    // A step of 0 or no points at all must not divide by zero.
    EXPECT_EQ(NearestIndex({0.0, 0.0, 10}, 5.0), 1);
    EXPECT_EQ(NearestIndex({0.0, 1.0, 0}, 5.0), 1);
}

TEST(SignalViewModel, VisibleIndices_nearestPointsInIncreasingOrder) {
    const Sampling s{10.0, 0.5, 100};                // abscissas 10, 10.5 ... 59.5
    IndexRange r = VisibleIndices(s, 10.25, 20.75);  // positions 0.5 and 21.5 -> 0 and 22
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.last, 23);
    r = VisibleIndices(s, 20.75, 10.25);
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.last, 23);
    r = VisibleIndices(s, 0.0, 1000.0);
    EXPECT_EQ(r.first, 1);
    EXPECT_EQ(r.last, 100);
    EXPECT_EQ(VisibleIndices({0.0, 1.0, 0}, 0.0, 10.0).Count(), 0);
}

TEST(SignalViewModel, BuildColumns_decimationBoundary) {
    struct Case {
        int points;
        int width;
        int columns;
        bool decimated;
    };
    const Case cases[] = {
        {500, 500, 500, false},   {501, 500, 500, true},     {499, 500, 499, false},
        {100000, 500, 500, true}, {2048, 4000, 2048, false}, {2049, 4000, 2048, true},
        {5000, 3000, 2048, true}, {1, 500, 1, false},        {10, 0, 0, false},
        {10, -5, 0, false},
    };
    for (const Case& c : cases) {
        const std::vector<double> v = Ramp(c.points);
        const ColumnSet set = BuildColumns(v, {1, c.points}, c.width, 1.0);
        SCOPED_TRACE(::testing::Message() << c.points << " points in " << c.width << " px");
        EXPECT_EQ(static_cast<int>(set.columns.size()), c.columns);
        EXPECT_EQ(set.decimated, c.decimated);
        if (set.columns.empty()) {
            continue;
        }
        // The columns tile the range with no gap and no overlap.
        EXPECT_EQ(set.columns.front().first, 1);
        EXPECT_EQ(set.columns.back().last, c.points);
        for (std::size_t k = 1; k < set.columns.size(); ++k) {
            EXPECT_EQ(set.columns[k].first, set.columns[k - 1].last + 1) << "column " << k;
            EXPECT_LE(set.columns[k].first, set.columns[k].last) << "column " << k;
        }
    }
}

TEST(SignalViewModel, BuildColumns_boundariesRoundTiesToEven) {
    // 10 points from point 3 in 4 columns: r = 2.5, boundaries at 0, 2.5 -> 2, 5, 7.5 -> 8, 10.
    // Rounding half away from zero would make the first column [3, 5].
    const std::vector<double> v = Ramp(20);
    const ColumnSet set = BuildColumns(v, {3, 12}, 4, 1.0);
    ASSERT_EQ(set.columns.size(), 4u);
    const int expected[4][2] = {{3, 4}, {5, 7}, {8, 10}, {11, 12}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(set.columns[k].first, expected[k][0]) << "column " << k;
        EXPECT_EQ(set.columns[k].last, expected[k][1]) << "column " << k;
    }
}

TEST(SignalViewModel, BuildColumns_statisticsScaledByFactor) {
    // Two columns of three points each; the first has equal magnitudes -5 and 5, the first one wins.
    const std::vector<double> v = {1, -5, 5, 2, 3, -1};
    const ColumnSet set = BuildColumns(v, {1, 6}, 2, 2.0);
    ASSERT_EQ(set.columns.size(), 2u);
    const Column& a = set.columns[0];
    EXPECT_EQ(a.indexOfMaxAbs, 2);
    EXPECT_DOUBLE_EQ(a.single, -10.0);
    EXPECT_DOUBLE_EQ(a.minimum, -10.0);
    EXPECT_DOUBLE_EQ(a.maximum, 10.0);
    EXPECT_DOUBLE_EQ(a.average, 2.0 / 3.0);
    const Column& b = set.columns[1];
    EXPECT_EQ(b.indexOfMaxAbs, 5);
    EXPECT_DOUBLE_EQ(b.single, 6.0);
    EXPECT_DOUBLE_EQ(b.minimum, -2.0);
    EXPECT_DOUBLE_EQ(b.maximum, 6.0);
    EXPECT_DOUBLE_EQ(b.average, 8.0 / 3.0);

    // Undecimated: every point is a column of its own, values times the factor.
    const ColumnSet plain = BuildColumns(v, {2, 4}, 100, 0.5);
    ASSERT_EQ(plain.columns.size(), 3u);
    EXPECT_FALSE(plain.decimated);
    EXPECT_EQ(plain.columns[0].first, 2);
    EXPECT_DOUBLE_EQ(plain.columns[0].single, -2.5);
    EXPECT_DOUBLE_EQ(plain.columns[0].minimum, -2.5);
    EXPECT_DOUBLE_EQ(plain.columns[2].maximum, 1.0);
}

TEST(SignalViewModel, BuildColumns_rangeBeyondDataIsCut) {
    const std::vector<double> v = Ramp(5);
    ColumnSet set = BuildColumns(v, {0, 9}, 100, 1.0);
    ASSERT_EQ(set.columns.size(), 5u);
    EXPECT_EQ(set.columns.back().last, 5);
    EXPECT_TRUE(BuildColumns(v, {7, 9}, 100, 1.0).columns.empty());
    EXPECT_TRUE(BuildColumns({}, {1, 3}, 100, 1.0).columns.empty());
}

TEST(SignalViewModel, DisplayModes_becomingDecimatedShowsBandOnly) {
    const DisplayModes plain{true, true, false};
    const DisplayModes band = ModesAfterRebuild(plain, false, true);
    EXPECT_FALSE(band.single);
    EXPECT_FALSE(band.average);
    EXPECT_TRUE(band.minMax);
    // Staying decimated keeps what the user chose.
    const DisplayModes kept = ModesAfterRebuild(plain, true, true);
    EXPECT_TRUE(kept.single);
    EXPECT_TRUE(kept.average);

    // Zoomed in below one point per column the plain line comes back whatever the switches say.
    const SeriesToDraw undecimated = SeriesFor(band, false);
    EXPECT_TRUE(undecimated.singleLine);
    EXPECT_FALSE(undecimated.minMaxBand);
    EXPECT_FALSE(undecimated.averageLine);
    const SeriesToDraw decimated = SeriesFor(band, true);
    EXPECT_FALSE(decimated.singleLine);
    EXPECT_TRUE(decimated.minMaxBand);
}

TEST(SignalViewModel, TickValues_stepsForRanges) {
    struct Case {
        double lo;
        double hi;
        int wished;
        double step;
        std::vector<double> ticks;
    };
    const Case cases[] = {
        // 23.4 -> 20
        {0, 234, 10, 20, {20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220}},
        // 7.6 -> 8
        {0, 76, 10, 8, {8, 16, 24, 32, 40, 48, 56, 64, 72}},
        // 2.5 has its mantissa rounded to even: 2
        {0, 1, 4, 0.2, {0.2, 0.4, 0.6, 0.8, 1.0}},
        // the first tick lies strictly above the lower limit
        {-1, 1, 4, 0.5, {-0.5, 0, 0.5, 1}},
        {0.3, 0.9, 6, 0.1, {0.4, 0.5, 0.6, 0.7, 0.8, 0.9}},
        // a wished count of 0 (a plot a few pixels high) counts as 1
        {0, 7, 0, 7, {7}},
        {-350, -50, 3, 100, {-300, -200, -100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "[" << c.lo << ", " << c.hi << "] n=" << c.wished);
        EXPECT_DOUBLE_EQ(TickStep(c.lo, c.hi, c.wished), c.step);
        const std::vector<double> ticks = TickValues(c.lo, c.hi, c.wished);
        ASSERT_EQ(ticks.size(), c.ticks.size());
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i], c.ticks[i], std::fabs(c.step) * 1e-9) << "tick " << i;
        }
    }
}

TEST(SignalViewModel, TickValues_degenerateRangesGiveNoTicks) {
    struct Case {
        double lo;
        double hi;
    };
    // Each of these used to make a zero or unusable step; they must return, and return nothing.
    const Case cases[] = {
        {5, 5},     {0, 0},    {2, 1},          {kNaN, 1},           {0, kNaN},
        {-kInf, 0}, {0, kInf}, {-1e308, 1e308}, {1e13, 1e13 + 0.001}};  // narrower than the resolution at
                                                                        // that magnitude
    for (const Case& c : cases) {
        EXPECT_TRUE(TickValues(c.lo, c.hi, 10).empty()) << "[" << c.lo << ", " << c.hi << "]";
    }
    EXPECT_EQ(TickStep(5, 5, 10), 0.0);
    // A huge wished count is bounded.
    EXPECT_LE(TickValues(0, 1, 1 << 30).size(), static_cast<std::size_t>(kMaxTicks));
}

TEST(SignalViewModel, WishedTickCount_roundsToEvenAndIsAtLeastOne) {
    EXPECT_EQ(WishedTickCount(10, 25), 1);  // 0.4 -> 0, raised to 1
    EXPECT_EQ(WishedTickCount(100, 25), 4);
    EXPECT_EQ(WishedTickCount(75, 50), 2);   // 1.5 -> 2
    EXPECT_EQ(WishedTickCount(125, 50), 2);  // 2.5 -> 2
    EXPECT_EQ(WishedTickCount(0, 25), 1);
}

TEST(SignalViewModel, TickLabels_sevenCharactersAtMost) {
    EXPECT_EQ(YTickLabel(20), "20");
    EXPECT_EQ(YTickLabel(0), "0");
    EXPECT_EQ(XTickLabel(20).size(), 7u);
    EXPECT_NE(XTickLabel(20).find("20"), std::string::npos);
    EXPECT_LE(YTickLabel(-123456.789).size(), 7u);
}

class SignalViewModelScales : public ::testing::Test {
  protected:
    void SetUp() override {
        // A plot 101 pixels wide (100 steps) and 100 pixels high.
        view_.SetPlot(PlotRectForClient(46 + 101 + 8, 8 + 100 + 24));
    }
    SignalViewModel view_;
};

TEST_F(SignalViewModelScales, LinearAxesMapEndsToPlotEdges) {
    view_.SetXRange(0, 50);
    view_.SetYRange(-1, 1);
    EXPECT_EQ(view_.XToPixel(0), 46);
    EXPECT_EQ(view_.XToPixel(50), 146);
    EXPECT_EQ(view_.XToPixel(25.25), 96);  // 50.5 pixels: ties to even
    EXPECT_EQ(view_.YToPixel(1), 8);
    EXPECT_EQ(view_.YToPixel(-1), 108);
    EXPECT_EQ(view_.YToPixel(0), 58);
    EXPECT_DOUBLE_EQ(view_.PixelToX(96), 25);
    EXPECT_DOUBLE_EQ(view_.PixelToY(58), 0);
    // Far-away values are clamped instead of overflowing.
    EXPECT_EQ(view_.XToPixel(1e300), 46 + kPixelLimit);
    EXPECT_EQ(view_.XToPixel(-1e300), 46 - kPixelLimit);
}

TEST_F(SignalViewModelScales, ZeroRangesDoNotDivideByZero) {
    view_.SetXRange(5, 5);
    view_.SetYRange(2, 2);
    EXPECT_EQ(view_.XToPixel(5), 46);
    EXPECT_EQ(view_.XToPixel(6), 47);  // a zero difference counts as one unit per pixel
    EXPECT_EQ(view_.YToPixel(2), 8);
    EXPECT_TRUE(std::isfinite(view_.PixelToX(100)));
    EXPECT_TRUE(std::isfinite(view_.PixelToY(100)));
    view_.SetPlot(PlotRectForClient(46 + 1 + 8, 8 + 0 + 24));  // 1 x 0 pixels
    view_.SetXRange(0, 10);
    EXPECT_EQ(view_.XToPixel(10), 47);  // one step across a single column
}

TEST_F(SignalViewModelScales, LogXDrawsFirstLineAtSecond) {
    view_.SetSampling({0.0, 1.0, 1000});  // a spectrum: line 1 at 0 Hz, line 2 at 1 Hz
    view_.SetLogX(true);
    view_.SetXRange(0, 100);  // the 0 Hz end is floored to 1 Hz as well
    struct Case {
        double x;
        int px;
    };
    const Case cases[] = {{0, 46}, {-5, 46}, {0.5, 46}, {1, 46}, {10, 96}, {100, 146}};
    for (const Case& c : cases) {
        EXPECT_EQ(view_.XToPixel(c.x), c.px) << "x=" << c.x;
    }
    EXPECT_NEAR(view_.PixelToX(96), 10.0, 1e-9);
}

TEST_F(SignalViewModelScales, LogXWithoutPositiveSecondPointStaysFinite) {
    view_.SetSampling({-5.0, 1.0, 100});  // second point at -4: the step becomes the floor
    view_.SetLogX(true);
    view_.SetXRange(-5, 100);
    EXPECT_EQ(view_.XToPixel(-5), 46);
    EXPECT_EQ(view_.XToPixel(1), 46);
    EXPECT_EQ(view_.XToPixel(100), 146);
}

TEST_F(SignalViewModelScales, LogYFloorsZeroAndNegativeValues) {
    view_.SetLogY(true);
    view_.SetDataMaximum(1.0);  // 120 dB; the floor is 1e-5, 20 dB
    view_.SetYRange(0, 1);      // Ylo = 0 lies on the floor
    struct Case {
        double y;
        double db;
        int py;
    };
    const Case cases[] = {
        {1.0, 120, 8},   {0.1, 100, 28}, {1e-4, 40, 88},  {1e-5, 20, 108},  // at the floor
        {1e-7, 20, 108}, {0.0, 20, 108}, {-3.0, 20, 108}, {kNaN, 20, 108},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(view_.YAxisValue(c.y), c.db, 1e-9) << "y=" << c.y;
        EXPECT_EQ(view_.YToPixel(c.y), c.py) << "y=" << c.y;
    }
    EXPECT_NEAR(view_.PixelToY(28), 0.1, 1e-12);
}

TEST_F(SignalViewModelScales, LogYWithoutPositiveMaximumStaysFinite) {
    view_.SetLogY(true);
    view_.SetDataMaximum(0.0);  // an all-zero signal
    view_.SetYRange(0, 0);
    EXPECT_TRUE(std::isfinite(view_.YAxisValue(0.0)));
    EXPECT_TRUE(std::isfinite(view_.YAxisValue(-1.0)));
    EXPECT_EQ(view_.YToPixel(0.0), 8);
    EXPECT_TRUE(TickValues(view_.YAxisValue(0), view_.YAxisValue(0), 4).empty());
}

TEST(SignalViewModel, Decibel_roundTrip) {
    EXPECT_DOUBLE_EQ(DecibelOf(1.0), 120.0);
    EXPECT_NEAR(DecibelOf(1e-6), 0.0, 1e-12);
    EXPECT_NEAR(LinearOfDecibel(DecibelOf(0.0317)), 0.0317, 1e-15);
}

}  // namespace
}  // namespace velmar::ui
