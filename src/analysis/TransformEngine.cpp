#include "analysis/TransformEngine.hpp"

#include <cmath>
#include <cstddef>
#include <utility>

#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

ConvertStatus StatusOf(StepResult result) {
    switch (result) {
        case StepResult::kUnfitInput:
            return ConvertStatus::kUnfitInput;
        case StepResult::kBadParameters:
            return ConvertStatus::kBadParameters;
        case StepResult::kCancelled:
            return ConvertStatus::kCancelled;
        default:
            return ConvertStatus::kConverted;
    }
}

// Maps the progress of step `index` of `count` into the progress of the whole chain.
ProgressFn StepProgress(const ProgressFn& progress, int index, int count) {
    if (!progress) {
        return {};
    }
    return [&progress, index, count](double fraction) {
        return progress((static_cast<double>(index) + fraction) / static_cast<double>(count));
    };
}

}  // namespace

ConvertStatus TransformEngine::Convert(const Series& source, TransformRequest& request, Series& result,
                                       const ConvertOptions& options) const {
    if (!request.valid) {
        // An unset record names the data as they are.
        request.valid = true;
        request.targetKind = source.kind;
        request.targetQuantity = source.quantity;
    }
    if (request.targetKind == 0) {
        request.targetKind = source.kind;
    }
    if (request.targetQuantity == 0) {
        request.targetQuantity = source.quantity;
    }
    const auto sourceKind = static_cast<std::uint32_t>(source.kind);
    const auto sourceQuantity = static_cast<std::uint32_t>(source.quantity);
    const auto targetKind = static_cast<std::uint32_t>(request.targetKind);
    const auto targetQuantity = static_cast<std::uint32_t>(request.targetQuantity);
    if (sourceKind == targetKind && sourceQuantity == targetQuantity) {
        result = source;
        return ConvertStatus::kConverted;
    }
    const StepChain chain = table_.Chain(sourceKind, sourceQuantity, targetKind, targetQuantity);
    if (chain[0] == StepCode::kImpossible) {
        return ConvertStatus::kNoConversion;
    }
    int steps = 0;
    while (steps < TransformTable::kStepCount && chain[steps] != StepCode::kImpossible) {
        ++steps;
    }

    // The source is read as it is until a step that works in place needs a copy of its own; the steps that
    // make new data read it directly, so a spectrum of millions of samples costs no copy of them.
    const Series* current = &source;
    Series work;
    auto ownCopy = [&]() -> Series& {
        if (current != &work) {
            work = *current;
            current = &work;
        }
        return work;
    };
    for (int k = 0; k < steps; ++k) {
        if (options.progress && !options.progress(static_cast<double>(k) / steps)) {
            return ConvertStatus::kCancelled;
        }
        const ProgressFn progress = StepProgress(options.progress, k, steps);
        StepResult outcome = StepResult::kDone;
        switch (chain[k]) {
            case StepCode::kIntegrate:
                outcome = Integrate(ownCopy());
                break;
            case StepCode::kDifferentiate:
                outcome = Differentiate(ownCopy());
                break;
            case StepCode::kFft:
                outcome = FourierStep(*current, work, options.window, progress);
                break;
            case StepCode::kHarmonics:
                outcome = HarmonicsStep(*current, work);
                break;
            case StepCode::kPartSpectrum:
                outcome = PartSpectrum(*current, work, request.part, progress);
                break;
            case StepCode::kBandPower:
                outcome = BandPower(*current, work, request.bands);
                break;
            default:
                // No operation, and the envelope spectrum, which the FFT of an envelope makes.
                break;
        }
        if (outcome == StepResult::kDone && chain[k] != StepCode::kNone &&
            chain[k] != StepCode::kEnvelopeSpectrum) {
            current = &work;
        } else if (outcome != StepResult::kDone && outcome != StepResult::kSkipped) {
            return StatusOf(outcome);
        }
    }
    if (options.progress && !options.progress(1.0)) {
        return ConvertStatus::kCancelled;
    }
    // A step that did not apply leaves its input as it was; what comes out must still be what was asked
    // for, or a signal would be shown under the name of a spectrum.
    if (static_cast<std::uint32_t>(current->kind) != targetKind ||
        static_cast<std::uint32_t>(current->quantity) != targetQuantity) {
        return ConvertStatus::kTargetNotReached;
    }
    if (current == &source) {
        result = source;
    } else {
        result = std::move(work);
    }
    return ConvertStatus::kConverted;
}

ConvertStatus TransformEngine::ConvertTo(const Series& source, std::int32_t targetKind,
                                         std::int32_t targetQuantity, Series& result,
                                         const ConvertOptions& options) const {
    TransformRequest request;
    request.targetKind = targetKind;
    request.targetQuantity = targetQuantity;
    return Convert(source, request, result, options);
}

std::optional<double> TransformEngine::SpectrumRms(Series& source, bool calibrationMode,
                                                   const ProgressFn& progress) const {
    const auto kind = static_cast<std::uint32_t>(source.kind);
    const auto quantity = static_cast<std::uint32_t>(source.quantity);
    if (!table_.CanConvert(kind, quantity, common::kKindSpectrum, common::kQuantityVelocity)) {
        return std::nullopt;
    }
    const bool fromSpectrum = kind == common::kKindSpectrum;
    // A spectrum is taken of the raw signal here: the band sum must not depend on a window's gain. The
    // choice holds for this call only.
    ConvertOptions options;
    options.window = fromSpectrum ? FftWindow::kHamming : FftWindow::kRectangular;
    options.progress = progress;
    Series spectrum;
    if (ConvertTo(source, common::kKindSpectrum, common::kQuantityVelocity, spectrum, options) !=
        ConvertStatus::kConverted) {
        return std::nullopt;
    }
    const std::size_t n = spectrum.Count();
    double top = kRmsHighHz;
    if (quantity == common::kQuantityDisplacement) {
        top = kRmsHighDisplacementHz;
    } else if (calibrationMode) {
        top = kRmsHighCalibrationHz;
    }
    std::size_t first = 0;
    while (first < n && !(spectrum.X(first) >= kRmsLowHz)) {
        ++first;
    }
    const std::size_t last = n == 0 ? 0 : spectrum.IndexOfX(top);
    double sum = 0.0;
    for (std::size_t i = first; n > 0 && i <= last; ++i) {
        double v = spectrum.y[i];
        // A measured spectrum's line beside a much stronger one is leakage of that one, not vibration.
        if (fromSpectrum &&
            ((i > 0 && spectrum.y[i - 1] / 5.0 > v) || (i + 1 < n && spectrum.y[i + 1] / 5.0 > v))) {
            v = 0.0;
        }
        sum += v * v;
    }
    const double rms = std::sqrt(sum / 2.0);
    source.rms = rms;
    return rms;
}

}  // namespace velmar::analysis
