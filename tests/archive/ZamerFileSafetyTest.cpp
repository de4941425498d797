// Damaged files, failed reads and writes, read-only files: every case is reported, nothing crashes, and no
// byte of the file on disk changes unless the write really happened.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

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

    // Cut at every fixed block boundary, inside the blocks, and after each channel record but the last.
    for (const std::size_t at : {0, 3, 5, 6, 50, 99, 171, 500, 671, 959, 960, 961, 1100, 1259}) {
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
    for (const std::size_t at : {5, 95, 227, 600, 627, 912, 913, 1212, 1213 + 223, 1213 + 2 * 223 + 100}) {
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

// The message OpenFile raises for `path`, or "" when it opens.
std::string OpenFailure(const fs::path& path) {
    try {
        TZamerFile::OpenFile(path);
    } catch (const EFailOpenFile& e) {
        return e.what();
    }
    return {};
}

TEST(ZamerFileSafetyTest, OpenFile_missingFileAndDirectoryAreNoFile) {
    TempDir dir;
    EXPECT_EQ(OpenFailure(dir / "M3240115.001"), "No file");
    EXPECT_THROW(TZamerFile::OpenFile(dir.path()), EFailOpenFile);
    PutBytes(dir / "bad.zmr", Bytes(2000, 'Q'));
    EXPECT_EQ(OpenFailure(dir / "bad.zmr"), "Wrong file version");

    // Whatever the path names when it names no regular file.
    const fs::path good = CopyFixture(dir, "v301_full");
    fs::create_symlink("loop", dir / "loop");
    const struct {
        const char* name;
        fs::path path;
    } cases[] = {
        {"a directory", dir.path()},
        {"a path through a file", good / "M3240115.001"},
        {"a link to itself", dir / "loop"},
        {"a device", "/dev/null"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenFailure(c.path), "No file") << c.name;
    }
}

// A FIFO has no writer here, so opening it the way a reader waits for one would never return. The opening
// runs in a child process that is killed when it does not answer in time.
TEST(ZamerFileSafetyTest, OpenFile_turnsAwayAFifoWithoutWaitingForAWriter) {
    TempDir dir;
    const fs::path fifo = dir / "M3240115.001";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(OpenFailure(fifo) == "No file" ? 0 : 1);
    }
    int status = 0;
    pid_t done = 0;
    for (int waited = 0; waited < 500 && done == 0; ++waited) {
        done = ::waitpid(child, &status, WNOHANG);
        if (done == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (done == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "opening a FIFO did not return";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a FIFO is no measurement file";
}

int OpenHandles() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

TEST(ZamerFileSafetyTest, OpenFile_leavesNoHandleOpenOnAnyWayOut) {
    TempDir dir;
    const fs::path good = CopyFixture(dir, "v301_full");
    Bytes bytes = FileBytes(good);
    bytes.resize(700);
    PutBytes(dir / "cut.zmr", bytes);
    bytes = FileBytes(good);
    bytes[0] = 'X';
    PutBytes(dir / "signature.zmr", bytes);
    bytes = FileBytes(good);
    PokeLittle<std::uint16_t>(bytes, 671, 100);
    PutBytes(dir / "channels.zmr", bytes);

    const int before = OpenHandles();
    for (const char* name : {"missing.zmr", "cut.zmr", "signature.zmr", "channels.zmr", ""}) {
        EXPECT_THROW(TZamerFile::OpenFile(dir / name), EFailOpenFile) << name;
    }
    {
        // Opened and never used, moved, held and released, and opened over a moved-from object.
        TZamerFile unused = TZamerFile::OpenFile(good);
        TZamerFile first = TZamerFile::OpenFile(good);
        TZamerFile second = std::move(first);
        second.Hold();
        second.Release();
        first = TZamerFile::OpenFile(good);
        second = TZamerFile::OpenFile(good);
    }
    EXPECT_EQ(OpenHandles(), before);
}

// The handle the opening read through is the one the hold that follows uses; the file is not opened again.
TEST(ZamerFileSafetyTest, HoldAfterOpenFile_takesOverTheOpeningHandle) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    TZamerFile file = TZamerFile::OpenFile(path);
    EXPECT_FALSE(file.IsOpen());
    // Gone from the directory: only a handle opened before can still reach the file.
    fs::remove(path);
    file.Hold();
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.ReadChannelData(1).value(), X().Numbers("v301_full.ch1.values"));
    EXPECT_EQ(file.ReadBlock(6), X().Hex("v301_full.block.6"));
    file.Release();
    EXPECT_FALSE(file.IsOpen());
    // Closed at the last release: a new hold has to open the path, which is gone.
    try {
        file.Hold();
        FAIL() << "the handle must not outlive the hold";
    } catch (const EFailOpenFile& e) {
        EXPECT_STREQ(e.what(), "Can't open a file");
    }
    EXPECT_FALSE(file.IsHeld());

    // Without a hold, the first reading of the file takes the handle over, and only that one.
    CopyFixture(dir, "v301_full");
    TZamerFile other = TZamerFile::OpenFile(path);
    fs::remove(path);
    EXPECT_EQ(test::RecordFields(other.GetChannel(1)), X().Numbers("v301_full.ch1.record"));
    EXPECT_FALSE(other.IsOpen());
    EXPECT_THROW(other.GetChannel(2), EFailOpenFile);
}

TEST(ZamerFileSafetyTest, FailedRead_isNeverWrittenBackAsZeros) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    const Bytes original = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);

    // The file loses its tail behind the object's back, inside the block directory: the directory and the
    // channel records can no longer be read. (The blocks before the directory were read at opening.)
    const Bytes cut(original.begin(), original.begin() + 1000);
    PutBytes(path, cut);
    EXPECT_THROW(file.GetDirectory(), EFailOpenFile);
    EXPECT_EQ(file.BlockLength(6), -1);
    EXPECT_EQ(file.ReadBlock(6), std::nullopt);
    EXPECT_THROW(file.WriteBlock(12, Bytes{1, 2, 3}), EFailOpenFile);
    EXPECT_THROW(file.WriteDirectory(), EFailOpenFile) << "the directory was never read";
    EXPECT_THROW(file.GetChannel(1), EFailOpenFile);
    EXPECT_THROW(file.WriteChannelData(1, std::vector<double>{1.0}), EFailOpenFile);
    EXPECT_EQ(FileBytes(path), cut);

    // Once the bytes are back, the directory reads as it is: nothing was cached from the failed read.
    PutBytes(path, original);
    EXPECT_EQ(file.ReadBlock(6), X().Hex("v301_full.block.6"));
    EXPECT_TRUE(file.WriteBlock(12, Bytes{1, 2, 3}));
    TZamerFile again = TZamerFile::OpenFile(path);
    EXPECT_EQ(again.ReadBlock(9), X().Hex("v301_full.block.9"));
    EXPECT_EQ(again.ReadBlock(12), (Bytes{1, 2, 3}));
}

TEST(ZamerFileSafetyTest, BlocksWrittenBack_areTheBytesThatWereRead) {
    TempDir dir;
    const fs::path path = CopyFixture(dir, "v301_full");
    const Bytes original = FileBytes(path);
    TZamerFile file = TZamerFile::OpenFile(path);
    file.GetDirectory();

    // Cut short before the directory: writing it writes every block before it first, from what was read.
    PutBytes(path, Bytes(original.begin(), original.begin() + 200));
    file.WriteDirectory();
    EXPECT_EQ(FileBytes(path), Bytes(original.begin(), original.begin() + 1260));
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
    // The directory is read when first needed, so it cannot be written back yet.
    EXPECT_THROW(file.WriteDirectory(), EFailOpenFile);
    EXPECT_EQ(FileBytes(path), before);

    // The blocks before it were read at opening.
    file.WriteHeader();
    file.WriteParams();
    file.WriteTechParams();
    file.WriteDescription();
    file.WriteSignature();
    file.GetDirectory();
    file.WriteDirectory();
    EXPECT_EQ(FileBytes(path), before) << "blocks written back as they were read";
}

}  // namespace
}  // namespace velmar::archive
