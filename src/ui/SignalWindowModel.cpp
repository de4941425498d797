#include "ui/SignalWindowModel.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "common/Numbers.hpp"
#include "common/StringTable.hpp"
#include "ui/ColumnPyramid.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextMarkerLabel = 1502;  // "%dx"
constexpr int kTextPower = 525;
constexpr int kTextRms = 9151;  // first of the three amplitude-mode words
constexpr int kStatusWidth = 7;
constexpr int kClipboardWidth = 10;
// Plots this small (or smaller) in either direction are not painted.
constexpr int kSmallestPlot = 7;
// Zoom X in stops when half the new view would hold fewer than this many steps.
constexpr double kFewestStepsPerHalfView = 10;
// A marker value this far below the top of the view is noise: shown as 0 with no phase.
constexpr double kMarkerNoiseRatio = 0.001;
constexpr double kBellHeights[9] = {0, 0.383, 0.707, 0.924, 1, 0.924, 0.707, 0.383, 0};
constexpr double kBellWidthFactor = 1.4142;
// Below this many points a full scan per view change is cheaper than building the summaries.
constexpr int kPyramidThreshold = 1 << 16;

bool IsElectrical(std::uint32_t quantity) {
    return quantity == common::kQuantityVoltage || quantity == common::kQuantityCurrent ||
           quantity == common::kQuantityResistance || quantity == common::kQuantityPower;
}

std::string MarkerLabel(int multiplier) {
    return common::FormatText(kTextMarkerLabel, {multiplier});
}

// Fixed-point text right-aligned in `width` characters, independent of the process locale.
std::string FixedText(double value, int width, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text = result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("?");
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<std::size_t>(width - static_cast<int>(text.size())), ' ');
    }
    return text;
}

}  // namespace

std::array<MarkerRecord, kMarkerCount> InitialMarkers() {
    std::array<MarkerRecord, kMarkerCount> m{};
    m[0].multiplier = 1;
    m[0].label = "X2";
    m[0].colour = {255, 0, 255};
    for (int e = 1; e <= 8; ++e) {
        m[static_cast<std::size_t>(e)].multiplier = e;
        m[static_cast<std::size_t>(e)].label = MarkerLabel(e);
        m[static_cast<std::size_t>(e)].colour = {0, 128, 0};
    }
    const std::pair<double, const char*> fractions[3] = {{0.25, "1/4"}, {1.0 / 3.0, "1/3"}, {0.5, "1/2"}};
    for (int k = 0; k < 3; ++k) {
        MarkerRecord& r = m[static_cast<std::size_t>(9 + k)];
        r.multiplier = fractions[k].first;
        r.label = fractions[k].second;
        r.colour = {128, 128, 0};
    }
    for (int e = 12; e <= 15; ++e) {
        m[static_cast<std::size_t>(e)].multiplier = -1;
        m[static_cast<std::size_t>(e)].colour = {0, 0, 0};
    }
    for (int e = 16; e <= 23; ++e) {
        m[static_cast<std::size_t>(e)].multiplier = e - 7;
        m[static_cast<std::size_t>(e)].label = MarkerLabel(e - 7);
        m[static_cast<std::size_t>(e)].colour = {0, 255, 0};
    }
    return m;
}

bool KindsCompatible(std::uint32_t a, std::uint32_t b) {
    return a == b || (common::IsFrequencyDomain(a) && common::IsFrequencyDomain(b));
}

SignalWindowModel::SignalWindowModel() : markers_(InitialMarkers()) {}

SignalWindowModel::~SignalWindowModel() = default;

// ---- Data
// ----------------------------------------------------------------------------------------------------

void SignalWindowModel::SetSeries(const SignalSeries& series, double factor, const common::ViewSettings& view,
                                  Keep keep) {
    const bool hadData = HasData();
    const bool sameKind = hadData && series.kind == series_.kind && series.quantity == series_.quantity;
    const bool sameShape = sameKind && series.sampling.count == series_.sampling.count;
    const double oldDataLo = dataYMin_;
    const double oldDataHi = dataYMax_;
    const double oldLo = yLo_;
    const double oldHi = yHi_;

    const int count = std::max(
        0, std::min<int>(series.sampling.count,
                         static_cast<int>(std::min<std::size_t>(series.values.size(), kPixelLimit))));
    // The summaries are made before anything changes: should that fail, the model still shows the old
    // series, whose memory its owner keeps until the new series is taken.
    std::unique_ptr<ColumnPyramid> pyramid;
    if (count >= kPyramidThreshold) {
        pyramid = std::make_unique<ColumnPyramid>(series.values.first(static_cast<std::size_t>(count)));
    }
    series_ = series;
    series_.sampling.count = count;
    pyramid_ = std::move(pyramid);
    factor_ = std::isfinite(factor) && factor != 0 ? factor : 1.0;
    view_ = view;
    ComputeDataRange();

    const bool keepView = (keep == Keep::View && sameShape) || (keep == Keep::Widening && sameKind);
    if (!keepView || !HasData()) {
        ResetView();
        return;
    }
    if (keep == Keep::Widening) {
        // The same data written again: the scale the user chose stays, only growing to take in the new
        // values.
        dataYMin_ = std::min(dataYMin_, oldDataLo);
        dataYMax_ = std::max(dataYMax_, oldDataHi);
        yLo_ = oldLo;
        yHi_ = oldHi;
    }
    // New parameters of the same shape keep where the user looks and the cursors; the values get the scale
    // of the new data, which may be far smaller or larger than the old.
    cursor_ = std::clamp(cursor_, 1, Count());
    second_ = std::clamp(second_, 1, Count());
    ApplyVisibleX();
    UpdateMarkers();
}

void SignalWindowModel::Clear() {
    series_ = {};
    pyramid_.reset();
    columns_ = {};
    visible_ = {};
    secondOn_ = false;
    cursor_ = 1;
    second_ = 1;
    for (MarkerRecord& m : markers_) {
        m.visible = false;
    }
}

void SignalWindowModel::SetFactor(double factor, const common::ViewSettings& view) {
    factor_ = std::isfinite(factor) && factor != 0 ? factor : 1.0;
    view_ = view;
    ComputeDataRange();
    ApplyVisibleX();
    UpdateMarkers();
}

double SignalWindowModel::X(int i) const {
    if (i < 1 || i > Count()) {
        return 0;
    }
    if (!series_.xs.empty()) {
        return static_cast<std::size_t>(i) <= series_.xs.size() ? series_.xs[static_cast<std::size_t>(i - 1)]
                                                                : 0;
    }
    return series_.sampling.firstX + static_cast<double>(i - 1) * series_.sampling.step;
}

double SignalWindowModel::Value(int i) const {
    if (i < 1 || i > Count()) {
        return 0;
    }
    return series_.values[static_cast<std::size_t>(i - 1)] * factor_;
}

double SignalWindowModel::PhaseOf(int i) const {
    if (i < 1 || static_cast<std::size_t>(i) > series_.phases.size()) {
        return 0;
    }
    return series_.phases[static_cast<std::size_t>(i - 1)];
}

int SignalWindowModel::IndexOfX(double x) const {
    if (!series_.xs.empty()) {
        // Harmonics are few and need not be sorted: the nearest one wins, the first on a tie.
        int best = 1;
        double bestDistance = std::numeric_limits<double>::infinity();
        const int n = std::min<int>(Count(), static_cast<int>(series_.xs.size()));
        for (int i = 1; i <= n; ++i) {
            const double d = std::fabs(series_.xs[static_cast<std::size_t>(i - 1)] - x);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        return best;
    }
    return NearestIndex(series_.sampling, x);
}

bool SignalWindowModel::IsFrequencyDomain() const {
    return common::IsFrequencyDomain(series_.kind);
}

bool SignalWindowModel::IsTimeDomain() const {
    return common::IsTimeDomain(series_.kind);
}

bool SignalWindowModel::IsHarmonics() const {
    return series_.kind == common::kKindHarmonics;
}

void SignalWindowModel::ComputeDataRange() {
    double maxAbs = 0;
    double minimum = std::numeric_limits<double>::infinity();
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const double v = series_.values[static_cast<std::size_t>(i)];
        if (!std::isfinite(v)) {
            continue;
        }
        maxAbs = std::max(maxAbs, std::fabs(v));
        minimum = std::min(minimum, v);
    }
    if (!std::isfinite(minimum)) {
        minimum = 0;
    }
    const double f = std::fabs(factor_);
    double hi = 1.01 * maxAbs * f;
    double lo = 0;
    if (IsFrequencyDomain()) {
        lo = 0;
    } else if (IsTimeDomain() && IsElectrical(series_.quantity)) {
        lo = minimum * f;
        lo *= lo >= 0 ? 0.99 : 1.01;
    } else {
        lo = -hi;
    }
    if (!std::isfinite(hi) || !std::isfinite(lo)) {
        lo = -1;
        hi = 1;
    }
    if (lo >= hi) {
        hi = std::max(lo, hi) + 0.001;
        // At large magnitudes a thousandth disappears in the rounding and the range would stay empty.
        if (hi <= lo) {
            hi = lo + std::fabs(lo) * 1e-6;
        }
    }
    dataYMin_ = yLo_ = lo;
    dataYMax_ = yHi_ = hi;
}

// ---- Geometry
// ------------------------------------------------------------------------------------------------

void SignalWindowModel::SetClientSize(int width, int height, bool holdColumns) {
    clientWidth_ = width;
    clientHeight_ = height;
    mapping_.SetPlot(PlotRectForClient(width, height));
    UpdateMapping();
    if (holdColumns) {
        columnsStale_ = true;
    } else {
        RebuildColumns();
    }
    UpdateMarkers();
}

bool SignalWindowModel::PlotTooSmall() const {
    return Plot().Width() <= kSmallestPlot || Plot().Height() <= kSmallestPlot;
}

void SignalWindowModel::UpdateMapping() {
    mapping_.SetSampling(series_.sampling);
    mapping_.SetDataMaximum(dataYMax_);
    mapping_.SetLogX(switches_.logX);
    mapping_.SetLogY(switches_.logY);
    mapping_.SetXRange(xMin_, xMax_);
    mapping_.SetYRange(yLo_, yHi_);
}

// ---- Ranges and columns
// --------------------------------------------------------------------------------------

void SignalWindowModel::SetXRange(double xMin, double xMax) {
    if (!(xMin <= xMax)) {
        std::swap(xMin, xMax);
    }
    if (!std::isfinite(xMin) || !std::isfinite(xMax)) {
        return;
    }
    xMin_ = xMin;
    xMax_ = xMax;
    ApplyVisibleX();
}

void SignalWindowModel::SetYRange(double yLo, double yHi) {
    if (!std::isfinite(yLo) || !std::isfinite(yHi)) {
        return;
    }
    if (yLo > yHi) {
        std::swap(yLo, yHi);
    }
    yLo_ = yLo;
    yHi_ = yHi;
    UpdateMapping();
    UpdateMarkers();
}

void SignalWindowModel::SetDataYRange(double lo, double hi) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        return;
    }
    if (lo > hi) {
        std::swap(lo, hi);
    }
    dataYMin_ = yLo_ = lo;
    dataYMax_ = yHi_ = hi;
    UpdateMapping();
    UpdateMarkers();
}

void SignalWindowModel::ResetView() {
    if (!HasData()) {
        xMin_ = 0;
        xMax_ = 1;
        columns_ = {};
        visible_ = {};
        UpdateMapping();
        return;
    }
    yLo_ = dataYMin_;
    yHi_ = dataYMax_;
    xMin_ = std::min(X(1), X(Count()));
    xMax_ = std::max(X(1), X(Count()));
    secondOn_ = false;
    second_ = 1;
    cursor_ = 1;
    ApplyVisibleX();
    UpdateMarkers();
}

void SignalWindowModel::ApplyVisibleX() {
    if (!HasData()) {
        visible_ = {};
        UpdateMapping();
        return;
    }
    int first = IndexOfX(xMin_);
    int last = IndexOfX(xMax_);
    if (first > last) {
        std::swap(first, last);
    }
    visible_ = {first, last};
    UpdateMapping();
    RebuildColumns();
}

void SignalWindowModel::RebuildColumns() {
    if (!HasData()) {
        columns_ = {};
        return;
    }
    const bool wasDecimated = columns_.decimated;
    columns_ = pyramid_ ? pyramid_->BuildColumns(visible_, Plot().Width(), factor_)
                        : BuildColumns(series_.values.first(static_cast<std::size_t>(Count())), visible_,
                                       Plot().Width(), factor_);
    columnsStale_ = false;
    const DisplayModes modes = ModesAfterRebuild({switches_.single, switches_.average, switches_.minMax},
                                                 wasDecimated, columns_.decimated);
    switches_.single = modes.single;
    switches_.average = modes.average;
    switches_.minMax = modes.minMax;
}

// ---- Switches
// ------------------------------------------------------------------------------------------------

void SignalWindowModel::SetSwitch(int command, bool on) {
    switch (command) {
        case 5:
        case 6:
        case 7: {
            bool* modes[3] = {&switches_.single, &switches_.average, &switches_.minMax};
            bool& target = *modes[command - 5];
            target = on;
            // One way of drawing the curve always stays on.
            if (!switches_.single && !switches_.average && !switches_.minMax) {
                target = true;
            }
            break;
        }
        case 8:
            switches_.markers = on;
            break;
        case 9:
            switches_.powerBells = on;
            break;
        case 10:
            switches_.bellFill = on;
            break;
        case 11:
            switches_.logX = on;
            break;
        case 12:
            switches_.logY = on;
            break;
        case 13:
            switches_.phaseDial = on;
            break;
        default:
            return;
    }
    UpdateMapping();
    UpdateMarkers();
}

// ---- Cursors and markers
// -------------------------------------------------------------------------------------

bool SignalWindowModel::MoveCursor(int index) {
    if (!HasData()) {
        return false;
    }
    cursor_ = std::clamp(index, 1, Count());
    bool scrolled = false;
    const double x = X(cursor_);
    if (x < xMin_ || x > xMax_) {
        const double half = (xMax_ - xMin_) / 2;
        xMin_ = x - half;
        xMax_ = x + half;
        ApplyVisibleX();
        scrolled = true;
    }
    const double v = Value(cursor_);
    if (std::isfinite(v) && (v < yLo_ || v > yHi_)) {
        const double half = (yHi_ - yLo_) / 2;
        double lo = v - half;
        double hi = v + half;
        KeepYInsideData(lo, hi);
        yLo_ = lo;
        yHi_ = hi;
        UpdateMapping();
        scrolled = true;
    }
    UpdateMarkers();
    return scrolled;
}

void SignalWindowModel::SetSecondCursor(int index) {
    if (!HasData()) {
        return;
    }
    secondOn_ = true;
    second_ = std::clamp(index, 1, Count());
    UpdateMarkers();
}

void SignalWindowModel::HideSecondCursor() {
    secondOn_ = false;
    UpdateMarkers();
}

void SignalWindowModel::SetMarker(int entry, double multiplier, double offset) {
    if (entry < 2 || entry >= kMarkerCount) {
        return;
    }
    markers_[static_cast<std::size_t>(entry)].multiplier = multiplier;
    markers_[static_cast<std::size_t>(entry)].offset = offset;
    UpdateMarkers();
}

void SignalWindowModel::PlaceCursorEntries() {
    const auto place = [this](MarkerRecord& r, int index, bool visible) {
        r.visible = visible && HasData();
        r.index = index;
        r.x = X(index);
        r.value = Value(index);
        r.phase = common::NormalizeAngle(PhaseOf(index));
        r.px = mapping_.XToPixel(r.x);
        r.py = mapping_.YToPixel(r.value);
    };
    place(markers_[kSecondCursorEntry], second_, secondOn_);
    place(markers_[kMainCursorEntry], cursor_, true);
}

int SignalWindowModel::HarmonicWithin(double target, double tolerance) const {
    const int i = IndexOfX(target);
    // No tolerance means any distance will do.
    if (tolerance != 0 && std::fabs(X(i) - target) > tolerance) {
        return 0;
    }
    return i;
}

void SignalWindowModel::UpdateMarkers() {
    PlaceCursorEntries();
    for (int e = 2; e < kMarkerCount; ++e) {
        markers_[static_cast<std::size_t>(e)].visible = false;
    }
    if (!switches_.markers || !HasData()) {
        return;
    }
    const double f1 = CursorX();
    const double step = series_.sampling.step;
    const double firstX = std::min(X(1), X(Count()));
    const double lastX = std::max(X(1), X(Count()));
    const double halfStep = step > 0 && std::isfinite(step) ? step / 2 : 0;
    for (int e = 2; e < kMarkerCount; ++e) {
        MarkerRecord& r = markers_[static_cast<std::size_t>(e)];
        if (!(r.multiplier > 0 || r.offset != 0)) {
            continue;
        }
        const double target = r.multiplier * f1 + r.offset;
        if (!std::isfinite(target) || target < xMin_ || target > xMax_ || target == f1) {
            continue;
        }
        int index = 0;
        if (IsHarmonics()) {
            double distance = 0;
            if (step > 0 && std::isfinite(step)) {
                distance = std::fabs(f1 - std::nearbyint(f1 / step) * step);
            }
            index = HarmonicWithin(target, r.multiplier * 2 * distance);
        } else if (target >= firstX - halfStep && target <= lastX + halfStep) {
            // A view zoomed beyond the data shows no marker where the data have no point.
            index = IndexOfX(target);
        }
        if (index == 0) {
            continue;
        }
        r.index = index;
        r.x = X(index);
        r.value = Value(index);
        r.phase = common::NormalizeAngle(PhaseOf(index));
        if (IsFrequencyDomain() && r.value < kMarkerNoiseRatio * yHi_) {
            r.value = 0;
            r.phase = 0;
        }
        if (e >= kFirstHighHarmonicEntry && r.value == 0) {
            continue;
        }
        r.px = mapping_.XToPixel(r.x);
        r.py = mapping_.YToPixel(r.value);
        r.visible = true;
    }
}

// ---- Commands
// ------------------------------------------------------------------------------------------------

void SignalWindowModel::Home() {
    MoveCursor(1);
}

void SignalWindowModel::End() {
    MoveCursor(Count());
}

void SignalWindowModel::StepColumns(int direction) {
    // A decimated view steps to the neighbouring column's single value, a plain one to the next point.
    const auto& cols = columns_.columns;
    if (columns_.decimated) {
        const auto it = std::find_if(cols.begin(), cols.end(), [this](const Column& c) {
            return cursor_ >= c.first && cursor_ <= c.last;
        });
        if (it != cols.end()) {
            const auto index = std::distance(cols.begin(), it) + direction;
            if (index >= 0 && index < static_cast<std::ptrdiff_t>(cols.size())) {
                MoveCursor(cols[static_cast<std::size_t>(index)].indexOfMaxAbs);
                return;
            }
        }
    }
    MoveCursor(cursor_ + direction);
}

void SignalWindowModel::Left() {
    StepColumns(-1);
}

void SignalWindowModel::Right() {
    StepColumns(1);
}

void SignalWindowModel::PageLeft() {
    MoveCursor(cursor_ - std::max(1, visible_.Count() / 2));
}

void SignalWindowModel::PageRight() {
    MoveCursor(cursor_ + std::max(1, visible_.Count() / 2));
}

void SignalWindowModel::CentreOnMaximum() {
    const Column* best = nullptr;
    double bestMagnitude = -1;
    for (const Column& c : columns_.columns) {
        const double magnitude = std::max(std::fabs(c.minimum), std::fabs(c.maximum));
        if (magnitude > bestMagnitude) {
            bestMagnitude = magnitude;
            best = &c;
        }
    }
    if (best != nullptr) {
        MoveCursor(best->indexOfMaxAbs);
    }
}

double SignalWindowModel::StepForZoom() const {
    const double step = std::fabs(series_.sampling.step);
    if (series_.xs.empty() || (step > 0 && std::isfinite(step))) {
        return step;
    }
    // Harmonics without the line spacing of their spectrum: the closest pair is the finest detail.
    double smallest = 0;
    const int n = std::min<int>(Count(), static_cast<int>(series_.xs.size()));
    for (int i = 2; i <= n; ++i) {
        const double d = std::fabs(series_.xs[static_cast<std::size_t>(i - 1)] -
                                   series_.xs[static_cast<std::size_t>(i - 2)]);
        if (d > 0 && (smallest == 0 || d < smallest)) {
            smallest = d;
        }
    }
    return smallest;
}

bool SignalWindowModel::ZoomXIn() {
    if (!HasData()) {
        return false;
    }
    const double half = (xMax_ - xMin_) / 4;
    const double step = StepForZoom();
    const double centre = CursorX();
    // The relative slack keeps a view of exactly forty steps zoomable despite the rounding of the quarter;
    // without a step the view stops where the range would vanish in the rounding of its position.
    if (!(half > 0) || kFewestStepsPerHalfView * step > half * (1 + 1e-9) ||
        half <= std::fabs(centre) * 1e-12) {
        return false;
    }
    xMin_ = centre - half;
    xMax_ = centre + half;
    ApplyVisibleX();
    if (secondOn_) {
        SetSecondCursor(second_);
    }
    MoveCursor(cursor_);
    return true;
}

void SignalWindowModel::ZoomXOut() {
    if (!HasData()) {
        return;
    }
    const double dataLo = std::min(X(1), X(Count()));
    const double dataHi = std::max(X(1), X(Count()));
    const double width = 2 * (xMax_ - xMin_);
    if (width >= dataHi - dataLo) {
        xMin_ = dataLo;
        xMax_ = dataHi;
    } else {
        double lo = CursorX() - width / 2;
        lo = std::clamp(lo, dataLo, dataHi - width);
        xMin_ = lo;
        xMax_ = lo + width;
    }
    ApplyVisibleX();
    MoveCursor(cursor_);
}

void SignalWindowModel::KeepYInsideData(double& lo, double& hi) const {
    const double height = hi - lo;
    if (height >= dataYMax_ - dataYMin_) {
        lo = dataYMin_;
        hi = dataYMax_;
        return;
    }
    if (lo < dataYMin_) {
        lo = dataYMin_;
        hi = lo + height;
    }
    if (hi > dataYMax_) {
        hi = dataYMax_;
        lo = hi - height;
    }
}

void SignalWindowModel::ZoomYIn() {
    if (!HasData()) {
        return;
    }
    const double half = std::max((yHi_ - yLo_) / 4, (dataYMax_ - dataYMin_) / 20);
    const double v = std::isfinite(CursorValue()) ? CursorValue() : (yLo_ + yHi_) / 2;
    double lo = v - half;
    double hi = v + half;
    KeepYInsideData(lo, hi);
    yLo_ = lo;
    yHi_ = hi;
    UpdateMapping();
    MoveCursor(cursor_);
}

void SignalWindowModel::ZoomYOut() {
    if (!HasData()) {
        return;
    }
    const double half = std::min(yHi_ - yLo_, dataYMax_ - dataYMin_);
    const double v = std::isfinite(CursorValue()) ? CursorValue() : (yLo_ + yHi_) / 2;
    double lo = v - half;
    double hi = v + half;
    KeepYInsideData(lo, hi);
    yLo_ = lo;
    yHi_ = hi;
    UpdateMapping();
    MoveCursor(cursor_);
}

void SignalWindowModel::ShiftX(double shift) {
    if (!HasData() || !std::isfinite(shift) || shift == 0) {
        return;
    }
    const double dataLo = std::min(X(1), X(Count()));
    const double dataHi = std::max(X(1), X(Count()));
    const double width = xMax_ - xMin_;
    double lo = xMin_ + shift;
    if (width >= dataHi - dataLo) {
        // A view wider than the data can only move back towards showing all of it.
        lo = std::clamp(lo, dataHi - width, dataLo);
    } else {
        lo = std::clamp(lo, dataLo, dataHi - width);
    }
    xMin_ = lo;
    xMax_ = lo + width;
    ApplyVisibleX();
    UpdateMarkers();
}

double SignalWindowModel::PixelShiftToX(int pixels) const {
    const int left = Plot().left;
    return mapping_.PixelToX(left) - mapping_.PixelToX(left + pixels);
}

int SignalWindowModel::IndexAtPixel(int px, int py) const {
    const PlotRect& p = Plot();
    if (!HasData() || px < p.left || px > p.right || py < p.top || py > p.bottom) {
        return 0;
    }
    return IndexOfX(mapping_.PixelToX(px));
}

// ---- Links
// ---------------------------------------------------------------------------------------------------

void SignalWindowModel::SetLinkMode(int mode, double activeCursorX) {
    linkMode_ = (mode == 1 || mode == 2) ? mode : 0;
    linkOffset_ = (linkMode_ == 2 && HasData()) ? CursorX() - activeCursorX : 0;
}

CursorAnnouncement SignalWindowModel::Announcement(const void* source) const {
    return {source, series_.kind, CursorX() - linkOffset_};
}

bool SignalWindowModel::Follow(const CursorAnnouncement& announcement, const void* self) {
    if (linkMode_ == 0 || !HasData() || announcement.source == self ||
        !KindsCompatible(series_.kind, announcement.kind)) {
        return false;
    }
    MoveCursor(IndexOfX(announcement.x + linkOffset_));
    return true;
}

bool SignalWindowModel::ScaleCompatible(const SignalWindowModel& other) const {
    return HasData() && other.HasData() && KindsCompatible(series_.kind, other.series_.kind) &&
           series_.quantity == other.series_.quantity;
}

bool SignalWindowModel::CopyViewFrom(const SignalWindowModel& other) {
    if (&other == this || !ScaleCompatible(other)) {
        return false;
    }
    dataYMin_ = other.dataYMin_;
    dataYMax_ = other.dataYMax_;
    yLo_ = other.yLo_;
    yHi_ = other.yHi_;
    switches_ = other.switches_;
    UpdateMapping();
    UpdateMarkers();
    return true;
}

std::pair<double, double> SignalWindowModel::TimeRange(std::uint32_t sourceKind, double sourceStep,
                                                       double sourceEnd) const {
    if (!common::IsTimeDomain(sourceKind)) {
        return {0.0, 0.0};
    }
    double begin = sourceStep;
    double end = sourceEnd;
    if (HasData() && IsTimeDomain()) {
        begin = CursorX();
        if (secondOn_) {
            end = X(second_);
        }
    }
    if (begin > end) {
        std::swap(begin, end);
    }
    return {begin, end};
}

// ---- Texts
// ---------------------------------------------------------------------------------------------------

bool SignalWindowModel::ShowsDecibels() const {
    return switches_.logY && IsElectrical(series_.quantity);
}

std::string SignalWindowModel::AbscissaUnit() const {
    return common::AxisUnit(series_.kind);
}

std::string SignalWindowModel::ValueUnit() const {
    return ShowsDecibels() ? std::string("dB") : common::QuantityUnit(series_.quantity, view_);
}

double SignalWindowModel::ShownValue(double value) const {
    return ShowsDecibels() ? mapping_.YAxisValue(value) : value;
}

std::string SignalWindowModel::Number(double value) const {
    if (std::fabs(value) < 1e-9) {
        return "0";
    }
    return common::FormatCompact(kStatusWidth, value);
}

std::vector<AxisTick> SignalWindowModel::XTicks() const {
    std::vector<AxisTick> ticks;
    if (!HasData()) {
        return ticks;
    }
    const PlotRect& p = Plot();
    const int wished = WishedTickCount(p.Width(), 50);
    std::vector<std::pair<double, bool>> values;  // abscissa, may carry a label
    if (switches_.logX) {
        // Decades with their 2 .. 9 subdivisions; only 1, 2 and 5 are labelled.
        const double lo = mapping_.XAxisValue(xMin_);
        const double hi = mapping_.XAxisValue(xMax_);
        if (std::isfinite(lo) && std::isfinite(hi) && hi > lo && hi - lo < 300) {
            for (int k = static_cast<int>(std::floor(lo)); k <= static_cast<int>(std::ceil(hi)); ++k) {
                for (int m = 1; m <= 9; ++m) {
                    const double v = m * std::pow(10.0, k);
                    const double a = std::log10(v);
                    if (a >= lo && a <= hi) {
                        values.emplace_back(v, m == 1 || m == 2 || m == 5);
                    }
                }
            }
        }
    } else {
        for (double v : TickValues(xMin_, xMax_, wished)) {
            values.emplace_back(v, true);
        }
    }
    int previousLabelled = std::numeric_limits<int>::min() / 2;
    for (const auto& [v, labelCandidate] : values) {
        AxisTick t;
        t.value = v;
        t.pixel = mapping_.XToPixel(v);
        if (labelCandidate && t.pixel > p.left + 40 && t.pixel < p.right - 60 &&
            t.pixel - 16 > previousLabelled + 19) {
            t.labelled = true;
            t.label = XTickLabel(v);
            previousLabelled = t.pixel;
        }
        ticks.push_back(std::move(t));
    }
    return ticks;
}

std::vector<AxisTick> SignalWindowModel::YTicks() const {
    std::vector<AxisTick> ticks;
    if (!HasData()) {
        return ticks;
    }
    const PlotRect& p = Plot();
    const double lo = mapping_.YAxisValue(yLo_);
    const double hi = mapping_.YAxisValue(yHi_);
    for (double a : TickValues(lo, hi, WishedTickCount(p.Height(), 25))) {
        AxisTick t;
        t.value = a;
        const double linear = switches_.logY ? LinearOfDecibel(a) : a;
        t.pixel = mapping_.YToPixel(linear);
        if (t.pixel > p.top + 16 && t.pixel < p.bottom - 16) {
            t.labelled = true;
            t.label = YTickLabel(switches_.logY && !ShowsDecibels() ? linear : a);
        }
        ticks.push_back(std::move(t));
    }
    return ticks;
}

std::vector<PlacedText> SignalWindowModel::RangeLabels() const {
    std::vector<PlacedText> texts;
    if (!HasData()) {
        return texts;
    }
    const PlotRect& p = Plot();
    const auto y = [this](double v) { return YTickLabel(ShownValue(v)); };
    texts.push_back({0, p.top - 6, colours::kLabels, y(yHi_)});
    texts.push_back({0, p.bottom - 10, colours::kLabels, y(yLo_)});
    texts.push_back({p.left, p.bottom, colours::kLabels, common::FormatCompact(kStatusWidth, xMin_)});
    texts.push_back({p.right - 40, p.bottom, colours::kLabels, common::FormatCompact(kStatusWidth, xMax_)});
    return texts;
}

double SignalWindowModel::BandPowerBetweenCursors() const {
    if (!HasData()) {
        return 0;
    }
    const int a = std::min(cursor_, secondOn_ ? second_ : cursor_);
    const int b = std::max(cursor_, secondOn_ ? second_ : cursor_);
    double sum = 0;
    for (int i = a; i <= b; ++i) {
        const double y = series_.values[static_cast<std::size_t>(i - 1)];
        sum += y * y;
    }
    return std::fabs(factor_) * std::sqrt(sum);
}

std::vector<PlacedText> SignalWindowModel::StatusTexts() const {
    std::vector<PlacedText> texts;
    if (!HasData()) {
        return texts;
    }
    const int y = Plot().bottom + 12;
    const std::string xUnit = " " + AbscissaUnit();
    const std::string yUnit = " " + ValueUnit();
    const MarkerRecord& c = markers_[kMainCursorEntry];
    const MarkerRecord& s = markers_[kSecondCursorEntry];
    texts.push_back({2, y, colours::kCursorText, "X=" + Number(c.x) + xUnit});
    texts.push_back({90, y, colours::kBlack, "Y=" + Number(ShownValue(c.value)) + yUnit});
    if (!secondOn_) {
        return texts;
    }
    texts.push_back({200, y, colours::kSecondCursor, "X2=" + Number(s.x) + xUnit});
    texts.push_back({298, y, colours::kBlack, "Y2=" + Number(ShownValue(s.value)) + yUnit});
    texts.push_back({408, y, colours::kDifference, "X-X2=" + Number(std::fabs(c.x - s.x)) + xUnit});
    const std::uint32_t q = series_.quantity;
    if (series_.kind == common::kKindSpectrum &&
        (q == common::kQuantityAcceleration || q == common::kQuantityVelocity ||
         q == common::kQuantityDisplacement)) {
        const int mode = q == common::kQuantityAcceleration ? view_.spectrViewModeA
                         : q == common::kQuantityVelocity   ? view_.spectrViewMode
                                                            : view_.spectrViewModeS;
        const std::string word = common::LoadText(kTextRms + std::clamp(mode, 0, 2));
        texts.push_back({520, y, colours::kBlack,
                         common::LoadText(kTextPower) + "(" + word + ")=" +
                             Number(BandPowerBetweenCursors()) + " " + common::QuantityUnit(q, view_)});
    } else if (IsTimeDomain()) {
        texts.push_back(
            {520, y, colours::kBlack, "Y-Y2=" + Number(ShownValue(c.value) - ShownValue(s.value)) + yUnit});
    }
    return texts;
}

std::string SignalWindowModel::Caption(const std::string& longDescription,
                                       const std::string& shortDescription) const {
    if (!HasData()) {
        return "?";
    }
    const int width = Plot().Width();
    std::string caption = width >= 281 ? longDescription : shortDescription;
    const double rms = series_.rms;
    if (width <= 80 || !(rms > 0) || !std::isfinite(rms)) {
        return caption;
    }
    const double value = rms * common::DisplayFactor(common::kKindSignal, common::kQuantityVelocity, view_);
    if (series_.quantity == common::kQuantityPower) {
        return caption + " [Кнб=" + FixedText(value, 6, 2) + "]";
    }
    if (width <= 210) {
        return caption + " [" + FixedText(value, 5, 1) + "]";
    }
    return caption + " [" + common::LoadText(kTextRms) + ": " + FixedText(value, 5, 1) + " " +
           common::QuantityUnit(common::kQuantityVelocity, view_) + "]";
}

ClipboardText SignalWindowModel::SamplesText(bool betweenCursors, char decimalSeparator) const {
    ClipboardText out;
    if (!HasData()) {
        return out;
    }
    int first = 1;
    int last = Count();
    if (betweenCursors) {
        first = cursor_;
        last = secondOn_ ? second_ : Count();
        if (first > last) {
            std::swap(first, last);
        }
    }
    const bool withPhase = IsFrequencyDomain();
    out.text.reserve(static_cast<std::size_t>(last - first + 1) * (withPhase ? 36 : 24));
    for (int i = first; i <= last; ++i) {
        const std::size_t lineStart = out.text.size();
        out.text += common::FormatCompact(kClipboardWidth, X(i));
        out.text += '\t';
        out.text += common::FormatCompact(kClipboardWidth, Value(i));
        if (withPhase) {
            out.text += '\t';
            out.text += common::FormatCompact(kClipboardWidth, PhaseOf(i) * std::numbers::pi / 180.0);
        }
        for (std::size_t k = lineStart; k < out.text.size(); ++k) {
            if (out.text[k] == '.' || out.text[k] == ',') {
                out.text[k] = decimalSeparator;
            }
        }
        out.text += "\r\n";
        ++out.lines;
    }
    return out;
}

PhaseDialPlacement SignalWindowModel::PhaseDial() const {
    PhaseDialPlacement dial;
    if (!switches_.phaseDial || !HasData() || !IsFrequencyDomain() || clientWidth_ <= 105 ||
        clientHeight_ <= 105) {
        return dial;
    }
    const PlotRect& p = Plot();
    const MarkerRecord& c = markers_[kMainCursorEntry];
    const bool cursorInLeftHalf = c.px < (p.left + p.right) / 2;
    dial.visible = true;
    dial.cx = cursorInLeftHalf ? p.right - 30 : p.left + 30;
    dial.cy = p.top + 30;
    dial.phase = c.phase;
    return dial;
}

bool SignalWindowModel::HarmonicBell(int i, BellOutline& outline) const {
    if (i < 1 || i > Count() || static_cast<std::size_t>(i) > series_.areas.size()) {
        return false;
    }
    const double stored = series_.values[static_cast<std::size_t>(i - 1)];
    const double area = series_.areas[static_cast<std::size_t>(i - 1)];
    if (stored == 0 || !std::isfinite(stored) || !std::isfinite(area)) {
        return false;
    }
    const double width = kBellWidthFactor * area / stored;
    if (!std::isfinite(width)) {
        return false;
    }
    const double centre = X(i);
    const double amplitude = Value(i);
    for (int k = 0; k < 9; ++k) {
        outline[static_cast<std::size_t>(k)] = {centre + (k / 8.0 - 0.5) * width,
                                                kBellHeights[k] * amplitude};
    }
    return true;
}

}  // namespace velmar::ui
