#include "archive/ProgStanDBLevel.hpp"

#include <system_error>

#include "archive/FailOpenFile.hpp"
#include "archive/KindSupport.hpp"
#include "archive/StantionDBLevel.hpp"
#include "common/AtomicFile.hpp"
#include "common/Codepage.hpp"
#include "common/DayCount.hpp"
#include "common/IniFile.hpp"
#include "common/Paths.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextCreateCaption = 101;
constexpr int kTextNameLabel = 102;
constexpr int kTextDirectoryLabel = 103;
constexpr int kTextDirectoryExists = 104;
constexpr int kTextNameExists = 105;
constexpr int kTextNameEmpty = 9418;
constexpr int kTextDirectoryEmpty = 9419;
// "Недопустимое имя директория !"
constexpr int kTextBadDirectoryName = 120;

bool HasControlCharacter(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

TProgStanDBLevel::TProgStanDBLevel(ArchiveContext& context, TDBLevel* parent, fs::path path,
                                   std::string_view name, int stationDepth)
    : TFileDBLevel(context, parent, std::move(path), name), stationDepth_(stationDepth) {}

std::string TProgStanDBLevel::StationDirPrefix(int levelNumber) {
    switch (levelNumber) {
        case 2:
            return "_STAN";
        case 3:
            return "_CEH";
        case 4:
            return "_PODR";
        case 5:
            return "_UCH";
        case 6:
            return "_PLACE";
        default:
            return {};
    }
}

bool TProgStanDBLevel::CanCreateStation(int levelNumber) const {
    return levelNumber >= kLevelFirstStation && levelNumber <= kLevelLastStation &&
           stationDepth_ < levelNumber && levelNumber <= DeepestStationLevel() && IsEnabled() &&
           !IsReadOnly() && !IsProgramSetEmpty(Programs());
}

CreateResult TProgStanDBLevel::CreateStation(int levelNumber) {
    if (!CanCreateStation(levelNumber)) {
        return CreateResult::NotCreated;
    }
    IArchiveDialogs* dialogs = kinds::DialogsOf(*this);
    if (dialogs == nullptr) {
        return CreateResult::NotCreated;
    }
    const std::string genitive = LevelWord(levelNumber, common::kGenitive, true, false);
    StationDialogRequest request;
    request.level = levelNumber;
    request.caption = common::FormatText(kTextCreateCaption, {genitive});
    request.nameLabel = common::FormatText(kTextNameLabel, {genitive});
    request.directoryLabel = common::FormatText(kTextDirectoryLabel, {genitive});
    request.maxNameLength = MaxTextLength(kPromptName);
    request.proposedDirectory = MakeUniqueDirName(StationDirPrefix(levelNumber));
    StationAnswers offered{LevelWord(levelNumber, common::kNominative, false, false),
                           request.proposedDirectory};
    for (;;) {
        std::optional<StationAnswers> answers = dialogs->AskNewStation(request, offered);
        if (!answers) {
            return CreateResult::NotCreated;
        }
        const NewNodeResult result = CreateStationWith(levelNumber, *answers);
        if (result.status == NewNodeStatus::Created) {
            return CreateResult::Created;
        }
        if (result.status == NewNodeStatus::Failed) {
            return CreateResult::NotCreated;
        }
        offered = std::move(*answers);
    }
}

NewNodeResult TProgStanDBLevel::CreateStationWith(int levelNumber, const StationAnswers& answers) {
    if (!CanCreateStation(levelNumber)) {
        return {NewNodeStatus::Failed, nullptr};
    }
    const std::string name = common::Utf8Prefix(common::TrimSpaces(answers.name), kMaxNameLength);
    // A name that reads back as "no name" would make the new station vanish from the tree.
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
        kinds::ShowError(Context(), common::LoadText(kTextDirectoryExists));
        return {NewNodeStatus::Rejected, nullptr};
    }
    if (clash == Clash::NameExists) {
        kinds::ShowError(Context(), common::LoadText(kTextNameExists));
        return {NewNodeStatus::Rejected, nullptr};
    }

    common::IniFile ini = common::IniFile::FromBytes("", GetPath() / directory / kinds::kStationInf);
    const double now = kinds::NowDayCount();
    ini.WriteString("Main", "Name", name);
    ini.WriteString("Main", "Date", common::FormatIniDate(now));
    ini.WriteString("Main", "Time", common::FormatIniTime(now));
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        const std::string section = kinds::SlotSection(Context(), slot);
        if (HasProgram(slot) && !section.empty()) {
            ini.WriteInteger(section, "Enabled", 1);
        }
    }
    return CreateChildDirectory(directory, kinds::kStationInf, ini.ToBytes(), [this](const fs::path& path) {
        return MakeNode<TStantionDBLevel>(Context(), this, path);
    });
}

std::string TProgStanDBLevel::CheckDirectoryName(std::string_view typed) const {
    std::string name = common::TrimSpaces(typed);
    if (name.empty()) {
        kinds::ShowError(Context(), common::LoadText(kTextDirectoryEmpty));
        return {};
    }
    // Only directories starting with "_" are scanned.
    if (name.front() != '_') {
        name.insert(name.begin(), '_');
    }
    // One name inside this directory: no separator, no way up, nothing a file system or a copy to another
    // system would choke on.
    if (name.find_first_of("/\\") != std::string::npos || name.find("..") != std::string::npos ||
        HasControlCharacter(name) || name.size() > kMaxDirectoryNameLength ||
        !common::IsSafeChildName(name)) {
        kinds::ShowError(Context(), common::LoadText(kTextBadDirectoryName));
        return {};
    }
    return name;
}

bool TProgStanDBLevel::DirectoryEntryExists(std::string_view name) const {
    return common::FindEntryNoCase(GetPath(), name).has_value();
}

NewNodeResult TProgStanDBLevel::CreateChildDirectory(const std::string& directory, const char* infName,
                                                    const std::string& bytes,
                                                    const std::function<NodePtr(const fs::path&)>& read) {
    const fs::path path = GetPath() / directory;
    std::error_code ec;
    if (!fs::create_directory(path, ec) || ec) {
        kinds::ShowError(Context(), common::LoadText(ec ? kinds::kTextNoFile : kTextDirectoryExists));
        return {NewNodeStatus::Failed, nullptr};
    }
    try {
        common::WriteNewFileAtomic(path / infName, bytes);
    } catch (const std::system_error&) {
        // An empty directory left behind would block the name and never be listed.
        fs::remove(path, ec);
        kinds::ShowError(Context(), common::LoadText(kinds::kTextNoFile));
        return {NewNodeStatus::Failed, nullptr};
    }
    NodePtr node;
    try {
        node = read(path);
    } catch (const std::runtime_error& error) {
        fs::remove(path / infName, ec);
        fs::remove(path, ec);
        kinds::ShowError(Context(), error.what());
        return {NewNodeStatus::Failed, nullptr};
    }
    TDBLevel* raw = node.get();
    if (AddChild(std::move(node)) < 0) {
        return {NewNodeStatus::Failed, nullptr};
    }
    return {NewNodeStatus::Created, raw};
}

}  // namespace velmar::archive
