#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <span>

namespace velmar::analysis {

using Complex = std::complex<double>;

// A transform of one fixed length with everything that depends only on the length (twiddle tables,
// factorisation, chirp filter) computed once. A plan is immutable after construction, so one plan can be
// shared by any number of threads. The working storage of the power-of-two transforms is per thread and is
// kept for the next call: about 16 bytes per point of the longest transform the thread has done.
//
// Lengths that are powers of two run a cache-blocked split of the transform into two passes of short
// transforms, vectorised across four columns at a time. Any other length is done by the chirp-z
// (Bluestein) convolution over a power-of-two transform, which is exact to rounding for every length.
class FftPlan {
  public:
    // n = 0 gives a plan that does nothing.
    explicit FftPlan(std::size_t n);
    ~FftPlan();
    FftPlan(const FftPlan&) = delete;
    FftPlan& operator=(const FftPlan&) = delete;

    std::size_t Size() const noexcept { return n_; }

    // In place: X(k) = Σ x(j)·exp(+2πi·jk/n), unnormalised. This is the program's direction: with
    // PhaseAngle it reports a component A·sin(2πf·t − φ) with phase φ.
    void Forward(Complex* data) const;
    // In place: X(k) = Σ x(j)·exp(−2πi·jk/n), unnormalised.
    void Backward(Complex* data) const;
    // In place: Backward scaled by 1/n, so that Inverse undoes Forward.
    void Inverse(Complex* data) const;

    // A shared plan for n. Plans of power-of-two lengths are kept for the life of the program (their
    // tables are small); other lengths get a fresh plan, since a chirp filter can be as large as the data.
    static std::shared_ptr<const FftPlan> Get(std::size_t n);

  private:
    struct Impl;
    friend bool RealFft(std::span<const double> input, std::span<Complex> output);

    void Run(Complex* data, bool backward) const;

    std::size_t n_;
    std::unique_ptr<Impl> impl_;
};

// Replaces data[0..n) by X(k) = Σ x(j)·exp(+2πi·jk/n), unnormalised; n ≤ 1 leaves the data unchanged.
void ComplexFft(Complex* data, std::size_t n);
inline void ComplexFft(std::span<Complex> data) {
    ComplexFft(data.data(), data.size());
}

// Transform of n real samples: output[k] = Σ input(j)·exp(+2πi·jk/n) for k = 0 … n/2 (the rest of the
// spectrum is the mirror image). An even n costs one complex transform of n/2. The output needs n/2 + 1
// elements; it may overlay the input exactly (one buffer of n + 2 doubles, samples first). Returns false,
// touching nothing, when the output is too short.
bool RealFft(std::span<const double> input, std::span<Complex> output);

// In place, single precision, separate real and imaginary arrays: X(k) = Σ x(j)·exp(sign·2πi·jk/n),
// unnormalised, sign +1 or −1. Sums are rounded to single precision where they are stored; the rotation
// factors are carried in double. n must be a power of two (1 included); any other n, or any other sign,
// returns false and leaves the arrays untouched. Allocates nothing.
bool FftRadix2(float* re, float* im, std::size_t n, int sign);

}  // namespace velmar::analysis
