#pragma once
// Amplitude and phase of the first orders of a rotation frequency in a stretch of signal, for the run-up and
// coast-down curves; and the phase response a measurement may carry for its channel (channel block 14),
// which corrects those phases.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "analysis/Interpolation.hpp"
#include "analysis/Series.hpp"

namespace velmar::analysis {

// A channel's phase response: a time delay of the signal path and a table of phase against frequency.
struct PhaseResponse {
    static constexpr std::size_t kBlockSize = 1072;
    static constexpr std::size_t kMaxPoints = 132;

    std::int32_t delaySamples = 0;
    float rateHz = 0;               // sampling rate the delay is counted at
    std::vector<TablePoint> table;  // frequency (Hz), phase (degrees)

    // Phase of the path at `frequency`, degrees: the table's value less the turn of the delay,
    // 360·f·delay/rate (none when the rate is not positive).
    double PhaseAt(double frequency) const;
};

// Block layout, little-endian: int32 delay (samples) at 0, float32 rate (Hz) at 4, uint8 count n ≤ 132 at
// 8, n pairs of float32 (frequency, phase) from 9, the rest zero. Nothing when the block is shorter than
// its count says or the count is beyond 132.
std::optional<PhaseResponse> DecodePhaseResponse(std::span<const std::uint8_t> block);
// The 1072 bytes of the block; a table beyond 132 points keeps its first 132.
std::vector<std::uint8_t> EncodePhaseResponse(const PhaseResponse& response);

inline constexpr int kMaxOrders = 10;

struct OrderComponentsResult {
    int orderCount = 0;  // orders computed; 0 when nothing could be
    std::array<double, kMaxOrders> amplitudes{};
    std::array<double, kMaxOrders> phases{};  // degrees in [0, 360)
};

// Orders 1 … orderCount of `rotationHz` in the samples firstIndex … lastIndex (numbered from 1) of a
// signal, over a whole number of revolutions (at most 20) when the stretch is longer than one. The order
// count is capped at 10 and at the orders below fs/2.56. A last index not above the first, or beyond the
// signal, means the signal's end. With a phase response the phases are corrected by it.
OrderComponentsResult OrderComponents(const Series& signal, int firstIndex, int lastIndex, int orderCount,
                                      double rotationHz, const PhaseResponse* response = nullptr);

}  // namespace velmar::analysis
