#include "common/MeasurementParams.hpp"

#include <algorithm>
#include <cstring>

namespace velmar::common {
namespace {

std::uint32_t Get32(std::span<const std::uint8_t, MeasurementParams::kSize> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void Put32(std::span<std::uint8_t, MeasurementParams::kSize> b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t Unstated(std::uint32_t mask) { return mask == 0 ? 65535u : mask; }

MeasurementParams Row(std::uint32_t kinds, std::uint32_t passport, std::uint16_t volume, std::uint32_t sync,
                      std::uint32_t quantities, std::uint32_t fMax, std::uint32_t dfMax, std::uint32_t samples,
                      std::uint32_t marker, std::uint32_t masses, std::uint32_t planes) {
    MeasurementParams p;
    p.kinds = kinds;
    p.passport = passport;
    p.volume = volume;
    p.synchronous = sync;
    p.quantities = quantities;
    p.fMax = fMax;
    p.dfMax = dfMax;
    p.samples = samples;
    p.marker = marker;
    p.masses = masses;
    p.planes = planes;
    return p;
}

constexpr std::uint32_t kAny = 65535;

}  // namespace

MeasurementParams MeasurementParams::Decode(std::span<const std::uint8_t, kSize> b) {
    MeasurementParams p;
    p.kinds = Get32(b, 0);
    p.passport = Get32(b, 4);
    p.volume = static_cast<std::uint16_t>(b[8] | b[9] << 8);
    p.synchronous = Get32(b, 10);
    p.quantities = Get32(b, 14);
    p.fMax = Get32(b, 18);
    p.dfMax = Get32(b, 22);
    p.samples = Get32(b, 26);
    p.marker = Get32(b, 30);
    p.masses = Get32(b, 34);
    p.planes = Get32(b, 38);
    std::copy(b.begin() + 42, b.end(), p.reserved.begin());
    return p;
}

void MeasurementParams::Encode(std::span<std::uint8_t, kSize> b) const {
    Put32(b, 0, kinds);
    Put32(b, 4, passport);
    b[8] = static_cast<std::uint8_t>(volume);
    b[9] = static_cast<std::uint8_t>(volume >> 8);
    Put32(b, 10, synchronous);
    Put32(b, 14, quantities);
    Put32(b, 18, fMax);
    Put32(b, 22, dfMax);
    Put32(b, 26, samples);
    Put32(b, 30, marker);
    Put32(b, 34, masses);
    Put32(b, 38, planes);
    std::copy(reserved.begin(), reserved.end(), b.begin() + 42);
}

bool MatchesRequirements(const MeasurementParams& m, const MeasurementParams& f) {
    return (Unstated(m.kinds) & f.kinds) != 0 && (Unstated(m.passport) & f.passport) != 0 &&
           (Unstated(m.synchronous) & f.synchronous) != 0 && (Unstated(m.quantities) & f.quantities) != 0 &&
           (Unstated(m.marker) & f.marker) != 0 && (Unstated(m.masses) & f.masses) != 0 &&
           (Unstated(m.planes) & f.planes) != 0 && m.volume >= f.volume && m.fMax >= f.fMax &&
           m.dfMax <= f.dfMax && m.samples >= f.samples;
}

const MeasurementParams& SlotRequirements(int slot) {
    static const MeasurementParams kZero{};
    static const MeasurementParams kRows[] = {
        Row(70, 2, 30, kAny, 7, 100, 6000, 100, kAny, kAny, kAny),          // 1
        Row(2, kAny, 1, kAny, 4, 3000, 5000, 400, kAny, kAny, kAny),        // 2
        Row(70, kAny, 1, kAny, 23, 500, 10000, 200, kAny, kAny, kAny),      // 3
        Row(70, kAny, 1, 6, 7, 100, 5000, 100, 6, kAny, kAny),              // 4
        Row(70, 2, 8, kAny, 7, 400, 10000, 1, kAny, kAny, kAny),            // 5
        MeasurementParams{},                                                // 6
        Row(2, 2, 0, 4, 128, 0, 0, 100, kAny, kAny, kAny),                  // 7
        Row(2, kAny, 50, 4, 7, 2000, 50000, 100, kAny, kAny, kAny),         // 8
        Row(2, 2, 0, kAny, 768, 0, 50000, 512, kAny, kAny, kAny),           // 9
    };
    if (slot >= 1 && slot <= 9) {
        return kRows[slot - 1];
    }
    return kZero;
}

const MeasurementParams& RunUpRequirements() {
    static const MeasurementParams kRunUp = Row(6, kAny, 1, kAny, 16, 1, 6000, 1, kAny, kAny, kAny);
    return kRunUp;
}

}  // namespace velmar::common
