#pragma once
// The parameters that name one conversion of a series (target kind and quantity, the time and frequency
// ranges of a part spectrum, the envelope filter, the power bands). Every node keeps the record by which its
// data were derived; the derived-data cache finds a node again by comparing records (MatchesTransform).
// Stored as 341 packed little-endian bytes with six-byte reals; in memory the reals are doubles.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velmar::archive {

struct TransformParams {
    static constexpr std::size_t kSize = 341;
    static constexpr std::size_t kBandCount = 15;
    // Reals of two records closer than this are the same parameter.
    static constexpr double kRealTolerance = 1e-6;

    struct Band {
        double Low = 0;   // Hz
        double High = 0;  // Hz
        friend bool operator==(const Band&, const Band&) = default;
    };

    std::uint8_t Valid = 0;           // 0 not yet set, 1 set
    std::int32_t TargetKind = 0;      // 0: the source's kind
    std::int32_t TargetQuantity = 0;  // 0: the source's quantity
    double BeginTime = 0;             // s, part spectrum
    double EndTime = 0;               // s
    double BeginFreq = 0;             // Hz
    double EndFreq = 0;               // Hz
    double StepFreq = 0;              // Hz
    std::uint8_t Polosa = 0;          // band width: 0 octave, 1 half octave, 2 third octave
    double MinFreq = 0;               // envelope low frequency, Hz
    double MaxFreq = 0;               // envelope high frequency, Hz
    std::uint8_t Sposob = 0;          // envelope method
    double Usredn = 0;                // envelope averaging
    double MaxOgibFreq = 0;           // envelope maximum frequency, Hz
    double BandRatio = 0;             // upper to lower edge of a constant-percentage band
    std::uint8_t PowType = 0;         // 0 constant-percentage bands, 1 the user's list
    std::uint8_t CountFreq = 0;       // number of user bands, 0 .. 15
    std::array<Band, kBandCount> Bands{};
    std::array<std::uint8_t, 80> Reserved{};  // kept as read
    std::int32_t SourceKind = 0;              // kind of the data the record was opened for
    std::int32_t SourceQuantity = 0;

    std::array<std::uint8_t, kSize> Encode() const;
    void EncodeTo(std::span<std::uint8_t, kSize> out) const;
    // Reads 341 bytes; throws common::FormatError when fewer are given.
    static TransformParams Decode(std::span<const std::uint8_t> bytes);

    friend bool operator==(const TransformParams&, const TransformParams&) = default;
};

// Whether data derived with `candidate` are the data derived with `own`: the valid bytes agree (two unset
// records always match), the target kinds and quantities agree where both are given, and for part
// spectra, envelope spectra and power bands the parameters those conversions read agree within
// kRealTolerance. Symmetric in its arguments.
bool TransformParamsMatch(const TransformParams& own, const TransformParams& candidate);

}  // namespace velmar::archive
