#include "archive/NameSetDBLevel.hpp"

#include <algorithm>
#include <string>

#include "archive/FailOpenFile.hpp"
#include "common/ExpertSystem.hpp"
#include "common/IniFile.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextNoNameFile = 149;
constexpr int kTextBadNameFile = 150;

std::string ReadSetName(const fs::path& file) {
    const common::IniFile ini(file);
    if (!ini.Loaded()) {
        throw EFailOpenFile(common::LoadText(kTextNoNameFile));
    }
    std::string name =
        common::Utf8Prefix(ini.ReadString("Title", "Name", ""), TNameSetDBLevel::kMaxNameLength);
    if (name.empty()) {
        throw EFailOpenFile(common::LoadText(kTextBadNameFile));
    }
    return name;
}

bool FullNamePart(int part) {
    return part == 0 || part == 9 || part == 11 || part == 13;
}

}  // namespace

TNameSetDBLevel::TNameSetDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& file)
    : TFileDBLevel(context, parent, file, ReadSetName(file)) {
    SetLevel(kLevelFirstStation, kLevelKindNameSet);
    SetIconKey("NSET");
    SetFlags(0);
}

void TNameSetDBLevel::LoadEntries() const {
    std::vector<ChannelInfo> entries;
    int points = 0;
    int directions = 0;
    int nodes = 0;
    int largestDirection = 0;
    const common::IniFile ini(GetPath());
    const long count = std::clamp<long>(ini.ReadInteger("Title", "Count", 0), 0, kMaxEntries);
    for (long k = 1; k <= count; ++k) {
        const std::string section = std::to_string(k);
        // A missing entry ends the table: what follows cannot be numbered reliably.
        if (!ini.SectionExists(section)) {
            break;
        }
        ChannelInfo info;
        info.name = common::Utf8Prefix(ini.ReadString(section, "FullName", ""), kMaxFullNameLength);
        info.shortName = common::Utf8Prefix(ini.ReadString(section, "ShortName", ""), kMaxShortNameLength);
        info.pointOnly = ini.ReadBool(section, "Point", true);
        if (info.pointOnly) {
            ++points;
            directions = 0;
            info.point = points;
            info.direction = -1;
        } else if (ini.ReadBool(section, "Node", true)) {
            ++nodes;
            info.point = 0;
            info.direction = nodes;
        } else {
            ++directions;
            info.point = points;
            info.direction = directions;
        }
        largestDirection = std::max(largestDirection, info.direction);
        entries.push_back(std::move(info));
    }
    pointCount_ = points;
    directionCount_ = largestDirection;
    entries_ = std::move(entries);
}

const std::vector<ChannelInfo>& TNameSetDBLevel::Entries() const {
    if (!entries_) {
        LoadEntries();
    }
    return *entries_;
}

int TNameSetDBLevel::GetChannelCount() const {
    return static_cast<int>(Entries().size());
}

int TNameSetDBLevel::PointCount() const {
    Entries();
    return pointCount_;
}

int TNameSetDBLevel::DirectionCount() const {
    Entries();
    return directionCount_;
}

bool TNameSetDBLevel::GetChannelInfo(int channel, ChannelInfo& info) const {
    const std::vector<ChannelInfo>& entries = Entries();
    if (channel < 1 || channel > static_cast<int>(entries.size())) {
        return false;
    }
    info = entries[static_cast<std::size_t>(channel - 1)];
    return true;
}

int TNameSetDBLevel::GetChannelNumber(int point, int direction) const {
    const std::vector<ChannelInfo>& entries = Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].point == point && entries[i].direction == direction) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

bool TNameSetDBLevel::GetPointInfo(int point, int direction, ChannelInfo& info) const {
    return GetChannelInfo(GetChannelNumber(point, direction), info);
}

bool TNameSetDBLevel::ChannelToPointDirection(int channel, int& point, int& direction) const {
    ChannelInfo info;
    if (!GetChannelInfo(channel, info)) {
        return false;
    }
    point = info.point;
    direction = info.direction;
    return true;
}

std::string TNameSetDBLevel::GetChannelName(int channel, int namePart) const {
    ChannelInfo info;
    if (!GetChannelInfo(channel, info)) {
        return {};
    }
    return FullNamePart(namePart) ? info.name : info.shortName;
}

std::string TNameSetDBLevel::GetPointDirectionName(int point, int direction, int namePart) const {
    ChannelInfo entry;
    if (!GetPointInfo(point, direction, entry)) {
        return {};
    }
    switch (namePart) {
        case 0:
        case 9:
        case 11:
            return entry.name;
        case 1:
        case 10:
        case 12:
            return entry.shortName;
        case 13:
        case 14: {
            if (direction == -1) {
                return {};
            }
            ChannelInfo pointEntry;
            // A channel of its own (no point) is named by itself alone.
            if (!GetPointInfo(point, -1, pointEntry)) {
                return namePart == 13 ? entry.name : entry.shortName;
            }
            return namePart == 13 ? pointEntry.name + " " + entry.name
                                  : pointEntry.shortName + entry.shortName;
        }
        default:
            return {};
    }
}

}  // namespace velmar::archive
