// Opens arbitrary bytes as a measurement file (either layout) and reads everything in it: the fixed blocks,
// every directory block, every channel record, channel block and channel's data, into bounded buffers. Then
// a few writes run on the same bytes, whose damaged offsets must not lead the writer astray either. Every
// failure must be a reported one (EFailOpenFile, EAbort, -1 or an empty answer), never a crash or an access
// outside a buffer; the sanitizers watch the rest.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.hpp"
#include "archive/ZamerFile.hpp"
#include "common/MeasurementParams.hpp"

using velmar::archive::EAbort;
using velmar::archive::EFailOpenFile;
using velmar::archive::TZamerFile;
using velmar::fuzz::Check;

namespace {

const std::string& ScratchPath() {
    static const std::string path = [] {
        std::string pattern = "/tmp/velmar-fuzz-zamer-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        Check(fd >= 0);
        ::close(fd);
        std::atexit([] { ::unlink(ScratchPath().c_str()); });
        return pattern;
    }();
    return path;
}

void WriteScratch(const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(ScratchPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    Check(fd >= 0);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        Check(n > 0);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

template <typename F>
void Try(F&& f) {
    try {
        f();
    } catch (const EFailOpenFile&) {
    } catch (const EAbort&) {
    }
}

void ReadEverything(TZamerFile& file, std::size_t fileSize) {
    Try([&] { file.GetHeader().Text(); });
    Try([&] { file.GetParams(); });
    Try([&] { file.GetTechParam(70); });
    Try([&] { file.GetDescription().Comment(); });
    Try([&] { file.MatchesRequirements(velmar::common::SlotRequirements(1)); });

    std::vector<std::uint8_t> blockBuffer(4096);
    Try([&] {
        for (const auto& e : file.GetDirectory()) {
            const std::int64_t length = file.BlockLength(e.id);
            const std::int64_t read = file.ReadBlock(e.id, blockBuffer);
            Check(read <= static_cast<std::int64_t>(blockBuffer.size()));
            if (const auto block = file.ReadBlock(e.id)) {
                Check(block->size() <= fileSize && static_cast<std::int64_t>(block->size()) == length);
            }
        }
    });

    std::vector<double> values(1 << 14);
    Try([&] {
        const int count = file.ChannelCount();
        for (int k = 0; k <= std::min(count, 64) + 1; ++k) {
            const auto record = file.GetChannel(k);
            const std::int64_t size = file.ChannelDataSize(k);
            Check(size < 0 || static_cast<std::uint64_t>(size) <= 4 * static_cast<std::uint64_t>(fileSize));
            const std::int64_t n = file.ReadChannelData(k, values);
            Check(n <= static_cast<std::int64_t>(values.size()));
            if (size >= 0 && size <= (1 << 20)) {
                if (const auto all = file.ReadChannelData(k)) {
                    Check(all->size() * sizeof(double) <= static_cast<std::size_t>(size));
                }
            }
            if (const auto raw = file.ReadChannelRaw(k)) {
                Check(raw->size() <= fileSize);
            }
            for (const auto& e : record.blocks) {
                Check(file.ReadChannelBlock(k, e.id, blockBuffer) <=
                      static_cast<std::int64_t>(blockBuffer.size()));
                if (const auto block = file.ReadChannelBlock(k, e.id)) {
                    Check(block->size() <= fileSize);
                }
            }
        }
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1 << 20)) {
        return 0;
    }
    WriteScratch(data, size);
    try {
        TZamerFile file = TZamerFile::OpenFile(ScratchPath());
        ReadEverything(file, size);

        // Writes on the same damaged bytes: whatever the offsets say, they either work or are reported.
        const std::vector<std::uint8_t> note = {'n', 'o', 't', 'e'};
        const std::vector<double> signal = {1.0, -2.0, 0.5, 400.0};
        Try([&] { file.SetTechParam(71, 1500.0); });
        Try([&] { file.WriteBlock(6, note); });
        Try([&] { file.WriteChannelBlock(1, 14, note); });
        Try([&] { file.WriteChannelData(1, signal); });
        Try([&] { file.WriteChannelData(2, signal); });

        TZamerFile again = TZamerFile::OpenFile(ScratchPath());
        ReadEverything(again, size + (1 << 12));
    } catch (const EFailOpenFile&) {
    }
    return 0;
}
