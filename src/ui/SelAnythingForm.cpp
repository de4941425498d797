#include "ui/SelAnythingForm.hpp"

#include <QAction>
#include <QEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "archive/ArchiveContext.hpp"
#include "common/UiPort.hpp"
#include "ui/ArchiveTreeWidget.hpp"
#include "ui/BrowserLogic.hpp"
#include "ui/IconStore.hpp"
#include "ui/QtText.hpp"

namespace velmar::ui {

using archive::TDBLevel;

namespace {

constexpr int kTextCaption = 204;
constexpr int kTextMark = 202;
constexpr int kTextUnmark = 201;
constexpr int kTextClearMarks = 211;
constexpr int kTextTooManyWindows = 203;
constexpr int kButtonTagBase = 2000000;
constexpr int kHintDurationMs = 60000;

// Holds the main window's drawing for the length of a walk that opens many windows.
class HeldUpdates {
  public:
    explicit HeldUpdates(IBrowserHost& host) : host_(host) { host_.HoldUpdates(); }
    ~HeldUpdates() { host_.ReleaseUpdates(); }
    HeldUpdates(const HeldUpdates&) = delete;
    HeldUpdates& operator=(const HeldUpdates&) = delete;

  private:
    IBrowserHost& host_;
};

}  // namespace

TSelAnythingForm::TSelAnythingForm(TDBLevel& root, IBrowserHost& host, const TMenuManager& menuManager,
                                   IconStore& icons, common::UiPort& ui, QWidget* parent)
    : QWidget(parent), root_(root), host_(host), menuManager_(menuManager), icons_(icons), ui_(ui) {
    setObjectName(QStringLiteral("SelAnythingForm"));
    setWindowTitle(Text(kTextCaption));
    setWindowIcon(icons_.ActionIcon("TB_TREE"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    toolbar_ = new QToolBar(this);
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->setMovable(false);
    for (std::size_t i = 0; i < kBrowserButtons.size(); ++i) {
        const BrowserButtonInfo& info = kBrowserButtons[i];
        auto* button = new QToolButton(toolbar_);
        button->setObjectName(QString::fromLatin1(info.objectName));
        button->setIcon(icons_.ActionIcon(info.iconKey));
        button->setToolTip(Text(info.hintId));
        button->setAutoRaise(true);
        button->setMinimumSize(QSize(35, 35));
        button->setToolTipDuration(kHintDurationMs);
        button->setEnabled(false);
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(info.menuName));
        menus_[i] = menu;
        buttons_[i] = button;
        toolbar_->addWidget(button);
        separators_[i] = toolbar_->addSeparator();
        connect(button, &QToolButton::clicked, this, [this, button] {
            const int tag = button->property("command").toInt();
            if (tag >= kButtonTagBase) {
                RunCommand(tag - kButtonTagBase);
            }
        });
    }
    layout->addWidget(toolbar_);

    ArchiveTreeOptions options;
    options.expansionInNodes = true;
    options.newestFirst = [this] { return host_.NewestMeasurementsFirst(); };
    tree_ = new ArchiveTreeWidget(root_, icons_, std::move(options), this);
    tree_->setObjectName(QStringLiteral("OutlineAnything"));
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->viewport()->installEventFilter(this);
    tree_->viewport()->setMouseTracking(true);
    layout->addWidget(tree_, 1);

    treePopupMenu_ = new QMenu(this);
    treePopupMenu_->setObjectName(QStringLiteral("TreePopupMenu"));
    popupMark_ = new QAction(Text(kTextMark), this);
    popupMark_->setObjectName(QStringLiteral("PopupMark"));
    popupClearMark_ = new QAction(Text(kTextClearMarks), this);
    popupClearMark_->setObjectName(QStringLiteral("PopupClearMark"));
    connect(popupMark_, &QAction::triggered, this, [this] { ToggleMark(); });
    connect(popupClearMark_, &QAction::triggered, this, [this] { ClearAllMarks(); });

    connect(tree_, &ArchiveTreeWidget::SelectedNodeChanged, this,
            [this](TDBLevel* node) { OnSelectionChanged(node); });
    connect(tree_, &ArchiveTreeWidget::Built, this, [this] {
        if (!firstBuildDone_) {
            firstBuildDone_ = true;
            host_.BrowserBuilt();
        }
    });
    connect(tree_, &QTreeWidget::itemActivated, this, [this] { OnItemActivated(); });
    connect(tree_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { ShowTreePopup(position); });

    root_.Context().browser = this;
}

TSelAnythingForm::~TSelAnythingForm() {
    if (root_.Context().browser == this) {
        root_.Context().browser = nullptr;
    }
}

QToolButton* TSelAnythingForm::Button(BrowserButton button) const {
    return buttons_[static_cast<std::size_t>(button)];
}

TDBLevel* TSelAnythingForm::SelectedNode() const {
    return tree_->SelectedNode();
}

void TSelAnythingForm::SelectNode(const TDBLevel* node) {
    tree_->SelectNodeLater(node);
}

void TSelAnythingForm::Rebuild() {
    tree_->Rebuild();
}

void TSelAnythingForm::RefreshSelected() {
    if (TDBLevel* node = SelectedNode()) {
        tree_->RefreshNode(*node);
        OnSelectionChanged(node);
    }
}

void TSelAnythingForm::OnNodeEvent(TDBLevel& node, archive::NodeEvent event, std::string_view text) {
    NotifyNode(node, event, text);
}

void TSelAnythingForm::NotifyNode(TDBLevel& node, archive::NodeEvent event, std::string_view) {
    switch (event) {
        case archive::NodeEvent::Destroyed:
            tree_->ForgetNode(node);
            break;
        case archive::NodeEvent::Renamed:
        case archive::NodeEvent::DataChanged:
            tree_->RefreshNode(node);
            break;
    }
}

// ---- Commands ------------------------------------------------------------------------------------------

void TSelAnythingForm::ClearCommandItems() {
    for (QMenu* menu : menus_) {
        menu->clear();
    }
    treePopupMenu_->clear();
    for (QAction* action : commandActions_) {
        // A command may be running from this very action.
        action->deleteLater();
    }
    commandActions_.clear();
}

void TSelAnythingForm::ShowCommand(int command, const std::string& caption) {
    auto* action = new QAction(QStr(caption), this);
    action->setData(command);
    action->setObjectName(QStringLiteral("Command%1").arg(command));
    connect(action, &QAction::triggered, this, [this, command] {
        // After the menu has closed and the action's own signal has ended.
        QMetaObject::invokeMethod(
            this, [this, command] { RunCommand(command); }, Qt::QueuedConnection);
    });
    commandActions_.push_back(action);
    if (const BrowserButtonInfo* info = ButtonOfCommand(command)) {
        menus_[static_cast<std::size_t>(info->button)]->addAction(action);
    }
}

void TSelAnythingForm::MarkDefaultCommand(int command) {
    for (QAction* action : commandActions_) {
        if (action->data().toInt() == command) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
            if (const BrowserButtonInfo* info = ButtonOfCommand(command)) {
                menus_[static_cast<std::size_t>(info->button)]->setDefaultAction(action);
            }
        }
    }
}

void TSelAnythingForm::OnSelectionChanged(TDBLevel* node) {
    ClearCommandItems();
    visible_.clear();
    defaultCommand_ = 0;
    if (node != nullptr) {
        try {
            archive::CommandMenu menu;
            node->FillCommandMenu(menu);
            visible_ = menuManager_.VisibleCommands(menu);
            for (const archive::MenuCommand& entry : visible_) {
                menuManager_.SetCommand(*this, entry.command, entry.caption);
            }
            defaultCommand_ = DefaultCommandOf(*node, visible_);
            if (defaultCommand_ != 0) {
                menuManager_.SetDefaultCommand(*this, defaultCommand_);
            }
        } catch (const std::exception&) {
            // A node that cannot say what it offers offers nothing.
            ClearCommandItems();
            visible_.clear();
            defaultCommand_ = 0;
        }
    }
    // The pop-up holds every command, grouped as the buttons group them.
    bool groupOpen = false;
    for (QMenu* menu : menus_) {
        if (menu->actions().isEmpty()) {
            continue;
        }
        if (groupOpen) {
            treePopupMenu_->addSeparator();
        }
        treePopupMenu_->addActions(menu->actions());
        groupOpen = true;
    }
    for (QAction* action : commandActions_) {
        if (ButtonOfCommand(action->data().toInt()) == nullptr) {
            if (groupOpen) {
                treePopupMenu_->addSeparator();
                groupOpen = false;
            }
            treePopupMenu_->addAction(action);
        }
    }
    if (!treePopupMenu_->actions().isEmpty()) {
        treePopupMenu_->addSeparator();
    }
    treePopupMenu_->addAction(popupMark_);
    treePopupMenu_->addAction(popupClearMark_);
    ApplyButtonPlans();
    UpdateMarkItem(node);
    if (node != nullptr) {
        tree_->RefreshNode(*node);
    }
}

void TSelAnythingForm::ApplyButtonPlans() {
    const std::array<ButtonPlan, kBrowserButtonCount> plans = PlanBrowserButtons(visible_);
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const ButtonPlan& plan = plans[i];
        QToolButton* button = buttons_[i];
        button->setEnabled(plan.enabled);
        button->setProperty("command", plan.enabled ? kButtonTagBase + plan.command : 0);
        button->setToolTip(QStr(plan.hint));
        if (plan.dropDown) {
            button->setMenu(menus_[i]);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        } else {
            button->setMenu(nullptr);
            button->setPopupMode(QToolButton::DelayedPopup);
        }
        separators_[i]->setVisible(plan.enabled);
    }
}

void TSelAnythingForm::UpdateMarkItem(TDBLevel* node) {
    const bool markable = node != nullptr && (node->GetFlags() & archive::kFlagMarkable) != 0;
    popupMark_->setEnabled(markable);
    popupMark_->setText(Text(node != nullptr && node->IsMarked() ? kTextUnmark : kTextMark));
}

void TSelAnythingForm::RunCommand(int command) {
    TDBLevel* node = SelectedNode();
    if (node == nullptr) {
        return;
    }
    if (IsBrowserDeleteCommand(command)) {
        DeleteSelected();
        return;
    }
    if (command == kCommandViewSignals) {
        ViewSelected();
        return;
    }
    int number = command;
    const archive::RefreshCode refresh = node->ExecuteCommand(number);
    if (refresh == archive::RefreshCode::Children) {
        Rebuild();
    } else if (refresh == archive::RefreshCode::Self) {
        RefreshSelected();
    }
}

void TSelAnythingForm::DeleteSelected() {
    TDBLevel* node = SelectedNode();
    if (node == nullptr || (node->GetFlags() & archive::kFlagDeletable) == 0 || node->Parent() == nullptr) {
        return;
    }
    const std::string name = node->GetName();
    const archive::DeleteResult result = node->Parent()->ConfirmDeleteChild(*node);
    if (result == archive::DeleteResult::StorageKept) {
        ui_.MessageDialog(UiFormat(text::kCannotDelete, {name}), common::DialogType::Error,
                          common::kButtonOk);
    }
    if (result == archive::DeleteResult::Deleted || result == archive::DeleteResult::StorageKept) {
        Rebuild();
    }
}

void TSelAnythingForm::ViewSelected() {
    const ViewWalk walk = CollectViewNodes(root_, SelectedNode());
    if (walk.nodes.size() > kViewConfirmAbove) {
        const int answer = ui_.MessageDialog(UiText(kTextTooManyWindows), common::DialogType::Confirmation,
                                             common::kButtonYes | common::kButtonNo);
        if (answer != common::kResultYes) {
            return;
        }
    }
    {
        HeldUpdates held(host_);
        for (TDBLevel* node : walk.nodes) {
            if (!host_.OpenSignalWindow(*node, true)) {
                break;
            }
        }
        if (!walk.nodes.empty()) {
            host_.TileWindows();
        }
    }
    if (walk.fromMarks) {
        ClearMarks(root_);
        Rebuild();
    }
}

// ---- Marks, hints, gestures ----------------------------------------------------------------------------

void TSelAnythingForm::ToggleMark() {
    TDBLevel* node = SelectedNode();
    if (node == nullptr || (node->GetFlags() & archive::kFlagMarkable) == 0) {
        return;
    }
    node->SetMarked(!node->IsMarked());
    tree_->RefreshNode(*node);
    UpdateMarkItem(node);
}

void TSelAnythingForm::ClearAllMarks() {
    ClearMarks(root_);
    Rebuild();
}

QString TSelAnythingForm::HintFor(TDBLevel& node) const {
    return QStr(NodeHint(node));
}

bool TSelAnythingForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        TDBLevel* node = tree_->NodeOf(tree_->itemAt(help->pos()));
        const QString hint = node != nullptr ? HintFor(*node) : QString();
        if (hint.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), hint, tree_->viewport(), QRect(), kHintDurationMs);
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TSelAnythingForm::OnItemActivated() {
    TDBLevel* node = SelectedNode();
    if (node == nullptr) {
        return;
    }
    if (defaultCommand_ != 0) {
        RunCommand(defaultCommand_);
        return;
    }
    if (tree_->IsNodeExpanded(*node) && node != &root_) {
        tree_->CollapseNode(*node);
    } else {
        tree_->ExpandNode(*node);
    }
}

void TSelAnythingForm::ShowTreePopup(const QPoint& position) {
    if (QTreeWidgetItem* item = tree_->itemAt(position)) {
        tree_->setCurrentItem(item);
    }
    treePopupMenu_->exec(tree_->viewport()->mapToGlobal(position));
}

}  // namespace velmar::ui
