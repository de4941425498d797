#pragma once

// The six-byte real of the archive's records.
//
// Byte 0 is the exponent with bias 129 (0 means the value zero), bytes 1 to 5 the 39 mantissa bits below an
// implicit leading 1, least significant byte first, and bit 7 of byte 5 the sign:
//     value = (-1)^s * (1 + m / 2^39) * 2^(e - 129)
// Every Real48 value is exactly a double, so widening is exact. Narrowing rounds the mantissa to nearest,
// ties to even, carrying into the exponent; results below the smallest Real48 (2^-128) become 0, results
// above the largest (about 1.7e38) and infinities saturate to the largest of that sign, and NaN becomes 0
// because the format has no way to say "not a number".

#include <array>
#include <cstdint>

namespace velmar::common {

using Real48Bytes = std::array<std::uint8_t, 6>;

// Reads the six bytes at `six`.
double Real48ToDouble(const std::uint8_t* six) noexcept;
double Real48ToDouble(const Real48Bytes& six) noexcept;

// Writes the six bytes of v at `six`.
void DoubleToReal48(double v, std::uint8_t* six) noexcept;
Real48Bytes DoubleToReal48(double v) noexcept;

// v as it comes back after being stored as a Real48.
double RoundToReal48(double v) noexcept;

}  // namespace velmar::common
