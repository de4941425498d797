#include "ui/ArchiveTreeWidget.hpp"

#include <algorithm>

#include <QGuiApplication>
#include <QHeaderView>
#include <QResizeEvent>
#include <QTimer>

#include "ui/BrowserLogic.hpp"
#include "ui/IconStore.hpp"
#include "ui/QtText.hpp"

namespace velmar::ui {

using archive::TDBLevel;

namespace {

constexpr int kNodeRole = Qt::UserRole;
constexpr int kNumberRole = Qt::UserRole + 1;
constexpr int kRowsAboveSelection = 10;

class WaitCursor {
  public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = previous_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
    bool previous_;
};

}  // namespace

ArchiveTreeWidget::ArchiveTreeWidget(TDBLevel& root, IconStore& icons, ArchiveTreeOptions options,
                                     QWidget* parent)
    : QTreeWidget(parent), root_(root), icons_(icons), options_(std::move(options)) {
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setIconSize(QSize(20, 20));
    setExpandsOnDoubleClick(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Interactive);
    connect(this, &QTreeWidget::itemExpanded, this, &ArchiveTreeWidget::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &ArchiveTreeWidget::OnItemCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentChanged(current); });
}

TDBLevel* ArchiveTreeWidget::NodeOf(const QTreeWidgetItem* item) const {
    if (item == nullptr) {
        return nullptr;
    }
    auto* node = reinterpret_cast<TDBLevel*>(item->data(0, kNodeRole).value<quintptr>());
    // Only nodes the tree still knows: an item may outlive its node for the length of a notification.
    const auto it = items_.find(node);
    return it != items_.end() && it->second == item ? node : nullptr;
}

QTreeWidgetItem* ArchiveTreeWidget::ItemOf(const TDBLevel* node) const {
    const auto it = items_.find(node);
    return it != items_.end() ? it->second : nullptr;
}

TDBLevel* ArchiveTreeWidget::SelectedNode() const {
    return NodeOf(currentItem());
}

bool ArchiveTreeWidget::Shows(const TDBLevel& node) const {
    if (!IsShownInTree(node) || node.GetLevelNumber() > options_.maxLevel) {
        return false;
    }
    const int kind = node.GetLevelKind();
    if (kind < 0 || kind > 15 || ((options_.kindFilter >> kind) & 1u) == 0) {
        return false;
    }
    return options_.programMask.none() || (node.Programs() & options_.programMask).any();
}

bool ArchiveTreeWidget::IsNodeExpanded(const TDBLevel& node) const {
    if (&node == &root_) {
        return true;
    }
    return options_.expansionInNodes ? node.IsExpanded() : expanded_.count(&node) != 0;
}

void ArchiveTreeWidget::SetExpandedFlag(TDBLevel& node, bool expanded) {
    if (options_.expansionInNodes) {
        node.SetExpanded(expanded || &node == &root_);
    } else if (expanded) {
        expanded_.insert(&node);
    } else {
        expanded_.erase(&node);
    }
}

bool ArchiveTreeWidget::CanOpen(TDBLevel& node) {
    if (node.GetLevelNumber() >= options_.maxLevel) {
        return false;
    }
    try {
        node.UpdateMark();
        if (node.IsBusy()) {
            return true;
        }
        // Kinds whose attachments say nothing about their children (points, directions): look at them.
        for (TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
            if (Shows(*child)) {
                return true;
            }
        }
    } catch (const std::exception&) {
    }
    return false;
}

QIcon ArchiveTreeWidget::IconFor(const TDBLevel& node) {
    const std::string name = BrowserIconName(node);
    if (name.empty()) {
        return {};
    }
    bool added = false;
    const std::size_t index = iconNames_.Enter(name, &added);
    if (iconList_.size() <= index) {
        iconList_.resize(index + 1);
    }
    if (added) {
        const archive::BitmapHandle handle = node.LoadBitmapByName(name);
        QIcon icon = handle != 0 ? icons_.IconOfHandle(handle) : QIcon();
        iconList_[index] = icon.isNull() ? icons_.NodeIcon(name) : icon;
    }
    return iconList_[index];
}

QTreeWidgetItem* ArchiveTreeWidget::MakeItem(TDBLevel& node, int measurementNumber) {
    auto* item = new QTreeWidgetItem();
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(&node)));
    item->setData(0, kNumberRole, measurementNumber);
    item->setText(0, QStr(BrowserItemText(node, measurementNumber)));
    item->setIcon(0, IconFor(node));
    if (!node.IsEnabled()) {
        item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    }
    item->setChildIndicatorPolicy(CanOpen(node) ? QTreeWidgetItem::ShowIndicator
                                                : QTreeWidgetItem::DontShowIndicator);
    return item;
}

void ArchiveTreeWidget::AddChildren(TDBLevel& node, QTreeWidgetItem* item) {
    std::vector<TDBLevel*> children;
    try {
        for (TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
            children.push_back(child);
        }
    } catch (const std::exception&) {
        return;
    }
    const bool newestFirst = options_.newestFirst && options_.newestFirst();
    int number = 0;
    for (TDBLevel* child : children) {
        try {
            if (!Shows(*child)) {
                continue;
            }
            const bool numbered = IsNumberedMeasurement(*child);
            QTreeWidgetItem* childItem = MakeItem(*child, numbered ? ++number : 0);
            if (numbered && newestFirst) {
                item->insertChild(0, childItem);
            } else {
                item->addChild(childItem);
            }
            items_[child] = childItem;
            if (IsNodeExpanded(*child) && child->GetLevelNumber() < options_.maxLevel) {
                AddChildren(*child, childItem);
                childItem->setExpanded(true);
            }
        } catch (const std::exception&) {
            // A node that cannot be shown is left out.
        }
    }
}

void ArchiveTreeWidget::Rebuild() {
    WaitCursor wait;
    {
        FlagScope scope(rebuilding_);
        clear();
        items_.clear();
        try {
            QTreeWidgetItem* rootItem = MakeItem(root_, 0);
            addTopLevelItem(rootItem);
            items_[&root_] = rootItem;
            AddChildren(root_, rootItem);
            rootItem->setExpanded(true);
        } catch (const std::exception&) {
        }
        RestoreSelection();
    }
    FitColumn();
    emit SelectedNodeChanged(SelectedNode());
    emit Built();
}

void ArchiveTreeWidget::RestoreSelection() {
    QTreeWidgetItem* match = topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
    if (match == nullptr) {
        return;
    }
    for (std::size_t depth = 1; depth < selectionPath_.size(); ++depth) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < match->childCount(); ++i) {
            const TDBLevel* node = NodeOf(match->child(i));
            if (node != nullptr && node->GetName() == selectionPath_[depth]) {
                next = match->child(i);
                break;
            }
        }
        if (next == nullptr) {
            break;
        }
        match = next;
    }
    setCurrentItem(match);
    QTreeWidgetItem* top = match;
    for (int i = 0; i < kRowsAboveSelection; ++i) {
        QTreeWidgetItem* above = itemAbove(top);
        if (above == nullptr) {
            break;
        }
        top = above;
    }
    scrollToItem(top, QAbstractItemView::PositionAtTop);
    scrollToItem(match, QAbstractItemView::EnsureVisible);
}

void ArchiveTreeWidget::SelectNodeLater(const TDBLevel* node) {
    if (node == nullptr) {
        return;
    }
    selectionPath_ = NamePath(node);
    if (QTreeWidgetItem* item = ItemOf(node)) {
        setCurrentItem(item);
    }
}

void ArchiveTreeWidget::RefreshNode(TDBLevel& node) {
    QTreeWidgetItem* item = ItemOf(&node);
    if (item == nullptr) {
        return;
    }
    item->setText(0, QStr(BrowserItemText(node, item->data(0, kNumberRole).toInt())));
    item->setIcon(0, IconFor(node));
    FitColumn();
}

void ArchiveTreeWidget::FitColumn() {
    // As wide as the widest item (the tree scrolls sideways) and never narrower than the view, so that a
    // selected row is marked across the whole width.
    setColumnWidth(0, std::max(sizeHintForColumn(0), viewport()->width()));
}

void ArchiveTreeWidget::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    FitColumn();
}

void ArchiveTreeWidget::ForgetItem(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
        ForgetItem(item->child(i));
    }
    const auto* node = reinterpret_cast<const TDBLevel*>(item->data(0, kNodeRole).value<quintptr>());
    const auto it = items_.find(node);
    if (it != items_.end() && it->second == item) {
        items_.erase(it);
    }
    expanded_.erase(node);
}

void ArchiveTreeWidget::ForgetNode(TDBLevel& node) {
    expanded_.erase(&node);
    QTreeWidgetItem* item = ItemOf(&node);
    if (item == nullptr) {
        return;
    }
    {
        // The node is half gone: no selection handling now, the next turn of the event loop tells it.
        FlagScope scope(rebuilding_);
        ForgetItem(item);
        delete item;
    }
    QTimer::singleShot(0, this, [this] {
        if (!rebuilding_) {
            emit SelectedNodeChanged(SelectedNode());
        }
    });
}

void ArchiveTreeWidget::ExpandNode(TDBLevel& node) {
    if (QTreeWidgetItem* item = ItemOf(&node)) {
        item->setExpanded(true);
    }
}

void ArchiveTreeWidget::CollapseNode(TDBLevel& node) {
    if (QTreeWidgetItem* item = ItemOf(&node)) {
        item->setExpanded(false);
    }
}

void ArchiveTreeWidget::OnItemExpanded(QTreeWidgetItem* item) {
    if (rebuilding_) {
        return;
    }
    TDBLevel* node = NodeOf(item);
    if (node == nullptr) {
        return;
    }
    SetExpandedFlag(*node, true);
    if (item->childCount() == 0) {
        WaitCursor wait;
        FlagScope scope(rebuilding_);
        AddChildren(*node, item);
    }
    FitColumn();
}

void ArchiveTreeWidget::OnItemCollapsed(QTreeWidgetItem* item) {
    if (rebuilding_) {
        return;
    }
    TDBLevel* node = NodeOf(item);
    if (node == nullptr) {
        return;
    }
    FlagScope scope(rebuilding_);
    if (node == &root_) {
        item->setExpanded(true);
        return;
    }
    SetExpandedFlag(*node, false);
    const bool selectionInside = [&] {
        for (QTreeWidgetItem* at = currentItem(); at != nullptr; at = at->parent()) {
            if (at->parent() == item) {
                return true;
            }
        }
        return false;
    }();
    while (item->childCount() > 0) {
        QTreeWidgetItem* child = item->child(0);
        ForgetItem(child);
        delete child;
    }
    FitColumn();
    if (selectionInside) {
        setCurrentItem(item);
        selectionPath_ = NamePath(node);
        QTimer::singleShot(0, this, [this] { emit SelectedNodeChanged(SelectedNode()); });
    }
}

void ArchiveTreeWidget::OnCurrentChanged(QTreeWidgetItem* current) {
    if (rebuilding_) {
        return;
    }
    TDBLevel* node = NodeOf(current);
    if (node != nullptr) {
        selectionPath_ = NamePath(node);
    }
    emit SelectedNodeChanged(node);
}

}  // namespace velmar::ui
