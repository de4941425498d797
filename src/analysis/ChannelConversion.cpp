#include "analysis/ChannelConversion.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "analysis/ArchiveAdapter.hpp"
#include "common/Codepage.hpp"
#include "common/Numbers.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

bool Is(std::string_view text, std::string_view word) {
    return common::EqualsNoCase(text, word);
}

}  // namespace

ChannelConversion ConvertChannel(const TransformEngine& engine, Series source,
                                 const ChannelConversionOptions& options) {
    TransformRequest request;
    request.targetKind = static_cast<std::int32_t>(options.kind);
    request.targetQuantity = static_cast<std::int32_t>(options.quantity);
    request.part.beginTime = options.beginTime.value_or(source.xStart);
    request.part.endTime = options.endTime.value_or(source.xEnd);
    request.part.beginFreq = options.beginFreq.value_or(kDefaultPartBeginHz);
    request.part.endFreq = options.endFreq.value_or(kDefaultPartEndHz);
    request.part.stepFreq = options.stepFreq.value_or(kDefaultPartStepHz);
    const BandChoice bands = options.bands.value_or(BandChoice{});
    request.bands.mode = 0;
    request.bands.ratio = bands.ratio;

    ConvertOptions convertOptions;
    convertOptions.window = options.window;
    ChannelConversion out;
    out.status = engine.Convert(source, request, out.series, convertOptions);
    return out;
}

ChannelConversion ConvertChannel(const TransformEngine& engine, const archive::TDataHeader& header,
                                 std::span<const double> elements, const ChannelConversionOptions& options) {
    return ConvertChannel(engine, SeriesFromNodeData(header, elements), options);
}

std::optional<double> ChannelRms(const TransformEngine& engine, const archive::TDataHeader& header,
                                 std::span<const double> elements, bool calibrationMode) {
    Series source = SeriesFromNodeData(header, elements);
    return engine.SpectrumRms(source, calibrationMode);
}

std::optional<BandChoice> ParseBandChoice(std::string_view text) {
    const std::string word = common::TrimSpaces(text);
    if (Is(word, "octave")) {
        return BandChoice{0, 2.0};
    }
    if (Is(word, "half")) {
        return BandChoice{1, std::sqrt(2.0)};
    }
    if (Is(word, "third")) {
        return BandChoice{2, std::cbrt(2.0)};
    }
    double ratio = 0.0;
    if (common::ParseReal(word, ratio) && std::isfinite(ratio) && ratio > 1.0) {
        return BandChoice{BandChoice::kOtherBandWidth, ratio};
    }
    return std::nullopt;
}

std::optional<FftWindow> ParseWindowName(std::string_view text) {
    const std::string word = common::TrimSpaces(text);
    if (Is(word, "hamming")) {
        return FftWindow::kHamming;
    }
    if (Is(word, "hann") || Is(word, "hanning")) {
        return FftWindow::kHann;
    }
    if (Is(word, "rectangular") || Is(word, "rect") || Is(word, "none")) {
        return FftWindow::kRectangular;
    }
    return std::nullopt;
}

std::string_view ConvertStatusToken(ConvertStatus status) {
    switch (status) {
        case ConvertStatus::kConverted:
            return "converted";
        case ConvertStatus::kNoConversion:
            return "no-conversion";
        case ConvertStatus::kTargetNotReached:
            return "target-not-reached";
        case ConvertStatus::kUnfitInput:
            return "unfit-input";
        case ConvertStatus::kBadParameters:
            return "bad-parameters";
        case ConvertStatus::kCancelled:
            return "cancelled";
    }
    return "unknown";
}

}  // namespace velmar::analysis
