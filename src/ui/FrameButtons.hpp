#pragma once
// The main window's toolbar as data: every button with its place, hint, key, command and the rule that
// decides when it can be pressed. The rules follow the active signal window only, so they are a plain
// function of what that window shows.

#include <array>
#include <bitset>
#include <cstdint>

namespace velmar::ui {

enum class FrameButton : int {
    Exit,
    Print,
    Help,
    Search,
    Tile,
    Cascade,
    CloseAll,
    ShowTree,
    ShowControl,
    GarmDialog,
    Faza,
    LinkAll,
    Sinhro,
    UnLink,
    SinhroWindows,
    Alone,
    Avg,
    UpDown,
    Home,
    PgUp,
    Left,
    Right,
    PgDown,
    End,
    ScaleXMore,
    ScaleXLess,
    ScaleYMore,
    ScaleYLess,
    CenterMax,
    GarmOn,
    PowerOn,
    FillPower,
    LogX,
    LogY,
    PlaySound,
    StopSound,
};
inline constexpr int kFrameButtonCount = 36;

enum class EnableRule {
    Always,
    WindowActive,                 // a signal window is active
    HasData,                      // the active signal window shows data
    Decimated,                    // ... and draws fewer columns than it has points
    FrequencyKind,                // ... of a frequency-domain kind
    HarmonicsKind,                // ... of kind 64
    FrequencyOrCepstrum,          // ... frequency-domain or kind 128
    FrequencyCepstrumOrEnvelope,  // ... frequency-domain, kind 128 or kind 512
    TimeKind,                     // ... of a time-domain kind
};

// What happens on a click besides the window command.
enum class FrameAction {
    None,  // switch (1 .. 13) and navigation (21 .. 27) commands go to the windows
    Exit,
    Print,
    HelpContents,
    HelpSearch,
    Tile,
    Cascade,
    CloseAll,
    ShowTree,
    ShowControl,
    ShowHarmonics,
    LinkMode,  // link mode in `command`
    SinhroWindows,
    PlaySound,
    StopSound,
};

struct FrameButtonInfo {
    FrameButton id;
    const char* objectName;
    int row;         // 1 or 2
    bool leftBlock;  // the block of 247 pixels at the left of row 1
    int hintId;
    const char* keySuffix;  // appended to the hint, "" for none
    FrameAction action;
    int command;  // window command (1 .. 13, 21 .. 27) or the link mode
    bool checkable;
    EnableRule rule;
    const char* icon;  // icon key of the icon store
};

// In screen order.
extern const std::array<FrameButtonInfo, kFrameButtonCount> kFrameButtons;

const FrameButtonInfo& InfoOf(FrameButton button);

// The active child window as far as the toolbar cares.
struct ActiveWindowState {
    bool signalWindowActive = false;
    bool hasData = false;
    bool decimated = false;
    std::uint32_t kind = 0;  // kind of the displayed data; 0 without data
};

using FrameButtonSet = std::bitset<kFrameButtonCount>;

bool RuleAllows(EnableRule rule, const ActiveWindowState& state);
FrameButtonSet EnabledButtons(const ActiveWindowState& state);

inline bool Has(const FrameButtonSet& set, FrameButton button) {
    return set.test(static_cast<std::size_t>(button));
}

// The three display-mode buttons (single value, average, minimum-maximum) after a click on `clicked`
// (0 .. 2) that left them as `down`: when none is down any more, the clicked one goes down again.
std::array<bool, 3> DisplayModeAfterClick(std::array<bool, 3> down, int clicked);

// The main window's menu items whose enabling follows the toolbar.
struct MenuEnabling {
    bool print = false;
    bool tile = false;
    bool cascade = false;
    bool control = false;
    bool harmonics = false;
};
MenuEnabling MenuItemsEnabled(const ActiveWindowState& state);

}  // namespace velmar::ui
