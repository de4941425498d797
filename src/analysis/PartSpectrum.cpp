// The spectrum of a part of a signal on a frequency grid of the user's choice: the plain Fourier sums at
// each frequency, formed either by rotating a phasor sample by sample (few lines) or by the chirp-z
// transform, which turns all the sums into one convolution done with three FFTs (many lines).

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <vector>

#include "analysis/Fft.hpp"
#include "analysis/Scratch.hpp"
#include "analysis/TransformSteps.hpp"
#include "analysis/TrigTables.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace detail {
namespace {

// The phasor is set exactly again after this many samples, so that rounding cannot build up.
constexpr std::size_t kResyncSamples = 256;

// Fraction of (a + j·b)·k in turns, exactly reduced: k·a and (k·j)·b separately, each product exact.
double TurnsAt(const TwoDouble& a, const TwoDouble& b, double j, double k) {
    const double t = FractionOfProduct(a, k) + FractionOfProduct(b, k * j);
    return t - std::nearbyint(t);
}

bool Continue(const ProgressFn& progress, double fraction) {
    return !progress || progress(fraction);
}

bool RotationSums(std::span<const double> y, const TwoDouble& a, const TwoDouble& b, std::size_t lines,
                  std::vector<Complex>& out, const ProgressFn& progress) {
    const TurnTable& turns = TurnTable::Shared();
    const std::size_t m = y.size();
    for (std::size_t j = 0; j < lines; ++j) {
        const double jd = static_cast<double>(j);
        const Complex w = turns(TurnsAt(a, b, jd, 1.0));
        double sumRe = 0.0, sumIm = 0.0;
        for (std::size_t start = 0; start < m; start += kResyncSamples) {
            const Complex z0 = turns(TurnsAt(a, b, jd, static_cast<double>(start)));
            double zr = z0.real(), zi = z0.imag();
            const double wr = w.real(), wi = w.imag();
            const std::size_t end = std::min(m, start + kResyncSamples);
            for (std::size_t k = start; k < end; ++k) {
                sumRe += y[k] * zr;
                sumIm += y[k] * zi;
                const double nr = zr * wr - zi * wi;
                zi = zr * wi + zi * wr;
                zr = nr;
            }
        }
        out[j] = Complex(sumRe, sumIm);
        if (!Continue(progress, static_cast<double>(j + 1) / static_cast<double>(lines))) {
            return false;
        }
    }
    return true;
}

// X(j) = c(j)·Σ_k [y(k)·e(k)·c(k)]·conj(c(j − k)), with c(n) = exp(πi·b·n²) and e(k) = exp(2πi·a·k), from
// jk = (j² + k² − (j − k)²)/2: a linear convolution of two sequences, done cyclically on a power-of-two
// length long enough that no wrapped term reaches the lines wanted.
bool ChirpZSums(std::span<const double> y, const TwoDouble& a, const TwoDouble& b, std::size_t lines,
                std::vector<Complex>& out, const ProgressFn& progress) {
    const TurnTable& turns = TurnTable::Shared();
    const std::size_t m = y.size();
    std::size_t size = 1;
    while (size < m + lines - 1) {
        size *= 2;
    }
    const TwoDouble halfB{b.hi / 2.0, b.lo / 2.0};
    auto chirpTurns = [&halfB](std::size_t n) {
        const double nd = static_cast<double>(n);
        return FractionOfProduct(halfB, nd * nd);
    };

    // Two slots of per-thread storage: the padded signal and the chirp filter.
    const ScratchLease<Complex, 1> uLease(size);
    const ScratchLease<Complex, 2> vLease(size);
    const std::span<Complex> u = uLease.Span();
    const std::span<Complex> v = vLease.Span();
    std::fill(u.begin() + static_cast<std::ptrdiff_t>(m), u.end(), Complex(0.0, 0.0));
    for (std::size_t k = 0; k < m; ++k) {
        const double kd = static_cast<double>(k);
        double t = FractionOfProduct(a, kd) + FractionOfProduct(halfB, kd * kd);
        t -= std::nearbyint(t);
        u[k] = y[k] * turns(t);
    }
    // v(n) for n = 0 … lines − 1 at the front, v(−n) for n = 1 … m − 1 at the back, zeros between.
    std::fill(v.begin() + static_cast<std::ptrdiff_t>(lines), v.end() - static_cast<std::ptrdiff_t>(m - 1),
              Complex(0.0, 0.0));
    const std::size_t reach = std::max(m, lines);
    for (std::size_t n = 0; n < reach; ++n) {
        const Complex c = std::conj(turns(chirpTurns(n)));
        if (n < lines) {
            v[n] = c;
        }
        if (n > 0 && n < m) {
            v[size - n] = c;
        }
    }
    if (!Continue(progress, 0.2)) {
        return false;
    }
    const auto plan = FftPlan::Get(size);
    plan->Forward(u.data());
    if (!Continue(progress, 0.4)) {
        return false;
    }
    plan->Forward(v.data());
    if (!Continue(progress, 0.6)) {
        return false;
    }
    // Products written out: the library's complex product checks every one for infinities.
    for (std::size_t i = 0; i < size; ++i) {
        const double ar = u[i].real(), ai = u[i].imag(), br = v[i].real(), bi = v[i].imag();
        u[i] = Complex(ar * br - ai * bi, ar * bi + ai * br);
    }
    plan->Inverse(u.data());
    if (!Continue(progress, 0.9)) {
        return false;
    }
    for (std::size_t j = 0; j < lines; ++j) {
        const Complex c = turns(chirpTurns(j));
        out[j] = Complex(u[j].real() * c.real() - u[j].imag() * c.imag(),
                         u[j].real() * c.imag() + u[j].imag() * c.real());
    }
    return true;
}

}  // namespace

bool FourierSums(std::span<const double> y, double f0, double df, double dt, std::size_t lines,
                 SumMethod method, std::vector<Complex>& out, const ProgressFn& progress) {
    out.assign(lines, Complex(0.0, 0.0));
    if (lines == 0 || y.empty()) {
        return true;
    }
    const TwoDouble a = ExactProduct(f0, dt);
    const TwoDouble b = ExactProduct(df, dt);
    if (method == SumMethod::kAuto) {
        // Rough costs in nanoseconds on one core: a multiply-add of the rotation per sample and line,
        // against three transforms of the padded length and two table sines per sample.
        const double m = static_cast<double>(y.size());
        std::size_t size = 1;
        while (size < y.size() + lines - 1) {
            size *= 2;
        }
        const double rotation = 1.2 * m * static_cast<double>(lines);
        const double chirp = 30.0 * static_cast<double>(size) + 12.0 * m + 6.0 * static_cast<double>(lines);
        method = rotation <= chirp ? SumMethod::kRotation : SumMethod::kChirpZ;
    }
    return method == SumMethod::kRotation ? RotationSums(y, a, b, lines, out, progress)
                                          : ChirpZSums(y, a, b, lines, out, progress);
}

}  // namespace detail

StepResult PartSpectrum(const Series& s, Series& out, const PartSpectrumRange& range,
                        const ProgressFn& progress) {
    if (s.kind != common::kKindSignal) {
        return StepResult::kSkipped;
    }
    const double step = range.stepFreq;
    if (!std::isfinite(step) || !(step > 0.0) || !std::isfinite(range.beginFreq) ||
        !std::isfinite(range.endFreq) || range.beginFreq < 0.0 || std::isnan(range.beginTime) ||
        std::isnan(range.endTime)) {
        return StepResult::kBadParameters;
    }
    const std::size_t n = s.Count();
    if (n < 2 || !std::isfinite(s.xStep) || !(s.xStep > 0.0)) {
        return StepResult::kUnfitInput;
    }
    const double beginTime = std::max(range.beginTime, s.xStart);
    const double endTime = std::min(range.endTime, s.xEnd);
    const std::size_t i1 = s.IndexOfX(beginTime);
    std::size_t i2 = s.IndexOfX(endTime);
    if (!(i1 < i2)) {
        return StepResult::kBadParameters;
    }
    i2 = std::min(i2, i1 + kMaxFftPoints - 1);

    const double lineCount = std::nearbyint((range.endFreq - range.beginFreq) / step + 1.0);
    if (!(lineCount >= 1.0) || lineCount > static_cast<double>(kMaxPartSpectrumLines)) {
        return StepResult::kBadParameters;
    }
    const auto k = static_cast<std::size_t>(lineCount);
    const double beginFreq = std::nearbyint(range.beginFreq / step) * step;
    const double endFreq = beginFreq + static_cast<double>(k - 1) * step;

    // Lines are computed up to the first one beyond the Nyquist frequency; the rest stay 0.
    std::size_t active = 0;
    for (std::size_t j = 0; j < k; ++j) {
        ++active;
        const double f = beginFreq + static_cast<double>(j) * step;
        const double omega = 2.0 * std::numbers::pi * f * s.xStep;
        if (omega > std::numbers::pi) {
            break;
        }
    }

    const std::size_t samples = i2 - i1 + 1;
    std::vector<Complex> sums;
    if (!detail::FourierSums(std::span<const double>(s.y.data() + i1, samples), beginFreq, step, s.xStep,
                             active, detail::SumMethod::kAuto, sums, progress)) {
        return StepResult::kCancelled;
    }
    std::vector<double> values(k, 0.0), phases(k, 0.0);
    const double scale = 2.0 / static_cast<double>(samples);
    for (std::size_t j = 0; j < active; ++j) {
        const double re = sums[j].real(), im = sums[j].imag();
        values[j] = std::sqrt(re * re + im * im) * scale;
        phases[j] = detail::LinePhase(re, im);
    }
    if (&out != &s) {
        out = s.DescriptorOnly();
    }
    out.kind = common::kKindPartSpectrum;
    out.flags |= Series::kComplexFlag;
    out.y = std::move(values);
    out.phase = std::move(phases);
    out.xStart = beginFreq;
    out.xEnd = endFreq;
    out.xStep = step;
    out.RecomputePeak();
    return StepResult::kDone;
}

}  // namespace velmar::analysis
