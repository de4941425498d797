#pragma once
// The root of an open archive: the archive directory of MAIN.INI, its passports and name sets (the PSP
// directory) and its stations of level 2. It also holds what the nodes below ask of the program: the
// equipment-group tables of the expert systems, the dialogs, the main window and the icon store.

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ArchiveDialogs.hpp"
#include "archive/ProgStanDBLevel.hpp"
#include "common/ExpertSystem.hpp"

namespace velmar::archive {

class TPspDBLevel;
class TNameSetDBLevel;

class TProgDBLevel : public TProgStanDBLevel {
  public:
    // Groups a slot's table keeps at most.
    static constexpr std::size_t kMaxGroupsPerSlot = 15;

    struct GroupMatch {
        int number = 0;  // index in the slot's table, from 1
        bool disabled = false;
        bool noPassport = false;
    };

    // The program set is the set of active expert-system slots of the context's registry; each slot's group
    // table is read from its INI file. Raises EFailOpenFile "Нет файла" when `archiveDirectory` is not a
    // directory.
    TProgDBLevel(ArchiveContext& context, std::filesystem::path archiveDirectory, std::string_view name);

    // Name sets (PSP\*.NAM), passports (PSP\*.psp), then every "_*" directory holding UNIT_D.INF as a
    // station. Entries that cannot be read are left out.
    void LoadChildren() override;
    void FillCommandMenu(CommandMenu& menu) override;
    CreateResult CreateChild(int levelNumber) override;
    bool IsProgramSetEmpty(const common::ProgramSet& set) const override;
    std::string GetLevelName(int levelNumber) const override;
    void UpdateMark() override;
    // The archive itself is never deleted from inside.
    bool DeleteStorage() override { return false; }
    RenameResult Rename() override { return RenameResult::NotRenamed; }

    WindowHandle OwnerWindow() const override { return ownerWindow_; }
    void SetOwnerWindow(WindowHandle window) noexcept { ownerWindow_ = window; }
    // Images come from the program's icon store; none in the core.
    BitmapHandle LoadBitmapByName(const std::string& name) const override;
    void SetIconLoader(std::function<BitmapHandle(const std::string&)> loader) {
        iconLoader_ = std::move(loader);
    }
    IArchiveDialogs* Dialogs() const noexcept { return dialogs_; }
    void SetDialogs(IArchiveDialogs* dialogs) noexcept { dialogs_ = dialogs; }
    // Whether machines write their colour state into UNIT_A.INF when it changes (the browser's way); a
    // listing that must leave the archive as it found it switches this off.
    bool StatesWritten() const noexcept { return statesWritten_; }
    void SetStatesWritten(bool written) noexcept { statesWritten_ = written; }

    // The PSP directory as it is spelled on disk (its plain spelling when there is none yet).
    std::filesystem::path PassportDirectory() const;

    // The passport or name set child whose file is `fileName` (any case) in the PSP directory.
    TPspDBLevel* FindPassport(std::string_view fileName);
    TNameSetDBLevel* FindNameSet(std::string_view fileName);
    // The first passport whose file name starts with the two-letter code.
    TPspDBLevel* FindPassportByGroup(std::string_view code);
    std::vector<TPspDBLevel*> Passports();
    std::vector<TNameSetDBLevel*> NameSets();

    // The group of slot `slot` whose code is the first two letters of `fileNameOrCode` (upper-cased).
    std::optional<GroupMatch> FindGroup(int slot, std::string_view fileNameOrCode) const;
    // Its disabled and no-passport flags; both false when the slot has no such group.
    GroupMatch GroupFlags(int slot, std::string_view fileName) const;
    const std::vector<common::RootGroup>& GroupTable(int slot) const;
    int GroupTableWidth() const noexcept { return 31; }

  protected:
    bool ShowExpertSystemInfo() override;

  private:
    std::array<std::vector<common::RootGroup>, common::kExpertSystemSlots + 1> groups_{};
    WindowHandle ownerWindow_ = nullptr;
    IArchiveDialogs* dialogs_ = nullptr;
    bool statesWritten_ = true;
    std::function<BitmapHandle(const std::string&)> iconLoader_;
};

}  // namespace velmar::archive
