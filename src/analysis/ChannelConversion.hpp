#pragma once
// One channel converted on request, for batch and command-line use: the target kind and quantity and the
// options of the steps given as plain values, with the parsers of their texts.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "analysis/Series.hpp"
#include "analysis/TransformEngine.hpp"
#include "archive/DataHeader.hpp"

namespace velmar::analysis {

// Constant-percentage bands: the ratio of upper to lower edge, and the band-width byte the record keeps for
// the three standard widths (kOtherBandWidth for any other ratio).
struct BandChoice {
    static constexpr std::uint8_t kOtherBandWidth = 255;
    std::uint8_t bandWidth = 0;  // 0 octave, 1 half octave, 2 third octave
    double ratio = 2.0;
};

struct ChannelConversionOptions {
    std::uint32_t kind = 0;      // 0: the channel's
    std::uint32_t quantity = 0;  // 0: the channel's
    FftWindow window = FftWindow::kHamming;
    // Spectrum of a part: times default to the whole signal, frequencies to 0 … 5000 Hz in steps of 10 Hz.
    std::optional<double> beginTime;
    std::optional<double> endTime;
    std::optional<double> beginFreq;
    std::optional<double> endFreq;
    std::optional<double> stepFreq;
    // Power in bands: octave bands unless told otherwise.
    std::optional<BandChoice> bands;
};

struct ChannelConversion {
    ConvertStatus status = ConvertStatus::kNoConversion;
    Series series;  // the converted data when status is kConverted
};

inline constexpr double kDefaultPartBeginHz = 0.0;
inline constexpr double kDefaultPartEndHz = 5000.0;
inline constexpr double kDefaultPartStepHz = 10.0;

// Converts the channel (header and values as a node holds them, see SeriesFromNodeData).
ChannelConversion ConvertChannel(const TransformEngine& engine, const archive::TDataHeader& header,
                                 std::span<const double> elements, const ChannelConversionOptions& options);
ChannelConversion ConvertChannel(const TransformEngine& engine, Series source,
                                 const ChannelConversionOptions& options);

// The channel's RMS velocity (TransformEngine::SpectrumRms); nothing when it has no velocity spectrum.
std::optional<double> ChannelRms(const TransformEngine& engine, const archive::TDataHeader& header,
                                 std::span<const double> elements, bool calibrationMode);

// "octave", "half", "third" (any case) or a ratio above 1 ("1.5", "1,5").
std::optional<BandChoice> ParseBandChoice(std::string_view text);
// "hamming", "hann" (or "hanning"), "rectangular" (or "rect", "none"), any case.
std::optional<FftWindow> ParseWindowName(std::string_view text);
// A short stable token for the status, for scripts and logs: "converted", "no-conversion", ...
std::string_view ConvertStatusToken(ConvertStatus status);

}  // namespace velmar::analysis
