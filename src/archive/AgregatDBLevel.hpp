#pragma once
// A machine: a "_*" directory holding UNIT_A.INF, its measurement files ("M*.*") and run-up files
// ("*.VIB"). It knows its passport and, optionally, its name set; through them it maps the channels of its
// measurement files to measuring points and directions and names them.

#include <filesystem>
#include <functional>
#include <string>

#include "archive/FileDBLevel.hpp"
#include "archive/KindSupport.hpp"

namespace velmar::archive {

class TPspDBLevel;
class TNameSetDBLevel;

class TAgregatDBLevel : public TFileDBLevel {
  public:
    static constexpr std::uint16_t kMachineFlags = 159;
    // The fixed scheme without a name set: up to 14 points of 3 directions each.
    static constexpr int kMaxFixedPoints = 14;
    static constexpr int kFixedDirections = 3;
    static constexpr int kMaxFixedChannels = kMaxFixedPoints * kFixedDirections;

    // Reads the directory's UNIT_A.INF. Raises EFailOpenFile "Нет файла" / "Нет имени" as stations do, "Нет
    // привязанных программ" when no slot section names a passport and "Нет паспорта" when the archive has no
    // such passport.
    TAgregatDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& directory);

    const std::filesystem::path& InfPath() const noexcept { return infPath_; }
    TPspDBLevel* Passport() const noexcept { return passport_; }
    TNameSetDBLevel* NameSet() const noexcept { return nameSet_; }
    const std::string& NameSetFileName() const noexcept { return nameSetFile_; }
    double DateLastRepair() const noexcept { return dateLastRepair_; }
    // Machines of a no-passport group, or in a directory named "_".
    bool NoPassport() const noexcept { return InheritedByte() != 0; }

    // Its measurements, its state (RecomputeState), then its run-up files.
    void LoadChildren() override;
    void FillCommandMenu(CommandMenu& menu) override;
    RefreshCode ExecuteCommand(int& command) override;
    std::string GetPromptText(int prompt) const override;
    RenameResult Rename() override;
    bool StoreName(const std::string& name) override;
    // After a measurement goes, the machine's state follows the measurements left.
    DeleteResult DeleteChild(TDBLevel& child) override;
    bool DeleteStorage() override;
    // A negative state becomes 0. A changed state is written as Svet into every slot section of UNIT_A.INF
    // whose Enabled is 1, unless the machine is read-only.
    void SetState(std::int32_t state) override;
    // The state of the last measurement (in list order) that has one; 0 when none has.
    void RecomputeState();
    void UpdateMark() override;
    std::string GetLevelName(int levelNumber) const override;

    std::string GetPassportFileName() const override;
    bool GetPassport(PassportRecord& record) const override;
    // The date of the last repair (a day count).
    double GetMachineValue() const override;
    // Sets the date of the last repair to day count `first` and writes DateLastRem.
    void SetMachineValues(int first, int second) override;

    // Points and channels: by the name set, else by the fixed scheme (channel c is point (c-1) div 3 + 1,
    // direction (c-1) mod 3 + 1).
    int PointCount() const;
    int DirectionCount() const;
    int GetChannelCount() const override;
    bool GetChannelInfo(int channel, ChannelInfo& info) const override;
    // Direction -1 asks for the point itself.
    bool GetPointInfo(int point, int direction, ChannelInfo& info) const override;
    int GetChannelNumber(int point, int direction) const override;
    bool ChannelToPointDirection(int channel, int& point, int& direction) const;
    // Channel 0 is the marker; others are named as their point and direction.
    std::string GetChannelName(int channel, int namePart) const override;
    // The name set's name first; the fixed texts where it has none. Empty outside the machine's counts.
    std::string GetPointDirectionName(int point, int direction, int namePart) const override;

    // Commands that delete many children at once (52, 53): how many were kept because they cannot be
    // deleted (read-only); the rest are gone.
    int DeleteChildren(bool measurementsOnly);

  protected:
    bool ShowExpertSystemInfo() override;

  private:
    TAgregatDBLevel(ArchiveContext& context, TDBLevel* parent, kinds::UnitFile unit);
    std::string FixedName(int point, int direction, int namePart) const;
    bool WriteInf(const std::function<void(common::IniFile&)>& change);

    std::filesystem::path infPath_;
    TPspDBLevel* passport_ = nullptr;
    TNameSetDBLevel* nameSet_ = nullptr;
    std::string nameSetFile_;
    int passportPoints_ = 0;
    double dateLastRepair_ = 0;
};

}  // namespace velmar::archive
