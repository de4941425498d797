#include "analysis/OrderComponents.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstring>

#include "analysis/PhaseAngle.hpp"
#include "analysis/TransformSteps.hpp"
#include "common/Numbers.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

constexpr std::size_t kDelayOffset = 0;
constexpr std::size_t kRateOffset = 4;
constexpr std::size_t kCountOffset = 8;
constexpr std::size_t kTableOffset = 9;
constexpr std::size_t kPointSize = 8;
constexpr double kLinesDivisor = 2.56;
constexpr double kMaxRevolutions = 20.0;

std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void WriteU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

float ReadF32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::bit_cast<float>(ReadU32(b, at));
}

}  // namespace

double PhaseResponse::PhaseAt(double frequency) const {
    double delayTurn = 0.0;
    if (rateHz > 0.0f) {
        delayTurn = 360.0 * frequency * static_cast<double>(delaySamples) / static_cast<double>(rateHz);
    }
    return TableValue(table, frequency) - delayTurn;
}

std::optional<PhaseResponse> DecodePhaseResponse(std::span<const std::uint8_t> block) {
    if (block.size() < kTableOffset) {
        return std::nullopt;
    }
    const std::size_t count = block[kCountOffset];
    if (count > PhaseResponse::kMaxPoints || block.size() < kTableOffset + count * kPointSize) {
        return std::nullopt;
    }
    PhaseResponse response;
    response.delaySamples = static_cast<std::int32_t>(ReadU32(block, kDelayOffset));
    response.rateHz = ReadF32(block, kRateOffset);
    response.table.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kTableOffset + i * kPointSize;
        response.table[i] = TablePoint{ReadF32(block, at), ReadF32(block, at + 4)};
    }
    return response;
}

std::vector<std::uint8_t> EncodePhaseResponse(const PhaseResponse& response) {
    std::vector<std::uint8_t> block(PhaseResponse::kBlockSize, 0);
    const std::size_t count = std::min(response.table.size(), PhaseResponse::kMaxPoints);
    WriteU32(block, kDelayOffset, static_cast<std::uint32_t>(response.delaySamples));
    WriteU32(block, kRateOffset, std::bit_cast<std::uint32_t>(response.rateHz));
    block[kCountOffset] = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kTableOffset + i * kPointSize;
        WriteU32(block, at, std::bit_cast<std::uint32_t>(response.table[i].x));
        WriteU32(block, at + 4, std::bit_cast<std::uint32_t>(response.table[i].y));
    }
    return block;
}

OrderComponentsResult OrderComponents(const Series& signal, int firstIndex, int lastIndex, int orderCount,
                                      double rotationHz, const PhaseResponse* response) {
    OrderComponentsResult result;
    const double step = signal.xStep;
    if (signal.kind != common::kKindSignal || !(rotationHz > 0.0) || !std::isfinite(rotationHz) ||
        !(step > 0.0) || !std::isfinite(step)) {
        return result;
    }
    const auto n = static_cast<std::int64_t>(signal.Count());
    std::int64_t first = std::max<std::int64_t>(firstIndex, 1);
    std::int64_t last = lastIndex;
    if (last <= first || last > n) {
        last = n;
    }
    // A stretch that starts beyond the signal, or holds a single sample, has no orders to speak of.
    if (first >= last) {
        return result;
    }
    const double rate = 1.0 / step;
    const double highestOrder = std::trunc(rate / kLinesDivisor / rotationHz);
    int count = std::min(orderCount, kMaxOrders);
    if (highestOrder < count) {
        count = static_cast<int>(std::max(highestOrder, 0.0));
    }
    if (count <= 0) {
        return result;
    }

    const double revolution = rate / rotationHz;  // samples
    std::int64_t length = last - first + 1;
    if (static_cast<double>(length) > revolution) {
        const double revolutions =
            std::min(std::trunc(static_cast<double>(length) / revolution), kMaxRevolutions);
        length = static_cast<std::int64_t>(std::nearbyint(revolutions * revolution));
    }

    std::vector<std::complex<double>> sums;
    const std::span<const double> samples(signal.y.data() + (first - 1), static_cast<std::size_t>(length));
    detail::FourierSums(samples, rotationHz, rotationHz, step, static_cast<std::size_t>(count),
                        detail::SumMethod::kAuto, sums, {});
    for (int k = 0; k < count; ++k) {
        const double re = sums[static_cast<std::size_t>(k)].real();
        const double im = sums[static_cast<std::size_t>(k)].imag();
        result.amplitudes[static_cast<std::size_t>(k)] =
            std::sqrt(re * re + im * im) * 2.0 / static_cast<double>(length);
        double phase = 360.0 - PhaseAngle(re, im);
        if (response != nullptr) {
            phase += response->PhaseAt(static_cast<double>(k + 1) * rotationHz);
        }
        result.phases[static_cast<std::size_t>(k)] = common::NormalizeAngle(phase);
    }
    result.orderCount = count;
    return result;
}

}  // namespace velmar::analysis
