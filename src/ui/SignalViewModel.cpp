#include "ui/SignalViewModel.hpp"

#include <algorithm>
#include <cmath>

#include "common/Numbers.hpp"

namespace velmar::ui {

namespace {

constexpr int kLabelWidth = 7;
// Logarithmic Y shows 100 dB below the data maximum; anything lower sits on the floor.
constexpr double kLogYSpanRatio = 1e5;
// Floor of logarithmic Y when the data have no positive maximum: 0 dB.
constexpr double kLogYFallbackThreshold = 1e-6;

int ClampToPixel(double offset) {
    if (std::isnan(offset)) {
        return 0;
    }
    const double limit = kPixelLimit;
    return static_cast<int>(std::nearbyint(std::clamp(offset, -limit, limit)));
}

// A zero or unusable scale would divide by zero or spread every point to the clamp limits.
double UsableScale(double scale) {
    return (scale == 0 || !std::isfinite(scale)) ? 1.0 : scale;
}

}  // namespace

PlotRect PlotRectForClient(int clientWidth, int clientHeight) {
    PlotRect r;
    r.right = clientWidth - 8;
    r.bottom = clientHeight - 24;
    return r;
}

int NearestIndex(const Sampling& sampling, double x) {
    if (sampling.count < 1 || !(sampling.step > 0) || !std::isfinite(sampling.step)) {
        return 1;
    }
    const double position = (x - sampling.firstX) / sampling.step;
    if (std::isnan(position)) {
        return 1;
    }
    // Clamp before converting: an abscissa far outside the data must not overflow the integer.
    const double index = std::nearbyint(std::clamp(position, -1.0, static_cast<double>(sampling.count))) + 1;
    return static_cast<int>(std::clamp(index, 1.0, static_cast<double>(sampling.count)));
}

IndexRange VisibleIndices(const Sampling& sampling, double xMin, double xMax) {
    if (sampling.count < 1) {
        return {};
    }
    int first = NearestIndex(sampling, xMin);
    int last = NearestIndex(sampling, xMax);
    if (first > last) {
        std::swap(first, last);
    }
    return {first, last};
}

int ColumnCount(int plotWidth, int pointCount) {
    if (plotWidth <= 0 || pointCount <= 0) {
        return 0;
    }
    return std::min({plotWidth, pointCount, kMaxColumns});
}

ColumnSet BuildColumns(std::span<const double> values, IndexRange range, int plotWidth, double factor) {
    ColumnSet result;
    const int available = static_cast<int>(std::min<std::size_t>(values.size(), kPixelLimit));
    range.first = std::max(range.first, 1);
    range.last = std::min(range.last, available);
    const int n = range.Count();
    const int c = ColumnCount(plotWidth, n);
    if (c == 0) {
        return result;
    }
    result.columns.reserve(static_cast<std::size_t>(c));
    result.decimated = n > c;
    if (!result.decimated) {
        for (int i = range.first; i <= range.last; ++i) {
            const double v = values[static_cast<std::size_t>(i - 1)] * factor;
            result.columns.push_back({i, i, i, v, v, v, v});
        }
        return result;
    }
    const double r = static_cast<double>(n) / c;
    int begin = range.first;
    for (int k = 1; k <= c; ++k) {
        // The last column always ends on the last point, whatever the rounding of k * r.
        int end = k == c ? range.last : static_cast<int>(std::nearbyint(k * r)) + range.first - 1;
        end = std::clamp(end, begin, range.last);
        Column col;
        col.first = begin;
        col.last = end;
        col.indexOfMaxAbs = begin;
        double sum = 0;
        double lo = values[static_cast<std::size_t>(begin - 1)];
        double hi = lo;
        double bestAbs = -1;
        for (int i = begin; i <= end; ++i) {
            const double v = values[static_cast<std::size_t>(i - 1)];
            sum += v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            // Strictly greater: the first of equal magnitudes wins.
            if (std::fabs(v) > bestAbs) {
                bestAbs = std::fabs(v);
                col.indexOfMaxAbs = i;
            }
        }
        col.single = values[static_cast<std::size_t>(col.indexOfMaxAbs - 1)] * factor;
        col.average = sum / (end - begin + 1) * factor;
        // A negative factor turns the extremes round.
        col.minimum = std::min(lo * factor, hi * factor);
        col.maximum = std::max(lo * factor, hi * factor);
        result.columns.push_back(col);
        begin = std::min(end + 1, range.last);
    }
    return result;
}

DisplayModes ModesAfterRebuild(DisplayModes modes, bool wasDecimated, bool nowDecimated) {
    if (nowDecimated && !wasDecimated) {
        return {false, false, true};
    }
    return modes;
}

SeriesToDraw SeriesFor(DisplayModes modes, bool decimated) {
    SeriesToDraw s;
    s.minMaxBand = decimated && modes.minMax;
    s.averageLine = decimated && modes.average;
    s.singleLine = modes.single || !decimated;
    return s;
}

int WishedTickCount(int pixels, int pixelsPerTick) {
    if (pixels <= 0 || pixelsPerTick <= 0) {
        return 1;
    }
    const double n = std::nearbyint(static_cast<double>(pixels) / pixelsPerTick);
    return static_cast<int>(std::clamp(n, 1.0, static_cast<double>(kMaxTicks)));
}

double TickStep(double lo, double hi, int wished) {
    const double span = hi - lo;
    if (!std::isfinite(lo) || !std::isfinite(hi) || !std::isfinite(span) || !(span > 0)) {
        return 0;
    }
    const int n = std::clamp(wished, 1, kMaxTicks);
    const double raw = span / n;
    if (!(raw > 0) || !std::isfinite(raw)) {
        return 0;
    }
    const int exponent = static_cast<int>(std::floor(std::log10(raw)));
    // Dividing by a power of ten for small steps keeps 0.3 exact, where 3 * 0.1 is not.
    const double power = std::pow(10.0, std::abs(exponent));
    const double mantissa = exponent >= 0 ? raw / power : raw * power;
    const double digit = std::nearbyint(mantissa);
    const double step = exponent >= 0 ? digit * power : digit / power;
    return (step > 0 && std::isfinite(step)) ? step : 0;
}

std::vector<double> TickValues(double lo, double hi, int wished) {
    std::vector<double> ticks;
    const double step = TickStep(lo, hi, wished);
    if (step == 0) {
        return ticks;
    }
    // Steps below the resolution of the range's magnitude would give ticks that do not move.
    if (lo + step == lo || hi - step == hi) {
        return ticks;
    }
    double k = std::floor(lo / step) + 1;
    // lo itself may be a multiple that the division put just below an integer.
    if (k * step <= lo + step * 1e-9) {
        k += 1;
    }
    for (int count = 0; count < kMaxTicks; ++count, k += 1) {
        const double t = k * step;
        if (t > hi + step * 1e-9) {
            break;
        }
        ticks.push_back(t);
    }
    return ticks;
}

std::string YTickLabel(double value) {
    return common::FormatCompact(kLabelWidth, value);
}

std::string XTickLabel(double value) {
    return common::FormatCompactCentre(kLabelWidth, value);
}

double DecibelOf(double y) {
    return 20.0 * std::log10(y) + 120.0;
}

double LinearOfDecibel(double d) {
    return std::pow(10.0, (d - 120.0) / 20.0);
}

double SignalViewModel::LogXFloor() const {
    const double floor = sampling_.firstX + sampling_.step;
    if (floor > 0 && std::isfinite(floor)) {
        return floor;
    }
    // Data starting at or below zero still need a positive floor; one step is the finest detail there.
    if (sampling_.step > 0 && std::isfinite(sampling_.step)) {
        return sampling_.step;
    }
    return 1.0;
}

double SignalViewModel::LogYThreshold() const {
    if (dataMax_ > 0 && std::isfinite(dataMax_)) {
        return dataMax_ / kLogYSpanRatio;
    }
    return kLogYFallbackThreshold;
}

double SignalViewModel::XAxisValue(double x) const {
    if (!logX_) {
        return x;
    }
    const double floor = LogXFloor();
    return std::log10(x > floor ? x : floor);
}

double SignalViewModel::YAxisValue(double y) const {
    if (!logY_) {
        return y;
    }
    const double threshold = LogYThreshold();
    // Zero, negative and NaN values all sit on the floor, which is exactly 100 dB below the maximum.
    return y > threshold ? DecibelOf(y) : DecibelOf(threshold);
}

double SignalViewModel::XScale() const {
    const int steps = plot_.Width() - 1 > 0 ? plot_.Width() - 1 : 1;
    return UsableScale((XAxisValue(xMax_) - XAxisValue(xMin_)) / steps);
}

double SignalViewModel::YScale() const {
    const int steps = plot_.Height() > 0 ? plot_.Height() : 1;
    return UsableScale((YAxisValue(yLo_) - YAxisValue(yHi_)) / steps);
}

int SignalViewModel::XToPixel(double x) const {
    return plot_.left + ClampToPixel((XAxisValue(x) - XAxisValue(xMin_)) / XScale());
}

int SignalViewModel::YToPixel(double y) const {
    return plot_.top + ClampToPixel((YAxisValue(y) - YAxisValue(yHi_)) / YScale());
}

double SignalViewModel::PixelToX(int px) const {
    const double axis = XAxisValue(xMin_) + static_cast<double>(px - plot_.left) * XScale();
    return logX_ ? std::pow(10.0, axis) : axis;
}

double SignalViewModel::PixelToY(int py) const {
    const double axis = YAxisValue(yHi_) + static_cast<double>(py - plot_.top) * YScale();
    return logY_ ? LinearOfDecibel(axis) : axis;
}

}  // namespace velmar::ui
