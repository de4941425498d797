#include "archive/ProgDBLevel.hpp"

#include <system_error>

#include "archive/FailOpenFile.hpp"
#include "archive/KindSupport.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "archive/StantionDBLevel.hpp"
#include "common/Codepage.hpp"
#include "common/Paths.hpp"
#include "common/ProgramContext.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextCreateCaption = 101;
constexpr int kCommandCreateFirstStation = 21;
constexpr const char* kPassportDirectory = "PSP";

fs::path CheckedArchiveDirectory(fs::path directory) {
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) {
        throw EFailOpenFile(common::LoadText(kinds::kTextNoFile) + ": " + directory.string());
    }
    return directory;
}

}  // namespace

TProgDBLevel::TProgDBLevel(ArchiveContext& context, fs::path archiveDirectory, std::string_view name)
    : TProgStanDBLevel(context, nullptr, CheckedArchiveDirectory(std::move(archiveDirectory)), name, 1) {
    SetLevel(kLevelRoot, kLevelKindPlain);
    SetIconKey("PALMEK");
    SetFlags(3);
    SetExpanded(true);
    if (context.program != nullptr) {
        const common::ExpertSystemRegistry& registry = context.program->registry;
        SetPrograms(registry.ActiveSlots());
        int firstSlot = 0;
        for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
            if (!HasProgram(slot)) {
                continue;
            }
            if (firstSlot == 0) {
                firstSlot = slot;
            }
            const fs::path slotIni = registry.SlotIniPath(slot);
            if (!slotIni.empty()) {
                groups_[static_cast<std::size_t>(slot)] = common::LoadRootGroups(slotIni);
            }
        }
        SetDeepestStationLevel(registry.Entry(firstSlot).maxStantionLevel);
    }
}

fs::path TProgDBLevel::PassportDirectory() const {
    std::optional<fs::path> found = common::FindEntryNoCase(GetPath(), kPassportDirectory);
    std::error_code ec;
    if (found && fs::is_directory(*found, ec)) {
        return *found;
    }
    return GetPath() / kPassportDirectory;
}

void TProgDBLevel::LoadChildren() {
    TProgStanDBLevel::LoadChildren();
    ArchiveContext& context = Context();
    const fs::path psp = PassportDirectory();
    for (const fs::path& file : common::GlobNoCase(psp, "*.NAM", common::EntryType::File)) {
        kinds::AddChildSkippingFailures(*this,
                                        [&] { return MakeNode<TNameSetDBLevel>(context, this, file); });
    }
    for (const fs::path& file : common::GlobNoCase(psp, "*.psp", common::EntryType::File)) {
        kinds::AddChildSkippingFailures(*this, [&] { return MakeNode<TPspDBLevel>(context, this, file); });
    }
    for (const fs::path& directory : common::GlobNoCase(GetPath(), "_*", common::EntryType::Directory)) {
        if (!kinds::FindFileNoCase(directory, kinds::kStationInf)) {
            continue;
        }
        kinds::AddChildSkippingFailures(*this,
                                        [&] { return MakeNode<TStantionDBLevel>(context, this, directory); });
    }
}

void TProgDBLevel::FillCommandMenu(CommandMenu& menu) {
    TProgStanDBLevel::FillCommandMenu(menu);
    if (CanCreateStation(kLevelFirstStation)) {
        menu.SetCommand(kCommandCreateFirstStation,
                        common::FormatText(kTextCreateCaption,
                                           {LevelWord(kLevelFirstStation, common::kGenitive, true, false)}));
    }
}

CreateResult TProgDBLevel::CreateChild(int levelNumber) {
    return CreateStation(levelNumber);
}

bool TProgDBLevel::IsProgramSetEmpty(const common::ProgramSet& set) const {
    return HasNoUsableSlot(set);
}

std::string TProgDBLevel::GetLevelName(int levelNumber) const {
    if (levelNumber == 0 || levelNumber == 1 || levelNumber == 15) {
        return GetName();
    }
    return {};
}

void TProgDBLevel::UpdateMark() {
    TProgStanDBLevel::UpdateMark();
    SetBusy(!common::GlobNoCase(GetPath(), "_*", common::EntryType::Directory).empty());
}

BitmapHandle TProgDBLevel::LoadBitmapByName(const std::string& name) const {
    return iconLoader_ && !name.empty() ? iconLoader_(name) : BitmapHandle{0};
}

bool TProgDBLevel::ShowExpertSystemInfo() {
    return dialogs_ != nullptr ? dialogs_->ShowInfo(*this, 2) : true;
}

TPspDBLevel* TProgDBLevel::FindPassport(std::string_view fileName) {
    if (fileName.empty()) {
        return nullptr;
    }
    EnsureChildren();
    const std::string key = PathKey(PassportDirectory() / common::BackslashToSlash(fileName));
    for (TPspDBLevel* passport : Passports()) {
        if (PathKey(passport->GetPath()) == key) {
            return passport;
        }
    }
    return nullptr;
}

TNameSetDBLevel* TProgDBLevel::FindNameSet(std::string_view fileName) {
    if (fileName.empty()) {
        return nullptr;
    }
    EnsureChildren();
    const std::string key = PathKey(PassportDirectory() / common::BackslashToSlash(fileName));
    for (TNameSetDBLevel* nameSet : NameSets()) {
        if (PathKey(nameSet->GetPath()) == key) {
            return nameSet;
        }
    }
    return nullptr;
}

TPspDBLevel* TProgDBLevel::FindPassportByGroup(std::string_view code) {
    for (TPspDBLevel* passport : Passports()) {
        if (passport->MatchesGroup(code)) {
            return passport;
        }
    }
    return nullptr;
}

std::vector<TPspDBLevel*> TProgDBLevel::Passports() {
    EnsureChildren();
    std::vector<TPspDBLevel*> passports;
    for (int i = 0; i < ChildCount(); ++i) {
        if (auto* passport = dynamic_cast<TPspDBLevel*>(ChildAt(i))) {
            passports.push_back(passport);
        }
    }
    return passports;
}

std::vector<TNameSetDBLevel*> TProgDBLevel::NameSets() {
    EnsureChildren();
    std::vector<TNameSetDBLevel*> nameSets;
    for (int i = 0; i < ChildCount(); ++i) {
        if (auto* nameSet = dynamic_cast<TNameSetDBLevel*>(ChildAt(i))) {
            nameSets.push_back(nameSet);
        }
    }
    return nameSets;
}

const std::vector<common::RootGroup>& TProgDBLevel::GroupTable(int slot) const {
    static const std::vector<common::RootGroup> kNone;
    if (slot < 1 || slot > common::kExpertSystemSlots) {
        return kNone;
    }
    return groups_[static_cast<std::size_t>(slot)];
}

std::optional<TProgDBLevel::GroupMatch> TProgDBLevel::FindGroup(int slot,
                                                                std::string_view fileNameOrCode) const {
    const std::string code = common::UpperCase(common::Utf8Prefix(fileNameOrCode, 2));
    if (code.empty()) {
        return std::nullopt;
    }
    const std::vector<common::RootGroup>& table = GroupTable(slot);
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].code == code) {
            return GroupMatch{static_cast<int>(i) + 1, (table[i].flags & 1) != 0, (table[i].flags & 2) != 0};
        }
    }
    return std::nullopt;
}

TProgDBLevel::GroupMatch TProgDBLevel::GroupFlags(int slot, std::string_view fileName) const {
    return FindGroup(slot, fileName).value_or(GroupMatch{});
}

}  // namespace velmar::archive
