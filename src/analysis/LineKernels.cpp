#include "analysis/LineKernels.hpp"

#include <cmath>

#include "analysis/TrigTables.hpp"

namespace velmar::analysis::detail {

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VELMAR_LINE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VELMAR_LINE_CLONES
#endif

VELMAR_LINE_CLONES
void MagnitudesAndPhases(const double* z, std::size_t count, double scale, double* values, double* phases) {
    for (std::size_t i = 0; i < count; ++i) {
        const double re = z[2 * i], im = z[2 * i + 1];
        values[i] = std::sqrt(re * re + im * im) * scale;
    }
    if (phases != nullptr) {
        for (std::size_t i = 0; i < count; ++i) {
            phases[i] = LinePhase(z[2 * i], z[2 * i + 1]);
        }
    }
}

VELMAR_LINE_CLONES
void DivideByFrequency(double* y, std::size_t count, double x0, double dx, double factor,
                       std::size_t zeroed) {
    for (std::size_t i = 0; i < count; ++i) {
        const double x = x0 + static_cast<double>(i) * dx;
        const double v = y[i] * factor / (x != 0.0 ? x : 1.0);
        y[i] = (i < zeroed || x == 0.0) ? 0.0 : v;
    }
}

VELMAR_LINE_CLONES
void MultiplyByFrequency(double* y, std::size_t count, double x0, double dx, double factor) {
    for (std::size_t i = 0; i < count; ++i) {
        y[i] = y[i] * factor * (x0 + static_cast<double>(i) * dx);
    }
}

VELMAR_LINE_CLONES
void TurnPhases(double* p, std::size_t count, double turn) {
    // Stored phases are within a turn almost always; then a select or two brings each one back.
    std::size_t outside = 0;
    for (std::size_t i = 0; i < count; ++i) {
        outside += (p[i] >= 0.0 && p[i] < 360.0) ? 0 : 1;
    }
    if (outside != 0) {
        for (std::size_t i = 0; i < count; ++i) {
            p[i] = WrapDegrees(p[i] + turn);
        }
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        double q = p[i] + turn;
        q = q >= 360.0 ? q - 360.0 : q;
        q = q < 0.0 ? q + 360.0 : q;
        p[i] = q >= 360.0 ? 0.0 : q;  // a tiny negative angle plus 360 rounds to 360 itself
    }
}

}  // namespace velmar::analysis::detail
