#include "common/Real48.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace velmar::common {
namespace {

// Reference vectors written by Free Pascal's Real48Utils (tools/real48/gen_real48.pas).
struct EncodeVector {
    std::uint64_t doubleBits;
    Real48Bytes fpcBytes;
    std::uint64_t fpcDecodedBits;
};

struct DecodeVector {
    Real48Bytes bytes;
    std::uint64_t fpcDecodedBits;
};

struct Vectors {
    std::vector<EncodeVector> encode;
    std::vector<DecodeVector> decode;
};

std::uint64_t ParseHex64(const std::string& text) {
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc{} || end != text.data() + text.size() || text.size() != 16) {
        throw std::runtime_error("bad hex number in fixture: " + text);
    }
    return value;
}

Real48Bytes ParseBytes(const std::string& text) {
    if (text.size() != 12) {
        throw std::runtime_error("bad Real48 bytes in fixture: " + text);
    }
    Real48Bytes bytes{};
    for (std::size_t i = 0; i < 6; ++i) {
        unsigned value = 0;
        auto [end, ec] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, value, 16);
        if (ec != std::errc{} || end != text.data() + 2 * i + 2) {
            throw std::runtime_error("bad Real48 bytes in fixture: " + text);
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    return bytes;
}

const Vectors& ReferenceVectors() {
    static const Vectors vectors = [] {
        Vectors v;
        std::ifstream in(VELMAR_FIXTURE_DIR "/real48_vectors.txt");
        if (!in) {
            throw std::runtime_error("cannot open real48_vectors.txt");
        }
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') {
                continue;
            }
            std::istringstream fields(line);
            std::string tag, a, b, c;
            fields >> tag >> a >> b;
            if (tag == "E") {
                fields >> c;
                v.encode.push_back({ParseHex64(a), ParseBytes(b), ParseHex64(c)});
            } else if (tag == "D") {
                v.decode.push_back({ParseBytes(a), ParseHex64(b)});
            } else {
                throw std::runtime_error("unknown fixture line: " + line);
            }
        }
        return v;
    }();
    return vectors;
}

std::string Hex(const Real48Bytes& b) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::string s;
    for (auto byte : b) {
        s += kDigits[byte >> 4];
        s += kDigits[byte & 15];
    }
    return s;
}

// Magnitude order of Real48 values is the order of the 47-bit integer exponent:mantissa, so "one unit more"
// is an increment of that integer, carrying from the mantissa into the exponent by itself.
Real48Bytes NextUp(Real48Bytes b) {
    const bool negative = (b[5] & 0x80) != 0;
    std::uint64_t magnitude = (std::uint64_t{b[0]} << 39) | (std::uint64_t{b[5] & 0x7Fu} << 32) |
                              (std::uint64_t{b[4]} << 24) | (std::uint64_t{b[3]} << 16) |
                              (std::uint64_t{b[2]} << 8) | b[1];
    ++magnitude;
    b[0] = static_cast<std::uint8_t>(magnitude >> 39);
    for (int i = 1; i <= 5; ++i) {
        b[i] = static_cast<std::uint8_t>(magnitude >> (8 * (i - 1)));
    }
    b[5] = static_cast<std::uint8_t>((b[5] & 0x7F) | (negative ? 0x80 : 0));
    return b;
}

constexpr Real48Bytes kZero{0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr Real48Bytes kLargest{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
constexpr Real48Bytes kLargestNegative{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr Real48Bytes kSmallest{0x01, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(Real48, KnownLayoutsConvertBothWays) {
    struct Case {
        double value;
        Real48Bytes bytes;
    };
    const Case cases[] = {
        {1.0, {0x81, 0x00, 0x00, 0x00, 0x00, 0x00}}, {-1.0, {0x81, 0x00, 0x00, 0x00, 0x00, 0x80}},
        {0.5, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00}}, {10.0, {0x84, 0x00, 0x00, 0x00, 0x00, 0x20}},
        {1.5, {0x81, 0x00, 0x00, 0x00, 0x00, 0x40}}, {0.0, kZero},
        {std::ldexp(1.0, -128), kSmallest},          {std::ldexp(2.0 - std::ldexp(1.0, -39), 126), kLargest},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Hex(DoubleToReal48(c.value)), Hex(c.bytes));
        EXPECT_EQ(Real48ToDouble(c.bytes), c.value);
        std::uint8_t raw[6];
        DoubleToReal48(c.value, raw);
        EXPECT_EQ(Real48ToDouble(raw), c.value);
    }
}

TEST(Real48, DecodingMatchesFreePascalForEveryVector) {
    const auto& v = ReferenceVectors();
    ASSERT_GT(v.encode.size(), 100u);
    ASSERT_FALSE(v.decode.empty());
    for (const auto& e : v.encode) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(Real48ToDouble(e.fpcBytes)), e.fpcDecodedBits)
            << Hex(e.fpcBytes);
    }
    for (const auto& d : v.decode) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(Real48ToDouble(d.bytes)), d.fpcDecodedBits) << Hex(d.bytes);
    }
}

// Free Pascal's Double2Real truncates the mantissa, so its bytes are ours only where round-to-nearest also
// rounds down; where we round up, ours must be exactly one unit above its result. Values whose exponent
// leaves the Real48 range are not compared: Free Pascal wraps the exponent there (and writes 2.0 for zero),
// so those are pinned by OutOfRangeValuesSaturateOrFlushToZero below.
TEST(Real48, EncodingMatchesFreePascalUpToRoundingToNearest) {
    int roundedDown = 0;
    int roundedUp = 0;
    for (const auto& e : ReferenceVectors().encode) {
        const int biased = static_cast<int>((e.doubleBits >> 52) & 0x7FF);
        const int real48Exponent = biased - 1023 + 129;
        if (biased == 0 || real48Exponent < 1 || real48Exponent > 255) {
            continue;
        }
        const std::uint64_t dropped = e.doubleBits & 0x1FFF;
        const bool lastKeptBitOdd = (e.doubleBits & 0x2000) != 0;
        const bool roundsUp = dropped > 0x1000 || (dropped == 0x1000 && lastKeptBitOdd);
        Real48Bytes expected = e.fpcBytes;
        if (roundsUp) {
            if (expected == kLargest || expected == kLargestNegative) {
                continue;  // rounds out of range
            }
            expected = NextUp(expected);
            ++roundedUp;
        } else {
            ++roundedDown;
        }
        const double value = std::bit_cast<double>(e.doubleBits);
        EXPECT_EQ(Hex(DoubleToReal48(value)), Hex(expected)) << std::hex << e.doubleBits;
    }
    EXPECT_GT(roundedDown, 10);
    EXPECT_GT(roundedUp, 10);
}

TEST(Real48, TiesRoundToEvenAndCarryIntoTheExponent) {
    struct Case {
        std::uint64_t doubleBits;
        double expected;
    };
    const double unit = std::ldexp(1.0, -39);  // one mantissa step at exponent 0
    const Case cases[] = {
        {0x3FF0000000001000, 1.0},                    // 1 + unit/2: tie, even below
        {0x3FF0000000003000, 1.0 + 2 * unit},         // 1 + 3 unit/2: tie, odd below
        {0x3FF0000000000FFF, 1.0},                    // just under the tie
        {0x3FF0000000001001, 1.0 + unit},             // just over the tie
        {0x3FFFFFFFFFFFFFFF, 2.0},                    // carry makes the next power of two
        {0xBFFFFFFFFFFFF000, -2.0},                   // same, negative, from an exact tie
        {0x37EFFFFFFFFFFFFF, std::ldexp(1.0, -128)},  // just below the smallest rounds up into range
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.doubleBits);
        EXPECT_EQ(RoundToReal48(std::bit_cast<double>(c.doubleBits)), c.expected);
    }
}

TEST(Real48, OutOfRangeValuesSaturateOrFlushToZero) {
    struct Case {
        double value;
        Real48Bytes expected;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {1e39, kLargest},
        {-1e39, kLargestNegative},
        {std::numeric_limits<double>::max(), kLargest},
        {inf, kLargest},
        {-inf, kLargestNegative},
        // Half a unit above the largest Real48 rounds to 2^127, which does not exist: saturate.
        {std::bit_cast<double>(std::uint64_t{0x47DFFFFFFFFFF000}), kLargest},
        {1e-39, kZero},
        {-1e-39, kZero},
        {std::ldexp(1.0, -129), kZero},
        {std::numeric_limits<double>::denorm_min(), kZero},
        {-0.0, kZero},
        {std::numeric_limits<double>::quiet_NaN(), kZero},
        {-std::numeric_limits<double>::quiet_NaN(), kZero},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(Hex(DoubleToReal48(c.value)), Hex(c.expected));
    }
}

TEST(Real48, ZeroExponentDecodesToPositiveZeroWhateverTheOtherBytes) {
    const Real48Bytes dirty[] = {
        {0x00, 0x00, 0x00, 0x00, 0x00, 0x80},
        {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0x00, 0x12, 0x00, 0x00, 0x00, 0x00},
    };
    for (const auto& b : dirty) {
        const double v = Real48ToDouble(b);
        EXPECT_EQ(v, 0.0) << Hex(b);
        EXPECT_FALSE(std::signbit(v)) << Hex(b);
    }
}

TEST(Real48, EveryNonZeroPatternSurvivesDecodeAndEncode) {
    std::mt19937_64 random(48);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t r = random();
        Real48Bytes b{};
        for (int k = 0; k < 6; ++k) {
            b[k] = static_cast<std::uint8_t>(r >> (8 * k));
        }
        if (b[0] == 0) {
            continue;
        }
        EXPECT_EQ(Hex(DoubleToReal48(Real48ToDouble(b))), Hex(b));
    }
}

TEST(Real48, RoundingIsIdempotentAndWithinHalfAUnit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-2.0, 2.0);
    std::uniform_int_distribution<int> exponent(-100, 120);
    for (int i = 0; i < 20000; ++i) {
        const double x = std::ldexp(mantissa(random), exponent(random));
        const double r = RoundToReal48(x);
        EXPECT_EQ(RoundToReal48(r), r);
        // Half a unit of a 39-bit mantissa is 2^-40 relative to the power of two below |x|.
        int e = 0;
        std::frexp(x, &e);
        EXPECT_LE(std::fabs(r - x), std::ldexp(1.0, e - 1 - 40)) << x;
    }
}

}  // namespace
}  // namespace velmar::common
