#pragma once
// A tree widget that pictures the in-memory archive: one item per shown node, children of expanded nodes,
// icons by icon name, measurements numbered. The archive browser and the node picker both use it; the
// browser keeps expansion in the nodes (so that it survives rebuilds and is seen by the archive), the
// picker keeps its own.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <QTreeWidget>

#include "archive/DBLevel.hpp"
#include "common/ExpertSystem.hpp"
#include "ui/IconNames.hpp"

namespace velmar::ui {

class IconStore;

struct ArchiveTreeOptions {
    // Nodes deeper than this level number are not shown, and nodes at it cannot be opened.
    int maxLevel = 255;
    // Level kinds shown (bit k: kind k).
    std::uint16_t kindFilter = 0xFFFF;
    // A node is shown only when its program set shares a slot with the mask; an empty mask shows all.
    common::ProgramSet programMask;
    // Expansion lives in the nodes' expanded flags (the browser) or in the widget (a picker).
    bool expansionInNodes = true;
    // Measurements newest first (asked at every build).
    std::function<bool()> newestFirst;
};

class ArchiveTreeWidget final : public QTreeWidget {
    Q_OBJECT

  public:
    ArchiveTreeWidget(archive::TDBLevel& root, IconStore& icons, ArchiveTreeOptions options,
                      QWidget* parent = nullptr);

    archive::TDBLevel& Root() const noexcept { return root_; }

    // Clears the tree and builds it again from the root: children of every expanded node, the selection
    // brought back by the names of the last selected node and its ancestors (the deepest that still
    // exists), scrolled to stand about ten rows below the top.
    void Rebuild();
    bool IsRebuilding() const noexcept { return rebuilding_; }

    archive::TDBLevel* NodeOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(const archive::TDBLevel* node) const;
    archive::TDBLevel* SelectedNode() const;
    std::vector<std::string> SelectionPath() const { return selectionPath_; }
    // Selects the node's item when it is in the tree; otherwise remembers its path for the next build.
    void SelectNodeLater(const archive::TDBLevel* node);

    // Text and icon of the node's item again.
    void RefreshNode(archive::TDBLevel& node);
    // Drops the item of a node that is going (and the items below it).
    void ForgetNode(archive::TDBLevel& node);

    // Opens the item and its node; closes it. The root stays open.
    void ExpandNode(archive::TDBLevel& node);
    void CollapseNode(archive::TDBLevel& node);
    bool IsNodeExpanded(const archive::TDBLevel& node) const;

    QIcon IconFor(const archive::TDBLevel& node);
    const IconNameCache& IconNames() const noexcept { return iconNames_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  signals:
    void SelectedNodeChanged(velmar::archive::TDBLevel* node);
    void Built();

  private:
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    void OnCurrentChanged(QTreeWidgetItem* current);

    bool Shows(const archive::TDBLevel& node) const;
    bool CanOpen(archive::TDBLevel& node);
    void SetExpandedFlag(archive::TDBLevel& node, bool expanded);
    QTreeWidgetItem* MakeItem(archive::TDBLevel& node, int measurementNumber);
    void AddChildren(archive::TDBLevel& node, QTreeWidgetItem* item);
    void ForgetItem(QTreeWidgetItem* item);
    void RestoreSelection();
    void FitColumn();

    archive::TDBLevel& root_;
    IconStore& icons_;
    ArchiveTreeOptions options_;
    std::unordered_map<const archive::TDBLevel*, QTreeWidgetItem*> items_;
    std::set<const archive::TDBLevel*> expanded_;  // when expansion is not kept in the nodes
    std::vector<std::string> selectionPath_;
    IconNameCache iconNames_;
    std::vector<QIcon> iconList_;
    bool rebuilding_ = false;
};

}  // namespace velmar::ui
