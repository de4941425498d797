#include <gtest/gtest.h>

#include <vector>

#include "analysis/Fft.hpp"
#include "analysis/FftTestSupport.hpp"

namespace velmar::analysis {
namespace {

using testing::DirectDft;
using testing::FftwDft;
using testing::RandomSignal;
using testing::RelativeError;
using testing::Tolerance;

std::vector<double> RealSamples(std::size_t n, std::uint64_t seed) {
    const std::vector<Complex> c = RandomSignal(n, seed);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = c[i].real();
    }
    return x;
}

std::vector<Complex> AsComplex(const std::vector<double>& x) {
    return {x.begin(), x.end()};
}

// Odd lengths, lengths whose half is odd and tiny lengths all take other turns than the powers of two.
TEST(RealFft, givesTheFirstHalfOfTheComplexTransform) {
    for (const std::size_t n : {1u, 2u, 3u, 4u, 5u, 6u, 8u, 10u, 12u, 30u, 64u, 97u, 1000u}) {
        const std::vector<double> x = RealSamples(n, n);
        std::vector<Complex> got(n / 2 + 1);
        ASSERT_TRUE(RealFft(x, got));
        const std::vector<testing::LongComplex> full = DirectDft(AsComplex(x), +1);
        const std::vector<testing::LongComplex> half(full.begin(), full.begin() + n / 2 + 1);
        EXPECT_LT(RelativeError(got, half), Tolerance(n)) << "n=" << n;
    }
}

TEST(RealFft, matchesFftwForLongPowersOfTwo) {
    for (const std::size_t n : {std::size_t{1} << 12, std::size_t{1} << 18}) {
        const std::vector<double> x = RealSamples(n, 77);
        std::vector<Complex> got(n / 2 + 1);
        ASSERT_TRUE(RealFft(x, got));
        std::vector<Complex> full = FftwDft(AsComplex(x), +1);
        full.resize(n / 2 + 1);
        EXPECT_LT(RelativeError(got, full), Tolerance(n)) << "n=" << n;
    }
}

// The samples of a long signal can be transformed in their own buffer: n + 2 doubles, samples first.
TEST(RealFft, outputMayOverlayTheInput) {
    for (const std::size_t n : {6u, 7u, 1024u}) {
        const std::vector<double> x = RealSamples(n, 5);
        std::vector<Complex> want(n / 2 + 1);
        ASSERT_TRUE(RealFft(x, want));

        std::vector<Complex> buffer(n / 2 + 1);
        auto* samples = reinterpret_cast<double*>(buffer.data());
        std::copy(x.begin(), x.end(), samples);
        ASSERT_TRUE(RealFft(std::span<const double>(samples, n), buffer));
        EXPECT_LT(RelativeError(buffer, want), 1e-15) << "n=" << n;
    }
}

TEST(RealFft, refusesAnOutputShorterThanHalfPlusOne) {
    const std::vector<double> x = RealSamples(16, 1);
    std::vector<Complex> out(8, Complex(42.0, 0.0));
    EXPECT_FALSE(RealFft(x, out));
    for (const Complex& v : out) {
        EXPECT_EQ(v, Complex(42.0, 0.0));
    }
    EXPECT_TRUE(RealFft(std::span<const double>(), std::span<Complex>()));
}

}  // namespace
}  // namespace velmar::analysis
