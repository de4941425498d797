#pragma once
// The transform engine as the archive's derived-data cache asks for it: node headers and buffers in, node
// headers and buffers out. The program sets one ArchiveTransformEngine into the ArchiveContext, and a
// node's CreateTransform then converts through it.

#include <memory>
#include <span>
#include <vector>

#include "analysis/Series.hpp"
#include "analysis/TransformEngine.hpp"
#include "archive/DataHeader.hpp"
#include "archive/TransformEngine.hpp"
#include "archive/TransformParams.hpp"

namespace velmar::analysis {

// A node's series: header plus buffer elements in the node's layout (harmonics four elements per point,
// pairs two, values of spectra without the pair flag packed at the front). Elements the buffer lacks read
// as 0, as they do from the node.
Series SeriesFromNodeData(const archive::TDataHeader& header, std::span<const double> elements);

// The header and buffer elements (Count points in the layout of the result's kind) of a series. The pair
// flag of spectrum-like kinds follows the series' complex flag. A total peak area has no place in the
// header and is not kept.
void NodeDataFromSeries(const Series& series, archive::TDataHeader& header, std::vector<double>& elements);

// The parameters the steps read from the record.
TransformRequest RequestFromParams(const archive::TransformParams& params);

class ArchiveTransformEngine final : public archive::ITransformEngine {
  public:
    explicit ArchiveTransformEngine(std::shared_ptr<const TransformEngine> engine,
                                    FftWindow window = FftWindow::kHamming);

    // The window of the FFT steps this adapter runs.
    void SetWindow(FftWindow window) noexcept { window_ = window; }
    FftWindow Window() const noexcept { return window_; }
    const TransformEngine& Engine() const noexcept { return *engine_; }

    // Converts and, on success, completes the record: valid byte, target codes, and the source codes when
    // the record did not name them.
    bool Convert(const archive::TDataHeader& sourceHeader, std::span<const double> sourceElements,
                 archive::TransformParams& params, archive::TDataHeader& resultHeader,
                 std::vector<double>& resultElements, const archive::TransformProgress& progress) override;

    // Why the last Convert refused, for the message the caller shows.
    ConvertStatus LastStatus() const noexcept { return lastStatus_; }

  private:
    std::shared_ptr<const TransformEngine> engine_;
    FftWindow window_;
    ConvertStatus lastStatus_ = ConvertStatus::kConverted;
};

}  // namespace velmar::analysis
