#pragma once

namespace velmar::analysis {

// The program's phase of a complex value, in degrees in [0, 360): 90° minus the argument of re + i·im, so
// that (1, 0) gives 90, (0, 1) gives 0, (−1, 0) gives 270 and (0, −1) gives 180. Zero gives 0; NaN gives NaN.
double PhaseAngle(double re, double im);

}  // namespace velmar::analysis
