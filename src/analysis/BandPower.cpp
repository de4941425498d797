// Power in frequency bands: every line of a band shows √Σy² over the band.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "analysis/TransformSteps.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

constexpr double kLastEdgeTolerance = 0.00001;  // Hz
// A ratio so close to 1 that the bands would outnumber any spectrum's lines many times over is refused
// rather than run for minutes.
constexpr double kMaxConstantPercentBands = 1 << 21;

class BandWriter {
  public:
    BandWriter(const Series& source, std::vector<double>& out) : source_(source), out_(out) {}

    void Band(double low, double high) {
        std::size_t first = source_.IndexOfX(low);
        if (source_.X(first) < low) {
            ++first;
        }
        const std::size_t last = source_.IndexOfX(high);
        if (first > last || first >= out_.size()) {
            return;
        }
        double sum = 0.0;
        for (std::size_t i = first; i <= last; ++i) {
            sum += source_.y[i] * source_.y[i];
        }
        const double power = std::sqrt(sum);
        std::fill(out_.begin() + static_cast<std::ptrdiff_t>(first),
                  out_.begin() + static_cast<std::ptrdiff_t>(last) + 1, power);
    }

  private:
    const Series& source_;
    std::vector<double>& out_;
};

}  // namespace

StepResult BandPower(const Series& s, Series& result, const BandSpec& bandSpec) {
    if (s.kind != common::kKindSpectrum) {
        return StepResult::kSkipped;
    }
    const std::size_t n = s.Count();
    if (n == 0 || !std::isfinite(s.xStep) || !std::isfinite(s.xStart)) {
        return StepResult::kUnfitInput;
    }
    const double top = s.xStep * static_cast<double>(n - 1);
    std::vector<double> out(n, 0.0);
    BandWriter writer(s, out);

    if (bandSpec.mode == 0) {
        const double ratio = bandSpec.ratio;
        // A ratio of 1 or less never climbs to the top of the spectrum.
        if (!std::isfinite(ratio) || !(ratio > 1.0)) {
            return StepResult::kBadParameters;
        }
        if (top > kFirstBandEdge &&
            std::log(top / kFirstBandEdge) / std::log(ratio) > kMaxConstantPercentBands) {
            return StepResult::kBadParameters;
        }
        double low = kFirstBandEdge;
        double high = std::min(low * ratio, top);
        for (;;) {
            writer.Band(low, high);
            low = high;
            high = std::min(low * ratio, top);
            if (std::fabs(top - low) < kLastEdgeTolerance) {
                break;
            }
        }
    } else if (bandSpec.mode == 1) {
        const std::size_t count = std::min<std::size_t>(bandSpec.count, kMaxUserBands);
        if (count == 0) {
            return StepResult::kBadParameters;
        }
        for (std::size_t k = 0; k < count; ++k) {
            double low = bandSpec.bands[k].low;
            double high = bandSpec.bands[k].high;
            if (!std::isfinite(low) || !std::isfinite(high) || low > top) {
                continue;
            }
            low = std::max(low, 0.0);
            high = std::min(high, top);
            writer.Band(low, high);
        }
    } else {
        return StepResult::kBadParameters;
    }

    if (&result != &s) {
        result = s.DescriptorOnly();
    }
    result.kind = common::kKindBandPower;
    result.flags &= static_cast<std::uint8_t>(~Series::kComplexFlag);
    result.y = std::move(out);
    result.phase.clear();
    result.xStart = 0.0;
    result.xEnd = top;
    result.RecomputePeak();
    return StepResult::kDone;
}

}  // namespace velmar::analysis
