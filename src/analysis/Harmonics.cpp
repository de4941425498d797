// The harmonics step: the peaks of a spectrum, each with a refined frequency and amplitude, its phase and
// its area.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "analysis/Interpolation.hpp"
#include "analysis/TransformSteps.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

constexpr std::size_t kMaxPeaks = 128;  // the PeakTable
constexpr double kFirstPercent = 4.0;
constexpr double kPercentStep = 4.0;
constexpr double kLastPercent = 90.0;
constexpr double kVelocityBaseFactor = 1.5;  // × RMS
constexpr double kBracketWidthHz = 0.0002;
constexpr std::size_t kMaxInterpolationPoints = 6;
constexpr int kMaxBisections = 200;  // far more than any finite line spacing needs

struct Peak {
    double frequency = 0;
    double amplitude = 0;
    double phase = 0;
    double area = 0;
    std::size_t line = 0;  // 1-based line of the maximum
};

class PeakScan {
  public:
    explicit PeakScan(const Series& s) : s_(s), n_(s.Count()) {}

    double Y(std::size_t i) const { return s_.y[i - 1]; }  // 1-based, as the rules are written

    // One scan at `threshold`. False when a peak more than the table holds was found.
    bool Run(double threshold, std::vector<Peak>& table, double& totalArea, double& largest) const {
        enum class State { kBelow, kRising, kFalling };
        table.clear();
        totalArea = 0.0;
        largest = 0.0;
        const double step = s_.xStep;
        Peak current;
        State state = State::kRising;
        if (Y(1) > Y(2)) {
            state = State::kFalling;
            current = Peak{s_.X(0), Y(1), s_.RawPhase(0), 0.0, 1};
        }
        if (Y(1) < threshold) {
            state = State::kBelow;
        }
        double area = 0.0;
        for (std::size_t i = 2; i <= n_; ++i) {
            const double yi = Y(i), yp = Y(i - 1);
            if (state == State::kBelow && yi > yp && yi > threshold) {
                state = State::kRising;
                area = 0.0;
            } else if (state == State::kRising && (yi < yp || yi < threshold)) {
                current = Peak{s_.X(i - 2), yp, s_.RawPhase(i - 2), 0.0, i - 1};
                state = State::kFalling;
            } else if (state == State::kFalling && (yi > yp || yi < threshold || i == n_)) {
                Refine(current);
                current.area = area;
                if (table.size() == kMaxPeaks) {
                    return false;
                }
                table.push_back(current);
                totalArea += area;
                largest = std::max(largest, current.amplitude);
                state = yi > threshold ? State::kRising : State::kBelow;
                area = 0.0;
            }
            area += (yp + yi) / 2.0 * step;
        }
        return true;
    }

  private:
    // Frequency and amplitude of the peak between the lines, from the polynomial through up to six lines
    // of its shape, found by halving the bracket between the top line and its higher neighbour.
    void Refine(Peak& peak) const {
        const std::size_t c = peak.line;
        if (c < 2 || c + 1 > n_) {
            return;
        }
        const double yc = Y(c);
        if (!(Y(c - 1) > yc / 2.0 || Y(c + 1) > yc / 2.0)) {
            return;
        }
        std::size_t l = yc > Y(c - 1) ? 1 : 0;
        std::size_t r = Y(c + 1) < yc ? 1 : 0;
        for (std::size_t j = c - 1; j >= 2 && Y(j) > Y(j - 1) && Y(j) - Y(j - 1) >= Y(j + 1) - Y(j); --j) {
            ++l;
        }
        for (std::size_t j = c + 1; j + 1 <= n_ && Y(j) > Y(j + 1) && Y(j) - Y(j + 1) >= Y(j - 1) - Y(j);
             ++j) {
            ++r;
        }
        if (l < 1 || r < 1) {
            return;
        }
        while (l + r + 1 > kMaxInterpolationPoints) {
            if (l > r) {
                --l;
            } else {
                --r;
            }
        }
        const std::span<const double> points(&s_.y[c - l - 1], l + r + 1);
        const double x1 = s_.X(c - l - 1);
        const double h = s_.xStep;

        double lo = s_.X(c - 1), hi = s_.X(c);  // bracket towards the higher neighbour
        double vLo = yc, vHi = Y(c + 1);
        if (Y(c + 1) < Y(c - 1)) {
            lo = s_.X(c - 2);
            hi = s_.X(c - 1);
            vLo = Y(c - 1);
            vHi = yc;
        }
        // Lines closer than the bracket width need no refinement: the top line is the answer.
        if (!(hi - lo > kBracketWidthHz)) {
            return;
        }
        double value = yc;
        for (int pass = 0; pass < kMaxBisections && hi - lo > kBracketWidthHz; ++pass) {
            const double mid = (lo + hi) / 2.0;
            value = LagrangeValue(points, x1, h, mid);
            if (vLo >= vHi) {
                hi = mid;
                vHi = value;
            } else {
                lo = mid;
                vLo = value;
            }
        }
        peak.frequency = (lo + hi) / 2.0;
        peak.amplitude = value;
    }

    const Series& s_;
    std::size_t n_;
};

}  // namespace

StepResult HarmonicsStep(const Series& s, Series& out) {
    if (s.kind != common::kKindSpectrum && s.kind != common::kKindPartSpectrum &&
        s.kind != common::kKindEnvelopeSpectrum) {
        return StepResult::kSkipped;
    }
    if (s.Count() < 2 || !std::isfinite(s.xStep) || !std::isfinite(s.xStart)) {
        return StepResult::kUnfitInput;
    }
    double base = s.peak;
    if (s.quantity == common::kQuantityVelocity && s.rms > 0.0) {
        base = kVelocityBaseFactor * s.rms;
    } else if (!(base > 0.0) || !std::isfinite(base)) {
        // A stored peak of 0 is stale: the lines decide.
        base = 0.0;
        for (double v : s.y) {
            base = std::max(base, std::fabs(v));
        }
    }

    const PeakScan scan(s);
    std::vector<Peak> table;
    double totalArea = 0.0, largest = 0.0;
    for (double percent = kFirstPercent;; percent += kPercentStep) {
        if (scan.Run(base * percent / 100.0, table, totalArea, largest)) {
            break;
        }
        // More peaks than the table holds: raise the threshold, unless that would pass the last one; then
        // the peaks found so far are the answer.
        if (percent + kPercentStep > kLastPercent) {
            break;
        }
    }

    const std::size_t count = table.size();
    std::vector<double> x(count), y(count), phase(count), fourth(count);
    for (std::size_t i = 0; i < count; ++i) {
        x[i] = table[i].frequency;
        y[i] = table[i].amplitude;
        phase[i] = table[i].phase;
        fourth[i] = table[i].area;
    }
    if (&out != &s) {
        out = s.DescriptorOnly();
    }
    out.x = std::move(x);
    out.y = std::move(y);
    out.phase = std::move(phase);
    out.fourth = std::move(fourth);
    out.kind = common::kKindHarmonics;
    out.flags &= Series::kComplexFlag;
    out.xStart = 0.0;
    out.totalPeakArea = totalArea;
    out.peak = largest;
    return StepResult::kDone;
}

}  // namespace velmar::analysis
