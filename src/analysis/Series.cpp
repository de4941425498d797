#include "analysis/Series.hpp"

#include <algorithm>
#include <cmath>

#include "common/Vocabulary.hpp"

namespace velmar::analysis {

std::size_t Series::IndexOfX(double at) const noexcept {
    const std::size_t n = Count();
    if (n == 0) {
        return 0;
    }
    if (!(xStart <= at) || xStep == 0.0) {
        return 0;
    }
    if (at > xEnd) {
        return n - 1;
    }
    if (!x.empty()) {
        std::size_t best = 0;
        double bestDistance = std::fabs(at - x[0]);
        for (std::size_t i = 1; i < x.size(); ++i) {
            const double distance = std::fabs(at - x[i]);
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        return best;
    }
    const double q = std::nearbyint((at - xStart) / xStep);
    if (!(q > 0.0)) {
        return 0;
    }
    // A stale xEnd (or a damaged step) must not lead past the points there are.
    return q >= static_cast<double>(n - 1) ? n - 1 : static_cast<std::size_t>(q);
}

void Series::RecomputePeak() noexcept {
    double m = 0.0;
    for (double v : y) {
        m = std::max(m, std::fabs(v));
    }
    peak = m;
}

Series Series::DescriptorOnly() const {
    Series d;
    d.kind = kind;
    d.quantity = quantity;
    d.recordedAt = recordedAt;
    d.rms = rms;
    d.peak = peak;
    d.phaseShift = phaseShift;
    d.xStart = xStart;
    d.xEnd = xEnd;
    d.xStep = xStep;
    d.flags = flags;
    d.reserved57 = reserved57;
    d.reserved61 = reserved61;
    d.carried63 = carried63;
    d.phaseShift2 = phaseShift2;
    d.carried75 = carried75;
    d.totalPeakArea = totalPeakArea;
    return d;
}

int KindPosition(std::uint32_t kind) noexcept {
    const auto& order = common::kKindOrder;
    const auto it = std::find(order.begin(), order.end(), kind);
    return it == order.end() ? -1 : static_cast<int>(it - order.begin());
}

int QuantityPosition(std::uint32_t quantity) noexcept {
    const auto& order = common::kQuantityOrder;
    const auto it = std::find(order.begin(), order.end(), quantity);
    return it == order.end() ? -1 : static_cast<int>(it - order.begin());
}

}  // namespace velmar::analysis
