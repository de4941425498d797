#include "analysis/Fft.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "analysis/FftTestSupport.hpp"

namespace velmar::analysis {
namespace {

using testing::DirectDft;
using testing::FftwDft;
using testing::RandomSignal;
using testing::RelativeError;
using testing::Tolerance;

TEST(ComplexFft, cosineOfLengthEightGivesFourAtLinesOneAndSeven) {
    std::vector<Complex> x(8);
    for (std::size_t j = 0; j < 8; ++j) {
        x[j] = Complex(std::cos(2 * std::numbers::pi * static_cast<double>(j) / 8), 0.0);
    }
    ComplexFft(x);
    for (std::size_t k = 0; k < 8; ++k) {
        const double want = (k == 1 || k == 7) ? 4.0 : 0.0;
        EXPECT_NEAR(x[k].real(), want, 1e-15) << "k=" << k;
        EXPECT_NEAR(x[k].imag(), 0.0, 1e-15) << "k=" << k;
    }
}

// The exponent is positive: a sine shows up as +4i on line 1, not −4i.
TEST(ComplexFft, sineOfLengthEightGivesPlusFourIOnLineOne) {
    std::vector<Complex> x(8);
    for (std::size_t j = 0; j < 8; ++j) {
        x[j] = Complex(std::sin(2 * std::numbers::pi * static_cast<double>(j) / 8), 0.0);
    }
    ComplexFft(x);
    for (std::size_t k = 0; k < 8; ++k) {
        const double want = k == 1 ? 4.0 : (k == 7 ? -4.0 : 0.0);
        EXPECT_NEAR(x[k].real(), 0.0, 1e-15) << "k=" << k;
        EXPECT_NEAR(x[k].imag(), want, 1e-15) << "k=" << k;
    }
}

TEST(ComplexFft, lengthOneAndZeroLeaveDataUnchanged) {
    std::vector<Complex> one{Complex(3.5, -2.25)};
    ComplexFft(one);
    EXPECT_EQ(one[0], Complex(3.5, -2.25));

    Complex untouched(7.0, 8.0);
    ComplexFft(&untouched, 0);
    EXPECT_EQ(untouched, Complex(7.0, 8.0));
}

// Every length up to 64 takes one of the three routes: a single short transform, the two-pass blocked one
// (64) or the chirp-z convolution (all that are not powers of two).
TEST(ComplexFft, matchesLongDoubleDftForEveryLengthUpTo64) {
    for (std::size_t n = 1; n <= 64; ++n) {
        const std::vector<Complex> x = RandomSignal(n, n);
        std::vector<Complex> got = x;
        ComplexFft(got);
        EXPECT_LT(RelativeError(got, DirectDft(x, +1)), Tolerance(n)) << "n=" << n;
    }
}

TEST(ComplexFft, matchesLongDoubleDftForOddPrimeAndComposedLengths) {
    for (const std::size_t n : {97u, 127u, 243u, 625u, 1000u, 1536u, 4095u}) {
        const std::vector<Complex> x = RandomSignal(n, 1000 + n);
        std::vector<Complex> got = x;
        ComplexFft(got);
        EXPECT_LT(RelativeError(got, DirectDft(x, +1)), Tolerance(n)) << "n=" << n;
    }
}

TEST(ComplexFft, matchesFftwForPowersOfTwoUpTo2To16) {
    for (std::size_t n = 2; n <= (std::size_t{1} << 16); n *= 2) {
        const std::vector<Complex> x = RandomSignal(n, n + 7);
        std::vector<Complex> got = x;
        ComplexFft(got);
        EXPECT_LT(RelativeError(got, FftwDft(x, +1)), Tolerance(n)) << "n=" << n;
    }
}

// The largest lengths the program transforms split unevenly (2^21 = 2^10 · 2^11) and use narrower groups in
// the second pass than the shorter ones.
TEST(ComplexFft, matchesFftwForTheLargestLengths) {
    for (const std::size_t n : {std::size_t{1} << 17, std::size_t{1} << 21}) {
        const std::vector<Complex> x = RandomSignal(n, 21);
        std::vector<Complex> got = x;
        ComplexFft(got);
        EXPECT_LT(RelativeError(got, FftwDft(x, +1)), Tolerance(n)) << "n=" << n;
    }
}

// Callers hand in plain vectors; nothing may assume more than the alignment of a complex double.
TEST(ComplexFft, worksOnDataThatIsNotVectorAligned) {
    for (const std::size_t n : {16u, 64u, 1024u, 8192u}) {
        std::vector<Complex> buffer = RandomSignal(n + 1, 5);
        const std::vector<Complex> x(buffer.begin() + 1, buffer.end());
        ComplexFft(buffer.data() + 1, n);
        const std::vector<Complex> got(buffer.begin() + 1, buffer.end());
        EXPECT_LT(RelativeError(got, FftwDft(x, +1)), Tolerance(n)) << "n=" << n;
    }
}

TEST(ComplexFft, keepsParsevalsEnergyBalance) {
    for (const std::size_t n : {64u, 1000u, 4096u}) {
        const std::vector<Complex> x = RandomSignal(n, 3);
        std::vector<Complex> spectrum = x;
        ComplexFft(spectrum);
        long double timeEnergy = 0, frequencyEnergy = 0;
        for (std::size_t i = 0; i < n; ++i) {
            timeEnergy += std::norm(x[i]);
            frequencyEnergy += std::norm(spectrum[i]);
        }
        EXPECT_NEAR(static_cast<double>(frequencyEnergy / (timeEnergy * n)), 1.0, 1e-13) << "n=" << n;
    }
}

TEST(FftPlan, backwardUsesTheNegativeExponent) {
    for (const std::size_t n : {1u, 8u, 60u, 256u, 1000u, 16384u}) {
        const std::vector<Complex> x = RandomSignal(n, 11);
        std::vector<Complex> got = x;
        FftPlan(n).Backward(got.data());
        EXPECT_LT(RelativeError(got, FftwDft(x, -1)), Tolerance(n)) << "n=" << n;
    }
}

TEST(FftPlan, inverseUndoesForward) {
    for (const std::size_t n : {1u, 2u, 7u, 64u, 100u, 1024u, 65536u}) {
        const std::vector<Complex> x = RandomSignal(n, 13);
        std::vector<Complex> roundTrip = x;
        const FftPlan plan(n);
        plan.Forward(roundTrip.data());
        plan.Inverse(roundTrip.data());
        EXPECT_LT(RelativeError(roundTrip, std::vector<std::complex<double>>(x)), Tolerance(n)) << "n=" << n;
    }
}

TEST(FftPlan, zeroLengthPlanDoesNothing) {
    const FftPlan plan(0);
    EXPECT_EQ(plan.Size(), 0u);
    plan.Forward(nullptr);
    plan.Inverse(nullptr);
}

// One plan is shared by threads that transform at the same time; each must get its own working storage.
TEST(FftPlan, sharedPlanGivesTheSameResultsOnConcurrentThreads) {
    constexpr std::size_t kN = 4096;
    const std::shared_ptr<const FftPlan> plan = FftPlan::Get(kN);
    std::vector<std::vector<Complex>> inputs, results(4);
    for (std::uint64_t t = 0; t < 4; ++t) {
        inputs.push_back(RandomSignal(kN, 100 + t));
    }
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<Complex> data;
            for (int repeat = 0; repeat < 20; ++repeat) {
                data = inputs[t];
                plan->Forward(data.data());
            }
            results[t] = data;
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t t = 0; t < 4; ++t) {
        EXPECT_LT(RelativeError(results[t], FftwDft(inputs[t], +1)), Tolerance(kN)) << "thread " << t;
    }
}

}  // namespace
}  // namespace velmar::analysis
