#include "analysis/Interpolation.hpp"

#include <cmath>
#include <cstddef>

namespace velmar::analysis {

double LagrangeValue(std::span<const double> y, double x1, double h, double x) {
    const std::size_t count = y.size();
    if (count < 3 || count > 6 || h == 0.0 || !std::isfinite(h)) {
        return 0.0;
    }
    // In units of the spacing the nodes are 0 … count − 1, so every basis polynomial is a product of small
    // integers; at a node all other bases hold a factor (p − node) that is exactly 0.
    const double p = (x - x1) / h;
    double sum = 0.0;
    for (std::size_t j = 0; j < count; ++j) {
        double numerator = 1.0;
        double denominator = 1.0;
        for (std::size_t i = 0; i < count; ++i) {
            if (i != j) {
                numerator *= p - static_cast<double>(i);
                denominator *= static_cast<double>(j) - static_cast<double>(i);
            }
        }
        sum += y[j] * (numerator / denominator);
    }
    return sum;
}

double TableValue(std::span<const TablePoint> table, double x) {
    if (table.empty()) {
        return 0.0;
    }
    if (std::isnan(x)) {
        return x;
    }
    const std::size_t last = table.size() - 1;
    if (x <= table[0].x) {
        return table[0].y;
    }
    if (x >= table[last].x) {
        return table[last].y;
    }
    // Here x(1) < x < x(n), so some neighbouring pair brackets x even when a table read from a file is not
    // in order, and that pair has a positive width.
    for (std::size_t j = 0; j < last; ++j) {
        const double xa = table[j].x, xb = table[j + 1].x;
        if (xa <= x && x < xb) {
            const double ya = table[j].y, yb = table[j + 1].y;
            return ya + (yb - ya) * ((x - xa) / (xb - xa));
        }
    }
    // Only abscissas that are NaN get here.
    return table[last].y;
}

}  // namespace velmar::analysis
