#include "archive/AgregatDBLevel.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "archive/ArchiveDialogs.hpp"
#include "archive/AttachedFileNodes.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "archive/ZamerDBLevel.hpp"
#include "common/Codepage.hpp"
#include "common/DayCount.hpp"
#include "common/Paths.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextNameLabel = 102;
constexpr int kTextNoPrograms = 118;
constexpr int kTextNoPassport = 119;
constexpr int kTextMarker = 126;
constexpr int kTextPoint = 127;
constexpr int kTextFirstDirection = 128;  // 128 .. 130: vertical, transverse, axial
constexpr int kTextMarkerShort = 131;
constexpr int kTextFirstDirectionShort = 132;  // 132 .. 134
constexpr int kTextBalancing = 137;
constexpr int kTextDelete = 139;
constexpr int kTextRename = 140;
constexpr int kTextEditPassport = 141;
constexpr int kTextImport = 142;
constexpr int kTextExpertOrdyn = 143;
constexpr int kTextViewSignals = 110;
constexpr int kTextWaterfall = 185;
constexpr int kTextLongNote = 189;
constexpr int kTextDeleteAll = 191;
constexpr int kTextDeleteAllMeasurements = 195;

constexpr int kCommandRename = 4;
constexpr int kCommandEditPassport = 6;
constexpr int kCommandLongNote = 12;
constexpr int kCommandBalancing = 28;
constexpr int kCommandDelete = 44;
constexpr int kCommandDeleteAll = 52;
constexpr int kCommandDeleteAllMeasurements = 53;
constexpr int kCommandViewSignals = 61;
constexpr int kCommandWaterfall = 73;
constexpr int kCommandImport = 86;
constexpr int kCommandExpertOrdyn = 102;

constexpr const char* kDefaultDateLastRepair = "01.01.97";

bool IsMeasurement(const TDBLevel& node) {
    return node.GetLevelNumber() == kLevelMeasurement && node.GetLevelKind() == kLevelKindPlain;
}

// What common::GlobNoCase(dir, pattern, EntryType::File) gives for each of the patterns, from one pass over
// the directory: a machine may hold thousands of measurements, and a second pass for its run-up files was a
// noticeable part of expanding it.
template <std::size_t N>
std::array<std::vector<fs::path>, N> GlobFilesNoCase(const fs::path& dir,
                                                     const std::array<std::string_view, N>& patterns) {
    struct Found {
        std::string key;
        std::string name;
        fs::path path;
    };
    std::array<std::vector<Found>, N> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::optional<bool> regular;
        for (std::size_t i = 0; i < N; ++i) {
            if (!common::MatchesGlobNoCase(name, patterns[i])) {
                continue;
            }
            if (!regular) {
                std::error_code typeError;
                regular = it->is_regular_file(typeError);  // a link counts as what it points to
            }
            if (*regular) {
                found[i].push_back({common::UpperCase(name), name, it->path()});
            }
        }
    }
    std::array<std::vector<fs::path>, N> paths;
    for (std::size_t i = 0; i < N; ++i) {
        std::sort(found[i].begin(), found[i].end(), [](const Found& a, const Found& b) {
            return a.key != b.key ? a.key < b.key : a.name < b.name;
        });
        paths[i].reserve(found[i].size());
        for (Found& f : found[i]) {
            paths[i].push_back(std::move(f.path));
        }
    }
    return paths;
}

}  // namespace

TAgregatDBLevel::TAgregatDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& directory)
    : TAgregatDBLevel(context, parent, kinds::ReadUnitFile(directory, kinds::kMachineInf)) {}

TAgregatDBLevel::TAgregatDBLevel(ArchiveContext& context, TDBLevel* parent, kinds::UnitFile unit)
    : TFileDBLevel(context, parent, unit.directory, unit.name), infPath_(unit.infPath) {
    SetDateTime(unit.moment);
    SetReadOnly(unit.readOnly);
    SetEnabled(!unit.readOnly);
    SetLevel(kLevelMachine, kLevelKindMachine);
    SetIconKey("AGR");
    SetFlags(kMachineFlags);
    bool noPassport = unit.directory.filename() == "_";

    int passportSlot = 0;
    std::string passportFile;
    for (int slot = 1; slot <= common::kExpertSystemSlots && passportSlot == 0; ++slot) {
        const std::string section = kinds::SlotSection(context, slot);
        if (!HasProgram(slot) || section.empty()) {
            continue;
        }
        passportFile = unit.ini.ReadString(section, "Psp", "");
        if (!passportFile.empty()) {
            passportSlot = slot;
        }
    }
    if (passportSlot == 0) {
        throw EFailOpenFile(common::LoadText(kTextNoPrograms));
    }
    TProgDBLevel* root = kinds::RootOf(*this);
    passport_ = root != nullptr ? root->FindPassport(passportFile) : nullptr;
    if (passport_ == nullptr) {
        throw EFailOpenFile(common::LoadText(kTextNoPassport));
    }
    noPassport = noPassport || passport_->NoPassport();
    SetInheritedByte(noPassport ? 1 : 0);
    passportPoints_ = passport_->PointCount();
    const std::string passportSection = kinds::SlotSection(context, passportSlot);
    // The state as last written; the measurements decide it once they are read.
    TFileDBLevel::SetState(static_cast<std::int32_t>(unit.ini.ReadInteger(passportSection, "Svet", 0)));
    dateLastRepair_ = common::ParseIniDate(unit.ini.ReadString("Main", "DateLastRem", kDefaultDateLastRepair))
                          .value_or(0.0);

    common::ProgramSet programs = Programs();
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        const std::string section = kinds::SlotSection(context, slot);
        if (programs.test(static_cast<std::size_t>(slot)) && !section.empty() &&
            unit.ini.ReadInteger(section, "Enabled", 1) == 0) {
            programs.reset(static_cast<std::size_t>(slot));
        }
    }
    SetPrograms(programs);
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        const std::string section = kinds::SlotSection(context, slot);
        if (!HasProgram(slot) || section.empty()) {
            continue;
        }
        const std::string names = unit.ini.ReadString(section, "Names", "");
        if (!names.empty()) {
            nameSetFile_ = common::Utf8Prefix(names, 60);
            nameSet_ = root->FindNameSet(nameSetFile_);
            break;
        }
    }
}

// ---- Children and state
// ------------------------------------------------------------------------------------

void TAgregatDBLevel::LoadChildren() {
    TFileDBLevel::LoadChildren();
    ArchiveContext& context = Context();
    auto [measurementFiles, runUpFiles] =
        GlobFilesNoCase<2>(GetPath(), {std::string_view("M*.*"), std::string_view("*.VIB")});
    std::vector<NodePtr> measurements;
    measurements.reserve(measurementFiles.size());
    for (fs::path& file : measurementFiles) {
        try {
            measurements.push_back(MakeNode<TZamerDBLevel>(context, this, std::move(file)));
        } catch (const std::runtime_error&) {
            // Not a measurement file, or one that cannot be read: left out.
        }
    }
    // The list keeps its order by inserting each node behind everything not later than it; handing the
    // nodes over latest first (ties in file order) gives the same order without walking the whole list for
    // each of a thousand measurements.
    std::stable_sort(measurements.begin(), measurements.end(), [](const NodePtr& a, const NodePtr& b) {
        return b->Compare(a.get()) == CompareResult::Less;
    });
    for (NodePtr& measurement : measurements) {
        AddChild(std::move(measurement));
    }
    RecomputeState();
    for (const fs::path& file : runUpFiles) {
        kinds::AddChildSkippingFailures(*this, [&] { return CreateRunUpNode(*this, file); });
    }
}

void TAgregatDBLevel::RecomputeState() {
    std::int32_t state = kStateGreen;
    for (int i = 0; i < ChildCount(); ++i) {
        const TDBLevel* child = ChildAt(i);
        if (child != nullptr && IsMeasurement(*child) && child->GetState() >= 0) {
            state = child->GetState();
        }
    }
    SetState(state);
}

void TAgregatDBLevel::SetState(std::int32_t state) {
    state = std::max(state, kStateGreen);
    if (state == GetState()) {
        // Nothing to write: expanding a machine must not rewrite its file every time.
        return;
    }
    TFileDBLevel::SetState(state);
    const TProgDBLevel* root = kinds::RootOf(*this);
    if (IsReadOnly() || (root != nullptr && !root->StatesWritten())) {
        return;
    }
    WriteInf([&](common::IniFile& ini) {
        for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
            const std::string section = kinds::SlotSection(Context(), slot);
            if (!section.empty() && ini.ReadInteger(section, "Enabled", 0) == 1) {
                ini.WriteInteger(section, "Svet", state);
            }
        }
    });
}

bool TAgregatDBLevel::WriteInf(const std::function<void(common::IniFile&)>& change) {
    if (IsReadOnly() || common::IsReadOnly(infPath_)) {
        return false;
    }
    try {
        common::IniFile ini(infPath_);
        if (!ini.Loaded()) {
            return false;
        }
        change(ini);
        if (ini.Modified()) {
            ini.UpdateFile();
        }
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

DeleteResult TAgregatDBLevel::DeleteChild(TDBLevel& child) {
    const bool measurement = IsMeasurement(child);
    const DeleteResult result = TFileDBLevel::DeleteChild(child);
    if (result == DeleteResult::Deleted && measurement) {
        RecomputeState();
    }
    return result;
}

int TAgregatDBLevel::DeleteChildren(bool measurementsOnly) {
    EnsureChildren();
    std::vector<TDBLevel*> doomed;
    for (int i = 0; i < ChildCount(); ++i) {
        TDBLevel* child = ChildAt(i);
        if (child == nullptr) {
            continue;
        }
        const int kind = child->GetLevelKind();
        const bool take = measurementsOnly ? kind == kLevelKindPlain
                                           : kind >= 0 && kind <= 15 && ((ChildFilter() >> kind) & 1u) != 0;
        if (take) {
            doomed.push_back(child);
        }
    }
    int kept = 0;
    for (TDBLevel* child : doomed) {
        if (DeleteChild(*child) != DeleteResult::Deleted) {
            ++kept;
        }
    }
    return kept;
}

bool TAgregatDBLevel::DeleteStorage() {
    return DeleteDirectoryTree();
}

void TAgregatDBLevel::UpdateMark() {
    TFileDBLevel::UpdateMark();
    std::error_code ec;
    for (fs::directory_iterator it(GetPath(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if ((common::MatchesGlobNoCase(name, "M*.*") || common::MatchesGlobNoCase(name, "*.VIB") ||
             common::MatchesGlobNoCase(name, "R*.*")) &&
            it->is_regular_file(ec)) {
            SetBusy(true);
            return;
        }
    }
}

// ---- Commands
// ------------------------------------------------------------------------------------------------

void TAgregatDBLevel::FillCommandMenu(CommandMenu& menu) {
    TFileDBLevel::FillCommandMenu(menu);
    const bool usable = IsEnabled() && !IsReadOnly();
    if (usable && HasProgram(4)) {
        menu.SetCommand(kCommandBalancing, common::LoadText(kTextBalancing));
    }
    if (usable) {
        menu.SetCommand(
            kCommandDelete,
            common::FormatText(kTextDelete, {LevelWord(kLevelMachine, common::kAccusative, true, false)}));
        menu.SetCommand(
            kCommandRename,
            common::FormatText(kTextRename, {LevelWord(kLevelMachine, common::kGenitive, true, false)}));
        if (HasProgram(1) && passport_ != nullptr && passport_->IsEnabled()) {
            menu.SetCommand(kCommandEditPassport, common::LoadText(kTextEditPassport));
        }
        menu.SetCommand(kCommandImport, common::LoadText(kTextImport));
        UpdateMark();
        if (IsBusy()) {
            menu.SetCommand(kCommandDeleteAll, common::LoadText(kTextDeleteAll));
            menu.SetCommand(kCommandDeleteAllMeasurements, common::LoadText(kTextDeleteAllMeasurements));
        }
        menu.SetCommand(kCommandLongNote, common::LoadText(kTextLongNote));
    }
    menu.SetCommand(kCommandViewSignals, common::LoadText(kTextViewSignals));
    menu.SetCommand(kCommandWaterfall, common::LoadText(kTextWaterfall));
    if (HasProgram(4)) {
        menu.SetCommand(kCommandExpertOrdyn, common::LoadText(kTextExpertOrdyn));
    }
}

RefreshCode TAgregatDBLevel::ExecuteCommand(int& command) {
    const bool usable = IsEnabled() && !IsReadOnly();
    switch (command) {
        case kCommandDeleteAll:
        case kCommandDeleteAllMeasurements: {
            EnsureChildren();
            if (!usable) {
                return RefreshCode::None;
            }
            const int text = command == kCommandDeleteAll ? kTextDeleteAll : kTextDeleteAllMeasurements;
            if (!kinds::Confirm(Context(), common::LoadText(text) + " ?")) {
                return RefreshCode::None;
            }
            if (DeleteChildren(command == kCommandDeleteAllMeasurements) > 0) {
                // Read-only measurements stay; say why they are still there.
                kinds::ShowError(Context(), common::LoadText(kinds::kTextCantWriteReadOnly));
            }
            return RefreshCode::Children;
        }
        case kCommandEditPassport:
        case kCommandLongNote:
        case kCommandImport:
            EnsureChildren();
            return usable ? kinds::RunWindowCommand(*this, command) : RefreshCode::None;
        case kCommandWaterfall:
            EnsureChildren();
            return kinds::RunWindowCommand(*this, command);
        case kCommandBalancing:
        case kCommandExpertOrdyn:
            // Handled by the expert-system module of slot 4 where one is installed.
            EnsureChildren();
            return RefreshCode::None;
        default:
            return TFileDBLevel::ExecuteCommand(command);
    }
}

std::string TAgregatDBLevel::GetPromptText(int prompt) const {
    if (prompt == kPromptRename) {
        return common::FormatText(kTextNameLabel, {LevelWord(kLevelMachine, common::kGenitive, true, false)});
    }
    if (prompt == kPromptDelete) {
        return common::FormatText(kTextDelete, {LevelWord(kLevelMachine, common::kAccusative, true, false)}) +
               " \"" + GetName() + "\" ?";
    }
    return TFileDBLevel::GetPromptText(prompt);
}

RenameResult TAgregatDBLevel::Rename() {
    if (IsReadOnly()) {
        kinds::ShowError(Context(), common::LoadText(kinds::kTextCantWriteReadOnly));
        return RenameResult::NotRenamed;
    }
    return TFileDBLevel::Rename();
}

bool TAgregatDBLevel::StoreName(const std::string& name) {
    if (IsReadOnly() || common::IsReadOnly(infPath_)) {
        kinds::ShowError(Context(), common::LoadText(kinds::kTextCantWriteReadOnly));
        return false;
    }
    if (!IsAcceptableName(name)) {
        return false;
    }
    if (!WriteInf([&](common::IniFile& ini) { ini.WriteString("Main", "Name", name); })) {
        kinds::ShowError(Context(), common::LoadText(kinds::kTextNoFile));
        return false;
    }
    return true;
}

bool TAgregatDBLevel::ShowExpertSystemInfo() {
    IArchiveDialogs* dialogs = kinds::DialogsOf(*this);
    return dialogs != nullptr ? dialogs->ShowInfo(*this, 2) : true;
}

std::string TAgregatDBLevel::GetLevelName(int levelNumber) const {
    if (levelNumber == 0 || levelNumber == 1 || levelNumber == kLevelMachine) {
        return GetName();
    }
    return Parent() != nullptr ? Parent()->GetLevelName(levelNumber) : std::string();
}

// ---- Passport --------------------------------------------------------------------------------------------

std::string TAgregatDBLevel::GetPassportFileName() const {
    return passport_ != nullptr ? passport_->GetPath().filename().string() : std::string();
}

bool TAgregatDBLevel::GetPassport(PassportRecord& record) const {
    record.fill(0);
    return passport_ != nullptr && passport_->GetPassport(record);
}

double TAgregatDBLevel::GetMachineValue() const {
    return dateLastRepair_;
}

void TAgregatDBLevel::SetMachineValues(int first, int) {
    const double date = first;
    if (WriteInf([&](common::IniFile& ini) {
            ini.WriteString("Main", "DateLastRem", common::FormatIniDate(date));
        })) {
        dateLastRepair_ = date;
    }
}

// ---- Points and channels
// ---------------------------------------------------------------------------------------

int TAgregatDBLevel::PointCount() const {
    if (nameSet_ != nullptr) {
        return std::min(passportPoints_, nameSet_->PointCount());
    }
    return std::clamp(passportPoints_, 0, kMaxFixedPoints);
}

int TAgregatDBLevel::DirectionCount() const {
    return nameSet_ != nullptr ? nameSet_->DirectionCount() : kFixedDirections;
}

int TAgregatDBLevel::GetChannelCount() const {
    if (nameSet_ != nullptr) {
        return std::min(kFixedDirections * passportPoints_, nameSet_->GetChannelCount());
    }
    return kFixedDirections * PointCount();
}

bool TAgregatDBLevel::ChannelToPointDirection(int channel, int& point, int& direction) const {
    if (nameSet_ != nullptr) {
        return channel >= 1 && channel <= GetChannelCount() &&
               nameSet_->ChannelToPointDirection(channel, point, direction);
    }
    if (channel < 1 || channel > kMaxFixedChannels) {
        return false;
    }
    point = (channel - 1) / kFixedDirections + 1;
    direction = (channel - 1) % kFixedDirections + 1;
    return true;
}

int TAgregatDBLevel::GetChannelNumber(int point, int direction) const {
    if (nameSet_ != nullptr) {
        const int channel = nameSet_->GetChannelNumber(point, direction);
        return channel <= GetChannelCount() ? channel : 0;
    }
    if (point <= 0 || point > kMaxFixedPoints || direction < 1 || direction > kFixedDirections) {
        return 0;
    }
    return kFixedDirections * point + direction - kFixedDirections;
}

bool TAgregatDBLevel::GetChannelInfo(int channel, ChannelInfo& info) const {
    if (channel < 1 || channel > GetChannelCount()) {
        return false;
    }
    if (nameSet_ != nullptr) {
        return nameSet_->GetChannelInfo(channel, info);
    }
    int point = 0;
    int direction = 0;
    if (!ChannelToPointDirection(channel, point, direction)) {
        return false;
    }
    info = ChannelInfo{FixedName(point, direction, 13),
                       common::Utf8Prefix(FixedName(point, direction, 14), 6), false, point, direction};
    return true;
}

bool TAgregatDBLevel::GetPointInfo(int point, int direction, ChannelInfo& info) const {
    // Channels of their own (point 0) exist only in name sets.
    if (point < (nameSet_ != nullptr ? 0 : 1) || point > PointCount()) {
        return false;
    }
    if (nameSet_ != nullptr) {
        const int channel = GetChannelNumber(point, direction);
        return channel != 0 && nameSet_->GetChannelInfo(channel, info);
    }
    if (direction == -1) {
        info = ChannelInfo{FixedName(point, -1, 9), std::to_string(point), true, point, -1};
        return true;
    }
    return GetChannelInfo(GetChannelNumber(point, direction), info);
}

std::string TAgregatDBLevel::GetChannelName(int channel, int namePart) const {
    if (channel == 0) {
        return common::LoadText(kTextMarker);
    }
    int point = 0;
    int direction = 0;
    if (channel < 0 || channel > GetChannelCount() || !ChannelToPointDirection(channel, point, direction)) {
        return {};
    }
    return GetPointDirectionName(point, direction, namePart);
}

std::string TAgregatDBLevel::GetPointDirectionName(int point, int direction, int namePart) const {
    if (point < 0 || point > PointCount() || direction < -1 || direction > DirectionCount()) {
        return {};
    }
    if (nameSet_ != nullptr) {
        std::string name = nameSet_->GetPointDirectionName(point, direction, namePart);
        if (!name.empty()) {
            return name;
        }
    }
    return FixedName(point, direction, namePart);
}

std::string TAgregatDBLevel::FixedName(int point, int direction, int namePart) const {
    const std::string number = std::to_string(point);
    switch (namePart) {
        case 0:
        case 1:
        case 7:
            return GetName();
        case 9:
            return point == 0 ? std::string() : common::FormatText(kTextPoint, {number});
        case 10:
            return number;
        case 11:
        case 13:
            if (direction == 0) {
                std::string marker(1, ' ');
                marker += common::LoadText(kTextMarker);
                return marker;
            }
            if (direction >= 1 && direction <= kFixedDirections) {
                return common::FormatText(kTextFirstDirection + direction - 1,
                                          {namePart == 13 ? number : std::string()});
            }
            return {};
        case 12:
        case 14:
            if (direction == 0) {
                return common::LoadText(kTextMarkerShort);
            }
            if (direction >= 1 && direction <= kFixedDirections) {
                return common::FormatText(kTextFirstDirectionShort + direction - 1,
                                          {namePart == 14 ? number : std::string()});
            }
            return {};
        default:
            return {};
    }
}

}  // namespace velmar::archive
