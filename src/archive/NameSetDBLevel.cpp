#include "archive/NameSetDBLevel.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/FailOpenFile.hpp"
#include "common/ExpertSystem.hpp"
#include "common/IniFile.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextNoNameFile = 149;
constexpr int kTextBadNameFile = 150;
// The most entries with the longest names come to about 150 KB. A larger file is no name set, and read whole
// it would tie up many times its size in parsed lines.
constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;

// The file's bytes, one more than kMaxFileSize at most (so that a file over the limit shows as one); none
// when it cannot be read.
std::optional<std::string> ReadBounded(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    while (bytes.size() <= kMaxFileSize) {
        const std::size_t want = std::min(sizeof buffer, kMaxFileSize + 1 - bytes.size());
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

// The sections of the file by name, each from its header line up to the next header line, the first of a
// name winning as in the INI file. Looked up in the whole file, every entry's keys walked every line ahead
// of it: a damaged set whose entries sit behind a megabyte of other lines took minutes to load. Whether a
// line is a header is left to the INI parser itself, one line at a time, so that a section here holds
// exactly the lines the INI file gives it.
std::unordered_map<std::string, std::string_view> SectionsByName(std::string_view bytes) {
    std::unordered_map<std::string, std::string_view> sections;
    std::string current;
    std::size_t currentStart = std::string_view::npos;
    const auto finish = [&](std::size_t end) {
        if (currentStart != std::string_view::npos) {
            sections.try_emplace(std::move(current), bytes.substr(currentStart, end - currentStart));
        }
    };
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t newline = bytes.find('\n', start);
        const std::size_t next = newline == std::string_view::npos ? bytes.size() : newline + 1;
        const std::string_view line = bytes.substr(start, next - start);
        if (line.find('[') != std::string_view::npos) {
            std::vector<std::string> header = common::IniFile::FromBytes(line).ReadSections();
            if (!header.empty()) {
                finish(start);
                current = std::move(header.front());
                currentStart = start;
            }
        }
        start = next;
    }
    finish(bytes.size());
    return sections;
}

std::string ReadSetName(const fs::path& file) {
    const std::optional<std::string> bytes = ReadBounded(file);
    if (!bytes) {
        throw EFailOpenFile(common::LoadText(kTextNoNameFile));
    }
    if (bytes->size() > kMaxFileSize) {
        throw EFailOpenFile(common::LoadText(kTextBadNameFile));
    }
    const common::IniFile ini = common::IniFile::FromBytes(*bytes, file);
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
    // A file that has gone or grown past a name set since it was opened has no entries.
    std::optional<std::string> bytes = ReadBounded(GetPath());
    if (!bytes || bytes->size() > kMaxFileSize) {
        bytes.emplace();
    }
    const common::IniFile ini = common::IniFile::FromBytes(*bytes, GetPath());
    const long count = std::clamp<long>(ini.ReadInteger("Title", "Count", 0), 0, kMaxEntries);
    const std::unordered_map<std::string, std::string_view> sections = SectionsByName(*bytes);
    for (long k = 1; k <= count; ++k) {
        const std::string section = std::to_string(k);
        const auto found = sections.find(section);
        // A missing entry ends the table: what follows cannot be numbered reliably.
        if (found == sections.end()) {
            break;
        }
        const common::IniFile entry = common::IniFile::FromBytes(found->second);
        ChannelInfo info;
        info.name = common::Utf8Prefix(entry.ReadString(section, "FullName", ""), kMaxFullNameLength);
        info.shortName = common::Utf8Prefix(entry.ReadString(section, "ShortName", ""), kMaxShortNameLength);
        info.pointOnly = entry.ReadBool(section, "Point", true);
        if (info.pointOnly) {
            ++points;
            directions = 0;
            info.point = points;
            info.direction = -1;
        } else if (entry.ReadBool(section, "Node", true)) {
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
