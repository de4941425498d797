#pragma once
// Kinds of measured data, physical quantities, their names, units and display factors.

#include <array>
#include <cstdint>
#include <string>

namespace velmar::common {

// One-bit kind codes; masks of several kinds describe what a measurement holds.
enum KindCode : std::uint32_t {
    kKindRms = 1,
    kKindSignal = 2,
    kKindSpectrum = 4,
    kKindPowerSpectrum = 8,
    kKindPartSpectrum = 16,
    kKindEnvelopeSpectrum = 32,
    kKindHarmonics = 64,
    kKindCepstrum = 128,
    kKindBandPower = 256,
    kKindEnvelope = 512,
};

// One-bit quantity codes.
enum QuantityCode : std::uint32_t {
    kQuantityDisplacement = 1,
    kQuantityVelocity = 2,
    kQuantityAcceleration = 4,
    kQuantityVoltage = 16,
    kQuantityCurrent = 32,
    kQuantityResistance = 64,
    kQuantityMass = 256,  // unit only, no name
    kQuantityPower = 512,
    kQuantityTemperature = 1024,
    kQuantityForce = 2048,
    kQuantityDecibel = 4096,  // unit only, no name
};

// Kinds in the order every list of kinds shows them (not code order: the envelope is sixth).
inline constexpr std::array<std::uint32_t, 10> kKindOrder = {1, 2, 4, 8, 16, 512, 32, 64, 128, 256};
// Named quantities in list order.
inline constexpr std::array<std::uint32_t, 9> kQuantityOrder = {4, 2, 1, 16, 32, 64, 512, 1024, 2048};

// The four program-wide amplitude display settings (MAIN.INI, section View).
// A spectral mode of 0 shows amplitudes as the RMS of a sine, 1 as peak, 2 as peak-to-peak.
struct ViewSettings {
    int spectrViewMode = 1;   // velocity
    int spectrViewModeA = 1;  // acceleration
    int spectrViewModeS = 1;  // displacement
    int velocityViewMode = 0; // 0 mm/s, 1 inch/s
};

std::string KindName(std::uint32_t kind);
std::string KindShortName(std::uint32_t kind);
std::string QuantityName(std::uint32_t quantity);
std::string QuantityUnit(std::uint32_t quantity, const ViewSettings& view);
std::string AxisUnit(std::uint32_t kind);

bool IsTimeDomain(std::uint32_t kind);
bool IsFrequencyDomain(std::uint32_t kind);

// Factor by which stored values are multiplied before they are shown.
double DisplayFactor(std::uint32_t kind, std::uint32_t quantity, const ViewSettings& view);

inline constexpr double kSineRmsFactor = 0.7071;  // the program's own constant, not 1/sqrt(2)
inline constexpr double kMillimetresPerInch = 25.4;

}  // namespace velmar::common
