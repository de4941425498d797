#include "archive/KindSupport.hpp"

#include <algorithm>
#include <ctime>
#include <system_error>

#include "archive/ArchiveDialogs.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/DayCount.hpp"
#include "common/Paths.hpp"
#include "common/ProgramContext.hpp"
#include "common/StringTable.hpp"
#include "common/UiPort.hpp"

namespace velmar::archive::kinds {

namespace fs = std::filesystem;

std::optional<fs::path> FindFileNoCase(const fs::path& directory, std::string_view name) {
    std::optional<fs::path> found = common::FindEntryNoCase(directory, name);
    std::error_code ec;
    if (!found || !fs::is_regular_file(*found, ec)) {
        return std::nullopt;
    }
    return found;
}

UnitFile ReadUnitFile(const fs::path& directory, std::string_view infName) {
    std::optional<fs::path> inf = FindFileNoCase(directory, infName);
    if (!inf) {
        throw EFailOpenFile(common::LoadText(kTextNoFile));
    }
    UnitFile unit{directory, *inf, common::IniFile(*inf), {}, 0, false};
    if (!unit.ini.Loaded()) {
        throw EFailOpenFile(common::LoadText(kTextNoFile));
    }
    unit.name = unit.ini.ReadString("Main", "Name", "?");
    if (unit.name == "?") {
        throw EFailOpenFile(common::LoadText(kTextNoName));
    }
    unit.moment = ReadIniMoment(unit.ini);
    unit.readOnly = common::IsReadOnly(*inf);
    return unit;
}

double ReadIniMoment(const common::IniFile& ini) {
    const std::optional<double> date = common::ParseIniDate(ini.ReadString("Main", "Date", ""));
    if (!date) {
        return 0;
    }
    return *date + common::ParseIniTime(ini.ReadString("Main", "Time", "")).value_or(0.0);
}

double NowDayCount() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return common::EncodeDayCount(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                  local.tm_min, std::min(local.tm_sec, 59));
}

std::string SlotSection(const ArchiveContext& context, int slot) {
    if (context.program == nullptr) {
        return {};
    }
    return context.program->registry.Entry(slot).section;
}

TProgDBLevel* RootOf(const TDBLevel& node) {
    const TDBLevel* top = &node;
    while (top->Parent() != nullptr) {
        top = top->Parent();
    }
    return dynamic_cast<TProgDBLevel*>(const_cast<TDBLevel*>(top));
}

IArchiveDialogs* DialogsOf(const TDBLevel& node) {
    TProgDBLevel* root = RootOf(node);
    return root != nullptr ? root->Dialogs() : nullptr;
}

void ShowError(const ArchiveContext& context, const std::string& text) {
    if (context.ui != nullptr) {
        context.ui->MessageDialog(text, common::DialogType::Error, common::kButtonOk);
    }
}

bool Confirm(const ArchiveContext& context, const std::string& text) {
    if (context.ui == nullptr) {
        return false;
    }
    return context.ui->MessageDialog(text, common::DialogType::Confirmation,
                                     common::kButtonYes | common::kButtonNo) == common::kResultYes;
}

RefreshCode RunWindowCommand(TDBLevel& node, int command) {
    IArchiveDialogs* dialogs = DialogsOf(node);
    return dialogs != nullptr ? dialogs->RunWindowCommand(node, command) : RefreshCode::None;
}

}  // namespace velmar::archive::kinds
