#include "analysis/PhaseAngle.hpp"

#include <cmath>

namespace velmar::analysis {

double PhaseAngle(double re, double im) {
    if (re == 0.0 && im == 0.0) {
        return 0.0;
    }
    // 90° − arg(re + i·im) is the argument of im + i·re. Taking it with atan2 rather than as arccos(im/r)
    // keeps full accuracy near the axes and needs no modulus, which overflows for components beyond 1e154
    // and underflows to 0 below 1e-162.
    constexpr double kDegreesPerRadian = 57.295779513082320876798154814105;
    double degrees = std::atan2(re, im) * kDegreesPerRadian;
    if (degrees < 0.0) {
        degrees += 360.0;
        // A tiny negative angle lands on 360 itself after rounding.
        if (degrees >= 360.0) {
            degrees = 0.0;
        }
    }
    return degrees + 0.0;  // no negative zero
}

}  // namespace velmar::analysis
