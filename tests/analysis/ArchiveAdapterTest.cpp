// The engine behind the archive's derived-data cache, and the channel conversion for batch use.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "../archive/NodeTestSupport.hpp"
#include "analysis/ArchiveAdapter.hpp"
#include "analysis/ChannelConversion.hpp"
#include "analysis/TransformTable.hpp"

namespace velmar::analysis {
namespace {

using archive::ArchiveContext;
using archive::MakeNode;
using archive::TDataHeader;
using archive::TDBLevel;
using archive::TransformParams;
using archive::test::PlainNode;

std::shared_ptr<const TransformEngine> ShippedEngine() {
    TransformTable table;
    LoadTransformTable(table, std::filesystem::path(VELMAR_SOURCE_DIR) / "resources" / "ini");
    return std::make_shared<const TransformEngine>(table);
}

TDataHeader SignalHeader(std::int32_t count, double rate, std::int32_t quantity) {
    TDataHeader h;
    h.Kind = 2;
    h.Quantity = quantity;
    h.XStep = 1.0 / rate;
    h.XEnd = h.XStep * (count - 1);
    h.Count = count;
    h.Rms = 1.25;
    h.PhaseShift2 = 15.0;
    h.Carried63 = 63.0;
    return h;
}

std::vector<double> TwoTones(std::size_t count, double rate) {
    std::vector<double> y;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        y.push_back(3.0 * std::sin(2.0 * std::numbers::pi * 80.0 * t) +
                    std::sin(2.0 * std::numbers::pi * 310.0 * t + 1.0));
    }
    return y;
}

TransformParams Request(std::int32_t kind, std::int32_t quantity) {
    TransformParams p;
    p.Valid = 1;
    p.TargetKind = kind;
    p.TargetQuantity = quantity;
    return p;
}

class ArchiveAdapterTest : public ::testing::Test {
  protected:
    ArchiveAdapterTest() : adapter(ShippedEngine()) { context.transformEngine = &adapter; }

    // A direction-like node holding an acceleration signal.
    archive::NodePtrOf<PlainNode> SignalNode(std::int32_t count, double rate) {
        auto node = MakeNode<PlainNode>(context, nullptr, archive::kLevelDirection);
        node->SetHeader(SignalHeader(count, rate, 4));
        node->BeginAccess();
        const std::vector<double> y = TwoTones(static_cast<std::size_t>(count), rate);
        std::copy(y.begin(), y.end(), node->MutableValues().begin());
        node->EndAccess();
        TransformParams own = Request(2, 4);
        node->SetTransformParams(own);
        return node;
    }

    ArchiveContext context;
    ArchiveTransformEngine adapter;
};

// A direction node asked for its velocity spectrum derives it through the real engine (PREOBR.INI as
// shipped: FFT, then integration of the lines), keeps it as a child, and hands out that child again.
TEST_F(ArchiveAdapterTest, findOrCreateTransformDerivesASpectrumThroughTheEngine) {
    auto node = SignalNode(2048, 2560.0);
    TDBLevel* derived = node->FindOrCreateTransform(Request(4, 2));
    ASSERT_NE(derived, nullptr);
    EXPECT_NE(derived, node.get());
    const TDataHeader h = derived->GetHeader();
    EXPECT_EQ(h.Kind, 4);
    EXPECT_EQ(h.Quantity, 2);
    EXPECT_EQ(h.Count, 800);
    EXPECT_TRUE(h.HasPairs());
    EXPECT_DOUBLE_EQ(h.XStep, 1.25);
    EXPECT_EQ(h.PhaseShift2, 15.0);
    EXPECT_EQ(h.Carried63, 63.0);
    EXPECT_EQ(derived->GetTransformParams().TargetKind, 4);

    // The same numbers as the engine gives for the series itself.
    Series source = SeriesFromNodeData(SignalHeader(2048, 2560.0, 4), TwoTones(2048, 2560.0));
    Series expected;
    ASSERT_EQ(ShippedEngine()->ConvertTo(source, 4, 2, expected), ConvertStatus::kConverted);
    for (int i = 1; i <= h.Count; i += 37) {
        EXPECT_EQ(derived->Y(i), expected.y[static_cast<std::size_t>(i - 1)]) << i;
        EXPECT_EQ(derived->RawPhase(i), expected.phase[static_cast<std::size_t>(i - 1)]) << i;
    }
    // 80 Hz, 3 m/s² through Hamming (0.972) and integration: 3·0.972·1000/(2π·80) mm/s at line 64
    EXPECT_NEAR(derived->Y(65), 3.0 * 0.972 * 1000.0 / (2.0 * std::numbers::pi * 80.0), 0.02);

    EXPECT_EQ(node->FindOrCreateTransform(Request(4, 2)), derived);
    EXPECT_EQ(node->ChildCount(), 1);
    node->ReleaseTransform(derived);
    node->ReleaseTransform(derived);
    EXPECT_EQ(node->ChildCount(), 0);
}

TEST_F(ArchiveAdapterTest, refusedConversionsLeaveNoNode) {
    auto node = SignalNode(3, 2560.0);
    EXPECT_EQ(node->FindOrCreateTransform(Request(4, 2)), nullptr);
    EXPECT_EQ(adapter.LastStatus(), ConvertStatus::kUnfitInput);
    auto big = SignalNode(512, 2560.0);
    EXPECT_EQ(big->FindOrCreateTransform(Request(2, 16)), nullptr);  // acceleration into voltage
    EXPECT_EQ(adapter.LastStatus(), ConvertStatus::kNoConversion);
    EXPECT_EQ(big->ChildCount(), 0);
}

TEST_F(ArchiveAdapterTest, bandPowerAndPartSpectrumReadTheirParametersFromTheRecord) {
    auto node = SignalNode(4096, 2560.0);
    TransformParams bands = Request(256, 2);
    bands.PowType = 0;
    bands.BandRatio = 2.0;
    TDBLevel* power = node->FindOrCreateTransform(bands);
    ASSERT_NE(power, nullptr);
    EXPECT_EQ(power->GetHeader().Kind, 256);
    EXPECT_FALSE(power->GetHeader().HasPairs());

    TransformParams part = Request(16, 4);
    part.BeginTime = 0.1;
    part.EndTime = 1.0;
    part.BeginFreq = 50.0;
    part.EndFreq = 350.0;
    part.StepFreq = 10.0;
    TDBLevel* partNode = node->FindOrCreateTransform(part);
    ASSERT_NE(partNode, nullptr);
    EXPECT_EQ(partNode->GetHeader().Kind, 16);
    EXPECT_EQ(partNode->GetHeader().Count, 31);
    EXPECT_DOUBLE_EQ(partNode->X(4), 80.0);
    EXPECT_NEAR(partNode->Y(4), 3.0, 0.05);
}

// The buffer layouts: harmonics four elements a point, pair spectra two, spectra without phases packed at
// the front; phases go in and out raw, the second shift stays in the header.
TEST(NodeData, layoutsGoInAndOutAsTheNodeHoldsThem) {
    TDataHeader pairs;
    pairs.Kind = 4;
    pairs.Flags = TDataHeader::kPairFlag;
    pairs.Count = 2;
    pairs.PhaseShift2 = 20.0;
    const std::vector<double> pairElements{1.0, 350.0, 2.0, 10.0};
    Series s = SeriesFromNodeData(pairs, pairElements);
    EXPECT_EQ(s.y, (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(s.phase, (std::vector<double>{350.0, 10.0}));
    TDataHeader back;
    std::vector<double> elements;
    NodeDataFromSeries(s, back, elements);
    EXPECT_EQ(elements, pairElements);
    EXPECT_EQ(back, pairs);

    TDataHeader packed = pairs;
    packed.Flags = 0;
    const Series values = SeriesFromNodeData(packed, std::vector<double>{5.0, 6.0, 0.0, 0.0});
    EXPECT_EQ(values.y, (std::vector<double>{5.0, 6.0}));
    EXPECT_FALSE(values.HasPhases());
    NodeDataFromSeries(values, back, elements);
    EXPECT_EQ(elements, (std::vector<double>{5.0, 6.0, 0.0, 0.0}));

    TDataHeader harmonics;
    harmonics.Kind = 64;
    harmonics.Count = 2;
    const std::vector<double> four{50.0, 1.0, 90.0, 0.25, 100.0, 0.5, 180.0, 0.75};
    const Series peaks = SeriesFromNodeData(harmonics, four);
    EXPECT_EQ(peaks.x, (std::vector<double>{50.0, 100.0}));
    EXPECT_EQ(peaks.fourth, (std::vector<double>{0.25, 0.75}));
    EXPECT_DOUBLE_EQ(peaks.totalPeakArea, 1.0);
    NodeDataFromSeries(peaks, back, elements);
    EXPECT_EQ(elements, four);

    // A buffer shorter than its count reads zeros beyond its end, as the node does.
    TDataHeader signal;
    signal.Kind = 2;
    signal.Count = 4;
    EXPECT_EQ(SeriesFromNodeData(signal, std::vector<double>{1.0, 2.0}).y,
              (std::vector<double>{1.0, 2.0, 0.0, 0.0}));
}

// ---- Channel conversion for batch use
// -------------------------------------------------------------------------

TEST(ChannelConversion, convertsWithTheOptionsGiven) {
    const auto engine = ShippedEngine();
    const TDataHeader h = SignalHeader(4096, 2560.0, 4);
    const std::vector<double> y = TwoTones(4096, 2560.0);

    ChannelConversionOptions spectrum;
    spectrum.kind = *ParseKindCode("Spc");
    spectrum.quantity = *ParseQuantityCode("Acc");
    spectrum.window = *ParseWindowName("hann");
    ChannelConversion c = ConvertChannel(*engine, h, y, spectrum);
    ASSERT_EQ(c.status, ConvertStatus::kConverted);
    EXPECT_EQ(c.series.Count(), 1600u);
    EXPECT_NEAR(c.series.y[128], 3.0, 0.01);  // 80 Hz on line 128, Hann reads the amplitude

    ChannelConversionOptions part;
    part.kind = 16;
    part.beginFreq = 300.0;
    part.endFreq = 320.0;
    part.stepFreq = 5.0;
    part.beginTime = 0.0;
    part.endTime = 1.0;
    c = ConvertChannel(*engine, h, y, part);
    ASSERT_EQ(c.status, ConvertStatus::kConverted);
    ASSERT_EQ(c.series.Count(), 5u);
    EXPECT_NEAR(c.series.y[2], 1.0, 0.01);  // 310 Hz

    ChannelConversionOptions bands;
    bands.kind = 256;
    bands.bands = *ParseBandChoice("third");
    c = ConvertChannel(*engine, h, y, bands);
    EXPECT_EQ(c.status, ConvertStatus::kConverted);
    EXPECT_EQ(c.series.kind, 256);

    ChannelConversionOptions voltage;
    voltage.quantity = 16;
    EXPECT_EQ(ConvertChannel(*engine, h, y, voltage).status, ConvertStatus::kNoConversion);
    EXPECT_EQ(ConvertStatusToken(ConvertStatus::kNoConversion), "no-conversion");

    const std::optional<double> rms = ChannelRms(*engine, h, y, false);
    ASSERT_TRUE(rms.has_value());
    EXPECT_GT(*rms, 0.0);
}

TEST(ChannelConversion, parsesBandsAndWindows) {
    EXPECT_EQ(ParseBandChoice("Octave")->ratio, 2.0);
    EXPECT_EQ(ParseBandChoice("half")->bandWidth, 1);
    EXPECT_DOUBLE_EQ(ParseBandChoice("third")->ratio, std::cbrt(2.0));
    EXPECT_EQ(ParseBandChoice("1,5")->ratio, 1.5);
    EXPECT_EQ(ParseBandChoice("1.5")->bandWidth, BandChoice::kOtherBandWidth);
    EXPECT_FALSE(ParseBandChoice("1").has_value());
    EXPECT_FALSE(ParseBandChoice("0.5").has_value());
    EXPECT_FALSE(ParseBandChoice("wide").has_value());
    EXPECT_EQ(ParseWindowName("HAMMING"), FftWindow::kHamming);
    EXPECT_EQ(ParseWindowName("hanning"), FftWindow::kHann);
    EXPECT_EQ(ParseWindowName("rect"), FftWindow::kRectangular);
    EXPECT_FALSE(ParseWindowName("blackman").has_value());
}

}  // namespace
}  // namespace velmar::analysis
