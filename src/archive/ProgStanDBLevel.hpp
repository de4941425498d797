#pragma once
// What the archive root and the stations have in common: a station depth (their level number, 1 for the
// root) and the creation of stations below them.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "archive/ArchiveDialogs.hpp"
#include "archive/FileDBLevel.hpp"

namespace velmar::archive {

// How the creation of a station or machine from the dialog's answers ended.
enum class NewNodeStatus {
    Created,
    Rejected,  // an answer is wrong (the user was told which); the dialog is shown again
    Failed,    // nothing can be created here (the user was told why); the dialog is not shown again
};

struct NewNodeResult {
    NewNodeStatus status = NewNodeStatus::Failed;
    TDBLevel* node = nullptr;  // the new child when created
};

class TProgStanDBLevel : public TFileDBLevel {
  public:
    // A typed directory name longer than this is refused; the archive's own names are eight characters.
    static constexpr std::size_t kMaxDirectoryNameLength = 64;

    int StationDepth() const noexcept { return stationDepth_; }

    // Directory prefix of a new station of level 2 .. 6 ("_STAN", "_CEH", "_PODR", "_UCH", "_PLACE"); empty
    // for any other level.
    static std::string StationDirPrefix(int levelNumber);

    // Whether a station of `levelNumber` can be created here: this node is usable (enabled, with a usable
    // expert-system slot) and depth < level <= the deepest station level.
    bool CanCreateStation(int levelNumber) const;

    // Shows the station dialog until its answers are accepted or the user cancels.
    CreateResult CreateStation(int levelNumber);
    // The checks and the writing behind the dialog: name and directory (a leading "_" is added, the name
    // must stay inside this directory), clashes with the children ("Такой директорий уже существует !",
    // "Такое наименование уже существует !"), then the directory with its UNIT_D.INF and the new child.
    NewNodeResult CreateStationWith(int levelNumber, const StationAnswers& answers);

  protected:
    TProgStanDBLevel(ArchiveContext& context, TDBLevel* parent, std::filesystem::path path,
                     std::string_view name, int stationDepth);
    void SetStationDepth(int depth) noexcept { stationDepth_ = depth; }

    // The typed directory name as it will be created ("_" in front), or empty after telling the user why it
    // cannot be one.
    std::string CheckDirectoryName(std::string_view typed) const;
    // Whether something of that name (any case) is already in this node's directory.
    bool DirectoryEntryExists(std::string_view name) const;
    // Creates `directory` here with the INF file `infName` holding `bytes` (never replacing anything), reads
    // it back with `read` and adds the node as a child. On any failure nothing is left behind and the user
    // has been told.
    NewNodeResult CreateChildDirectory(const std::string& directory, const char* infName, const std::string& bytes,
                                       const std::function<NodePtr(const std::filesystem::path&)>& read);

  private:
    int stationDepth_ = 1;
};

}  // namespace velmar::archive
