#pragma once
// Cosines and sines for the transform steps at a fraction of the cost of std::cos/std::sin, to full double
// accuracy (a few units in the last place): windows over millions of samples and the chirps of the zoom
// transform would otherwise cost more than the FFT itself.

#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

#include "common/Numbers.hpp"

namespace velmar::analysis::detail {

// cos and sin of 2π·q/d for the integers q = 0 … d − 1, from two short tables: q = high·kBlock + low, and
// the angle sum rule joins one entry of each.
class RootTable {
  public:
    static constexpr std::size_t kBlock = 1024;

    explicit RootTable(std::size_t d) : d_(d) {
        const std::size_t highCount = d / kBlock + 1;
        low_.resize(kBlock);
        high_.resize(highCount);
        for (std::size_t q = 0; q < kBlock; ++q) {
            low_[q] = Root(q);
        }
        for (std::size_t h = 0; h < highCount; ++h) {
            high_[h] = Root(h * kBlock);
        }
    }

    // exp(2πi·q/d) as (cos, sin).
    std::complex<double> operator()(std::size_t q) const noexcept {
        const std::complex<double>& a = high_[q / kBlock];
        const std::complex<double>& b = low_[q % kBlock];
        return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
    }
    double Cos(std::size_t q) const noexcept {
        const std::complex<double>& a = high_[q / kBlock];
        const std::complex<double>& b = low_[q % kBlock];
        return a.real() * b.real() - a.imag() * b.imag();
    }

  private:
    std::complex<double> Root(std::size_t q) const {
        // The quotient first keeps the angle within an ulp of 2π·q/d for every q.
        const double angle = 2.0 * std::numbers::pi * (static_cast<double>(q) / static_cast<double>(d_));
        return {std::cos(angle), std::sin(angle)};
    }

    std::size_t d_;
    std::vector<std::complex<double>> low_;
    std::vector<std::complex<double>> high_;
};

// exp(2πi·t) for a number of turns t, best for |t| ≤ 1 (only the fraction matters): the nearest of 2048
// table angles, then short Taylor series for the rest (|rest| ≤ 2π/4096, where the dropped terms are
// below 1e-19).
class TurnTable {
  public:
    static constexpr int kBits = 11;
    static constexpr std::size_t kSize = std::size_t{1} << kBits;

    TurnTable() {
        for (std::size_t q = 0; q < kSize; ++q) {
            const double angle =
                2.0 * std::numbers::pi * (static_cast<double>(q) / static_cast<double>(kSize));
            table_[q] = {std::cos(angle), std::sin(angle)};
        }
    }

    std::complex<double> operator()(double turns) const noexcept {
        const double scaled = turns * static_cast<double>(kSize);
        const double nearest = std::nearbyint(scaled);
        const double rest = (scaled - nearest) * (2.0 * std::numbers::pi / static_cast<double>(kSize));
        const auto index = static_cast<std::size_t>(static_cast<std::int64_t>(nearest)) & (kSize - 1);
        const double r2 = rest * rest;
        const double s = rest * (1.0 - r2 / 6.0 * (1.0 - r2 / 20.0 * (1.0 - r2 / 42.0)));
        const double c = 1.0 - r2 / 2.0 * (1.0 - r2 / 12.0 * (1.0 - r2 / 30.0));
        const std::complex<double>& a = table_[index];
        return {a.real() * c - a.imag() * s, a.real() * s + a.imag() * c};
    }

    static const TurnTable& Shared() {
        static const TurnTable table;
        return table;
    }

  private:
    std::array<std::complex<double>, kSize> table_{};
};

// A number held as an unevaluated sum hi + lo, for angles that must stay exact over millions of samples.
struct TwoDouble {
    double hi = 0;
    double lo = 0;
};

// a·b exactly, as hi + lo.
inline TwoDouble ExactProduct(double a, double b) noexcept {
    const double p = a * b;
    return {p, std::fma(a, b, -p)};
}

// The fraction of (a.hi + a.lo)·k in [−0.5, 0.5], for an integer k exactly representable as a double. The
// error is that of rounding the result, not of the size of the product.
inline double FractionOfProduct(const TwoDouble& a, double k) noexcept {
    const TwoDouble p = ExactProduct(a.hi, k);
    const double whole = std::nearbyint(p.hi);
    const double rest = (p.hi - whole) + (p.lo + a.lo * k);
    return rest - std::nearbyint(rest);
}

// Degrees into [0, 360) as NormalizeAngle does, without its division for the values steps meet: a stored
// phase in [0, 360) turned by less than a full turn.
inline double WrapDegrees(double degrees) noexcept {
    if (degrees >= 0.0 && degrees < 360.0) {
        return degrees + 0.0;
    }
    if (degrees >= 360.0 && degrees < 720.0) {
        return degrees - 360.0;
    }
    if (degrees < 0.0 && degrees >= -360.0) {
        const double up = degrees + 360.0;
        return up >= 360.0 ? 0.0 : up;  // a tiny negative angle rounds up to 360 itself
    }
    return common::NormalizeAngle(degrees);
}

// atan2(y, x) in radians to about an ulp, written with selects rather than branches so that loops over
// millions of lines vectorise: the ratio of the smaller to the larger magnitude in [0, 1], above 0.66 turned
// about π/4, then the rational approximation of atan on |t| ≤ 0.66 (from the Cephes library).
[[gnu::always_inline]] inline double Atan2(double y, double x) noexcept {
    constexpr double kP0 = -8.750608600031904122785E-1, kP1 = -1.615753718733365076637E1,
                     kP2 = -7.500855792314704667340E1, kP3 = -1.228866684490136173410E2,
                     kP4 = -6.485021904942025371773E1;
    constexpr double kQ0 = 2.485846490142306297962E1, kQ1 = 1.650270098316988542046E2,
                     kQ2 = 4.328810604912902668951E2, kQ3 = 4.853903996359136964868E2,
                     kQ4 = 1.945506571482613964425E2;
    // What π/4, π/2 and π lose to rounding, added back where they are used.
    constexpr double kPiOver4Low = 3.061616997868383e-17;
    constexpr double kPiOver2Low = 6.123233995736766e-17;
    constexpr double kPiLow = 1.2246467991473532e-16;
    const double ax = std::fabs(x), ay = std::fabs(y);
    const bool steep = ay > ax;
    const double num = steep ? ax : ay;
    const double den = steep ? ay : ax;
    const double t = num / (den > 0.0 ? den : 1.0);  // 0 for 0/0; no division is left out, so loops vectorise
    const bool turned = t > 0.66;
    const double u = turned ? (t - 1.0) / (t + 1.0) : t;
    const double z = u * u;
    const double p = (((kP0 * z + kP1) * z + kP2) * z + kP3) * z + kP4;
    const double q = ((((z + kQ0) * z + kQ1) * z + kQ2) * z + kQ3) * z + kQ4;
    double r = u + u * z * p / q;
    r = turned ? (r + kPiOver4Low) + std::numbers::pi / 4.0 : r;
    r = steep ? (kPiOver2Low - r) + std::numbers::pi / 2.0 : r;
    r = x < 0.0 ? (kPiLow - r) + std::numbers::pi : r;
    return y < 0.0 ? -r : r;  // a negative zero counts as positive: atan2(−0, −1) gives π
}

// The phase a spectrum line stores for its complex value X: 360° − PhaseAngle(Re X, Im X), which is
// arg X + 270° brought into [0, 360); 0 for X = 0. A component A·sin(2πft − φ) reads φ.
[[gnu::always_inline]] inline double LinePhase(double re, double im) noexcept {
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    const double p = Atan2(im, re) * kDegrees + 270.0;
    const double wrapped = p >= 360.0 ? p - 360.0 : p;
    return (re == 0.0 && im == 0.0) ? 0.0 : wrapped;
}

}  // namespace velmar::analysis::detail
