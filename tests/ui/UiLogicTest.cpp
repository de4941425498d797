// The window layer's decisions that need no window: command switches and button plans, icon names,
// window placement, frame settings, the toolbar's enabling, name sets, browser walks.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "UiTestSupport.hpp"
#include "archive/ArchiveSession.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/Codepage.hpp"
#include "common/IniFile.hpp"
#include "ui/AboutBox.hpp"
#include "ui/BrowserLogic.hpp"
#include "ui/FrameButtons.hpp"
#include "ui/FrameSettings.hpp"
#include "ui/IconNames.hpp"
#include "ui/MachineChoices.hpp"
#include "ui/MenuManager.hpp"
#include "ui/NameSetModel.hpp"
#include "ui/NestingCounter.hpp"
#include "ui/ProgramStart.hpp"
#include "ui/UiText.hpp"
#include "ui/WindowPlacement.hpp"

namespace velmar::ui {
namespace {

using archive::MenuCommand;
using test::TestHome;

// INI text written here by hand in UTF-8 with CRLF, as the files hold it in cp1251.
common::IniFile IniOf(const std::string& utf8) {
    return common::IniFile::FromBytes(common::Utf8ToCp1251(utf8));
}

// ---- Command switches and buttons -------------------------------------------------------------------------

TEST(MenuManager, ProgramFunctionsSwitchSingleCommandsOff) {
    TMenuManager manager;
    manager.ReadSwitches(
        IniOf("[ProgramFunctions]\r\nEnabled61=0\r\nEnabled4=1\r\nEnabled12=junk\r\n"
              "Enabled300=0\r\n"));
    EXPECT_FALSE(manager.IsCommandEnabled(61));
    EXPECT_TRUE(manager.IsCommandEnabled(4));
    EXPECT_TRUE(manager.IsCommandEnabled(12)) << "an unreadable switch leaves the command on";
    EXPECT_TRUE(manager.IsCommandEnabled(62));
    EXPECT_TRUE(manager.IsCommandEnabled(0));
    EXPECT_TRUE(manager.IsCommandEnabled(255));
    EXPECT_FALSE(manager.IsCommandEnabled(256)) << "numbers above 255 are never shown";
    EXPECT_FALSE(manager.IsCommandEnabled(-1));
}

TEST(MenuManager, VisibleCommandsDropSwitchedOffOnesAndAscend) {
    TMenuManager manager;
    manager.SetCommandEnabled(61, false);
    archive::CommandMenu menu;
    menu.SetCommand(63, "info");
    menu.SetCommand(61, "view");
    menu.SetCommand(48, "delete");
    menu.SetCommand(300, "too high");
    menu.SetCommand(10, "edit");
    std::vector<int> numbers;
    for (const MenuCommand& entry : manager.VisibleCommands(menu)) {
        numbers.push_back(entry.command);
    }
    EXPECT_EQ(numbers, (std::vector<int>{10, 48, 63}));
}

TEST(MenuManager, SetCommandReachesTheItemsOnlyWhenEnabled) {
    struct Items : ICommandItems {
        std::vector<int> shown, defaults;
        void ShowCommand(int command, const std::string&) override { shown.push_back(command); }
        void MarkDefaultCommand(int command) override { defaults.push_back(command); }
    } items;
    TMenuManager manager;
    manager.SetCommandEnabled(62, false);
    manager.SetCommand(items, 61, "a");
    manager.SetCommand(items, 62, "b");
    manager.SetDefaultCommand(items, 62);
    manager.SetDefaultCommand(items, 61);
    EXPECT_EQ(items.shown, std::vector<int>{61});
    EXPECT_EQ(items.defaults, std::vector<int>{61});
}

TEST(BrowserButtons, OneItemGivesNoArrowTwoItemsGiveOne) {
    const auto plans = PlanBrowserButtons({{4, "Исправить наименование агрегата"},
                                           {44, "Удалить агрегат"},
                                           {61, "Просмотр сигналов"},
                                           {63, "Просмотр информации"},
                                           {219, "outside every button"}});
    const ButtonPlan& edit = plans[static_cast<std::size_t>(BrowserButton::Edit)];
    EXPECT_TRUE(edit.enabled);
    EXPECT_FALSE(edit.dropDown);
    EXPECT_EQ(edit.command, 4);
    EXPECT_EQ(edit.hint, "Исправить наименование агрегата");

    const ButtonPlan& view = plans[static_cast<std::size_t>(BrowserButton::View)];
    EXPECT_TRUE(view.dropDown);
    EXPECT_EQ(view.command, 61) << "a click runs the first item";
    EXPECT_EQ(view.items.size(), 2u);

    const ButtonPlan& fresh = plans[static_cast<std::size_t>(BrowserButton::New)];
    EXPECT_FALSE(fresh.enabled);
    EXPECT_EQ(fresh.hint, UiText(206)) << "a button without items keeps its own hint";
    EXPECT_FALSE(plans[static_cast<std::size_t>(BrowserButton::ReadDac)].enabled);
    EXPECT_FALSE(plans[static_cast<std::size_t>(BrowserButton::Diag)].enabled);
}

TEST(BrowserButtons, RangesOfTheSixButtons) {
    struct Case {
        int command;
        const BrowserButtonInfo* expected;
    };
    const Case cases[] = {
        {0, nullptr},
        {1, &kBrowserButtons[0]},
        {14, &kBrowserButtons[0]},
        {15, nullptr},
        {21, &kBrowserButtons[1]},
        {33, &kBrowserButtons[1]},
        {41, &kBrowserButtons[2]},
        {54, &kBrowserButtons[2]},
        {61, &kBrowserButtons[3]},
        {77, &kBrowserButtons[3]},
        {81, &kBrowserButtons[4]},
        {89, &kBrowserButtons[4]},
        {101, &kBrowserButtons[5]},
        {111, &kBrowserButtons[5]},
        {112, nullptr},
        {218, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ButtonOfCommand(c.command), c.expected) << c.command;
    }
}

TEST(BrowserButtons, DeleteCommandsTheBrowserRunsItself) {
    for (int command = 0; command < 256; ++command) {
        const bool expected = (command >= 41 && command <= 51) || command == 54 || command == 218;
        EXPECT_EQ(IsBrowserDeleteCommand(command), expected) << command;
    }
}

// ---- Icon names
// ------------------------------------------------------------------------------------------------

TEST(IconNames, StateAndMarkSuffixes) {
    struct Case {
        const char* name;
        const char* key;
        IconState state;
        bool marked;
    };
    const Case cases[] = {
        {"AGR", "AGR", IconState::None, false},
        {"AGR_G", "AGR", IconState::Green, false},
        {"ZAM_Y", "ZAM", IconState::Yellow, false},
        {"ZAM_R_M", "ZAM", IconState::Red, true},
        {"NAPR_SIGN_B", "NAPR_SIGN", IconState::Blue, false},
        {"NAPR_SIGN_M", "NAPR_SIGN", IconState::None, true},
        {"NAPR_GARM", "NAPR_GARM", IconState::None, false},
        {"_M", "_M", IconState::None, false},
        {"", "", IconState::None, false},
    };
    for (const Case& c : cases) {
        const IconName parsed = ParseIconName(c.name);
        EXPECT_EQ(parsed.key, c.key) << c.name;
        EXPECT_EQ(parsed.state, c.state) << c.name;
        EXPECT_EQ(parsed.marked, c.marked) << c.name;
    }
}

TEST(IconNames, FullCacheGivesEveryNewNameTheLastEntry) {
    IconNameCache cache(3);
    EXPECT_EQ(cache.Enter("A"), 0u);
    EXPECT_EQ(cache.Enter("B"), 1u);
    EXPECT_EQ(cache.Enter("C"), 2u);
    bool added = true;
    EXPECT_EQ(cache.Enter("A", &added), 0u);
    EXPECT_FALSE(added);
    EXPECT_EQ(cache.Enter("D", &added), 2u);
    EXPECT_TRUE(added);
    EXPECT_EQ(cache.NameAt(2), "D");
    EXPECT_FALSE(cache.Find("C").has_value()) << "C gave its entry to D";
    EXPECT_EQ(cache.Enter("C", &added), 2u);
    EXPECT_TRUE(added);
    EXPECT_EQ(cache.Size(), 3u);
    EXPECT_EQ(IconNameCache().Capacity(), 200u);
}

// ---- Window placement
// --------------------------------------------------------------------------------------

TEST(WindowPlacement, ReadsTheFourSizesAndTheState) {
    const auto placement =
        ReadWindowPlacement(IniOf("[Other]\r\nLeft=1\r\n\r\n[MainFormAxs]\r\nLeft=-5\r\nTop=20\r\nWidth="
                                  "1000\r\nHeight=700\r\nState=1\r\n"),
                            "MainFormAxs");
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(placement->normal.left, -5);
    EXPECT_EQ(placement->normal.top, 20);
    EXPECT_EQ(placement->normal.width, 1000);
    EXPECT_EQ(placement->normal.height, 700);
    EXPECT_EQ(placement->state, PlacementState::Maximized);
}

TEST(WindowPlacement, IncompleteOrDamagedSectionsGiveNothing) {
    for (const char* text : {"", "[MainFormAxs]\r\nLeft=1\r\nTop=2\r\nWidth=3\r\n",
                             "[MainFormAxs]\r\nLeft=1\r\nTop=2\r\nWidth=wide\r\nHeight=4\r\n"}) {
        EXPECT_FALSE(ReadWindowPlacement(IniOf(text), "MainFormAxs").has_value()) << text;
    }
    const auto strange =
        ReadWindowPlacement(IniOf("[MainFormAxs]\r\nLeft=1\r\nTop=2\r\nWidth=3\r\nHeight=4\r\n"
                                  "State=7\r\n"),
                            "mainformaxs");
    ASSERT_TRUE(strange.has_value()) << "sections are found in any case";
    EXPECT_EQ(strange->state, PlacementState::Normal);
}

TEST(WindowPlacement, WritesTheSectionAsLaidOut) {
    common::IniFile ini = common::IniFile::FromBytes("");
    WriteWindowPlacement(ini, "MainFormAxs", {{10, 20, 1000, 700}, PlacementState::Maximized});
    EXPECT_EQ(ini.ToBytes(), "[MainFormAxs]\r\nLeft=10\r\nTop=20\r\nWidth=1000\r\nHeight=700\r\nState=1\r\n");
}

TEST(WindowPlacement, FitKeepsTheWindowOnTheScreenAndAtLeastItsMinimum) {
    const PlacementRect screen{0, 0, 1400, 900};
    struct Case {
        PlacementRect in;
        PlacementState state;
        PlacementRect out;
        PlacementState outState;
    };
    const Case cases[] = {
        {{100, 50, 1000, 700}, PlacementState::Normal, {100, 50, 1000, 700}, PlacementState::Normal},
        {{3000, -200, 1000, 700}, PlacementState::Normal, {400, 0, 1000, 700}, PlacementState::Normal},
        {{10, 10, 200, 100}, PlacementState::Normal, {10, 10, 924, 400}, PlacementState::Normal},
        {{0, 0, 5000, 3000}, PlacementState::Maximized, {0, 0, 1400, 900}, PlacementState::Maximized},
        {{10, 10, 1000, 700}, PlacementState::Minimized, {10, 10, 1000, 700}, PlacementState::Normal},
    };
    for (const Case& c : cases) {
        const WindowPlacement fitted = FitPlacement({c.in, c.state}, screen, 924, 400);
        EXPECT_EQ(fitted.normal.left, c.out.left);
        EXPECT_EQ(fitted.normal.top, c.out.top);
        EXPECT_EQ(fitted.normal.width, c.out.width);
        EXPECT_EQ(fitted.normal.height, c.out.height);
        EXPECT_EQ(fitted.state, c.outState);
    }
}

// ---- Frame settings
// --------------------------------------------------------------------------------------------

TEST(FrameSettings, DefaultsFollowTheSpectrumModeOfVelocity) {
    const FrameSettings none = ReadFrameSettings(IniOf(""));
    EXPECT_EQ(none.view.spectrViewMode, 1);
    EXPECT_EQ(none.view.spectrViewModeA, 1);
    EXPECT_EQ(none.view.spectrViewModeS, 1);
    EXPECT_EQ(none.view.velocityViewMode, 0);
    EXPECT_EQ(none.sound.scale, 3);
    EXPECT_EQ(none.sound.loop, 0);
    EXPECT_EQ(none.sound.volume, 2);
    EXPECT_FALSE(none.newestMeasurementsFirst);

    const FrameSettings velocityOnly =
        ReadFrameSettings(IniOf("[View]\r\nSpectrViewMode=2\r\nSpectrViewModeS=0\r\n"));
    EXPECT_EQ(velocityOnly.view.spectrViewModeA, 2) << "acceleration takes the velocity mode read";
    EXPECT_EQ(velocityOnly.view.spectrViewModeS, 0);
}

TEST(FrameSettings, NewestFirstIsOnExactlyWhenOne) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true}, {"2", false}, {"0", false}, {"yes", false}, {"-1", false}};
    for (const auto& [value, on] : cases) {
        const FrameSettings settings =
            ReadFrameSettings(IniOf(std::string("[View]\r\nNewMeasurementsFirst=") + value + "\r\n"));
        EXPECT_EQ(settings.newestMeasurementsFirst, on) << value;
    }
}

TEST(FrameSettings, WritesKeepTheRestOfTheFile) {
    common::IniFile ini = IniOf("; settings\r\n[View]\r\nSpectrViewMode=1\r\nVelocityViewMode=1\r\n");
    common::ViewSettings view;
    view.spectrViewMode = 2;
    view.spectrViewModeA = 0;
    view.spectrViewModeS = 1;
    view.velocityViewMode = 0;  // not written here
    WriteSpectrumModes(ini, view);
    WriteNewestMeasurementsFirst(ini, true);
    EXPECT_EQ(ini.ToBytes(),
              "; settings\r\n[View]\r\nSpectrViewMode=2\r\nVelocityViewMode=1\r\nSpectrViewModeA=0\r\n"
              "SpectrViewModeS=1\r\nNewMeasurementsFirst=1\r\n");
}

// ---- Toolbar enabling
// ------------------------------------------------------------------------------------------

std::vector<FrameButton> EnabledList(const ActiveWindowState& state) {
    std::vector<FrameButton> list;
    const FrameButtonSet set = EnabledButtons(state);
    for (const FrameButtonInfo& info : kFrameButtons) {
        if (Has(set, info.id)) {
            list.push_back(info.id);
        }
    }
    return list;
}

TEST(FrameButtons, WithoutASignalWindowOnlyTheFrameCommandsAreEnabled) {
    EXPECT_EQ(EnabledList({}),
              (std::vector<FrameButton>{FrameButton::Exit, FrameButton::Help, FrameButton::Search,
                                        FrameButton::CloseAll, FrameButton::ShowTree}));
    const MenuEnabling menu = MenuItemsEnabled({});
    EXPECT_FALSE(menu.print || menu.tile || menu.cascade || menu.control || menu.harmonics);
}

TEST(FrameButtons, AWindowWithoutDataAllowsArrangingButNoDataCommand) {
    ActiveWindowState state;
    state.signalWindowActive = true;
    state.kind = 4;  // ignored without data
    EXPECT_EQ(EnabledList(state),
              (std::vector<FrameButton>{FrameButton::Exit, FrameButton::Help, FrameButton::Search,
                                        FrameButton::Tile, FrameButton::Cascade, FrameButton::CloseAll,
                                        FrameButton::ShowTree, FrameButton::ShowControl}));
    EXPECT_TRUE(MenuItemsEnabled(state).print)
        << "the print menu item follows the active window, not its data";
}

TEST(FrameButtons, KindOfTheShownDataDecidesTheAnalysisButtons) {
    struct Case {
        std::uint32_t kind;
        bool garm, faza, power, logX, logY, play;
    };
    const Case cases[] = {
        {2, false, false, false, false, false, true},   // signal
        {4, true, true, false, true, true, false},      // spectrum
        {32, true, true, false, true, true, false},     // envelope spectrum
        {64, true, true, true, true, true, false},      // harmonics
        {128, false, false, false, true, true, true},   // cepstrum
        {512, false, false, false, false, true, true},  // envelope
        {1, false, false, false, false, false, false},  // RMS
    };
    for (const Case& c : cases) {
        ActiveWindowState state{true, true, false, c.kind};
        const FrameButtonSet set = EnabledButtons(state);
        EXPECT_EQ(Has(set, FrameButton::GarmDialog), c.garm) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::GarmOn), c.garm) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::Faza), c.faza) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::PowerOn), c.power) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::FillPower), c.power) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::LogX), c.logX) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::LogY), c.logY) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::PlaySound), c.play) << c.kind;
        EXPECT_EQ(Has(set, FrameButton::StopSound), c.play) << c.kind;
        EXPECT_TRUE(Has(set, FrameButton::Home));
        EXPECT_TRUE(Has(set, FrameButton::Print));
        EXPECT_FALSE(Has(set, FrameButton::Alone)) << "display modes need a decimated window";
    }
    EXPECT_TRUE(Has(EnabledButtons({true, true, true, 2}), FrameButton::Avg));
}

TEST(FrameButtons, HintsCarryTheirKeys) {
    EXPECT_STREQ(InfoOf(FrameButton::CloseAll).keySuffix, " <F3>");
    EXPECT_STREQ(InfoOf(FrameButton::ScaleXMore).keySuffix, " <Gray+>");
    EXPECT_EQ(UiText(InfoOf(FrameButton::CloseAll).hintId) + InfoOf(FrameButton::CloseAll).keySuffix,
              "Закрыть все окна <F3>");
    for (const FrameButtonInfo& info : kFrameButtons) {
        EXPECT_FALSE(UiText(info.hintId).empty()) << info.objectName;
    }
}

TEST(FrameButtons, TheOnlyPressedDisplayModeStaysPressed) {
    EXPECT_EQ(DisplayModeAfterClick({false, false, false}, 0), (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(DisplayModeAfterClick({false, true, false}, 0), (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(DisplayModeAfterClick({false, false, false}, 2), (std::array<bool, 3>{false, false, true}));
}

TEST(NestingCounter, OnlyTheOutermostPairCounts) {
    NestingCounter counter;
    EXPECT_EQ(counter.Unhold(), NestingCounter::Release::Ignored);
    EXPECT_TRUE(counter.Hold());
    EXPECT_FALSE(counter.Hold());
    EXPECT_EQ(counter.Unhold(), NestingCounter::Release::Inner);
    EXPECT_TRUE(counter.Held());
    EXPECT_EQ(counter.Unhold(), NestingCounter::Release::Outermost);
    EXPECT_EQ(counter.Unhold(), NestingCounter::Release::Ignored);
    EXPECT_EQ(counter.Depth(), 0);
}

// ---- Texts, versions, options
// ----------------------------------------------------------------------------------

TEST(UiText, SharedTableFirstThenTheWindowLayersOwn) {
    EXPECT_EQ(UiText(204), "Работа с архивом информации");
    EXPECT_EQ(UiText(text::kYes), "Да");
    EXPECT_EQ(UiFormat(text::kFileNotFound, {"PREOBR.INI"}), "Файл PREOBR.INI не найден !");
    EXPECT_TRUE(UiText(987654).empty());
}

TEST(AboutBox, VersionComesFromTheProgramWhenItHasOne) {
    EXPECT_EQ(TVelmarAboutBox::VersionOf(IniOf(""), "0.1.0"), "0.1.0");
    EXPECT_EQ(TVelmarAboutBox::VersionOf(IniOf("[Main]\r\nVersion=4.2\r\n"), "12.3.45"), "12.3.45");
    EXPECT_EQ(TVelmarAboutBox::VersionOf(IniOf("[Main]\r\nVersion=4.2\r\n"), ""), "4.2");
    EXPECT_EQ(TVelmarAboutBox::VersionOf(IniOf(""), "dev"), "3.10");
}

TEST(StartOptions, MeasuringAndPictureModes) {
    EXPECT_FALSE(ParseStartOptions({"calibr"}).measureStartup);
    EXPECT_TRUE(ParseStartOptions({"--home", "x", "--startup-time"}).measureStartup);
    EXPECT_EQ(ParseStartOptions({"--screenshot", "a.png"}).screenshot, std::filesystem::path("a.png"));
    EXPECT_EQ(ParseStartOptions({"--screenshot=b.png"}).screenshot, std::filesystem::path("b.png"));
    EXPECT_FALSE(ParseStartOptions({"--screenshot"}).screenshot.has_value());
}

// ---- Machine dialog choices
// ---------------------------------------------------------------------------------

TEST(MachineChoices, PassportsOfAGroupByTheirFileCode) {
    archive::MachineDialogRequest request;
    request.groups = {{"NS_", "Насосы", 12}, {"vn_", "Вентиляторы", 12}};
    request.passports = {{"NS_D320.psp", "Насос Д320", "NS", true},
                         {"vn_big.psp", "Дымосос", "VN", true},
                         {"ns_small.psp", "Насос малый", "NS", true},
                         {"KM_4VU.psp", "Компрессор", "KM", true}};
    EXPECT_EQ(PassportsOfGroup(request, request.groups[0]), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(PassportsOfGroup(request, request.groups[1]), (std::vector<std::size_t>{1}));
    EXPECT_EQ(GroupOfPassport(request, "ns_small.psp"), 0);
    EXPECT_EQ(GroupOfPassport(request, "KM_4VU.psp"), -1);
    EXPECT_EQ(ProposedMachineName(request.passports[0]), "Насос Д320-");
}

// ---- Name sets
// ---------------------------------------------------------------------------------------------------

TEST(NameSetModel, EntryChecksLookAtSiblingsOnly) {
    const std::vector<NameEntry> siblings = {{"Вертикально", "В"}, {"Поперечно", "П"}};
    struct Case {
        NameEntry entry;
        int skip;
        EntryProblem problem;
    };
    const Case cases[] = {
        {{"Осевое", "О"}, -1, EntryProblem::None},
        {{"  ", "О"}, -1, EntryProblem::EmptyFullName},
        {{"Осевое", ""}, -1, EntryProblem::EmptyShortName},
        {{" Вертикально ", "Х"}, -1, EntryProblem::DuplicateFullName},
        {{"Другое", "П"}, -1, EntryProblem::DuplicateShortName},
        {{"Вертикально", "В2"}, 0, EntryProblem::None},  // the entry being edited
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameSetModel::CheckEntry(siblings, c.entry, c.skip), c.problem) << c.entry.fullName;
    }
    EXPECT_EQ(NameSetModel::MessageIdOf(EntryProblem::DuplicateShortName), 9416);
    EXPECT_EQ(NameSetModel::Normalized({std::string(70, 'x'), "1234567"}).fullName.size(), 60u);
    EXPECT_EQ(NameSetModel::Normalized({"x", "1234567"}).shortName, "123456");
}

TEST(NameSetModel, FileNamesStayInsideThePassportDirectory) {
    velmar::test::TempDir psp;
    velmar::test::WriteBytes(psp / "NS4RAD.NAM", "[Title]\r\nName=x\r\n");
    EXPECT_EQ(NameSetModel::NormalizedFileName(" pump "), "pump.NAM");
    EXPECT_EQ(NameSetModel::NormalizedFileName("pump.nam"), "pump.nam");
    struct Case {
        const char* name;
        const char* file;
        SaveProblem problem;
    };
    const Case cases[] = {
        {"Set", "pump", SaveProblem::None},
        {" ", "pump", SaveProblem::EmptyName},
        {"Set", "  ", SaveProblem::EmptyFileName},
        {"Set", "../pump", SaveProblem::BadFileName},
        {"Set", "..\\pump", SaveProblem::BadFileName},
        {"Set", "sub/pump", SaveProblem::BadFileName},
        {"Set", ".hidden", SaveProblem::BadFileName},
        {"Set", "ns4rad", SaveProblem::FileExists},
        {"Set", "Ns4Rad.nam", SaveProblem::FileExists},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameSetModel::CheckSave(c.name, c.file, psp.path()), c.problem) << c.file;
    }
}

NameSetModel TwoPointModel() {
    NameSetModel model;
    model.points.push_back({{"Подшипник 1", "П1"}, {{"Вертикально", "В"}, {"Поперечно", "П"}}});
    model.points.push_back({{"Подшипник 2", "П2"}, {{"Осевое", "О"}}});
    model.freeChannels.push_back({"Ток двигателя", "Ток"});
    return model;
}

TEST(NameSetModel, FileLaysOutPointsDirectionsThenFreeChannels) {
    const std::string expected = common::Utf8ToCp1251(
        "[Title]\r\nName=Насос\r\nCount=6\r\n\r\n"
        "[1]\r\nFullName=Подшипник 1\r\nShortName=П1\r\nPoint=1\r\nNode=0\r\n\r\n"
        "[2]\r\nFullName=Вертикально\r\nShortName=В\r\nPoint=0\r\nNode=0\r\n\r\n"
        "[3]\r\nFullName=Поперечно\r\nShortName=П\r\nPoint=0\r\nNode=0\r\n\r\n"
        "[4]\r\nFullName=Подшипник 2\r\nShortName=П2\r\nPoint=1\r\nNode=0\r\n\r\n"
        "[5]\r\nFullName=Осевое\r\nShortName=О\r\nPoint=0\r\nNode=0\r\n\r\n"
        "[6]\r\nFullName=Ток двигателя\r\nShortName=Ток\r\nPoint=0\r\nNode=1\r\n");
    EXPECT_EQ(TwoPointModel().FileBytes(" Насос "), expected);
}

TEST(NameSetModel, WrittenSetJoinsTheArchiveAndReadsBackAsPointsAndChannels) {
    TestHome home;
    auto session = archive::ArchiveSession::Open(home.Base());
    archive::TProgDBLevel& root = session->Root();
    const std::size_t before = root.NameSets().size();
    archive::TNameSetDBLevel* set = TwoPointModel().WriteInto(root, "Насос", "pump");
    ASSERT_NE(set, nullptr);
    EXPECT_TRUE(std::filesystem::exists(root.PassportDirectory() / "pump.NAM"));
    EXPECT_EQ(root.NameSets().size(), before + 1);
    EXPECT_EQ(root.FindNameSet("PUMP.nam"), set);
    EXPECT_EQ(set->GetName(), "Насос");
    EXPECT_EQ(set->PointCount(), 2);
    EXPECT_EQ(set->GetChannelNumber(1, 2), 3) << "point 1, direction 2 is the third entry";
    EXPECT_EQ(set->GetChannelNumber(0, 1), 6) << "the free channel is node 1";
    EXPECT_THROW(TwoPointModel().WriteInto(root, "Насос", "PUMP.NAM"), std::system_error)
        << "an existing file is never replaced";
}

TEST(FirstStart, DemoArchiveIsWrittenWhereMainIniPointsWhenNothingIsThere) {
    velmar::test::TempDir base;
    common::SeedBaseDirectory(base.path(), std::filesystem::path(VELMAR_SOURCE_DIR) / "resources");
    const common::ProgramContext program = common::ProgramContext::Open(base.path());
    const std::filesystem::path archive = program.ArchivePath();
    ASSERT_FALSE(std::filesystem::exists(archive));
    EXPECT_TRUE(EnsureArchive(program, nullptr));
    auto session = archive::ArchiveSession::Open(base.path());
    EXPECT_NE(test::ChildNamed(session->Root(), "Котельная"), nullptr)
        << "the archive opens with its stations";
    velmar::test::WriteBytes(archive / "marker.txt", "kept");
    EXPECT_FALSE(EnsureArchive(program, nullptr)) << "an existing archive is left alone";
    EXPECT_TRUE(std::filesystem::exists(archive / "marker.txt"));
}

// ---- Browser walks over a real archive
// --------------------------------------------------------------------------

class BrowserLogicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session_ = archive::ArchiveSession::Open(home_.Base());
        root_ = &session_->Root();
        station_ = test::ChildNamed(*root_, "Котельная");
        ASSERT_NE(station_, nullptr);
        machine_ = test::ChildNamed(*station_, "К-1 воздушный");
        ASSERT_NE(machine_, nullptr);
    }

    TestHome home_;
    std::unique_ptr<archive::ArchiveSession> session_;
    archive::TDBLevel* root_ = nullptr;
    archive::TDBLevel* station_ = nullptr;
    archive::TDBLevel* machine_ = nullptr;
};

TEST_F(BrowserLogicTest, ItemTextsNumberMeasurementsOnly) {
    archive::TDBLevel* measurement = test::FirstChildAtLevel(*machine_, archive::kLevelMeasurement);
    ASSERT_NE(measurement, nullptr);
    EXPECT_EQ(BrowserItemText(*measurement, 3), "  " + measurement->GetName() + "  №3");
    EXPECT_EQ(BrowserItemText(*machine_, 0), "  К-1 воздушный");
    EXPECT_TRUE(IsNumberedMeasurement(*measurement));
    EXPECT_FALSE(IsNumberedMeasurement(*machine_));
}

TEST_F(BrowserLogicTest, NamePathRunsFromTheRoot) {
    EXPECT_EQ(NamePath(machine_), (std::vector<std::string>{root_->GetName(), "Котельная", "К-1 воздушный"}));
    EXPECT_EQ(NamePath(machine_, 2).size(), 2u);
    EXPECT_TRUE(NamePath(nullptr).empty());
}

TEST_F(BrowserLogicTest, ViewWalkWithoutMarksTakesTheSelectedSubtreeLastFirst) {
    archive::TDBLevel* measurement = test::LastChildAtLevel(*machine_, archive::kLevelMeasurement);
    ASSERT_NE(measurement, nullptr);
    const ViewWalk walk = CollectViewNodes(*root_, measurement);
    EXPECT_FALSE(walk.fromMarks);
    ASSERT_FALSE(walk.nodes.empty());
    for (archive::TDBLevel* node : walk.nodes) {
        EXPECT_NE(node->GetFlags() & archive::kFlagViewable, 0) << node->GetName();
    }
    // The marker channel hangs directly under the measurement after the points: visited first.
    EXPECT_EQ(walk.nodes.front()->Parent(), measurement);
    EXPECT_EQ(walk.nodes.back()->Parent(), test::FirstChildAtLevel(*measurement, archive::kLevelPoint));
}

TEST_F(BrowserLogicTest, MarkedDirectionsInTwoMeasurementsGiveExactlyTwoNodes) {
    archive::TDBLevel* first = test::FirstChildAtLevel(*machine_, archive::kLevelMeasurement);
    archive::TDBLevel* last = test::LastChildAtLevel(*machine_, archive::kLevelMeasurement);
    ASSERT_NE(first, last);
    archive::TDBLevel* a = test::FirstChildAtLevel(*test::FirstChildAtLevel(*first, archive::kLevelPoint),
                                                   archive::kLevelDirection);
    archive::TDBLevel* b = test::FirstChildAtLevel(*test::FirstChildAtLevel(*last, archive::kLevelPoint),
                                                   archive::kLevelDirection);
    a->SetMarked(true);
    b->SetMarked(true);
    const ViewWalk walk = CollectViewNodes(*root_, machine_);
    EXPECT_TRUE(walk.fromMarks);
    EXPECT_EQ(walk.nodes, (std::vector<archive::TDBLevel*>{b, a}));
    ClearMarks(*root_);
    EXPECT_FALSE(AnyMarked(*root_));
}

TEST_F(BrowserLogicTest, HintsOfMachinesAreTheirNotesAndOfMeasurementsTheirComment) {
    const auto* machinePath = dynamic_cast<const archive::TPathDBLevel*>(machine_);
    ASSERT_NE(machinePath, nullptr);
    velmar::test::WriteBytes(machinePath->GetPath() / "LNOTES.TXT",
                             common::Utf8ToCp1251("Замена подшипника\r\nмай\r\n\r\n"));
    EXPECT_EQ(NodeHint(*machine_), "Замена подшипника\nмай");
    EXPECT_EQ(NodeHint(*station_), "") << "no notes, no hint";
    archive::TDBLevel* measurement = test::FirstChildAtLevel(*machine_, archive::kLevelMeasurement);
    EXPECT_EQ(NodeHint(*measurement).find('\0'), std::string::npos);
    archive::TDBLevel* point = test::FirstChildAtLevel(*measurement, archive::kLevelPoint);
    EXPECT_EQ(NodeHint(*point), "");
}

TEST_F(BrowserLogicTest, DefaultCommandIsViewingFromMeasurementsDown) {
    archive::TDBLevel* measurement = test::FirstChildAtLevel(*machine_, archive::kLevelMeasurement);
    const std::vector<MenuCommand> offered = {{61, "view"}, {63, "info"}};
    EXPECT_EQ(DefaultCommandOf(*measurement, offered), 61);
    EXPECT_EQ(DefaultCommandOf(*machine_, offered), 0);
    EXPECT_EQ(DefaultCommandOf(*measurement, {{63, "info"}}), 0);
}

}  // namespace
}  // namespace velmar::ui
