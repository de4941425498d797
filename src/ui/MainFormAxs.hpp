#pragma once
// The program's frame: a multiple-document window holding the archive browser and the signal windows, the
// two-row toolbar, the menus, the keys and the status panel. It opens the archive at start, holds MAIN.INI
// and the program-wide settings for everybody, and closes everything in order at the end.

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPointer>

#include "analysis/TransformTable.hpp"
#include "common/IniFile.hpp"
#include "ui/FrameButtons.hpp"
#include "ui/FrameSettings.hpp"
#include "ui/MenuManager.hpp"
#include "ui/NestingCounter.hpp"
#include "ui/SelAnythingForm.hpp"
#include "ui/SignalWindow.hpp"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolButton;

namespace velmar::archive {
class ArchiveSession;
class ITransformEngine;
class TProgDBLevel;
}  // namespace velmar::archive

namespace velmar::common {
class UiPort;
struct ProgramContext;
}  // namespace velmar::common

namespace velmar::ui {

class IconStore;
class QtArchiveDialogs;
class QtUiPort;
class TVelmarAboutBox;

class TMainFormAxs;

// What other parts of the program plug into the frame. Empty entries leave their commands disabled.
struct FrameExtensions {
    SignalWindowFactory signalWindows;                     // empty: the program's signal window
    archive::ITransformEngine* transformEngine = nullptr;  // empty: the engine of the shipped table
    std::function<void(TMainFormAxs&)> print;
    std::function<void(TMainFormAxs&)> soundSettings;
    std::function<void(TMainFormAxs&)> controlForm;
    std::function<void(TMainFormAxs&)> harmonicsList;
};

struct MainFormSetup {
    std::filesystem::path baseDir;       // holds INI/MAIN.INI
    std::vector<std::string> arguments;  // the command line without the program name
    common::UiPort* ui = nullptr;        // answers to the user's questions; the program's dialogs when none
    FrameExtensions extensions;
    bool splash = true;  // the about box while the archive opens
};

class TMainFormAxs final : public QMainWindow, public IBrowserHost, public ISignalWindowHost {
    Q_OBJECT

  public:
    static constexpr int kMinimumWidth = 924;
    static constexpr int kMinimumHeight = 400;
    static constexpr const char* kPlacementSection = "MainFormAxs";

    // Runs the start-up: MAIN.INI, the splash window, the texts, the archive, the command switches, the
    // transform table, the settings, then the browser. Throws (EFailOpenFile, std::runtime_error) when the
    // archive cannot be opened.
    explicit TMainFormAxs(MainFormSetup setup);
    ~TMainFormAxs() override;

    // Shows the window where it stood last time (normal or maximised).
    void ShowAsPlaced();
    // Closes without the confirmation (the end of a session, a measuring run of the start-up).
    void CloseWithoutAsking();

    // ---- What the frame holds for everybody ------------------------------------------------------------
    common::ProgramContext& Program();
    archive::TProgDBLevel& ArchiveRoot();
    const common::IniFile& MainIni() const noexcept { return mainIni_; }
    // Re-reads MAIN.INI, applies the change and writes it at once; the held copy follows. False (and the
    // user told) when it cannot be written.
    bool UpdateMainIni(const std::function<void(common::IniFile&)>& change);
    const FrameSettings& Settings() const override { return settings_; }
    const analysis::TransformTable& TransformTable() const noexcept { return transformTable_; }
    bool CalibrationMode() const;
    const TMenuManager& MenuManager() const noexcept { return menuManager_; }
    IconStore& Icons() noexcept { return *icons_; }
    common::UiPort& Ui() override { return *ui_; }
    QtArchiveDialogs& ArchiveDialogs() noexcept { return *dialogs_; }

    // ---- Windows ------------------------------------------------------------------------------------------
    TSelAnythingForm* Browser() const noexcept { return browser_; }
    QMdiSubWindow* BrowserWindow() const noexcept { return browserSub_; }
    QMdiArea* MdiArea() const noexcept { return mdi_; }
    // Signal windows still open, in creation order.
    std::vector<QMdiSubWindow*> SignalSubWindows() const;
    std::vector<ISignalWindow*> SignalWindows() const override;
    ISignalWindow* ActiveSignalWindow() const;
    QAction* Action(FrameButton button) const { return actions_[static_cast<std::size_t>(button)]; }
    QToolButton* ToolButton(FrameButton button) const {
        return toolButtons_[static_cast<std::size_t>(button)];
    }
    QLabel* StantionPanel() const noexcept { return stantionPanel_; }
    QAction* NewestFirstAction() const noexcept { return newestFirstAction_; }
    QAction* AmplitudeModeAction() const noexcept { return amplitudeAction_; }
    QMenu* FramePopupMenu() const noexcept { return framePopup_; }

    // Opens a signal window on the node; none when it could not. The new window copies the view of the
    // previously active one while windows are synchronised.
    QMdiSubWindow* OpenSignalWindowOn(archive::TDBLevel& node, bool show);
    void Tile();
    void Cascade();
    // Closes every signal window once the current event is over.
    void CloseAllSignalWindows();
    void CloseAllSignalWindowsNow();
    void ShowBrowser();

    // ---- Commands
    // -------------------------------------------------------------------------------------------
    void SetLinkMode(int mode);
    int LinkMode() const noexcept { return linkMode_; }
    void SetWindowsSynchronised(bool on);
    bool WindowsSynchronised() const noexcept { return synchronised_; }
    void RunAmplitudeModeDialog();
    void SetNewestMeasurementsFirst(bool on);
    // The toolbar, the menus and the status panel from the active child window.
    void UpdateToolbar();
    ActiveWindowState CurrentWindowState() const;
    // A key of the frame or of a signal window; true when it was handled.
    bool HandleFrameKey(int key, Qt::KeyboardModifiers modifiers) override;

    // ---- Holding
    // ----------------------------------------------------------------------------------------------
    void HoldUpdates() override;
    void ReleaseUpdates() override;
    void HoldColumns();
    void ReleaseColumns();
    bool UpdatesHeld() const override { return updates_.Held(); }
    bool ColumnsHeld() const override { return columns_.Held(); }
    int UpdateHoldDepth() const noexcept { return updates_.Depth(); }
    bool ShuttingDown() const override { return shuttingDown_; }

    // ---- Transform records of the active window ---------------------------------------------------------
    bool ApplyToActiveWindow(archive::TransformParams& params);
    archive::TransformParams ActiveWindowParameters() const;
    void ApplyToAllWindows(const archive::TransformParams& params);
    bool OpenInNewWindow(archive::TransformParams& params);
    std::pair<double, double> ActiveTimeRange() const;

  signals:
    void StartupFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // IBrowserHost
    bool OpenSignalWindow(archive::TDBLevel& node, bool show) override;
    void TileWindows() override { Tile(); }
    bool NewestMeasurementsFirst() const override { return settings_.newestMeasurementsFirst; }
    void BrowserBuilt() override;
    // ISignalWindowHost
    void SignalWindowChanged(ISignalWindow& window) override;
    void ShiftViews(ISignalWindow& window, double shift) override;

    void BuildActions();
    void BuildToolbar();
    void BuildMenus();
    void BuildFramePopup();
    void BuildBrowser();
    void RegisterWindowCommands();
    void RestorePlacement();
    void SavePlacement();
    void OnFrameAction(FrameButton button, bool checked);
    void RunWindowCommand(int command, bool down);
    void OnSubWindowActivated(QMdiSubWindow* window);
    void OpenHelp(bool search);
    void ShowAboutBox();
    void Arrange(bool tile);
    QMdiSubWindow* ActiveSignalSubWindow() const;
    static ISignalWindow* SignalWindowOf(QMdiSubWindow* window);

    MainFormSetup setup_;
    std::unique_ptr<IconStore> icons_;
    std::unique_ptr<QtUiPort> ownUi_;
    common::UiPort* ui_ = nullptr;
    common::IniFile mainIni_;
    std::filesystem::path placementFile_;
    std::unique_ptr<archive::ArchiveSession> session_;
    std::unique_ptr<archive::ITransformEngine> ownEngine_;
    std::unique_ptr<QtArchiveDialogs> dialogs_;
    TMenuManager menuManager_;
    analysis::TransformTable transformTable_;
    FrameSettings settings_;

    QMdiArea* mdi_ = nullptr;
    QMdiSubWindow* browserSub_ = nullptr;
    TSelAnythingForm* browser_ = nullptr;
    QPointer<TVelmarAboutBox> splash_;
    QLabel* stantionPanel_ = nullptr;
    std::array<QAction*, kFrameButtonCount> actions_{};
    std::array<QToolButton*, kFrameButtonCount> toolButtons_{};
    QAction* amplitudeAction_ = nullptr;
    QAction* printMenuAction_ = nullptr;
    QAction* soundSettingsAction_ = nullptr;
    QAction* newestFirstAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* tileMenuAction_ = nullptr;
    QAction* cascadeMenuAction_ = nullptr;
    QAction* closeAllMenuAction_ = nullptr;
    QAction* showTreeMenuAction_ = nullptr;
    QAction* controlMenuAction_ = nullptr;
    QAction* harmonicsMenuAction_ = nullptr;
    QMenu* framePopup_ = nullptr;
    QAction* popupPrint_ = nullptr;
    QAction* popupTile_ = nullptr;
    QAction* popupCascade_ = nullptr;
    QAction* popupControl_ = nullptr;

    NestingCounter updates_;
    NestingCounter columns_;
    QPointer<QMdiSubWindow> lastActive_;
    bool synchronised_ = false;
    int linkMode_ = 0;
    bool shuttingDown_ = false;
    bool closeWithoutAsking_ = false;
    bool placedBrowser_ = false;
    bool closeAllPending_ = false;
};

}  // namespace velmar::ui
