#pragma once
// The description of one series of numbers held by an archive node: its kind and quantity, its abscissa
// grid and its summary values. Stored as 81 packed little-endian bytes wherever it is written whole (run-up
// files); in memory the six-byte reals are kept as doubles.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velmar::archive {

struct TDataHeader {
    static constexpr std::size_t kSize = 81;
    // Flags bit 0: every point of a spectrum-like kind (4, 8, 16, 32) is a (value, phase) pair.
    static constexpr std::uint8_t kPairFlag = 0x01;

    std::int32_t Kind = 0;      // kind code (common/Vocabulary.hpp)
    std::int32_t Quantity = 0;  // quantity code
    double RecordedAt = 0;      // day count, 0 when unknown
    double Rms = 0;
    double Peak = 0;        // largest absolute value
    double PhaseShift = 0;  // degrees added by PhaseWithShifts
    double XStart = 0;      // abscissa of point 1 (seconds or hertz)
    double XEnd = 0;        // abscissa of the last point
    double XStep = 0;
    std::uint8_t Flags = 0;
    std::int32_t Count = 0;  // number of points
    std::int32_t Reserved57 = 0;
    std::int16_t Reserved61 = 0;
    double Carried63 = 0;    // carried over from the measurement file's channel, read by nobody here
    double PhaseShift2 = 0;  // degrees added to the stored phase of pair data when it is read
    double Carried75 = 0;    // carried over from the measurement file's channel, read by nobody here

    // True for the kinds whose buffer holds two elements per point (values and phases).
    static bool IsPairKind(std::int32_t kind) noexcept {
        return kind == 4 || kind == 8 || kind == 16 || kind == 32;
    }
    // The points hold (value, phase) pairs: a pair kind with the pair flag set.
    bool HasPairs() const noexcept { return IsPairKind(Kind) && (Flags & kPairFlag) != 0; }

    // The 81 bytes; the reals are rounded to six-byte precision.
    std::array<std::uint8_t, kSize> Encode() const;
    void EncodeTo(std::span<std::uint8_t, kSize> out) const;
    // Reads 81 bytes; throws common::FormatError when fewer are given.
    static TDataHeader Decode(std::span<const std::uint8_t> bytes);

    friend bool operator==(const TDataHeader&, const TDataHeader&) = default;
};

}  // namespace velmar::archive
