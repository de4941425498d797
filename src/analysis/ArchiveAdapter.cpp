#include "analysis/ArchiveAdapter.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

double At(std::span<const double> elements, std::size_t j) {
    return j < elements.size() ? elements[j] : 0.0;
}

}  // namespace

Series SeriesFromNodeData(const archive::TDataHeader& header, std::span<const double> elements) {
    Series s;
    s.kind = header.Kind;
    s.quantity = header.Quantity;
    s.recordedAt = header.RecordedAt;
    s.rms = header.Rms;
    s.peak = header.Peak;
    s.phaseShift = header.PhaseShift;
    s.xStart = header.XStart;
    s.xEnd = header.XEnd;
    s.xStep = header.XStep;
    s.flags = header.Flags;
    s.reserved57 = header.Reserved57;
    s.reserved61 = header.Reserved61;
    s.carried63 = header.Carried63;
    s.phaseShift2 = header.PhaseShift2;
    s.carried75 = header.Carried75;

    const std::size_t n = header.Count > 0 ? static_cast<std::size_t>(header.Count) : 0;
    if (header.Kind == common::kKindHarmonics) {
        s.x.resize(n);
        s.y.resize(n);
        s.phase.resize(n);
        s.fourth.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            s.x[i] = At(elements, 4 * i);
            s.y[i] = At(elements, 4 * i + 1);
            s.phase[i] = At(elements, 4 * i + 2);
            s.fourth[i] = At(elements, 4 * i + 3);
        }
        for (double a : s.fourth) {
            s.totalPeakArea += a;
        }
    } else if (header.HasPairs()) {
        s.y.resize(n);
        s.phase.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            s.y[i] = At(elements, 2 * i);
            s.phase[i] = At(elements, 2 * i + 1);
        }
    } else {
        const std::size_t available = std::min(n, elements.size());
        s.y.assign(elements.begin(), elements.begin() + static_cast<std::ptrdiff_t>(available));
        s.y.resize(n, 0.0);
    }
    return s;
}

void NodeDataFromSeries(const Series& s, archive::TDataHeader& header, std::vector<double>& elements) {
    header = archive::TDataHeader{};
    header.Kind = s.kind;
    header.Quantity = s.quantity;
    header.RecordedAt = s.recordedAt;
    header.Rms = s.rms;
    header.Peak = s.peak;
    header.PhaseShift = s.phaseShift;
    header.XStart = s.xStart;
    header.XEnd = s.xEnd;
    header.XStep = s.xStep;
    header.Flags = s.flags;
    header.Count = static_cast<std::int32_t>(s.Count());
    header.Reserved57 = s.reserved57;
    header.Reserved61 = s.reserved61;
    header.Carried63 = s.carried63;
    header.PhaseShift2 = s.phaseShift2;
    header.Carried75 = s.carried75;

    const std::size_t n = s.Count();
    if (s.kind == common::kKindHarmonics) {
        elements.assign(4 * n, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            elements[4 * i] = s.X(i);
            elements[4 * i + 1] = s.y[i];
            elements[4 * i + 2] = s.RawPhase(i);
            elements[4 * i + 3] = i < s.fourth.size() ? s.fourth[i] : 0.0;
        }
    } else if (archive::TDataHeader::IsPairKind(s.kind)) {
        elements.assign(2 * n, 0.0);
        if (header.HasPairs()) {
            for (std::size_t i = 0; i < n; ++i) {
                elements[2 * i] = s.y[i];
                elements[2 * i + 1] = s.RawPhase(i);
            }
        } else {
            std::copy(s.y.begin(), s.y.end(), elements.begin());
        }
    } else {
        elements.assign(s.y.begin(), s.y.end());
    }
}

TransformRequest RequestFromParams(const archive::TransformParams& params) {
    TransformRequest request;
    request.valid = params.Valid != 0;
    request.targetKind = params.TargetKind;
    request.targetQuantity = params.TargetQuantity;
    request.part.beginTime = params.BeginTime;
    request.part.endTime = params.EndTime;
    request.part.beginFreq = params.BeginFreq;
    request.part.endFreq = params.EndFreq;
    request.part.stepFreq = params.StepFreq;
    request.bands.mode = params.PowType;
    request.bands.ratio = params.BandRatio;
    request.bands.count = params.CountFreq;
    for (std::size_t k = 0; k < kMaxUserBands; ++k) {
        request.bands.bands[k] = FrequencyBand{params.Bands[k].Low, params.Bands[k].High};
    }
    return request;
}

ArchiveTransformEngine::ArchiveTransformEngine(std::shared_ptr<const TransformEngine> engine,
                                               FftWindow window)
    : engine_(engine ? std::move(engine) : std::make_shared<const TransformEngine>()), window_(window) {}

bool ArchiveTransformEngine::Convert(const archive::TDataHeader& sourceHeader,
                                     std::span<const double> sourceElements, archive::TransformParams& params,
                                     archive::TDataHeader& resultHeader, std::vector<double>& resultElements,
                                     const archive::TransformProgress& progress) {
    TransformRequest request = RequestFromParams(params);
    ConvertOptions options;
    options.window = window_;
    if (progress) {
        options.progress = progress;
    }
    Series result;
    lastStatus_ =
        engine_->Convert(SeriesFromNodeData(sourceHeader, sourceElements), request, result, options);
    if (lastStatus_ != ConvertStatus::kConverted) {
        return false;
    }
    params.Valid = 1;
    params.TargetKind = request.targetKind;
    params.TargetQuantity = request.targetQuantity;
    if (params.SourceKind == 0 && params.SourceQuantity == 0) {
        params.SourceKind = sourceHeader.Kind;
        params.SourceQuantity = sourceHeader.Quantity;
    }
    NodeDataFromSeries(result, resultHeader, resultElements);
    return true;
}

}  // namespace velmar::analysis
