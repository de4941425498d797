// Integration, differentiation and the drift removal of integrated signals.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

#include "analysis/LineKernels.hpp"
#include "analysis/Spline.hpp"
#include "analysis/TransformSteps.hpp"
#include "analysis/TrigTables.hpp"
#include "common/Numbers.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

constexpr double kUnitScale = 1000.0;  // m/s² → mm/s and mm/s → µm
constexpr int kDetrendPasses = 10;
constexpr std::size_t kEighthDetrendAbove = 2048;
// Frequency-domain integration zeroes the lowest lines: this fraction of the line count, at most 20.
constexpr double kLowLinesAcceleration = 0.001;
constexpr double kLowLinesVelocity = 0.015;
constexpr double kMaxLowLines = 20.0;

bool IsTimeDomainSignal(const Series& s) {
    return s.kind == common::kKindSignal;
}

// Σ u^p for u = 0 … count − 1, p = 0 … 3.
std::array<double, 4> PowerSumsFromZero(double count) {
    const double last = count - 1.0;
    const double s1 = last * count / 2.0;
    const double s2 = last * count * (2.0 * last + 1.0) / 6.0;
    return {count, s1, s2, s1 * s1};
}

// A cubic piece c0 + c1·t + c2·t² + c3·t³ with t = i − origin.
struct Piece {
    double origin;
    double c0, c1, c2, c3;
    double At(double i) const {
        const double t = i - origin;
        return ((c3 * t + c2) * t + c1) * t + c0;
    }
    // Σ of the piece over the integers first … last (first ≤ last, both at or beyond the origin, where
    // every power of t is positive and the sums lose nothing to cancellation).
    double Sum(double first, double last) const {
        const double count = last - first + 1.0;
        const double t0 = first - origin;
        const std::array<double, 4> u = PowerSumsFromZero(count);
        const double s1 = count * t0 + u[1];
        const double s2 = count * t0 * t0 + 2.0 * t0 * u[1] + u[2];
        const double s3 = count * t0 * t0 * t0 + 3.0 * t0 * t0 * u[1] + 3.0 * t0 * u[2] + u[3];
        return c0 * count + c1 * s1 + c2 * s2 + c3 * s3;
    }
};

// The baseline spline of one detrend pass, as cubic pieces over the point numbers 1 … n. The knots are the
// segment centres plus one knot far out on either side.
class Baseline {
  public:
    bool Fit(const std::vector<double>& knotX, const std::vector<double>& knotY) {
        slopes_.assign(knotX.size(), 0.0);
        if (!SplineFit(SplineEnd::kSecondDerivatives, knotX, knotY, 0.0, 0.0, slopes_)) {
            return false;
        }
        pieces_.clear();
        for (std::size_t k = 0; k + 1 < knotX.size(); ++k) {
            const double h = knotX[k + 1] - knotX[k];
            const double slope = (knotY[k + 1] - knotY[k]) / h;
            const double m0 = slopes_[k], m1 = slopes_[k + 1];
            pieces_.push_back(Piece{knotX[k], knotY[k], m0, (3.0 * slope - 2.0 * m0 - m1) / h,
                                    (m0 + m1 - 2.0 * slope) / (h * h)});
        }
        knotX_ = knotX;
        for (const Piece& p : pieces_) {
            if (!std::isfinite(p.c0) || !std::isfinite(p.c1) || !std::isfinite(p.c2) ||
                !std::isfinite(p.c3)) {
                return false;
            }
        }
        return true;
    }

    // Σ C(i) for the integers first … last. A point on a knot belongs to the piece on its right, the one a
    // spline evaluation picks for it.
    double Sum(std::int64_t first, std::int64_t last) const {
        double sum = 0.0;
        for (std::size_t k = 0; k < pieces_.size() && first <= last; ++k) {
            const bool lastPiece = k + 1 == pieces_.size();
            // Integers of this piece: up to just below its right knot (all that are left for the last).
            std::int64_t end = last;
            if (!lastPiece) {
                const std::int64_t belowRight = static_cast<std::int64_t>(std::ceil(knotX_[k + 1])) - 1;
                end = std::min(end, belowRight);
            }
            if (end >= first) {
                sum += pieces_[k].Sum(static_cast<double>(first), static_cast<double>(end));
                first = end + 1;
            }
        }
        return sum;
    }

    // y(i) := y(i) − C(i) for i = 1 … n (y[0 … n−1]). Refused, touching nothing, when some C(i) might not
    // be finite: each piece is bounded from its coefficients over its stretch first.
    bool SubtractFrom(std::vector<double>& y) const {
        const std::int64_t n = static_cast<std::int64_t>(y.size());
        struct Stretch {
            std::int64_t first, last;
        };
        std::vector<Stretch> stretches(pieces_.size());
        std::int64_t i = 1;
        for (std::size_t k = 0; k < pieces_.size(); ++k) {
            std::int64_t end = n;
            if (k + 1 < pieces_.size()) {
                end = std::min(end, static_cast<std::int64_t>(std::ceil(knotX_[k + 1])) - 1);
            }
            stretches[k] = Stretch{i, end};
            if (end >= i) {
                const Piece& p = pieces_[k];
                const double t = std::max(std::fabs(static_cast<double>(i) - p.origin),
                                          std::fabs(static_cast<double>(end) - p.origin));
                const double bound =
                    std::fabs(p.c0) + t * (std::fabs(p.c1) + t * (std::fabs(p.c2) + t * std::fabs(p.c3)));
                if (!std::isfinite(bound)) {
                    return false;
                }
                i = end + 1;
            }
        }
        for (std::size_t k = 0; k < pieces_.size(); ++k) {
            const Piece& p = pieces_[k];
            for (std::int64_t j = stretches[k].first; j <= stretches[k].last; ++j) {
                y[static_cast<std::size_t>(j - 1)] -= p.At(static_cast<double>(j));
            }
        }
        return true;
    }

  private:
    std::vector<double> knotX_;
    std::vector<double> slopes_;
    std::vector<Piece> pieces_;
};

// Descriptor of an integrated or differentiated series, in place.
void ShiftQuantityDescriptor(Series& s, std::int32_t quantity, double phaseTurn) {
    s.quantity = quantity;
    s.phaseShift += phaseTurn;
    if (!(s.rms > 0.0)) {
        s.rms = 0.0;
    }
    s.carried75 = 0.0;
    s.peak = 0.0;
}

}  // namespace

void RemoveMean(Series& s) {
    const std::size_t n = s.Count();
    if (n > 0) {
        double sum = 0.0;
        for (double v : s.y) {
            sum += v;
        }
        const double mean = sum / static_cast<double>(n);
        for (double& v : s.y) {
            v -= mean;
        }
    }
    s.RecomputePeak();
}

bool Detrend(Series& s, int segments) {
    const std::size_t n = s.Count();
    if (segments < 1) {
        return false;
    }
    const std::size_t m = static_cast<std::size_t>(segments);
    const std::size_t length = n / m;
    if (length < 2) {
        return false;
    }
    const double invLength = 1.0 / static_cast<double>(length);
    const std::vector<double>& y = s.y;

    // Knot abscissas are point numbers counted from 1, as the baseline is evaluated at them.
    std::vector<double> knotX(m + 2), knotY(m + 2);
    std::vector<double> mean(m), mean0(m);
    knotX[0] = -static_cast<double>(n);
    knotX[m + 1] = 2.0 * static_cast<double>(n);
    for (std::size_t k = 0; k < m; ++k) {
        const std::size_t start = k * length;  // segment k covers point numbers start+1 … start+length
        knotX[k + 1] = static_cast<double>(start + length / 2);
        double sum = 0.0;
        // Mean of the trapezoids inside the segment; L − 1 of them divided by L, as the program has always
        // measured segment levels.
        for (std::size_t i = start + 2; i <= start + length; ++i) {
            sum += (y[i - 2] + y[i - 1]) / 2.0;
        }
        mean[k] = sum * invLength;
    }
    mean0 = mean;

    Baseline baseline;
    for (int pass = 1; pass <= kDetrendPasses; ++pass) {
        for (std::size_t k = 0; k < m; ++k) {
            knotY[k + 1] = mean[k];
        }
        knotY[0] = mean[0];
        knotY[m + 1] = mean[m - 1];
        if (!baseline.Fit(knotX, knotY)) {
            return false;
        }
        if (pass == kDetrendPasses) {
            break;
        }
        for (std::size_t k = 0; k < m; ++k) {
            const auto first = static_cast<std::int64_t>(k * length + 2);
            const auto last = static_cast<std::int64_t>(k * length + length);
            // Σ (C(i) + C(i−1)/2): the weighting the refinement has always used, kept so that results stay
            // what users know.
            double level = (baseline.Sum(first, last) + baseline.Sum(first - 1, last - 1) / 2.0) * invLength;
            if (level == 0.0) {
                level = 1.0;
            }
            mean[k] = std::numbers::sqrt2 * mean[k] * mean0[k] / level;
            if (!std::isfinite(mean[k])) {
                return false;
            }
        }
    }
    if (!baseline.SubtractFrom(s.y)) {
        return false;
    }
    s.RecomputePeak();
    return true;
}

StepResult Integrate(Series& s) {
    if (s.kind == common::kKindCepstrum ||
        (s.quantity != common::kQuantityVelocity && s.quantity != common::kQuantityAcceleration)) {
        return StepResult::kSkipped;
    }
    const bool fromVelocity = s.quantity == common::kQuantityVelocity;
    const std::size_t n = s.Count();
    if (IsTimeDomainSignal(s)) {
        if (n > 0 && !(std::isfinite(s.xStep) && s.xStep > 0.0)) {
            return StepResult::kUnfitInput;
        }
        ShiftQuantityDescriptor(s, fromVelocity ? common::kQuantityDisplacement : common::kQuantityVelocity,
                                90.0);
        RemoveMean(s);
        const double scale = s.xStep * kUnitScale;
        double sum = 0.0;
        double previous = n > 0 ? s.y[0] : 0.0;
        if (n > 0) {
            s.y[0] = 0.0;
        }
        for (std::size_t i = 1; i < n; ++i) {
            const double current = s.y[i];
            sum += (previous + current) / 2.0 * scale;
            s.y[i] = sum;
            previous = current;
        }
        RemoveMean(s);
        Detrend(s, 2);
        if (fromVelocity) {
            Detrend(s, 4);
            if (n > kEighthDetrendAbove) {
                Detrend(s, 8);
            }
        }
        s.RecomputePeak();
        return StepResult::kDone;
    }

    ShiftQuantityDescriptor(s, fromVelocity ? common::kQuantityDisplacement : common::kQuantityVelocity,
                            90.0);
    const double fraction = fromVelocity ? kLowLinesVelocity : kLowLinesAcceleration;
    const double low = std::min(std::nearbyint(static_cast<double>(n) * fraction), kMaxLowLines);
    const auto zeroed = static_cast<std::size_t>(low);
    constexpr double kScale = kUnitScale / (2.0 * std::numbers::pi);
    if (s.IsHarmonics()) {
        for (std::size_t i = 0; i < n; ++i) {
            const double x = s.X(i);
            s.y[i] = (i < zeroed || x == 0.0) ? 0.0 : s.y[i] * kScale / x;
        }
    } else {
        detail::DivideByFrequency(s.y.data(), n, s.xStart, s.xStep, kScale, zeroed);
    }
    detail::TurnPhases(s.phase.data(), s.phase.size(), 90.0);
    if (s.IsHarmonics()) {
        std::fill(s.fourth.begin(), s.fourth.end(), 0.0);
        s.totalPeakArea = 0.0;
    }
    s.RecomputePeak();
    return StepResult::kDone;
}

StepResult Differentiate(Series& s) {
    if (s.kind == common::kKindCepstrum ||
        (s.quantity != common::kQuantityDisplacement && s.quantity != common::kQuantityVelocity)) {
        return StepResult::kSkipped;
    }
    const bool fromDisplacement = s.quantity == common::kQuantityDisplacement;
    const std::int32_t quantity =
        fromDisplacement ? common::kQuantityVelocity : common::kQuantityAcceleration;
    const std::size_t n = s.Count();
    if (IsTimeDomainSignal(s)) {
        if (n > 0 && !(std::isfinite(s.xStep) && s.xStep > 0.0)) {
            return StepResult::kUnfitInput;
        }
        ShiftQuantityDescriptor(s, quantity, -90.0);
        const double denominator = 12.0 * s.xStep * kUnitScale;
        const std::vector<double>& y = s.y;
        std::vector<double> d(n, 0.0);
        if (n >= 7) {
            for (std::size_t i = 2; i + 2 < n; ++i) {
                d[i] = (y[i - 2] - 8.0 * y[i - 1] + 8.0 * y[i + 1] - y[i + 2]) / denominator;
            }
            // The two points at either end have no five-point neighbourhood: extrapolated linearly.
            d[1] = d[2] + (d[2] - d[4]) / 2.0;
            d[0] = d[1];
            d[n - 2] = d[n - 3] + (d[n - 3] - d[n - 5]) / 2.0;
            d[n - 1] = d[n - 2];
        } else if (n >= 2) {
            // Too short for the five-point rule: central differences inside, one-sided at the ends.
            const double h = s.xStep * kUnitScale;
            d[0] = (y[1] - y[0]) / h;
            d[n - 1] = (y[n - 1] - y[n - 2]) / h;
            for (std::size_t i = 1; i + 1 < n; ++i) {
                d[i] = (y[i + 1] - y[i - 1]) / (2.0 * h);
            }
        }
        s.y = std::move(d);
        RemoveMean(s);
        return StepResult::kDone;
    }

    ShiftQuantityDescriptor(s, quantity, -90.0);
    constexpr double kScale = 2.0 * std::numbers::pi / kUnitScale;
    if (s.IsHarmonics()) {
        for (std::size_t i = 0; i < n; ++i) {
            s.y[i] = s.y[i] * kScale * s.X(i);
        }
    } else {
        detail::MultiplyByFrequency(s.y.data(), n, s.xStart, s.xStep, kScale);
    }
    detail::TurnPhases(s.phase.data(), s.phase.size(), -90.0);
    if (s.IsHarmonics()) {
        std::fill(s.fourth.begin(), s.fourth.end(), 0.0);
        s.totalPeakArea = 0.0;
    }
    s.RecomputePeak();
    return StepResult::kDone;
}

}  // namespace velmar::analysis
