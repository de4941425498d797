#pragma once
// Which of a node's commands the archive browser offers, and on which of its six buttons. An installation
// switches single commands off in MAIN.INI [ProgramFunctions] ("Enabled61=0"); the browser shows what is
// left. No widgets here: the browser applies the plan to its buttons and menus.

#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "archive/DBLevel.hpp"

namespace velmar::common {
class IniFile;
}

namespace velmar::ui {

// The menu items of a window, addressed by command number.
class ICommandItems {
  public:
    virtual ~ICommandItems() = default;
    // Makes the items of that command visible with that caption, bound to the window's command handler.
    virtual void ShowCommand(int command, const std::string& caption) = 0;
    // Makes the items of that command the default (bold) ones.
    virtual void MarkDefaultCommand(int command) = 0;
};

class TMenuManager {
  public:
    static constexpr int kCommandCount = 256;

    // Every command enabled.
    TMenuManager();

    // Key "Enabled" + number (0 .. 255) of section ProgramFunctions switches that command off when it reads
    // false; a missing or unreadable key leaves it on.
    void ReadSwitches(const common::IniFile& mainIni);

    // False for numbers outside 0 .. 255: such commands are never shown.
    bool IsCommandEnabled(int command) const;
    void SetCommandEnabled(int command, bool enabled);

    // Shows the command on `items` when it is enabled.
    void SetCommand(ICommandItems& items, int command, const std::string& caption) const;
    void SetDefaultCommand(ICommandItems& items, int command) const;

    // The commands of `menu` that may be shown, ascending by number.
    std::vector<archive::MenuCommand> VisibleCommands(const archive::CommandMenu& menu) const;

  private:
    std::bitset<kCommandCount> enabled_;
};

// The six command buttons of the browser, left to right.
enum class BrowserButton { Edit = 0, New, Delete, View, ReadDac, Diag };
inline constexpr int kBrowserButtonCount = 6;

struct BrowserButtonInfo {
    BrowserButton button;
    const char* objectName;  // "SpeedButtonEdit"
    const char* menuName;    // "EditPopupMenu"
    int firstCommand;
    int lastCommand;
    int hintId;
    const char* iconKey;
};

inline constexpr std::array<BrowserButtonInfo, kBrowserButtonCount> kBrowserButtons = {{
    {BrowserButton::Edit, "SpeedButtonEdit", "EditPopupMenu", 1, 14, 205, "TB_EDIT"},
    {BrowserButton::New, "SpeedButtonNew", "NewPopupMenu", 21, 33, 206, "TB_NEW"},
    {BrowserButton::Delete, "SpeedButtonDelete", "DeletePopupMenu", 41, 54, 207, "TB_DELETE"},
    {BrowserButton::View, "SpeedButtonView", "ViewPopupMenu", 61, 77, 208, "TB_VIEW"},
    {BrowserButton::ReadDac, "SpeedButtonReadDAC", "ReadDACPopupMenu", 81, 89, 209, "TB_READDAC"},
    {BrowserButton::Diag, "SpeedButtonDiag", "DiagPopupMenu", 101, 111, 210, "TB_DIAG"},
}};

// The button whose menu holds `command`; none for commands outside the six ranges (they live in the tree's
// pop-up menu only).
const BrowserButtonInfo* ButtonOfCommand(int command);

// What one button shows for the selected node.
struct ButtonPlan {
    bool enabled = false;
    int command = 0;        // run by a click: the first item of its menu
    std::string hint;       // that item's caption; the button's own hint when it has none
    bool dropDown = false;  // a menu arrow, for two items or more
    std::vector<archive::MenuCommand> items;
};

// Spreads the visible commands (ascending) over the buttons.
std::array<ButtonPlan, kBrowserButtonCount> PlanBrowserButtons(
    const std::vector<archive::MenuCommand>& visible);

// Commands that the browser runs as "delete the selected node" instead of handing them to the node.
bool IsBrowserDeleteCommand(int command);
inline constexpr int kCommandOpen = 0;
inline constexpr int kCommandViewSignals = 61;

}  // namespace velmar::ui
