// A signal channel of 2^21 samples read from and written to a measurement file, each next to a plain
// read()/write() of the same 4 MiB of stored integers: the conversion to and from doubles and the file's
// bookkeeping are what the difference costs. The file sits in the page cache, as a file just opened in the
// archive does.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZamerFile.hpp"

namespace {

namespace fs = std::filesystem;
using velmar::archive::TChannelRecord;
using velmar::archive::TZamerFile;

constexpr std::size_t kSamples = std::size_t{1} << 21;

// One file for the whole run, removed at the end.
struct SignalFile {
    fs::path dir;
    fs::path path;
    std::vector<double> signal;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;

    SignalFile() {
        std::string pattern = (fs::temp_directory_path() / "velmar-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        dir = pattern;
        path = dir / "M3240115.001";
        signal.resize(kSamples);
        for (std::size_t i = 0; i < kSamples; ++i) {
            const double t = double(i) / 25600.0;
            signal[i] = 3.0 * std::sin(2 * M_PI * 49.7 * t) + 0.8 * std::sin(2 * M_PI * 1234.5 * t) +
                        0.05 * std::cos(2 * M_PI * 7777.0 * t);
        }
        TZamerFile file = TZamerFile::CreateFile(path, 1);
        TChannelRecord c;
        c.kind = 2;
        c.quantity = 4;
        c.step = 1.0 / 25600.0;
        c.peak = 3.85;
        file.SetChannel(1, c);
        file.WriteChannelData(1, signal);
        offset = file.GetChannel(1).dataOffset;
        length = file.GetChannel(1).dataLength;
    }
    ~SignalFile() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

SignalFile& File() {
    static SignalFile file;
    return file;
}

void BM_ReadChannelData(benchmark::State& state) {
    SignalFile& f = File();
    TZamerFile file = TZamerFile::OpenFile(f.path);
    std::vector<double> values(kSamples);
    for (auto _ : state) {
        const std::int64_t n = file.ReadChannelData(1, values);
        if (n != static_cast<std::int64_t>(kSamples)) {
            state.SkipWithError("short read");
        }
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.length));
}
BENCHMARK(BM_ReadChannelData)->Unit(benchmark::kMillisecond);

// The reference: the same stored bytes with one open, read and close, no conversion.
void BM_PlainRead(benchmark::State& state) {
    SignalFile& f = File();
    std::vector<std::int16_t> raw(kSamples);
    for (auto _ : state) {
        const int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (::lseek(fd, static_cast<off_t>(f.offset), SEEK_SET) < 0 ||
            ::read(fd, raw.data(), f.length) != static_cast<ssize_t>(f.length)) {
            state.SkipWithError("short read");
        }
        ::close(fd);
        benchmark::DoNotOptimize(raw.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.length));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

// The least the job itself costs: the plain read, then each integer times the scale into the doubles. The
// doubles are four times the bytes read, so this, not the plain read, is the floor for ReadChannelData.
void BM_PlainReadAndConvert(benchmark::State& state) {
    SignalFile& f = File();
    std::vector<std::int16_t> raw(kSamples);
    std::vector<double> values(kSamples);
    const double scale = TZamerFile::OpenFile(f.path).GetChannel(1).scale;
    for (auto _ : state) {
        const int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (::lseek(fd, static_cast<off_t>(f.offset), SEEK_SET) < 0 ||
            ::read(fd, raw.data(), f.length) != static_cast<ssize_t>(f.length)) {
            state.SkipWithError("short read");
        }
        ::close(fd);
        for (std::size_t i = 0; i < kSamples; ++i) {
            values[i] = raw[i] * scale;
        }
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.length));
}
BENCHMARK(BM_PlainReadAndConvert)->Unit(benchmark::kMillisecond);

// Same length each time, so the data area is reused and the file does not grow.
void BM_WriteChannelData(benchmark::State& state) {
    SignalFile& f = File();
    TZamerFile file = TZamerFile::OpenFile(f.path);
    for (auto _ : state) {
        if (file.WriteChannelData(1, f.signal) != static_cast<std::int64_t>(f.length)) {
            state.SkipWithError("short write");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.length));
}
BENCHMARK(BM_WriteChannelData)->Unit(benchmark::kMillisecond);

// The reference: the stored bytes written back in place with one open, write and close.
void BM_PlainWrite(benchmark::State& state) {
    SignalFile& f = File();
    std::vector<std::int16_t> raw(kSamples);
    {
        const int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (::pread(fd, raw.data(), f.length, static_cast<off_t>(f.offset)) !=
            static_cast<ssize_t>(f.length)) {
            state.SkipWithError("short read");
        }
        ::close(fd);
    }
    for (auto _ : state) {
        const int fd = ::open(f.path.c_str(), O_RDWR | O_CLOEXEC);
        if (::lseek(fd, static_cast<off_t>(f.offset), SEEK_SET) < 0 ||
            ::write(fd, raw.data(), f.length) != static_cast<ssize_t>(f.length)) {
            state.SkipWithError("short write");
        }
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.length));
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

// The same job done plainly: each value divided by the scale and rounded into a whole-signal integer array,
// then one write. The floor for WriteChannelData, as the conversion reference is for reading.
void BM_PlainConvertAndWrite(benchmark::State& state) {
    SignalFile& f = File();
    std::vector<std::int16_t> raw(kSamples);
    const double scale = TZamerFile::OpenFile(f.path).GetChannel(1).scale;
    for (auto _ : state) {
        for (std::size_t i = 0; i < kSamples; ++i) {
            raw[i] = static_cast<std::int16_t>(std::nearbyint(f.signal[i] / scale));
        }
        const int fd = ::open(f.path.c_str(), O_RDWR | O_CLOEXEC);
        if (::lseek(fd, static_cast<off_t>(f.offset), SEEK_SET) < 0 ||
            ::write(fd, raw.data(), f.length) != static_cast<ssize_t>(f.length)) {
            state.SkipWithError("short write");
        }
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.length));
}
BENCHMARK(BM_PlainConvertAndWrite)->Unit(benchmark::kMillisecond);

}  // namespace
