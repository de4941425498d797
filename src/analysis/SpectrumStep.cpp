// The FFT step: spectrum and envelope spectrum of a signal, cepstrum of a spectrum.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>
#include <vector>

#include "analysis/Fft.hpp"
#include "analysis/LineKernels.hpp"
#include "analysis/Scratch.hpp"
#include "analysis/TransformSteps.hpp"
#include "analysis/TrigTables.hpp"
#include "common/Numbers.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

// Lines of a spectrum per FFT point: the band above N/2.56 is left to the anti-aliasing filter.
constexpr double kLinesDivisor = 2.56;
// Amplitude corrections of the windows. The Hamming figure is the program's own (not 1.852), so that a
// sine reads 0.972 of its amplitude as it always has.
constexpr double kHammingGain = 1.8;
constexpr double kHannGain = 2.0;
constexpr double kHammingA = 0.54;
constexpr double kHammingB = 0.46;
// The envelope spectrum shows lines up to this frequency and blanks the lowest ones.
constexpr double kEnvelopeTopHz = 1000.0;
constexpr std::size_t kEnvelopeBlankLines = 4;
// Scaling of a spectrum's lines back to the raw transform magnitude before the logarithm of the cepstrum.
constexpr double kCepstrumScaleDivisor = 2.0 * 1.875;
constexpr double kCepstrumFloor = 0.001;

bool IsElectrical(std::int32_t quantity) {
    return quantity == common::kQuantityVoltage || quantity == common::kQuantityCurrent ||
           quantity == common::kQuantityPower;
}

// The transform length for n points: even, at most 2^21, a power of two; 0 when there are fewer than two.
std::size_t TransformLength(std::size_t n) {
    if (n % 2 == 1) {
        --n;
    }
    n = std::min(n, kMaxFftPoints);
    if (n < 2) {
        return 0;
    }
    std::size_t p = 1;
    while (p * 2 <= n) {
        p *= 2;
    }
    return p;
}

bool Continue(const ProgressFn& progress, double fraction) {
    return !progress || progress(fraction);
}

// The result's descriptor: the input's, when the step does not work in place.
void TakeDescriptor(const Series& in, Series& out) {
    if (&in != &out) {
        out = in.DescriptorOnly();
    }
    out.x.clear();
    out.fourth.clear();
}

StepResult Cepstrum(const Series& in, Series& out, std::size_t n) {
    // The floor under the logarithm: a thousandth of the largest line. A stored peak of 0 may be stale, so
    // the lines themselves decide then; a spectrum of nothing but zeros has no cepstrum.
    double largest = in.peak;
    if (!(largest > 0.0) || !std::isfinite(largest)) {
        largest = 0.0;
        for (double v : in.y) {
            largest = std::max(largest, std::fabs(v));
        }
    }
    const double floor = kCepstrumFloor * largest;
    if (!(floor > 0.0) || !std::isfinite(floor)) {
        return StepResult::kUnfitInput;
    }
    const double scale = kLinesDivisor * static_cast<double>(n) / kCepstrumScaleDivisor;
    const detail::TurnTable& turns = detail::TurnTable::Shared();
    std::vector<float> re(n), im(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double a = std::max(in.y[j] * scale, 0.0);
        const double d = 20.0 * std::log10(a + floor);
        // The phase as the spectrum shows it, second shift included: the cepstrum writes no phases of its
        // own, so the shift is counted exactly once here.
        const double degrees = detail::WrapDegrees(in.RawPhase(j) + in.phaseShift2);
        const Complex rotation = turns(degrees / 360.0);
        re[j] = static_cast<float>(d * rotation.real());
        im[j] = static_cast<float>(d * rotation.imag());
    }
    FftRadix2(re.data(), im.data(), n, +1);
    const detail::RootTable roots(n - 1);
    std::vector<double> values(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double w = kHammingA - kHammingB * roots.Cos(j % (n - 1));
        values[j] = static_cast<double>(re[j]) / static_cast<double>(n) / w;
    }
    const double step = 1.0 / (in.xStep * static_cast<double>(n));
    TakeDescriptor(in, out);
    out.kind = common::kKindCepstrum;
    out.flags |= Series::kComplexFlag;
    out.y = std::move(values);
    out.phase.clear();
    out.xStart = 0.0;
    out.xStep = step;
    out.xEnd = step * static_cast<double>(n - 1);
    out.RecomputePeak();
    return StepResult::kDone;
}

}  // namespace

StepResult FourierStep(const Series& in, Series& out, FftWindow window, const ProgressFn& progress) {
    const bool fromSignal = in.kind == common::kKindSignal;
    const bool fromEnvelope = in.kind == common::kKindEnvelope;
    const bool fromSpectrum = in.kind == common::kKindSpectrum;
    if (!fromSignal && !fromEnvelope && !fromSpectrum) {
        return StepResult::kSkipped;
    }
    const std::size_t n = TransformLength(in.Count());
    if (n < 2 || !std::isfinite(in.xStep) || !(in.xStep > 0.0)) {
        return StepResult::kUnfitInput;
    }
    if (!Continue(progress, 0.0)) {
        return StepResult::kCancelled;
    }
    if (fromSpectrum) {
        return Cepstrum(in, out, n);
    }

    if (window != FftWindow::kRectangular && IsElectrical(in.quantity)) {
        window = FftWindow::kHann;
    }
    std::size_t lines = static_cast<std::size_t>(std::nearbyint(static_cast<double>(n) / kLinesDivisor));
    if (fromEnvelope) {
        const double top = std::nearbyint(in.xStep * kEnvelopeTopHz * static_cast<double>(n)) + 1.0;
        lines = std::min(lines, static_cast<std::size_t>(std::max(top, 0.0)));
        if (lines <= kEnvelopeBlankLines) {
            return StepResult::kUnfitInput;
        }
    } else if (lines < 2) {
        return StepResult::kUnfitInput;
    }

    // The real samples and then their transform share one buffer: n doubles in, n/2 + 1 complex values out.
    const detail::ScratchLease<double, 0> lease(n + 2);
    const std::span<double> buffer = lease.Span();
    const double* y = in.y.data();
    if (window == FftWindow::kRectangular) {
        std::copy_n(y, n, buffer.data());
    } else {
        const detail::RootTable roots(n - 1);
        const double a = window == FftWindow::kHamming ? kHammingA : 0.5;
        const double b = window == FftWindow::kHamming ? kHammingB : 0.5;
        const std::size_t half = n / 2;
        // The window is symmetric: w(j) = w(n − 1 − j).
        for (std::size_t j = 0; j < half; ++j) {
            const double w = a - b * roots.Cos(j);
            buffer[j] = w * y[j];
            buffer[n - 1 - j] = w * y[n - 1 - j];
        }
    }
    auto* spectrum = reinterpret_cast<Complex*>(buffer.data());
    RealFft(std::span<const double>(buffer.data(), n), std::span<Complex>(spectrum, n / 2 + 1));
    if (!Continue(progress, 0.8)) {
        return StepResult::kCancelled;
    }

    double gain = 1.0;
    if (window == FftWindow::kHamming) {
        gain = kHammingGain;
    } else if (window == FftWindow::kHann) {
        gain = kHannGain;
    }
    const double scale = 2.0 / static_cast<double>(n) * gain;
    const std::size_t blank = fromEnvelope ? kEnvelopeBlankLines : 1;
    // The lowest lines (the mean, and the envelope's own slow changes) stay 0 and without phase.
    std::vector<double> values(lines);
    std::vector<double> phases(fromEnvelope ? 0 : lines);
    detail::MagnitudesAndPhases(buffer.data() + 2 * blank, lines - blank, scale, values.data() + blank,
                                fromEnvelope ? nullptr : phases.data() + blank);

    const double step = 1.0 / (in.xStep * static_cast<double>(n));
    TakeDescriptor(in, out);
    out.kind = fromEnvelope ? common::kKindEnvelopeSpectrum : common::kKindSpectrum;
    if (fromEnvelope) {
        out.flags &= static_cast<std::uint8_t>(~Series::kComplexFlag);
    } else {
        out.flags |= Series::kComplexFlag;
    }
    out.y = std::move(values);
    out.phase = std::move(phases);
    out.xStart = 0.0;
    out.xStep = step;
    out.xEnd = step * static_cast<double>(lines - 1);
    out.RecomputePeak();
    return StepResult::kDone;
}

}  // namespace velmar::analysis
