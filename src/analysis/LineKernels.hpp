#pragma once
// Internal to the transform steps: the loops that run once per line of a spectrum of up to a million lines,
// built for the x86-64 baseline and for AVX2 with FMA, the better chosen when the program starts.

#include <cstddef>

namespace velmar::analysis::detail {

// For the complex values z (interleaved re, im) of `count` lines: values[i] = |z(i)|·scale and phases[i] =
// LinePhase(z(i)) (TrigTables.hpp). `phases` may be null when no phases are wanted.
void MagnitudesAndPhases(const double* z, std::size_t count, double scale, double* values, double* phases);

// y[i] := 0 for i < zeroed and where x(i) = 0, else y[i]·factor/x(i), with x(i) = x0 + i·dx.
void DivideByFrequency(double* y, std::size_t count, double x0, double dx, double factor, std::size_t zeroed);

// y[i] := y[i]·factor·x(i), with x(i) = x0 + i·dx.
void MultiplyByFrequency(double* y, std::size_t count, double x0, double dx, double factor);

// p[i] := NormalizeAngle(p[i] + turn), for |turn| < 360.
void TurnPhases(double* p, std::size_t count, double turn);

}  // namespace velmar::analysis::detail
