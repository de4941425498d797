// The same loops as FftKernelsGeneric.cpp, compiled for AVX2 with FMA. The plan picks this build at run time
// only on a processor that has both, so the library itself still runs on any x86-64.

#include <cstddef>

#include "analysis/FftKernels.hpp"

#if defined(__x86_64__) && defined(__GNUC__)

// Every header is in before this point: only the code below is built for the wider instruction set.
#pragma GCC push_options
#pragma GCC target("avx2,fma")

#define VELMAR_FFT_NATIVE_256 1
#include "analysis/FftKernelsBody.inc"

namespace velmar::analysis::detail {

const FftKernels& Avx2FftKernels() {
    return kKernels;
}

}  // namespace velmar::analysis::detail

#pragma GCC pop_options

#endif
