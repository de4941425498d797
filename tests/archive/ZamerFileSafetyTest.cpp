// Damaged files, failed reads and writes, read-only files: every case is reported, nothing crashes, and no
// byte of the file on disk changes unless the write really happened.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <functional>

#include "ZamerFixtures.hpp"
#include "archive/ZamerFile.hpp"
#include "common/Paths.hpp"

namespace velmar::archive {
namespace {

namespace fs = std::filesystem;
using test::CopyFixture;
using test::FileBytes;
using test::PokeLittle;
using test::PutBytes;
using test::TempDir;

const test::ZamerExpected& X() {
    return test::ZamerExpected::Get();
}

using Bytes = std::vector<std::uint8_t>;

// What must fail on the damaged file: opening it, or one reading operation that must answer -1 / nothing.
enum class Fails { Open, ChannelData1, ChannelData2, Block6, Block9, Block7, ChannelBlock14 };

struct Damage {
    const char* name;
    const char* fixture;
    std::function<void(Bytes&)> damage;
    Fails fails;
};

void Truncate(Bytes& b, std::size_t size) {
    b.resize(size);
}

// Offsets inside the v301 fixture.
constexpr std::size_t kRecord1 = 1260;
constexpr std::size_t kRecord2 = 1260 + 245;
constexpr std::size_t kDirectory = 960;

std::vector<Damage> Damages() {
    std::vector<Damage> cases;
    const auto dataStart = static_cast<std::size_t>(X().Number("v301_full.datastart"));
    const auto ch1 = X().Numbers("v301_full.ch1.record");
    const auto ch1Offset = static_cast<std::size_t>(ch1[19]);

    // Cut at every fixed block boundary and after each channel record but the last.
    for (const std::size_t at : {0, 3, 6, 99, 171, 671, 960, 1259}) {
        cases.push_back(
            {"cut in the fixed blocks", "v301_full", [at](Bytes& b) { Truncate(b, at); }, Fails::Open});
    }
    for (std::size_t k = 1; k < 5; ++k) {
        cases.push_back({"cut after a channel record", "v301_full",
                         [k](Bytes& b) { Truncate(b, 1260 + 245 * k); }, Fails::Open});
    }
    cases.push_back({"cut inside a channel record", "v301_full",
                     [](Bytes& b) { Truncate(b, 1260 + 245 * 4 + 100); }, Fails::Open});
    cases.push_back(
        {"cut where the data begin", "v301_full", [=](Bytes& b) { Truncate(b, dataStart); }, Fails::Block6});
    cases.push_back({"cut where the data begin", "v301_full", [=](Bytes& b) { Truncate(b, dataStart); },
                     Fails::ChannelData1});
    cases.push_back({"cut inside a channel's data", "v301_full",
                     [=](Bytes& b) { Truncate(b, ch1Offset + 50); }, Fails::ChannelData1});
    cases.push_back({"data length beyond the file", "v301_full",
                     [](Bytes& b) { PokeLittle<std::uint32_t>(b, kRecord1 + 88, 0xFFFFFFF0u); },
                     Fails::ChannelData1});
    cases.push_back({"data offset past the end", "v301_full",
                     [](Bytes& b) { PokeLittle<std::uint32_t>(b, kRecord1 + 84, 0x7FFFFFFFu); },
                     Fails::ChannelData1});
    cases.push_back(
        {"pair data offset just past the end", "v301_full",
         [](Bytes& b) { PokeLittle<std::uint32_t>(b, kRecord2 + 84, static_cast<std::uint32_t>(b.size())); },
         Fails::ChannelData2});
    cases.push_back({"block length beyond the file", "v301_full",
                     [](Bytes& b) { PokeLittle<std::int32_t>(b, kDirectory + 20 + 6, 0x7FFFFFFF); },
                     Fails::Block9});
    cases.push_back({"negative block offset", "v301_full",
                     [](Bytes& b) { PokeLittle<std::int32_t>(b, kDirectory + 30 + 2, -16); }, Fails::Block7});
    cases.push_back({"negative block length", "v301_full",
                     [](Bytes& b) { PokeLittle<std::int32_t>(b, kDirectory + 6, -1); }, Fails::Block6});
    cases.push_back({"channel block beyond the file", "v301_full",
                     [](Bytes& b) { PokeLittle<std::int32_t>(b, kRecord1 + 92 + 6, 0x00100000); },
                     Fails::ChannelBlock14});
    cases.push_back({"wrong signature", "v301_full", [](Bytes& b) { b[4] = '2'; }, Fails::Open});
    cases.push_back({"signature without its zero", "v301_full", [](Bytes& b) { b[5] = ' '; }, Fails::Open});
    cases.push_back({"more channels than records", "v301_full",
                     [](Bytes& b) { PokeLittle<std::uint16_t>(b, 671, 100); }, Fails::Open});
    cases.push_back({"the largest channel count", "v301_full",
                     [](Bytes& b) { PokeLittle<std::uint16_t>(b, 671, 0xFFFF); }, Fails::Open});

    // The older layout.
    for (const std::size_t at : {5, 95, 227, 627, 913, 1212, 1213 + 223, 1213 + 2 * 223 + 100}) {
        cases.push_back(
            {"old layout cut short", "v300_full", [at](Bytes& b) { Truncate(b, at); }, Fails::Open});
    }
    cases.push_back({"old layout with more channels than records", "v300_full",
                     [](Bytes& b) { b[627 + 1] = 200; }, Fails::Open});
    cases.push_back({"old layout data length beyond the file", "v300_full",
                     [](Bytes& b) { PokeLittle<std::uint32_t>(b, 1213 + 69, 0x80000000u); },
                     Fails::ChannelData1});
    return cases;
}

// Runs the operation that must fail; true when it reported the failure.
bool Reported(TZamerFile& file, Fails fails) {
    switch (fails) {
        case Fails::Open:
            return false;
        case Fails::ChannelData1:
        case Fails::ChannelData2: {
            const int k = fails == Fails::ChannelData1 ? 1 : 2;
            std::vector<double> buffer(1 << 16);
            return file.ReadChannelData(k, buffer) == -1 && file.ChannelDataSize(k) == -1 &&
                   !file.ReadChannelData(k).has_value() && !file.ReadChannelRaw(k).has_value();
        }
        case Fails::Block6:
        case Fails::Block9:
        case Fails::Block7: {
            const int id = fails == Fails::Block6 ? 6 : fails == Fails::Block9 ? 9 : 7;
            std::vector<std::uint8_t> buffer(1 << 16);
            return file.ReadBlock(id, buffer) == -1 && !file.ReadBlock(id).has_value();
        }
        case Fails::ChannelBlock14: {
            std::vector<std::uint8_t> buffer(1 << 21);
            return file.ReadChannelBlock(1, 14, buffer) == -1 && !file.ReadChannelBlock(1, 14).has_value();
        }
    }
    return false;
}

TEST(ZamerFileSafetyTest, DamagedFiles_areReportedAndLeftUnchanged) {
    TempDir dir;
    int index = 0;
    for (const Damage& c : Damages()) {
        SCOPED_TRACE(std::string(c.name) + " #" + std::to_string(index));
        const fs::path path = dir / ("damaged" + std::to_string(index++) + ".zmr");
        Bytes bytes = FileBytes(test::ZamerFixture(c.fixture));
        c.damage(bytes);
        PutBytes(path, bytes);

        if (c.fails == Fails::Open) {
            EXPECT_THROW(TZamerFile::OpenFile(path), EFailOpenFile);
        } else {
            TZamerFile file = TZamerFile::OpenFile(path);
            EXPECT_TRUE(Reported(file, c.fails));
            // Everything else still reads without harm.
            for (int k = 0; k <= file.ChannelCount() + 1; ++k) {
                std::vector<double> values(4096);
                file.ReadChannelData(k, values);
                file.ReadChannelRaw(k);
            }
            for (const int id : {6, 7, 9}) {
                file.ReadBlock(id);
            }
        }
        EXPECT_EQ(FileBytes(path), bytes);
    }
}

TEST(ZamerFileSafetyTest, OpenFile_missingFileAndDirectoryAreNoFile) {
    TempDir dir;
    try {
        TZamerFile::OpenFile(dir / "M3240115.001");
        FAIL();
    } catch (const EFailOpenFile& e) {
        EXPECT_STREQ(e.what(), "No file");
    }
    EXPECT_THROW(TZamerFile::OpenFile(dir.path()), EFailOpenFile);
    try {
        PutBytes(dir / "bad.zmr", Bytes(2000, 'Q'));
        TZamerFile::OpenFile(dir / "bad.zmr");
        FAIL();
    } catch (const EFailOpenFile& e) {
        EXPECT_STREQ(e.what(), "Wrong file version");
    }
}

TEST(ZamerFileSafetyTest, FailedRead_isNeverWrittenBackAsZeros) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    const Bytes original = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);

    // The file loses its tail behind the object's back: the technological parameters can no longer be read.
    const Bytes cut(original.begin(), original.begin() + 200);
    PutBytes(path, cut);
    EXPECT_THROW(file.GetTechParam(70), EFailOpenFile);
    EXPECT_THROW(file.SetTechParam(72, 1.0), EFailOpenFile);
    EXPECT_THROW(file.WriteTechParams(), EFailOpenFile);
    EXPECT_THROW(file.WriteHeader(), EFailOpenFile) << "the header was never read";
    EXPECT_THROW(file.GetChannel(1), EFailOpenFile);
    EXPECT_EQ(FileBytes(path), cut);

    // Once the bytes are back, the table reads as it is: nothing was cached from the failed read.
    PutBytes(path, original);
    EXPECT_EQ(file.GetTechParam(70), 2985.5);
    EXPECT_TRUE(file.SetTechParam(72, 1.0));
    EXPECT_EQ(TZamerFile::OpenFile(path).GetTechParam(119), -3.25);
}

TEST(ZamerFileSafetyTest, ReadOnlyAttribute_isHonouredEvenForRoot) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    common::SetReadOnly(path, true);
    const Bytes before = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);
    EXPECT_TRUE(file.IsReadOnly());
    try {
        file.SetTechParam(72, 1.0);
        FAIL() << "a file without the owner-write bit must not be written";
    } catch (const EFailOpenFile& e) {
        EXPECT_STREQ(e.what(), "Can't open for write \"read only\" file");
    }
    EXPECT_THROW(file.WriteChannelData(1, std::vector<double>{1.0}), EFailOpenFile);
    EXPECT_THROW(file.SetChannel(1, file.GetChannel(1)), EFailOpenFile);
    EXPECT_THROW(file.WriteBlock(6, Bytes{1}), EFailOpenFile);
    EXPECT_EQ(FileBytes(path), before);
    // Reading goes on as before.
    EXPECT_EQ(file.ReadChannelData(1).value(), X().Numbers("v301_full.ch1.values"));
}

TEST(ZamerFileSafetyTest, FailedDataWrite_leavesTheRecordPointingAtTheOldData) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    const Bytes before = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);
    file.GetChannel(1);

    // The longer data must be appended, and the disk (here: the file size limit) gives out on the way.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = before.size() + 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        file.WriteChannelData(1, std::vector<double>(20000, 1.0));
    } catch (const EFailOpenFile&) {
        threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(threw);

    const Bytes after = FileBytes(path);
    ASSERT_GE(after.size(), before.size());
    EXPECT_EQ(Bytes(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(before.size())), before)
        << "the record and the old data are untouched; only unreferenced bytes were appended";
    TZamerFile again = TZamerFile::OpenFile(path);
    EXPECT_EQ(again.ReadChannelData(1).value(), X().Numbers("v301_full.ch1.values"));
}

TEST(ZamerFileSafetyTest, WriteFixedBlock_refusedUntilReadOrSet) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    const Bytes before = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);
    EXPECT_THROW(file.WriteHeader(), EFailOpenFile);
    EXPECT_THROW(file.WriteParams(), EFailOpenFile);
    EXPECT_THROW(file.WriteTechParams(), EFailOpenFile);
    EXPECT_THROW(file.WriteDirectory(), EFailOpenFile);
    EXPECT_EQ(FileBytes(path), before);

    file.GetHeader();
    file.GetParams();
    file.WriteHeader();
    file.WriteParams();
    file.WriteDescription();
    file.WriteSignature();
    EXPECT_EQ(FileBytes(path), before) << "blocks written back as they were read";
}

}  // namespace
}  // namespace velmar::archive
