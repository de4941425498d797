#pragma once
// A name set: the names of a machine type's measuring points and channels, and which channel of a
// measurement file belongs to which point and direction. One *.NAM file (INI) in the archive's PSP
// directory, shared by the machines that name it; a child of the root.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/FileDBLevel.hpp"

namespace velmar::archive {

class TNameSetDBLevel : public TFileDBLevel {
  public:
    static constexpr int kMaxFullNameLength = 60;
    static constexpr int kMaxShortNameLength = 6;
    // A damaged Count must not make the table read keys for ever; no collector or instrument has this many
    // channels.
    static constexpr int kMaxEntries = 999;

    // Reads Title Name. Raises EFailOpenFile "Нет файла наименований" when the file cannot be read and
    // "Плохой файл наименований" when the name is empty.
    TNameSetDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file);

    // Entries 1 .. n, numbered as the channels of the machines' measurement files. Read on first use: a
    // Point entry starts a new point and names it (point, -1); a Node entry is a channel directly under the
    // measurement (0, node number); any other entry is the next direction of the current point.
    const std::vector<ChannelInfo>& Entries() const;

    int GetChannelCount() const override;
    int PointCount() const;
    // The largest direction or node number of an entry.
    int DirectionCount() const;
    // A copy of entry `channel`; false outside 1 .. GetChannelCount().
    bool GetChannelInfo(int channel, ChannelInfo& info) const override;
    // The first entry with exactly that point and direction; 0 when there is none.
    int GetChannelNumber(int point, int direction) const override;
    bool GetPointInfo(int point, int direction, ChannelInfo& info) const override;
    bool ChannelToPointDirection(int channel, int& point, int& direction) const;
    // Name parts 0, 9, 11 and 13 give the full name, the others the short one.
    std::string GetChannelName(int channel, int namePart) const override;
    // Parts 0, 9, 11: the entry's full name; 1, 10, 12: its short name; 13: the point's full name, a space
    // and the entry's; 14: the point's short name and the entry's; 13 and 14 are empty for the point itself.
    std::string GetPointDirectionName(int point, int direction, int namePart) const override;

    RenameResult Rename() override { return RenameResult::NotRenamed; }

  private:
    void LoadEntries() const;

    mutable std::optional<std::vector<ChannelInfo>> entries_;
    mutable int pointCount_ = 0;
    mutable int directionCount_ = 0;
};

}  // namespace velmar::archive
