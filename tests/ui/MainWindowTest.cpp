// The real main window and archive browser over a copy of the demo archive: start-up and shut-down, the
// browser's commands, the dialogs, marks, keys, the picker and the guard around the event loop.

#include <gtest/gtest.h>

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "UiTestSupport.hpp"
#include "archive/AgregatDBLevel.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "archive/StantionDBLevel.hpp"
#include "common/AtomicFile.hpp"
#include "common/Codepage.hpp"
#include "common/Paths.hpp"
#include "ui/ArchiveTreeWidget.hpp"
#include "ui/BrowserLogic.hpp"
#include "ui/FormSpectrMode.hpp"
#include "ui/IconStore.hpp"
#include "ui/MainFormAxs.hpp"
#include "ui/NameSetupDlg.hpp"
#include "ui/NewAgregatDlg.hpp"
#include "ui/NewStantionDlg.hpp"
#include "ui/SelAnythingForm.hpp"
#include "ui/SelectForm.hpp"
#include "ui/SignalWindow.hpp"
#include "ui/SingleInstance.hpp"
#include "ui/VelmarApplication.hpp"
#include "ui/WindowPlacement.hpp"

namespace velmar::ui {
namespace {

using archive::TDBLevel;
using test::ScriptedUi;
using test::TestHome;
namespace fs = std::filesystem;

std::string ReadIniText(const fs::path& path) {
    return common::Cp1251ToUtf8(common::ReadWholeFile(path));
}

// A signal window that shows a spectrum and records what the frame asks of it.
class FakeSignalWindow final : public QWidget, public ISignalWindow {
  public:
    archive::TDBLevel* node = nullptr;
    SignalWindowStatus status;
    std::vector<std::pair<int, bool>> commands;
    int viewCopies = 0;
    int settingsChanges = 0;

    FakeSignalWindow() {
        status.hasData = true;
        status.kind = common::kKindSpectrum;
        status.decimated = true;
        status.switches[0] = true;
        status.statusText = "fake";
    }
    bool OpenNode(archive::TDBLevel& opened) override {
        node = &opened;
        return true;
    }
    archive::TDBLevel* SourceNode() const override { return node; }
    SignalWindowStatus Status() const override { return status; }
    void RunCommand(int command, bool down) override { commands.emplace_back(command, down); }
    void CopyViewFrom(ISignalWindow&) override { ++viewCopies; }
    void ViewSettingsChanged() override { ++settingsChanges; }
};

class MainWindowTest : public ::testing::Test {
  protected:
    void Start() {
        MainFormSetup setup;
        setup.baseDir = home_.Base();
        setup.ui = &ui_;
        setup.splash = false;
        setup.arguments = arguments_;
        if (fakeWindows_) {
            setup.extensions.signalWindows = [this](ISignalWindowHost&) {
                auto* window = new FakeSignalWindow();
                fakes_.push_back(window);
                return static_cast<QWidget*>(window);
            };
        }
        window_ = std::make_unique<TMainFormAxs>(std::move(setup));
        window_->show();
        browser_ = window_->Browser();
        tree_ = browser_->OutlineAnything();
        root_ = &window_->ArchiveRoot();
    }

    void TearDown() override {
        window_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TDBLevel* Station(const std::string& name) { return test::ChildNamed(*root_, name); }
    TDBLevel* Machine() { return test::ChildNamed(*Station("Котельная"), "К-1 воздушный"); }
    TDBLevel* NewestMeasurement() { return test::LastChildAtLevel(*Machine(), archive::kLevelMeasurement); }

    // Selects a node through the tree, opening the way to it as a user would.
    void Select(TDBLevel* node) {
        ASSERT_NE(node, nullptr);
        std::vector<TDBLevel*> chain;
        for (TDBLevel* at = node->Parent(); at != nullptr; at = at->Parent()) {
            chain.push_back(at);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            tree_->ExpandNode(**it);
        }
        QTreeWidgetItem* item = tree_->ItemOf(node);
        ASSERT_NE(item, nullptr) << node->GetName();
        tree_->setCurrentItem(item);
        ASSERT_EQ(browser_->SelectedNode(), node);
    }

    std::vector<int> MenuCommands(QMenu* menu) const {
        std::vector<int> commands;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->data().isValid()) {
                commands.push_back(action->data().toInt());
            }
        }
        return commands;
    }

    QToolButton* Button(BrowserButton button) const { return browser_->Button(button); }

    TestHome home_;
    ScriptedUi ui_;
    std::vector<std::string> arguments_;
    bool fakeWindows_ = false;
    std::vector<QPointer<FakeSignalWindow>> fakes_;
    std::unique_ptr<TMainFormAxs> window_;
    TSelAnythingForm* browser_ = nullptr;
    ArchiveTreeWidget* tree_ = nullptr;
    TDBLevel* root_ = nullptr;
};

// ---- Start-up and shut-down -------------------------------------------------------------------------------

TEST_F(MainWindowTest, StartsOnTheArchiveWithTheBrowserBuilt) {
    Start();
    EXPECT_EQ(window_->windowTitle(), QString::fromStdString(root_->GetName()));
    EXPECT_EQ(browser_->windowTitle(), QStringLiteral("Работа с архивом информации"));
    ASSERT_EQ(tree_->topLevelItemCount(), 1);
    QTreeWidgetItem* rootItem = tree_->topLevelItem(0);
    EXPECT_TRUE(rootItem->isExpanded()) << "the root starts open";
    std::vector<QString> stations;
    for (int i = 0; i < rootItem->childCount(); ++i) {
        stations.push_back(rootItem->child(i)->text(0));
    }
    EXPECT_EQ(stations,
              (std::vector<QString>{QStringLiteral("  Котельная"), QStringLiteral("  Насосная станция №1")}))
        << "passports and name sets are not shown";
    EXPECT_EQ(root_->Context().browser, browser_);
    EXPECT_FALSE(window_->CalibrationMode());
    EXPECT_GE(window_->width(), TMainFormAxs::kMinimumWidth);
    EXPECT_EQ(window_->Action(FrameButton::CloseAll)->toolTip(), QStringLiteral("Закрыть все окна <F3>"));
}

TEST_F(MainWindowTest, CalibrationNeedsTheExactArgument) {
    arguments_ = {"Calibration"};
    Start();
    EXPECT_FALSE(window_->CalibrationMode());
    window_.reset();
    arguments_ = {"calibration"};
    Start();
    EXPECT_TRUE(window_->CalibrationMode());
}

TEST_F(MainWindowTest, ClosingAsksAndOnlyYesCloses) {
    Start();
    ui_.answers = {common::kResultNo};
    EXPECT_FALSE(window_->close());
    EXPECT_TRUE(window_->isVisible());
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Закончить работу с программой ?");
    EXPECT_EQ(ui_.messages[0].buttons, common::kButtonYes | common::kButtonNo);
    ui_.answers = {common::kResultYes};
    EXPECT_TRUE(window_->close());
    EXPECT_TRUE(window_->ShuttingDown());
}

TEST_F(MainWindowTest, PlacementIsSavedAtTheEndAndRestoredAtTheStart) {
    Start();
    window_->setGeometry(40, 50, 1000, 640);
    window_.reset();
    const fs::path placement = home_.IniDir() / "QXMain.ini";
    ASSERT_TRUE(fs::exists(placement));
    const std::string text = ReadIniText(placement);
    EXPECT_NE(text.find("[MainFormAxs]"), std::string::npos);
    EXPECT_NE(text.find("Width=1000"), std::string::npos);
    EXPECT_NE(text.find("Height=640"), std::string::npos);
    Start();
    // The restored frame is the saved one made fit for this screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const WindowPlacement expected =
        FitPlacement({{40, 50, 1000, 640}, PlacementState::Normal},
                     {screen.left(), screen.top(), screen.width(), screen.height()},
                     TMainFormAxs::kMinimumWidth, TMainFormAxs::kMinimumHeight);
    EXPECT_EQ(window_->geometry(), QRect(expected.normal.left, expected.normal.top, expected.normal.width,
                                         expected.normal.height));
}

TEST_F(MainWindowTest, WithoutSignalWindowsOnlyFrameCommandsAreEnabled) {
    Start();
    for (const FrameButtonInfo& info : kFrameButtons) {
        const bool expected = info.id == FrameButton::Exit || info.id == FrameButton::Help ||
                              info.id == FrameButton::Search || info.id == FrameButton::CloseAll ||
                              info.id == FrameButton::ShowTree;
        EXPECT_EQ(window_->Action(info.id)->isEnabled(), expected) << info.objectName;
    }
    EXPECT_TRUE(window_->AmplitudeModeAction()->isEnabled());
    EXPECT_TRUE(window_->NewestFirstAction()->isEnabled());
}

// ---- Selection fills the command buttons
// --------------------------------------------------------------------

TEST_F(MainWindowTest, SelectingNodesFillsTheButtonsWithTheirCommands) {
    Start();
    Select(root_);
    EXPECT_TRUE(Button(BrowserButton::New)->isEnabled());
    EXPECT_EQ(Button(BrowserButton::New)->menu(), nullptr) << "one command: no arrow";
    EXPECT_EQ(Button(BrowserButton::New)->toolTip(), QStringLiteral("Привязка станции"));
    EXPECT_FALSE(Button(BrowserButton::Edit)->isEnabled());
    EXPECT_FALSE(Button(BrowserButton::Delete)->isEnabled());
    EXPECT_FALSE(Button(BrowserButton::ReadDac)->isEnabled());

    Select(Station("Котельная"));
    EXPECT_TRUE(Button(BrowserButton::Delete)->isEnabled());
    EXPECT_EQ(MenuCommands(Button(BrowserButton::New)->menu()), (std::vector<int>{22, 26}))
        << "a shop below the station and a machine: two commands, an arrow";
    EXPECT_EQ(Button(BrowserButton::New)->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(Button(BrowserButton::Edit)->toolTip(), QStringLiteral("Исправить наименование станции"));

    TDBLevel* measurement = NewestMeasurement();
    Select(measurement);
    ASSERT_NE(Button(BrowserButton::View)->menu(), nullptr);
    EXPECT_EQ(MenuCommands(Button(BrowserButton::View)->menu()), (std::vector<int>{61, 62, 63}));
    EXPECT_EQ(browser_->DefaultCommand(), 61);
    EXPECT_TRUE(Button(BrowserButton::View)->menu()->defaultAction()->font().bold());
    EXPECT_EQ(Button(BrowserButton::Delete)->toolTip(), QStringLiteral("Удалить замер"));
    const std::vector<int> popup = MenuCommands(browser_->TreePopupMenu());
    for (int command : {10, 12, 48, 61, 62, 63}) {
        EXPECT_NE(std::find(popup.begin(), popup.end(), command), popup.end()) << command;
    }
    EXPECT_TRUE(browser_->TreePopupMenu()->actions().contains(browser_->PopupMark()));
    EXPECT_TRUE(browser_->PopupMark()->isEnabled());
}

TEST_F(MainWindowTest, SwitchedOffCommandIsOfferedNowhere) {
    home_.EditMainIni([](common::IniFile& ini) { ini.WriteInteger("ProgramFunctions", "Enabled61", 0); });
    Start();
    for (TDBLevel* node : {static_cast<TDBLevel*>(Machine()), NewestMeasurement(), Station("Котельная")}) {
        Select(node);
        for (QMenu* menu : {browser_->TreePopupMenu(), Button(BrowserButton::View)->menu()}) {
            if (menu != nullptr) {
                const std::vector<int> commands = MenuCommands(menu);
                EXPECT_EQ(std::find(commands.begin(), commands.end(), 61), commands.end()) << node->GetName();
            }
        }
        EXPECT_NE(Button(BrowserButton::View)->property("command").toInt(), 2000000 + 61);
    }
    Select(NewestMeasurement());
    EXPECT_EQ(browser_->DefaultCommand(), 0);
}

// ---- Creating, renaming, deleting
// ------------------------------------------------------------------------------

TEST_F(MainWindowTest, NewStationThroughItsDialogWritesItsDirectory) {
    Start();
    Select(root_);
    QString proposed;
    auto done = test::WhenModal<TNewStantionDlg>([&proposed](TNewStantionDlg& dialog) {
        dialog.NameEdit()->clear();
        QTest::keyClicks(dialog.NameEdit(), QStringLiteral("Kompr 2"));
        proposed = dialog.DirEdit()->text();
        dialog.NameEdit()->setText(QStringLiteral("Компрессорная"));
        dialog.DirEdit()->setText(QStringLiteral("_KOMPR"));
        dialog.accept();
    });
    browser_->RunCommand(21);
    ASSERT_TRUE(*done);
    EXPECT_EQ(proposed, QStringLiteral("_Kompr 2")) << "typing a name proposes its directory";
    const fs::path inf = home_.Archive() / "_KOMPR" / "UNIT_D.INF";
    ASSERT_TRUE(fs::exists(inf));
    EXPECT_NE(ReadIniText(inf).find("Name=Компрессорная"), std::string::npos);
    TDBLevel* station = Station("Компрессорная");
    ASSERT_NE(station, nullptr);
    EXPECT_NE(tree_->ItemOf(station), nullptr) << "the tree shows the new station";
}

TEST_F(MainWindowTest, NewMachineThroughItsDialogWritesItsDirectory) {
    Start();
    TDBLevel* station = Station("Насосная станция №1");
    Select(station);
    QString proposedName;
    QString proposedDirectory;
    auto done = test::WhenModal<TNewAgregatDlg>([&](TNewAgregatDlg& dialog) {
        ASSERT_GT(dialog.GroupListBox()->count(), 0);
        dialog.GroupListBox()->setCurrentRow(0);
        ASSERT_GT(dialog.MarkListBox()->count(), 0);
        dialog.MarkListBox()->setCurrentRow(0);
        proposedName = dialog.NameEdit()->text();
        proposedDirectory = dialog.DirEdit()->text();
        dialog.NameEdit()->setText(QStringLiteral("Н-4 резервный"));
        dialog.DirEdit()->setText(QStringLiteral("_AGR009"));
        dialog.ComboBoxNameFile()->setCurrentIndex(1);
        dialog.accept();
    });
    browser_->RunCommand(26);
    ASSERT_TRUE(*done);
    EXPECT_TRUE(proposedName.endsWith(QLatin1Char('-'))) << proposedName.toStdString();
    EXPECT_TRUE(proposedDirectory.startsWith(QLatin1Char('_'))) << proposedDirectory.toStdString();
    const fs::path inf = home_.Archive() / "_STAN001" / "_AGR009" / "UNIT_A.INF";
    ASSERT_TRUE(fs::exists(inf));
    const std::string text = ReadIniText(inf);
    EXPECT_NE(text.find("Name=Н-4 резервный"), std::string::npos);
    EXPECT_NE(text.find("Psp=NS_D320.psp"), std::string::npos);
    EXPECT_NE(text.find("Names=NS4RAD.NAM"), std::string::npos);
    TDBLevel* machine = test::ChildNamed(*station, "Н-4 резервный");
    ASSERT_NE(machine, nullptr);
    tree_->ExpandNode(*station);
    EXPECT_NE(tree_->ItemOf(machine), nullptr);
}

TEST_F(MainWindowTest, RefusedMachineAnswersShowTheDialogAgain) {
    Start();
    Select(Station("Насосная станция №1"));
    int shown = 0;
    std::function<void(TNewAgregatDlg&)> answer;
    answer = [&](TNewAgregatDlg& dialog) {
        ++shown;
        if (shown == 1) {
            // No passport chosen: the station refuses and asks again.
            dialog.GroupListBox()->setCurrentRow(-1);
            dialog.NameEdit()->setText(QStringLiteral("Без паспорта"));
            test::WhenModal<TNewAgregatDlg>(answer);
            dialog.accept();
        } else {
            EXPECT_EQ(dialog.NameEdit()->text(), QStringLiteral("Без паспорта")) << "the answers come back";
            dialog.reject();
        }
    };
    test::WhenModal<TNewAgregatDlg>(answer);
    browser_->RunCommand(26);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(ui_.Said("Нет паспорта"));
}

TEST_F(MainWindowTest, RenamingToASiblingsNameIsRefusedWithAMessage) {
    Start();
    TDBLevel* station = Station("Котельная");
    TDBLevel* shop = test::FirstChildAtLevel(*station, 3);
    ASSERT_NE(shop, nullptr);
    TDBLevel* machine = test::ChildNamed(*shop, "ДС-1");
    Select(machine);
    ui_.edits = {std::string("ДС-2"), std::nullopt};
    browser_->RunCommand(4);
    EXPECT_TRUE(ui_.Said("Такое имя уже существует !"));
    EXPECT_EQ(machine->GetName(), "ДС-1");
    EXPECT_EQ(ui_.editPrompts.size(), 2u) << "asked again after the refusal";

    ui_.edits = {std::string("ДС-1А")};
    browser_->RunCommand(4);
    EXPECT_EQ(machine->GetName(), "ДС-1А");
    EXPECT_EQ(tree_->ItemOf(machine)->text(0), QStringLiteral("  ДС-1А"));
}

TEST_F(MainWindowTest, DeletionAsksFirstAndSelectsWhatIsLeft) {
    Start();
    TDBLevel* machine = Machine();
    TDBLevel* measurement = NewestMeasurement();
    const fs::path file = dynamic_cast<archive::TPathDBLevel*>(measurement)->GetPath();
    Select(measurement);
    ui_.answers = {common::kResultNo};
    browser_->RunCommand(48);
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, "Удалить замер ?");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(browser_->SelectedNode(), measurement);

    ui_.answers = {common::kResultYes};
    browser_->RunCommand(48);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(browser_->SelectedNode(), machine) << "the deepest node left on the remembered path";
    QTreeWidgetItem* machineItem = tree_->ItemOf(machine);
    ASSERT_NE(machineItem, nullptr);
    EXPECT_TRUE(machineItem->isExpanded()) << "expansion survives the rebuild";
    EXPECT_EQ(machineItem->childCount(), 11);
}

TEST_F(MainWindowTest, DeletedNodeTakesItsWindowAlong) {
    Start();
    TDBLevel* measurement = NewestMeasurement();
    TDBLevel* direction = test::FirstChildAtLevel(
        *test::FirstChildAtLevel(*measurement, archive::kLevelPoint), archive::kLevelDirection);
    ASSERT_NE(window_->OpenSignalWindowOn(*direction, true), nullptr);
    EXPECT_EQ(window_->SignalSubWindows().size(), 1u);
    Select(measurement);
    ui_.answers = {common::kResultYes};
    browser_->RunCommand(48);
    EXPECT_TRUE(test::SpinUntil([this] { return window_->SignalSubWindows().empty(); }));
}

// ---- Marks and views
// --------------------------------------------------------------------------------------------

TEST_F(MainWindowTest, MarkedDirectionsOpenExactlyTheirWindowsAndLoseTheirMarks) {
    Start();
    TDBLevel* machine = Machine();
    TDBLevel* oldest = test::FirstChildAtLevel(*machine, archive::kLevelMeasurement);
    TDBLevel* newest = NewestMeasurement();
    TDBLevel* a = test::FirstChildAtLevel(*test::FirstChildAtLevel(*oldest, archive::kLevelPoint),
                                          archive::kLevelDirection);
    TDBLevel* b = test::LastChildAtLevel(*test::FirstChildAtLevel(*newest, archive::kLevelPoint),
                                         archive::kLevelDirection);
    Select(a);
    const QIcon plain = tree_->ItemOf(a)->icon(0);
    EXPECT_EQ(browser_->PopupMark()->text(), QStringLiteral("Отметить"));
    browser_->PopupMark()->trigger();
    EXPECT_TRUE(a->IsMarked());
    EXPECT_EQ(a->GetIconName().substr(a->GetIconName().size() - 2), "_M");
    EXPECT_NE(tree_->ItemOf(a)->icon(0).cacheKey(), plain.cacheKey()) << "the mark shows on the icon";
    EXPECT_EQ(browser_->PopupMark()->text(), QStringLiteral("Сбросить отметку"));
    Select(b);
    browser_->ToggleMark();
    Select(machine);

    browser_->RunCommand(61);
    ASSERT_EQ(window_->SignalSubWindows().size(), 2u);
    std::vector<TDBLevel*> opened;
    for (ISignalWindow* window : window_->SignalWindows()) {
        opened.push_back(window->SourceNode());
    }
    EXPECT_EQ(opened, (std::vector<TDBLevel*>{b, a}));
    EXPECT_FALSE(a->IsMarked());
    EXPECT_FALSE(b->IsMarked());
    EXPECT_NE(window_->StantionPanel()->text().toStdString().find("К-1 воздушный"), std::string::npos)
        << "the status panel names the active channel's levels";
}

TEST_F(MainWindowTest, ClearingMarksReachesEveryLoadedNode) {
    Start();
    TDBLevel* measurement = NewestMeasurement();
    Select(measurement);
    browser_->ToggleMark();
    Select(Machine());
    browser_->ToggleMark();
    browser_->PopupClearMark()->trigger();
    EXPECT_FALSE(measurement->IsMarked());
    EXPECT_FALSE(Machine()->IsMarked());
}

TEST_F(MainWindowTest, ViewingMoreThanTwentyWindowsAsksFirst) {
    Start();
    Select(Machine());
    ui_.answers = {common::kResultNo};
    browser_->RunCommand(61);
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, "Вы выбрали слишком много окон. Показать их ?");
    EXPECT_TRUE(window_->SignalSubWindows().empty());
}

TEST_F(MainWindowTest, ViewingAMeasurementOpensItsChannelsTiled) {
    Start();
    TDBLevel* measurement = NewestMeasurement();
    Select(measurement);
    const std::size_t expected = ViewableSubtree(*measurement).size();
    ASSERT_GT(expected, 1u);
    const QRect browserPlace = window_->BrowserWindow()->geometry();
    browser_->RunCommand(61);
    EXPECT_EQ(window_->SignalSubWindows().size(), expected);
    EXPECT_EQ(window_->BrowserWindow()->geometry(), browserPlace) << "tiling leaves the browser where it was";
    EXPECT_FALSE(window_->BrowserWindow()->isMinimized());
    EXPECT_TRUE(test::SpinUntil([this] {
        return window_->MdiArea()->subWindowList(QMdiArea::StackingOrder).front() == window_->BrowserWindow();
    })) << "the browser is behind the arranged windows";
    EXPECT_EQ(window_->UpdateHoldDepth(), 0);
    EXPECT_TRUE(window_->Action(FrameButton::Tile)->isEnabled()) << "a signal window is active";
    EXPECT_TRUE(window_->Action(FrameButton::Home)->isEnabled()) << "it shows the channel's data";
    EXPECT_FALSE(window_->Action(FrameButton::Print)->isEnabled());

    window_->HandleFrameKey(Qt::Key_F3, Qt::NoModifier);
    EXPECT_TRUE(test::SpinUntil([this] { return window_->SignalSubWindows().empty(); }));
    EXPECT_FALSE(window_->BrowserWindow()->isMinimized());
    EXPECT_FALSE(window_->WindowsSynchronised());
    EXPECT_EQ(window_->LinkMode(), 0);
    EXPECT_TRUE(window_->StantionPanel()->text().isEmpty());
}

TEST_F(MainWindowTest, KeysActOnlyThroughEnabledButtons) {
    Start();
    window_->BrowserWindow()->showMinimized();
    EXPECT_TRUE(window_->HandleFrameKey(Qt::Key_F4, Qt::NoModifier));
    EXPECT_FALSE(window_->BrowserWindow()->isMinimized());
    EXPECT_FALSE(window_->HandleFrameKey(Qt::Key_Insert, Qt::NoModifier)) << "no spectrum shown";
    EXPECT_FALSE(window_->Action(FrameButton::GarmOn)->isChecked());
    EXPECT_FALSE(window_->HandleFrameKey(Qt::Key_Plus, Qt::NoModifier)) << "only the numeric pad's plus";
    EXPECT_FALSE(window_->HandleFrameKey(Qt::Key_Home, Qt::NoModifier));
}

TEST_F(MainWindowTest, DoubleClickOnADirectionOpensItsWindow) {
    Start();
    TDBLevel* direction = test::FirstChildAtLevel(
        *test::FirstChildAtLevel(*NewestMeasurement(), archive::kLevelPoint), archive::kLevelDirection);
    Select(direction);
    emit tree_->itemActivated(tree_->currentItem(), 0);
    ASSERT_EQ(window_->SignalWindows().size(), 1u);
    EXPECT_EQ(window_->SignalWindows().front()->SourceNode(), direction);
}

// ---- Signal windows behind the seam
// ------------------------------------------------------------------------

TEST_F(MainWindowTest, ToolbarFollowsTheActiveSignalWindowsData) {
    fakeWindows_ = true;
    Start();
    TDBLevel* direction = test::FirstChildAtLevel(
        *test::FirstChildAtLevel(*NewestMeasurement(), archive::kLevelPoint), archive::kLevelDirection);
    ASSERT_NE(window_->OpenSignalWindowOn(*direction, true), nullptr);
    EXPECT_TRUE(window_->Action(FrameButton::Home)->isEnabled());
    EXPECT_TRUE(window_->Action(FrameButton::GarmOn)->isEnabled()) << "a spectrum";
    EXPECT_FALSE(window_->Action(FrameButton::PowerOn)->isEnabled()) << "not harmonics";
    EXPECT_FALSE(window_->Action(FrameButton::PlaySound)->isEnabled());
    EXPECT_FALSE(window_->Action(FrameButton::Print)->isEnabled()) << "no printing is plugged in";
    EXPECT_EQ(window_->StantionPanel()->text(), QStringLiteral("fake"));
    EXPECT_TRUE(window_->HandleFrameKey(Qt::Key_Home, Qt::NoModifier));
    ASSERT_EQ(fakes_.size(), 1u);
    EXPECT_EQ(fakes_[0]->commands.back(), (std::pair<int, bool>{21, false}));
}

TEST_F(MainWindowTest, SynchronisedWindowsAllTakeInsertOnceAndZoom) {
    fakeWindows_ = true;
    Start();
    TDBLevel* point = test::FirstChildAtLevel(*NewestMeasurement(), archive::kLevelPoint);
    for (TDBLevel* direction = point->FirstChild(); direction != nullptr; direction = point->NextChild(1)) {
        ASSERT_NE(window_->OpenSignalWindowOn(*direction, true), nullptr);
    }
    ASSERT_GE(fakes_.size(), 2u);
    window_->Action(FrameButton::SinhroWindows)->trigger();
    EXPECT_TRUE(window_->WindowsSynchronised());
    EXPECT_EQ(fakes_.front()->viewCopies, 1) << "the others copy the active window's view";

    EXPECT_TRUE(window_->HandleFrameKey(Qt::Key_Insert, Qt::NoModifier));
    EXPECT_TRUE(window_->Action(FrameButton::GarmOn)->isChecked()) << "toggled once";
    EXPECT_TRUE(window_->HandleFrameKey(Qt::Key_Up, Qt::NoModifier));
    EXPECT_TRUE(window_->HandleFrameKey(Qt::Key_Minus, Qt::KeypadModifier));
    for (const auto& fake : fakes_) {
        EXPECT_EQ(fake->commands, (std::vector<std::pair<int, bool>>{{8, true}, {3, false}, {2, false}}));
    }
    // Navigation goes to the active window only.
    EXPECT_TRUE(window_->HandleFrameKey(Qt::Key_End, Qt::NoModifier));
    int navigated = 0;
    for (const auto& fake : fakes_) {
        navigated += static_cast<int>(
            std::count(fake->commands.begin(), fake->commands.end(), std::pair<int, bool>{26, false}));
    }
    EXPECT_EQ(navigated, 1);
}

TEST_F(MainWindowTest, TheOnlyPressedDisplayModeButtonStaysPressed) {
    fakeWindows_ = true;
    Start();
    TDBLevel* direction = test::FirstChildAtLevel(
        *test::FirstChildAtLevel(*NewestMeasurement(), archive::kLevelPoint), archive::kLevelDirection);
    ASSERT_NE(window_->OpenSignalWindowOn(*direction, true), nullptr);
    QAction* alone = window_->Action(FrameButton::Alone);
    ASSERT_TRUE(alone->isEnabled());
    ASSERT_TRUE(alone->isChecked());
    alone->trigger();
    EXPECT_TRUE(alone->isChecked());
    EXPECT_EQ(fakes_[0]->commands.back(), (std::pair<int, bool>{5, true}));
    window_->Action(FrameButton::Avg)->trigger();
    EXPECT_TRUE(window_->Action(FrameButton::Avg)->isChecked());
    EXPECT_EQ(fakes_[0]->commands.back(), (std::pair<int, bool>{6, true}));
}

TEST_F(MainWindowTest, AmplitudeModesReachEverySignalWindow) {
    fakeWindows_ = true;
    Start();
    TDBLevel* point = test::FirstChildAtLevel(*NewestMeasurement(), archive::kLevelPoint);
    for (TDBLevel* direction = point->FirstChild(); direction != nullptr; direction = point->NextChild(1)) {
        window_->OpenSignalWindowOn(*direction, true);
    }
    window_->SetWindowsSynchronised(true);
    test::WhenModal<TFormSpectrMode>([](TFormSpectrMode& dialog) { dialog.accept(); });
    window_->RunAmplitudeModeDialog();
    EXPECT_FALSE(window_->WindowsSynchronised());
    for (const auto& fake : fakes_) {
        EXPECT_EQ(fake->settingsChanges, 1);
    }
}

// ---- Settings from the main window
// -------------------------------------------------------------------------------

TEST_F(MainWindowTest, NewestFirstPutsTheHighestNumberOnTop) {
    home_.EditMainIni([](common::IniFile& ini) { ini.WriteInteger("View", "NewMeasurementsFirst", 0); });
    Start();
    Select(Machine());
    tree_->ExpandNode(*Machine());
    QTreeWidgetItem* machineItem = tree_->ItemOf(Machine());
    EXPECT_TRUE(machineItem->child(0)->text(0).endsWith(QStringLiteral("№1")));
    window_->NewestFirstAction()->trigger();
    EXPECT_NE(ReadIniText(home_.MainIni()).find("NewMeasurementsFirst=1"), std::string::npos);
    machineItem = tree_->ItemOf(Machine());
    ASSERT_NE(machineItem, nullptr);
    EXPECT_TRUE(machineItem->child(0)->text(0).endsWith(QStringLiteral("№12")));
    EXPECT_EQ(tree_->NodeOf(machineItem->child(0)), NewestMeasurement());
}

TEST_F(MainWindowTest, AmplitudeModesAreWrittenAndUnsynchroniseTheWindows) {
    Start();
    window_->SetWindowsSynchronised(true);
    auto done = test::WhenModal<TFormSpectrMode>([](TFormSpectrMode& dialog) {
        dialog.Group(0)->button(0)->click();
        dialog.Group(1)->button(2)->click();
        dialog.accept();
    });
    window_->AmplitudeModeAction()->trigger();
    ASSERT_TRUE(*done);
    const std::string text = ReadIniText(home_.MainIni());
    EXPECT_NE(text.find("SpectrViewModeA=0"), std::string::npos);
    EXPECT_NE(text.find("SpectrViewMode=2"), std::string::npos);
    EXPECT_NE(text.find("SpectrViewModeS=1"), std::string::npos);
    EXPECT_EQ(window_->Settings().view.spectrViewModeA, 0);
    EXPECT_FALSE(window_->WindowsSynchronised());
    EXPECT_FALSE(window_->Action(FrameButton::SinhroWindows)->isChecked());
}

TEST_F(MainWindowTest, HoldsNestAndReleaseOnce) {
    Start();
    window_->HoldUpdates();
    window_->HoldUpdates();
    EXPECT_FALSE(window_->updatesEnabled());
    window_->ReleaseUpdates();
    EXPECT_FALSE(window_->updatesEnabled());
    window_->ReleaseUpdates();
    EXPECT_TRUE(window_->updatesEnabled());
    window_->ReleaseUpdates();
    EXPECT_EQ(window_->UpdateHoldDepth(), 0);
}

// ---- The picker and the name-set editor
// ---------------------------------------------------------------------

TEST_F(MainWindowTest, PickerReturnsOnlyANodeOfTheAskedLevel) {
    Start();
    SelectRequest request;
    request.levelNumber = archive::kLevelMachine;
    TDBLevel* wanted = Machine();
    auto done = test::WhenModal<TSelectForm>([&](TSelectForm& form) {
        ArchiveTreeWidget* tree = form.Tree();
        tree->setCurrentItem(tree->topLevelItem(0));
        EXPECT_FALSE(form.OkButton()->isEnabled());
        TDBLevel* station = wanted->Parent();
        tree->ExpandNode(*station);
        QTreeWidgetItem* stationItem = tree->ItemOf(station);
        ASSERT_NE(stationItem, nullptr);
        tree->setCurrentItem(stationItem);
        EXPECT_FALSE(form.OkButton()->isEnabled()) << "a station is not a machine";
        QTreeWidgetItem* machineItem = tree->ItemOf(wanted);
        ASSERT_NE(machineItem, nullptr);
        EXPECT_EQ(machineItem->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator)
            << "nothing below the asked level";
        tree->setCurrentItem(machineItem);
        EXPECT_TRUE(form.OkButton()->isEnabled());
        form.accept();
    });
    TDBLevel* chosen = TSelectForm::SelectNode(*root_, window_->Icons(), request, window_.get());
    ASSERT_TRUE(*done);
    EXPECT_EQ(chosen, wanted);
    EXPECT_FALSE(wanted->Parent()->IsExpanded()) << "the picker keeps its opening to itself";
}

TEST_F(MainWindowTest, PickerStartsAtTheCurrentNode) {
    Start();
    SelectRequest request;
    request.levelNumber = archive::kLevelMeasurement;
    request.current = NewestMeasurement();
    TSelectForm form(*root_, window_->Icons(), request, window_.get());
    EXPECT_EQ(form.Chosen(), NewestMeasurement());
    EXPECT_TRUE(form.OkButton()->isEnabled());
}

TEST_F(MainWindowTest, NameSetEditorChecksItsEntriesAndWritesTheFile) {
    Start();
    archive::TProgDBLevel& root = window_->ArchiveRoot();
    TNameSetupDlg dialog(root, ui_, window_.get());
    const auto add = [&](const char* full, const char* brief, TDlgEditNames::Kind kind) {
        auto done = test::WhenModal<TDlgEditNames>([&](TDlgEditNames& names) {
            names.KindBox()->setCurrentIndex(static_cast<int>(kind));
            names.EditFull()->setText(QString::fromUtf8(full));
            names.EditShort()->setText(QString::fromUtf8(brief));
            names.accept();
            if (names.isVisible()) {
                names.reject();  // refused: the check said why
            }
        });
        dialog.AddEntry();
        EXPECT_TRUE(*done);
    };
    add("Подшипник 1", "П1", TDlgEditNames::Kind::Point);
    add("Вертикально", "В", TDlgEditNames::Kind::Direction);
    add("Вертикально", "Х", TDlgEditNames::Kind::Direction);
    EXPECT_TRUE(ui_.Said("Такое полное наименование уже есть"));
    add("", "Х", TDlgEditNames::Kind::Direction);
    EXPECT_TRUE(ui_.Said("Полное наименование не должно быть пустым"));
    ASSERT_EQ(dialog.Model().points.size(), 1u);
    EXPECT_EQ(dialog.Model().points[0].directions.size(), 1u);

    dialog.EditFileName()->setText(QStringLiteral("newset"));
    EXPECT_FALSE(dialog.WriteSet());
    EXPECT_TRUE(ui_.Said("Наименование не должно быть пустым"));
    dialog.EditNaim()->setText(QStringLiteral("Новый набор"));
    dialog.EditFileName()->setText(QStringLiteral("ns4rad"));
    EXPECT_FALSE(dialog.WriteSet());
    EXPECT_TRUE(ui_.Said("Имя файла ns4rad.NAM уже есть"));
    dialog.EditFileName()->setText(QStringLiteral("newset"));
    ASSERT_TRUE(dialog.WriteSet());
    ASSERT_NE(dialog.Written(), nullptr);
    EXPECT_EQ(root.FindNameSet("NEWSET.NAM"), dialog.Written());
    EXPECT_TRUE(fs::exists(root.PassportDirectory() / "newset.NAM"));
}

// ---- Guards
// ----------------------------------------------------------------------------------------------------

TEST(EventLoopGuard, ExceptionFromACommandIsReportedAndTheLoopGoesOn) {
    auto* app = qobject_cast<VelmarApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    std::vector<std::string> reports;
    app->SetErrorReporter([&reports](const std::string& text) { reports.push_back(text); });
    velmar::test::TempDir dir;
    app->SetErrorLog(dir / "errors.log");
    bool later = false;
    QObject context;
    QTimer::singleShot(0, &context, [] { throw std::runtime_error("команда сломалась"); });
    QTimer::singleShot(5, &context, [&later] { later = true; });
    EXPECT_TRUE(test::SpinUntil([&later] { return later; }));
    app->SetErrorReporter({});
    app->SetErrorLog({});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Команда не выполнена: команда сломалась");
    EXPECT_NE(velmar::test::ReadBytes(dir / "errors.log").find("команда сломалась"), std::string::npos);
}

TEST(SingleInstanceTest, SecondStartWakesTheFirstAndGivesUp) {
    velmar::test::TempDir base;
    SingleInstance first(base.path());
    ASSERT_TRUE(first.Claim());
    QSignalSpy woken(&first, &SingleInstance::ActivationRequested);
    {
        SingleInstance second(base.path() / ".");
        EXPECT_FALSE(second.Claim()) << "the same directory in another spelling";
    }
    EXPECT_TRUE(test::SpinUntil([&woken] { return woken.count() > 0; }));
    velmar::test::TempDir other;
    SingleInstance elsewhere(other.path());
    EXPECT_TRUE(elsewhere.Claim()) << "another base directory runs a program of its own";
}

}  // namespace
}  // namespace velmar::ui
