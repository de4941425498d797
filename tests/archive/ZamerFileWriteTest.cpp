// Writing measurement files: new files, channel data, blocks and tables, checked against bytes the fixture
// script computed from the coding rules, and against the fixtures' own layout.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "ZamerFixtures.hpp"
#include "archive/ZamerFile.hpp"

namespace velmar::archive {
namespace {

namespace fs = std::filesystem;
using test::CopyFixture;
using test::FileBytes;
using test::PutBytes;
using test::TempDir;
using test::ZamerFixture;

const test::ZamerExpected& X() {
    return test::ZamerExpected::Get();
}

constexpr common::CivilTime kMoment{2024, 1, 15, 10, 20, 30, 0};

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t size) {
    return {bytes.begin() + at, bytes.begin() + at + size};
}

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ZamerFileCreateTest, CreateFile_laysOutAnEmptyFileWithItsPathAndMoment) {
    TempDir dir;
    const fs::path path = dir / "M3240115.001";
    TZamerFile file = TZamerFile::CreateFile(path, 2, kMoment);
    EXPECT_EQ(file.Version(), 301);
    EXPECT_EQ(file.ChannelCount(), 2);

    auto bytes = FileBytes(path);
    const auto expected = FileBytes(ZamerFixture("created_2ch"));
    ASSERT_EQ(bytes.size(), expected.size());
    // The header's text is the path; the rest is laid out as the template.
    const std::string text(reinterpret_cast<const char*>(bytes.data() + 6));
    EXPECT_EQ(text, path.string());
    std::fill(bytes.begin() + 6, bytes.begin() + 6 + 81, 0);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"M3240115.001"}) << "no temporary file is left";

    // Blocks of a new file count as read: they can be written back at once.
    file.WriteHeader();
    file.WriteDescription();
    EXPECT_EQ(FileBytes(path).size(), expected.size());
}

TEST(ZamerFileCreateTest, CreateFile_neverReplacesAnExistingFile) {
    TempDir dir;
    const fs::path path = dir / "M3240115.001";
    test::WriteBytes(path, "precious measurement");
    try {
        TZamerFile::CreateFile(path, 1, kMoment);
        FAIL() << "an existing file must not be replaced";
    } catch (const EFailOpenFile& e) {
        EXPECT_STREQ(e.what(), "Can't create a file");
    }
    EXPECT_EQ(test::ReadBytes(path), "precious measurement");
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"M3240115.001"});
}

TEST(ZamerFileCreateTest, MeasurementFileName_letterCenturyDateAndSequence) {
    struct Case {
        int year, month, day, sequence;
        const char* name;
    };
    for (const Case& c : {Case{2024, 1, 15, 1, "M3240115.001"}, Case{1999, 12, 31, 42, "M2991231.042"},
                          Case{2000, 3, 9, 999, "M3000309.999"}, Case{2024, 1, 15, 1000, "M3240115.1000"},
                          Case{2024, 1, 15, 12345, "M3240115.12345"}}) {
        EXPECT_EQ(MeasurementFileName('M', c.year, c.month, c.day, c.sequence), c.name);
    }
}

TEST(ZamerFileCreateTest, CreateNewMeasurement_takesTheFirstNameFreeInAnyCase) {
    TempDir dir;
    test::WriteBytes(dir / "m3240115.001", "x");  // taken in lower case
    test::WriteBytes(dir / "M3240115.002", "x");
    test::WriteBytes(dir / "M3240114.003", "x");  // another day does not count
    TZamerFile file = TZamerFile::CreateNewMeasurement(dir.path(), 3, kMoment);
    EXPECT_EQ(file.Path(), dir / "M3240115.003");
    EXPECT_EQ(file.ChannelCount(), 3);
    EXPECT_EQ(test::ReadBytes(dir / "m3240115.001"), "x");
    EXPECT_EQ(TZamerFile::OpenFile(dir / "M3240115.003").ChannelCount(), 3);
}

TEST(ZamerFileCreateTest, FindFreeMeasurementName_continuesUnpaddedAfter999) {
    TempDir dir;
    for (int i = 1; i <= 999; ++i) {
        test::WriteBytes(dir / MeasurementFileName('M', 2024, 1, 15, i), "");
    }
    EXPECT_EQ(FindFreeMeasurementName(dir.path(), 'M', kMoment), dir / "M3240115.1000");
    fs::remove(dir / "M3240115.500");
    EXPECT_EQ(FindFreeMeasurementName(dir.path(), 'M', kMoment), dir / "M3240115.500");
}

// A new file of one channel of the given kind, ready for its data.
struct OneChannel {
    TempDir dir;
    fs::path path = dir / "one.zmr";
    TZamerFile file = TZamerFile::CreateFile(path, 1, kMoment);

    TChannelRecord Set(int kind, int flags, double peak, double scale) {
        TChannelRecord c;
        c.kind = static_cast<std::uint16_t>(kind);
        c.flags = static_cast<std::uint16_t>(flags);
        c.quantity = 4;
        c.peak = peak;
        c.scale = scale;
        c.step = 0.001;
        EXPECT_TRUE(file.SetChannel(1, c));
        return c;
    }
};

TEST(ZamerFileWriteTest, WriteChannelData_storesIntegersAsTheCodingRulesGive) {
    // Each case: rounding half to even, the automatic scale (also with a peak of 0 and a stale peak), a scale
    // the caller chose with values beyond it, and (amplitude, phase) pairs.
    const auto names = X().Names("write.", ".channel");
    ASSERT_GE(names.size(), 6u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const std::string key = "write." + name;
        const auto channel = X().Numbers(key + ".channel");
        OneChannel one;
        one.Set(int(channel[0]), int(channel[1]), channel[2], channel[3]);
        const auto input = X().Numbers(key + ".input");
        std::size_t clipped = 99;
        const std::int64_t written = one.file.WriteChannelData(1, input, &clipped);
        const auto stored = X().Hex(key + ".stored");
        EXPECT_EQ(written, static_cast<std::int64_t>(stored.size()));
        EXPECT_EQ(one.file.ReadChannelRaw(1), stored);
        EXPECT_EQ(one.file.GetChannel(1).scale, X().Number(key + ".scale"));
        EXPECT_EQ(clipped, static_cast<std::size_t>(X().Number(key + ".clipped")));

        // What another reader finds on disk, not just this object's cache.
        TZamerFile again = TZamerFile::OpenFile(one.path);
        EXPECT_EQ(again.GetChannel(1).scale, X().Number(key + ".scale"));
        EXPECT_EQ(again.GetChannel(1).dataLength, stored.size());
    }
}

TEST(ZamerFileWriteTest, WriteChannelData_phasesAreFoldedIntoTenthsOfADegree) {
    OneChannel one;
    one.Set(4, TChannelRecord::kFlagPairs, 10.0, 0.0);
    const std::vector<double> pairs = {10.0, -370.0, 5.0, 365.0, 1.0, 720.0};
    ASSERT_EQ(one.file.WriteChannelData(1, pairs), 12);
    const auto raw = one.file.ReadChannelRaw(1).value();
    std::int16_t stored[6];
    std::memcpy(stored, raw.data(), sizeof stored);
    EXPECT_EQ(stored[1], -100);
    EXPECT_EQ(stored[3], 50);
    EXPECT_EQ(stored[5], 0);

    const auto back = one.file.ReadChannelData(1).value();
    EXPECT_EQ(back, (std::vector<double>{10.0, -10.0, 5.0, 5.0, 1.0, 0.0}));
}

TEST(ZamerFileWriteTest, WriteChannelData_roundTripWithinHalfAStep) {
    OneChannel one;
    std::vector<double> signal(20000);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] = 3.7 * std::sin(0.01 * double(i)) + 0.2 * std::cos(0.37 * double(i));
    }
    one.Set(2, 0, 3.9, 0.0);
    ASSERT_EQ(one.file.WriteChannelData(1, signal), 40000);
    TZamerFile again = TZamerFile::OpenFile(one.path);
    const double scale = again.GetChannel(1).scale;
    EXPECT_EQ(scale, 3.9 / 15000);
    const auto back = again.ReadChannelData(1).value();
    ASSERT_EQ(back.size(), signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
        ASSERT_LE(std::fabs(back[i] - signal[i]), scale / 2 * (1 + 1e-9)) << i;
    }
}

// A long signal with what makes conversion hard: values exactly half a step away from two integers (as near
// as a double gets), values beyond the integers, infinities and NaN. A scale whose reciprocal is inexact
// makes any shortcut through multiplication show.
struct HardSignal {
    static constexpr double kScale = 0.0003;
    std::vector<double> values;
    std::vector<std::int16_t> expected;  // the quotient rounded half to even, saturated, NaN as 0
    std::size_t expectedLost = 0;

    HardSignal() {
        for (int i = 0; i < 50000; ++i) {
            values.push_back(9.5 * std::sin(0.001 * i) + 0.01 * std::cos(1.7 * i));
            if ((i / 3000) % 4 == 0) {
                values.push_back((i % 65000 - 32500 + 0.5) * kScale);
            }
            if (i % 997 == 0) {
                values.push_back(i % 2 == 0 ? 12.0 : -1e300);
            }
        }
        values[12345] = std::numeric_limits<double>::quiet_NaN();
        values[23456] = std::numeric_limits<double>::infinity();
        values[34567] = 32767.5 * kScale;
        values[34568] = -32767.5 * kScale;
        for (const double v : values) {
            const double q = v / kScale;
            if (std::isnan(q)) {
                expected.push_back(0);
                ++expectedLost;
                continue;
            }
            const double r = std::nearbyint(std::clamp(q, -1e6, 1e6));
            expectedLost += r > 32767 || r < -32767;
            expected.push_back(static_cast<std::int16_t>(std::clamp(r, -32767.0, 32767.0)));
        }
    }
};

TEST(ZamerFileWriteTest, WriteChannelData_longSignalRoundsEveryValueAsItsQuotient) {
    const HardSignal hard;
    OneChannel one;
    one.Set(2, 0, 10.0, HardSignal::kScale);
    std::size_t clipped = 0;
    ASSERT_EQ(one.file.WriteChannelData(1, hard.values, &clipped),
              static_cast<std::int64_t>(2 * hard.values.size()));
    const auto raw = one.file.ReadChannelRaw(1).value();
    std::vector<std::int16_t> stored(hard.values.size());
    std::memcpy(stored.data(), raw.data(), raw.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        ASSERT_EQ(stored[i], hard.expected[i]) << "value " << i << " = " << hard.values[i];
    }
    EXPECT_EQ(clipped, hard.expectedLost);
    EXPECT_EQ(one.file.GetChannel(1).scale, HardSignal::kScale) << "a scale the caller chose stays";
}

TEST(ZamerFileWriteTest, Conversion_everyPathGivesTheSameIntegers) {
    // Whichever instructions this machine has, and the ones the next machine may lack.
    const HardSignal hard;
    for (int path = 0; path <= 2; ++path) {
        if (!detail::HasConversionPath(path)) {
            continue;
        }
        std::vector<std::int16_t> out(hard.values.size(), 12345);
        const std::size_t lost = detail::QuantizeWithPath(path, hard.values, HardSignal::kScale, out);
        EXPECT_EQ(lost, hard.expectedLost) << "path " << path;
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_EQ(out[i], hard.expected[i])
                << "path " << path << ", value " << i << " = " << hard.values[i];
        }
    }
}

TEST(ZamerFileWriteTest, WriteChannelData_readsBackIntoTheCallersBuffer) {
    // Reading converts in place inside the caller's buffer; every size and offset into a larger buffer must
    // come out right.
    OneChannel one;
    one.Set(2, 0, 0.0, 0.001);
    std::vector<double> signal(20011);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        signal[i] = double(int(i % 60001) - 30000) * 0.001;
    }
    ASSERT_EQ(one.file.WriteChannelData(1, signal), 40022);
    for (const std::size_t size : {std::size_t{1}, std::size_t{7999}, std::size_t{8000}, std::size_t{8001},
                                   std::size_t{20011}, std::size_t{30000}}) {
        std::vector<double> out(size, -7.0);
        const std::int64_t n = one.file.ReadChannelData(1, out);
        const std::size_t expected = std::min(size, signal.size());
        ASSERT_EQ(n, static_cast<std::int64_t>(expected)) << size;
        for (std::size_t i = 0; i < expected; ++i) {
            ASSERT_EQ(out[i], double(std::int16_t(int(i % 60001) - 30000)) * 0.001) << size << " at " << i;
        }
        for (std::size_t i = expected; i < size; ++i) {
            ASSERT_EQ(out[i], -7.0) << "nothing past the values: " << size << " at " << i;
        }
    }
}

TEST(ZamerFileWriteTest, WriteChannelData_harmonicsAreStoredAsDoublesWithScaleOne) {
    OneChannel one;
    one.Set(64, 0, 4.5, 0.25);
    const std::vector<double> h = {25.0, 4.5, 123.4, 0.8, 50.0, 1.25, -45.0, 0.1};
    ASSERT_EQ(one.file.WriteChannelData(1, h), 64);
    const auto raw = one.file.ReadChannelRaw(1).value();
    std::vector<double> stored(8);
    std::memcpy(stored.data(), raw.data(), 64);
    EXPECT_EQ(stored, h);
    EXPECT_EQ(one.file.GetChannel(1).scale, 1.0);
    EXPECT_EQ(one.file.ReadChannelData(1), h);
}

TEST(ZamerFileWriteTest, WriteChannelData_shorterReusesTheAreaLongerAppends) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    const auto size = static_cast<std::uintmax_t>(X().Number("v301_full.size"));
    const auto record = X().Numbers("v301_full.ch1.record");
    const auto oldOffset = static_cast<std::uint32_t>(record[19]);
    TZamerFile file = TZamerFile::OpenFile(path);

    ASSERT_EQ(file.WriteChannelData(1, std::vector<double>(32, 1.0)), 64);
    EXPECT_EQ(file.GetChannel(1).dataOffset, oldOffset);
    EXPECT_EQ(file.GetChannel(1).dataLength, 64u);
    EXPECT_EQ(fs::file_size(path), size) << "the old area took the shorter data";

    ASSERT_EQ(file.WriteChannelData(1, std::vector<double>(100, 1.0)), 200);
    EXPECT_EQ(file.GetChannel(1).dataOffset, size) << "longer data go to the end of the file";
    EXPECT_EQ(fs::file_size(path), size + 200);

    // The channel's other data (its phase response block) are where they were.
    EXPECT_EQ(file.ReadChannelBlock(1, kChannelBlockPhaseResponse), X().Hex("v301_full.ch1.block.14"));
    EXPECT_EQ(TZamerFile::OpenFile(path).ReadChannelData(1), std::vector<double>(100, 1.0));
}

TEST(ZamerFileWriteTest, WriteChannelData_unusedChannelOrNoValuesGiveMinusOne) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    const auto before = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);
    EXPECT_EQ(file.WriteChannelData(5, std::vector<double>{1.0}), -1);
    EXPECT_EQ(file.WriteChannelData(1, std::vector<double>{}), -1);
    EXPECT_EQ(file.WriteChannelData(9, std::vector<double>{1.0}), -1);
    EXPECT_EQ(file.WriteChannelData(2, std::vector<double>{1.0}), -1) << "half a pair is nothing to store";
    EXPECT_EQ(FileBytes(path), before);
}

TEST(ZamerFileWriteTest, WriteChannelRaw_storesSignalSamplesAsTheyAre) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    TZamerFile file = TZamerFile::OpenFile(path);
    const std::vector<std::int16_t> samples = {1, -2, 32767, -32768};
    ASSERT_EQ(file.WriteChannelRaw(1, samples), 8);
    EXPECT_EQ(file.ReadChannelRaw(1), (std::vector<std::uint8_t>{1, 0, 0xFE, 0xFF, 0xFF, 0x7F, 0x00, 0x80}));
    EXPECT_EQ(file.GetChannel(1).scale, 0.001) << "the scale stays";
    EXPECT_EQ(file.WriteChannelRaw(2, samples), -1) << "only signals";
    EXPECT_EQ(file.WriteChannelRaw(3, samples), -1);
}

TEST(ZamerFileWriteTest, WriteBlock_reusesOrAppendsAndReportsAFullDirectory) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_tables_full");
    const auto size = fs::file_size(path);
    TZamerFile file = TZamerFile::OpenFile(path);

    // The 31st identifier has no entry left.
    const std::vector<std::uint8_t> data = {9, 8, 7};
    const auto before = FileBytes(path);
    EXPECT_FALSE(file.WriteBlock(31, data));
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(file.BlockLength(31), -1);

    const std::int64_t oldOffset = file.GetDirectory()[4].offset;
    ASSERT_TRUE(file.WriteBlock(5, std::vector<std::uint8_t>{0xAB, 0xCD}));
    EXPECT_EQ(file.GetDirectory()[4], (ZamerBlockEntry{5, static_cast<std::int32_t>(oldOffset), 2}));
    EXPECT_EQ(fs::file_size(path), size);

    ASSERT_TRUE(file.WriteBlock(5, std::vector<std::uint8_t>(10, 0x55)));
    EXPECT_EQ(file.GetDirectory()[4], (ZamerBlockEntry{5, static_cast<std::int32_t>(size), 10}));
    EXPECT_EQ(TZamerFile::OpenFile(path).ReadBlock(5), std::vector<std::uint8_t>(10, 0x55));
}

TEST(ZamerFileWriteTest, WriteBlock_takesTheFirstFreeEntry) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    TZamerFile file = TZamerFile::OpenFile(path);
    const std::vector<std::uint8_t> note = {'n', 'o', 't', 'e'};
    ASSERT_TRUE(file.WriteBlock(12, note));
    const auto bytes = FileBytes(path);
    // Entry 2 of the directory (at 960 + 10) was the first free one.
    EXPECT_EQ(Slice(bytes, 970, 2), (std::vector<std::uint8_t>{12, 0}));
    EXPECT_EQ(TZamerFile::OpenFile(path).ReadBlock(12), note);
}

TEST(ZamerFileWriteTest, WriteBlock_neverReusesAnAreaInsideTheFixedBlocks) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    auto bytes = FileBytes(path);
    // A damaged entry for block 6 that points at the measurement parameters.
    test::PokeLittle<std::int32_t>(bytes, 960 + 2, 99);
    test::PokeLittle<std::int32_t>(bytes, 960 + 6, 72);
    PutBytes(path, bytes);
    TZamerFile file = TZamerFile::OpenFile(path);
    ASSERT_TRUE(file.WriteBlock(6, std::vector<std::uint8_t>(10, 0xEE)));
    const auto after = FileBytes(path);
    EXPECT_EQ(Slice(after, 99, 72), Slice(bytes, 99, 72)) << "the parameters survive";
    EXPECT_EQ(file.GetDirectory()[0].offset, static_cast<std::int32_t>(bytes.size()));
}

TEST(ZamerFileWriteTest, SetTechParam_updatesTakesFreeEntryAndReportsAFullTable) {
    TempDir dir;
    const fs::path full = CopyFixture(dir, "v301_tables_full");
    {
        const auto before = FileBytes(full);
        TZamerFile file = TZamerFile::OpenFile(full);
        EXPECT_FALSE(file.SetTechParam(200, 1.0));
        EXPECT_EQ(FileBytes(full), before);
        EXPECT_TRUE(file.SetTechParam(75, 7.5));
        EXPECT_EQ(TZamerFile::OpenFile(full).GetTechParam(75), 7.5);
    }
    const fs::path path = CopyFixture(dir, "v301_full");
    TZamerFile file = TZamerFile::OpenFile(path);
    ASSERT_TRUE(file.SetTechParam(72, 5.0));
    const auto bytes = FileBytes(path);
    std::int16_t id = 0;
    double value = 0;
    std::memcpy(&id, bytes.data() + 171 + 2 * 10, 2);  // entry 2 was the first free one
    std::memcpy(&value, bytes.data() + 171 + 2 * 10 + 2, 8);
    EXPECT_EQ(id, 72);
    EXPECT_EQ(value, 5.0);
    EXPECT_EQ(TZamerFile::OpenFile(path).GetTechParam(75), 12.5) << "the other entries stay";
}

TEST(ZamerFileWriteTest, WriteChannelBlock_reportsAFullListAndRewritesInPlace) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_tables_full");
    TZamerFile file = TZamerFile::OpenFile(path);
    const auto before = FileBytes(path);
    EXPECT_FALSE(file.WriteChannelBlock(1, 200, std::vector<std::uint8_t>{1}));
    EXPECT_EQ(FileBytes(path), before);

    const auto old = file.GetChannel(1).blocks[4];
    ASSERT_TRUE(file.WriteChannelBlock(1, 105, std::vector<std::uint8_t>{7, 7}));
    EXPECT_EQ(file.GetChannel(1).blocks[4], (ZamerBlockEntry{105, old.offset, 2}));
    EXPECT_EQ(TZamerFile::OpenFile(path).ReadChannelBlock(1, 105), (std::vector<std::uint8_t>{7, 7}));
}

TEST(ZamerFileWriteTest, Version300_refusesEveryWriteAndChangesNothing) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v300_full");
    const auto before = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    const std::vector<double> values = {1.0, 2.0};
    const std::vector<std::int16_t> samples = {1, 2};
    const std::vector<std::pair<const char*, std::function<void()>>> writes = {
        {"OpenWrite", [&] { file.OpenWrite(); }},
        {"WriteSignature", [&] { file.WriteSignature(); }},
        {"WriteHeader", [&] { file.GetHeader(), file.WriteHeader(); }},
        {"WriteParams", [&] { file.GetParams(), file.WriteParams(); }},
        {"WriteTechParams", [&] { file.GetTechParams(), file.WriteTechParams(); }},
        {"WriteDescription", [&] { file.WriteDescription(); }},
        {"WriteDirectory", [&] { file.GetDirectory(), file.WriteDirectory(); }},
        {"SetHeader", [&] { file.SetHeader(file.GetHeader()); }},
        {"SetParams", [&] { file.SetParams(file.GetParams()); }},
        {"SetDescription", [&] { file.SetDescription(file.GetDescription()); }},
        {"SetTechParam", [&] { file.SetTechParam(70, 1.0); }},
        {"WriteBlock", [&] { file.WriteBlock(6, bytes); }},
        {"WriteChannelBlock", [&] { file.WriteChannelBlock(1, 14, bytes); }},
        {"SetChannel", [&] { file.SetChannel(1, file.GetChannel(1)); }},
        {"WriteChannelData", [&] { file.WriteChannelData(1, values); }},
        {"WriteChannelRaw", [&] { file.WriteChannelRaw(1, samples); }},
    };
    for (const auto& [name, write] : writes) {
        EXPECT_THROW(write(), EAbort) << name;
    }
    EXPECT_EQ(FileBytes(path), before);
    // The object still reads as before.
    EXPECT_EQ(file.GetTechParam(70), 1500.0);
    EXPECT_EQ(file.ReadChannelData(1).value(), X().Numbers("v300_full.ch1.values"));
}

}  // namespace
}  // namespace velmar::archive
