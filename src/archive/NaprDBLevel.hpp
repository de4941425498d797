#pragma once
// A direction as the archive browser shows it: the data of one channel of a measurement file, read from
// the file whenever its buffer is first locked.

#include "archive/NaprPreobrDBLevel.hpp"

namespace velmar::archive {

class TNaprDBLevel : public TNaprPreobrDBLevel {
  public:
    static constexpr std::uint16_t kFlags = 177;
    static constexpr std::uint16_t kUnusedFlags = 1;

    TNaprDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file,
                 DirectionRef ref, TZamerFile* openFile = nullptr);

    // Reads the channel's values from the measurement file into the buffer (every first lock: the file is
    // the authority). A file that cannot be read raises EFailOpenFile and leaves no buffer.
    void AcquireBuffer() override;
};

}  // namespace velmar::archive
