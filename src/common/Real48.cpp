#include "common/Real48.hpp"

#include <bit>

namespace velmar::common {

namespace {

constexpr int kMantissaBits = 39;
constexpr int kDroppedBits = 52 - kMantissaBits;  // double mantissa bits that do not fit
constexpr std::uint64_t kMantissaMask = (std::uint64_t{1} << kMantissaBits) - 1;
// Real48 exponent e and double biased exponent b describe the same power of two when b = e - 129 + 1023.
constexpr int kExponentShift = 1023 - 129;

void Store(std::uint8_t* six, unsigned exponent, std::uint64_t mantissa, bool negative) noexcept {
    six[0] = static_cast<std::uint8_t>(exponent);
    for (int i = 1; i <= 5; ++i) {
        six[i] = static_cast<std::uint8_t>(mantissa >> (8 * (i - 1)));
    }
    if (negative) {
        six[5] |= 0x80;
    }
}

void StoreZero(std::uint8_t* six) noexcept {
    Store(six, 0, 0, false);
}

void StoreLargest(std::uint8_t* six, bool negative) noexcept {
    Store(six, 255, kMantissaMask, negative);
}

}  // namespace

double Real48ToDouble(const std::uint8_t* six) noexcept {
    const unsigned exponent = six[0];
    if (exponent == 0) {
        // The mantissa and sign bytes of a zero are not always clean in old files; zero is zero.
        return 0.0;
    }
    std::uint64_t mantissa = 0;
    for (int i = 5; i >= 1; --i) {
        mantissa = (mantissa << 8) | six[i];
    }
    const bool negative = (mantissa >> (kMantissaBits)) & 1;
    mantissa &= kMantissaMask;
    const std::uint64_t bits = (std::uint64_t{negative} << 63) |
                               (std::uint64_t{exponent + kExponentShift} << 52) | (mantissa << kDroppedBits);
    return std::bit_cast<double>(bits);
}

double Real48ToDouble(const Real48Bytes& six) noexcept {
    return Real48ToDouble(six.data());
}

void DoubleToReal48(double v, std::uint8_t* six) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

    if (biased == 0x7FF) {
        if (fraction != 0) {
            StoreZero(six);  // NaN
        } else {
            StoreLargest(six, negative);
        }
        return;
    }
    if (biased == 0) {
        StoreZero(six);  // zero and subnormals, all far below 2^-128
        return;
    }

    int exponent = biased - kExponentShift;
    std::uint64_t mantissa = fraction >> kDroppedBits;
    const std::uint64_t dropped = fraction & ((std::uint64_t{1} << kDroppedBits) - 1);
    constexpr std::uint64_t kHalf = std::uint64_t{1} << (kDroppedBits - 1);
    if (dropped > kHalf || (dropped == kHalf && (mantissa & 1) != 0)) {
        ++mantissa;
        if (mantissa > kMantissaMask) {
            mantissa = 0;
            ++exponent;
        }
    }
    if (exponent < 1) {
        StoreZero(six);
    } else if (exponent > 255) {
        StoreLargest(six, negative);
    } else {
        Store(six, static_cast<unsigned>(exponent), mantissa, negative);
    }
}

Real48Bytes DoubleToReal48(double v) noexcept {
    Real48Bytes six{};
    DoubleToReal48(v, six.data());
    return six;
}

double RoundToReal48(double v) noexcept {
    std::uint8_t six[6];
    DoubleToReal48(v, six);
    return Real48ToDouble(six);
}

}  // namespace velmar::common
