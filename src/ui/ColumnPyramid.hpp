#pragma once
// Summaries of a long series in aligned blocks of 16, 256, 4096 ... samples, so that the display columns of
// any visible range come from a few blocks per column instead of from every sample: a drag or zoom over a
// signal of millions of points then rebuilds its columns in a tenth of the time of a full scan, or less.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ui/SignalViewModel.hpp"

namespace velmar::ui {

class ColumnPyramid {
  public:
    // Samples per block at the finest level; each level up groups this many blocks of the level below.
    static constexpr std::size_t kFanOut = 16;

    ColumnPyramid() = default;

    // Summarises `values` in one pass. The pyramid keeps a view, not a copy: the samples must outlive it and
    // stay unchanged while it is used. Build a new one whenever they change.
    explicit ColumnPyramid(std::span<const double> values);

    bool Empty() const noexcept { return values_.empty(); }
    std::size_t Size() const noexcept { return values_.size(); }
    std::span<const double> Values() const noexcept { return values_; }

    // The columns of `range`, equal to BuildColumns(Values(), range, plotWidth, factor): the same columns
    // with the same first, last, indexOfMaxAbs, single, minimum, maximum and decimated flag. The block sums
    // add the samples in another order, so the average may differ in the last bits, and where running sums
    // come near the largest double, one way may overflow to infinity and the other not.
    ColumnSet BuildColumns(IndexRange range, int plotWidth, double factor) const;

    // Memory held by the summaries, the samples not counted (about Size() * 32 / 15 bytes).
    std::size_t SummaryBytes() const noexcept;

  private:
    // 32 bytes, half a cache line. The value of the largest-magnitude sample is kept as its sign alone: its
    // magnitude is that of the minimum or of the maximum.
    struct Block {
        // The first of the smallest and the first of the largest samples, NaN ignored; +inf and -inf when
        // every sample of the block is NaN, which no comparison against a real sample picks.
        double minimum = 0;
        double maximum = 0;
        double sum = 0;
        // The first sample (0-based) of largest magnitude; a NaN one when the whole block is NaN.
        std::uint32_t indexOfMaxAbs = 0;
        bool maxAbsNegative = false;
    };
    static_assert(sizeof(Block) == 32);

    struct Accumulator;

    static Accumulator SummariseSamples(const double* values, std::size_t base);
    Accumulator Accumulate(std::size_t begin, std::size_t end, Accumulator acc) const;

    std::span<const double> values_;
    // levels_[k] holds the complete blocks of 16^(k+1) samples, in order; a ragged tail is left to the level
    // below and, at the bottom, to the samples themselves.
    std::vector<std::vector<Block>> levels_;
};

}  // namespace velmar::ui
