#pragma once
// A station level (station, shop, division, section, place: levels 2 to 6): a "_*" directory holding
// UNIT_D.INF, with station directories one level deeper, machine directories and route files inside.

#include <filesystem>
#include <string>
#include <string_view>

#include "archive/ArchiveDialogs.hpp"
#include "archive/KindSupport.hpp"
#include "archive/ProgStanDBLevel.hpp"

namespace velmar::archive {

class TStantionDBLevel : public TProgStanDBLevel {
  public:
    // The characters a proposed machine directory keeps; every other one becomes "_".
    static std::string ProposedDirectoryFor(std::string_view machineName);

    // Reads the directory's UNIT_D.INF. Raises EFailOpenFile "Нет файла" without one and "Нет имени" when
    // it names none. The station is one level below its parent station (level 2 below the root); its
    // program set is the parent's without the slots its INF file does not enable.
    TStantionDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& directory);

    const std::filesystem::path& InfPath() const noexcept { return infPath_; }

    // Child stations (when this one is above its deepest level), machines, then route files.
    void LoadChildren() override;
    void FillCommandMenu(CommandMenu& menu) override;
    RefreshCode ExecuteCommand(int& command) override;
    std::string GetPromptText(int prompt) const override;
    // Deeper levels are stations; 10 and above a machine.
    CreateResult CreateChild(int levelNumber) override;
    RenameResult Rename() override;
    bool StoreName(const std::string& name) override;
    bool DeleteStorage() override;
    void UpdateMark() override;
    std::string GetLevelName(int levelNumber) const override;

    // Shows the new-machine dialog until its answers are accepted or the user cancels.
    CreateResult CreateMachine();
    // The checks and the writing behind the dialog: name, directory, passport and name set of the archive,
    // clashes ("Такой директорий %s уже существует !", "Такой технологический индекс уже существует !"),
    // then the directory with its UNIT_A.INF and the new machine.
    NewNodeResult CreateMachineWith(const MachineAnswers& answers);
    bool CanCreateMachine() const;

  protected:
    bool ShowExpertSystemInfo() override;

  private:
    TStantionDBLevel(ArchiveContext& context, TDBLevel* parent, kinds::UnitFile unit);

    std::filesystem::path infPath_;
};

}  // namespace velmar::archive
