#include "ui/ColumnPyramid.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ui/SignalViewModel.hpp"

// The full scan in BuildColumns is the reference: it visits every sample and is simple enough to trust, so
// the pyramid must give the same columns for any range, width and factor.

namespace velmar::ui {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Spans four block levels (16 .. 65536) with a ragged tail at every level.
constexpr int kMedium = 70001;
constexpr int kLarge = (1 << 20) + 3;

enum class Shape {
    Noise,   // uniform in [-1, 1): no ties
    Steps,   // integers -3 .. 3 with zeros of both signs: ties of value and magnitude everywhere
    Spikes,  // noise with rare spikes of +-7: ties of magnitude between far-apart blocks
    Zeros,   // zeros of both signs and ones: the minimum is a zero whose sign depends on which came first
    NoughtsOnly,  // zeros of both signs alone: so are the extremes and the single value
};

std::vector<double> MakeSeries(int n, Shape shape, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::uniform_int_distribution<int> step(-3, 3);
    std::uniform_int_distribution<int> coin(0, 1);
    std::uniform_int_distribution<int> spike(0, 4999);
    std::vector<double> v(static_cast<std::size_t>(n));
    for (double& x : v) {
        switch (shape) {
            case Shape::Noise:
                x = noise(rng);
                break;
            case Shape::Steps: {
                const int s = step(rng);
                x = s != 0 ? s : (coin(rng) != 0 ? -0.0 : 0.0);
                break;
            }
            case Shape::Spikes:
                x = spike(rng) == 0 ? (coin(rng) != 0 ? 7.0 : -7.0) : noise(rng);
                break;
            case Shape::Zeros:
                x = coin(rng) != 0 ? 1.0 : (coin(rng) != 0 ? -0.0 : 0.0);
                break;
            case Shape::NoughtsOnly:
                x = coin(rng) != 0 ? -0.0 : 0.0;
                break;
        }
    }
    return v;
}

// Equal including the sign of zero; any NaN equals any NaN.
bool SameValue(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b);
    }
    return a == b && std::signbit(a) == std::signbit(b);
}

std::string Describe(const Column& c) {
    std::ostringstream s;
    s.precision(17);
    s << "{first " << c.first << ", last " << c.last << ", indexOfMaxAbs " << c.indexOfMaxAbs << ", single "
      << c.single << ", average " << c.average << ", min " << c.minimum << ", max " << c.maximum << "}";
    return s.str();
}

// The sums are added in another order, so the average may differ by rounding. The bound is relative to the
// mean magnitude of the column rather than to the average itself, which may cancel to near zero.
bool AverageClose(double actual, double expected, std::span<const double> values, const Column& col,
                  double factor) {
    if (std::isnan(actual) || std::isnan(expected) || std::isinf(actual) || std::isinf(expected)) {
        return SameValue(actual, expected);
    }
    double magnitude = 0;
    for (int i = col.first; i <= col.last; ++i) {
        magnitude += std::fabs(values[static_cast<std::size_t>(i - 1)]);
    }
    magnitude = magnitude / (col.last - col.first + 1) * std::fabs(factor);
    return std::fabs(actual - expected) <= 1e-12 * std::max(std::fabs(expected), magnitude);
}

::testing::AssertionResult SameColumns(const ColumnSet& actual, const ColumnSet& expected,
                                       std::span<const double> values, double factor) {
    if (actual.decimated != expected.decimated) {
        return ::testing::AssertionFailure()
               << "decimated " << actual.decimated << ", expected " << expected.decimated;
    }
    if (actual.columns.size() != expected.columns.size()) {
        return ::testing::AssertionFailure()
               << actual.columns.size() << " columns, expected " << expected.columns.size();
    }
    for (std::size_t k = 0; k < actual.columns.size(); ++k) {
        const Column& a = actual.columns[k];
        const Column& e = expected.columns[k];
        const bool same = a.first == e.first && a.last == e.last && a.indexOfMaxAbs == e.indexOfMaxAbs &&
                          SameValue(a.single, e.single) && SameValue(a.minimum, e.minimum) &&
                          SameValue(a.maximum, e.maximum) &&
                          AverageClose(a.average, e.average, values, e, factor);
        if (!same) {
            return ::testing::AssertionFailure()
                   << "column " << k << ": " << Describe(a) << ", expected " << Describe(e);
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult MatchesFullScan(std::span<const double> values, IndexRange range, int plotWidth,
                                           double factor) {
    const ColumnPyramid pyramid(values);
    return SameColumns(pyramid.BuildColumns(range, plotWidth, factor),
                       BuildColumns(values, range, plotWidth, factor), values, factor);
}

TEST(ColumnPyramid, EmptySeriesAndRangesOutsideTheDataGiveNoColumns) {
    const ColumnPyramid none;
    EXPECT_TRUE(none.Empty());
    EXPECT_EQ(none.Size(), 0u);
    EXPECT_TRUE(none.BuildColumns({1, 10}, 100, 1.0).columns.empty());

    const std::vector<double> empty;
    const ColumnPyramid emptySeries{std::span<const double>(empty)};
    EXPECT_TRUE(emptySeries.Empty());
    EXPECT_TRUE(emptySeries.BuildColumns({1, 1}, 100, 1.0).columns.empty());

    const std::vector<double> values = MakeSeries(1000, Shape::Noise, 1);
    const ColumnPyramid pyramid{std::span<const double>(values)};
    EXPECT_FALSE(pyramid.Empty());
    EXPECT_EQ(pyramid.Size(), 1000u);
    struct Case {
        IndexRange range;
        int plotWidth;
    };
    const Case cases[] = {
        {{1001, 5000}, 100},  // wholly after the data
        {{-40, 0}, 100},      // wholly before it
        {{600, 400}, 100},    // reversed
        {{1, 1000}, 0},       // no width
        {{1, 1000}, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.range.first << ".." << c.range.last << " in " << c.plotWidth);
        const ColumnSet set = pyramid.BuildColumns(c.range, c.plotWidth, 1.0);
        EXPECT_TRUE(set.columns.empty());
        EXPECT_FALSE(set.decimated);
    }
}

TEST(ColumnPyramid, BuildColumns_matchesFullScanOnTableOfViews) {
    struct Case {
        int n;
        Shape shape;
        IndexRange range;
        int plotWidth;
        double factor;
        const char* what;
    };
    const Case cases[] = {
        {kMedium, Shape::Noise, {1, kMedium}, 2048, 1.0, "whole series, ~34 samples per column"},
        {kMedium, Shape::Spikes, {1, kMedium}, 3, 1.0, "columns holding 65536-blocks"},
        {kMedium, Shape::Steps, {1, kMedium}, 1, 1.0, "one column over everything"},
        {kMedium, Shape::Noise, {100, 100}, 2048, 1.0, "length 1"},
        {kMedium, Shape::Noise, {5, 19}, 4, 1.0, "length 15"},
        {kMedium, Shape::Steps, {17, 32}, 1, 1.0, "length 16, exactly one block"},
        {kMedium, Shape::Steps, {18, 33}, 1, 1.0, "length 16 across a block boundary"},
        {kMedium, Shape::Noise, {16, 32}, 2, 1.0, "length 17"},
        {kMedium, Shape::Steps, {33, 287}, 1, 1.0, "length 255"},
        {kMedium, Shape::Noise, {33, 287}, 7, -1.0, "length 255 in 7 columns"},
        {kMedium, Shape::Steps, {257, 512}, 1, 1.0, "length 256, one 256-block"},
        {kMedium, Shape::Steps, {258, 513}, 1, 1.0, "length 256 off by one"},
        {kMedium, Shape::Steps, {256, 512}, 2, 1.0, "length 257"},
        {kMedium, Shape::Noise, {1, 4096}, 2048, 1.0, "two samples per column"},
        {kMedium, Shape::Steps, {3, 40000}, 2048, 1.0, "columns of ~19.5 samples straddling blocks"},
        {kMedium, Shape::Noise, {12345, 65000}, 1600, -2.5, "negative factor"},
        {kMedium, Shape::Steps, {12345, 65000}, 333, -1.0, "negative factor with ties and signed zeros"},
        {kMedium, Shape::Zeros, {1, kMedium}, 2048, 1.0, "signed zero extremes"},
        {kMedium, Shape::Zeros, {3, kMedium - 3}, 77, -1.0, "signed zero extremes, negative factor"},
        {kMedium, Shape::Zeros, {1, kMedium}, 3, 1.0, "signed zero extremes in big blocks"},
        {kMedium, Shape::NoughtsOnly, {1, kMedium}, 2048, 1.0, "signed zeros alone"},
        {kMedium, Shape::NoughtsOnly, {5, kMedium}, 3, -1.0, "signed zeros alone in big blocks"},
        {kMedium, Shape::Noise, {1, kMedium}, 700, 0.0, "zero factor"},
        {kMedium, Shape::Spikes, {-50, kMedium + 100}, 999, 1.0, "range reaching past both ends"},
        {kMedium, Shape::Spikes, {65536 - 7, 65536 + 300}, 5, 1.0, "around the 65536 boundary"},
        {kMedium, Shape::Noise, {kMedium - 40, kMedium}, 3, 1.0, "the ragged tail"},
        {kMedium, Shape::Noise, {10, 2000}, 2048, 1.0, "undecimated"},
        {kLarge, Shape::Noise, {1, kLarge}, 2048, 1.0, "2^20+3 samples in 2048 columns"},
        {kLarge, Shape::Spikes, {1, kLarge}, 2048, -1.0, "2^20+3 samples, negative factor"},
        {kLarge, Shape::Steps, {1, kLarge}, 3, 1.0, "2^20+3 samples in 3 columns"},
        {kLarge, Shape::Steps, {777, kLarge - 555}, 1600, 0.75, "unaligned range of 2^20 samples"},
    };
    std::vector<double> values;
    std::pair<int, Shape> made{-1, Shape::Noise};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (made != std::pair{c.n, c.shape}) {
            values = MakeSeries(c.n, c.shape, 20240611u + static_cast<unsigned>(c.shape));
            made = {c.n, c.shape};
        }
        EXPECT_TRUE(MatchesFullScan(values, c.range, c.plotWidth, c.factor));
    }
}

TEST(ColumnPyramid, BuildColumns_matchesFullScanOnRandomViews) {
    const Shape shapes[] = {Shape::Noise, Shape::Steps, Shape::Spikes, Shape::Zeros};
    const double factors[] = {1.0, -1.0, 2.5, -0.001, 0.0};
    std::mt19937_64 rng(987654321u);
    for (const Shape shape : shapes) {
        const std::vector<double> values = MakeSeries(kMedium, shape, 42u + static_cast<unsigned>(shape));
        const ColumnPyramid pyramid{std::span<const double>(values)};
        std::uniform_real_distribution<double> logLength(0.0, std::log(kMedium + 40.0));
        std::uniform_int_distribution<int> start(-20, kMedium + 20);
        std::uniform_int_distribution<int> width(1, 2100);
        std::uniform_int_distribution<int> factorPick(0, 4);
        for (int trial = 0; trial < 150; ++trial) {
            const int length = static_cast<int>(std::exp(logLength(rng)));
            const int first = start(rng);
            const IndexRange range{first, first + length - 1};
            const int plotWidth = width(rng);
            const double factor = factors[factorPick(rng)];
            SCOPED_TRACE(::testing::Message()
                         << "shape " << static_cast<int>(shape) << ", range " << range.first << ".."
                         << range.last << ", width " << plotWidth << ", factor " << factor);
            ASSERT_TRUE(SameColumns(pyramid.BuildColumns(range, plotWidth, factor),
                                    BuildColumns(values, range, plotWidth, factor), values, factor));
        }
    }
}

TEST(ColumnPyramid, BuildColumns_firstOfEqualMagnitudesWinsAcrossBlocks) {
    // Equal magnitudes of both signs in different 16-, 256- and 4096-blocks, and in ragged column ends.
    std::vector<double> values(8192, 0.25);
    values[300 - 1] = 5;
    values[600 - 1] = -5;
    values[5000 - 1] = 5;
    values[8000 - 1] = -5;
    struct Case {
        IndexRange range;
        int indexOfMaxAbs;
        double single;
    };
    const Case cases[] = {
        {{1, 8192}, 300, 5},     // +5 and -5 in one 4096-block, then more in the next
        {{299, 8192}, 300, 5},   // the first one lies in the ragged start, the others in blocks
        {{301, 8192}, 600, -5},  // the earlier +5 is out: the negative one wins
        {{601, 8192}, 5000, 5},   {{4097, 8192}, 5000, 5},  // two 4096-aligned views ...
        {{5001, 8000}, 8000, -5},  // ... and one whose winner sits on the last sample
    };
    for (const double factor : {1.0, -2.0}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message()
                         << c.range.first << ".." << c.range.last << ", factor " << factor);
            const ColumnSet set = ColumnPyramid(values).BuildColumns(c.range, 1, factor);
            ASSERT_EQ(set.columns.size(), 1u);
            EXPECT_EQ(set.columns[0].indexOfMaxAbs, c.indexOfMaxAbs);
            EXPECT_EQ(set.columns[0].single, c.single * factor);
            EXPECT_TRUE(MatchesFullScan(values, c.range, 1, factor));
        }
    }
}

TEST(ColumnPyramid, BuildColumns_nonFiniteSamplesGoAsInFullScan) {
    struct Case {
        std::vector<std::pair<int, double>> samples;  // point, value
        const char* what;
    };
    std::vector<std::pair<int, double>> nanBlock;
    for (int i = 257; i <= 272; ++i) {
        nanBlock.emplace_back(i, kNaN);  // one whole 16-block
    }
    std::vector<std::pair<int, double>> nanBigBlock;
    for (int i = 4097; i <= 8192; ++i) {
        nanBigBlock.emplace_back(i, kNaN);  // a whole 4096-block: whole columns of NaN
    }
    const Case cases[] = {
        {{{1, kNaN}}, "NaN as the first sample"},
        {{{1000, kNaN}}, "NaN inside a block"},
        {{{257, kNaN}}, "NaN opening a block"},
        {nanBlock, "a block of NaN"},
        {nanBigBlock, "a 4096-block of NaN"},
        {{{500, kInf}, {600, -kInf}}, "both infinities near each other"},
        {{{20000, kInf}}, "+inf alone"},
        {{{30000, -kInf}, {30001, kNaN}}, "-inf next to NaN"},
    };
    struct View {
        IndexRange range;
        int plotWidth;
    };
    const View views[] = {
        {{1, kMedium}, 2048}, {{1, kMedium}, 100}, {{1, kMedium}, 3}, {{257, kMedium}, 1000},
        {{1000, 9000}, 7},    {{4097, 8192}, 5},   {{250, 300}, 2},
    };
    for (const Case& c : cases) {
        std::vector<double> values = MakeSeries(kMedium, Shape::Noise, 7);
        for (const auto& [point, value] : c.samples) {
            values[static_cast<std::size_t>(point - 1)] = value;
        }
        for (const View& v : views) {
            for (const double factor : {1.0, -1.0, 0.0}) {
                SCOPED_TRACE(::testing::Message()
                             << c.what << ", view " << v.range.first << ".." << v.range.last << " in "
                             << v.plotWidth << ", factor " << factor);
                EXPECT_TRUE(MatchesFullScan(values, v.range, v.plotWidth, factor));
            }
        }
    }
}

TEST(ColumnPyramid, SummaryBytes_stayNearTwoBytesPerSample) {
    // 32 bytes per 16 samples, plus 1/16 of that for each level above.
    const std::vector<double> values = MakeSeries(kLarge, Shape::Noise, 3);
    const ColumnPyramid pyramid{std::span<const double>(values)};
    EXPECT_EQ(pyramid.Size(), static_cast<std::size_t>(kLarge));
    EXPECT_LE(pyramid.SummaryBytes(), static_cast<std::size_t>(kLarge) / 16 * 32 * 16 / 15 + 1024);
}

}  // namespace
}  // namespace velmar::ui
