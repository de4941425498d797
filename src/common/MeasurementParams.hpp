#pragma once
// The 72-byte record of the conditions a measurement was taken under. The same layout states what an
// expert system requires of a measurement.

#include <array>
#include <cstdint>
#include <span>

namespace velmar::common {

struct MeasurementParams {
    static constexpr std::size_t kSize = 72;

    std::uint32_t kinds = 0;        // mask of kind codes present
    std::uint32_t passport = 0;     // 2 machine has a passport, 1 it has none
    std::uint16_t volume = 0;       // percent
    std::uint32_t synchronous = 0;  // 4 synchronous, 2 ..., 1 none
    std::uint32_t quantities = 0;   // mask of quantity codes
    std::uint32_t fMax = 0;         // Hz
    std::uint32_t dfMax = 0;        // thousandths of a hertz
    std::uint32_t samples = 0;
    std::uint32_t marker = 0;  // 4 optical, 2 electrical, 1 none
    std::uint32_t masses = 0;  // 2 yes, 1 no
    std::uint32_t planes = 0;  // 2 yes, 1 no
    std::array<std::uint8_t, 30> reserved{};

    static MeasurementParams Decode(std::span<const std::uint8_t, kSize> bytes);
    void Encode(std::span<std::uint8_t, kSize> bytes) const;

    bool operator==(const MeasurementParams&) const = default;
};

// Whether a measurement taken under `measured` meets `required`. A mask the measurement leaves at 0 is
// taken as "anything"; a requirement of all zeros therefore matches nothing.
bool MatchesRequirements(const MeasurementParams& measured, const MeasurementParams& required);

// What expert-system slot 1..20 requires; slots without requirements are all zero.
const MeasurementParams& SlotRequirements(int slot);
// What a measurement must offer to be turned into a run-up.
const MeasurementParams& RunUpRequirements();

}  // namespace velmar::common
