#pragma once
// The elementary steps of a conversion chain, each on one series; a step whose input is of another kind or
// quantity leaves everything untouched and says kSkipped, so that the chain can go on.

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "analysis/Series.hpp"

namespace velmar::analysis {

// The window of an FFT step; a per-call choice, never program state.
enum class FftWindow : std::uint8_t {
    kRectangular = 0,
    kHamming = 1,
    kHann = 2,
};

enum class StepResult {
    kDone,
    kSkipped,        // the input is not of a kind or quantity this step works on; nothing changed
    kUnfitInput,     // too few points, no abscissa step, nothing but zeros where a logarithm is taken, ...
    kBadParameters,  // the frequency grid or the bands asked for make no sense
    kCancelled,      // the progress callback asked to stop
};

// Called now and then with the fraction of the work done (0 .. 1); answering false asks to stop. An empty
// function never stops anything.
using ProgressFn = std::function<bool(double fraction)>;

// Most samples a spectrum is taken of, and most lines a part spectrum may ask for.
inline constexpr std::size_t kMaxFftPoints = std::size_t{1} << 21;
inline constexpr std::size_t kMaxPartSpectrumLines = std::size_t{1} << 21;

// Subtracts the mean from every value and recomputes the peak.
void RemoveMean(Series& s);

// Takes the slow drift out of an integrated signal: a natural spline through the means of `segments`
// equal segments, refined in ten passes, is subtracted. Segments shorter than two points leave the data as
// they are (false), as does a baseline that does not stay finite.
bool Detrend(Series& s, int segments);

// Integration of velocity (into displacement) or acceleration (into velocity): of a signal by the
// trapezoid rule with the drift removed, of frequency-domain data by division by 2πf (low lines zeroed).
// Values are scaled by 1000 (m/s² → mm/s, mm/s → µm). Phases turn by +90°.
StepResult Integrate(Series& s);

// Differentiation of displacement (into velocity) or velocity (into acceleration); the inverse of
// Integrate. A signal is differentiated by the five-point central difference.
StepResult Differentiate(Series& s);

// The steps below make new data from their input: `out` may be the input itself, and is written only when
// the step is done. The one-argument forms work in place.

// "Bpf": spectrum of a signal (kind 4) or of an envelope (envelope spectrum, kind 32, lines up to 1000 Hz),
// or cepstrum of a spectrum (kind 128). The window applies to signals and envelopes; electrical quantities
// (voltage, current, power) always take Hann unless the window is rectangular. Line values are amplitudes:
// a sine lying on a line reads its amplitude with Hann or no window, 0.972 of it with Hamming.
StepResult FourierStep(const Series& in, Series& out, FftWindow window, const ProgressFn& progress);
inline StepResult FourierStep(Series& s, FftWindow window, const ProgressFn& progress) {
    return FourierStep(s, s, window, progress);
}

// "Gar": the peaks of a spectrum as (frequency, amplitude, phase, area), at most 128 of them.
StepResult HarmonicsStep(const Series& in, Series& out);
inline StepResult HarmonicsStep(Series& s) {
    return HarmonicsStep(s, s);
}

// The time and frequency ranges of a part spectrum.
struct PartSpectrumRange {
    double beginTime = 0;  // s
    double endTime = 0;
    double beginFreq = 0;  // Hz
    double endFreq = 0;
    double stepFreq = 0;
};

// "Spf": the spectrum of the samples between two moments on an arbitrary frequency grid, the direct
// Fourier sums of the definition computed fast.
StepResult PartSpectrum(const Series& in, Series& out, const PartSpectrumRange& range,
                        const ProgressFn& progress);
inline StepResult PartSpectrum(Series& s, const PartSpectrumRange& range, const ProgressFn& progress) {
    return PartSpectrum(s, s, range, progress);
}

struct FrequencyBand {
    double low = 0;  // Hz
    double high = 0;
};

inline constexpr std::size_t kMaxUserBands = 15;
inline constexpr double kFirstBandEdge = 22.0;  // Hz, lower edge of the first constant-percentage band

struct BandSpec {
    // 0: constant-percentage bands from 22 Hz with the ratio of upper to lower edge; 1: the user's list.
    std::uint8_t mode = 0;
    double ratio = 0;
    std::uint8_t count = 0;  // user bands used (more than 15 count as 15)
    std::array<FrequencyBand, kMaxUserBands> bands{};
};

// "Pwb": the power in frequency bands of a spectrum, √Σy² of each band written over every line of it.
StepResult BandPower(const Series& in, Series& out, const BandSpec& bands);
inline StepResult BandPower(Series& s, const BandSpec& bands) {
    return BandPower(s, s, bands);
}

namespace detail {

// How the sums of a part spectrum are formed; kAuto picks the faster for the sizes.
enum class SumMethod { kAuto, kRotation, kChirpZ };

// X(j) = Σ_k y(k)·exp(+2πi·k·(f0 + j·df)·dt) for j = 0 … lines − 1, k = 0 … y.size() − 1: the sums of a
// part spectrum, with the angles reduced exactly however long the signal is. Stops early (false) when
// `progress` asks.
bool FourierSums(std::span<const double> y, double f0, double df, double dt, std::size_t lines,
                 SumMethod method, std::vector<std::complex<double>>& out, const ProgressFn& progress);

}  // namespace detail

}  // namespace velmar::analysis
