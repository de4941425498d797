#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "analysis/Fft.hpp"

namespace velmar::analysis {

bool FftRadix2(float* re, float* im, std::size_t n, int sign) {
    // A length that is not a power of two would be taken for a neighbouring one and the arrays overrun or
    // half transformed; such a request is refused instead.
    if ((sign != 1 && sign != -1) || !std::has_single_bit(n)) {
        return false;
    }
    if (n == 1) {
        return true;
    }

    // Decimation in frequency: each stage of half-length L combines pairs L apart, rotating the differences
    // by u = w^j, u running from 1 by repeated multiplication with w in every group. The rotation and the
    // butterfly run in double; only the stored values are single.
    //
    // Every group of a stage runs through the same u, so each stage forms the chain once, a block of
    // kBlock values at a time on the stack (16 kB), and applies the block to all groups. The values, and so
    // the results, are exactly those of restarting the chain in each group, without waiting on the chain
    // for every butterfly. Up to L = kBlock one block holds the whole chain and the groups stream through
    // memory in order; beyond it there are few groups, each visited in long runs.
    constexpr double kPi = 3.14159265358979323846;
    constexpr std::size_t kBlock = 1024;
    double blockRe[kBlock];
    double blockIm[kBlock];
    for (std::size_t half = n / 2; half >= 1; half /= 2) {
        const double angle = kPi / static_cast<double>(half);
        const double wr = std::cos(angle);
        const double wi = sign * std::sin(angle);
        double ur = 1.0;
        double ui = 0.0;
        for (std::size_t first = 0; first < half; first += kBlock) {
            const std::size_t count = std::min(kBlock, half - first);
            for (std::size_t t = 0; t < count; ++t) {
                blockRe[t] = ur;
                blockIm[t] = ui;
                const double next = ur * wr - ui * wi;
                ui = ur * wi + ui * wr;
                ur = next;
            }
            for (std::size_t group = 0; group < n; group += 2 * half) {
                float* aRe = re + group + first;
                float* aIm = im + group + first;
                float* bRe = aRe + half;
                float* bIm = aIm + half;
                for (std::size_t t = 0; t < count; ++t) {
                    const double ar = aRe[t], ai = aIm[t], br = bRe[t], bi = bIm[t];
                    aRe[t] = static_cast<float>(ar + br);
                    aIm[t] = static_cast<float>(ai + bi);
                    const double dr = ar - br, di = ai - bi;
                    bRe[t] = static_cast<float>(dr * blockRe[t] - di * blockIm[t]);
                    bIm[t] = static_cast<float>(dr * blockIm[t] + di * blockRe[t]);
                }
            }
        }
    }

    // The stages leave the spectrum in bit-reversed order.
    std::size_t j = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        std::size_t bit = n / 2;
        while (bit <= j) {
            j -= bit;
            bit /= 2;
        }
        j += bit;
    }
    return true;
}

}  // namespace velmar::analysis
