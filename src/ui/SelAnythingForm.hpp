#pragma once
// The archive browser: the tree of the archive, six command buttons with drop-down menus and the tree's
// pop-up menu. It asks the selected node for its commands and hands the chosen one back to it; deleting
// and viewing it does itself. It is a picture of the in-memory archive and learns of node changes through
// the archive's browser notification.

#include <array>
#include <string>
#include <vector>

#include <QWidget>

#include "archive/DBLevel.hpp"
#include "archive/NodeView.hpp"
#include "ui/MenuManager.hpp"

class QAction;
class QMenu;
class QToolBar;
class QToolButton;

namespace velmar::common {
class UiPort;
}

namespace velmar::ui {

class ArchiveTreeWidget;
class IconStore;

// What the browser needs of the main window.
class IBrowserHost {
  public:
    virtual ~IBrowserHost() = default;
    // Opens a signal window on the node; false when it could not be opened.
    virtual bool OpenSignalWindow(archive::TDBLevel& node, bool show) = 0;
    virtual void TileWindows() = 0;
    virtual void HoldUpdates() = 0;
    virtual void ReleaseUpdates() = 0;
    virtual bool NewestMeasurementsFirst() const = 0;
    // The first tree build is done (the start-up splash window can go).
    virtual void BrowserBuilt() = 0;
};

class TSelAnythingForm final : public QWidget, public archive::INodeEventSink, private ICommandItems {
    Q_OBJECT

  public:
    TSelAnythingForm(archive::TDBLevel& root, IBrowserHost& host, const TMenuManager& menuManager,
                     IconStore& icons, common::UiPort& ui, QWidget* parent = nullptr);
    ~TSelAnythingForm() override;

    ArchiveTreeWidget* OutlineAnything() const noexcept { return tree_; }
    QToolButton* Button(BrowserButton button) const;
    QMenu* TreePopupMenu() const noexcept { return treePopupMenu_; }
    QAction* PopupMark() const noexcept { return popupMark_; }
    QAction* PopupClearMark() const noexcept { return popupClearMark_; }

    // Rebuilds the whole tree from the root, keeping expansion and selection.
    void Rebuild();
    // Text and icon of the selected item again.
    void RefreshSelected();
    // A node changed: it went (its items go), it was renamed or its data changed.
    void NotifyNode(archive::TDBLevel& node, archive::NodeEvent event, std::string_view text);
    // Opens signal windows on the marked nodes, or on the selected node and its subtree.
    void ViewSelected();

    archive::TDBLevel* SelectedNode() const;
    // Selects the node when it is in the tree (and remembers it for the next rebuild).
    void SelectNode(const archive::TDBLevel* node);

    // Runs a command on the selected node as a click on its button or menu item would.
    void RunCommand(int command);
    // The commands the selected node offers now, ascending (what the menus show).
    const std::vector<archive::MenuCommand>& VisibleCommands() const noexcept { return visible_; }
    int DefaultCommand() const noexcept { return defaultCommand_; }

    // Toggles the mark of the selected node (only nodes that can be marked); clears every mark.
    void ToggleMark();
    void ClearAllMarks();

    // The hint the tree shows for a node.
    QString HintFor(archive::TDBLevel& node) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnNodeEvent(archive::TDBLevel& node, archive::NodeEvent event, std::string_view text) override;
    void ShowCommand(int command, const std::string& caption) override;
    void MarkDefaultCommand(int command) override;

    void OnSelectionChanged(archive::TDBLevel* node);
    void ClearCommandItems();
    void ApplyButtonPlans();
    void UpdateMarkItem(archive::TDBLevel* node);
    void DeleteSelected();
    void OnItemActivated();
    void ShowTreePopup(const QPoint& position);

    archive::TDBLevel& root_;
    IBrowserHost& host_;
    const TMenuManager& menuManager_;
    IconStore& icons_;
    common::UiPort& ui_;

    ArchiveTreeWidget* tree_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    std::array<QToolButton*, kBrowserButtonCount> buttons_{};
    std::array<QAction*, kBrowserButtonCount> separators_{};
    std::array<QMenu*, kBrowserButtonCount> menus_{};
    QMenu* treePopupMenu_ = nullptr;
    QAction* popupMark_ = nullptr;
    QAction* popupClearMark_ = nullptr;
    std::vector<QAction*> commandActions_;

    std::vector<archive::MenuCommand> visible_;
    int defaultCommand_ = 0;
    bool firstBuildDone_ = false;
};

}  // namespace velmar::ui
