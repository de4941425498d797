#pragma once

// Independent references for the transform tests: a direct DFT in long double and FFTW.

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/Fft.hpp"

namespace velmar::analysis::testing {

using LongComplex = std::complex<long double>;

// X(k) = Σ x(j)·exp(sign·2πi·jk/n), summed in long double with exactly reduced angles.
inline std::vector<LongComplex> DirectDft(const std::vector<Complex>& x, int sign) {
    const std::size_t n = x.size();
    constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
    std::vector<LongComplex> roots(n);
    for (std::size_t r = 0; r < n; ++r) {
        const long double angle = kTwoPi * static_cast<long double>(r) / static_cast<long double>(n);
        roots[r] = LongComplex(std::cos(angle), sign * std::sin(angle));
    }
    // Plain real arithmetic: the library's complex product checks for infinities term by term, which makes
    // an O(n²) reference needlessly slow under the sanitizers.
    std::vector<LongComplex> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        long double sumR = 0, sumI = 0;
        std::size_t index = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const long double xr = x[j].real(), xi = x[j].imag();
            const long double wr = roots[index].real(), wi = roots[index].imag();
            sumR += xr * wr - xi * wi;
            sumI += xr * wi + xi * wr;
            index += k;
            if (index >= n) {
                index -= n;
            }
        }
        out[k] = LongComplex(sumR, sumI);
    }
    return out;
}

// The same sums by FFTW; its FFTW_BACKWARD direction is the exponent +.
inline std::vector<Complex> FftwDft(std::vector<Complex> x, int sign) {
    fftw_complex* data = reinterpret_cast<fftw_complex*>(x.data());
    fftw_plan plan = fftw_plan_dft_1d(static_cast<int>(x.size()), data, data,
                                      sign > 0 ? FFTW_BACKWARD : FFTW_FORWARD, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return x;
}

// ‖got − want‖ / ‖want‖ (or the absolute norm when want is zero), summed in long double.
template <class T>
double RelativeError(const std::vector<Complex>& got, const std::vector<std::complex<T>>& want) {
    long double diff = 0, norm = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const long double wr = want[i].real(), wi = want[i].imag();
        const long double dr = got[i].real() - wr, di = got[i].imag() - wi;
        diff += dr * dr + di * di;
        norm += wr * wr + wi * wi;
    }
    return static_cast<double>(norm > 0 ? std::sqrt(diff / norm) : std::sqrt(diff));
}

// Uniform in [−1, 1) from a fixed seed (splitmix64: cheap enough for signals of millions of points in an
// unoptimised sanitizer build).
inline std::vector<Complex> RandomSignal(std::size_t n, std::uint64_t seed) {
    std::uint64_t state = seed;
    auto next = [&state] {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
    };
    std::vector<Complex> x(n);
    for (Complex& v : x) {
        const double re = next();
        v = Complex(re, next());
    }
    return x;
}

// Rounding error of a good transform grows with log2 n; this leaves a wide margin over it (observed errors
// are below 1e-15) while any wrong rotation or misplaced element shows up as an error of order 1.
inline double Tolerance(std::size_t n) {
    const double levels = n > 2 ? std::log2(static_cast<double>(n)) : 1.0;
    return 1e-14 * levels;
}

}  // namespace velmar::analysis::testing
