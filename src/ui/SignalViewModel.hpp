#pragma once
// The widget-free arithmetic of the signal window: plot geometry, visible point indices, the columns the
// curve is drawn from, grid ticks with their labels, and the pixel mapping of linear and logarithmic axes.
// Point indices are 1-based, as the level accessors count them.

#include <span>
#include <string>
#include <vector>

namespace velmar::ui {

// Pixel offsets are clamped to this so that far-away points still give sane integer coordinates.
inline constexpr int kPixelLimit = 1073741823;
// The curve is never drawn from more columns than this, whatever the window size.
inline constexpr int kMaxColumns = 2048;
// A grid never gets more ticks than this, whatever the range and the wished count.
inline constexpr int kMaxTicks = 1000;

struct PlotRect {
    int left = 46;
    int top = 8;
    int right = 0;
    int bottom = 0;

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
};

// The plot area inside a client area of the given size, with room for labels in the margins.
PlotRect PlotRectForClient(int clientWidth, int clientHeight);

// Evenly spaced abscissas: point i (1-based) lies at firstX + (i - 1) * step.
struct Sampling {
    double firstX = 0;
    double step = 1;
    int count = 0;
};

// The point nearest to `x`, clamped to 1 .. count (1 when there are no points or the step is unusable).
int NearestIndex(const Sampling& sampling, double x);

struct IndexRange {
    int first = 1;
    int last = 0;

    int Count() const noexcept { return last >= first ? last - first + 1 : 0; }
};

// The points nearest to the ends of the visible range, in increasing order.
IndexRange VisibleIndices(const Sampling& sampling, double xMin, double xMax);

struct Column {
    int first = 0;          // first point of the column
    int last = 0;           // last point of the column
    int indexOfMaxAbs = 0;  // the point of the column with the largest magnitude (the first one on ties)
    double single = 0;      // that point's signed value
    double average = 0;
    double minimum = 0;
    double maximum = 0;
};

struct ColumnSet {
    std::vector<Column> columns;
    bool decimated = false;  // more than one point per column
};

// How many columns a plot of `plotWidth` pixels shows for `pointCount` points.
int ColumnCount(int plotWidth, int pointCount);

// The columns of `range` over `values` (values[0] is point 1); all values are multiplied by `factor`.
// An empty range, a range outside the data or a plot without width gives no columns.
ColumnSet BuildColumns(std::span<const double> values, IndexRange range, int plotWidth, double factor);

struct DisplayModes {
    bool single = true;
    bool average = false;
    bool minMax = false;
};

// The display modes after the columns were rebuilt: a view that just became decimated shows the band only.
DisplayModes ModesAfterRebuild(DisplayModes modes, bool wasDecimated, bool nowDecimated);

struct SeriesToDraw {
    bool minMaxBand = false;
    bool averageLine = false;
    bool singleLine = false;
};

// Undecimated data are always drawn as the plain line: there is nothing to summarise.
SeriesToDraw SeriesFor(DisplayModes modes, bool decimated);

// The wished tick count for an axis of `pixels` with about `pixelsPerTick` between ticks; at least 1.
int WishedTickCount(int pixels, int pixelsPerTick);

// (hi - lo) / wished rounded to one significant digit; 0 when the range gives no usable step.
double TickStep(double lo, double hi, int wished);

// The multiples of the tick step strictly above lo and not above hi. Empty for zero, reversed or
// non-finite ranges, and for ranges too narrow to be told apart at their magnitude.
std::vector<double> TickValues(double lo, double hi, int wished);

// Label texts of at most 7 characters: Y ticks flush, X ticks centred under their tick.
std::string YTickLabel(double value);
std::string XTickLabel(double value);

// dB level of a linear value: 20 * log10(y) + 120.
double DecibelOf(double y);
double LinearOfDecibel(double d);

// Geometry, ranges and scale switches of one view; maps values to pixels and back.
class SignalViewModel {
  public:
    void SetPlot(const PlotRect& plot) { plot_ = plot; }
    const PlotRect& Plot() const noexcept { return plot_; }

    void SetXRange(double xMin, double xMax) {
        xMin_ = xMin;
        xMax_ = xMax;
    }
    void SetYRange(double yLo, double yHi) {
        yLo_ = yLo;
        yHi_ = yHi;
    }
    // The abscissa floor of logarithmic X is the second point's abscissa, so that the first line of a
    // spectrum (at 0 Hz) is drawn where the second one is.
    void SetSampling(const Sampling& sampling) { sampling_ = sampling; }
    // The data maximum sets the floor of logarithmic Y: 100 dB below it.
    void SetDataMaximum(double yMax) { dataMax_ = yMax; }
    void SetLogX(bool on) { logX_ = on; }
    void SetLogY(bool on) { logY_ = on; }
    bool LogX() const noexcept { return logX_; }
    bool LogY() const noexcept { return logY_; }

    // Axis coordinate of an abscissa: the abscissa itself, or log10 of it (floored) on a logarithmic axis.
    double XAxisValue(double x) const;
    // Axis coordinate of a value: the value itself, or its dB level (floored) on a logarithmic axis.
    double YAxisValue(double y) const;

    int XToPixel(double x) const;
    int YToPixel(double y) const;
    double PixelToX(int px) const;
    double PixelToY(int py) const;

  private:
    double XScale() const;
    double YScale() const;
    double LogXFloor() const;
    double LogYThreshold() const;

    PlotRect plot_;
    Sampling sampling_;
    double xMin_ = 0;
    double xMax_ = 1;
    double yLo_ = 0;
    double yHi_ = 1;
    double dataMax_ = 1;
    bool logX_ = false;
    bool logY_ = false;
};

}  // namespace velmar::ui
