#include "analysis/FftKernels.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/Fft.hpp"
#include "analysis/FftTestSupport.hpp"

namespace velmar::analysis {
namespace {

using testing::FftwDft;
using testing::RandomSignal;
using testing::RelativeError;
using testing::Tolerance;

struct KernelBuild {
    std::string name;
    const detail::FftKernels* kernels;
};

// Every build of the loops this machine can run, not only the one it would pick.
std::vector<KernelBuild> RunnableBuilds() {
    std::vector<KernelBuild> builds{{"baseline", &detail::GenericFftKernels()}};
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        builds.push_back({"avx2", &detail::Avx2FftKernels()});
    }
#endif
    return builds;
}

TEST(FftKernels, everyBuildMatchesFftwOnAllPowerOfTwoRoutes) {
    for (const KernelBuild& build : RunnableBuilds()) {
        const detail::ScopedFftKernels use(*build.kernels);
        // 32: one short transform; 64, 2^13: two passes; 2^17: odd exponent, narrower groups.
        for (const std::size_t n : {32u, 64u, 8192u, 131072u}) {
            const std::vector<Complex> x = RandomSignal(n, n);
            const FftPlan plan(n);
            std::vector<Complex> forward = x, backward = x;
            plan.Forward(forward.data());
            plan.Backward(backward.data());
            EXPECT_LT(RelativeError(forward, FftwDft(x, +1)), Tolerance(n)) << build.name << " n=" << n;
            EXPECT_LT(RelativeError(backward, FftwDft(x, -1)), Tolerance(n)) << build.name << " n=" << n;
        }
    }
}

TEST(FftKernels, everyBuildGivesTheRealSpectrum) {
    for (const KernelBuild& build : RunnableBuilds()) {
        const detail::ScopedFftKernels use(*build.kernels);
        for (const std::size_t n : {16u, 40u, 4096u}) {
            const std::vector<Complex> c = RandomSignal(n, 3);
            std::vector<double> x(n);
            std::vector<Complex> asComplex(n);
            for (std::size_t i = 0; i < n; ++i) {
                x[i] = c[i].real();
                asComplex[i] = Complex(x[i], 0.0);
            }
            std::vector<Complex> got(n / 2 + 1);
            ASSERT_TRUE(RealFft(x, got));
            std::vector<Complex> want = FftwDft(asComplex, +1);
            want.resize(n / 2 + 1);
            EXPECT_LT(RelativeError(got, want), Tolerance(n)) << build.name << " n=" << n;
        }
    }
}

}  // namespace
}  // namespace velmar::analysis
