#pragma once
// Everything a signal window knows and decides, without a widget: the series it shows, the visible ranges,
// the display columns, the nine display switches, the two cursors and the harmonic markers, the link with
// other windows, and every text it shows or copies. The window widget feeds it data, pixels and commands
// and paints what it says; tests drive it directly.
//
// Values handed out are display values (stored value times the display factor); point indices are 1-based.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/Vocabulary.hpp"
#include "ui/SignalViewModel.hpp"

namespace velmar::ui {

class ColumnPyramid;

// The series of one window, in stored units. The spans point into memory the caller keeps alive while the
// model shows them (the derived level's buffer, or copies the window keeps).
struct SignalSeries {
    std::uint32_t kind = 0;
    std::uint32_t quantity = 0;
    Sampling sampling;               // first abscissa, step and point count
    std::span<const double> values;  // value of point i at values[i - 1]
    std::span<const double> phases;  // degrees as shown; empty when the data carry no phases
    std::span<const double> xs;      // stored abscissas (harmonics); empty when evenly spaced
    std::span<const double> areas;   // harmonics: the area under each harmonic's peak
    double rms = 0;                  // the level's RMS value, stored units
};

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace colours {
inline constexpr Rgb kCurve{0, 0, 255};
inline constexpr Rgb kMinMaxBand{0, 0, 130};
inline constexpr Rgb kAverage{255, 0, 255};
inline constexpr Rgb kGrid{100, 100, 100};
inline constexpr Rgb kZeroLine{10, 10, 10};
inline constexpr Rgb kMargin{190, 190, 190};
inline constexpr Rgb kLabels{0, 0, 255};
inline constexpr Rgb kCursorText{255, 0, 0};
inline constexpr Rgb kSecondCursor{255, 0, 255};
inline constexpr Rgb kDifference{0, 0, 128};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
}  // namespace colours

// The display switches, in the order of the toolbar's switch commands 5 .. 13.
struct DisplaySwitches {
    bool single = true;
    bool average = false;
    bool minMax = false;
    bool markers = false;
    bool powerBells = false;
    bool bellFill = false;
    bool logX = false;
    bool logY = false;
    bool phaseDial = false;

    std::array<bool, 9> AsArray() const {
        return {single, average, minMax, markers, powerBells, bellFill, logX, logY, phaseDial};
    }
    friend bool operator==(const DisplaySwitches&, const DisplaySwitches&) = default;
};

// One entry of the marker table: 0 the second cursor, 1 the main cursor, 2 .. 23 harmonic markers.
struct MarkerRecord {
    bool visible = false;
    int index = 0;
    double multiplier = 0;
    double offset = 0;
    std::string label;
    Rgb colour;
    double x = 0;
    double value = 0;
    double phase = 0;
    int px = 0;
    int py = 0;
};

inline constexpr int kMarkerCount = 24;
inline constexpr int kSecondCursorEntry = 0;
inline constexpr int kMainCursorEntry = 1;
// Entries from here on with a value of zero are hidden (the higher harmonics).
inline constexpr int kFirstHighHarmonicEntry = 16;

// The marker table as a new window starts with it.
std::array<MarkerRecord, kMarkerCount> InitialMarkers();

// What a window with linked cursors tells the others when the user moves its cursor. The abscissa is the
// common reference (the window's own cursor less its offset), so that followers never add offsets up.
struct CursorAnnouncement {
    const void* source = nullptr;
    std::uint32_t kind = 0;
    double x = 0;
};

// Same kind, or both in the frequency domain: cursors and views can be shared.
bool KindsCompatible(std::uint32_t a, std::uint32_t b);

struct AxisTick {
    double value = 0;  // axis coordinate (dB level on a logarithmic Y axis, abscissa on X)
    int pixel = 0;
    bool labelled = false;
    std::string label;
};

// A text of the status line or the margins: where (top left), in which colour, what.
struct PlacedText {
    int x = 0;
    int y = 0;
    Rgb colour;
    std::string text;
};

struct PhaseDialPlacement {
    bool visible = false;
    int cx = 0;
    int cy = 0;
    int radius = 20;
    double phase = 0;  // degrees, clockwise from 12 o'clock
};

// A harmonic drawn as a bell: nine points (abscissa, display value) of a half sine around its frequency.
using BellOutline = std::array<std::pair<double, double>, 9>;

struct ClipboardText {
    std::string text;
    int lines = 0;
};

class SignalWindowModel {
  public:
    enum class Keep {
        Nothing,   // a new view: whole data, cursor on point 1
        View,      // same kind, quantity and count: ranges and cursors stay
        Widening,  // the data changed in place: Y ranges stay but widen to the new data
    };

    SignalWindowModel();
    ~SignalWindowModel();
    SignalWindowModel(const SignalWindowModel&) = delete;
    SignalWindowModel& operator=(const SignalWindowModel&) = delete;

    // ---- Data
    // ---------------------------------------------------------------------------------------------- Shows a
    // series with `factor` as display factor. Keep::View falls back to a new view when kind, quantity or
    // point count differ; Keep::Widening keeps the Y ranges only for the same kind and quantity.
    void SetSeries(const SignalSeries& series, double factor, const common::ViewSettings& view, Keep keep);
    // Nothing shown (the window failed to open, or its level went).
    void Clear();
    bool HasData() const noexcept { return series_.sampling.count > 0; }
    const SignalSeries& Series() const noexcept { return series_; }
    std::uint32_t Kind() const noexcept { return series_.kind; }
    std::uint32_t Quantity() const noexcept { return series_.quantity; }
    double Factor() const noexcept { return factor_; }
    int Count() const noexcept { return series_.sampling.count; }
    // A new display factor (the amplitude settings changed): data range, view and columns follow.
    void SetFactor(double factor, const common::ViewSettings& view);

    double X(int i) const;         // abscissa of point i
    double Value(int i) const;     // display value of point i
    double PhaseOf(int i) const;   // degrees, 0 without phases
    int IndexOfX(double x) const;  // nearest point, 1 .. count
    bool IsFrequencyDomain() const;
    bool IsTimeDomain() const;
    bool IsHarmonics() const;

    // ---- Geometry
    // ------------------------------------------------------------------------------------------ The client
    // area changed: plot rectangle, columns and markers follow (columns not when `holdColumns`).
    void SetClientSize(int width, int height, bool holdColumns = false);
    int ClientWidth() const noexcept { return clientWidth_; }
    int ClientHeight() const noexcept { return clientHeight_; }
    const PlotRect& Plot() const noexcept { return mapping_.Plot(); }
    const SignalViewModel& Mapping() const noexcept { return mapping_; }
    // Painting is pointless in plots this small.
    bool PlotTooSmall() const;

    // ---- Ranges and columns
    // --------------------------------------------------------------------------------
    double XMin() const noexcept { return xMin_; }
    double XMax() const noexcept { return xMax_; }
    double DataYMin() const noexcept { return dataYMin_; }
    double DataYMax() const noexcept { return dataYMax_; }
    double YLo() const noexcept { return yLo_; }
    double YHi() const noexcept { return yHi_; }
    IndexRange Visible() const noexcept { return visible_; }
    void SetXRange(double xMin, double xMax);
    void SetYRange(double yLo, double yHi);
    // Sets the data range and the visible Y range at once (scale synchronisation).
    void SetDataYRange(double lo, double hi);
    void ResetView();
    void RebuildColumns();
    const ColumnSet& Columns() const noexcept { return columns_; }
    bool Decimated() const noexcept { return columns_.decimated; }

    // ---- Switches
    // ------------------------------------------------------------------------------------------
    const DisplaySwitches& Switches() const noexcept { return switches_; }
    // Switch command 5 .. 13 with the button's state. The display modes 5 .. 7 keep at least one on.
    void SetSwitch(int command, bool on);

    // ---- Cursors, markers
    // ----------------------------------------------------------------------------------
    int CursorIndex() const noexcept { return cursor_; }
    double CursorX() const { return X(cursor_); }
    double CursorValue() const { return Value(cursor_); }
    bool SecondCursorOn() const noexcept { return secondOn_; }
    int SecondCursorIndex() const noexcept { return second_; }
    // Moves the cursor (clamped to the data), scrolling the view to it. True when the view moved.
    bool MoveCursor(int index);
    void SetSecondCursor(int index);
    void HideSecondCursor();
    const std::array<MarkerRecord, kMarkerCount>& Markers() const noexcept { return markers_; }
    // Changes one marker's multiplier and offset (the harmonics list), then places the markers again.
    void SetMarker(int entry, double multiplier, double offset);
    void UpdateMarkers();

    // ---- Commands
    // ------------------------------------------------------------------------------------------
    void Home();
    void End();
    void Left();
    void Right();
    void PageLeft();
    void PageRight();
    void CentreOnMaximum();
    // False when refused (the view is already as narrow as ten steps allow).
    bool ZoomXIn();
    void ZoomXOut();
    void ZoomYIn();
    void ZoomYOut();
    // Shifts the visible X range, kept inside the data; both cursors keep their abscissas.
    void ShiftX(double shift);
    // The abscissa shift of a pointer moved by `pixels` (middle-button drag).
    double PixelShiftToX(int pixels) const;
    // The point under a pixel column; 0 outside the plot.
    int IndexAtPixel(int px, int py) const;

    // ---- Links between windows
    // -----------------------------------------------------------------------------
    int LinkMode() const noexcept { return linkMode_; }
    double LinkOffset() const noexcept { return linkOffset_; }
    // Takes the link mode; in mode 2 the offset is measured from the active window's cursor.
    void SetLinkMode(int mode, double activeCursorX);
    CursorAnnouncement Announcement(const void* source) const;
    // Follows another window's cursor; false when the announcement does not concern this window.
    bool Follow(const CursorAnnouncement& announcement, const void* self);
    // Takes data and visible Y ranges and the switches of a compatible window of the same quantity.
    bool CopyViewFrom(const SignalWindowModel& other);
    bool ScaleCompatible(const SignalWindowModel& other) const;

    // ---- Time range for a spectrum of a part
    // --------------------------------------------------------------- For a time-domain source: from the
    // cursor (the source's step without one) to the second cursor or the source's end, in increasing order.
    // 0, 0 for other sources.
    std::pair<double, double> TimeRange(std::uint32_t sourceKind, double sourceStep, double sourceEnd) const;

    // ---- Texts
    // --------------------------------------------------------------------------------------------- Whether
    // values are shown as dB levels (electrical quantities on a logarithmic Y axis).
    bool ShowsDecibels() const;
    std::string AbscissaUnit() const;
    std::string ValueUnit() const;
    // A value as the status line and the markers show it (its dB level where values are shown in dB).
    double ShownValue(double value) const;
    std::vector<AxisTick> XTicks() const;
    std::vector<AxisTick> YTicks() const;
    // The four range limits written in the margins.
    std::vector<PlacedText> RangeLabels() const;
    std::vector<PlacedText> StatusTexts() const;
    // The caption: the description (long or short for the plot's width) and the RMS value in brackets.
    std::string Caption(const std::string& longDescription, const std::string& shortDescription) const;
    // The samples of all points, or of the points between the cursors, as text for the clipboard.
    ClipboardText SamplesText(bool betweenCursors, char decimalSeparator) const;
    PhaseDialPlacement PhaseDial() const;
    // The bell of harmonic i; false for harmonics with no value or no usable width.
    bool HarmonicBell(int i, BellOutline& outline) const;
    // Energy between the two cursors as the status line shows it: factor x root of the sum of squares.
    double BandPowerBetweenCursors() const;

  private:
    void StepColumns(int direction);
    void ComputeDataRange();
    void WidenYRange(double oldLo, double oldHi);
    void UpdateMapping();
    void ApplyVisibleX();
    void PlaceCursorEntries();
    void KeepYInsideData(double& lo, double& hi) const;
    double StepForZoom() const;
    int HarmonicWithin(double target, double tolerance) const;
    std::string Number(double value) const;

    SignalSeries series_;
    // Min/max summaries of long series, so that a view of millions of samples is summed from blocks.
    std::unique_ptr<ColumnPyramid> pyramid_;
    double factor_ = 1;
    common::ViewSettings view_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    SignalViewModel mapping_;
    double xMin_ = 0;
    double xMax_ = 1;
    double dataYMin_ = 0;
    double dataYMax_ = 1;
    double yLo_ = 0;
    double yHi_ = 1;
    IndexRange visible_;
    ColumnSet columns_;
    bool columnsStale_ = true;
    DisplaySwitches switches_;
    int cursor_ = 1;
    bool secondOn_ = false;
    int second_ = 1;
    std::array<MarkerRecord, kMarkerCount> markers_;
    int linkMode_ = 0;
    double linkOffset_ = 0;
};

}  // namespace velmar::ui
