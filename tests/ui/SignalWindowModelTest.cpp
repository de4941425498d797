// The signal window's model driven without a widget. Every expectation here is worked out by hand from the
// window's rules (ranges, columns, cursor, markers, links, texts) on series built in the test itself.

#include "ui/SignalWindowModel.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "common/Numbers.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::ui {
namespace {

using common::ViewSettings;

// Switch commands of the toolbar.
constexpr int kSwitchMarkers = 8;
constexpr int kSwitchLogX = 11;
constexpr int kSwitchLogY = 12;

// A client area 554 x 332 gives a plot 500 pixels wide (46 .. 546) and 300 high (8 .. 308).
constexpr int kClientWidth = 554;
constexpr int kClientHeight = 332;
constexpr int kPlotLeft = 46;
constexpr int kPlotTop = 8;
constexpr int kPlotBottom = 308;

// The data a window shows, owned by the test so that the model's spans stay valid.
struct OwnedSeries {
    std::uint32_t kind = common::kKindSignal;
    std::uint32_t quantity = common::kQuantityAcceleration;
    double firstX = 0;
    double step = 1;
    std::vector<double> values;
    std::vector<double> phases;
    std::vector<double> xs;
    std::vector<double> areas;
    double rms = 0;

    SignalSeries View() const {
        SignalSeries s;
        s.kind = kind;
        s.quantity = quantity;
        s.sampling = Sampling{firstX, step, static_cast<int>(values.size())};
        s.values = values;
        s.phases = phases;
        s.xs = xs;
        s.areas = areas;
        s.rms = rms;
        return s;
    }
};

OwnedSeries MakeSeries(std::uint32_t kind, std::uint32_t quantity, double firstX, double step,
                       std::vector<double> values) {
    OwnedSeries s;
    s.kind = kind;
    s.quantity = quantity;
    s.firstX = firstX;
    s.step = step;
    s.values = std::move(values);
    return s;
}

std::unique_ptr<SignalWindowModel> Show(const OwnedSeries& s, const ViewSettings& view = {},
                                        int width = kClientWidth, int height = kClientHeight) {
    auto model = std::make_unique<SignalWindowModel>();
    model->SetClientSize(width, height);
    model->SetSeries(s.View(), common::DisplayFactor(s.kind, s.quantity, view), view,
                     SignalWindowModel::Keep::Nothing);
    return model;
}

std::string WithoutBlanks(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

const PlacedText* TextAt(const std::vector<PlacedText>& texts, int x) {
    for (const PlacedText& t : texts) {
        if (t.x == x) {
            return &t;
        }
    }
    return nullptr;
}

double ParseLabel(std::string label) {
    std::replace(label.begin(), label.end(), ',', '.');
    return std::strtod(WithoutBlanks(label).c_str(), nullptr);
}

// ---- Data Y range -----------------------------------------------------------------------------------------

TEST(SignalWindowModel, DataYRange_followsKindQuantityAndFactor) {
    ViewSettings rmsMode;
    rmsMode.spectrViewMode = 0;  // velocity spectra shown as RMS: factor 0.7071
    ViewSettings peakToPeak;
    peakToPeak.spectrViewModeA = 2;  // acceleration spectra peak to peak: factor 2
    ViewSettings inches;
    inches.velocityViewMode = 1;  // velocity signals in inch/s: factor 1/25.4
    struct Case {
        const char* what;
        std::uint32_t kind;
        std::uint32_t quantity;
        ViewSettings view;
        std::vector<double> values;
        double lo;
        double hi;
    };
    const Case cases[] = {
        {"spectrum starts at 0", 4, 2, {}, {1, -3, 2}, 0, 3.03},
        {"spectrum times its factor", 4, 2, rmsMode, {1, -3, 2}, 0, 3.03 * 0.7071},
        {"power spectrum times 2", 8, 4, peakToPeak, {0.5, 2}, 0, 4.04},
        {"envelope spectrum", 32, 4, {}, {0.5, 2}, 0, 2.02},
        {"voltage signal, positive minimum", 2, 16, {}, {2, 5, 3}, 1.98, 5.05},
        {"voltage signal, negative minimum", 2, 16, {}, {-2, 5, 3}, -2.02, 5.05},
        {"current signal from zero", 2, 32, {}, {0, 4}, 0, 4.04},
        {"resistance signal all negative", 2, 64, {}, {-1, -4}, -4.04, 4.04},
        {"power signal", 2, 512, {}, {2, 5}, 1.98, 5.05},
        {"voltage envelope", 512, 16, {}, {3, 1}, 0.99, 3.03},
        {"acceleration signal symmetric", 2, 4, {}, {1, -4, 2}, -4.04, 4.04},
        {"velocity cepstrum symmetric", 128, 2, {}, {0.5, -0.25}, -0.505, 0.505},
        {"velocity signal in inches", 2, 2, inches, {1, -4}, -4.04 / 25.4, 4.04 / 25.4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OwnedSeries s = MakeSeries(c.kind, c.quantity, 0, 1, c.values);
        const auto m = Show(s, c.view);
        EXPECT_NEAR(m->DataYMin(), c.lo, 1e-12);
        EXPECT_NEAR(m->DataYMax(), c.hi, 1e-12);
        EXPECT_NEAR(m->YLo(), c.lo, 1e-12);
        EXPECT_NEAR(m->YHi(), c.hi, 1e-12);
        // A new view shows the whole data with the cursor on the first point.
        EXPECT_EQ(m->CursorIndex(), 1);
        EXPECT_DOUBLE_EQ(m->XMin(), 0);
        EXPECT_DOUBLE_EQ(m->XMax(), static_cast<double>(c.values.size() - 1));
    }
}

TEST(SignalWindowModel, DataYRange_allZeroDataGetsAVisibleHeight) {
    struct Case {
        std::uint32_t kind;
        std::uint32_t quantity;
    };
    const Case cases[] = {{4, 2}, {2, 4}, {2, 16}, {64, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.kind << " quantity " << c.quantity);
        OwnedSeries s = MakeSeries(c.kind, c.quantity, 1, 1, {0, 0, 0, 0});
        if (c.kind == common::kKindHarmonics) {
            s.xs = {1, 2, 3, 4};
            s.phases = {0, 0, 0, 0};
            s.areas = {0, 0, 0, 0};
        }
        const auto m = Show(s);
        EXPECT_DOUBLE_EQ(m->YLo(), 0.0);
        EXPECT_DOUBLE_EQ(m->YHi(), 0.001);
        // The grid of such a window is finite and short.
        const std::vector<AxisTick> ticks = m->YTicks();
        EXPECT_LE(ticks.size(), 50u);
        for (const AxisTick& t : ticks) {
            EXPECT_TRUE(std::isfinite(t.value));
        }
    }
}

TEST(SignalWindowModel, SetSeries_changedDataOnlyWidenYRangesAndNewShapeResetsView) {
    using Keep = SignalWindowModel::Keep;
    const OwnedSeries first = MakeSeries(4, 2, 0, 1, {1, 2, 3});
    const OwnedSeries smaller = MakeSeries(4, 2, 0, 1, {1, 1, 1});
    const OwnedSeries larger = MakeSeries(4, 2, 0, 1, {1, 2, 5});
    const OwnedSeries otherQuantity = MakeSeries(4, 4, 0, 1, {1, 1, 1});
    const auto m = Show(first);  // 0 .. 3.03
    m->SetSeries(smaller.View(), 1.0, {}, Keep::Widening);
    EXPECT_NEAR(m->DataYMax(), 3.03, 1e-12);
    EXPECT_NEAR(m->YHi(), 3.03, 1e-12);
    EXPECT_NEAR(m->YLo(), 0.0, 1e-12);
    m->SetSeries(larger.View(), 1.0, {}, Keep::Widening);
    EXPECT_NEAR(m->DataYMin(), 0.0, 1e-12);
    EXPECT_NEAR(m->DataYMax(), 5.05, 1e-12);
    EXPECT_LE(m->YLo(), 0.0);
    EXPECT_GE(m->YHi(), 3.03 - 1e-12);
    // Another quantity is another scale: the range is the new data's own.
    m->SetSeries(otherQuantity.View(), 1.0, {}, Keep::Widening);
    EXPECT_NEAR(m->DataYMax(), 1.01, 1e-12);
    EXPECT_NEAR(m->YHi(), 1.01, 1e-12);

    // New parameters keep the view for the same kind, quantity and count; anything else starts afresh.
    const OwnedSeries signal = MakeSeries(2, 4, 0, 1, std::vector<double>(1000, 1.0));
    const OwnedSeries sameShape = MakeSeries(2, 4, 0, 1, std::vector<double>(1000, 2.0));
    const OwnedSeries shorter = MakeSeries(2, 4, 0, 1, std::vector<double>(999, 2.0));
    const OwnedSeries envelope = MakeSeries(512, 4, 0, 1, std::vector<double>(1000, 2.0));
    struct Case {
        const OwnedSeries* next;
        bool kept;
    };
    for (const Case& c : {Case{&sameShape, true}, Case{&shorter, false}, Case{&envelope, false}}) {
        SCOPED_TRACE(::testing::Message()
                     << "kind " << c.next->kind << ", " << c.next->values.size() << " points");
        const auto w = Show(signal);
        w->SetXRange(100, 199);
        w->MoveCursor(150);
        w->SetSeries(c.next->View(), 1.0, {}, Keep::View);
        EXPECT_EQ(w->CursorIndex(), c.kept ? 150 : 1);
        EXPECT_DOUBLE_EQ(w->XMin(), c.kept ? 100.0 : 0.0);
        EXPECT_DOUBLE_EQ(w->XMax(), c.kept ? 199.0 : static_cast<double>(c.next->values.size() - 1));
    }
}

TEST(SignalWindowModel, SetSeries_newParametersOfTheSameShapeTakeTheNewDataScale) {
    // An envelope band a thousand times weaker: the view stays where it was, the scale follows the data,
    // so that zooming in can still show the new curve large.
    const OwnedSeries strong = MakeSeries(2, 4, 0, 1, std::vector<double>(1000, 1000.0));
    const OwnedSeries weak = MakeSeries(2, 4, 0, 1, std::vector<double>(1000, 1.0));
    const auto m = Show(strong);
    m->SetXRange(100, 199);
    m->SetSeries(weak.View(), 1.0, {}, SignalWindowModel::Keep::View);
    EXPECT_DOUBLE_EQ(m->XMin(), 100.0);
    EXPECT_NEAR(m->DataYMax(), 1.01, 1e-12);
    EXPECT_NEAR(m->DataYMin(), -1.01, 1e-12);
    EXPECT_NEAR(m->YHi(), 1.01, 1e-12);
}

// ---- Columns and decimation -------------------------------------------------------------------------------

struct Stats {
    double minimum;
    double maximum;
    double average;
    double single;
};

Stats StatsOf(const std::vector<double>& v, int first, int last) {
    Stats s{v[first - 1], v[first - 1], 0, v[first - 1]};
    double sum = 0;
    for (int i = first; i <= last; ++i) {
        const double y = v[i - 1];
        s.minimum = std::min(s.minimum, y);
        s.maximum = std::max(s.maximum, y);
        sum += y;
        if (std::fabs(y) > std::fabs(s.single)) {
            s.single = y;
        }
    }
    s.average = sum / (last - first + 1);
    return s;
}

TEST(SignalWindowModel, Decimation_hundredThousandPointsIn500PixelsThenPlainLineWhenZoomedIn) {
    std::vector<double> values(100000);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = std::sin(0.37 * static_cast<double>(i)) * (1.0 + static_cast<double>(i % 1000) / 1000.0);
    }
    const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 0.001, values);
    const auto m = Show(s);
    ASSERT_EQ(m->Plot().Width(), 500);
    EXPECT_EQ(m->Visible().first, 1);
    EXPECT_EQ(m->Visible().last, 100000);
    ASSERT_EQ(m->Columns().columns.size(), 500u);
    EXPECT_TRUE(m->Decimated());

    // 200 points per column: column k holds points 200(k-1)+1 .. 200k, its four values from those points.
    for (int k : {1, 2, 250, 317, 500}) {
        SCOPED_TRACE(::testing::Message() << "column " << k);
        const Column& c = m->Columns().columns[static_cast<std::size_t>(k - 1)];
        EXPECT_EQ(c.first, 200 * (k - 1) + 1);
        EXPECT_EQ(c.last, 200 * k);
        const Stats expected = StatsOf(values, c.first, c.last);
        EXPECT_DOUBLE_EQ(c.minimum, expected.minimum);
        EXPECT_DOUBLE_EQ(c.maximum, expected.maximum);
        EXPECT_DOUBLE_EQ(c.single, expected.single);
        EXPECT_NEAR(c.average, expected.average, 1e-9);
    }
    // Becoming decimated turns the display to the minimum-maximum band alone.
    EXPECT_FALSE(m->Switches().single);
    EXPECT_FALSE(m->Switches().average);
    EXPECT_TRUE(m->Switches().minMax);

    m->MoveCursor(50000);
    int zooms = 0;
    while (m->Visible().Count() >= 500) {
        ASSERT_TRUE(m->ZoomXIn()) << "refused at " << m->Visible().Count() << " points";
        ASSERT_LT(++zooms, 20);
        const int count = m->Visible().Count();
        SCOPED_TRACE(::testing::Message() << count << " points visible");
        EXPECT_EQ(m->Decimated(), count > 500);
        EXPECT_EQ(static_cast<int>(m->Columns().columns.size()), std::min(count, 500));
    }
    // Fewer points than pixels: every point is its own column and the plain line is drawn.
    EXPECT_FALSE(m->Decimated());
    EXPECT_EQ(static_cast<int>(m->Columns().columns.size()), m->Visible().Count());
    for (const Column& c : m->Columns().columns) {
        ASSERT_EQ(c.first, c.last);
        EXPECT_DOUBLE_EQ(c.single, values[static_cast<std::size_t>(c.first - 1)]);
    }
    const DisplaySwitches& sw = m->Switches();
    const SeriesToDraw draw = SeriesFor(DisplayModes{sw.single, sw.average, sw.minMax}, m->Decimated());
    EXPECT_TRUE(draw.singleLine);
    EXPECT_FALSE(draw.minMaxBand);

    // However wide the window, no more than 2048 columns.
    const auto wide = Show(s, {}, 46 + 3000 + 8, kClientHeight);
    EXPECT_EQ(wide->Columns().columns.size(), 2048u);
    EXPECT_TRUE(wide->Decimated());
}

// ---- Cursor -----------------------------------------------------------------------------------------------

TEST(SignalWindowModel, IndexAtPixel_halfwayRoundsToEvenAndOutsideGivesZero) {
    // Step 2 and an X range 0 .. 499 over 500 pixels: pixel 46 + k lies at abscissa k, position k / 2.
    const OwnedSeries s =
        MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 2, std::vector<double>(300, 1.0));
    const auto m = Show(s);
    m->SetXRange(0, 499);
    struct Case {
        int px;
        int index;
    };
    const Case cases[] = {
        {46, 1},  // abscissa 0
        {47, 1},  // position 0.5 -> 0
        {48, 2},  // position 1
        {49, 3},  // position 1.5 -> 2
        {51, 3},  // position 2.5 -> 2, not 3
        {53, 5},  // position 3.5 -> 4
        {52, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(m->IndexAtPixel(c.px, 100), c.index) << "px=" << c.px;
    }
    EXPECT_EQ(m->IndexAtPixel(20, 100), 0);
    EXPECT_EQ(m->IndexAtPixel(600, 100), 0);
    EXPECT_EQ(m->IndexAtPixel(100, 2), 0);
    EXPECT_EQ(m->IndexAtPixel(100, kPlotBottom + 5), 0);
}

TEST(SignalWindowModel, IndexOfX_halfwayRoundsToEvenAndClamps) {
    const OwnedSeries s =
        MakeSeries(common::kKindSpectrum, common::kQuantityVelocity, 10, 0.5, std::vector<double>(20, 1.0));
    const auto m = Show(s);
    struct Case {
        double x;
        int index;
    };
    const Case cases[] = {{10.0, 1}, {10.25, 1}, {10.75, 3}, {11.25, 3}, {11.75, 5}, {10.74, 2},
                          {-100, 1}, {9.0, 1},   {19.5, 20}, {19.8, 20}, {1e9, 20}};
    for (const Case& c : cases) {
        EXPECT_EQ(m->IndexOfX(c.x), c.index) << "x=" << c.x;
    }
}

TEST(SignalWindowModel, MoveCursor_clampsAndRecentresXWithSameWidth) {
    const OwnedSeries s =
        MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1, std::vector<double>(1000, 0.5));
    const auto m = Show(s);
    m->SetXRange(100, 199);

    // Inside the view: the view stays.
    EXPECT_FALSE(m->MoveCursor(150));
    EXPECT_EQ(m->CursorIndex(), 150);
    EXPECT_DOUBLE_EQ(m->XMin(), 100);
    EXPECT_DOUBLE_EQ(m->XMax(), 199);

    // Point 501 lies at 500: the view is centred on it with the same width 99.
    EXPECT_TRUE(m->MoveCursor(501));
    EXPECT_EQ(m->CursorIndex(), 501);
    EXPECT_DOUBLE_EQ(m->XMin(), 450.5);
    EXPECT_DOUBLE_EQ(m->XMax(), 549.5);
    EXPECT_EQ(m->Visible().first, 451);  // 450.5 -> 450 (even), point 451
    EXPECT_EQ(m->Visible().last, 551);   // 549.5 -> 550 (even), point 551

    struct Case {
        int asked;
        int index;
    };
    const Case cases[] = {{0, 1}, {-3, 1}, {1001, 1000}, {1000000, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "asked " << c.asked);
        m->MoveCursor(c.asked);
        EXPECT_EQ(m->CursorIndex(), c.index);
        EXPECT_NEAR(m->XMax() - m->XMin(), 99.0, 1e-9);
        EXPECT_GE(m->CursorX(), m->XMin());
        EXPECT_LE(m->CursorX(), m->XMax());
    }
}

TEST(SignalWindowModel, MoveCursor_recentresYKeptInsideDataRange) {
    std::vector<double> values(1000, 0.0);
    values[299] = 5;
    values[399] = 10;
    values[499] = -10;
    const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1, values);
    const auto m = Show(s);
    ASSERT_DOUBLE_EQ(m->DataYMax(), 10.1);
    m->SetYRange(-1, 1);
    struct Case {
        int index;
        double lo;
        double hi;
    };
    const Case cases[] = {
        {300, 4, 6},         // centred on 5, same height 2
        {400, 8.1, 10.1},    // centred on 10 would pass the data's 10.1
        {500, -10.1, -8.1},  // and on -10 the data's -10.1
        {10, -1, 1},         // back on 0
        {11, -1, 1},         // inside: stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "point " << c.index);
        m->MoveCursor(c.index);
        EXPECT_NEAR(m->YLo(), c.lo, 1e-12);
        EXPECT_NEAR(m->YHi(), c.hi, 1e-12);
    }
}

// ---- Navigation -------------------------------------------------------------------------------------------

TEST(SignalWindowModel, Navigation_undecimatedMovesByPoints) {
    std::vector<double> values(1000, 1.0);
    const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1, values);
    struct Case {
        const char* what;
        void (SignalWindowModel::*command)();
        int from;
        int to;
    };
    // The view 100 .. 199 shows points 101 .. 200: 100 columns of one point each.
    const Case cases[] = {
        {"left", &SignalWindowModel::Left, 150, 149},
        {"right", &SignalWindowModel::Right, 150, 151},
        {"home", &SignalWindowModel::Home, 150, 1},
        {"end", &SignalWindowModel::End, 150, 1000},
        {"page left: half of 100 columns", &SignalWindowModel::PageLeft, 150, 100},
        {"page right: half of 100 columns", &SignalWindowModel::PageRight, 150, 200},
        {"left at the first point", &SignalWindowModel::Left, 1, 1},
        {"right at the last point", &SignalWindowModel::Right, 1000, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto m = Show(s);
        m->SetXRange(100, 199);
        m->MoveCursor(c.from);
        (m.get()->*c.command)();
        EXPECT_EQ(m->CursorIndex(), c.to);
        EXPECT_GE(m->CursorX(), m->XMin());
        EXPECT_LE(m->CursorX(), m->XMax());
    }
}

TEST(SignalWindowModel, Navigation_decimatedMovesByColumns) {
    std::vector<double> values(100000);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = std::cos(0.011 * static_cast<double>(i));
    }
    const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 0.001, values);
    const auto m = Show(s);
    ASSERT_TRUE(m->Decimated());
    // Columns of 200 points.
    m->Right();
    EXPECT_GE(m->CursorIndex(), 201);
    EXPECT_LE(m->CursorIndex(), 400);
    m->Left();
    EXPECT_GE(m->CursorIndex(), 1);
    EXPECT_LE(m->CursorIndex(), 200);
    m->PageRight();  // half of 500 columns: into column 251
    EXPECT_GE(m->CursorIndex(), 50001);
    EXPECT_LE(m->CursorIndex(), 50200);
    m->End();
    EXPECT_EQ(m->CursorIndex(), 100000);
    m->Home();
    EXPECT_EQ(m->CursorIndex(), 1);
}

TEST(SignalWindowModel, CentreOnMaximum_takesLargestMagnitudeAmongVisibleColumns) {
    {
        std::vector<double> values(1000, 0.5);
        values[129] = -7;   // visible, largest magnitude though negative
        values[169] = 5;    // visible
        values[599] = 100;  // not visible
        const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1, values);
        const auto m = Show(s);
        m->SetXRange(100, 199);
        m->MoveCursor(150);
        m->CentreOnMaximum();
        EXPECT_EQ(m->CursorIndex(), 130);
    }
    {
        std::vector<double> values(100000, 0.25);
        values[73455] = -50;
        const OwnedSeries s =
            MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 0.001, values);
        const auto m = Show(s);
        ASSERT_TRUE(m->Decimated());
        m->CentreOnMaximum();
        // The column of points 73401 .. 73600 holds the spike.
        EXPECT_GE(m->CursorIndex(), 73401);
        EXPECT_LE(m->CursorIndex(), 73600);
    }
}

// ---- Zoom -------------------------------------------------------------------------------------------------

TEST(SignalWindowModel, ZoomXIn_refusedBelowTenStepsHalfWidth) {
    struct Case {
        double step;
        int intervals;
        bool allowed;
    };
    // Half the new width is a quarter of the view; it must be at least ten steps: 40 intervals are just
    // enough, 39 are not. Steps like 0.001 make the 40-interval width come out a hair off 0.04.
    const Case cases[] = {
        {1, 40, true},     {1, 39, false},     {1, 41, true},      {1, 80, true},
        {0.001, 40, true}, {0.001, 39, false}, {0.1, 40, true},    {0.1, 39, false},
        {0.25, 40, true},  {0.25, 39, false},  {0.0003, 40, true}, {0.0003, 39, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.intervals << " intervals of " << c.step);
        const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, c.step,
                                         std::vector<double>(1000, 1.0));
        const auto m = Show(s);
        m->SetXRange(m->X(101), m->X(101 + c.intervals));
        m->MoveCursor(110);
        const double xMin = m->XMin();
        const double xMax = m->XMax();
        EXPECT_EQ(m->ZoomXIn(), c.allowed);
        if (c.allowed) {
            const double h = (xMax - xMin) / 4;
            EXPECT_NEAR(m->XMin(), m->X(110) - h, 1e-9 * c.step);
            EXPECT_NEAR(m->XMax(), m->X(110) + h, 1e-9 * c.step);
        } else {
            EXPECT_DOUBLE_EQ(m->XMin(), xMin);
            EXPECT_DOUBLE_EQ(m->XMax(), xMax);
        }
        EXPECT_EQ(m->CursorIndex(), 110);
    }
}

TEST(SignalWindowModel, ZoomXOut_doublesAroundCursorInsideData) {
    struct Case {
        double xMin;
        double xMax;
        int cursor;
        double newMin;
        double newMax;
    };
    // 1000 points at 0 .. 999.
    const Case cases[] = {
        {100, 140, 120, 79, 159},   // cursor at 119 +- 40
        {0, 40, 6, 0, 80},          // -35 .. 45 shifted right
        {950, 999, 991, 901, 999},  // 941 .. 1039 shifted left
        {0, 600, 301, 0, 999},      // wider than the data: the whole data
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "[" << c.xMin << ", " << c.xMax << "]");
        const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1,
                                         std::vector<double>(1000, 1.0));
        const auto m = Show(s);
        m->SetXRange(c.xMin, c.xMax);
        m->MoveCursor(c.cursor);
        m->ZoomXOut();
        EXPECT_NEAR(m->XMin(), c.newMin, 1e-9);
        EXPECT_NEAR(m->XMax(), c.newMax, 1e-9);
        EXPECT_EQ(m->CursorIndex(), c.cursor);
    }
}

TEST(SignalWindowModel, ZoomY_quarterAtLeastTwentiethAndStaysInsideData) {
    std::vector<double> values(100, 0.0);
    values[9] = 2;
    values[19] = 10;
    values[29] = -10;
    const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1, values);
    const auto m = Show(s);  // data range -10.1 .. 10.1
    m->MoveCursor(10);       // value 2
    struct Step {
        bool in;
        double lo;
        double hi;
    };
    const Step steps[] = {
        {true, -3.05, 7.05},     // h = 20.2 / 4
        {true, -0.525, 4.525},   // h = 10.1 / 4
        {true, 0.7375, 3.2625},  // h = 5.05 / 4
        {true, 0.99, 3.01},      // 2.525 / 4 is below 20.2 / 20 = 1.01
        {true, 0.99, 3.01},      // and stays there
        {false, -0.02, 4.02},    // h = 2.02
        {false, -2.04, 6.04},    // h = 4.04
        {false, -6.08, 10.08},   // h = 8.08
        {false, -10.1, 10.1},    // never wider than the data
    };
    int n = 0;
    for (const Step& st : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << ++n);
        st.in ? m->ZoomYIn() : m->ZoomYOut();
        EXPECT_NEAR(m->YLo(), st.lo, 1e-9);
        EXPECT_NEAR(m->YHi(), st.hi, 1e-9);
        EXPECT_EQ(m->CursorIndex(), 10);
    }

    // Centred on a value near the top, the view is pushed down into the data.
    m->MoveCursor(20);  // value 10
    m->SetYRange(-10.1, 10.1);
    m->ZoomYIn();  // 4.95 .. 15.05 shifted
    EXPECT_NEAR(m->YLo(), 0, 1e-9);
    EXPECT_NEAR(m->YHi(), 10.1, 1e-9);
}

// ---- Logarithmic axes -------------------------------------------------------------------------------------

OwnedSeries SpectrumTo500Hz(std::uint32_t quantity) {
    std::vector<double> values(2001);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = 1.0 + 0.1 * static_cast<double>(i % 7);
    }
    return MakeSeries(common::kKindSpectrum, quantity, 0, 0.25, values);
}

TEST(SignalWindowModel, LogX_firstLineOfSpectrumAtSecondLinePixel) {
    const OwnedSeries s = SpectrumTo500Hz(common::kQuantityVelocity);
    const auto m = Show(s);
    m->SetSwitch(kSwitchLogX, true);
    ASSERT_TRUE(m->Switches().logX);
    const SignalViewModel& map = m->Mapping();
    EXPECT_EQ(map.XToPixel(m->X(1)), map.XToPixel(m->X(2)));
    EXPECT_EQ(map.XToPixel(0.0), kPlotLeft);
    EXPECT_EQ(map.XToPixel(0.25), kPlotLeft);
    EXPECT_EQ(map.XToPixel(500.0), kPlotLeft + 499);
    // 25 Hz: log10(25 / 0.25) / log10(500 / 0.25) = 2 / 3.30103 of 499 pixels = 302.33 -> 302.
    EXPECT_EQ(map.XToPixel(25.0), kPlotLeft + 302);
    for (const Column& c : m->Columns().columns) {
        const int px = map.XToPixel(m->X(c.first));
        ASSERT_GE(px, kPlotLeft);
        ASSERT_LE(px, kPlotLeft + 499);
    }
}

TEST(SignalWindowModel, LogY_velocityShowsLinearNumbersVoltageShowsDecibels) {
    struct Case {
        std::uint32_t quantity;
        bool decibels;
    };
    for (const Case& c : {Case{common::kQuantityVelocity, false}, Case{common::kQuantityVoltage, true}}) {
        SCOPED_TRACE(::testing::Message() << "quantity " << c.quantity);
        const OwnedSeries s = MakeSeries(common::kKindSpectrum, c.quantity, 0, 1, {0, -1, 1e-7, 0.01, 1});
        const auto m = Show(s);  // data range 0 .. 1.01
        m->SetSwitch(kSwitchLogY, true);
        ASSERT_TRUE(m->Switches().logY);
        EXPECT_EQ(m->ShowsDecibels(), c.decibels);
        EXPECT_NEAR(m->ShownValue(0.01), c.decibels ? 80.0 : 0.01, 1e-12);

        // The floor is 100 dB below the data maximum 1.01; the visible bottom 0 lies on it.
        const SignalViewModel& map = m->Mapping();
        EXPECT_EQ(map.YToPixel(1.01), kPlotTop);
        EXPECT_EQ(map.YToPixel(0.0), kPlotBottom);
        EXPECT_EQ(map.YToPixel(-1.0), kPlotBottom);
        EXPECT_EQ(map.YToPixel(1e-7), kPlotBottom);
        // 0.01 is 80 dB, 40.086 dB below the top of a 100 dB axis of 300 pixels: 120.26 -> 120.
        EXPECT_EQ(map.YToPixel(0.01), kPlotTop + 120);
        for (const Column& col : m->Columns().columns) {
            const int py = map.YToPixel(col.single);
            EXPECT_GE(py, kPlotTop);
            EXPECT_LE(py, kPlotBottom);
        }

        // The status line shows the cursor value the same way.
        m->MoveCursor(4);
        const std::vector<PlacedText> status = m->StatusTexts();
        const PlacedText* y = TextAt(status, 90);
        ASSERT_NE(y, nullptr);
        const std::string number = common::FormatCompact(7, c.decibels ? 80.0 : 0.01);
        EXPECT_EQ(WithoutBlanks(y->text).rfind("Y=" + number, 0), 0u) << y->text;
        if (!c.decibels) {
            EXPECT_EQ(WithoutBlanks(y->text), "Y=" + number + common::QuantityUnit(c.quantity, {}));
        }

        // Ticks lie on the dB scale; their labels give dB levels or linear values.
        const std::vector<AxisTick> ticks = m->YTicks();
        EXPECT_FALSE(ticks.empty());
        EXPECT_LE(ticks.size(), 50u);
        for (const AxisTick& t : ticks) {
            ASSERT_TRUE(std::isfinite(t.value));
            if (!t.labelled || t.label.empty()) {
                continue;
            }
            const double shown = ParseLabel(t.label);
            const double expected = c.decibels ? t.value : LinearOfDecibel(t.value);
            EXPECT_NEAR(shown, expected, std::fabs(expected) * 0.02 + 1e-12) << "label " << t.label;
        }
    }
}

TEST(SignalWindowModel, LogY_allZeroDataStaysFinite) {
    const OwnedSeries s = MakeSeries(common::kKindSpectrum, common::kQuantityVoltage, 0, 1, {0, 0, 0, 0});
    const auto m = Show(s);
    m->SetSwitch(kSwitchLogY, true);
    const int py = m->Mapping().YToPixel(0.0);
    EXPECT_GE(py, kPlotTop);
    EXPECT_LE(py, kPlotBottom);
    EXPECT_TRUE(std::isfinite(m->ShownValue(0.0)));
    const std::vector<AxisTick> ticks = m->YTicks();
    EXPECT_LE(ticks.size(), 50u);
    for (const AxisTick& t : ticks) {
        EXPECT_TRUE(std::isfinite(t.value));
    }
}

// ---- Grid ticks -------------------------------------------------------------------------------------------

std::vector<double> TickValuesOf(const std::vector<AxisTick>& ticks) {
    std::vector<double> v;
    for (const AxisTick& t : ticks) {
        v.push_back(t.value);
    }
    return v;
}

void ExpectTicks(const std::vector<AxisTick>& ticks, const std::vector<double>& expected) {
    const std::vector<double> got = TickValuesOf(ticks);
    ASSERT_EQ(got.size(), expected.size()) << ::testing::PrintToString(got);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i], expected[i], 1e-9) << "tick " << i;
    }
}

TEST(SignalWindowModel, Ticks_oneSignificantDigitStepsStrictlyAboveLowerLimit) {
    const OwnedSeries s = SpectrumTo500Hz(common::kQuantityVelocity);
    const auto m = Show(s);

    // X: 500 pixels wish 10 ticks; 234 / 10 = 23.4 -> 20.
    m->SetXRange(0, 234);
    ExpectTicks(m->XTicks(), {20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220});
    // Y: 300 pixels wish 12 ticks; 91.2 / 12 = 7.6 -> 8; the first tick lies strictly above 8.
    m->SetYRange(8, 99.2);
    ExpectTicks(m->YTicks(), {16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96});

    m->SetYRange(0, 91.2);
    const std::vector<AxisTick> y = m->YTicks();
    ExpectTicks(y, {8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88});
    // Tick 88 sits at pixel 8 + round(3.2 / 91.2 * 300) = 19, only 11 pixels below the top: no label.
    // Tick 8 sits at 8 + round(83.2 / 91.2 * 300) = 282, 26 pixels above the bottom: labelled.
    for (const AxisTick& t : y) {
        SCOPED_TRACE(::testing::Message() << "Y tick " << t.value);
        EXPECT_EQ(t.pixel, m->Mapping().YToPixel(t.value));
        EXPECT_EQ(t.labelled, t.value < 85);
        if (t.labelled) {
            EXPECT_NEAR(ParseLabel(t.label), t.value, 1e-9);
        }
    }

    // X 0 .. 150: 15 -> 20, ticks 66.5 pixels apart. Tick 20 at 46 + 67 is more than 40 pixels inside;
    // tick 140 at 46 + 466 is only 34 pixels from the right edge: no label.
    m->SetXRange(0, 150);
    const std::vector<AxisTick> x = m->XTicks();
    ExpectTicks(x, {20, 40, 60, 80, 100, 120, 140});
    for (const AxisTick& t : x) {
        SCOPED_TRACE(::testing::Message() << "X tick " << t.value);
        EXPECT_EQ(t.pixel, m->Mapping().XToPixel(t.value));
        EXPECT_EQ(t.labelled, t.value < 130);
    }
}

TEST(SignalWindowModel, Ticks_degenerateRangesEndWithShortLists) {
    const OwnedSeries s =
        MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1, std::vector<double>(100, 1e13));
    const auto check = [](const std::vector<AxisTick>& ticks) {
        EXPECT_LE(ticks.size(), 50u);
        for (const AxisTick& t : ticks) {
            EXPECT_TRUE(std::isfinite(t.value));
        }
    };
    {
        const auto m = Show(s);
        check(m->YTicks());  // -1.01e13 .. 1.01e13
        m->SetXRange(5, 5);
        check(m->XTicks());
        m->SetYRange(1e13, 1e13);
        check(m->YTicks());
        m->SetYRange(1e13, 1e13 + 0.001);
        check(m->YTicks());
        m->SetDataYRange(1e13, 1e13);
        check(m->YTicks());
    }
    {
        // A plot 10 pixels high wishes no Y tick at all.
        const auto m = Show(s, {}, kClientWidth, 8 + 10 + 24);
        EXPECT_EQ(m->Plot().Height(), 10);
        check(m->YTicks());
        check(m->XTicks());
    }
}

// ---- Markers ----------------------------------------------------------------------------------------------

struct MarkedSpectrum {
    OwnedSeries series;
    ViewSettings view;
    std::unique_ptr<SignalWindowModel> model;
};

// A velocity spectrum 0 .. 500 Hz in steps of 0.25 Hz shown as RMS (factor 0.7071), cursor at 25 Hz.
MarkedSpectrum SpectrumWithMarkers() {
    MarkedSpectrum m;
    m.series = SpectrumTo500Hz(common::kQuantityVelocity);
    m.series.phases.resize(m.series.values.size());
    for (std::size_t i = 0; i < m.series.phases.size(); ++i) {
        m.series.phases[i] = -100.0 + 0.5 * static_cast<double>(i);
    }
    m.series.values[200] = 0.0005;  // 50 Hz: below 0.001 of the visible top once scaled
    m.series.values[900] = 0.0002;  // 225 Hz, a high harmonic: hidden
    m.series.values[1000] = 0.002;  // 250 Hz: 0.0014 scaled, just above the 0.00114 threshold
    m.view.spectrViewMode = 0;
    m.model = Show(m.series, m.view);
    m.model->SetSwitch(kSwitchMarkers, true);
    m.model->MoveCursor(101);
    return m;
}

TEST(SignalWindowModel, Markers_harmonicsOfCursorOnSpectrum) {
    MarkedSpectrum ms = SpectrumWithMarkers();
    SignalWindowModel& m = *ms.model;
    const double factor = 0.7071;
    ASSERT_DOUBLE_EQ(m.CursorX(), 25.0);
    ASSERT_NEAR(m.YHi(), 1.01 * 1.6 * factor, 1e-12);

    struct Expected {
        int entry;
        double x;
        int index;
    };
    // 1/3 of 25 Hz is 8.333 Hz, position 33.33 -> line 34 at 8.25 Hz (8.5 Hz is 0.167 away).
    const Expected visible[] = {
        {3, 75, 301},    {4, 100, 401},   {5, 125, 501},   {6, 150, 601},   {7, 175, 701},
        {8, 200, 801},   {9, 6.25, 26},   {10, 8.25, 34},  {11, 12.5, 51},  {18, 275, 1101},
        {19, 300, 1201}, {20, 325, 1301}, {21, 350, 1401}, {22, 375, 1501}, {23, 400, 1601},
    };
    const auto& markers = m.Markers();
    for (const Expected& e : visible) {
        SCOPED_TRACE(::testing::Message() << "entry " << e.entry << " (" << markers[e.entry].label << ")");
        const MarkerRecord& r = markers[static_cast<std::size_t>(e.entry)];
        EXPECT_TRUE(r.visible);
        EXPECT_EQ(r.index, e.index);
        EXPECT_DOUBLE_EQ(r.x, e.x);
        EXPECT_NEAR(r.value, ms.series.values[static_cast<std::size_t>(e.index - 1)] * factor, 1e-12);
        EXPECT_NEAR(r.phase, common::NormalizeAngle(ms.series.phases[static_cast<std::size_t>(e.index - 1)]),
                    1e-9);
        EXPECT_EQ(r.px, m.Mapping().XToPixel(e.x));
    }
    for (int entry = 12; entry <= 15; ++entry) {
        EXPECT_FALSE(markers[static_cast<std::size_t>(entry)].visible) << "entry " << entry;
    }
    EXPECT_FALSE(markers[kSecondCursorEntry].visible);

    // 2x at 50 Hz: 0.0005 x 0.7071 is below 0.001 x Yhi: shown as 0 with phase 0, but still shown.
    EXPECT_TRUE(markers[2].visible);
    EXPECT_EQ(markers[2].index, 201);
    EXPECT_EQ(markers[2].value, 0.0);
    EXPECT_EQ(markers[2].phase, 0.0);
    // 9x at 225 Hz is such a value too, and the high harmonics hide it.
    EXPECT_FALSE(markers[16].visible);
    // 10x at 250 Hz lies just above the threshold.
    EXPECT_TRUE(markers[17].visible);
    EXPECT_NEAR(markers[17].value, 0.002 * factor, 1e-12);

    // Labels and colours of the table.
    EXPECT_EQ(markers[2].label, "2x");
    EXPECT_EQ(markers[9].label, "1/4");
    EXPECT_EQ(markers[16].label, "9x");
    EXPECT_EQ(markers[0].label, "X2");
    EXPECT_EQ(markers[5].colour, (Rgb{0, 128, 0}));
    EXPECT_EQ(markers[10].colour, (Rgb{128, 128, 0}));
    EXPECT_EQ(markers[20].colour, (Rgb{0, 255, 0}));
    EXPECT_EQ(markers[0].colour, (Rgb{255, 0, 255}));
}

TEST(SignalWindowModel, Markers_onlyInsideViewAndAwayFromCursor) {
    MarkedSpectrum ms = SpectrumWithMarkers();
    SignalWindowModel& m = *ms.model;
    m.SetXRange(0, 100);
    m.UpdateMarkers();
    const auto& markers = m.Markers();
    for (int entry : {3, 9, 10, 11}) {
        EXPECT_TRUE(markers[static_cast<std::size_t>(entry)].visible) << "entry " << entry;
    }
    for (int entry : {5, 6, 7, 8, 17, 18, 23}) {
        EXPECT_FALSE(markers[static_cast<std::size_t>(entry)].visible) << "entry " << entry;
    }

    // A marker on the cursor itself is not drawn; one beside it is.
    m.SetMarker(3, 1.0, 0.0);
    EXPECT_FALSE(m.Markers()[3].visible);
    m.SetMarker(3, 1.0, 5.0);
    EXPECT_TRUE(m.Markers()[3].visible);
    EXPECT_DOUBLE_EQ(m.Markers()[3].x, 30.0);
    EXPECT_EQ(m.Markers()[3].index, 121);

    // Markers switched off: none of 2 .. 23.
    m.SetSwitch(kSwitchMarkers, false);
    m.UpdateMarkers();
    for (int entry = 2; entry < kMarkerCount; ++entry) {
        EXPECT_FALSE(m.Markers()[static_cast<std::size_t>(entry)].visible) << "entry " << entry;
    }
}

OwnedSeries Harmonics() {
    OwnedSeries s;
    s.kind = common::kKindHarmonics;
    s.quantity = common::kQuantityVelocity;
    s.xs = {24.9, 50.1, 75.2, 99.6, 130.0};
    s.values = {1.0, 0.5, 0.25, 0.2, 0.1};
    s.phases = {10, 20, 30, 40, 50};
    s.areas = {0.1, 0.05, 0.025, 0.02, 0.01};
    s.firstX = s.xs.front();
    s.step = 0.25;  // resolution of the spectrum the harmonics came from
    return s;
}

TEST(SignalWindowModel, ZoomXIn_onHarmonicsStopsAtTheSpectrumsLineSpacing) {
    // Harmonics 25 Hz apart from a spectrum of 0.25 Hz lines: zooming goes on down to 5 Hz views, not
    // to the spacing of the harmonics.
    const OwnedSeries h = Harmonics();
    const auto m = Show(h);
    int zooms = 0;
    while (m->ZoomXIn() && zooms < 50) {
        ++zooms;
    }
    EXPECT_GE(zooms, 4);
    EXPECT_LT(m->XMax() - m->XMin(), 10.0);
    EXPECT_GE((m->XMax() - m->XMin()) / 2, 10 * h.step * (1 - 1e-9));
}

TEST(SignalWindowModel, Markers_harmonicsDataTakeNearbyHarmonicOnly) {
    const OwnedSeries s = Harmonics();
    const auto m = Show(s);
    m->SetSwitch(kSwitchMarkers, true);
    m->MoveCursor(1);
    ASSERT_DOUBLE_EQ(m->CursorX(), 24.9);
    EXPECT_DOUBLE_EQ(m->XMin(), 24.9);
    EXPECT_DOUBLE_EQ(m->XMax(), 130.0);
    // 24.9 Hz is 0.1 Hz off the step multiple 25: multiplier m searches within 0.2 m.
    const auto& markers = m->Markers();
    struct Expected {
        int entry;
        bool visible;
        int index;
    };
    const Expected cases[] = {
        {2, true, 2},    // 49.8: 50.1 is 0.3 away, within 0.4
        {3, true, 3},    // 74.7: 75.2 is 0.5 away, within 0.6
        {4, true, 4},    // 99.6 itself
        {5, false, 0},   // 124.5: 130 is 5.5 away, beyond 1.0
        {9, false, 0},   // 6.2: outside the view
        {11, false, 0},  // 12.45: outside the view
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(::testing::Message() << "entry " << e.entry);
        const MarkerRecord& r = markers[static_cast<std::size_t>(e.entry)];
        EXPECT_EQ(r.visible, e.visible);
        if (e.visible) {
            EXPECT_EQ(r.index, e.index);
            EXPECT_DOUBLE_EQ(r.x, s.xs[static_cast<std::size_t>(e.index - 1)]);
            EXPECT_DOUBLE_EQ(r.value, s.values[static_cast<std::size_t>(e.index - 1)]);
            EXPECT_DOUBLE_EQ(r.phase, s.phases[static_cast<std::size_t>(e.index - 1)]);
        }
    }
}

// ---- Linked cursors ---------------------------------------------------------------------------------------

TEST(SignalWindowModel, LinkedCursors_followSameAbscissaInCompatibleKinds) {
    const OwnedSeries spectrum = SpectrumTo500Hz(common::kQuantityVelocity);  // 0.25 Hz lines
    const OwnedSeries envelope = MakeSeries(common::kKindEnvelopeSpectrum, common::kQuantityAcceleration, 0,
                                            0.5, std::vector<double>(1001, 1.0));  // 0.5 Hz lines
    const OwnedSeries signal =
        MakeSeries(common::kKindSignal, common::kQuantityVelocity, 0, 0.25, std::vector<double>(2001, 1.0));
    const OwnedSeries harmonics = Harmonics();
    const auto a = Show(spectrum);
    const auto b = Show(envelope);
    const auto c = Show(signal);
    const auto h = Show(harmonics);
    c->MoveCursor(7);
    for (SignalWindowModel* m : {a.get(), b.get(), c.get(), h.get()}) {
        m->SetLinkMode(1, a->CursorX());
    }

    struct Case {
        int aIndex;  // where the user puts the spectrum's cursor
        int bIndex;  // where the envelope spectrum's cursor follows
        int hIndex;  // and the harmonics' cursor
    };
    const Case cases[] = {
        {101, 51, 1},  // 25 Hz
        {102, 51, 1},  // 25.25 Hz: position 50.5 -> 50
        {104, 53, 1},  // 25.75 Hz: position 51.5 -> 52
        {193, 97, 2},  // 48 Hz: nearest harmonic 50.1
        {2001, 1001, 5},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message() << "spectrum line " << k.aIndex);
        a->MoveCursor(k.aIndex);
        const CursorAnnouncement said = a->Announcement(a.get());
        EXPECT_EQ(said.source, a.get());
        EXPECT_EQ(said.kind, common::kKindSpectrum);
        EXPECT_DOUBLE_EQ(said.x, a->CursorX());
        EXPECT_TRUE(b->Follow(said, b.get()));
        EXPECT_EQ(b->CursorIndex(), k.bIndex);
        EXPECT_TRUE(h->Follow(said, h.get()));
        EXPECT_EQ(h->CursorIndex(), k.hIndex);
        // A time signal is not of a compatible kind; a window does not follow itself.
        EXPECT_FALSE(c->Follow(said, c.get()));
        EXPECT_EQ(c->CursorIndex(), 7);
        EXPECT_FALSE(a->Follow(said, a.get()));
        EXPECT_EQ(a->CursorIndex(), k.aIndex);
    }

    // Without a link nothing follows.
    b->SetLinkMode(0, a->CursorX());
    b->MoveCursor(3);
    a->MoveCursor(101);
    EXPECT_FALSE(b->Follow(a->Announcement(a.get()), b.get()));
    EXPECT_EQ(b->CursorIndex(), 3);
}

TEST(SignalWindowModel, SynchronisedCursors_keepOffsetsWithoutPingPong) {
    const OwnedSeries s1 = SpectrumTo500Hz(common::kQuantityVelocity);
    const OwnedSeries s2 = SpectrumTo500Hz(common::kQuantityAcceleration);
    OwnedSeries s3 = SpectrumTo500Hz(common::kQuantityVelocity);
    s3.kind = common::kKindPowerSpectrum;
    const auto a = Show(s1);
    const auto b = Show(s2);
    const auto c = Show(s3);
    a->MoveCursor(101);  // 25 Hz, the active window
    b->MoveCursor(121);  // 30 Hz: offset +5
    c->MoveCursor(61);   // 15 Hz: offset -10
    for (SignalWindowModel* m : {a.get(), b.get(), c.get()}) {
        m->SetLinkMode(2, a->CursorX());
    }
    EXPECT_DOUBLE_EQ(a->LinkOffset(), 0.0);
    EXPECT_DOUBLE_EQ(b->LinkOffset(), 5.0);
    EXPECT_DOUBLE_EQ(c->LinkOffset(), -10.0);

    a->MoveCursor(201);  // 50 Hz
    const CursorAnnouncement fromA = a->Announcement(a.get());
    ASSERT_TRUE(b->Follow(fromA, b.get()));
    ASSERT_TRUE(c->Follow(fromA, c.get()));
    EXPECT_DOUBLE_EQ(b->CursorX(), 55.0);
    EXPECT_DOUBLE_EQ(c->CursorX(), 40.0);

    // Whatever a follower would say carries the common reference, so nobody drifts, however often
    // the announcements go round.
    for (int round = 0; round < 10; ++round) {
        const CursorAnnouncement fromB = b->Announcement(b.get());
        EXPECT_DOUBLE_EQ(fromB.x, 50.0);
        a->Follow(fromB, a.get());
        c->Follow(fromB, c.get());
        const CursorAnnouncement fromC = c->Announcement(c.get());
        EXPECT_DOUBLE_EQ(fromC.x, 50.0);
        a->Follow(fromC, a.get());
        b->Follow(fromC, b.get());
    }
    EXPECT_DOUBLE_EQ(a->CursorX(), 50.0);
    EXPECT_DOUBLE_EQ(b->CursorX(), 55.0);
    EXPECT_DOUBLE_EQ(c->CursorX(), 40.0);

    // The user moves a follower: the others keep their own offsets to it.
    c->MoveCursor(401);  // 100 Hz, reference 110 Hz
    const CursorAnnouncement fromC = c->Announcement(c.get());
    EXPECT_DOUBLE_EQ(fromC.x, 110.0);
    a->Follow(fromC, a.get());
    b->Follow(fromC, b.get());
    EXPECT_DOUBLE_EQ(a->CursorX(), 110.0);
    EXPECT_DOUBLE_EQ(b->CursorX(), 115.0);
}

TEST(SignalWindowModel, KindsCompatible_sameKindOrBothFrequencyDomain) {
    struct Case {
        std::uint32_t a;
        std::uint32_t b;
        bool compatible;
    };
    const Case cases[] = {
        {4, 4, true},    {4, 8, true},  {4, 32, true},    {16, 64, true},
        {64, 256, true}, {2, 2, true},  {512, 512, true}, {2, 512, false},
        {2, 128, false}, {2, 4, false}, {128, 32, false}, {512, 32, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KindsCompatible(c.a, c.b), c.compatible) << c.a << " and " << c.b;
        EXPECT_EQ(KindsCompatible(c.b, c.a), c.compatible) << c.b << " and " << c.a;
    }
}

// ---- Scale synchronisation and view copy ------------------------------------------------------------------

TEST(SignalWindowModel, CopyViewFrom_onlyCompatibleKindAndEqualQuantity) {
    const OwnedSeries source = MakeSeries(4, 2, 0, 1, {1, 2, 3, 4});
    const OwnedSeries envelopeVelocity = MakeSeries(32, 2, 0, 1, {7, 8});
    const OwnedSeries spectrumAcceleration = MakeSeries(4, 4, 0, 1, {7, 8});
    const OwnedSeries signalVelocity = MakeSeries(2, 2, 0, 1, {7, 8});
    const auto a = Show(source);
    a->SetDataYRange(-1, 9);
    a->SetYRange(0.2, 0.5);
    a->SetSwitch(kSwitchLogY, true);
    a->SetSwitch(kSwitchMarkers, true);
    a->SetSwitch(13, true);  // phase dial
    a->SetSwitch(9, true);   // power bells

    struct Case {
        const OwnedSeries* series;
        bool copies;
    };
    const Case cases[] = {
        {&envelopeVelocity, true}, {&spectrumAcceleration, false}, {&signalVelocity, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << c.series->kind << " quantity " << c.series->quantity);
        const auto b = Show(*c.series);
        const double lo = b->YLo();
        const double hi = b->YHi();
        const DisplaySwitches before = b->Switches();
        EXPECT_EQ(b->ScaleCompatible(*a), c.copies);
        EXPECT_EQ(b->CopyViewFrom(*a), c.copies);
        if (c.copies) {
            EXPECT_DOUBLE_EQ(b->DataYMin(), -1);
            EXPECT_DOUBLE_EQ(b->DataYMax(), 9);
            EXPECT_DOUBLE_EQ(b->YLo(), 0.2);
            EXPECT_DOUBLE_EQ(b->YHi(), 0.5);
            EXPECT_EQ(b->Switches(), a->Switches());
            EXPECT_TRUE(b->Mapping().LogY());
        } else {
            EXPECT_DOUBLE_EQ(b->YLo(), lo);
            EXPECT_DOUBLE_EQ(b->YHi(), hi);
            EXPECT_EQ(b->Switches(), before);
        }
    }
}

TEST(SignalWindowModel, SetDataYRange_givesDataAndVisibleRange) {
    const OwnedSeries s = MakeSeries(2, 4, 0, 1, {1, -2, 3});
    const auto m = Show(s);
    m->SetDataYRange(-7.5, 12.25);
    EXPECT_DOUBLE_EQ(m->DataYMin(), -7.5);
    EXPECT_DOUBLE_EQ(m->DataYMax(), 12.25);
    EXPECT_DOUBLE_EQ(m->YLo(), -7.5);
    EXPECT_DOUBLE_EQ(m->YHi(), 12.25);
}

// ---- Time range for a spectrum of a part ------------------------------------------------------------------

TEST(SignalWindowModel, TimeRange_fromCursorToSecondCursorOrEnd) {
    const OwnedSeries s = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 0.001,
                                     std::vector<double>(1000, 1.0));
    const auto m = Show(s);
    m->MoveCursor(101);  // 0.1 s
    struct Case {
        int second;  // 0: off
        double begin;
        double end;
    };
    const Case cases[] = {{0, 0.1, 0.999}, {51, 0.05, 0.1}, {501, 0.1, 0.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "second cursor " << c.second);
        if (c.second == 0) {
            m->HideSecondCursor();
        } else {
            m->SetSecondCursor(c.second);
        }
        const auto [begin, end] = m->TimeRange(common::kKindSignal, 0.001, 0.999);
        EXPECT_NEAR(begin, c.begin, 1e-12);
        EXPECT_NEAR(end, c.end, 1e-12);
    }
    // Only a time-domain source has a time range.
    const auto [b, e] = m->TimeRange(common::kKindSpectrum, 0.25, 500);
    EXPECT_EQ(b, 0.0);
    EXPECT_EQ(e, 0.0);

    // No cursor at all (nothing shown): from the source's step.
    SignalWindowModel empty;
    empty.SetClientSize(kClientWidth, kClientHeight);
    const auto [b2, e2] = empty.TimeRange(common::kKindSignal, 0.001, 0.999);
    EXPECT_DOUBLE_EQ(b2, 0.001);
    EXPECT_DOUBLE_EQ(e2, 0.999);
}

// ---- Status texts -----------------------------------------------------------------------------------------

TEST(SignalWindowModel, StatusTexts_spectrumShowsBandPowerWithAmplitudeWord) {
    ViewSettings rms;
    rms.spectrViewMode = 0;
    ViewSettings peak;
    ViewSettings peakToPeak;
    peakToPeak.spectrViewModeA = 2;
    struct Case {
        std::uint32_t quantity;
        ViewSettings view;
        const char* word;
        double factor;
    };
    const Case cases[] = {
        {common::kQuantityVelocity, rms, "СКЗ", 0.7071},
        {common::kQuantityDisplacement, peak, "Амплитуда", 1.0},
        {common::kQuantityAcceleration, peakToPeak, "Размах", 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        // Lines 2 .. 5 hold 2, 2, 1, 4: the root of the sum of squares is 5.
        const OwnedSeries s = MakeSeries(common::kKindSpectrum, c.quantity, 0, 0.25, {1, 2, 2, 1, 4, 9, 9});
        const auto m = Show(s, c.view);
        ASSERT_DOUBLE_EQ(m->Factor(), c.factor);
        m->MoveCursor(5);       // 1 Hz, value 4
        m->SetSecondCursor(2);  // 0.25 Hz, value 2
        EXPECT_NEAR(m->BandPowerBetweenCursors(), 5.0 * c.factor, 1e-12);

        const std::vector<PlacedText> texts = m->StatusTexts();
        const std::string unit = common::QuantityUnit(c.quantity, c.view);
        const std::string hz = common::AxisUnit(common::kKindSpectrum);
        struct Want {
            int x;
            std::string text;
        };
        const Want wants[] = {
            {2, "X=" + common::FormatCompact(7, 1.0) + hz},
            {90, "Y=" + common::FormatCompact(7, 4.0 * c.factor) + unit},
            {200, "X2=" + common::FormatCompact(7, 0.25) + hz},
            {298, "Y2=" + common::FormatCompact(7, 2.0 * c.factor) + unit},
            {408, "X-X2=" + common::FormatCompact(7, 0.75) + hz},
            {520, std::string("Мощность(") + c.word + ")=" + common::FormatCompact(7, 5.0 * c.factor) + unit},
        };
        for (const Want& w : wants) {
            const PlacedText* t = TextAt(texts, w.x);
            ASSERT_NE(t, nullptr) << "no text at " << w.x;
            EXPECT_EQ(WithoutBlanks(t->text), w.text);
            EXPECT_EQ(t->y, m->Plot().bottom + 12);
        }
        EXPECT_EQ(TextAt(texts, 2)->colour, (Rgb{255, 0, 0}));
        EXPECT_EQ(TextAt(texts, 200)->colour, (Rgb{255, 0, 255}));
        EXPECT_EQ(TextAt(texts, 408)->colour, (Rgb{0, 0, 128}));

        // The same band with the cursors the other way round.
        m->MoveCursor(2);
        m->SetSecondCursor(5);
        EXPECT_NEAR(m->BandPowerBetweenCursors(), 5.0 * c.factor, 1e-12);

        // Without the second cursor only the cursor's own two texts.
        m->HideSecondCursor();
        const std::vector<PlacedText> alone = m->StatusTexts();
        EXPECT_NE(TextAt(alone, 2), nullptr);
        EXPECT_NE(TextAt(alone, 90), nullptr);
        for (int x : {200, 298, 408, 520}) {
            EXPECT_EQ(TextAt(alone, x), nullptr) << x;
        }
    }
}

TEST(SignalWindowModel, StatusTexts_timeSignalShowsValueDifference) {
    const OwnedSeries s =
        MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 0.001, {0.5, 3, -1.25, 7, 2});
    const auto m = Show(s);
    m->MoveCursor(3);       // 0.002 s, -1.25
    m->SetSecondCursor(4);  // 0.003 s, 7
    const std::vector<PlacedText> texts = m->StatusTexts();
    const PlacedText* diff = TextAt(texts, 520);
    ASSERT_NE(diff, nullptr);
    EXPECT_EQ(WithoutBlanks(diff->text), "Y-Y2=" + common::FormatCompact(7, -8.25) +
                                             common::QuantityUnit(common::kQuantityAcceleration, {}));
    const PlacedText* dx = TextAt(texts, 408);
    ASSERT_NE(dx, nullptr);
    EXPECT_EQ(WithoutBlanks(dx->text),
              "X-X2=" + common::FormatCompact(7, 0.001) + common::AxisUnit(common::kKindSignal));

    // Values too small to mean anything read as 0.
    const OwnedSeries tiny = MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 1, {1e-12, 5});
    const auto t = Show(tiny);
    const std::vector<PlacedText> tinyTexts = t->StatusTexts();
    const PlacedText* y = TextAt(tinyTexts, 90);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(WithoutBlanks(y->text), "Y=0" + common::QuantityUnit(common::kQuantityAcceleration, {}));

    // A spectrum of other than the three mechanical quantities, and other frequency-domain kinds, have
    // nothing at 520.
    const OwnedSeries voltage = MakeSeries(common::kKindSpectrum, common::kQuantityVoltage, 0, 1, {1, 2, 3});
    const OwnedSeries power =
        MakeSeries(common::kKindPowerSpectrum, common::kQuantityVelocity, 0, 1, {1, 2, 3});
    for (const OwnedSeries* o : {&voltage, &power}) {
        const auto w = Show(*o);
        w->MoveCursor(3);
        w->SetSecondCursor(1);
        const std::vector<PlacedText> t = w->StatusTexts();
        EXPECT_NE(TextAt(t, 408), nullptr);
        EXPECT_EQ(TextAt(t, 520), nullptr) << "kind " << o->kind << " quantity " << o->quantity;
    }
}

TEST(SignalWindowModel, StatusTexts_decibelDifferenceOfElectricalSignal) {
    // A voltage signal on a logarithmic Y axis shows its values as dB levels: 1 V is 120 dB, 0.1 V 100 dB.
    const OwnedSeries s =
        MakeSeries(common::kKindSignal, common::kQuantityVoltage, 0, 0.001, {1.0, 0.1, 0.5});
    const auto m = Show(s);
    m->SetSwitch(kSwitchLogY, true);
    ASSERT_TRUE(m->ShowsDecibels());
    m->MoveCursor(1);
    m->SetSecondCursor(2);
    const std::vector<PlacedText> texts = m->StatusTexts();
    const PlacedText* y = TextAt(texts, 90);
    const PlacedText* y2 = TextAt(texts, 298);
    const PlacedText* diff = TextAt(texts, 520);
    ASSERT_NE(y, nullptr);
    ASSERT_NE(y2, nullptr);
    ASSERT_NE(diff, nullptr);
    const std::string yText = WithoutBlanks(y->text);
    const std::string yNumber = "Y=" + common::FormatCompact(7, 120.0);
    ASSERT_EQ(yText.rfind(yNumber, 0), 0u) << y->text;
    const std::string unit = yText.substr(yNumber.size());
    EXPECT_EQ(WithoutBlanks(y2->text), "Y2=" + common::FormatCompact(7, 100.0) + unit);
    // The difference carries the same unit as the two values beside it, so it is the difference of the
    // shown levels, 20 dB. (Fails at present: the model writes the linear difference 0.9 with "dB".)
    EXPECT_EQ(WithoutBlanks(diff->text), "Y-Y2=" + common::FormatCompact(7, 20.0) + unit);
}

// ---- Caption ----------------------------------------------------------------------------------------------

TEST(SignalWindowModel, Caption_descriptionAndRmsByPlotWidth) {
    OwnedSeries velocity = MakeSeries(common::kKindSpectrum, common::kQuantityVelocity, 0, 1, {1, 2, 3});
    velocity.rms = 2.5;
    OwnedSeries power = MakeSeries(common::kKindSignal, common::kQuantityPower, 0, 1, {1, 2, 3});
    power.rms = 2.5;
    OwnedSeries noRms = velocity;
    noRms.rms = 0;
    ViewSettings inches;
    inches.velocityViewMode = 1;
    OwnedSeries inInches = velocity;
    inInches.rms = 25.4;  // 1 inch/s

    struct Case {
        const char* what;
        const OwnedSeries* series;
        ViewSettings view;
        int plotWidth;
        std::string caption;  // blanks removed
    };
    const Case cases[] = {
        {"narrowest: short, no value", &velocity, {}, 80, "Short"},
        {"value alone", &velocity, {}, 81, "Short[2.5]"},
        {"value alone up to 210", &velocity, {}, 210, "Short[2.5]"},
        {"value with its name and unit", &velocity, {}, 211, "Short[СКЗ:2.5мм/c]"},
        {"short up to 280", &velocity, {}, 280, "Short[СКЗ:2.5мм/c]"},
        {"long from 281", &velocity, {}, 281, "Long[СКЗ:2.5мм/c]"},
        {"velocity in inches", &inInches, inches, 300, "Long[СКЗ:1.0дюйм/с]"},
        {"no RMS value", &noRms, {}, 300, "Long"},
        {"power: Кнб", &power, {}, 300, "Long[Кнб=2.50]"},
        {"power: Кнб, narrow", &power, {}, 150, "Short[Кнб=2.50]"},
        {"power: narrowest", &power, {}, 80, "Short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto m = Show(*c.series, c.view, 46 + c.plotWidth + 8, kClientHeight);
        ASSERT_EQ(m->Plot().Width(), c.plotWidth);
        const std::string caption = m->Caption("Long", "Short");
        EXPECT_EQ(WithoutBlanks(caption), c.caption) << caption;
        // The bracket is set off by a blank.
        if (c.caption.find('[') != std::string::npos) {
            EXPECT_NE(caption.find(" ["), std::string::npos) << caption;
        }
    }

    SignalWindowModel empty;
    empty.SetClientSize(600, 400);
    EXPECT_EQ(empty.Caption("Long", "Short"), "?");
}

// ---- Harmonic bells ---------------------------------------------------------------------------------------

TEST(SignalWindowModel, HarmonicBell_halfSineOfWidthFromAreaAndAmplitude) {
    OwnedSeries s = Harmonics();
    s.values[2] = 0;  // a harmonic without value has no bell
    const auto m = Show(s);
    BellOutline bell{};
    ASSERT_TRUE(m->HarmonicBell(2, bell));
    // W = 1.4142 x 0.05 / 0.5 = 0.14142 around 50.1 Hz.
    const double heights[9] = {0, 0.383, 0.707, 0.924, 1, 0.924, 0.707, 0.383, 0};
    for (int k = 0; k < 9; ++k) {
        SCOPED_TRACE(::testing::Message() << "point " << k);
        EXPECT_NEAR(bell[static_cast<std::size_t>(k)].first, 50.1 + (k / 8.0 - 0.5) * 0.14142, 1e-12);
        EXPECT_NEAR(bell[static_cast<std::size_t>(k)].second, heights[k] * 0.5, 1e-12);
    }
    EXPECT_FALSE(m->HarmonicBell(3, bell));
}

// ---- Clipboard text ---------------------------------------------------------------------------------------

TEST(SignalWindowModel, SamplesText_timeSignalAllAndBetweenCursors) {
    const OwnedSeries s =
        MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 0, 0.5, {1.5, -2.25, 3, 4});
    const auto m = Show(s);
    ClipboardText all = m->SamplesText(false, '.');
    EXPECT_EQ(all.text, "0\t1.5\r\n0.5\t-2.25\r\n1\t3\r\n1.5\t4\r\n");
    EXPECT_EQ(all.lines, 4);
    // Both "." and "," become the user's separator.
    EXPECT_EQ(m->SamplesText(false, ',').text, "0\t1,5\r\n0,5\t-2,25\r\n1\t3\r\n1,5\t4\r\n");

    struct Case {
        int cursor;
        int second;  // 0: off
        std::string text;
    };
    const Case cases[] = {
        {3, 1, "0\t1.5\r\n0.5\t-2.25\r\n1\t3\r\n"},  // second cursor to the left: still increasing
        {1, 3, "0\t1.5\r\n0.5\t-2.25\r\n1\t3\r\n"},
        {2, 0, "0.5\t-2.25\r\n1\t3\r\n1.5\t4\r\n"},  // no second cursor: to the end
        {4, 0, "1.5\t4\r\n"},
        {2, 2, "0.5\t-2.25\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "cursor " << c.cursor << " second " << c.second);
        m->MoveCursor(c.cursor);
        if (c.second == 0) {
            m->HideSecondCursor();
        } else {
            m->SetSecondCursor(c.second);
        }
        const ClipboardText between = m->SamplesText(true, '.');
        EXPECT_EQ(between.text, c.text);
        EXPECT_EQ(between.lines, static_cast<int>(std::count(c.text.begin(), c.text.end(), '\n')));
        // All samples whatever the cursors.
        EXPECT_EQ(m->SamplesText(false, '.').text, all.text);
    }
}

TEST(SignalWindowModel, SamplesText_spectrumWithPhasesInRadiansTimesFactor) {
    ViewSettings rms;
    rms.spectrViewMode = 0;
    OwnedSeries s = MakeSeries(common::kKindSpectrum, common::kQuantityVelocity, 0, 0.25, {2, 4, 1, 8});
    s.phases = {0, 90, 180, 270};
    const auto m = Show(s, rms);
    std::string expected;
    const double radians[] = {0, std::numbers::pi / 2, std::numbers::pi, 3 * std::numbers::pi / 2};
    for (int i = 0; i < 4; ++i) {
        expected += common::FormatCompact(10, 0.25 * i) + "\t" +
                    common::FormatCompact(10, s.values[i] * 0.7071) + "\t" +
                    common::FormatCompact(10, radians[i]) + "\r\n";
    }
    EXPECT_EQ(m->SamplesText(false, '.').text, expected);
    std::string comma = expected;
    std::replace(comma.begin(), comma.end(), '.', ',');
    EXPECT_EQ(m->SamplesText(false, ',').text, comma);
}

TEST(SignalWindowModel, SamplesText_spectrumWithoutPhasesGivesZeroPhase) {
    const OwnedSeries s =
        MakeSeries(common::kKindEnvelopeSpectrum, common::kQuantityAcceleration, 0, 0.5, {3, 1});
    const auto m = Show(s);
    EXPECT_EQ(m->SamplesText(false, '.').text, "0\t3\t0\r\n0.5\t1\t0\r\n");
}

TEST(SignalWindowModel, SamplesText_harmonicsUseStoredFrequencies) {
    const OwnedSeries s = Harmonics();
    const auto m = Show(s);
    std::string expected;
    for (std::size_t i = 0; i < s.xs.size(); ++i) {
        expected += common::FormatCompact(10, s.xs[i]) + "\t" + common::FormatCompact(10, s.values[i]) +
                    "\t" + common::FormatCompact(10, s.phases[i] * std::numbers::pi / 180.0) + "\r\n";
    }
    EXPECT_EQ(m->SamplesText(false, '.').text, expected);
    EXPECT_EQ(expected.substr(0, 9), "24.9\t1\t0.");
    // Between harmonics 2 and 4.
    m->MoveCursor(4);
    m->SetSecondCursor(2);
    const ClipboardText part = m->SamplesText(true, '.');
    EXPECT_EQ(part.lines, 3);
    EXPECT_EQ(part.text.substr(0, 5), "50.1\t");
}

TEST(SignalWindowModel, SamplesText_copiesEverySampleOfLongSignals) {
    // More text than the 16,776,192 characters an older clipboard limit allowed: nothing may be dropped.
    // Abscissas from 100000 s and values of three integer digits make lines of about 23 characters.
    const int n = 750000;
    std::vector<double> values(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        values[static_cast<std::size_t>(i)] =
            -(100.0 + 899.0 * std::fabs(std::sin(0.001 * i + 0.3))) - 0.123457;
    }
    const OwnedSeries s =
        MakeSeries(common::kKindSignal, common::kQuantityAcceleration, 100000, 0.001, values);
    const auto m = Show(s);
    const ClipboardText all = m->SamplesText(false, '.');
    EXPECT_EQ(all.lines, n);
    ASSERT_GT(all.text.size(), 16776192u);
    EXPECT_EQ(std::count(all.text.begin(), all.text.end(), '\n'), n);
    const std::string last = common::FormatCompact(10, 100000 + 0.001 * (n - 1)) + "\t" +
                             common::FormatCompact(10, values.back()) + "\r\n";
    ASSERT_GE(all.text.size(), last.size());
    EXPECT_EQ(all.text.substr(all.text.size() - last.size()), last);
}

}  // namespace
}  // namespace velmar::ui
