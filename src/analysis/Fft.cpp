#include "analysis/Fft.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "analysis/FftKernels.hpp"

namespace velmar::analysis {

namespace {

// Below this length the four-column passes have too little to work on; one plain transform is quicker.
constexpr std::size_t kFourStepMinSize = 64;

// Up to this length pass 1 reads its rotations from one table as long as the data, which stays in cache
// with it; beyond it they are formed from two short tables, which costs arithmetic but no memory traffic.
constexpr std::size_t kFullRotationMaxSize = std::size_t{1} << 14;

constexpr long double kHalfPi = 1.570796326794896619231321691639751442L;

// exp(+2πi·k/order). The angle is reduced to the first octant in integers and evaluated in long double, so
// the quarter turns come out exact and every other value is correctly rounded in practice; the tables built
// from it are what keeps the transforms within a few units of rounding of the exact result.
Complex UnitRoot(std::uint64_t k, std::uint64_t order) {
    k %= order;
    const unsigned __int128 quarters = static_cast<unsigned __int128>(k) * 4;
    const auto quadrant = static_cast<unsigned>(quarters / order);
    const auto rem = static_cast<std::uint64_t>(quarters % order);
    long double c;
    long double s;
    if (rem <= order - rem) {
        const long double phi = kHalfPi * static_cast<long double>(rem) / static_cast<long double>(order);
        c = std::cos(phi);
        s = std::sin(phi);
    } else {
        const long double phi =
            kHalfPi * static_cast<long double>(order - rem) / static_cast<long double>(order);
        c = std::sin(phi);
        s = std::cos(phi);
    }
    switch (quadrant) {
        case 0:
            return {static_cast<double>(c), static_cast<double>(s)};
        case 1:
            return {static_cast<double>(-s), static_cast<double>(c)};
        case 2:
            return {static_cast<double>(-c), static_cast<double>(-s)};
        default:
            return {static_cast<double>(s), static_cast<double>(-c)};
    }
}

// exp(+2πi·e/order) for 0 ≤ e < order from two tables of about √order entries each.
struct RootTable {
    std::vector<double> hiRe, hiIm, loRe, loIm;
    unsigned shift = 0;

    RootTable() = default;
    explicit RootTable(std::size_t order) {
        if (order == 0) {
            return;
        }
        shift = static_cast<unsigned>((std::bit_width(order - 1) + 1) / 2);
        const std::size_t loCount = std::size_t{1} << shift;
        const std::size_t hiCount = ((order - 1) >> shift) + 1;
        loRe.resize(loCount);
        loIm.resize(loCount);
        hiRe.resize(hiCount);
        hiIm.resize(hiCount);
        for (std::size_t j = 0; j < loCount; ++j) {
            const Complex w = UnitRoot(j, order);
            loRe[j] = w.real();
            loIm[j] = w.imag();
        }
        for (std::size_t i = 0; i < hiCount; ++i) {
            const Complex w = UnitRoot(static_cast<std::uint64_t>(i) << shift, order);
            hiRe[i] = w.real();
            hiIm[i] = w.imag();
        }
    }

    detail::RootsView View() const {
        return {hiRe.data(), hiIm.data(), loRe.data(), loIm.data(), shift, (std::size_t{1} << shift) - 1};
    }
};

// Stage tables of the self-sorting transform of length size (see StockhamView), appended to tw.
void AppendStockhamTables(std::size_t size, std::vector<double>& tw) {
    for (std::size_t len = size; len >= 4; len /= 4) {
        for (std::size_t p = 0; p < len / 4; ++p) {
            for (std::size_t k = 1; k <= 3; ++k) {
                const Complex w = UnitRoot(k * p, len);
                tw.push_back(w.real());
                tw.push_back(w.imag());
            }
        }
    }
}

const detail::FftKernels& WidestKernels() {
    static const detail::FftKernels& kernels = []() -> const detail::FftKernels& {
#if defined(__x86_64__) && defined(__GNUC__)
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
            return detail::Avx2FftKernels();
        }
#endif
        return detail::GenericFftKernels();
    }();
    return kernels;
}

thread_local const detail::FftKernels* tKernelsOverride = nullptr;

// Working storage of the power-of-two transforms, kept per thread and reused: a fresh allocation of tens of
// megabytes costs page faults comparable to the transform itself.
class Scratch {
  public:
    ~Scratch() { Release(); }

    double* Get(std::size_t doubles) {
        if (doubles > capacity_) {
            Release();
            data_ = static_cast<double*>(::operator new (doubles * sizeof(double), std::align_val_t{64}));
            capacity_ = doubles;
        }
        return data_;
    }

  private:
    void Release() {
        if (data_ != nullptr) {
            ::operator delete (data_, std::align_val_t{64});
            data_ = nullptr;
            capacity_ = 0;
        }
    }

    double* data_ = nullptr;
    std::size_t capacity_ = 0;
};

thread_local Scratch tScratch;

}  // namespace

namespace detail {

const FftKernels& ActiveFftKernels() {
    return tKernelsOverride != nullptr ? *tKernelsOverride : WidestKernels();
}

ScopedFftKernels::ScopedFftKernels(const FftKernels& kernels) : previous_(tKernelsOverride) {
    tKernelsOverride = &kernels;
}

ScopedFftKernels::~ScopedFftKernels() {
    tKernelsOverride = previous_;
}

}  // namespace detail

struct FftPlan::Impl {
    enum class Kind { kTrivial, kSingle, kFourStep, kBluestein };

    Kind kind = Kind::kTrivial;
    std::vector<double> tw;
    std::vector<double> laneRe, laneIm;
    RootTable roots;
    std::vector<double> rotRe, rotIm;
    detail::StockhamView single;
    detail::FourStepView fourStep;

    // Chirp-z: X(k) = c(k)·Σ x(j)c(j)·conj(c(k−j)) with c(j) = exp(iπ·j²/n), the sum a cyclic convolution of
    // power-of-two length done by transforms.
    std::shared_ptr<const FftPlan> convolution;
    std::vector<Complex> chirp;
    std::vector<Complex> filter;  // transform of conj(c) over the convolution length, divided by that length

    // Roots of order 2n for the real transform of 2n samples.
    RootTable doubleRoots;
};

FftPlan::FftPlan(std::size_t n) : n_(n), impl_(std::make_unique<Impl>()) {
    Impl& impl = *impl_;
    if (n <= 1) {
        return;
    }
    impl.doubleRoots = RootTable(2 * n);
    if (std::has_single_bit(n)) {
        if (n < kFourStepMinSize) {
            impl.kind = Impl::Kind::kSingle;
            AppendStockhamTables(n, impl.tw);
            impl.single = {n, impl.tw.data()};
            return;
        }
        impl.kind = Impl::Kind::kFourStep;
        // Split the exponent evenly, but keep both halves even when the total is even: each odd half costs
        // a radix-2 stage, a whole sweep over the buffer for one level of the transform.
        const int log2n = std::bit_width(n) - 1;
        int log2n1 = log2n / 2;
        if (log2n % 2 == 0 && log2n1 % 2 == 1) {
            --log2n1;
        }
        const std::size_t n1 = std::size_t{1} << log2n1;
        const std::size_t n2 = n / n1;
        AppendStockhamTables(n1, impl.tw);
        const std::size_t rowOffset = impl.tw.size();
        AppendStockhamTables(n2, impl.tw);
        impl.laneRe.resize(n1 * detail::kLanes);
        impl.laneIm.resize(n1 * detail::kLanes);
        for (std::size_t k1 = 0; k1 < n1; ++k1) {
            for (std::size_t c = 0; c < detail::kLanes; ++c) {
                const Complex w = UnitRoot(k1 * c, n);
                impl.laneRe[k1 * detail::kLanes + c] = w.real();
                impl.laneIm[k1 * detail::kLanes + c] = w.imag();
            }
        }
        impl.roots = RootTable(n);
        detail::FourStepView& v = impl.fourStep;
        v.n = n;
        v.n1 = n1;
        v.n2 = n2;
        v.columns = {n1, impl.tw.data()};
        v.rows = {n2, impl.tw.data() + rowOffset};
        v.laneRe = impl.laneRe.data();
        v.laneIm = impl.laneIm.data();
        v.roots = impl.roots.View();
        if (n <= kFullRotationMaxSize) {
            impl.rotRe.resize(n);
            impl.rotIm.resize(n);
            for (std::size_t j2b = 0; j2b < n2; j2b += detail::kLanes) {
                for (std::size_t k1 = 0; k1 < n1; ++k1) {
                    for (std::size_t c = 0; c < detail::kLanes; ++c) {
                        const Complex w = UnitRoot(k1 * (j2b + c), n);
                        impl.rotRe[j2b * n1 + k1 * detail::kLanes + c] = w.real();
                        impl.rotIm[j2b * n1 + k1 * detail::kLanes + c] = w.imag();
                    }
                }
            }
            v.rotRe = impl.rotRe.data();
            v.rotIm = impl.rotIm.data();
        }
        return;
    }

    impl.kind = Impl::Kind::kBluestein;
    const std::size_t m = std::bit_ceil(2 * n - 1);
    impl.convolution = Get(m);
    impl.chirp.resize(n);
    const auto order = static_cast<std::uint64_t>(2 * n);
    for (std::size_t j = 0; j < n; ++j) {
        const auto square = static_cast<std::uint64_t>((static_cast<unsigned __int128>(j) * j) % order);
        impl.chirp[j] = UnitRoot(square, order);
    }
    impl.filter.assign(m, Complex(0.0, 0.0));
    impl.filter[0] = std::conj(impl.chirp[0]);
    for (std::size_t j = 1; j < n; ++j) {
        impl.filter[j] = std::conj(impl.chirp[j]);
        impl.filter[m - j] = std::conj(impl.chirp[j]);
    }
    impl.convolution->Forward(impl.filter.data());
    const double scale = 1.0 / static_cast<double>(m);
    for (Complex& f : impl.filter) {
        f *= scale;
    }
}

FftPlan::~FftPlan() = default;

void FftPlan::Run(Complex* data, bool backward) const {
    const Impl& impl = *impl_;
    auto* raw = reinterpret_cast<double*>(data);
    switch (impl.kind) {
        case Impl::Kind::kTrivial:
            return;
        case Impl::Kind::kSingle:
            detail::ActiveFftKernels().single(impl.single, raw, backward,
                                              tScratch.Get(detail::SingleScratchDoubles(n_)));
            return;
        case Impl::Kind::kFourStep: {
            const detail::FourStepView& v = impl.fourStep;
            double* scratch = tScratch.Get(detail::FourStepScratchDoubles(v.n1, v.n2));
            detail::ActiveFftKernels().fourStep(v, raw, backward, scratch);
            return;
        }
        case Impl::Kind::kBluestein: {
            // The backward transform is the conjugate of the forward one of the conjugate.
            const std::size_t m = impl.filter.size();
            std::vector<Complex> work(m, Complex(0.0, 0.0));
            for (std::size_t j = 0; j < n_; ++j) {
                work[j] = (backward ? std::conj(data[j]) : data[j]) * impl.chirp[j];
            }
            impl.convolution->Forward(work.data());
            for (std::size_t k = 0; k < m; ++k) {
                work[k] *= impl.filter[k];
            }
            impl.convolution->Backward(work.data());
            for (std::size_t k = 0; k < n_; ++k) {
                const Complex x = work[k] * impl.chirp[k];
                data[k] = backward ? std::conj(x) : x;
            }
            return;
        }
    }
}

void FftPlan::Forward(Complex* data) const {
    Run(data, false);
}

void FftPlan::Backward(Complex* data) const {
    Run(data, true);
}

void FftPlan::Inverse(Complex* data) const {
    Run(data, true);
    if (n_ > 1) {
        const double scale = 1.0 / static_cast<double>(n_);
        for (std::size_t k = 0; k < n_; ++k) {
            data[k] *= scale;
        }
    }
}

std::shared_ptr<const FftPlan> FftPlan::Get(std::size_t n) {
    if (!std::has_single_bit(n)) {
        return std::make_shared<const FftPlan>(n);
    }
    static std::mutex mutex;
    static std::unordered_map<std::size_t, std::shared_ptr<const FftPlan>> plans;
    const std::lock_guard lock(mutex);
    std::shared_ptr<const FftPlan>& plan = plans[n];
    if (!plan) {
        plan = std::make_shared<const FftPlan>(n);
    }
    return plan;
}

void ComplexFft(Complex* data, std::size_t n) {
    if (n <= 1) {
        return;
    }
    FftPlan::Get(n)->Forward(data);
}

bool RealFft(std::span<const double> input, std::span<Complex> output) {
    const std::size_t n = input.size();
    if (n == 0) {
        return true;
    }
    if (output.size() < n / 2 + 1) {
        return false;
    }
    if (n % 2 == 1) {
        std::vector<Complex> full(input.begin(), input.end());
        ComplexFft(full.data(), n);
        std::copy(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n / 2 + 1), output.begin());
        return true;
    }

    // The even samples as real parts and the odd ones as imaginary parts give Z = E + i·O, where E and O are
    // the half-length transforms of the even and odd samples; X(k) = E(k) + w^k·O(k) with w = exp(2πi/n).
    const std::size_t m = n / 2;
    Complex* z = output.data();
    const double* x = input.data();
    if (static_cast<const void*>(z) != static_cast<const void*>(x)) {
        for (std::size_t j = 0; j < m; ++j) {
            z[j] = Complex(x[2 * j], x[2 * j + 1]);
        }
    }
    const std::shared_ptr<const FftPlan> plan = FftPlan::Get(m);
    plan->Forward(z);

    detail::ActiveFftKernels().realSpectrum(reinterpret_cast<double*>(z), m, plan->impl_->doubleRoots.View());
    return true;
}

}  // namespace velmar::analysis
