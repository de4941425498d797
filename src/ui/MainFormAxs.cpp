#include "ui/MainFormAxs.hpp"

#include <algorithm>
#include <cstdio>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "analysis/ArchiveAdapter.hpp"
#include "analysis/TransformEngine.hpp"
#include "archive/ArchiveSession.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/Paths.hpp"
#include "common/ProgramContext.hpp"
#include "common/UiPort.hpp"
#include "ui/AboutBox.hpp"
#include "ui/ArchiveTreeWidget.hpp"
#include "ui/BrowserLogic.hpp"
#include "ui/FormChildAxs.hpp"
#include "ui/FormSpectrMode.hpp"
#include "ui/IconStore.hpp"
#include "ui/QtArchiveDialogs.hpp"
#include "ui/QtText.hpp"
#include "ui/QtUiPort.hpp"
#include "ui/WindowPlacement.hpp"

namespace velmar::ui {

using archive::TDBLevel;

namespace {

constexpr int kTextExitQuestion = 21002;
constexpr int kTextFileMenu = 21003;
constexpr int kTextPrintGraphs = 21004;
constexpr int kTextExit = 21007;
constexpr int kTextWindowsMenu = 21008;
constexpr int kTextTile = 21009;
constexpr int kTextCascade = 21010;
constexpr int kTextCloseAll = 21011;
constexpr int kTextShowTree = 21012;
constexpr int kTextShowControl = 21013;
constexpr int kTextShowHarmonics = 21014;
constexpr int kTextHelpMenu = 21015;
constexpr int kTextHelpContents = 16;
constexpr int kTextHelpSearch = 17;
constexpr int kTextAbout = 18;
constexpr int kTextPrint = 19;
constexpr int kTextControlWindow = 54;
constexpr int kTextPopupHelpContents = 55;
constexpr int kTextHelpOnHelp = 56;
constexpr int kTextPopupExit = 57;
constexpr int kTextSoundSettings = 62;
constexpr int kTextNewestFirst = 68;
constexpr int kTextAmplitudeMode = 9154;
constexpr int kTextTooManyWindows = 203;

constexpr int kToolbarRowHeight = 46;
constexpr int kToolbarLeftBlock = 247;
constexpr int kButtonSize = 35;
constexpr int kHintDurationMs = 60000;
constexpr int kStatusPanelHeight = 24;
// Windows that refuse to close are asked this many times at most.
constexpr int kCloseAllPasses = 3;

// Where each toolbar group ends, for the gaps between groups.
bool EndsGroup(FrameButton button) {
    switch (button) {
        case FrameButton::CloseAll:
        case FrameButton::GarmDialog:
        case FrameButton::Faza:
        case FrameButton::SinhroWindows:
        case FrameButton::End:
        case FrameButton::CenterMax:
        case FrameButton::LogY:
            return true;
        default:
            return false;
    }
}

QColor StripColour(FrameButton button) {
    switch (button) {
        case FrameButton::Alone:
            return QColor(Qt::blue);
        case FrameButton::Avg:
            return QColor(Qt::magenta);
        case FrameButton::UpDown:
            return QColor(0, 0, 128);
        default:
            return {};
    }
}

// The switch buttons in the order of the nine switch states (commands 5 .. 13).
constexpr std::array<FrameButton, 9> kSwitchButtons = {
    FrameButton::Alone,     FrameButton::Avg,  FrameButton::UpDown, FrameButton::GarmOn, FrameButton::PowerOn,
    FrameButton::FillPower, FrameButton::LogX, FrameButton::LogY,   FrameButton::Faza};

}  // namespace

// ---- Start-up
// ------------------------------------------------------------------------------------------------

TMainFormAxs::TMainFormAxs(MainFormSetup setup) : QMainWindow(nullptr), setup_(std::move(setup)) {
    setObjectName(QStringLiteral("MainFormAxs"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    icons_ = std::make_unique<IconStore>();
    setWindowIcon(icons_->ActionIcon("LOGO"));
    if (setup_.ui != nullptr) {
        ui_ = setup_.ui;
    } else {
        ownUi_ = std::make_unique<QtUiPort>(this);
        ui_ = ownUi_.get();
    }

    // MAIN.INI first: everything after reads it.
    const common::ProgramContext paths = common::ProgramContext::Open(setup_.baseDir);
    mainIni_ = common::IniFile(paths.mainIni);
    placementFile_ =
        common::FindEntryNoCase(paths.iniDir, "QXMain.ini").value_or(paths.iniDir / "QXMain.ini");

    if (setup_.splash) {
        splash_ = new TVelmarAboutBox(mainIni_, *icons_, this);
        splash_->setAttribute(Qt::WA_DeleteOnClose);
        splash_->setModal(false);
        splash_->show();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    try {
        mdi_ = new QMdiArea(this);
        mdi_->setObjectName(QStringLiteral("MdiArea"));
        mdi_->setBackground(QColor(0x8a, 0x98, 0xa8));
        setCentralWidget(mdi_);
        BuildActions();
        BuildToolbar();
        BuildMenus();
        BuildFramePopup();
        stantionPanel_ = new QLabel(this);
        stantionPanel_->setObjectName(QStringLiteral("StantionPanel"));
        statusBar()->addWidget(stantionPanel_, 1);
        statusBar()->setFixedHeight(kStatusPanelHeight);

        session_ = archive::ArchiveSession::Open(setup_.baseDir, std::nullopt, ui_);
        archive::TProgDBLevel& root = session_->Root();
        session_->Context().transformEngine = setup_.extensions.transformEngine;
        root.SetOwnerWindow(this);
        IconStore* icons = icons_.get();
        root.SetIconLoader([icons](const std::string& name) { return icons->HandleOf(name); });
        dialogs_ = std::make_unique<QtArchiveDialogs>(root, *ui_, *icons_, this);
        dialogs_->SetHelpHandler([this] { OpenHelp(false); });
        root.SetDialogs(dialogs_.get());
        RegisterWindowCommands();

        menuManager_.ReadSwitches(mainIni_);

        const analysis::TransformTableFile table =
            analysis::LoadTransformTable(transformTable_, paths.iniDir);
        if (!table.found) {
            ui_->MessageDialog(UiFormat(text::kFileNotFound, {table.path.string()}),
                               common::DialogType::Warning, common::kButtonOk);
        }
        if (setup_.extensions.transformEngine == nullptr) {
            ownEngine_ = std::make_unique<analysis::ArchiveTransformEngine>(
                std::make_shared<const analysis::TransformEngine>(transformTable_));
            session_->Context().transformEngine = ownEngine_.get();
        }

        synchronised_ = false;
        linkMode_ = 0;
        settings_ = ReadFrameSettings(mainIni_);
        session_->Program().view = settings_.view;
        newestFirstAction_->setChecked(settings_.newestMeasurementsFirst);
        setWindowTitle(QStr(root.GetName()));
        session_->Program().calibrationMode = common::IsCalibrationArgument(setup_.arguments);

        BuildBrowser();
        RestorePlacement();
        connect(mdi_, &QMdiArea::subWindowActivated, this,
                [this](QMdiSubWindow* window) { OnSubWindowActivated(window); });
        connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { closeWithoutAsking_ = true; });
        UpdateToolbar();
    } catch (...) {
        if (splash_) {
            splash_->close();
        }
        delete mdi_;
        mdi_ = nullptr;
        browser_ = nullptr;
        browserSub_ = nullptr;
        dialogs_.reset();
        session_.reset();
        throw;
    }
    emit StartupFinished();
}

TMainFormAxs::~TMainFormAxs() {
    shuttingDown_ = true;
    SavePlacement();
    // Windows first: they hold nodes of the archive, which goes next.
    if (mdi_ != nullptr) {
        for (QMdiSubWindow* window : mdi_->subWindowList()) {
            if (window != browserSub_) {
                delete window;
            }
        }
        delete mdi_;
        mdi_ = nullptr;
        browser_ = nullptr;
        browserSub_ = nullptr;
    }
    if (session_) {
        session_->Root().SetDialogs(nullptr);
        session_->Root().SetIconLoader({});
        session_->Context().browser = nullptr;
    }
    session_.reset();
    dialogs_.reset();
}

common::ProgramContext& TMainFormAxs::Program() {
    return session_->Program();
}

archive::TProgDBLevel& TMainFormAxs::ArchiveRoot() {
    return session_->Root();
}

bool TMainFormAxs::CalibrationMode() const {
    return session_ && session_->Program().calibrationMode;
}

void TMainFormAxs::BuildActions() {
    for (const FrameButtonInfo& info : kFrameButtons) {
        auto* action = new QAction(icons_->ActionIcon(info.icon), Text(info.hintId), this);
        action->setObjectName(QString::fromLatin1(info.objectName));
        action->setToolTip(Text(info.hintId) + QString::fromLatin1(info.keySuffix));
        action->setCheckable(info.checkable);
        const FrameButton button = info.id;
        connect(action, &QAction::triggered, this,
                [this, button](bool checked) { OnFrameAction(button, checked); });
        actions_[static_cast<std::size_t>(info.id)] = action;
    }
    Action(FrameButton::Alone)->setChecked(true);

    // F3 to F6 work wherever the focus is in the frame; the other keys come through HandleFrameKey.
    for (const int key : {int(Qt::Key_F3), int(Qt::Key_F4), int(Qt::Key_F5), int(Qt::Key_F6)}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, key] { HandleFrameKey(key, Qt::NoModifier); });
    }
}

void TMainFormAxs::BuildToolbar() {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->toggleViewAction()->setEnabled(false);
    addToolBar(Qt::TopToolBarArea, bar);

    auto* panel = new QWidget(bar);
    auto* columns = new QHBoxLayout(panel);
    columns->setContentsMargins(2, 0, 2, 0);
    columns->setSpacing(0);

    auto* left = new QWidget(panel);
    left->setFixedWidth(kToolbarLeftBlock);
    auto* leftRows = new QVBoxLayout(left);
    leftRows->setContentsMargins(0, 0, 0, 0);
    leftRows->setSpacing(0);
    auto* leftRow1 = new QHBoxLayout();
    auto* leftRow2 = new QHBoxLayout();
    leftRows->addLayout(leftRow1);
    leftRows->addLayout(leftRow2);

    auto* main = new QWidget(panel);
    auto* mainRows = new QVBoxLayout(main);
    mainRows->setContentsMargins(0, 0, 0, 0);
    mainRows->setSpacing(0);
    auto* mainRow1 = new QHBoxLayout();
    auto* mainRow2 = new QHBoxLayout();
    mainRows->addLayout(mainRow1);
    mainRows->addLayout(mainRow2);
    for (QHBoxLayout* row : {leftRow1, leftRow2, mainRow1, mainRow2}) {
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(1);
    }

    for (const FrameButtonInfo& info : kFrameButtons) {
        auto* button = new QToolButton(panel);
        button->setObjectName(QString::fromLatin1(info.objectName));
        button->setDefaultAction(Action(info.id));
        button->setFixedSize(kButtonSize, kButtonSize);
        button->setIconSize(QSize(26, 26));
        button->setAutoRaise(true);
        button->setToolTipDuration(kHintDurationMs);
        toolButtons_[static_cast<std::size_t>(info.id)] = button;
        QWidget* placed = button;
        const QColor strip = StripColour(info.id);
        if (strip.isValid()) {
            // The colour each display mode draws in, under its button.
            auto* holder = new QWidget(panel);
            auto* stack = new QVBoxLayout(holder);
            stack->setContentsMargins(0, 0, 0, 0);
            stack->setSpacing(1);
            button->setParent(holder);
            stack->addWidget(button, 0, Qt::AlignHCenter);
            auto* bar5 = new QFrame(holder);
            bar5->setFixedSize(30, 5);
            bar5->setAutoFillBackground(true);
            QPalette palette = bar5->palette();
            palette.setColor(QPalette::Window, strip);
            bar5->setPalette(palette);
            stack->addWidget(bar5, 0, Qt::AlignHCenter);
            placed = holder;
        }
        QHBoxLayout* row = info.leftBlock ? leftRow1 : info.row == 1 ? mainRow1 : mainRow2;
        row->addWidget(placed, 0, Qt::AlignVCenter);
        if (EndsGroup(info.id)) {
            row->addSpacing(10);
        }
    }
    // The lower left corner carries the program's name.
    auto* logo = new QLabel(left);
    logo->setPixmap(icons_->Picture("LOGO", 28));
    auto* name = new QLabel(QStringLiteral("Velmar"), left);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.25);
    name->setFont(nameFont);
    name->setStyleSheet(QStringLiteral("color: #17324d;"));
    leftRow2->addSpacing(6);
    leftRow2->addWidget(logo);
    leftRow2->addSpacing(6);
    leftRow2->addWidget(name);
    for (QHBoxLayout* row : {leftRow1, leftRow2, mainRow1, mainRow2}) {
        row->addStretch(1);
    }
    for (QWidget* block : {left, main}) {
        block->setFixedHeight(2 * kToolbarRowHeight);
    }
    columns->addWidget(left);
    auto* divider = new QFrame(panel);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    columns->addWidget(divider);
    columns->addSpacing(4);
    columns->addWidget(main, 1);
    bar->addWidget(panel);
}

void TMainFormAxs::BuildMenus() {
    QMenu* file = menuBar()->addMenu(Text(kTextFileMenu));
    file->setObjectName(QStringLiteral("FileMenu"));
    amplitudeAction_ = file->addAction(Text(kTextAmplitudeMode), this, [this] { RunAmplitudeModeDialog(); });
    printMenuAction_ = file->addAction(Text(kTextPrintGraphs), this, [this] {
        if (setup_.extensions.print) {
            setup_.extensions.print(*this);
        }
    });
    soundSettingsAction_ = file->addAction(Text(kTextSoundSettings), this, [this] {
        if (setup_.extensions.soundSettings) {
            setup_.extensions.soundSettings(*this);
        }
    });
    newestFirstAction_ = file->addAction(Text(kTextNewestFirst));
    newestFirstAction_->setObjectName(QStringLiteral("NewestFirst"));
    newestFirstAction_->setCheckable(true);
    connect(newestFirstAction_, &QAction::triggered, this,
            [this](bool on) { SetNewestMeasurementsFirst(on); });
    file->addSeparator();
    exitAction_ = file->addAction(Text(kTextExit), this, [this] { close(); });

    QMenu* windows = menuBar()->addMenu(Text(kTextWindowsMenu));
    windows->setObjectName(QStringLiteral("WindowsMenu"));
    tileMenuAction_ = windows->addAction(Text(kTextTile), this, [this] { Tile(); });
    cascadeMenuAction_ = windows->addAction(Text(kTextCascade), this, [this] { Cascade(); });
    windows->addSeparator();
    closeAllMenuAction_ = windows->addAction(Text(kTextCloseAll), this, [this] { CloseAllSignalWindows(); });
    showTreeMenuAction_ = windows->addAction(Text(kTextShowTree), this, [this] { ShowBrowser(); });
    controlMenuAction_ = windows->addAction(Text(kTextShowControl), this,
                                            [this] { OnFrameAction(FrameButton::ShowControl, false); });
    harmonicsMenuAction_ = windows->addAction(Text(kTextShowHarmonics), this,
                                              [this] { OnFrameAction(FrameButton::GarmDialog, false); });

    QMenu* help = menuBar()->addMenu(Text(kTextHelpMenu));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->addAction(Text(kTextHelpContents), this, [this] { OpenHelp(false); });
    help->addAction(Text(kTextHelpSearch), this, [this] { OpenHelp(true); });
    help->addSeparator();
    help->addAction(Text(kTextAbout), this, [this] { ShowAboutBox(); });
}

void TMainFormAxs::BuildFramePopup() {
    framePopup_ = new QMenu(this);
    framePopup_->setObjectName(QStringLiteral("FramePopupMenu"));
    popupPrint_ =
        framePopup_->addAction(Text(kTextPrint), this, [this] { OnFrameAction(FrameButton::Print, false); });
    framePopup_->addSeparator();
    popupTile_ = framePopup_->addAction(Text(kTextTile), this, [this] { Tile(); });
    popupCascade_ = framePopup_->addAction(Text(kTextCascade), this, [this] { Cascade(); });
    popupControl_ = framePopup_->addAction(Text(kTextControlWindow), this,
                                           [this] { OnFrameAction(FrameButton::ShowControl, false); });
    framePopup_->addSeparator();
    framePopup_->addAction(Text(kTextPopupHelpContents), this, [this] { OpenHelp(false); });
    framePopup_->addAction(Text(kTextHelpOnHelp), this, [this] { OpenHelp(false); });
    framePopup_->addSeparator();
    framePopup_->addAction(Text(kTextPopupExit), this, [this] { close(); });
    mdi_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(mdi_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { framePopup_->exec(mdi_->mapToGlobal(position)); });
}

void TMainFormAxs::BuildBrowser() {
    browser_ = new TSelAnythingForm(session_->Root(), *this, menuManager_, *icons_, *ui_);
    browserSub_ = mdi_->addSubWindow(browser_);
    browserSub_->setObjectName(QStringLiteral("BrowserWindow"));
    browserSub_->setWindowIcon(icons_->ActionIcon("TB_TREE"));
    // The browser lives as long as the frame: closing it only puts it aside (F4 brings it back).
    browserSub_->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint |
                                Qt::WindowSystemMenuHint);
    browserSub_->installEventFilter(this);
    browserSub_->resize(520, 600);
    browserSub_->show();
    browser_->Rebuild();
}

void TMainFormAxs::RegisterWindowCommands() {
    // Command 0: the signal view of a node; of every channel below it for nodes that hold none themselves.
    dialogs_->RegisterWindowCommand(kCommandOpen, [this](TDBLevel& node, int) {
        if ((node.GetFlags() & archive::kFlagViewable) != 0) {
            OpenSignalWindowOn(node, true);
            return archive::RefreshCode::None;
        }
        const std::vector<TDBLevel*> nodes = ViewableSubtree(node);
        if (nodes.size() > kViewConfirmAbove &&
            ui_->MessageDialog(UiText(kTextTooManyWindows), common::DialogType::Confirmation,
                               common::kButtonYes | common::kButtonNo) != common::kResultYes) {
            return archive::RefreshCode::None;
        }
        HoldUpdates();
        try {
            for (TDBLevel* each : nodes) {
                if (OpenSignalWindowOn(*each, true) == nullptr) {
                    break;
                }
            }
            if (!nodes.empty()) {
                Tile();
            }
        } catch (...) {
            ReleaseUpdates();
            throw;
        }
        ReleaseUpdates();
        return archive::RefreshCode::None;
    });
}

void TMainFormAxs::RestorePlacement() {
    const common::IniFile ini(placementFile_);
    std::optional<WindowPlacement> placement = ReadWindowPlacement(ini, kPlacementSection);
    QRect available(0, 0, 1280, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        available = screen->availableGeometry();
    }
    if (!placement) {
        WindowPlacement proposed;
        const int width = std::max(kMinimumWidth, available.width() * 9 / 10);
        const int height = std::max(kMinimumHeight, available.height() * 9 / 10);
        proposed.normal = {available.left() + (available.width() - width) / 2,
                           available.top() + (available.height() - height) / 2, width, height};
        placement = proposed;
    }
    const WindowPlacement fitted =
        FitPlacement(*placement, {available.left(), available.top(), available.width(), available.height()},
                     kMinimumWidth, kMinimumHeight);
    setGeometry(fitted.normal.left, fitted.normal.top, fitted.normal.width, fitted.normal.height);
    if (fitted.state == PlacementState::Maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
}

void TMainFormAxs::SavePlacement() {
    if (placementFile_.empty()) {
        return;
    }
    WindowPlacement placement;
    const QRect normal = (isMaximized() || isMinimized()) ? normalGeometry() : geometry();
    if (!normal.isValid()) {
        return;
    }
    placement.normal = {normal.left(), normal.top(), normal.width(), normal.height()};
    placement.state = isMaximized()   ? PlacementState::Maximized
                      : isMinimized() ? PlacementState::Minimized
                                      : PlacementState::Normal;
    try {
        common::IniFile ini(placementFile_);
        WriteWindowPlacement(ini, kPlacementSection, placement);
        ini.UpdateFile();
    } catch (const std::exception& error) {
        // Only the next start's window position is lost.
        std::fprintf(stderr, "velmar: %s\n", error.what());
    }
}

void TMainFormAxs::ShowAsPlaced() {
    if (windowState() & Qt::WindowMaximized) {
        showMaximized();
    } else {
        show();
    }
}

void TMainFormAxs::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placedBrowser_ && browserSub_ != nullptr) {
        placedBrowser_ = true;
        const QSize area = mdi_->viewport()->size();
        const int width = std::clamp(area.width() * 9 / 20, 480, std::max(480, area.width()));
        browserSub_->setGeometry(0, 0, width, std::max(300, area.height()));
    }
}

bool TMainFormAxs::eventFilter(QObject* watched, QEvent* event) {
    if (watched == browserSub_ && event->type() == QEvent::Close && !shuttingDown_) {
        event->ignore();
        browserSub_->showMinimized();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFormAxs::BrowserBuilt() {
    if (splash_) {
        splash_->close();
    }
}

// ---- Shut-down
// ---------------------------------------------------------------------------------------------

void TMainFormAxs::CloseWithoutAsking() {
    closeWithoutAsking_ = true;
    close();
}

void TMainFormAxs::closeEvent(QCloseEvent* event) {
    if (!closeWithoutAsking_) {
        const int answer = ui_->MessageDialog(UiText(kTextExitQuestion), common::DialogType::Confirmation,
                                              common::kButtonYes | common::kButtonNo);
        if (answer != common::kResultYes) {
            event->ignore();
            return;
        }
    }
    shuttingDown_ = true;
    event->accept();
}

bool TMainFormAxs::UpdateMainIni(const std::function<void(common::IniFile&)>& change) {
    const std::filesystem::path path = mainIni_.Path();
    try {
        common::IniFile fresh(path);
        change(fresh);
        fresh.UpdateFile();
        mainIni_ = std::move(fresh);
        return true;
    } catch (const std::exception&) {
        change(mainIni_);
        ui_->MessageDialog(UiFormat(text::kCannotWriteSettings, {path.string()}), common::DialogType::Error,
                           common::kButtonOk);
        return false;
    }
}

// ---- Signal windows
// -------------------------------------------------------------------------------------------

ISignalWindow* TMainFormAxs::SignalWindowOf(QMdiSubWindow* window) {
    return window != nullptr ? dynamic_cast<ISignalWindow*>(window->widget()) : nullptr;
}

std::vector<QMdiSubWindow*> TMainFormAxs::SignalSubWindows() const {
    std::vector<QMdiSubWindow*> windows;
    if (mdi_ == nullptr) {
        return windows;
    }
    for (QMdiSubWindow* window : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        // A closed window waits for its deletion: it is gone for every purpose.
        if (window != browserSub_ && SignalWindowOf(window) != nullptr && !window->isHidden()) {
            windows.push_back(window);
        }
    }
    return windows;
}

std::vector<ISignalWindow*> TMainFormAxs::SignalWindows() const {
    std::vector<ISignalWindow*> windows;
    for (QMdiSubWindow* window : SignalSubWindows()) {
        windows.push_back(SignalWindowOf(window));
    }
    return windows;
}

QMdiSubWindow* TMainFormAxs::ActiveSignalSubWindow() const {
    if (mdi_ == nullptr) {
        return nullptr;
    }
    QMdiSubWindow* current = mdi_->currentSubWindow();
    return current != nullptr && !current->isHidden() && SignalWindowOf(current) != nullptr ? current
                                                                                            : nullptr;
}

ISignalWindow* TMainFormAxs::ActiveSignalWindow() const {
    return SignalWindowOf(ActiveSignalSubWindow());
}

bool TMainFormAxs::OpenSignalWindow(TDBLevel& node, bool show) {
    return OpenSignalWindowOn(node, show) != nullptr;
}

QMdiSubWindow* TMainFormAxs::OpenSignalWindowOn(TDBLevel& node, bool show) {
    ISignalWindow* previous = ActiveSignalWindow();
    const SignalWindowFactory factory = setup_.extensions.signalWindows
                                            ? setup_.extensions.signalWindows
                                            : SignalWindowFactory(CreateSignalWindow);
    QWidget* widget = factory(*this);
    auto* window = dynamic_cast<ISignalWindow*>(widget);
    if (window == nullptr) {
        delete widget;
        return nullptr;
    }
    auto* sub = new QMdiSubWindow();
    sub->setWidget(widget);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(icons_->NodeIcon(node.GetIconKey()));
    mdi_->addSubWindow(sub);
    bool opened = false;
    try {
        opened = window->OpenNode(node);
    } catch (...) {
        delete sub;
        throw;
    }
    if (!opened) {
        delete sub;
        return nullptr;
    }
    if (synchronised_ && previous != nullptr) {
        window->CopyViewFrom(*previous);
    }
    connect(sub, &QObject::destroyed, this, [this] {
        if (!shuttingDown_) {
            QTimer::singleShot(0, this, [this] { UpdateToolbar(); });
        }
    });
    if (show && !sub->isVisible()) {
        sub->show();
        mdi_->setActiveSubWindow(sub);
    }
    UpdateToolbar();
    return sub;
}

void TMainFormAxs::OnSubWindowActivated(QMdiSubWindow* window) {
    if (window == nullptr) {
        return;
    }
    if (ISignalWindow* signal = SignalWindowOf(window)) {
        lastActive_ = window;
        SetLinkMode(signal->Status().linkMode);
    }
    UpdateToolbar();
}

void TMainFormAxs::SignalWindowChanged(ISignalWindow&) {
    UpdateToolbar();
}

void TMainFormAxs::ShiftViews(ISignalWindow& window, double shift) {
    if (synchronised_) {
        for (ISignalWindow* each : SignalWindows()) {
            each->ShiftView(shift);
        }
    } else {
        window.ShiftView(shift);
    }
}

void TMainFormAxs::Arrange(bool tile) {
    HoldUpdates();
    HoldColumns();
    // Minimising the browser may activate another window: the one to bring forward is chosen now.
    const QPointer<QMdiSubWindow> last = lastActive_;
    const bool browserMinimized = browserSub_->isMinimized();
    const bool browserMaximized = browserSub_->isMaximized();
    // The arrangement leaves a minimised window out: the browser keeps its own place.
    if (!browserMinimized) {
        browserSub_->showMinimized();
    }
    if (tile) {
        mdi_->tileSubWindows();
    } else {
        mdi_->cascadeSubWindows();
    }
    if (browserMaximized) {
        browserSub_->showMaximized();
    } else if (!browserMinimized) {
        browserSub_->showNormal();
    }
    browserSub_->lower();
    if (last && !last->isHidden()) {
        mdi_->setActiveSubWindow(last);
        last->raise();
    }
    ReleaseColumns();
    ReleaseUpdates();
    // Restoring a minimised window finishes in posted events that raise it again: the browser goes behind
    // the arranged windows once those are done.
    QTimer::singleShot(0, this, [this, last] {
        if (browserSub_ == nullptr) {
            return;
        }
        browserSub_->lower();
        if (last && !last->isHidden()) {
            last->raise();
        }
    });
}

void TMainFormAxs::Tile() {
    Arrange(true);
}

void TMainFormAxs::Cascade() {
    Arrange(false);
}

void TMainFormAxs::CloseAllSignalWindows() {
    if (closeAllPending_) {
        return;
    }
    closeAllPending_ = true;
    QMetaObject::invokeMethod(
        this, [this] { CloseAllSignalWindowsNow(); }, Qt::QueuedConnection);
}

void TMainFormAxs::CloseAllSignalWindowsNow() {
    closeAllPending_ = false;
    HoldUpdates();
    try {
        // A window may refuse to close; it is asked a few times, not for ever.
        for (int pass = 0; pass < kCloseAllPasses; ++pass) {
            const std::vector<QMdiSubWindow*> windows = SignalSubWindows();
            if (windows.empty()) {
                break;
            }
            for (QMdiSubWindow* window : windows) {
                QPointer<QMdiSubWindow> guard(window);
                if (guard) {
                    guard->close();
                }
            }
        }
    } catch (const std::exception&) {
        // What could not be closed stays open; the rest below still happens.
    }
    if (browserSub_ != nullptr) {
        browserSub_->showNormal();
    }
    SetLinkMode(0);
    linkMode_ = 0;
    SetWindowsSynchronised(false);
    ReleaseUpdates();
}

void TMainFormAxs::ShowBrowser() {
    browserSub_->show();
    browserSub_->showNormal();
    mdi_->setActiveSubWindow(browserSub_);
}

// ---- Toolbar and commands
// ----------------------------------------------------------------------------------

ActiveWindowState TMainFormAxs::CurrentWindowState() const {
    ActiveWindowState state;
    if (const ISignalWindow* window = ActiveSignalWindow()) {
        const SignalWindowStatus status = window->Status();
        state.signalWindowActive = true;
        state.hasData = status.hasData;
        state.decimated = status.decimated;
        state.kind = status.hasData ? status.kind : 0;
    }
    return state;
}

void TMainFormAxs::UpdateToolbar() {
    if (mdi_ == nullptr) {
        return;
    }
    const ActiveWindowState state = CurrentWindowState();
    const FrameButtonSet enabled = EnabledButtons(state);
    const FrameExtensions& ext = setup_.extensions;
    for (const FrameButtonInfo& info : kFrameButtons) {
        bool on = Has(enabled, info.id);
        if (info.id == FrameButton::Print) {
            on = on && static_cast<bool>(ext.print);
        } else if (info.id == FrameButton::ShowControl) {
            on = on && static_cast<bool>(ext.controlForm);
        } else if (info.id == FrameButton::GarmDialog) {
            on = on && static_cast<bool>(ext.harmonicsList);
        }
        Action(info.id)->setEnabled(on);
    }
    const MenuEnabling menu = MenuItemsEnabled(state);
    printMenuAction_->setEnabled(menu.print && static_cast<bool>(ext.print));
    popupPrint_->setEnabled(printMenuAction_->isEnabled());
    tileMenuAction_->setEnabled(menu.tile);
    popupTile_->setEnabled(menu.tile);
    cascadeMenuAction_->setEnabled(menu.cascade);
    popupCascade_->setEnabled(menu.cascade);
    controlMenuAction_->setEnabled(menu.control && static_cast<bool>(ext.controlForm));
    popupControl_->setEnabled(controlMenuAction_->isEnabled());
    harmonicsMenuAction_->setEnabled(menu.harmonics && static_cast<bool>(ext.harmonicsList));
    soundSettingsAction_->setEnabled(static_cast<bool>(ext.soundSettings));

    const ISignalWindow* window = ActiveSignalWindow();
    if (window != nullptr) {
        const SignalWindowStatus status = window->Status();
        stantionPanel_->setText(QStr(status.statusText));
        for (std::size_t i = 0; i < kSwitchButtons.size(); ++i) {
            QAction* action = Action(kSwitchButtons[i]);
            const QSignalBlocker block(action);
            action->setChecked(status.switches[i]);
        }
    } else {
        stantionPanel_->clear();
    }
}

void TMainFormAxs::RunWindowCommand(int command, bool down) {
    if (command >= 1 && command <= 13 && synchronised_) {
        for (ISignalWindow* window : SignalWindows()) {
            window->RunCommand(command, down);
        }
        return;
    }
    if (ISignalWindow* window = ActiveSignalWindow()) {
        window->RunCommand(command, down);
    }
}

void TMainFormAxs::OnFrameAction(FrameButton button, bool checked) {
    const FrameButtonInfo& info = InfoOf(button);
    const FrameExtensions& ext = setup_.extensions;
    switch (info.action) {
        case FrameAction::None: {
            if (info.command >= 5 && info.command <= 7) {
                std::array<bool, 3> down = {Action(FrameButton::Alone)->isChecked(),
                                            Action(FrameButton::Avg)->isChecked(),
                                            Action(FrameButton::UpDown)->isChecked()};
                down = DisplayModeAfterClick(down, info.command - 5);
                const std::array<FrameButton, 3> modes = {FrameButton::Alone, FrameButton::Avg,
                                                          FrameButton::UpDown};
                for (std::size_t i = 0; i < modes.size(); ++i) {
                    const QSignalBlocker block(Action(modes[i]));
                    Action(modes[i])->setChecked(down[i]);
                }
                checked = down[static_cast<std::size_t>(info.command - 5)];
            }
            RunWindowCommand(info.command, checked);
            break;
        }
        case FrameAction::Exit:
            close();
            break;
        case FrameAction::Print:
            if (ext.print && ActiveSignalWindow() != nullptr) {
                ext.print(*this);
            }
            break;
        case FrameAction::HelpContents:
            OpenHelp(false);
            break;
        case FrameAction::HelpSearch:
            OpenHelp(true);
            break;
        case FrameAction::Tile:
            Tile();
            break;
        case FrameAction::Cascade:
            Cascade();
            break;
        case FrameAction::CloseAll:
            CloseAllSignalWindows();
            break;
        case FrameAction::ShowTree:
            ShowBrowser();
            break;
        case FrameAction::ShowControl:
            if (ext.controlForm) {
                ext.controlForm(*this);
            }
            break;
        case FrameAction::ShowHarmonics:
            if (ext.harmonicsList) {
                ext.harmonicsList(*this);
            }
            break;
        case FrameAction::LinkMode:
            SetLinkMode(info.command);
            break;
        case FrameAction::SinhroWindows:
            SetWindowsSynchronised(checked);
            break;
        case FrameAction::PlaySound:
            if (ISignalWindow* window = ActiveSignalWindow()) {
                window->StartPlayback();
            }
            break;
        case FrameAction::StopSound:
            if (ISignalWindow* window = ActiveSignalWindow()) {
                window->StopPlayback();
            }
            break;
    }
}

bool TMainFormAxs::HandleFrameKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
    FrameButton button;
    switch (key) {
        case Qt::Key_PageUp:
            button = FrameButton::PgUp;
            break;
        case Qt::Key_PageDown:
            button = FrameButton::PgDown;
            break;
        case Qt::Key_End:
            button = FrameButton::End;
            break;
        case Qt::Key_Home:
            button = FrameButton::Home;
            break;
        case Qt::Key_Left:
            button = FrameButton::Left;
            break;
        case Qt::Key_Right:
            button = FrameButton::Right;
            break;
        case Qt::Key_Up:
            button = FrameButton::ScaleYMore;
            break;
        case Qt::Key_Down:
            button = FrameButton::ScaleYLess;
            break;
        case Qt::Key_F3:
            button = FrameButton::CloseAll;
            break;
        case Qt::Key_F4:
            button = FrameButton::ShowTree;
            break;
        case Qt::Key_F5:
            button = FrameButton::ShowControl;
            break;
        case Qt::Key_F6:
            button = FrameButton::GarmDialog;
            break;
        case Qt::Key_Insert:
            button = FrameButton::GarmOn;
            break;
        case Qt::Key_Asterisk:
            if (!keypad) {
                return false;
            }
            button = FrameButton::CenterMax;
            break;
        case Qt::Key_Plus:
            if (!keypad) {
                return false;
            }
            button = FrameButton::ScaleXMore;
            break;
        case Qt::Key_Minus:
            if (!keypad) {
                return false;
            }
            button = FrameButton::ScaleXLess;
            break;
        default:
            return false;
    }
    QAction* action = Action(button);
    if (!action->isEnabled()) {
        return false;
    }
    // A two-state button toggles once and acts as clicked.
    action->trigger();
    return true;
}

void TMainFormAxs::keyPressEvent(QKeyEvent* event) {
    if (!HandleFrameKey(event->key(), event->modifiers())) {
        QMainWindow::keyPressEvent(event);
    }
}

void TMainFormAxs::SetLinkMode(int mode) {
    ISignalWindow* active = ActiveSignalWindow();
    if (active == nullptr) {
        return;
    }
    linkMode_ = mode;
    for (ISignalWindow* window : SignalWindows()) {
        window->SetLinkMode(mode, *active);
    }
    active->AnnounceCursor();
}

void TMainFormAxs::SetWindowsSynchronised(bool on) {
    synchronised_ = on;
    {
        const QSignalBlocker block(Action(FrameButton::SinhroWindows));
        Action(FrameButton::SinhroWindows)->setChecked(on);
    }
    ISignalWindow* active = ActiveSignalWindow();
    if (!on || active == nullptr) {
        return;
    }
    active->SynchroniseScales();
    for (ISignalWindow* window : SignalWindows()) {
        if (window != active) {
            window->CopyViewFrom(*active);
        }
    }
}

void TMainFormAxs::RunAmplitudeModeDialog() {
    TFormSpectrMode dialog(settings_.view, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    settings_.view = dialog.Result();
    session_->Program().view = settings_.view;
    UpdateMainIni([this](common::IniFile& ini) { WriteSpectrumModes(ini, settings_.view); });
    SetWindowsSynchronised(false);
    for (ISignalWindow* window : SignalWindows()) {
        window->ViewSettingsChanged();
    }
}

void TMainFormAxs::SetNewestMeasurementsFirst(bool on) {
    settings_.newestMeasurementsFirst = on;
    {
        const QSignalBlocker block(newestFirstAction_);
        newestFirstAction_->setChecked(on);
    }
    UpdateMainIni([on](common::IniFile& ini) { WriteNewestMeasurementsFirst(ini, on); });
    if (browser_ != nullptr) {
        browser_->Rebuild();
    }
}

// ---- Holding
// ----------------------------------------------------------------------------------------------------

void TMainFormAxs::HoldUpdates() {
    if (updates_.Hold()) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        setUpdatesEnabled(false);
    }
}

void TMainFormAxs::ReleaseUpdates() {
    const NestingCounter::Release release = updates_.Unhold();
    if (release == NestingCounter::Release::Ignored) {
        return;
    }
    if (release == NestingCounter::Release::Outermost) {
        setUpdatesEnabled(true);
        QGuiApplication::restoreOverrideCursor();
    }
    UpdateToolbar();
    update();
}

void TMainFormAxs::HoldColumns() {
    columns_.Hold();
}

void TMainFormAxs::ReleaseColumns() {
    if (columns_.Unhold() == NestingCounter::Release::Ignored) {
        return;
    }
    for (ISignalWindow* window : SignalWindows()) {
        window->RebuildColumns();
    }
}

// ---- Transform records
// --------------------------------------------------------------------------------------

bool TMainFormAxs::ApplyToActiveWindow(archive::TransformParams& params) {
    ISignalWindow* window = ActiveSignalWindow();
    return window != nullptr && window->ApplyParams(params);
}

archive::TransformParams TMainFormAxs::ActiveWindowParameters() const {
    const ISignalWindow* window = ActiveSignalWindow();
    return window != nullptr ? window->Params() : archive::TransformParams{};
}

void TMainFormAxs::ApplyToAllWindows(const archive::TransformParams& params) {
    if (ActiveSignalWindow() == nullptr) {
        return;
    }
    HoldUpdates();
    HoldColumns();
    for (ISignalWindow* window : SignalWindows()) {
        archive::TransformParams copy = params;
        try {
            window->ApplyParams(copy);
        } catch (const std::exception&) {
            // One window that cannot show the record does not stop the others.
        }
    }
    ReleaseColumns();
    ReleaseUpdates();
}

bool TMainFormAxs::OpenInNewWindow(archive::TransformParams& params) {
    ISignalWindow* active = ActiveSignalWindow();
    if (active == nullptr || active->SourceNode() == nullptr) {
        return false;
    }
    HoldUpdates();
    bool applied = false;
    try {
        if (QMdiSubWindow* sub = OpenSignalWindowOn(*active->SourceNode(), false)) {
            archive::TransformParams copy = params;
            ISignalWindow* window = SignalWindowOf(sub);
            applied = window != nullptr && window->ApplyParams(copy);
            if (applied) {
                params = copy;
                sub->show();
            } else {
                delete sub;
            }
        }
    } catch (...) {
        ReleaseUpdates();
        throw;
    }
    ReleaseUpdates();
    return applied;
}

std::pair<double, double> TMainFormAxs::ActiveTimeRange() const {
    const ISignalWindow* window = ActiveSignalWindow();
    return window != nullptr ? window->TimeRange() : std::pair<double, double>{0.0, 0.0};
}

// ---- Help and about
// ---------------------------------------------------------------------------------------------

void TMainFormAxs::OpenHelp(bool search) {
    const std::filesystem::path exeDir = QCoreApplication::applicationDirPath().toStdString();
    const std::filesystem::path help = common::ResourceDirectory(exeDir) / "help" / "index.html";
    std::error_code ec;
    if (!std::filesystem::exists(help, ec)) {
        ui_->MessageDialog(UiFormat(text::kHelpMissing, {help.string()}), common::DialogType::Information,
                           common::kButtonOk);
        return;
    }
    QUrl url = QUrl::fromLocalFile(QStr(help.string()));
    if (search) {
        url.setFragment(QStringLiteral("search"));
    }
    QDesktopServices::openUrl(url);
}

void TMainFormAxs::ShowAboutBox() {
    TVelmarAboutBox box(mainIni_, *icons_, this);
    box.exec();
}

}  // namespace velmar::ui
