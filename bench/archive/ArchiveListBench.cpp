// Listing the measurements of a machine that holds 1,000 measurement files (what expanding it in the browser
// costs), next to a plain loop that lists the directory and reads the same header bytes of every file with
// open()/pread()/close(). The files sit in the page cache, as they do once the archive has been looked at.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "archive/AgregatDBLevel.hpp"
#include "archive/ArchiveSession.hpp"
#include "archive/ZamerFile.hpp"
#include "common/Codepage.hpp"
#include "common/Paths.hpp"

namespace {

namespace fs = std::filesystem;
using velmar::archive::ArchiveSession;
using velmar::archive::TAgregatDBLevel;
using velmar::archive::TZamerFile;

constexpr int kMeasurements = 1000;
constexpr int kChannels = 13;  // four points of three directions and a marker
// Signature, header, parameters, technological parameters and description: what a measurement node reads.
constexpr std::size_t kHeaderBytes = 960;

void WriteText(const fs::path& path, const std::string& utf8) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << velmar::common::Utf8ToCp1251(utf8);
}

// A settings directory, an archive with one machine of 1,000 measurements, removed at the end.
struct Archive {
    fs::path dir;
    fs::path machineDir;
    std::unique_ptr<ArchiveSession> session;
    TAgregatDBLevel* machine = nullptr;

    Archive() {
        std::string pattern = (fs::temp_directory_path() / "velmar-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        dir = pattern;
        WriteText(dir / "home/INI/MAIN.INI",
                  "[Main]\r\nName=Архив\r\nPath=..\\plant\r\nName12=Архив\r\nProgram12=A12.INI\r\n"
                  "Section12=Arch12\r\n");
        WriteText(dir / "home/INI/A12.INI",
                  "[Main]\r\nMaxStantionLevel=1\r\n[Groups]\r\nKolGroup=1\r\n"
                  "Group1=NS,0,Насосы\r\n");
        WriteText(dir / "plant/PSP/NS_1.psp",
                  "[ПараметрыКонструкции]\r\nНаименование=Насос\r\nКоличествоТочекЗамера=4\r\n");
        WriteText(dir / "plant/_STAN001/UNIT_D.INF", "[Main]\r\nName=Станция\r\n[Arch12]\r\nEnabled=1\r\n");
        machineDir = dir / "plant/_STAN001/_AGR001";
        WriteText(machineDir / "UNIT_A.INF",
                  "[Main]\r\nName=Насос\r\n[Arch12]\r\nEnabled=1\r\nPsp=NS_1.psp\r\n");

        // One file made by the program, copied with a different moment for each measurement.
        const fs::path first = machineDir / "M3240101.001";
        TZamerFile::CreateFile(first, kChannels, velmar::common::CivilTime{2024, 1, 1, 0, 0, 0, 0});
        std::ifstream in(first, std::ios::binary);
        const std::string image{std::istreambuf_iterator<char>(in), {}};
        for (int i = 1; i < kMeasurements; ++i) {
            std::string copy = image;
            const std::uint16_t day = static_cast<std::uint16_t>(1 + i / 40);
            const std::uint16_t hour = static_cast<std::uint16_t>(i % 40 / 2);
            std::memcpy(copy.data() + 6 + 81 + 4, &day, 2);
            std::memcpy(copy.data() + 6 + 81 + 6, &hour, 2);
            char name[32];
            std::snprintf(name, sizeof name, "M32401%02d.%03d", day, i % 40 + 1);
            std::ofstream(machineDir / name, std::ios::binary) << copy;
        }
        session = ArchiveSession::Open(dir / "home");
        machine = dynamic_cast<TAgregatDBLevel*>(session->Root().FirstChild()->FirstChild());
        if (machine == nullptr) {
            std::abort();
        }
    }
    ~Archive() {
        session.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Archive& TheArchive() {
    static Archive archive;
    return archive;
}

void BM_LoadMeasurementsOfMachine(benchmark::State& state) {
    Archive& a = TheArchive();
    for (auto _ : state) {
        a.machine->FreeChildren();
        a.machine->LoadChildren();
        if (a.machine->ChildCount() != kMeasurements) {
            state.SkipWithError("measurements missing");
        }
    }
    state.SetItemsProcessed(state.iterations() * kMeasurements);
}
BENCHMARK(BM_LoadMeasurementsOfMachine)->Unit(benchmark::kMillisecond);

// The reference: list the directory, then open each measurement file, read its header bytes and close it.
void BM_PlainReadOfTheSameHeaders(benchmark::State& state) {
    Archive& a = TheArchive();
    std::vector<char> buffer(kHeaderBytes);
    for (auto _ : state) {
        int files = 0;
        for (const auto& entry : fs::directory_iterator(a.machineDir)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || (name[0] != 'M' && name[0] != 'm')) {
                continue;
            }
            const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 ||
                ::pread(fd, buffer.data(), buffer.size(), 0) != static_cast<ssize_t>(buffer.size())) {
                state.SkipWithError("read failed");
            }
            ::close(fd);
            benchmark::DoNotOptimize(buffer.data());
            ++files;
        }
        if (files != kMeasurements) {
            state.SkipWithError("files missing");
        }
    }
    state.SetItemsProcessed(state.iterations() * kMeasurements);
}
BENCHMARK(BM_PlainReadOfTheSameHeaders)->Unit(benchmark::kMillisecond);

// The same loop with the one more system call any reader needs that must tell a regular file from anything
// else and see its size and read-only attribute (fstat): the floor for the measurement file class.
void BM_PlainReadWithAttributes(benchmark::State& state) {
    Archive& a = TheArchive();
    std::vector<char> buffer(kHeaderBytes);
    for (auto _ : state) {
        int files = 0;
        for (const auto& entry : fs::directory_iterator(a.machineDir)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || (name[0] != 'M' && name[0] != 'm')) {
                continue;
            }
            const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
            struct stat info {};
            if (fd < 0 || ::fstat(fd, &info) != 0 ||
                ::pread(fd, buffer.data(), buffer.size(), 0) != static_cast<ssize_t>(buffer.size())) {
                state.SkipWithError("read failed");
            }
            ::close(fd);
            benchmark::DoNotOptimize(buffer.data());
            benchmark::DoNotOptimize(info.st_mode);
            ++files;
        }
        if (files != kMeasurements) {
            state.SkipWithError("files missing");
        }
    }
    state.SetItemsProcessed(state.iterations() * kMeasurements);
}
BENCHMARK(BM_PlainReadWithAttributes)->Unit(benchmark::kMillisecond);

// What the measurement file class alone costs for the same headers: the floor under the node listing.
void BM_ZamerFileHeadersOnly(benchmark::State& state) {
    Archive& a = TheArchive();
    for (auto _ : state) {
        for (const fs::path& path :
             velmar::common::GlobNoCase(a.machineDir, "M*.*", velmar::common::EntryType::File)) {
            TZamerFile file = TZamerFile::OpenFile(path);
            file.Hold();
            benchmark::DoNotOptimize(file.GetHeader());
            benchmark::DoNotOptimize(file.GetParams());
            benchmark::DoNotOptimize(file.GetDescription());
            file.Release();
        }
    }
    state.SetItemsProcessed(state.iterations() * kMeasurements);
}
BENCHMARK(BM_ZamerFileHeadersOnly)->Unit(benchmark::kMillisecond);

}  // namespace
