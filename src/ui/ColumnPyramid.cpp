#include "ui/ColumnPyramid.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmar::ui {

namespace {

constexpr unsigned kShift = 4;  // log2 of the fan-out
static_assert(ColumnPyramid::kFanOut == std::size_t{1} << kShift);

constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

// The running state of one column (or one block being built). The comparisons are those of the full scan
// in BuildColumns and are applied in sample order, so every tie and every NaN goes the same way:
// - std::min/std::max keep the earlier of equal values (this decides the sign of a zero extreme) and skip a
//   NaN unless it is the seed;
// - a strictly greater magnitude wins, so the first of equal magnitudes stays, and a NaN never wins.
struct ColumnPyramid::Accumulator {
    double minimum = kInf;
    double maximum = -kInf;
    double sum = 0;
    double bestAbs = -1;  // stays -1 while only NaN were seen
    double best = 0;      // the signed sample at indexOfMaxAbs
    std::size_t indexOfMaxAbs = 0;

    void AddSample(double v, std::size_t index) {
        sum += v;
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
        if (std::fabs(v) > bestAbs) {
            bestAbs = std::fabs(v);
            best = v;
            indexOfMaxAbs = index;
        }
    }

    void AddBlock(const Block& b) {
        // The largest magnitude of a block is that of its minimum or of its maximum, so it needs no look-up
        // in the samples; a block of NaN alone has its minimum above its maximum, and must never win.
        const double blockBestAbs =
            b.minimum > b.maximum ? -1.0 : std::max(std::fabs(b.minimum), std::fabs(b.maximum));
        sum += b.sum;
        minimum = std::min(minimum, b.minimum);
        maximum = std::max(maximum, b.maximum);
        if (blockBestAbs > bestAbs) {
            bestAbs = blockBestAbs;
            best = std::copysign(blockBestAbs, b.maxAbsNegative ? -1.0 : 1.0);
            indexOfMaxAbs = b.indexOfMaxAbs;
        }
    }

    Block ToBlock() const {
        return {minimum, maximum, sum, static_cast<std::uint32_t>(indexOfMaxAbs), std::signbit(best)};
    }
};

// The same as AddSample over one 16-block, with the running values in locals: the accumulator of the build
// loop lives in memory, and going through it for every sample made the build about twice as slow.
ColumnPyramid::Accumulator ColumnPyramid::SummariseSamples(const double* values, std::size_t base) {
    double minimum = kInf;
    double maximum = -kInf;
    double sum = 0;
    double bestAbs = -1;
    std::size_t indexOfBest = base;
    for (std::size_t i = base; i < base + kFanOut; ++i) {
        const double v = values[i];
        sum += v;
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
        if (std::fabs(v) > bestAbs) {
            bestAbs = std::fabs(v);
            indexOfBest = i;
        }
    }
    return {minimum, maximum, sum, bestAbs, values[indexOfBest], indexOfBest};
}

ColumnPyramid::ColumnPyramid(std::span<const double> values) : values_(values) {
    // Columns never reach past this many points, and it keeps every index within 32 bits.
    const std::size_t count = std::min<std::size_t>(values.size(), kPixelLimit);
    std::size_t levelCount = 0;
    while ((count >> (kShift * (levelCount + 1))) > 0) {
        ++levelCount;
    }
    levels_.resize(levelCount);
    for (std::size_t k = 0; k < levelCount; ++k) {
        levels_[k].reserve(count >> (kShift * (k + 1)));
    }

    // One pass over the samples: a finished block is stored and folded at once into its parent.
    std::vector<Accumulator> parents(levelCount);
    std::vector<std::size_t> filled(levelCount, 0);
    for (std::size_t base = 0; base + kFanOut <= count; base += kFanOut) {
        Accumulator acc = SummariseSamples(values.data(), base);
        std::size_t level = 0;
        while (true) {
            const Block block = acc.ToBlock();
            levels_[level].push_back(block);
            if (level + 1 == levelCount) {
                break;
            }
            Accumulator& parent = parents[level + 1];
            if (filled[level + 1] == 0) {
                parent = Accumulator{};
                // Kept only when the whole parent is NaN, and then any of its samples is as good.
                parent.indexOfMaxAbs = base;
            }
            parent.AddBlock(block);
            if (++filled[level + 1] < kFanOut) {
                break;
            }
            filled[level + 1] = 0;
            acc = parent;
            ++level;
        }
    }
}

std::size_t ColumnPyramid::SummaryBytes() const noexcept {
    std::size_t bytes = levels_.capacity() * sizeof(std::vector<Block>);
    for (const auto& level : levels_) {
        bytes += level.capacity() * sizeof(Block);
    }
    return bytes;
}

// Adds samples [begin, end) (0-based) in order: raw samples up to the first boundary of a 16-block, those
// blocks up to the first boundary of a 256-block, and so on up while whole blocks still fit, then down
// again with ever smaller blocks to the raw samples of the ragged end.
ColumnPyramid::Accumulator ColumnPyramid::Accumulate(std::size_t begin, std::size_t end,
                                                     Accumulator acc) const {
    const std::size_t top = levels_.size();
    std::size_t p = begin;
    std::size_t level = 0;
    auto take = [&](std::size_t lvl) {
        if (lvl == 0) {
            acc.AddSample(values_[p], p);
            p += 1;
            return;
        }
        const unsigned shift = static_cast<unsigned>(kShift * lvl);
        const Block& b = levels_[lvl - 1][p >> shift];
        acc.AddBlock(b);
        p += std::size_t{1} << shift;
    };
    while (level < top) {
        const std::size_t size = std::size_t{1} << (kShift * level);
        const std::size_t nextMask = (size << kShift) - 1;
        while ((p & nextMask) != 0 && p + size <= end) {
            take(level);
        }
        if ((p & nextMask) != 0 || p + nextMask + 1 > end) {
            break;
        }
        ++level;
    }
    while (true) {
        const std::size_t size = std::size_t{1} << (kShift * level);
        while (p + size <= end) {
            take(level);
        }
        if (level == 0) {
            break;
        }
        --level;
    }
    return acc;
}

ColumnSet ColumnPyramid::BuildColumns(IndexRange range, int plotWidth, double factor) const {
    // The clamping and the column bounds are those of the full scan, step for step, so that both give the
    // same columns; only the work inside a column differs.
    const int available = static_cast<int>(std::min<std::size_t>(values_.size(), kPixelLimit));
    IndexRange clamped = range;
    clamped.first = std::max(clamped.first, 1);
    clamped.last = std::min(clamped.last, available);
    const int n = clamped.Count();
    const int c = ColumnCount(plotWidth, n);
    if (c == 0 || n <= c) {
        // One point per column: nothing to summarise.
        return ui::BuildColumns(values_, range, plotWidth, factor);
    }
    ColumnSet result;
    result.decimated = true;
    result.columns.reserve(static_cast<std::size_t>(c));
    const double r = static_cast<double>(n) / c;
    int begin = clamped.first;
    for (int k = 1; k <= c; ++k) {
        int end = k == c ? clamped.last : static_cast<int>(std::nearbyint(k * r)) + clamped.first - 1;
        end = std::clamp(end, begin, clamped.last);
        const double firstValue = values_[static_cast<std::size_t>(begin - 1)];
        Accumulator acc;
        // Seeded with the first sample as the full scan is: a NaN there stays the extreme of the column.
        acc.minimum = firstValue;
        acc.maximum = firstValue;
        acc.indexOfMaxAbs = static_cast<std::size_t>(begin - 1);
        acc = Accumulate(static_cast<std::size_t>(begin - 1), static_cast<std::size_t>(end), acc);
        Column col;
        col.first = begin;
        col.last = end;
        col.indexOfMaxAbs = static_cast<int>(acc.indexOfMaxAbs) + 1;
        // Taking the sample from the summaries spares a cache miss per column; a column of NaN alone has
        // no winner and shows its first sample, as the full scan does.
        col.single = (acc.bestAbs < 0 ? values_[acc.indexOfMaxAbs] : acc.best) * factor;
        col.average = acc.sum / (end - begin + 1) * factor;
        col.minimum = std::min(acc.minimum * factor, acc.maximum * factor);
        col.maximum = std::max(acc.minimum * factor, acc.maximum * factor);
        result.columns.push_back(col);
        begin = std::min(end + 1, clamped.last);
    }
    return result;
}

}  // namespace velmar::ui
