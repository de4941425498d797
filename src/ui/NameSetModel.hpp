#pragma once
// The content of the name-set editor: measuring points with their directions, and channels that belong to
// no point, each with a full and a short name; the checks of the editor and the writing of the *.NAM file.
// No widgets here.

#include <filesystem>
#include <string>
#include <vector>

namespace velmar::archive {
class TProgDBLevel;
class TNameSetDBLevel;
}  // namespace velmar::archive

namespace velmar::ui {

struct NameEntry {
    std::string fullName;
    std::string shortName;
};

struct NamePoint {
    NameEntry entry;
    std::vector<NameEntry> directions;
};

enum class EntryProblem { None, EmptyFullName, EmptyShortName, DuplicateFullName, DuplicateShortName };
enum class SaveProblem { None, EmptyName, EmptyFileName, BadFileName, FileExists };

class NameSetModel {
  public:
    static constexpr int kMaxFullNameLength = 60;
    static constexpr int kMaxShortNameLength = 6;

    std::vector<NamePoint> points;
    std::vector<NameEntry> freeChannels;

    // Whether `candidate` may stand among `siblings` (the entry at `skip` is the one being edited, -1 for
    // none). Names are compared after trimming and must differ from the siblings' only: directions of
    // different points are usually named alike ("Вертикально").
    static EntryProblem CheckEntry(const std::vector<NameEntry>& siblings, const NameEntry& candidate,
                                   int skip);
    static int MessageIdOf(EntryProblem problem);

    // The entry trimmed and cut to the lengths the file keeps.
    static NameEntry Normalized(const NameEntry& entry);

    // The point entries (for CheckEntry of a point).
    std::vector<NameEntry> PointEntries() const;
    int EntryCount() const;

    // The typed file name as it will be written: trimmed, ".NAM" added unless it already ends so (any case).
    static std::string NormalizedFileName(const std::string& typed);
    // Checks the set's name and the file name against the passport directory.
    static SaveProblem CheckSave(const std::string& name, const std::string& typedFileName,
                                 const std::filesystem::path& passportDirectory);

    // The file's bytes: Title Name and Count, then one section per entry numbered from 1 (each point followed
    // by its directions, then the free channels) with FullName, ShortName, Point and Node.
    std::string FileBytes(const std::string& name) const;

    // Writes the file into the archive's passport directory (never replacing a file, nor taking a name that
    // differs from an existing one only in case) and adds its node to the root. Throws std::system_error when
    // it cannot be written and std::runtime_error when the written file cannot be read back as a name set.
    archive::TNameSetDBLevel* WriteInto(archive::TProgDBLevel& root, const std::string& name,
                                        const std::string& typedFileName) const;
};

}  // namespace velmar::ui
