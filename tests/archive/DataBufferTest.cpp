// The data buffer of a node: layout by kind, locking, accessors, nearest point, statistics, copying.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "NodeTestSupport.hpp"
#include "common/Real48.hpp"

namespace velmar::archive {
namespace {

using test::PlainNode;
using test::RecordingView;
using test::Told;

class DataBufferTest : public ::testing::Test {
  protected:
    // A locked node of `kind` with `count` points, each element numbered j holding `j` unless filled.
    NodePtrOf<PlainNode> Series(std::int32_t kind, std::int32_t count, std::uint8_t flags = 0) {
        auto node = MakeNode<PlainNode>(context, nullptr);
        TDataHeader h;
        h.Kind = kind;
        h.Quantity = 4;
        h.Flags = flags;
        h.XStart = 0;
        h.XStep = 1;
        h.XEnd = count - 1;
        node->SetHeader(h);
        node->AllocData(count);
        node->LockData();
        return node;
    }

    ArchiveContext context;
};

TEST_F(DataBufferTest, AllocData_sizesTheBufferByKind) {
    struct Case {
        std::int32_t kind;
        std::size_t bytesPerPoint;
    };
    for (const Case c : {Case{1, 8}, Case{2, 8}, Case{4, 16}, Case{8, 16}, Case{16, 16}, Case{32, 16},
                         Case{64, 32}, Case{128, 8}, Case{256, 8}, Case{512, 8}}) {
        auto node = Series(c.kind, 5);
        EXPECT_EQ(node->DataSize(), 5 * c.bytesPerPoint) << "kind " << c.kind;
        EXPECT_EQ(node->Values().size(), 5 * c.bytesPerPoint / 8) << "kind " << c.kind;
        EXPECT_EQ(node->Header().Count, 5);
    }
}

TEST_F(DataBufferTest, SpectrumWithoutPairFlag_keepsValuesAtTheFrontAndHasNoPhases) {
    auto node = Series(4, 3);
    for (int i = 1; i <= 3; ++i) {
        node->SetY(i, 10.0 * i);
        node->SetPhase(i, 45.0);  // no phases to write
    }
    EXPECT_EQ(node->DataSize(), 48u);
    EXPECT_THAT(node->Values(), ::testing::ElementsAre(10, 20, 30, 0, 0, 0));
    EXPECT_EQ(node->Y(2), 20.0);
    EXPECT_EQ(node->Phase(2), 0.0);
    EXPECT_EQ(node->X(3), 2.0);
}

TEST_F(DataBufferTest, PairSpectrum_addsTheSecondPhaseShiftOnce) {
    auto node = Series(4, 2, TDataHeader::kPairFlag);
    TDataHeader h = node->GetHeader();
    h.PhaseShift2 = 10;
    node->SetHeader(h);
    node->SetY(1, 3.5);
    node->SetPhase(1, 355);
    EXPECT_THAT(node->Values(), ::testing::ElementsAre(3.5, 355, 0, 0));
    EXPECT_EQ(node->Y(1), 3.5);
    EXPECT_EQ(node->RawPhase(1), 355.0);
    EXPECT_DOUBLE_EQ(node->Phase(1), 5.0);
    // The second shift is in Phase already; the total turn is 10 degrees, not 20.
    EXPECT_DOUBLE_EQ(node->PhaseWithShifts(1), 5.0);
    h.PhaseShift = 20;
    node->SetHeader(h);
    EXPECT_DOUBLE_EQ(node->PhaseWithShifts(1), 25.0);
}

TEST_F(DataBufferTest, Harmonics_holdFrequencyAmplitudePhaseAndFourthPerPoint) {
    auto node = Series(64, 2);
    TDataHeader h = node->GetHeader();
    h.PhaseShift = 30;
    h.PhaseShift2 = 10;
    node->SetHeader(h);
    node->SetX(2, 49.5);
    node->SetY(2, 1.25);
    node->SetPhase(2, 350);
    node->SetFourth(2, 7);
    EXPECT_THAT(node->Values(), ::testing::ElementsAre(0, 0, 0, 0, 49.5, 1.25, 350, 7));
    EXPECT_EQ(node->X(2), 49.5);
    EXPECT_EQ(node->Fourth(2), 7.0);
    EXPECT_DOUBLE_EQ(node->Phase(2), 350.0);
    EXPECT_DOUBLE_EQ(node->PhaseWithShifts(2), 30.0);  // 350 + 30 + 10
}

TEST_F(DataBufferTest, Layout_describesWhereEachPartOfAPointIs) {
    struct Case {
        std::int32_t kind;
        std::uint8_t flags;
        int point;  // 1-based point to look at
    };
    for (const Case c : {Case{2, 0, 3}, Case{4, 0, 3}, Case{4, 1, 3}, Case{32, 1, 2}, Case{64, 0, 2}}) {
        auto node = Series(c.kind, 4, c.flags);
        std::span<double> values = node->MutableValues();
        for (std::size_t k = 0; k < values.size(); ++k) {
            values[k] = 100 + static_cast<double>(k);
        }
        const PointLayout layout = node->Layout();
        const std::size_t first = static_cast<std::size_t>(c.point - 1) * layout.stride;
        EXPECT_EQ(node->Y(c.point), values[first + static_cast<std::size_t>(layout.value)]) << c.kind;
        if (layout.phase >= 0) {
            EXPECT_EQ(node->RawPhase(c.point), values[first + static_cast<std::size_t>(layout.phase)])
                << c.kind;
        }
        if (layout.x >= 0) {
            EXPECT_EQ(node->X(c.point), values[first + static_cast<std::size_t>(layout.x)]) << c.kind;
        }
        if (layout.fourth >= 0) {
            EXPECT_EQ(node->Fourth(c.point), values[first + static_cast<std::size_t>(layout.fourth)])
                << c.kind;
        }
    }
}

TEST_F(DataBufferTest, ElementAccess_outsideTheBufferOrOutsideALockReadsZeroAndWritesNothing) {
    auto node = Series(2, 3);
    node->SetDouble(1, 0.1);
    node->SetDouble(0, 5);
    node->SetDouble(4, 5);
    node->SetY(4, 5);
    EXPECT_EQ(node->Double(0), 0.0);
    EXPECT_EQ(node->Double(4), 0.0);
    EXPECT_EQ(node->Y(-1), 0.0);
    EXPECT_EQ(node->Y(1), 0.1);
    EXPECT_EQ(node->RawValue(1), common::RoundToReal48(0.1));
    EXPECT_NE(node->RawValue(1), 0.1);
    node->SetRawValue(2, common::DoubleToReal48(12.5));
    EXPECT_EQ(node->Double(2), 12.5);

    node->UnlockData();
    EXPECT_TRUE(node->Values().empty());
    EXPECT_EQ(node->Y(1), 0.0);
    EXPECT_EQ(node->RawValue(1), 0.0);
    node->SetY(1, 99);
    node->LockData();
    EXPECT_EQ(node->Y(1), 0.1) << "the buffer outlives the lock; writes outside a lock are lost";
}

TEST_F(DataBufferTest, Locks_nestAndTheBufferIsReadableOnlyInsideThem) {
    auto node = MakeNode<PlainNode>(context, nullptr);
    TDataHeader h;
    h.Kind = 2;
    h.Count = 4;
    node->SetHeader(h);
    node->BeginAccess();  // no buffer yet: one of Count points
    EXPECT_EQ(node->DataSize(), 32u);
    EXPECT_TRUE(node->IsReadable());
    node->SetY(4, 4.0);
    node->LockData();
    node->EndAccess();
    EXPECT_TRUE(node->IsReadable());
    EXPECT_EQ(node->LockCount(), 1);
    node->UnlockData();
    EXPECT_FALSE(node->IsReadable());
    EXPECT_TRUE(node->HasBuffer());
    node->UnlockData();  // one unlock too many changes nothing
    EXPECT_EQ(node->LockCount(), 0);
    node->LockData();
    EXPECT_EQ(node->Y(4), 4.0);

    node->AllocData(2);  // while locked: readable at once
    EXPECT_TRUE(node->IsReadable());
    EXPECT_EQ(node->Y(1), 0.0);
    node->UnlockData();
    node->AllocData(3);  // unlocked: kept for the next lock
    EXPECT_FALSE(node->IsReadable());
    node->FreeData();
    EXPECT_FALSE(node->HasBuffer());
    EXPECT_EQ(node->DataSize(), 0u);
}

TEST_F(DataBufferTest, AllocData_refusesImpossibleCountsAndKeepsTheData) {
    auto node = Series(2, 3);
    node->SetY(2, 7);
    EXPECT_THROW(node->AllocData(-1), std::length_error);
    EXPECT_THROW(node->AllocData(kMaxDataPoints + 1), std::length_error);
    EXPECT_EQ(node->Y(2), 7.0);
    EXPECT_EQ(node->Header().Count, 3);
    node->AllocData(0);
    EXPECT_FALSE(node->HasBuffer());
    EXPECT_EQ(node->Header().Count, 0);
}

// A node that loads its series on demand, as a direction reads its measurement file.
class OnDemandNode : public PlainNode {
  public:
    using PlainNode::PlainNode;
    int loads = 0;
    std::vector<double> file = {1, 2, 3};

    void AcquireBuffer() override {
        ++loads;
        std::span<double> buffer = Replace(file.size());
        std::copy(file.begin(), file.end(), buffer.begin());
    }
};

TEST_F(DataBufferTest, AcquireBuffer_overrideReloadsAtEveryFirstLock) {
    auto node = MakeNode<OnDemandNode>(context, nullptr);
    TDataHeader h;
    h.Kind = 2;
    h.Count = 3;
    node->SetHeader(h);
    node->LockData();
    node->LockData();
    EXPECT_EQ(node->loads, 1);
    EXPECT_EQ(node->Y(3), 3.0);
    node->UnlockData();
    node->UnlockData();
    node->file = {4, 5, 6};
    node->LockData();
    EXPECT_EQ(node->loads, 2);
    EXPECT_EQ(node->Y(3), 6.0);
}

TEST_F(DataBufferTest, IndexOfX_findsTheNearestPointOfAGrid) {
    auto node = Series(2, 10);  // x = 0 .. 9
    struct Case {
        double x;
        double tolerance;
        int expected;
    };
    const Case cases[] = {
        {2.5, 0, 3},  // half-way: the quotient 2.5 goes to the even 2
        {3.5, 0, 5},  // and 3.5 to the even 4
        {0.5, 0, 1},   {1.5, 0, 3},
        {2.4, 0.5, 3}, {2.4, 0.3, 0},  // nearest point too far
        {12, 0, 10},                   // beyond the end: the last point
        {12, 1, 0},    {-1, 0, 1},     // before the start: the first point
        {-1, 0.5, 0},  {std::numeric_limits<double>::quiet_NaN(), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(node->IndexOfX(c.x, c.tolerance), c.expected)
            << "x " << c.x << " tolerance " << c.tolerance;
    }
}

TEST_F(DataBufferTest, IndexOfX_staysInsideThePointsWhenTheHeaderDisagreesWithItself) {
    auto node = Series(2, 10);
    TDataHeader h = node->GetHeader();
    h.XEnd = 100;  // a damaged header: 10 points cannot reach 100
    node->SetHeader(h);
    EXPECT_EQ(node->IndexOfX(50, 0), 10);
    h.XStep = 0;
    node->SetHeader(h);
    EXPECT_EQ(node->IndexOfX(5, 0), 1);
    h.XStep = 1;
    h.Count = 0;
    node->SetHeader(h);
    EXPECT_EQ(node->IndexOfX(5, 0), 0);
}

TEST_F(DataBufferTest, IndexOfX_ofHarmonicsTakesTheNearestStoredFrequency) {
    auto node = Series(64, 3);
    TDataHeader h = node->GetHeader();
    h.XStart = 10;
    h.XEnd = 30;
    h.XStep = 10;
    node->SetHeader(h);
    node->SetX(1, 10);
    node->SetX(2, 20);
    node->SetX(3, 30);
    EXPECT_EQ(node->IndexOfX(15, 0), 1);  // a tie keeps the first
    EXPECT_EQ(node->IndexOfX(26, 0), 3);
    EXPECT_EQ(node->IndexOfX(26, 3), 0);
    node->UnlockData();
    EXPECT_EQ(node->IndexOfX(26, 0), 0) << "harmonics need their data";
}

TEST_F(DataBufferTest, Statistics_matchesADirectReckoning) {
    auto node = Series(4, 6, TDataHeader::kPairFlag);
    const double values[] = {3, -7, 7, 1, 0.5, -2};
    for (int i = 1; i <= 6; ++i) {
        node->SetY(i, values[i - 1]);
        node->SetPhase(i, 1000);  // phases never count
    }
    struct Case {
        int from;
        int to;
    };
    for (const Case c : {Case{1, 6}, Case{2, 4}, Case{3, 3}, Case{-5, 100}, Case{4, 6}}) {
        const int from = std::max(c.from, 1);
        const int to = std::min(c.to, 6);
        double maximum = -1e30, minimum = 1e30, largest = 0, sum = 0;
        int index = to;
        for (int i = from; i <= to; ++i) {
            const double y = values[i - 1];
            maximum = std::max(maximum, y);
            minimum = std::min(minimum, y);
            if (std::fabs(y) > largest) {
                largest = std::fabs(y);
                index = i;
            }
            sum += y;
        }
        const SeriesStatistics s = node->Statistics(c.from, c.to);
        EXPECT_EQ(s.count, to - from + 1) << c.from << ".." << c.to;
        EXPECT_EQ(s.indexOfMaxAbs, index) << c.from << ".." << c.to;
        EXPECT_EQ(s.maximum, maximum);
        EXPECT_EQ(s.minimum, minimum);
        EXPECT_DOUBLE_EQ(s.mean, sum / (to - from + 1));
        EXPECT_EQ(s.valueAtIndex, values[index - 1]);
    }
    // |-7| comes first and 7 is not strictly larger.
    EXPECT_EQ(node->Statistics(1, 6).indexOfMaxAbs, 2);
}

TEST_F(DataBufferTest, Statistics_ofNothingIsMinusOneWithZeros) {
    auto node = Series(2, 3);
    node->SetY(1, 5);
    EXPECT_EQ(node->Statistics(3, 2).count, -1);
    const SeriesStatistics one = node->Statistics(1, 1);
    EXPECT_EQ(one.count, 1);
    EXPECT_EQ(one.maximum, 5);
    EXPECT_EQ(one.minimum, 5);
    EXPECT_EQ(one.mean, 5);
    node->UnlockData();
    const SeriesStatistics none = node->Statistics(1, 3);
    EXPECT_EQ(none.count, -1);
    EXPECT_EQ(none.maximum, 0);
    EXPECT_EQ(none.indexOfMaxAbs, 0);
    auto empty = Series(2, 0);
    EXPECT_EQ(empty->Statistics(1, 1).count, -1);
}

TEST_F(DataBufferTest, AssignFrom_copiesHeaderAndDataAndTheCopyReadsTheSamePhases) {
    auto source = Series(4, 3, TDataHeader::kPairFlag);
    TDataHeader h = source->GetHeader();
    h.PhaseShift2 = 10;
    h.Rms = 2.5;
    source->SetHeader(h);
    for (int i = 1; i <= 3; ++i) {
        source->SetY(i, i);
        source->SetPhase(i, 355);
    }
    source->UnlockData();
    auto copy = MakeNode<PlainNode>(context, nullptr);
    std::vector<Told> log;
    RecordingView view("view", log);
    copy->AttachView(&view);
    copy->AssignFrom(source.get());
    EXPECT_EQ(copy->Header(), source->Header());
    EXPECT_EQ(source->LockCount(), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event, NodeEvent::DataChanged);
    copy->LockData();
    source->LockData();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(copy->Y(i), i);
        EXPECT_DOUBLE_EQ(copy->Phase(i), source->Phase(i));
    }
    EXPECT_DOUBLE_EQ(copy->Phase(1), 5.0);
    copy->DetachView(&view);
}

TEST_F(DataBufferTest, AssignFrom_aBufferOfAnotherSizeGoesPointByPointWithRawPhases) {
    // A spectrum read from a file holds one element per point (no pair flag) where a copy gets two.
    auto fromFile = MakeNode<test::PlainNode>(context, nullptr);
    TDataHeader h;
    h.Kind = 4;
    h.Count = 3;
    h.XStep = 0.5;
    fromFile->SetHeader(h);
    fromFile->LockData();
    std::span<double> loaded = fromFile->Replace(3);
    loaded[0] = 1;
    loaded[1] = 2;
    loaded[2] = 3;
    auto copy = MakeNode<PlainNode>(context, nullptr);
    copy->AssignFrom(fromFile.get());
    copy->LockData();
    EXPECT_EQ(copy->DataSize(), 48u);
    EXPECT_THAT(copy->Values(), ::testing::ElementsAre(1, 2, 3, 0, 0, 0));

    // Pairs copied into a buffer of another size keep their stored phases, not the shifted ones.
    auto pairs = MakeNode<test::PlainNode>(context, nullptr);
    h.Flags = TDataHeader::kPairFlag;
    h.PhaseShift2 = 10;
    pairs->SetHeader(h);
    pairs->LockData();
    std::span<double> raw = pairs->Replace(8);  // one spare element
    raw[0] = 7;
    raw[1] = 355;
    auto pairCopy = MakeNode<PlainNode>(context, nullptr);
    pairCopy->AssignFrom(pairs.get());
    pairCopy->LockData();
    EXPECT_EQ(pairCopy->DataSize(), 48u);
    EXPECT_EQ(pairCopy->RawPhase(1), 355.0);
    EXPECT_DOUBLE_EQ(pairCopy->Phase(1), 5.0);
}

TEST_F(DataBufferTest, AssignFrom_itselfOrNothingKeepsTheData) {
    auto node = Series(2, 3);
    node->SetY(2, 42);
    node->AssignFrom(node.get());
    node->AssignTo(node.get());
    node->AssignFrom(nullptr);
    EXPECT_EQ(node->Y(2), 42.0);
    node->CopyDataFrom(*node);
    EXPECT_EQ(node->Y(2), 42.0);
    EXPECT_EQ(node->LockCount(), 1);
}

TEST_F(DataBufferTest, AssignTo_fillsTheTarget) {
    auto node = Series(2, 2);
    node->SetY(1, 9);
    auto target = MakeNode<PlainNode>(context, nullptr);
    node->AssignTo(target.get());
    target->LockData();
    EXPECT_EQ(target->Y(1), 9.0);
}

TEST_F(DataBufferTest, UnitTexts_followTheKindAndQuantity) {
    auto node = MakeNode<PlainNode>(context, nullptr);
    TDataHeader h;
    for (std::int32_t kind : {2, 128, 512}) {
        h.Kind = kind;
        node->SetHeader(h);
        EXPECT_EQ(node->GetXUnitText(), "с") << kind;
    }
    for (std::int32_t kind : {4, 8, 16, 32, 64, 256}) {
        h.Kind = kind;
        node->SetHeader(h);
        EXPECT_EQ(node->GetXUnitText(), "Гц") << kind;
    }
    h.Kind = 1;
    h.Quantity = 1;
    node->SetHeader(h);
    EXPECT_EQ(node->GetXUnitText(), "?");
    EXPECT_EQ(node->GetYUnitText(), "мкм");
}

}  // namespace
}  // namespace velmar::archive
