#include "archive/DemoArchive.hpp"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "TestSupport.hpp"
#include "archive/ZamerFile.hpp"
#include "common/IniFile.hpp"
#include "common/Paths.hpp"

using namespace velmar;
using namespace velmar::archive;
using velmar::test::TempDir;
namespace fs = std::filesystem;

namespace {

// Amplitude of the sine at `hz` in a uniformly sampled record (a single-bin DFT).
double AmplitudeAt(const std::vector<double>& x, double step, double hz) {
    double re = 0;
    double im = 0;
    double mean = 0;
    for (double v : x) {
        mean += v;
    }
    mean /= static_cast<double>(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double w = 2 * std::numbers::pi * hz * step * static_cast<double>(i);
        re += (x[i] - mean) * std::cos(w);
        im += (x[i] - mean) * std::sin(w);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(x.size());
}

std::vector<fs::path> Measurements(const fs::path& machine) {
    return common::GlobNoCase(machine, "M*.*", common::EntryType::File);
}

class DemoArchiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        GenerateDemoArchive(dir_->path() / "demo", DemoArchiveOptions{});
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static fs::path Root() { return dir_->path() / "demo"; }
    static TempDir* dir_;
};
TempDir* DemoArchiveTest::dir_ = nullptr;

}  // namespace

TEST_F(DemoArchiveTest, LaysOutPlantStationsAndMachines) {
    const fs::path root = Root();
    EXPECT_TRUE(fs::exists(root / "PSP/NS_D320.psp"));
    EXPECT_TRUE(fs::exists(root / "PSP/NS4RAD.NAM"));
    const common::IniFile station(root / "_STAN001/UNIT_D.INF");
    EXPECT_EQ(station.ReadString("Main", "Name", "?"), "Насосная станция №1");
    EXPECT_EQ(station.ReadInteger("Arch12", "Enabled", 0), 1);
    EXPECT_TRUE(fs::exists(root / "_STAN001/_CEH001/UNIT_D.INF"));
    const common::IniFile machine(root / "_STAN001/_CEH001/_AGR002/UNIT_A.INF");
    EXPECT_EQ(machine.ReadString("Arch12", "Psp", ""), "NS_D320.psp");
    EXPECT_EQ(machine.ReadString("Arch12", "Names", ""), "NS4RAD.NAM");
    for (const char* m : {"_STAN001/_CEH001/_AGR001", "_STAN001/_CEH001/_AGR002", "_STAN001/_AGR001",
                          "_STAN002/_CEH001/_AGR001", "_STAN002/_CEH001/_AGR002", "_STAN002/_AGR001"}) {
        EXPECT_EQ(Measurements(root / m).size(), 12u) << m;
        EXPECT_TRUE(fs::exists(root / m / "UNIT_A.INF")) << m;
    }
    // Nothing half-written is left behind.
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
    }
}

TEST_F(DemoArchiveTest, MeasurementsCarryTheirChannelsAndParameters) {
    const auto files = Measurements(Root() / "_STAN001/_CEH001/_AGR001");
    ASSERT_FALSE(files.empty());
    TZamerFile f = TZamerFile::OpenFile(files.front());
    EXPECT_EQ(f.Version(), 301);
    EXPECT_EQ(f.ChannelCount(), 13);
    EXPECT_EQ(f.GetDescription().markerChannelCount, 1);
    const TChannelRecord signal = f.GetChannel(1);
    EXPECT_EQ(signal.kind, 2);
    EXPECT_EQ(signal.quantity, 4u);
    EXPECT_NEAR(1.0 / signal.step, 5120.0, 1e-9);
    const TChannelRecord spectrum = f.GetChannel(2);
    EXPECT_EQ(spectrum.kind, 4);
    EXPECT_EQ(spectrum.quantity, 2u);
    EXPECT_EQ(f.GetChannel(5).kind, 512);  // the envelope of the bearing point
    EXPECT_EQ(f.GetChannel(13).quantity, 16u);
    const auto speed = f.GetTechParam(kTechParamFirstId);
    ASSERT_TRUE(speed.has_value());
    EXPECT_NEAR(*speed, 1480.0, 10.0);
}

TEST_F(DemoArchiveTest, UnbalanceGrowsAtRunningSpeedAndStatesFollow) {
    const auto files = Measurements(Root() / "_STAN001/_CEH001/_AGR001");
    ASSERT_EQ(files.size(), 12u);
    TZamerFile first = TZamerFile::OpenFile(files.front());
    TZamerFile last = TZamerFile::OpenFile(files.back());
    const double f0 = *first.GetTechParam(kTechParamFirstId) / 60.0;
    const auto a0 = *first.ReadChannelData(1);
    const auto a1 = *last.ReadChannelData(1);
    const double step = first.GetChannel(1).step;
    EXPECT_GT(AmplitudeAt(a1, step, f0), 4 * AmplitudeAt(a0, step, f0));
    EXPECT_EQ(first.GetDescription().state, 0);
    EXPECT_EQ(last.GetDescription().state, 6);
}

TEST_F(DemoArchiveTest, OuterRaceDefectShowsInTheEnvelope) {
    const auto files = Measurements(Root() / "_STAN001/_CEH001/_AGR002");
    ASSERT_EQ(files.size(), 12u);
    TZamerFile last = TZamerFile::OpenFile(files.back());
    // Name-set layout: entry 6 is the second bearing, transverse: the envelope.
    const TChannelRecord env = last.GetChannel(6);
    ASSERT_EQ(env.kind, 512);
    const auto e = *last.ReadChannelData(6);
    const double bpfo = 3.58 * *last.GetTechParam(kTechParamFirstId) / 60.0;
    const double atDefect = AmplitudeAt(e, env.step, bpfo);
    EXPECT_GT(atDefect, 5 * AmplitudeAt(e, env.step, bpfo * 1.37));
    TZamerFile first = TZamerFile::OpenFile(files.front());
    EXPECT_GT(atDefect, 4 * AmplitudeAt(*first.ReadChannelData(6), env.step, bpfo));
    // The velocity hardly moves, yet the machine ends the year red.
    EXPECT_EQ(first.GetDescription().state, 0);
    EXPECT_EQ(last.GetDescription().state, 6);
}

TEST(DemoArchive, SameSeedSameBytesAndRefusesNonEmptyDirectory) {
    TempDir dir;
    // A year of one archive is enough to compare; the whole run is deterministic by construction.
    GenerateDemoArchive(dir / "a", DemoArchiveOptions{7}, [](double f) { return f < 0.05; });
    GenerateDemoArchive(dir / "b", DemoArchiveOptions{7}, [](double f) { return f < 0.05; });
    const auto a = Measurements(dir / "a/_STAN001/_CEH001/_AGR001");
    const auto b = Measurements(dir / "b/_STAN001/_CEH001/_AGR001");
    ASSERT_EQ(a.size(), b.size());
    ASSERT_FALSE(a.empty());
    for (std::size_t i = 0; i < a.size(); ++i) {
        // The header holds the path the file was created under; compare what follows it.
        const std::string ba = velmar::test::ReadBytes(a[i]);
        const std::string bb = velmar::test::ReadBytes(b[i]);
        ASSERT_EQ(ba.size(), bb.size());
        EXPECT_EQ(ba.substr(99), bb.substr(99));
    }
    EXPECT_THROW(GenerateDemoArchive(dir / "a", DemoArchiveOptions{}), std::runtime_error);
}
