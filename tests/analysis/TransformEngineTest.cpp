// The conversion driver and the services built on it: RMS velocity and order components.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "GoldenSupport.hpp"
#include "analysis/OrderComponents.hpp"
#include "analysis/TransformEngine.hpp"
#include "common/IniFile.hpp"

namespace velmar::analysis {
namespace {

using testing::ExpectNearPhases;
using testing::ExpectNearVector;
using testing::Golden;

TransformEngine EngineFrom(const std::string& ini) {
    TransformTable table;
    table.Load(common::IniFile::FromBytes(ini));
    return TransformEngine(table);
}

Series Sine(std::size_t count, double rate, double amplitude, double frequency, double phaseDegrees,
            std::int32_t quantity) {
    Series s;
    s.kind = 2;
    s.quantity = quantity;
    s.xStep = 1.0 / rate;
    s.xEnd = s.xStep * static_cast<double>(count - 1);
    for (std::size_t i = 0; i < count; ++i) {
        s.y.push_back(amplitude *
                      std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate -
                               phaseDegrees * std::numbers::pi / 180.0));
    }
    s.RecomputePeak();
    return s;
}

// "BpfInt" takes the FFT and then integrates the lines (division by 2πf, the first round(0.001·n) lines
// zeroed); "IntBpf" integrates the signal (with its detrend) and then takes the FFT. Each must match its
// own reference, which differ.
TEST(Convert, runsTheStepsInTheOrderTheFileGives) {
    struct Case {
        const char* chain;
        const char* golden;
    };
    for (const Case c : {Case{"BpfInt", "order_bpf_int"}, Case{"IntBpf", "order_int_bpf"}}) {
        SCOPED_TRACE(c.chain);
        const TransformEngine engine = EngineFrom(std::string("[SigSpc]\r\nAccVel=") + c.chain + "\r\n");
        const auto& golden = Golden(c.golden);
        Series result;
        ASSERT_EQ(engine.ConvertTo(golden.Input(), 4, 2, result), ConvertStatus::kConverted);
        EXPECT_EQ(result.kind, 4);
        EXPECT_EQ(result.quantity, 2);
        ExpectNearVector(result.y, golden.Array("out_values"), 1e-9, "values");
        ExpectNearPhases(result.phase, golden.Array("out_phases"), result.y, 1e-6, "phases");
    }
    // The two orders give measurably different spectra, so each reference pins its own order.
    const auto& a = Golden("order_bpf_int").Array("out_values");
    const auto& b = Golden("order_int_bpf").Array("out_values");
    double largest = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        largest = std::max(largest, std::fabs(a[i] - b[i]));
    }
    EXPECT_GT(largest, 1e-3 * testing::MaxAbs(a));
}

TEST(Convert, identityNeedsNoTable) {
    const TransformEngine engine;  // no PREOBR.INI at all
    Series source = Sine(100, 1000.0, 1.0, 50.0, 0.0, 4);
    Series result;
    EXPECT_EQ(engine.ConvertTo(source, 2, 4, result), ConvertStatus::kConverted);
    EXPECT_EQ(result.y, source.y);
    EXPECT_EQ(engine.ConvertTo(source, 4, 4, result), ConvertStatus::kNoConversion);
}

// An unset record names the data as they are (it used to report success and leave the target empty); zero
// target codes take the source's.
TEST(Convert, completesUnsetRecordsAndZeroTargets) {
    const TransformEngine engine = EngineFrom("[SigSig]\r\nAccVel=Int\r\n");
    const Series source = Sine(256, 1000.0, 1.0, 50.0, 0.0, 4);
    {
        TransformRequest request;
        request.valid = false;
        request.targetKind = 4;  // ignored: the record was never set
        Series result;
        ASSERT_EQ(engine.Convert(source, request, result), ConvertStatus::kConverted);
        EXPECT_TRUE(request.valid);
        EXPECT_EQ(request.targetKind, 2);
        EXPECT_EQ(request.targetQuantity, 4);
        EXPECT_EQ(result.y, source.y);
    }
    {
        TransformRequest request;  // kind and quantity both 0: a copy
        Series result;
        ASSERT_EQ(engine.Convert(source, request, result), ConvertStatus::kConverted);
        EXPECT_EQ(result.y, source.y);
        EXPECT_EQ(request.targetKind, 2);
    }
    {
        TransformRequest request;
        request.targetQuantity = 2;  // kind 0: the signal's
        Series result;
        ASSERT_EQ(engine.Convert(source, request, result), ConvertStatus::kConverted);
        EXPECT_EQ(request.targetKind, 2);
        EXPECT_EQ(result.kind, 2);
        EXPECT_EQ(result.quantity, 2);
    }
}

// A step that does not apply is passed over, but a chain that never reaches the target is a failure: it
// used to hand back the untouched data under the target's name.
TEST(Convert, chainThatMissesTheTargetFails) {
    // Harmonics of a signal do not apply; the signal would come out as "harmonics".
    const TransformEngine engine = EngineFrom("[SigGar]\r\nAccAcc=Gar\r\n[SigSpc]\r\nAccAcc=BpfSpo\r\n");
    Series result;
    result.kind = 99;
    EXPECT_EQ(engine.ConvertTo(Sine(256, 1000.0, 1.0, 50.0, 0.0, 4), 64, 4, result),
              ConvertStatus::kTargetNotReached);
    EXPECT_EQ(result.kind, 99);  // untouched
    // A passed-over step inside a chain that still arrives is fine.
    EXPECT_EQ(engine.ConvertTo(Sine(256, 1000.0, 1.0, 50.0, 0.0, 4), 4, 4, result),
              ConvertStatus::kConverted);
}

TEST(Convert, stepFailuresAreReported) {
    const TransformEngine engine = EngineFrom("[SigSpc]\r\nAccAcc=Bpf\r\n[SigPwb]\r\nAccAcc=BpfPwb\r\n");
    Series result;
    EXPECT_EQ(engine.ConvertTo(Sine(3, 1000.0, 1.0, 50.0, 0.0, 4), 4, 4, result), ConvertStatus::kUnfitInput);
    // ConvertTo leaves the band ratio at 0, which can never climb to the top of the spectrum.
    EXPECT_EQ(engine.ConvertTo(Sine(1024, 1000.0, 1.0, 50.0, 0.0, 4), 256, 4, result),
              ConvertStatus::kBadParameters);
    TransformRequest request;
    request.targetKind = 256;
    request.bands.ratio = 2.0;
    ASSERT_EQ(engine.Convert(Sine(1024, 1000.0, 1.0, 50.0, 0.0, 4), request, result),
              ConvertStatus::kConverted);
    EXPECT_EQ(result.kind, 256);
}

TEST(Convert, progressIsReportedAndCanStop) {
    const TransformEngine engine = EngineFrom("[SigSpc]\r\nAccVel=BpfInt\r\n");
    std::vector<double> seen;
    ConvertOptions options;
    options.progress = [&seen](double f) {
        seen.push_back(f);
        return true;
    };
    Series result;
    ASSERT_EQ(engine.ConvertTo(Sine(4096, 1000.0, 1.0, 50.0, 0.0, 4), 4, 2, result, options),
              ConvertStatus::kConverted);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), 0.0);
    EXPECT_EQ(seen.back(), 1.0);
    for (std::size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]);
    }
    options.progress = [](double f) { return f < 0.5; };
    result = Series{};
    EXPECT_EQ(engine.ConvertTo(Sine(4096, 1000.0, 1.0, 50.0, 0.0, 4), 4, 2, result, options),
              ConvertStatus::kCancelled);
    EXPECT_EQ(result.Count(), 0u);
}

// The window is an option of the call: a rectangular window asked for once does not stay behind for the
// next conversion, as a program-wide setting would.
TEST(Convert, windowIsChosenPerCall) {
    const TransformEngine engine = EngineFrom("[SigSpc]\r\nVelVel=Bpf\r\n");
    const Series sine = Sine(1024, 1024.0, 1.0, 64.0, 0.0, 2);
    Series rect, hamming, again;
    ConvertOptions options;
    options.window = FftWindow::kRectangular;
    ASSERT_EQ(engine.ConvertTo(sine, 4, 2, rect, options), ConvertStatus::kConverted);
    ASSERT_EQ(engine.ConvertTo(sine, 4, 2, hamming), ConvertStatus::kConverted);
    Series source = sine;
    ASSERT_TRUE(engine.SpectrumRms(source, false).has_value());  // takes the rectangular window inside
    ASSERT_EQ(engine.ConvertTo(sine, 4, 2, again), ConvertStatus::kConverted);
    EXPECT_NEAR(rect.y[64], 1.0, 1e-9);
    EXPECT_NEAR(hamming.y[64], 0.972, 2e-3);
    EXPECT_EQ(again.y, hamming.y);
}

// ---- SpectrumRms
// --------------------------------------------------------------------------------------------

const char* kRmsTable =
    "[SigSpc]\r\nVelVel=Bpf\r\nAccVel=BpfInt\r\nDisVel=BpfDif\r\n"
    "[SpcSpc]\r\nAccVel=Int\r\n";

// Velocity lines from 10 Hz to 1000 Hz: a 1 mm/s sine at 160 Hz counts, one at 4 Hz and one at 1200 Hz
// do not; RMS = √(Σy²/2), stored with the data.
TEST(SpectrumRms, sumsTheVelocityLinesFrom10To1000Hz) {
    const TransformEngine engine = EngineFrom(kRmsTable);
    Series s = Sine(4096, 4096.0, 1.0, 160.0, 0.0, 2);
    const Series low = Sine(4096, 4096.0, 3.0, 4.0, 0.0, 2);
    const Series high = Sine(4096, 4096.0, 2.0, 1200.0, 0.0, 2);
    for (std::size_t i = 0; i < s.Count(); ++i) {
        s.y[i] += low.y[i] + high.y[i];
    }
    const std::optional<double> rms = engine.SpectrumRms(s, false);
    ASSERT_TRUE(rms.has_value());
    EXPECT_NEAR(*rms, 1.0 / std::sqrt(2.0), 1e-9);
    EXPECT_EQ(s.rms, *rms);
}

TEST(SpectrumRms, upperEdgeDependsOnQuantityAndCalibration) {
    const TransformEngine engine = EngineFrom(kRmsTable);
    // 1010 Hz: inside the calibration band (to 1020 Hz) only.
    Series velocity = Sine(4096, 4096.0, 1.0, 1010.0, 0.0, 2);
    Series copy = velocity;
    EXPECT_NEAR(*engine.SpectrumRms(velocity, false), 0.0, 1e-9);
    EXPECT_NEAR(*engine.SpectrumRms(copy, true), 1.0 / std::sqrt(2.0), 1e-9);
    // Displacement counts to 300 Hz only: a displacement sine at 400 Hz is left out, one at 250 Hz is in.
    Series displacement = Sine(4096, 4096.0, 1.0, 400.0, 0.0, 1);
    EXPECT_NEAR(*engine.SpectrumRms(displacement, false), 0.0, 1e-6);
    Series inside = Sine(4096, 4096.0, 1.0, 250.0, 0.0, 1);
    // d/dt of 1 µm at 250 Hz is 2π·250/1000 mm/s
    EXPECT_NEAR(*engine.SpectrumRms(inside, false), 2.0 * std::numbers::pi * 0.25 / std::sqrt(2.0), 1e-3);
}

// In a measured spectrum a line under a fifth of a neighbour is that neighbour's leakage and is not
// counted.
TEST(SpectrumRms, measuredSpectraDropLinesBesideStrongOnes) {
    const TransformEngine engine = EngineFrom("[SpcSpc]\r\n");
    Series s;
    s.kind = 4;
    s.quantity = 2;
    s.xStep = 5.0;
    s.y.assign(300, 0.0);
    s.y[20] = 10.0;  // 100 Hz
    s.y[21] = 1.9;   // under 10/5: dropped
    s.y[50] = 3.0;   // 250 Hz
    s.y[51] = 0.7;   // not under 3/5: kept
    s.y[1] = 50.0;   // 5 Hz: below the band
    s.xEnd = 5.0 * 299;
    const std::optional<double> rms = engine.SpectrumRms(s, false);
    ASSERT_TRUE(rms.has_value());
    EXPECT_NEAR(*rms, std::sqrt((100.0 + 9.0 + 0.49) / 2.0), 1e-12);
}

TEST(SpectrumRms, nothingWhenThereIsNoVelocitySpectrum) {
    const TransformEngine engine = EngineFrom(kRmsTable);
    Series voltage = Sine(1024, 1024.0, 1.0, 64.0, 0.0, 16);
    voltage.rms = 7.0;
    EXPECT_FALSE(engine.SpectrumRms(voltage, false).has_value());
    EXPECT_EQ(voltage.rms, 7.0);
    Series tiny = Sine(2, 1024.0, 1.0, 64.0, 0.0, 2);
    tiny.rms = 7.0;
    EXPECT_FALSE(engine.SpectrumRms(tiny, false).has_value());
    EXPECT_EQ(tiny.rms, 7.0);
}

// ---- OrderComponents
// ----------------------------------------------------------------------------------------

TEST(OrderComponents, readsAmplitudeAndPhaseOfEachOrder) {
    const double rate = 2560.0, rotation = 25.0;
    Series s = Sine(10000, rate, 2.0, 25.0, 30.0, 4);
    const Series second = Sine(10000, rate, 0.5, 75.0, 200.0, 4);
    for (std::size_t i = 0; i < s.Count(); ++i) {
        s.y[i] += second.y[i];
    }
    const OrderComponentsResult r = OrderComponents(s, 1, 0, 10, rotation);
    ASSERT_EQ(r.orderCount, 10);
    EXPECT_NEAR(r.amplitudes[0], 2.0, 1e-9);
    EXPECT_NEAR(r.phases[0], 30.0, 1e-7);
    EXPECT_NEAR(r.amplitudes[1], 0.0, 1e-9);
    EXPECT_NEAR(r.amplitudes[2], 0.5, 1e-9);
    EXPECT_NEAR(r.phases[2], 200.0, 1e-7);
}

TEST(OrderComponents, capsOrdersAndStretch) {
    Series s = Sine(1000, 1000.0, 1.0, 50.0, 0.0, 4);
    // fs/2.56/f0 = 1000/2.56/50 = 7.8: seven orders at most
    EXPECT_EQ(OrderComponents(s, 1, 1000, 10, 50.0).orderCount, 7);
    EXPECT_EQ(OrderComponents(s, 1, 1000, 3, 50.0).orderCount, 3);
    EXPECT_EQ(OrderComponents(s, 1, 1000, 10, 500.0).orderCount, 0);
    // A stretch starting beyond the signal, a signal without step, another kind, no rotation: nothing.
    EXPECT_EQ(OrderComponents(s, 2000, 0, 10, 50.0).orderCount, 0);
    EXPECT_EQ(OrderComponents(s, 1000, 0, 10, 50.0).orderCount, 0);
    EXPECT_EQ(OrderComponents(s, 1, 1000, 10, 0.0).orderCount, 0);
    Series spectrum = s;
    spectrum.kind = 4;
    EXPECT_EQ(OrderComponents(spectrum, 1, 1000, 10, 50.0).orderCount, 0);
    // A stretch of 8.5 revolutions is cut to 8 whole ones: a sine at 50 Hz reads exactly.
    const OrderComponentsResult r = OrderComponents(s, 11, 11 + 169, 1, 50.0);
    ASSERT_EQ(r.orderCount, 1);
    EXPECT_NEAR(r.amplitudes[0], 1.0, 1e-9);
}

// Channel block 14 laid out by hand: delay 3 samples at 1000 Hz, table (0 Hz, 10°), (100 Hz, 30°).
std::vector<std::uint8_t> HandMadeBlock() {
    std::vector<std::uint8_t> b(1072, 0);
    const std::int32_t delay = 3;
    const float rate = 1000.0f, f0 = 0.0f, p0 = 10.0f, f1 = 100.0f, p1 = 30.0f;
    std::memcpy(&b[0], &delay, 4);
    std::memcpy(&b[4], &rate, 4);
    b[8] = 2;
    std::memcpy(&b[9], &f0, 4);
    std::memcpy(&b[13], &p0, 4);
    std::memcpy(&b[17], &f1, 4);
    std::memcpy(&b[21], &p1, 4);
    return b;
}

TEST(PhaseResponse, decodesTheBlockLaidOutByHand) {
    const std::optional<PhaseResponse> r = DecodePhaseResponse(HandMadeBlock());
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->delaySamples, 3);
    EXPECT_EQ(r->rateHz, 1000.0f);
    ASSERT_EQ(r->table.size(), 2u);
    EXPECT_EQ(r->table[1].x, 100.0f);
    EXPECT_EQ(r->table[1].y, 30.0f);
    EXPECT_EQ(EncodePhaseResponse(*r), HandMadeBlock());

    std::vector<std::uint8_t> tooMany = HandMadeBlock();
    tooMany[8] = 133;
    EXPECT_FALSE(DecodePhaseResponse(tooMany).has_value());
    std::vector<std::uint8_t> cut = HandMadeBlock();
    cut.resize(20);  // the count says 2 points, 25 bytes
    EXPECT_FALSE(DecodePhaseResponse(cut).has_value());
}

// The phase of order k moves by the table's value at k·f0 less the turn of the delay, 360·k·f0·delay/rate.
TEST(OrderComponents, phaseResponseCorrectsEachOrder) {
    const PhaseResponse response = *DecodePhaseResponse(HandMadeBlock());
    Series s = Sine(4000, 1000.0, 1.0, 20.0, 50.0, 4);
    const Series second = Sine(4000, 1000.0, 1.0, 40.0, 50.0, 4);
    for (std::size_t i = 0; i < s.Count(); ++i) {
        s.y[i] += second.y[i];
    }
    const OrderComponentsResult plain = OrderComponents(s, 1, 0, 2, 20.0);
    const OrderComponentsResult corrected = OrderComponents(s, 1, 0, 2, 20.0, &response);
    ASSERT_EQ(corrected.orderCount, 2);
    // order 1, 20 Hz: table 14°, delay 360·20·3/1000 = 21.6°; order 2, 40 Hz: 18° and 43.2°
    EXPECT_NEAR(corrected.phases[0], std::fmod(plain.phases[0] + 14.0 - 21.6 + 360.0, 360.0), 1e-6);
    EXPECT_NEAR(corrected.phases[1], std::fmod(plain.phases[1] + 18.0 - 43.2 + 360.0, 360.0), 1e-6);
    EXPECT_EQ(corrected.amplitudes, plain.amplitudes);
}

}  // namespace
}  // namespace velmar::analysis
