#pragma once

// Internal to the FFT: the hot loops, built once for the x86-64 baseline and once for AVX2 with FMA, and the
// plain views of the plan tables they read. Nothing here is part of the library's interface.

#include <cstddef>

namespace velmar::analysis::detail {

// The batched loops transform this many independent sequences at once, one per lane of a four-double
// vector, so every butterfly is a plain vertical vector operation whatever the stage.
inline constexpr std::size_t kLanes = 4;

// Tables of a self-sorting radix-4 transform of one power-of-two length (the last stage is radix 2 when the
// exponent is odd). Stage after stage, for a current length len and p < len/4, six doubles hold w^p, w^2p,
// w^3p as (re, im) pairs, w = exp(+2πi/len): the three rotations of one butterfly are read together.
struct StockhamView {
    std::size_t size = 0;
    const double* tw = nullptr;
};

// exp(+2πi·e/order) for 0 ≤ e < order as hi[e >> shift] · lo[e & mask]: two short tables instead of one the
// size of the data.
struct RootsView {
    const double* hiRe = nullptr;
    const double* hiIm = nullptr;
    const double* loRe = nullptr;
    const double* loIm = nullptr;
    unsigned shift = 0;
    std::size_t mask = 0;
};

// n = n1·n2. Pass 1 transforms the n2 columns (length n1, stride n2) four at a time and applies the
// rotations exp(+2πi·k1·j2/n); pass 2 transforms the n1 rows (length n2) four at a time and writes them
// transposed, which puts the output in natural order. Each short transform fits in the level-2 cache.
struct FourStepView {
    std::size_t n = 0;
    std::size_t n1 = 0;
    std::size_t n2 = 0;
    StockhamView columns;
    StockhamView rows;
    const double* laneRe = nullptr;  // [k1·kLanes + c] = exp(+2πi·k1·c/n)
    const double* laneIm = nullptr;
    RootsView roots;  // of order n
    // For short transforms, every rotation of pass 1 ready in the order it is used: column block j2b/4, then
    // k1, then the lane, as exp(+2πi·k1·(j2b + c)/n). Null when the tables above are to be used instead.
    const double* rotRe = nullptr;
    const double* rotIm = nullptr;
};

// Pass 1 reads this many blocks of four columns per row, pass 2 writes this many blocks of four rows per
// output row: runs of up to 16 complex values (256 bytes) instead of 64-byte pieces at a power-of-two
// stride. Their buffers are kept to 256 kB so that they stay in the level-2 cache.
inline std::size_t FourStepColumnGroup(std::size_t n1, std::size_t n2) {
    std::size_t g = n2 / kLanes < 4 ? n2 / kLanes : 4;
    while (g > 1 && g * n1 > 4096) {
        g /= 2;
    }
    return g;
}

inline std::size_t FourStepRowGroup(std::size_t n1, std::size_t n2) {
    return FourStepColumnGroup(n2, n1);
}

// Distance in lane vectors between the rows of four in the scratch: one cache line more than a row, so that
// walking down a column of the scratch does not hit the same cache set every time.
inline std::size_t FourStepScratchStride(std::size_t n2) {
    return n2 + 2;
}

inline std::size_t FourStepScratchDoubles(std::size_t n1, std::size_t n2) {
    const std::size_t matrix = 2 * (n1 / kLanes) * FourStepScratchStride(n2) + 2;
    const std::size_t pass1 = 2 * (FourStepColumnGroup(n1, n2) + 1) * n1;
    const std::size_t pass2 = 2 * (FourStepRowGroup(n1, n2) + 1) * n2;
    return kLanes * (matrix + (pass1 > pass2 ? pass1 : pass2));
}

inline std::size_t SingleScratchDoubles(std::size_t n) {
    return 4 * n;
}

struct FftKernels {
    // data: n interleaved complex values, transformed in place. backward selects exp(−...). scratch:
    // FourStepScratchDoubles, 64-byte aligned.
    void (*fourStep)(const FourStepView& plan, double* data, bool backward, double* scratch);
    // One transform of plan.size values, one sequence, no lanes; scratch: SingleScratchDoubles.
    void (*single)(const StockhamView& plan, double* data, bool backward, double* scratch);
    // Turns Z, the transform of the m complex values z(j) = x(2j) + i·x(2j+1), into the lines 0 … m of the
    // transform of the 2m real samples x, in place; data holds m + 1 complex values. roots: order 2m.
    void (*realSpectrum)(double* data, std::size_t m, const RootsView& roots);
};

const FftKernels& GenericFftKernels();
#if defined(__x86_64__) && defined(__GNUC__)
const FftKernels& Avx2FftKernels();
#endif

// The build the transforms on this thread use: the widest the processor runs, unless a ScopedFftKernels
// picked another. Tests use that to run the baseline build on machines that would never choose it.
const FftKernels& ActiveFftKernels();

class ScopedFftKernels {
  public:
    explicit ScopedFftKernels(const FftKernels& kernels);
    ~ScopedFftKernels();
    ScopedFftKernels(const ScopedFftKernels&) = delete;
    ScopedFftKernels& operator=(const ScopedFftKernels&) = delete;

  private:
    const FftKernels* previous_;
};

}  // namespace velmar::analysis::detail
