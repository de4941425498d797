#pragma once

#include <span>

namespace velmar::analysis {

// Value at x of the polynomial through the equally spaced points (x1 + j·h, y(j)), j = 0 … count − 1, for
// three to six points. Any other count, and a spacing that is zero or not finite, gives 0.
double LagrangeValue(std::span<const double> y, double x1, double h, double x);

// One point of a piecewise-linear table as it is stored: single-precision abscissa and value.
struct TablePoint {
    float x;
    float y;
};

// Piecewise-linear lookup with the ends held: the first value up to the first abscissa, the last value from
// the last abscissa on, linear between the first pair that brackets x (x(j) ≤ x < x(j+1)). An empty table
// gives 0 and a NaN x gives NaN.
double TableValue(std::span<const TablePoint> table, double x);

}  // namespace velmar::analysis
