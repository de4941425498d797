#pragma once
// Which chain of elementary steps leads from one (kind, quantity) to another. The chains are installation
// data read once at start from PREOBR.INI; nothing about them is built into the code.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmar::common {
class IniFile;
}

namespace velmar::analysis {

// One step of a chain, as stored in the table.
enum class StepCode : std::uint8_t {
    kImpossible = 0,         // "*": no conversion; ends the chain
    kNone = 1,               // empty value or an unknown piece
    kIntegrate = 2,          // "Int"
    kDifferentiate = 3,      // "Dif"
    kFft = 4,                // "Bpf": spectrum of a signal or envelope, cepstrum of a spectrum
    kHarmonics = 5,          // "Gar"
    kPartSpectrum = 11,      // "Spf"
    kEnvelopeSpectrum = 12,  // "Spo": nothing to do, envelope spectra come from the FFT of an envelope
    kBandPower = 13,         // "Pwb"
};

// Up to four steps, run in order; a kImpossible step ends the chain.
using StepChain = std::array<StepCode, 4>;

class TransformTable {
  public:
    static constexpr int kKindCount = 10;
    static constexpr int kQuantityCount = 9;
    static constexpr int kStepCount = 4;
    static constexpr std::size_t kSize =
        std::size_t{kKindCount} * kQuantityCount * kKindCount * kQuantityCount * kStepCount;

    // Everything impossible.
    void Clear();

    // Fills the table from the chains of a PREOBR.INI: section source kind code + target kind code (e.g.
    // "SigSpc"), key source quantity code + target quantity code (e.g. "AccVel"), value up to four
    // three-letter steps ("BpfInt"), "*" for impossible, empty for no operation. A missing section leaves its
    // block impossible, a missing key is "*". The same kind and quantity on both sides is always the
    // identity when its section is there.
    void Load(const common::IniFile& ini);

    // The chain for the conversion; all kImpossible for codes outside the tables.
    StepChain Chain(std::uint32_t sourceKind, std::uint32_t sourceQuantity, std::uint32_t targetKind,
                    std::uint32_t targetQuantity) const noexcept;

    // Whether some chain with that source and target kind (quantity) exists in the file: what the control
    // form offers. A kind has an entry for itself only when the file has the section of that kind to itself.
    bool CanConvertKind(std::uint32_t sourceKind, std::uint32_t targetKind) const noexcept;
    bool CanConvertQuantity(std::uint32_t sourceQuantity, std::uint32_t targetQuantity) const noexcept;

    // Whether Convert can be asked for the conversion at all: the identity always, otherwise a chain whose
    // first step is not impossible.
    bool CanConvert(std::uint32_t sourceKind, std::uint32_t sourceQuantity, std::uint32_t targetKind,
                    std::uint32_t targetQuantity) const noexcept;

  private:
    static std::size_t Offset(int sk, int sq, int tk, int tq) noexcept;

    std::array<std::uint8_t, kSize> table_{};
    std::array<std::array<bool, kKindCount>, kKindCount> kindMatrix_{};
    std::array<std::array<bool, kQuantityCount>, kQuantityCount> quantityMatrix_{};
};

// What LoadTransformTable found.
struct TransformTableFile {
    bool found = false;
    std::filesystem::path path;  // the file read, or the path looked for when it is missing
};

// Clears the table and loads PREOBR.INI (any letter case) from `iniDirectory`. Without the file the table
// stays empty (only identities convert) and the result says where the file was looked for, so that the
// caller can tell the user.
TransformTableFile LoadTransformTable(TransformTable& table, const std::filesystem::path& iniDirectory);

// The three-letter file codes: "Sig" for kind 2, "Acc" for quantity 4, ... Empty for codes without one
// (kind 8, unknown codes).
std::string_view KindFileCode(std::uint32_t kind) noexcept;
std::string_view QuantityFileCode(std::uint32_t quantity) noexcept;

// A kind or quantity given as its three-letter code (any letter case) or as its decimal code number.
// Nothing for anything else.
std::optional<std::uint32_t> ParseKindCode(std::string_view text);
std::optional<std::uint32_t> ParseQuantityCode(std::string_view text);

// The step of a three-letter piece of a chain ("Int", any case); kNone for anything else.
StepCode ParseStepCode(std::string_view piece) noexcept;

}  // namespace velmar::analysis
