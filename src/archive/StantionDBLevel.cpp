#include "archive/StantionDBLevel.hpp"

#include <system_error>

#include "archive/AgregatDBLevel.hpp"
#include "archive/AttachedFileNodes.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "common/Codepage.hpp"
#include "common/DayCount.hpp"
#include "common/Paths.hpp"
#include "common/ProgramContext.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr std::uint16_t kStationFlags = 159;
constexpr int kTextCreateCaption = 101;
constexpr int kTextNameLabel = 102;
constexpr int kTextDelete = 108;
constexpr int kTextRename = 109;
constexpr int kTextViewSignals = 110;
constexpr int kTextMachineDirectoryExists = 116;
constexpr int kTextMachineNameExists = 117;
constexpr int kTextNoPrograms = 118;
constexpr int kTextNoPassport = 119;
constexpr int kTextNoNameFile = 149;
constexpr int kTextLongNote = 189;
constexpr int kTextNameEmpty = 9418;

constexpr int kCommandLongNote = 12;
constexpr int kCommandCreateMachine = 26;
constexpr int kCommandViewSignals = 61;

int DepthBelow(const TDBLevel* parent) {
    const auto* station = dynamic_cast<const TProgStanDBLevel*>(parent);
    return station != nullptr ? station->StationDepth() + 1 : kLevelFirstStation;
}

bool IsPlainDirectoryCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

}  // namespace

TStantionDBLevel::TStantionDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& directory)
    : TStantionDBLevel(context, parent, kinds::ReadUnitFile(directory, kinds::kStationInf)) {}

TStantionDBLevel::TStantionDBLevel(ArchiveContext& context, TDBLevel* parent, kinds::UnitFile unit)
    : TProgStanDBLevel(context, parent, unit.directory, unit.name, DepthBelow(parent)),
      infPath_(unit.infPath) {
    if (StationDepth() > kLevelLastStation) {
        throw EFailOpenFile(common::LoadText(kinds::kTextNoFile));
    }
    SetDateTime(unit.moment);
    SetReadOnly(unit.readOnly);
    SetEnabled(!unit.readOnly);
    SetFlags(kStationFlags);
    SetIconKey("STAN");
    SetLevel(StationDepth(), kLevelKindPlain);
    common::ProgramSet programs = Programs();
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        if (!programs.test(static_cast<std::size_t>(slot))) {
            continue;
        }
        const std::string section = kinds::SlotSection(context, slot);
        if (section.empty() || unit.ini.ReadInteger(section, "Enabled", 0) == 0) {
            programs.reset(static_cast<std::size_t>(slot));
        }
    }
    SetPrograms(programs);
}

std::string TStantionDBLevel::ProposedDirectoryFor(std::string_view machineName) {
    std::string directory = "_";
    std::size_t i = 0;
    while (i < machineName.size() && directory.size() < kMaxDirectoryNameLength) {
        const auto lead = static_cast<unsigned char>(machineName[i]);
        // One "_" per character, however many bytes it takes.
        std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 1;
        directory += length == 1 && IsPlainDirectoryCharacter(machineName[i]) ? machineName[i] : '_';
        i += length;
    }
    return directory;
}

void TStantionDBLevel::LoadChildren() {
    TProgStanDBLevel::LoadChildren();
    ArchiveContext& context = Context();
    const std::vector<fs::path> directories =
        common::GlobNoCase(GetPath(), "_*", common::EntryType::Directory);
    const int level = GetLevelNumber();
    if (level < DeepestStationLevel() && level < kLevelLastStation) {
        for (const fs::path& directory : directories) {
            if (kinds::FindFileNoCase(directory, kinds::kStationInf)) {
                kinds::AddChildSkippingFailures(
                    *this, [&] { return MakeNode<TStantionDBLevel>(context, this, directory); });
            }
        }
    }
    for (const fs::path& directory : directories) {
        if (kinds::FindFileNoCase(directory, kinds::kMachineInf)) {
            kinds::AddChildSkippingFailures(
                *this, [&] { return MakeNode<TAgregatDBLevel>(context, this, directory); });
        }
    }
    for (const fs::path& file : common::GlobNoCase(GetPath(), "R*.*", common::EntryType::File)) {
        kinds::AddChildSkippingFailures(*this, [&] { return CreateRouteNode(*this, file); });
    }
}

bool TStantionDBLevel::CanCreateMachine() const {
    return IsEnabled() && !IsReadOnly() && !IsProgramSetEmpty(Programs());
}

void TStantionDBLevel::FillCommandMenu(CommandMenu& menu) {
    TProgStanDBLevel::FillCommandMenu(menu);
    const int level = GetLevelNumber();
    if (IsEnabled()) {
        if (CanCreateStation(level + 1)) {
            menu.SetCommand(20 + level,
                            common::FormatText(kTextCreateCaption,
                                               {LevelWord(level + 1, common::kGenitive, true, false)}));
        }
        menu.SetCommand(39 + level, common::FormatText(kTextDelete,
                                                       {LevelWord(level, common::kAccusative, true, false)}));
        menu.SetCommand(level - 1,
                        common::FormatText(kTextRename, {LevelWord(level, common::kGenitive, true, false)}));
        if (CanCreateMachine()) {
            menu.SetCommand(kCommandCreateMachine,
                            common::FormatText(kTextCreateCaption,
                                               {LevelWord(kLevelMachine, common::kGenitive, true, false)}));
        }
        if (!IsReadOnly()) {
            menu.SetCommand(kCommandLongNote, common::LoadText(kTextLongNote));
        }
    }
    menu.SetCommand(kCommandViewSignals, common::LoadText(kTextViewSignals));
}

RefreshCode TStantionDBLevel::ExecuteCommand(int& command) {
    if (command == kCommandLongNote) {
        EnsureChildren();
        return IsEnabled() && !IsReadOnly() ? kinds::RunWindowCommand(*this, command) : RefreshCode::None;
    }
    return TProgStanDBLevel::ExecuteCommand(command);
}

std::string TStantionDBLevel::GetPromptText(int prompt) const {
    const int level = GetLevelNumber();
    if (prompt == kPromptRename) {
        return common::FormatText(kTextNameLabel, {LevelWord(level, common::kGenitive, true, false)});
    }
    if (prompt == kPromptDelete) {
        return common::FormatText(kTextDelete, {LevelWord(level, common::kAccusative, true, false)}) + " \"" +
               GetName() + "\" ?";
    }
    return TProgStanDBLevel::GetPromptText(prompt);
}

CreateResult TStantionDBLevel::CreateChild(int levelNumber) {
    if (levelNumber <= StationDepth()) {
        return CreateResult::NotCreated;
    }
    if (levelNumber < 10) {
        return CreateStation(levelNumber);
    }
    return CreateMachine();
}

RenameResult TStantionDBLevel::Rename() {
    if (IsReadOnly()) {
        kinds::ShowError(Context(), common::LoadText(kinds::kTextCantWriteReadOnly));
        return RenameResult::NotRenamed;
    }
    return TProgStanDBLevel::Rename();
}

bool TStantionDBLevel::StoreName(const std::string& name) {
    if (IsReadOnly() || common::IsReadOnly(infPath_)) {
        kinds::ShowError(Context(), common::LoadText(kinds::kTextCantWriteReadOnly));
        return false;
    }
    if (!IsAcceptableName(name)) {
        return false;
    }
    try {
        common::IniFile ini(infPath_);
        if (!ini.Loaded()) {
            throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory));
        }
        ini.WriteString("Main", "Name", name);
        ini.UpdateFile();
    } catch (const std::system_error&) {
        kinds::ShowError(Context(), common::LoadText(kinds::kTextNoFile));
        return false;
    }
    return true;
}

bool TStantionDBLevel::DeleteStorage() {
    return DeleteDirectoryTree();
}

void TStantionDBLevel::UpdateMark() {
    TProgStanDBLevel::UpdateMark();
    SetBusy(!common::GlobNoCase(GetPath(), "_*", common::EntryType::Directory).empty() ||
            !common::GlobNoCase(GetPath(), "R*.*", common::EntryType::File).empty());
}

std::string TStantionDBLevel::GetLevelName(int levelNumber) const {
    if (levelNumber == 0 || levelNumber == 1 || levelNumber == GetLevelNumber()) {
        return GetName();
    }
    return Parent() != nullptr ? Parent()->GetLevelName(levelNumber) : std::string();
}

bool TStantionDBLevel::ShowExpertSystemInfo() {
    IArchiveDialogs* dialogs = kinds::DialogsOf(*this);
    return dialogs != nullptr ? dialogs->ShowInfo(*this, 2) : true;
}

// ---- Machines ---------------------------------------------------------------------------------------------

CreateResult TStantionDBLevel::CreateMachine() {
    if (!CanCreateMachine()) {
        return CreateResult::NotCreated;
    }
    IArchiveDialogs* dialogs = kinds::DialogsOf(*this);
    TProgDBLevel* root = kinds::RootOf(*this);
    if (dialogs == nullptr || root == nullptr) {
        return CreateResult::NotCreated;
    }
    MachineDialogRequest request;
    request.caption =
        common::FormatText(kTextCreateCaption, {LevelWord(kLevelMachine, common::kGenitive, true, false)});
    request.maxNameLength = MaxTextLength(kPromptName);
    request.proposedDirectory = MakeUniqueDirName("_AGR");
    for (TPspDBLevel* passport : root->Passports()) {
        request.passports.push_back(PassportChoice{passport->GetPath().filename().string(),
                                                   passport->GetName(), passport->GroupCode(),
                                                   passport->IsEnabled()});
    }
    for (TNameSetDBLevel* nameSet : root->NameSets()) {
        request.nameSets.push_back(NameSetChoice{nameSet->GetPath().filename().string(), nameSet->GetName()});
    }
    if (Context().program != nullptr) {
        for (common::EquipmentGroup& group :
             common::LoadEquipmentGroups(Context().program->registry, Programs())) {
            if (root->FindPassportByGroup(common::Utf8Prefix(group.code, 2)) != nullptr) {
                request.groups.push_back(std::move(group));
            }
        }
    }
    MachineAnswers offered{{}, request.proposedDirectory, {}, {}};
    for (;;) {
        std::optional<MachineAnswers> answers = dialogs->AskNewMachine(request, offered);
        if (!answers) {
            return CreateResult::NotCreated;
        }
        const NewNodeResult result = CreateMachineWith(*answers);
        if (result.status == NewNodeStatus::Created) {
            return CreateResult::Created;
        }
        if (result.status == NewNodeStatus::Failed) {
            return CreateResult::NotCreated;
        }
        offered = std::move(*answers);
    }
}

NewNodeResult TStantionDBLevel::CreateMachineWith(const MachineAnswers& answers) {
    if (!IsEnabled() || IsReadOnly()) {
        kinds::ShowError(Context(), common::LoadText(kinds::kTextCantWriteReadOnly));
        return {NewNodeStatus::Failed, nullptr};
    }
    if (IsProgramSetEmpty(Programs())) {
        kinds::ShowError(Context(), common::LoadText(kTextNoPrograms));
        return {NewNodeStatus::Failed, nullptr};
    }
    TProgDBLevel* root = kinds::RootOf(*this);
    TPspDBLevel* passport = root != nullptr ? root->FindPassport(answers.passport) : nullptr;
    if (passport == nullptr) {
        kinds::ShowError(Context(), common::LoadText(kTextNoPassport));
        return {NewNodeStatus::Rejected, nullptr};
    }
    TNameSetDBLevel* nameSet = nullptr;
    if (!common::TrimSpaces(answers.nameSet).empty()) {
        nameSet = root->FindNameSet(common::TrimSpaces(answers.nameSet));
        if (nameSet == nullptr) {
            kinds::ShowError(Context(), common::LoadText(kTextNoNameFile));
            return {NewNodeStatus::Rejected, nullptr};
        }
    }
    const std::string name = common::Utf8Prefix(common::TrimSpaces(answers.name), kMaxNameLength);
    if (!IsAcceptableName(name)) {
        kinds::ShowError(Context(), common::LoadText(kTextNameEmpty));
        return {NewNodeStatus::Rejected, nullptr};
    }
    const std::string directory = CheckDirectoryName(answers.directory);
    if (directory.empty()) {
        return {NewNodeStatus::Rejected, nullptr};
    }
    const Clash clash = FindNameOrPathClash(nullptr, name, GetPath() / directory);
    if (clash == Clash::PathExists || DirectoryEntryExists(directory)) {
        kinds::ShowError(Context(), common::FormatText(kTextMachineDirectoryExists, {directory}));
        return {NewNodeStatus::Rejected, nullptr};
    }
    if (clash == Clash::NameExists) {
        kinds::ShowError(Context(), common::LoadText(kTextMachineNameExists));
        return {NewNodeStatus::Rejected, nullptr};
    }

    common::IniFile ini = common::IniFile::FromBytes("", GetPath() / directory / kinds::kMachineInf);
    const double now = kinds::NowDayCount();
    ini.WriteString("Main", "Name", name);
    ini.WriteString("Main", "Date", common::FormatIniDate(now));
    ini.WriteString("Main", "Time", common::FormatIniTime(now));
    bool anySlot = false;
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        const std::string section = kinds::SlotSection(Context(), slot);
        if (!HasProgram(slot) || section.empty()) {
            continue;
        }
        anySlot = true;
        ini.WriteInteger(section, "Enabled", 1);
        ini.WriteString(section, "Psp", passport->GetPath().filename().string());
        ini.WriteInteger(section, "Svet", 0);
        if (nameSet != nullptr) {
            ini.WriteString(section, "Names", nameSet->GetPath().filename().string());
        }
    }
    // Without a slot section the machine could not find its passport and would never be listed.
    if (!anySlot) {
        kinds::ShowError(Context(), common::LoadText(kTextNoPrograms));
        return {NewNodeStatus::Failed, nullptr};
    }
    return CreateChildDirectory(directory, kinds::kMachineInf, ini.ToBytes(), [this](const fs::path& path) {
        return MakeNode<TAgregatDBLevel>(Context(), this, path);
    });
}

}  // namespace velmar::archive
