#pragma once
// The conversion driver: runs the chain of steps that PREOBR.INI gives for a (kind, quantity) pair, and the
// two services built on it, the RMS velocity of a channel and the components of the rotation orders.

#include <cstdint>
#include <optional>

#include "analysis/Series.hpp"
#include "analysis/TransformSteps.hpp"
#include "analysis/TransformTable.hpp"

namespace velmar::analysis {

// What a conversion is asked for: the target, and the parameters the steps read.
struct TransformRequest {
    // An unset request is completed to the identity of its source.
    bool valid = true;
    std::int32_t targetKind = 0;      // 0: the source's kind
    std::int32_t targetQuantity = 0;  // 0: the source's quantity
    PartSpectrumRange part;
    BandSpec bands;
};

enum class ConvertStatus {
    kConverted,
    kNoConversion,      // the table has no chain for it
    kTargetNotReached,  // the chain ran but some step did not apply to its input, so the result would be
                        // something other than what was asked for
    kUnfitInput,        // too few points, no abscissa step, ...
    kBadParameters,     // a frequency grid or band list that makes no sense
    kCancelled,
};

struct ConvertOptions {
    FftWindow window = FftWindow::kHamming;
    ProgressFn progress;
};

// Lines of the RMS velocity.
inline constexpr double kRmsLowHz = 10.0;
inline constexpr double kRmsHighHz = 1000.0;
inline constexpr double kRmsHighCalibrationHz = 1020.0;
inline constexpr double kRmsHighDisplacementHz = 300.0;

class TransformEngine {
  public:
    // With an empty table: only identities convert.
    TransformEngine() = default;
    explicit TransformEngine(const TransformTable& table) : table_(table) {}

    const TransformTable& Table() const noexcept { return table_; }

    // Converts `source` as `request` asks into `result`. The request is completed: an unset one becomes
    // the identity, zero target codes become the source's. Identity (same kind and quantity) always
    // converts, whatever the table says. `result` is written only on success.
    ConvertStatus Convert(const Series& source, TransformRequest& request, Series& result,
                          const ConvertOptions& options = {}) const;

    // Convert with a request that names only the target.
    ConvertStatus ConvertTo(const Series& source, std::int32_t targetKind, std::int32_t targetQuantity,
                            Series& result, const ConvertOptions& options = {}) const;

    // RMS velocity between 10 Hz and 1000 Hz (300 Hz for displacement data, 1020 Hz in calibration mode)
    // from the velocity spectrum of the data, stored in source.rms too. Nothing when the data do not
    // convert into a velocity spectrum; source.rms stays then.
    std::optional<double> SpectrumRms(Series& source, bool calibrationMode,
                                      const ProgressFn& progress = {}) const;

  private:
    TransformTable table_;
};

}  // namespace velmar::analysis
