// Opens arbitrary bytes as a name set (*.NAM) the way the archive root loads one, and reads everything a
// machine reads of it: the set's name, the numbered entries, the counts of points and directions, every
// channel's info, point and direction, each channel's names and every point-and-direction name of its
// entries. The only failure allowed is the reported one (EFailOpenFile, or FormatError from a bounded
// reader); anything else escaping, a crash or an access outside a buffer is a finding, and the sanitizers
// watch the rest.

#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.hpp"
#include "archive/ArchiveContext.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/NodePtr.hpp"
#include "common/Errors.hpp"
#include "common/ExpertSystem.hpp"
#include "common/IniFile.hpp"

namespace fs = std::filesystem;
using velmar::archive::ArchiveContext;
using velmar::archive::ChannelInfo;
using velmar::archive::EFailOpenFile;
using velmar::archive::MakeNode;
using velmar::archive::NodePtrOf;
using velmar::archive::TNameSetDBLevel;
using velmar::common::IniFile;
using velmar::common::Utf8Prefix;
using velmar::fuzz::Check;
using velmar::fuzz::CodePoints;

namespace {

// Name parts a machine asks for, and a few it never does.
constexpr int kNameParts[] = {-1, 0, 1, 2, 9, 10, 11, 12, 13, 14, 15};

struct Scratch {
    fs::path directory;
    fs::path file;
    ArchiveContext context;
};

// A PSP directory of its own per process, holding the fuzzed file as "FUZZ.NAM".
Scratch& TheScratch() {
    static Scratch* scratch = [] {
        std::string pattern = "/tmp/velmar-fuzz-nam-XXXXXX";
        Check(::mkdtemp(pattern.data()) != nullptr);
        auto* s = new Scratch;
        s->directory = pattern;
        s->file = s->directory / "FUZZ.NAM";
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(TheScratch().directory, ec);
        });
        return s;
    }();
    return *scratch;
}

void WriteScratch(const fs::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Check(static_cast<bool>(out));
}

// The entries as looked up key by key in the whole file, which is what the reader must give however it
// finds them.
void CheckAgainstWholeFile(const TNameSetDBLevel& set, const std::uint8_t* data, std::size_t size) {
    const IniFile ini = IniFile::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    const long count =
        std::clamp<long>(ini.ReadInteger("Title", "Count", 0), 0, TNameSetDBLevel::kMaxEntries);
    std::size_t expected = 0;
    int points = 0;
    for (long k = 1; k <= count && ini.SectionExists(std::to_string(k)); ++k) {
        const std::string section = std::to_string(k);
        ChannelInfo info;
        Check(set.GetChannelInfo(static_cast<int>(k), info));
        Check(info.name ==
              Utf8Prefix(ini.ReadString(section, "FullName", ""), TNameSetDBLevel::kMaxFullNameLength));
        Check(info.shortName ==
              Utf8Prefix(ini.ReadString(section, "ShortName", ""), TNameSetDBLevel::kMaxShortNameLength));
        Check(info.pointOnly == ini.ReadBool(section, "Point", true));
        if (info.pointOnly) {
            ++points;
            Check(info.point == points && info.direction == -1);
        } else {
            Check(info.point == (ini.ReadBool(section, "Node", true) ? 0 : points) && info.direction >= 1);
        }
        ++expected;
    }
    Check(static_cast<std::size_t>(set.GetChannelCount()) == expected);
}

void ReadEverything(const TNameSetDBLevel& set) {
    const long nameLength = CodePoints(set.GetName());
    Check(nameLength > 0 && nameLength <= TNameSetDBLevel::kMaxNameLength);

    const std::vector<ChannelInfo>& entries = set.Entries();
    const int count = set.GetChannelCount();
    const int points = set.PointCount();
    const int directions = set.DirectionCount();
    Check(count >= 0 && count <= TNameSetDBLevel::kMaxEntries &&
          static_cast<std::size_t>(count) == entries.size());
    Check(points >= 0 && points <= count && directions >= 0 && directions <= count);

    for (int channel = -1; channel <= count + 1; ++channel) {
        ChannelInfo info;
        const bool inside = channel >= 1 && channel <= count;
        Check(set.GetChannelInfo(channel, info) == inside);
        int point = INT_MIN;
        int direction = INT_MIN;
        Check(set.ChannelToPointDirection(channel, point, direction) == inside);
        if (!inside) {
            Check(point == INT_MIN && direction == INT_MIN);
            for (const int part : kNameParts) {
                Check(set.GetChannelName(channel, part).empty());
            }
            continue;
        }
        Check(point == info.point && direction == info.direction);
        const long full = CodePoints(info.name);
        const long brief = CodePoints(info.shortName);
        Check(full >= 0 && full <= TNameSetDBLevel::kMaxFullNameLength);
        Check(brief >= 0 && brief <= TNameSetDBLevel::kMaxShortNameLength);
        Check(point >= 0 && point <= points && direction >= -1 && direction <= directions);
        Check(info.pointOnly == (direction == -1));
        // The first entry of that point and direction is this one or an earlier one.
        const int first = set.GetChannelNumber(point, direction);
        Check(first >= 1 && first <= channel);
        for (const int part : kNameParts) {
            const std::string name = set.GetChannelName(channel, part);
            Check(name == info.name || name == info.shortName);
            const std::string pointName = set.GetPointDirectionName(point, direction, part);
            Check(CodePoints(pointName) >= 0);
            if (direction == -1 && (part == 13 || part == 14)) {
                Check(pointName.empty());
            }
        }
    }

    // Points and directions no entry has.
    for (int point = -1; point <= std::min(points, 16) + 1; ++point) {
        for (int direction = -2; direction <= std::min(directions, 16) + 1; ++direction) {
            const int channel = set.GetChannelNumber(point, direction);
            Check(channel >= 0 && channel <= count);
            ChannelInfo info;
            Check(set.GetPointInfo(point, direction, info) == (channel != 0));
            if (channel == 0) {
                for (const int part : kNameParts) {
                    Check(set.GetPointDirectionName(point, direction, part).empty());
                }
            } else {
                Check(info.point == point && info.direction == direction);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1 << 20)) {
        return 0;
    }
    Scratch& scratch = TheScratch();
    WriteScratch(scratch.file, data, size);
    try {
        const NodePtrOf<TNameSetDBLevel> set =
            MakeNode<TNameSetDBLevel>(scratch.context, nullptr, scratch.file);
        ReadEverything(*set);
        CheckAgainstWholeFile(*set, data, size);
    } catch (const EFailOpenFile&) {
    } catch (const velmar::common::FormatError&) {
    }
    return 0;
}
