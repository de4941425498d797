#include "archive/NaprDBLevel.hpp"

#include <stdexcept>

#include "archive/KindSupport.hpp"
#include "archive/ZamerFile.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace {
constexpr std::int32_t kKindHarmonics = 64;
}  // namespace

TNaprDBLevel::TNaprDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file,
                           DirectionRef ref, TZamerFile* openFile)
    : TNaprPreobrDBLevel(context, parent, file, ref, openFile, kLevelDirection) {
    SetFlags(ChannelInUse() ? kFlags : kUnusedFlags);
}

void TNaprDBLevel::AcquireBuffer() {
    if (!ChannelInUse()) {
        TNaprPreobrDBLevel::AcquireBuffer();
        return;
    }
    TZamerFile file = TZamerFile::OpenFile(GetPath());
    file.Hold();
    const std::int64_t size = file.ChannelDataSize(ChannelNumber());
    if (size < 0) {
        throw EFailOpenFile(common::LoadText(kinds::kTextReadError));
    }
    std::span<double> values;
    try {
        values = ReplaceBuffer(static_cast<std::size_t>(size) / sizeof(double));
    } catch (const std::length_error&) {
        FreeData();
        throw EFailOpenFile(common::LoadText(kinds::kTextReadError));
    }
    std::int64_t read = 0;
    if (!values.empty()) {
        read = file.ReadChannelData(ChannelNumber(), values);
        if (read < 0) {
            // No buffer rather than one of zeros that would pass for a measured signal.
            FreeData();
            throw EFailOpenFile(common::LoadText(kinds::kTextReadError));
        }
    }
    file.Release();
    // The file may have been written since the node was read: the header follows what is in the buffer.
    TDataHeader header = GetHeader();
    std::int64_t count = header.Kind == kKindHarmonics ? read / 4 : read;
    if (header.HasPairs()) {
        count /= 2;
    }
    header.Count = static_cast<std::int32_t>(count);
    SetHeader(header);
}

}  // namespace velmar::archive
