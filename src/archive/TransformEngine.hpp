#pragma once
// What the derived-data cache asks of the transform engine. The analysis library implements it; the archive
// only hands over a series and takes the converted one back.

#include <functional>
#include <span>
#include <vector>

#include "archive/DataHeader.hpp"
#include "archive/TransformParams.hpp"

namespace velmar::archive {

// Called now and then with the fraction done (0 .. 1); answering false asks the engine to stop.
using TransformProgress = std::function<bool(double fraction)>;

class ITransformEngine {
  public:
    virtual ~ITransformEngine() = default;

    // Converts the series (`sourceHeader`, `sourceElements`) as `params` asks. The elements are laid out as a
    // node's buffer holds them (see TDBLevel::Layout): stored phases are raw, the header's PhaseShift2 not
    // yet added. On success fills `resultHeader` and `resultElements` (in the same layout for the result's
    // kind, Count points), may complete `params` (valid byte, target codes), and returns true. Returns false
    // when the conversion is impossible or was stopped through `progress`; may throw on failure.
    virtual bool Convert(const TDataHeader& sourceHeader, std::span<const double> sourceElements,
                         TransformParams& params, TDataHeader& resultHeader,
                         std::vector<double>& resultElements, const TransformProgress& progress) = 0;
};

}  // namespace velmar::archive
