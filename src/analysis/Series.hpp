#pragma once
// One series of numbers as the transform engine sees it: a signal, a spectrum, a list of harmonics... with
// its descriptor. Plain values, no archive types: the archive adapter (ArchiveAdapter.hpp) turns a node's
// header and buffer into a Series and back.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmar::analysis {

struct Series {
    // Flags bit 0: the points carry a phase (a spectrum's value and phase per line).
    static constexpr std::uint8_t kComplexFlag = 0x01;

    std::int32_t kind = 0;      // kind code (common/Vocabulary.hpp)
    std::int32_t quantity = 0;  // quantity code
    double recordedAt = 0;      // day count, 0 when unknown
    double rms = 0;             // the channel's RMS value, carried through the steps
    double peak = 0;            // maximum magnitude, max |y|
    double phaseShift = 0;      // degrees
    double xStart = 0;          // abscissa of point 0
    double xEnd = 0;            // abscissa of the last point
    double xStep = 0;
    std::uint8_t flags = 0;
    std::int32_t reserved57 = 0;
    std::int16_t reserved61 = 0;
    double carried63 = 0;
    double phaseShift2 = 0;  // degrees; added to the stored phases when they are shown, never by a step
    double carried75 = 0;
    double totalPeakArea = 0;  // harmonics: the sum of the peak areas

    // y(i), 0-based.
    std::vector<double> y;
    // Stored phases in degrees, without phaseShift2; empty when the points carry none. Harmonics always
    // carry them.
    std::vector<double> phase;
    // Harmonics only: the frequency and the area of each peak. Empty for every other kind.
    std::vector<double> x;
    std::vector<double> fourth;

    std::size_t Count() const noexcept { return y.size(); }
    bool HasPhases() const noexcept { return !phase.empty(); }
    bool IsHarmonics() const noexcept { return kind == 64; }

    // Abscissa of point i: the stored frequency of a harmonic, else xStart + i·xStep.
    double X(std::size_t i) const noexcept {
        return !x.empty() ? x[i] : xStart + static_cast<double>(i) * xStep;
    }
    // Stored phase of point i; 0 when the points carry none.
    double RawPhase(std::size_t i) const noexcept { return phase.empty() ? 0.0 : phase[i]; }

    // The nearest point to `at` (0-based): round((at − xStart)/xStep) with ties to even, the last point for
    // `at` beyond xEnd, the first for `at` before xStart or a zero step. Harmonics: the nearest stored
    // frequency, the first on ties. Clamped to the points there are; 0 for an empty series.
    std::size_t IndexOfX(double at) const noexcept;

    // peak := max |y|.
    void RecomputePeak() noexcept;

    // The descriptor without the points.
    Series DescriptorOnly() const;
};

// Positions in the kind and quantity tables (0-based) that index the conversion table; -1 for a code the
// tables do not hold.
int KindPosition(std::uint32_t kind) noexcept;
int QuantityPosition(std::uint32_t quantity) noexcept;

}  // namespace velmar::analysis
