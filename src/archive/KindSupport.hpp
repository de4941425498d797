#pragma once
// Small pieces the archive node kinds share: their INF files, the slot sections of the expert-system
// registry, the user's answers and the dialogs of the root. Not used outside the node kinds.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "archive/ArchiveContext.hpp"
#include "archive/DBLevel.hpp"
#include "common/IniFile.hpp"

namespace velmar::archive {

class IArchiveDialogs;
class TProgDBLevel;

namespace kinds {

inline constexpr const char* kStationInf = "UNIT_D.INF";
inline constexpr const char* kMachineInf = "UNIT_A.INF";

// String-table ids the kinds show.
inline constexpr int kTextNoFile = 106;
inline constexpr int kTextNoName = 107;
inline constexpr int kTextCantWriteReadOnly = 188;
inline constexpr int kTextReadError = 702;

// A station's or machine's INF file as read when its node is created.
struct UnitFile {
    std::filesystem::path directory;
    std::filesystem::path infPath;  // real spelling on disk
    common::IniFile ini;
    std::string name;
    double moment = 0;  // Main Date and Time; 0 when there is no date
    bool readOnly = false;
};

// Reads `infName` (any case) in `directory`. Raises EFailOpenFile "Нет файла" when there is none and
// "Нет имени" when the name is missing or "?".
UnitFile ReadUnitFile(const std::filesystem::path& directory, std::string_view infName);

// The entry `name` (any case) of `directory` when it is a regular file.
std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& directory,
                                                    std::string_view name);

// Main Date and Time of an INF file as a day count; 0 when the date is missing or unreadable.
double ReadIniMoment(const common::IniFile& ini);

// Now, local time, as a day count (whole seconds).
double NowDayCount();

// The INF section of expert-system slot 1 .. 20; empty without a registry or a section.
std::string SlotSection(const ArchiveContext& context, int slot);

// The root above `node` (or the node itself), when it is an archive root.
TProgDBLevel* RootOf(const TDBLevel& node);
IArchiveDialogs* DialogsOf(const TDBLevel& node);

// Error and confirmation messages through the context's UiPort (nothing, and "no", without one).
void ShowError(const ArchiveContext& context, const std::string& text);
bool Confirm(const ArchiveContext& context, const std::string& text);

// A window command passed to the user interface; RefreshCode::None without one.
RefreshCode RunWindowCommand(TDBLevel& node, int command);

// Runs `make` and adds the node it gives to `parent`; a node that cannot be read (EFailOpenFile or a file
// system error) is left out. True when a node was added.
template <typename Make>
bool AddChildSkippingFailures(TDBLevel& parent, Make&& make) {
    try {
        NodePtr node = make();
        return node && parent.AddChild(std::move(node)) >= 0;
    } catch (const std::runtime_error&) {
        return false;
    }
}

}  // namespace kinds
}  // namespace velmar::archive
