#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "analysis/Fft.hpp"
#include "analysis/FftTestSupport.hpp"

namespace velmar::analysis {
namespace {

using testing::FftwDft;
using testing::RandomSignal;
using testing::RelativeError;

struct FloatSignal {
    std::vector<float> re, im;
};

FloatSignal RandomFloats(std::size_t n, std::uint64_t seed) {
    const std::vector<Complex> c = RandomSignal(n, seed);
    FloatSignal s;
    for (const Complex& v : c) {
        s.re.push_back(static_cast<float>(v.real()));
        s.im.push_back(static_cast<float>(v.imag()));
    }
    return s;
}

std::vector<Complex> Widen(const FloatSignal& s) {
    std::vector<Complex> c(s.re.size());
    for (std::size_t i = 0; i < c.size(); ++i) {
        c[i] = Complex(s.re[i], s.im[i]);
    }
    return c;
}

// Each stage stores in single precision, so the error grows like float rounding times the stage count.
double SingleTolerance(std::size_t n) {
    return 2e-7 * std::max(1.0, std::log2(static_cast<double>(n)));
}

TEST(FftRadix2, matchesTheDoubleTransformWithinSinglePrecisionForBothSigns) {
    for (const int sign : {+1, -1}) {
        for (std::size_t n = 1; n <= (std::size_t{1} << 16); n *= 2) {
            FloatSignal s = RandomFloats(n, n);
            const std::vector<Complex> want = FftwDft(Widen(s), sign);
            ASSERT_TRUE(FftRadix2(s.re.data(), s.im.data(), n, sign));
            EXPECT_LT(RelativeError(Widen(s), want), SingleTolerance(n)) << "n=" << n << " sign=" << sign;
        }
    }
}

// The defining loop, word for word: stages of half-length L, u restarted at 1 in every group and multiplied
// by w = cos(π/L) + i·s·sin(π/L) in double, sums stored in single precision, then the bit-reversal swaps.
void DefiningLoop(std::vector<float>& re, std::vector<float>& im, int sign) {
    const std::size_t n = re.size();
    for (std::size_t half = n / 2; half >= 1; half /= 2) {
        const double wr = std::cos(3.14159265358979323846 / static_cast<double>(half));
        const double wi = sign * std::sin(3.14159265358979323846 / static_cast<double>(half));
        for (std::size_t group = 0; group < n; group += 2 * half) {
            double ur = 1.0, ui = 0.0;
            for (std::size_t j = group; j < group + half; ++j) {
                const double ar = re[j], ai = im[j], br = re[j + half], bi = im[j + half];
                re[j] = static_cast<float>(ar + br);
                im[j] = static_cast<float>(ai + bi);
                re[j + half] = static_cast<float>((ar - br) * ur - (ai - bi) * ui);
                im[j + half] = static_cast<float>((ar - br) * ui + (ai - bi) * ur);
                const double next = ur * wr - ui * wi;
                ui = ur * wi + ui * wr;
                ur = next;
            }
        }
    }
    for (std::size_t i = 0, j = 0; i + 1 < n; ++i) {
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
}

// The rounding of a single-precision transform depends on the order of its operations; the defining loop
// fixes it, and the program's results (cepstra) are to come out the same to the last bit.
TEST(FftRadix2, givesTheDefiningLoopsResultBitForBit) {
    for (const int sign : {+1, -1}) {
        for (const std::size_t n : {2u, 8u, 64u, 128u, 4096u, 32768u}) {
            FloatSignal s = RandomFloats(n, 40 + n);
            FloatSignal want = s;
            DefiningLoop(want.re, want.im, sign);
            ASSERT_TRUE(FftRadix2(s.re.data(), s.im.data(), n, sign));
            EXPECT_EQ(s.re, want.re) << "n=" << n << " sign=" << sign;
            EXPECT_EQ(s.im, want.im) << "n=" << n << " sign=" << sign;
        }
    }
}

TEST(FftRadix2, plusThenMinusGivesTheInputTimesN) {
    constexpr std::size_t kN = 1024;
    const FloatSignal original = RandomFloats(kN, 9);
    FloatSignal s = original;
    ASSERT_TRUE(FftRadix2(s.re.data(), s.im.data(), kN, +1));
    ASSERT_TRUE(FftRadix2(s.re.data(), s.im.data(), kN, -1));
    for (std::size_t i = 0; i < kN; ++i) {
        EXPECT_NEAR(s.re[i], kN * original.re[i], 1e-4 * kN) << i;
        EXPECT_NEAR(s.im[i], kN * original.im[i], 1e-4 * kN) << i;
    }
}

// A length that is not a power of two used to be taken for the nearest power of two, overrunning or only
// partly transforming the arrays; it is refused now, as is a sign other than ±1.
TEST(FftRadix2, refusesBadLengthOrSignAndLeavesArraysUntouched) {
    struct Case {
        std::size_t n;
        int sign;
    };
    for (const Case c : {Case{0, 1}, Case{3, 1}, Case{6, -1}, Case{1000, 1}, Case{1023, 1}, Case{1025, -1},
                         Case{8, 0}, Case{8, 2}, Case{8, -3}}) {
        FloatSignal s = RandomFloats(c.n + 1, 4);
        const FloatSignal before = s;
        EXPECT_FALSE(FftRadix2(s.re.data(), s.im.data(), c.n, c.sign)) << "n=" << c.n << " sign=" << c.sign;
        EXPECT_EQ(s.re, before.re);
        EXPECT_EQ(s.im, before.im);
    }
}

TEST(FftRadix2, lengthOneIsTheIdentity) {
    float re = 1.5f, im = -0.5f;
    EXPECT_TRUE(FftRadix2(&re, &im, 1, -1));
    EXPECT_EQ(re, 1.5f);
    EXPECT_EQ(im, -0.5f);
}

}  // namespace
}  // namespace velmar::analysis
