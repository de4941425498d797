#include <cstddef>

#include "analysis/FftKernels.hpp"

#define VELMAR_FFT_NATIVE_256 0
#include "analysis/FftKernelsBody.inc"

namespace velmar::analysis::detail {

const FftKernels& GenericFftKernels() {
    return kKernels;
}

}  // namespace velmar::analysis::detail
