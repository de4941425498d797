#pragma once

#include <span>

namespace velmar::analysis {

// How the two end conditions of a cubic spline are given.
enum class SplineEnd : int {
    kSlopes = 1,             // a and b are the first derivatives at the first and the last knot
    kSecondDerivatives = 2,  // a and b are the second derivatives there; a = b = 0 is the natural spline
    kPeriodic = 3,           // the last knot repeats the first; a and b are not used
};

// Fits the cubic interpolating spline through (x(i), y(i)) and stores its first derivative at every knot in
// slopes, which SplineValue then uses. x and y have the same length n ≥ 1 and slopes at least n elements;
// the abscissas must be finite and strictly increasing. One knot gives a straight line through it (slope a
// for kSlopes, flat otherwise). For kPeriodic the slope at the last knot equals that at the first and the
// last value is taken as given. Returns false, leaving slopes untouched, when the input breaks these rules.
bool SplineFit(SplineEnd mode, std::span<const double> x, std::span<const double> y, double a, double b,
               std::span<double> slopes);

// Value at `at` of the spline whose knot slopes SplineFit produced. Before the first knot the first piece
// and after the last knot the last piece is extrapolated. No knots give 0; one knot gives the line through
// it with its slope.
double SplineValue(std::span<const double> x, std::span<const double> y, std::span<const double> slopes,
                   double at);

}  // namespace velmar::analysis
