// Power in frequency bands.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include "GoldenSupport.hpp"
#include "analysis/TransformSteps.hpp"

namespace velmar::analysis {
namespace {

using testing::ExpectNearVector;
using testing::Golden;

BandSpec Ratio(double ratio) {
    BandSpec bandSpec;
    bandSpec.mode = 0;
    bandSpec.ratio = ratio;
    return bandSpec;
}

TEST(BandPower, matchesTheReference) {
    for (const char* name : {"bands_octave", "bands_third", "bands_user"}) {
        SCOPED_TRACE(name);
        const auto& golden = Golden(name);
        Series s = golden.Input();
        s.rms = 2.5;
        s.phaseShift2 = 4.0;
        BandSpec bandSpec;
        bandSpec.mode = static_cast<std::uint8_t>(golden.Scalar("mode"));
        bandSpec.ratio = golden.Scalar("ratio", 0.0);
        if (bandSpec.mode == 1) {
            const std::vector<double>& edges = golden.Array("bands");
            bandSpec.count = static_cast<std::uint8_t>(edges.size() / 2);
            for (std::size_t k = 0; k < bandSpec.count; ++k) {
                bandSpec.bands[k] = FrequencyBand{edges[2 * k], edges[2 * k + 1]};
            }
        }
        ASSERT_EQ(BandPower(s, bandSpec), StepResult::kDone);
        EXPECT_EQ(s.kind, 256);
        EXPECT_FALSE(s.HasPhases());
        EXPECT_EQ(s.flags & Series::kComplexFlag, 0);
        ASSERT_EQ(s.Count(), 401u);
        EXPECT_EQ(s.xStart, 0.0);
        EXPECT_DOUBLE_EQ(s.xEnd, 1000.0);
        EXPECT_EQ(s.rms, 2.5);
        EXPECT_EQ(s.phaseShift2, 4.0);
        ExpectNearVector(s.y, golden.Array("out_values"), 1e-13, "values");
    }
}

// Octaves from 22 Hz over 0 … 1000 Hz: flat steps over 22–44, 44–88, 88–176, 176–352, 352–704 and
// 704–1000 Hz, nothing below 22 Hz. A band's shared upper edge belongs to the next band.
TEST(BandPower, octavesClimbFrom22HzToTheTop) {
    Series s;
    s.kind = 4;
    s.quantity = 2;
    s.xStep = 1.0;
    for (int i = 0; i <= 1000; ++i) {
        s.y.push_back(1.0);
    }
    s.xEnd = 1000.0;
    ASSERT_EQ(BandPower(s, Ratio(2.0)), StepResult::kDone);
    for (int i = 0; i < 22; ++i) {
        EXPECT_EQ(s.y[i], 0.0) << i;
    }
    struct Step {
        int first, last;  // lines (Hz) holding the band's value
        int lines;        // lines summed for it
    };
    for (const Step st : {Step{22, 43, 23}, Step{44, 87, 45}, Step{88, 175, 89}, Step{176, 351, 177},
                          Step{352, 703, 353}, Step{704, 1000, 297}}) {
        for (int i = st.first; i <= st.last; ++i) {
            EXPECT_DOUBLE_EQ(s.y[i], std::sqrt(static_cast<double>(st.lines))) << i;
        }
    }
}

TEST(BandPower, thirdOctaveStepsGrowByTheCubeRootOfTwo) {
    Series s;
    s.kind = 4;
    s.quantity = 2;
    s.xStep = 0.5;
    s.y.assign(2001, 1.0);  // 0 … 1000 Hz
    s.xEnd = 1000.0;
    ASSERT_EQ(BandPower(s, Ratio(std::cbrt(2.0))), StepResult::kDone);
    // The band edges: 22·2^(k/3); each band holds its own constant.
    std::vector<double> edges{22.0};
    while (edges.back() * std::cbrt(2.0) < 1000.0) {
        edges.push_back(edges.back() * std::cbrt(2.0));
    }
    edges.push_back(1000.0);
    EXPECT_EQ(edges.size(), 18u);  // 17 bands: 22 Hz … 1000 Hz
    for (std::size_t b = 0; b + 1 < edges.size(); ++b) {
        const std::size_t inside = static_cast<std::size_t>(std::ceil((edges[b] + 0.3) * 2.0));
        const std::size_t inside2 = static_cast<std::size_t>(std::floor((edges[b + 1] - 0.3) * 2.0));
        for (std::size_t i = inside; i <= inside2; ++i) {
            EXPECT_EQ(s.y[i], s.y[inside]) << "band " << b << " line " << i;
        }
        if (b > 0 && b + 2 < edges.size()) {  // the last band is cut off at the top
            EXPECT_GT(s.y[inside], s.y[static_cast<std::size_t>(std::floor((edges[b] - 0.3) * 2.0))]) << b;
        }
    }
}

// A ratio of 1 or less never reaches the top of the spectrum: the loop used to run for ever (a record
// made with only a target kind has a ratio of 0). Now the step refuses at once.
TEST(BandPower, ratiosThatCannotClimbAreRefused) {
    Series s;
    s.kind = 4;
    s.quantity = 2;
    s.xStep = 1.0;
    s.y.assign(1001, 1.0);
    const auto start = std::chrono::steady_clock::now();
    for (double ratio :
         {0.0, -2.0, 0.5, 1.0, 1.0 + 1e-12, std::nan(""), std::numeric_limits<double>::infinity()}) {
        Series t = s;
        EXPECT_EQ(BandPower(t, Ratio(ratio)), StepResult::kBadParameters) << ratio;
        EXPECT_EQ(t.kind, 4);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    BandSpec unknown;
    unknown.mode = 7;
    EXPECT_EQ(BandPower(s, unknown), StepResult::kBadParameters);
    BandSpec empty;
    empty.mode = 1;
    EXPECT_EQ(BandPower(s, empty), StepResult::kBadParameters);
}

// A band count beyond the 15 entries of the record (a damaged record, a hand-edited settings file) reads
// only those 15.
TEST(BandPower, userBandCountIsCappedAtFifteen) {
    Series s;
    s.kind = 4;
    s.quantity = 2;
    s.xStep = 1.0;
    s.y.assign(101, 1.0);
    s.xEnd = 100.0;
    BandSpec bandSpec;
    bandSpec.mode = 1;
    bandSpec.count = 200;
    for (std::size_t k = 0; k < bandSpec.bands.size(); ++k) {
        bandSpec.bands[k] = FrequencyBand{static_cast<double>(5 * k), static_cast<double>(5 * k + 2)};
    }
    ASSERT_EQ(BandPower(s, bandSpec), StepResult::kDone);
    EXPECT_DOUBLE_EQ(s.y[70], std::sqrt(3.0));  // band 15: 70 … 72 Hz
    EXPECT_EQ(s.y[75], 0.0);
}

TEST(BandPower, onlySpectra) {
    Series s;
    s.kind = 2;
    s.xStep = 1.0;
    s.y.assign(10, 1.0);
    EXPECT_EQ(BandPower(s, Ratio(2.0)), StepResult::kSkipped);
}

}  // namespace
}  // namespace velmar::analysis
