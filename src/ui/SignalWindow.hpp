#pragma once
// The seam between the main window and the signal windows. A signal window is a child window of the main
// window whose widget implements ISignalWindow; the main window creates it through a factory, drives it
// with the toolbar, keys and arrangement commands, and follows what it shows for the toolbar's enabling.
// The signal window talks back through ISignalWindowHost.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <Qt>

#include "archive/DBLevel.hpp"
#include "archive/TransformParams.hpp"

class QWidget;

namespace velmar::common {
class UiPort;
}

namespace velmar::ui {

struct FrameSettings;

// What the toolbar and the status panel need to know of a signal window.
struct SignalWindowStatus {
    bool hasData = false;
    bool decimated = false;
    std::uint32_t kind = 0;          // kind of the displayed data
    std::array<bool, 9> switches{};  // down states of the switch commands 5 .. 13
    int linkMode = 0;                // 0 none, 1 linked cursors, 2 synchronised cursors
    std::string statusText;          // the names of the shown channel's levels
};

class ISignalWindow {
  public:
    virtual ~ISignalWindow() = default;

    // Opens the node in the window; false when there is nothing to show (the window is then dropped).
    virtual bool OpenNode(archive::TDBLevel& node) = 0;
    virtual archive::TDBLevel* SourceNode() const = 0;
    virtual SignalWindowStatus Status() const = 0;

    // Switch commands 1 .. 13 (with the button's down state) and navigation commands 21 .. 27.
    virtual void RunCommand(int command, bool down) = 0;

    // Takes over the view (ranges, switches, cursors) of another window; windows synchronised.
    virtual void CopyViewFrom(ISignalWindow& other) {}
    // Widens the window's data range to a range shared by compatible windows (scale synchronisation).
    virtual void SynchroniseScales() {}
    virtual void SetLinkMode(int mode, ISignalWindow& active) {}
    // Tells the linked windows where the cursor stands, so that they follow.
    virtual void AnnounceCursor() {}
    // Rebuilds the display columns after a size change held back by HoldColumns.
    virtual void RebuildColumns() {}
    // Recomputes display factors and ranges after the amplitude settings changed.
    virtual void ViewSettingsChanged() {}
    // Shifts the visible X range (windows synchronised).
    virtual void ShiftView(double shift) {}

    // The transform record of the window and its application (the transform control form).
    virtual bool ApplyParams(archive::TransformParams& params) { return false; }
    virtual archive::TransformParams Params() const { return {}; }
    // The time range between the cursors, seconds; 0, 0 without one.
    virtual std::pair<double, double> TimeRange() const { return {0.0, 0.0}; }

    virtual void StartPlayback() {}
    virtual void StopPlayback() {}
};

class ISignalWindowHost {
  public:
    virtual ~ISignalWindowHost() = default;

    // A signal window tells that what the toolbar shows for it changed (data, kind, decimation, switches).
    virtual void SignalWindowChanged(ISignalWindow& window) = 0;
    // Keys a signal window does not use itself go to the main window's key handler; true when handled. The
    // mouse wheel over a signal window comes as the numeric pad's plus (up) or minus (down).
    virtual bool HandleFrameKey(int key, Qt::KeyboardModifiers modifiers) = 0;
    // While updates are held a signal window does not paint; while columns are held it does not rebuild them.
    virtual bool UpdatesHeld() const = 0;
    virtual bool ColumnsHeld() const = 0;
    // Set when the main window closes: windows destroyed afterwards do not release their levels.
    virtual bool ShuttingDown() const = 0;
    virtual const FrameSettings& Settings() const = 0;
    // The user's answers (messages of the windows).
    virtual common::UiPort& Ui() = 0;
    // Every open signal window, in the order they were opened.
    virtual std::vector<ISignalWindow*> SignalWindows() const = 0;
    // Middle-button drag: every window shifts while windows are synchronised, else only `window`.
    virtual void ShiftViews(ISignalWindow& window, double shift) = 0;
};

// Makes the widget of a new signal window (it must implement ISignalWindow).
using SignalWindowFactory = std::function<QWidget*(ISignalWindowHost& host)>;

}  // namespace velmar::ui
