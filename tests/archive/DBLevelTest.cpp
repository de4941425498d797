#include "archive/DBLevel.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "NodeTestSupport.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {
namespace {

using test::Add;
using test::ChildNames;
using test::DatedNode;
using test::DirNode;
using test::NamedNode;
using test::RecordingSink;
using test::RecordingView;
using test::Told;
using ::testing::ElementsAre;

class NodeTreeTest : public ::testing::Test {
  protected:
    void SetUp() override { context.ui = &ui; }

    std::vector<std::string> Who() const {
        std::vector<std::string> who;
        for (const Told& t : log) {
            who.push_back(t.who);
        }
        return who;
    }

    ArchiveContext context;
    test::ScriptedUi ui;
    std::vector<Told> log;
};

std::vector<std::string> WalkForward(TDBLevel& node) {
    std::vector<std::string> names;
    for (TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
        names.push_back(child->GetName());
    }
    return names;
}

std::vector<std::string> WalkBackward(TDBLevel& node) {
    std::vector<std::string> names;
    for (TDBLevel* child = node.LastChild(); child != nullptr; child = node.NextChild(-1)) {
        names.push_back(child->GetName());
    }
    return names;
}

// ---- Ordering --------------------------------------------------------------------------------------------

TEST_F(NodeTreeTest, AddChild_ordersNamesIgnoringCaseAndPutsEqualNamesAfterEarlierOnes) {
    auto station = MakeNode<NamedNode>(context, nullptr, "Цех", 2);
    for (const char* name : {"b", "a", "c", "B"}) {
        Add<NamedNode>(*station, name, kLevelMachine, kLevelKindMachine);
    }
    EXPECT_THAT(ChildNames(*station), ElementsAre("a", "b", "B", "c"));

    auto other = MakeNode<NamedNode>(context, nullptr, "Цех", 2);
    for (const char* name : {"яблоко", "Жук", "ёж", "Ель", "ель"}) {
        Add<NamedNode>(*other, name, kLevelMachine, kLevelKindMachine);
    }
    // Ё sorts right after Е, as in the alphabet, not before А as its code would put it.
    EXPECT_THAT(ChildNames(*other), ElementsAre("Ель", "ель", "ёж", "Жук", "яблоко"));
}

TEST_F(NodeTreeTest, AddChild_ordersByLevelNumberThenKindWhateverTheNames) {
    auto root = MakeNode<NamedNode>(context, nullptr, "Завод", kLevelRoot);
    // Names run against the expected order, so that only levels and kinds can produce it.
    Add<NamedNode>(*root, "u-runup", kLevelMeasurement, kLevelKindRunUp);
    Add<NamedNode>(*root, "w-machine", kLevelMachine, kLevelKindMachine);
    Add<NamedNode>(*root, "v-measurement", kLevelMeasurement, kLevelKindPlain);
    Add<NamedNode>(*root, "x-station3", 3, kLevelKindPlain);
    Add<NamedNode>(*root, "y-passport", 2, kLevelKindMachine);
    Add<NamedNode>(*root, "z-station2", 2, kLevelKindPlain);
    EXPECT_THAT(ChildNames(*root), ElementsAre("z-station2", "y-passport", "x-station3", "w-machine",
                                               "v-measurement", "u-runup"));
}

TEST_F(NodeTreeTest, AddChild_ordersMeasurementsByMomentAndKeepsArrivalOrderOfEqualMoments) {
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    machine->SetDateTime(2.5);
    Add<DatedNode>(*machine, "c", 3.0);
    Add<DatedNode>(*machine, "b", 1.0);
    Add<DatedNode>(*machine, "a", 2.0);
    Add<DatedNode>(*machine, "z", 1.0);
    Add<DatedNode>(*machine, "p", 0.0);  // no moment of its own: the machine's
    EXPECT_THAT(ChildNames(*machine), ElementsAre("b", "z", "a", "p", "c"));
}

TEST_F(NodeTreeTest, AddChild_givesTheOrderOfAStableSortByLevelKindAndName) {
    std::mt19937 random(20240115);
    const int levels[] = {2, 3, 7, 8};
    auto root = MakeNode<NamedNode>(context, nullptr, "root", kLevelRoot);
    struct Key {
        int level;
        int kind;
        std::string upperName;
        std::int32_t instance;
    };
    std::vector<Key> keys;
    for (int n = 0; n < 300; ++n) {
        std::string name;
        const int length = 1 + static_cast<int>(random() % 3);
        for (int k = 0; k < length; ++k) {
            name += "aAbBcC"[random() % 6];
        }
        const int level = levels[random() % 4];
        const int kind = static_cast<int>(random() % 2);
        NamedNode* node = Add<NamedNode>(*root, name, level, kind);
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        keys.push_back(Key{level, kind, upper, node->InstanceNumber()});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return std::tie(a.level, a.kind, a.upperName) < std::tie(b.level, b.kind, b.upperName);
    });
    ASSERT_EQ(root->ChildCount(), 300);
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(root->ChildAt(i)->InstanceNumber(), keys[static_cast<std::size_t>(i)].instance)
            << "at " << i;
    }
}

TEST_F(NodeTreeTest, AddChild_ofNoNodeFailsAndLeavesTheList) {
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    Add<DatedNode>(*machine, "a", 1.0);
    EXPECT_EQ(machine->AddChild(nullptr), -1);
    EXPECT_EQ(machine->ChildCount(), 1);
}

// ---- Child iteration -------------------------------------------------------------------------------------

TEST_F(NodeTreeTest, ChildIteration_visitsOnlyKindsInTheFilterBothWays) {
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    Add<NamedNode>(*machine, "k16", kLevelMeasurement, 16);
    Add<NamedNode>(*machine, "k9", kLevelMeasurement, 9);
    Add<NamedNode>(*machine, "k0", kLevelMeasurement, 0);
    Add<NamedNode>(*machine, "k15", kLevelMeasurement, 15);
    Add<NamedNode>(*machine, "k6", kLevelMeasurement, 6);

    EXPECT_THAT(WalkForward(*machine), ElementsAre("k0", "k6"));  // the default filter holds kinds 0 .. 8
    const std::uint16_t previous = machine->SetChildFilter(0xFFFF);
    EXPECT_EQ(previous, 0x01FF);
    // No filter reaches kind 16.
    EXPECT_THAT(WalkForward(*machine), ElementsAre("k0", "k6", "k9", "k15"));
    EXPECT_THAT(WalkBackward(*machine), ElementsAre("k15", "k9", "k6", "k0"));
    machine->SetChildFilter(1u << 6);
    EXPECT_THAT(WalkForward(*machine), ElementsAre("k6"));
    EXPECT_THAT(WalkBackward(*machine), ElementsAre("k6"));
    machine->SetChildFilter(0);
    EXPECT_EQ(machine->FirstChild(), nullptr);
    EXPECT_TRUE(machine->ChildCursorOut());
}

TEST_F(NodeTreeTest, NextChild_stepsJumpAndStepZeroMovesForwardOffAHiddenChild) {
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    TDBLevel* a = Add<NamedNode>(*machine, "a", kLevelMeasurement, 0);
    TDBLevel* b = Add<NamedNode>(*machine, "b", kLevelMeasurement, 1);
    TDBLevel* c = Add<NamedNode>(*machine, "c", kLevelMeasurement, 2);
    TDBLevel* d = Add<NamedNode>(*machine, "d", kLevelMeasurement, 3);

    EXPECT_EQ(machine->FirstChild(), a);
    EXPECT_EQ(machine->NextChild(2), c);
    EXPECT_EQ(machine->NextChild(0), c);  // a visited child: stays
    EXPECT_EQ(machine->NextChild(-1), b);
    machine->SetChildFilter((1u << 0) | (1u << 3));
    // The cursor stands on b, now hidden: step 0 goes forward, never back to a.
    EXPECT_EQ(machine->NextChild(0), d);
    EXPECT_EQ(machine->NextChild(-2), a);
    EXPECT_EQ(machine->CurrentChild(), a);
    EXPECT_EQ(machine->NextChild(1), d);
    EXPECT_EQ(machine->NextChild(1), nullptr);
    EXPECT_TRUE(machine->ChildCursorOut());
    EXPECT_TRUE(machine->ChildCursorOut2());
    EXPECT_EQ(machine->NextChild(-1000), nullptr);
    EXPECT_EQ(machine->LastChild(), d);
    EXPECT_FALSE(machine->ChildCursorOut());
}

TEST_F(NodeTreeTest, Children_areLoadedOnFirstNeedAndAgainAfterBeingFreed) {
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    machine->onLoad = [](NamedNode& node) {
        Add<DatedNode>(node, "M1", 1.0);
        Add<DatedNode>(node, "M2", 2.0);
    };
    const std::int64_t before = context.liveNodes;
    EXPECT_FALSE(machine->ChildrenLoaded());
    ASSERT_NE(machine->FirstChild(), nullptr);
    machine->FirstChild();
    machine->EnsureChildren();
    EXPECT_EQ(machine->loadCount, 1);
    EXPECT_EQ(context.liveNodes, before + 2);

    machine->SetBusy(true);
    machine->FreeChildren();
    EXPECT_FALSE(machine->ChildrenLoaded());
    EXPECT_FALSE(machine->IsBusy());
    EXPECT_EQ(context.liveNodes, before);
    EXPECT_THAT(WalkForward(*machine), ElementsAre("M1", "M2"));
    EXPECT_EQ(machine->loadCount, 2);
}

// ---- Commands --------------------------------------------------------------------------------------------

TEST_F(NodeTreeTest, ExecuteCommand_runsTheBaseCommandsAndAnswersWhatToRedraw) {
    struct Case {
        int command;
        CreateResult create;
        RefreshCode refresh;
        std::vector<int> createdLevels;
        std::vector<int> infoShown;
    };
    const Case cases[] = {
        {21, CreateResult::Created, RefreshCode::Children, {2}, {}},
        {23, CreateResult::Created, RefreshCode::Children, {4}, {}},
        {25, CreateResult::Created, RefreshCode::Children, {6}, {}},
        {26, CreateResult::Created, RefreshCode::Children, {10}, {}},
        {27, CreateResult::Created, RefreshCode::Children, {0}, {}},
        {21, CreateResult::NotCreated, RefreshCode::None, {2}, {}},
        {62, CreateResult::Created, RefreshCode::None, {}, {1}},
        {63, CreateResult::Created, RefreshCode::None, {}, {2}},
        {100, CreateResult::Created, RefreshCode::None, {}, {}},
    };
    for (const Case& c : cases) {
        auto node = MakeNode<NamedNode>(context, nullptr, "Цех", 2);
        node->createResult = c.create;
        int command = c.command;
        EXPECT_EQ(node->ExecuteCommand(command), c.refresh) << "command " << c.command;
        EXPECT_EQ(node->createdLevels, c.createdLevels) << "command " << c.command;
        EXPECT_EQ(node->infoShown, c.infoShown) << "command " << c.command;
        EXPECT_EQ(node->loadCount, 1) << "children are loaded before any command";
    }
}

TEST_F(NodeTreeTest, ExecuteCommand_renameCommandsRedrawTheNodeOnlyWhenRenamed) {
    for (int command : {1, 2, 3, 4, 5, 219}) {
        auto node = MakeNode<NamedNode>(context, nullptr, "Цех", 2);
        ui.editReplies = {std::string("Цех ") + std::to_string(command)};
        int number = command;
        EXPECT_EQ(node->ExecuteCommand(number), RefreshCode::Self) << command;
        EXPECT_EQ(node->GetName(), "Цех " + std::to_string(command));
        ui.editReplies = {std::nullopt};
        number = command;
        EXPECT_EQ(node->ExecuteCommand(number), RefreshCode::None) << command;
    }
}

TEST_F(NodeTreeTest, FillCommandMenu_offersInformationForEveryNode) {
    auto node = MakeNode<TDBLevel>(context, nullptr);
    CommandMenu menu;
    node->FillCommandMenu(menu);
    ASSERT_NE(menu.Find(kCommandShowInfo2), nullptr);
    EXPECT_EQ(menu.Find(kCommandShowInfo2)->caption, "Просмотр информации");
    EXPECT_EQ(menu.Commands().size(), 1u);
}

// ---- Renaming --------------------------------------------------------------------------------------------

class RenameTest : public NodeTreeTest {
  protected:
    void SetUp() override {
        NodeTreeTest::SetUp();
        station = MakeNode<DirNode>(context, nullptr, std::filesystem::path(), "Цех", 2);
        pump = Add<NamedNode>(*station, "Насос", kLevelMachine, kLevelKindMachine);
        fan = Add<NamedNode>(*station, "Вентилятор", kLevelMachine, kLevelKindMachine);
    }

    NodePtrOf<DirNode> station;
    NamedNode* pump = nullptr;
    NamedNode* fan = nullptr;
};

TEST_F(RenameTest, Rename_refusesASiblingsNameInAnyCaseAndAsksAgainWithTheRefusedText) {
    ui.editReplies = {"НАСОС", "Вентилятор 2"};
    EXPECT_EQ(fan->Rename(), RenameResult::Renamed);
    EXPECT_EQ(fan->GetName(), "Вентилятор 2");
    EXPECT_THAT(ui.editOffered, ElementsAre("Вентилятор", "НАСОС"));
    EXPECT_THAT(ui.editPrompts, ElementsAre("Имя", "Имя"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Такое имя уже существует !");
    EXPECT_EQ(ui.messages[0].type, common::DialogType::Error);
    EXPECT_EQ(ui.messages[0].buttons, common::kButtonOk);
    EXPECT_THAT(fan->stored, ElementsAre("Вентилятор 2"));
    EXPECT_EQ(pump->GetName(), "Насос");
}

TEST_F(RenameTest, Rename_keepsTheNameWhenCancelledOrLeftAsOfferedAndRestoresTheParentFilter) {
    const std::vector<std::optional<std::string>> replies = {std::nullopt, "Вентилятор", "  Вентилятор  "};
    for (const auto& reply : replies) {
        station->SetChildFilter(0x0123);
        ui.editReplies = {reply};
        EXPECT_EQ(fan->Rename(), RenameResult::NotRenamed) << reply.value_or("<cancel>");
        EXPECT_EQ(fan->GetName(), "Вентилятор");
        EXPECT_EQ(station->ChildFilter(), 0x0123);
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(fan->stored.empty());
}

TEST_F(RenameTest, Rename_asksTheParentWithOnlyTheNodesOwnKindInTheFilter) {
    class WatchingStation : public DirNode {
      public:
        using DirNode::DirNode;
        std::vector<std::uint16_t> filters;
        Clash FindNameOrPathClash(const TDBLevel* skip, std::string_view name,
                                  const std::filesystem::path& path) override {
            filters.push_back(ChildFilter());
            return DirNode::FindNameOrPathClash(skip, name, path);
        }
    };
    auto watching = MakeNode<WatchingStation>(context, nullptr, std::filesystem::path(), "Цех", 2);
    NamedNode* machine = Add<NamedNode>(*watching, "Насос", kLevelMachine, kLevelKindMachine);
    ui.editReplies = {"Насос 2"};
    EXPECT_EQ(machine->Rename(), RenameResult::Renamed);
    EXPECT_THAT(watching->filters, ElementsAre(1u << kLevelKindMachine));
    EXPECT_EQ(watching->ChildFilter(), 0x01FF);
}

TEST_F(RenameTest, Rename_refusesBlankNamesAndAQuestionMark) {
    // "?" is what a file holding no name reads back as; a node so named would vanish at the next reading.
    ui.editReplies = {"   ", "?", std::nullopt};
    EXPECT_EQ(fan->Rename(), RenameResult::NotRenamed);
    EXPECT_EQ(fan->GetName(), "Вентилятор");
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, common::LoadText(9418));
    EXPECT_EQ(ui.messages[1].text, common::LoadText(9418));
    EXPECT_TRUE(fan->stored.empty());
}

TEST_F(RenameTest, Rename_thatCannotBeStoredKeepsTheOldNameAndTellsNoWindow) {
    RecordingView view("view", log);
    fan->AttachView(&view);
    fan->storeSucceeds = false;
    ui.editReplies = {"Дымосос"};
    EXPECT_EQ(fan->Rename(), RenameResult::NotRenamed);
    EXPECT_EQ(fan->GetName(), "Вентилятор");
    EXPECT_THAT(fan->stored, ElementsAre("Дымосос"));
    EXPECT_TRUE(log.empty());
    fan->DetachView(&view);
}

TEST_F(RenameTest, Rename_cutsTheNameToSixtyCharacters) {
    std::string longName;
    for (int i = 0; i < 70; ++i) {
        longName += "я";
    }
    ui.editReplies = {longName};
    EXPECT_EQ(fan->Rename(), RenameResult::Renamed);
    EXPECT_EQ(fan->GetName(), longName.substr(0, 120));  // 60 two-byte characters
}

TEST_F(NodeTreeTest, Rename_withoutAUserOrInTheBaseDoesNothing) {
    auto plain = MakeNode<TDBLevel>(context, nullptr);
    EXPECT_EQ(plain->Rename(), RenameResult::NotRenamed);
    context.ui = nullptr;
    auto named = MakeNode<NamedNode>(context, nullptr, "Цех", 2);
    EXPECT_EQ(named->Rename(), RenameResult::NotRenamed);
}

// ---- Identity, ancestors, uniqueness ---------------------------------------------------------------------

TEST_F(NodeTreeTest, FindAncestor_walksUpToTheLevelAndStopsWhenPassingBelowIt) {
    auto root = MakeNode<NamedNode>(context, nullptr, "Завод", kLevelRoot);
    NamedNode* station = Add<NamedNode>(*root, "Цех", 2);
    NamedNode* machine = Add<NamedNode>(*station, "Насос", kLevelMachine, kLevelKindMachine);
    DatedNode* measurement = Add<DatedNode>(*machine, "M1", 1.0);
    NamedNode* point = Add<NamedNode>(*measurement, "1", kLevelPoint);
    NamedNode* direction = Add<NamedNode>(*point, "1В", kLevelDirection);

    EXPECT_EQ(point->FindAncestor(kLevelMachine), machine);
    EXPECT_EQ(machine->FindAncestor(kLevelPoint), nullptr);
    EXPECT_EQ(point->FindAncestor(kLevelPoint), point);
    EXPECT_EQ(direction->FindAncestor(kLevelRoot), root.get());
    EXPECT_EQ(machine->FindAncestor(3), nullptr);  // the station above is level 2
}

TEST_F(NodeTreeTest, IsUnique_looksAtFilteredChildrenOfTheSameLevelAndKind) {
    auto station = MakeNode<NamedNode>(context, nullptr, "Цех", 2);
    NamedNode* a = Add<NamedNode>(*station, "A", kLevelMachine, kLevelKindMachine);
    Add<NamedNode>(*station, "C", kLevelMeasurement, 0);
    auto sameName = MakeNode<NamedNode>(context, nullptr, "a", kLevelMachine, kLevelKindMachine);
    auto otherLevel = MakeNode<NamedNode>(context, nullptr, "a", kLevelMeasurement, 0);
    auto other = MakeNode<NamedNode>(context, nullptr, "c", kLevelMeasurement, 0);

    EXPECT_FALSE(station->IsUnique(*sameName));
    EXPECT_TRUE(station->IsUnique(*otherLevel));
    EXPECT_FALSE(station->IsUnique(*other));
    EXPECT_TRUE(station->IsUnique(*a));  // a node never conflicts with itself
    station->SetChildFilter(1u << 0);
    EXPECT_TRUE(station->IsUnique(*sameName));
}

TEST_F(NodeTreeTest, NewNode_takesTheFirst32SlotsAndTheInheritedByteOfItsParent) {
    auto parent = MakeNode<TDBLevel>(context, nullptr);
    common::ProgramSet programs;
    for (int slot : {1, 12, 31, 32, 100}) {
        programs.set(static_cast<std::size_t>(slot));
    }
    parent->SetPrograms(programs);
    parent->SetInheritedByte(7);
    auto child = MakeNode<TDBLevel>(context, parent.get());
    EXPECT_TRUE(child->HasProgram(1));
    EXPECT_TRUE(child->HasProgram(12));
    EXPECT_TRUE(child->HasProgram(31));
    EXPECT_FALSE(child->Programs().test(32));
    EXPECT_FALSE(child->Programs().test(100));
    EXPECT_FALSE(parent->HasProgram(32));  // slots above 31 are never members
    EXPECT_EQ(child->InheritedByte(), 7);
    EXPECT_GT(child->InstanceNumber(), parent->InstanceNumber());
    EXPECT_TRUE(child->IsProgramSetEmpty(programs));  // without a root nobody knows the slots
}

TEST_F(NodeTreeTest, IsProgramSetEmpty_isAnsweredAtTheTopByTheUsableSlots) {
    class Root : public TDBLevel {
      public:
        using TDBLevel::TDBLevel;
        bool IsProgramSetEmpty(const common::ProgramSet& set) const override { return HasNoUsableSlot(set); }
    };
    auto root = MakeNode<Root>(context, nullptr);
    auto child = MakeNode<TDBLevel>(context, root.get());
    common::ProgramSet set;
    EXPECT_TRUE(child->IsProgramSetEmpty(set));
    set.set(21);
    set.set(0);
    set.set(100);
    EXPECT_TRUE(child->IsProgramSetEmpty(set)) << "slots 0 and 21 and above are never usable";
    set.set(20);
    EXPECT_FALSE(child->IsProgramSetEmpty(set));
}

TEST_F(NodeTreeTest, IsEnabledAndDateTime_dependOnTheAncestors) {
    auto root = MakeNode<NamedNode>(context, nullptr, "Завод", kLevelRoot);
    NamedNode* station = Add<NamedNode>(*root, "Цех", 2);
    NamedNode* machine = Add<NamedNode>(*station, "Насос", kLevelMachine, kLevelKindMachine);
    root->SetDateTime(100.0);
    EXPECT_EQ(machine->GetDateTime(), 100.0);
    station->SetDateTime(200.0);
    EXPECT_EQ(machine->GetDateTime(), 200.0);
    machine->SetDateTime(300.0);
    EXPECT_EQ(machine->GetDateTime(), 300.0);

    EXPECT_TRUE(machine->IsEnabled());
    station->SetEnabled(false);
    EXPECT_FALSE(machine->IsEnabled());
    EXPECT_TRUE(root->IsEnabled());
}

TEST_F(NodeTreeTest, MachineQuestions_goUpTheTree) {
    class Machine : public NamedNode {
      public:
        using NamedNode::NamedNode;
        int GetChannelCount() const override { return 12; }
        std::string GetLevelName(int levelNumber) const override {
            return levelNumber == kLevelMachine ? GetName() : NamedNode::GetLevelName(levelNumber);
        }
    };
    auto machine = MakeNode<Machine>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    DatedNode* measurement = Add<DatedNode>(*machine, "M1", 1.0);
    NamedNode* point = Add<NamedNode>(*measurement, "Точка 1", kLevelPoint);
    EXPECT_EQ(point->GetChannelCount(), 12);
    EXPECT_EQ(point->GetLevelName(kLevelMachine), "Насос");
    EXPECT_EQ(point->GetLevelName(0), "Точка 1");
    EXPECT_EQ(point->GetLevelName(3), "");
    EXPECT_EQ(point->GetPassportFileName(), "None.Psp");
    PassportRecord record;
    record.fill(0xFF);
    EXPECT_FALSE(point->GetPassport(record));
    EXPECT_TRUE(std::all_of(record.begin(), record.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(NodeTreeTest, GetIconName_addsTheStateAndMarkSuffixes) {
    struct Case {
        std::int32_t state;
        bool marked;
        const char* expected;
    };
    const Case cases[] = {
        {kStateNotSet, false, "AGR"},   {kStateGreen, false, "AGR_G"}, {kStateYellow, false, "AGR_Y"},
        {kStateRed, false, "AGR_R"},    {kStateBlue, false, "AGR_B"},  {5, false, "AGR"},
        {kStateGreen, true, "AGR_G_M"}, {kStateNotSet, true, "AGR_M"},
    };
    auto node = MakeNode<TDBLevel>(context, nullptr);
    EXPECT_EQ(node->GetIconName(), "");
    node->SetMarked(true);
    EXPECT_EQ(node->GetIconName(), "") << "no key, no icon";
    node->SetIconKey("AGR");
    for (const Case& c : cases) {
        node->SetState(c.state);
        node->SetMarked(c.marked);
        EXPECT_EQ(node->GetIconName(), c.expected);
    }
    node->SetIconKey("ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(node->GetIconKey(), "ABCDEFGHIJKLMNO");
}

// ---- Notification ----------------------------------------------------------------------------------------

TEST_F(NodeTreeTest, NotifyViews_tellsTheBrowserFirstThenSignalWindowsInAttachOrder) {
    RecordingSink browser(log);
    context.browser = &browser;
    auto node = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    RecordingView first("first", log);
    RecordingView notSignal("not-signal", log, false);
    RecordingView third("third", log);
    node->AttachView(&first);
    node->AttachView(&notSignal);
    node->AttachView(&third);
    node->Notify(NodeEvent::DataChanged);
    EXPECT_THAT(Who(), ElementsAre("browser", "first", "third"));
    EXPECT_EQ(log[1].node, node.get());
    EXPECT_EQ(log[1].event, NodeEvent::DataChanged);
    for (RecordingView* v : {&first, &notSignal, &third}) {
        node->DetachView(v);
    }
    context.browser = nullptr;
}

TEST_F(NodeTreeTest, NotifyViews_copesWithViewsDetachingAndDyingDuringTheWalk) {
    auto node = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    RecordingView leaving("leaving", log);
    RecordingView killer("killer", log);
    auto victim = std::make_unique<RecordingView>("victim", log);
    RecordingView last("last", log);
    leaving.onEvent = [&](TDBLevel& n, NodeEvent) { n.DetachView(&leaving); };
    killer.onEvent = [&](TDBLevel& n, NodeEvent) {
        if (victim) {
            n.DetachView(victim.get());
            victim.reset();
        }
    };
    node->AttachView(&leaving);
    node->AttachView(&killer);
    node->AttachView(victim.get());
    node->AttachView(&last);

    node->Notify(NodeEvent::DataChanged);
    // The view after the one that left is still told; the destroyed one is not.
    EXPECT_THAT(Who(), ElementsAre("leaving", "killer", "last"));
    log.clear();
    node->Notify(NodeEvent::DataChanged);
    EXPECT_THAT(Who(), ElementsAre("killer", "last"));
    node->DetachView(&killer);
    node->DetachView(&last);
}

TEST_F(NodeTreeTest, NotifyViews_swallowsFailuresOfTheBrowserAndOfViews) {
    RecordingSink browser(log);
    browser.fail = true;
    context.browser = &browser;
    auto node = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    RecordingView failing("failing", log);
    RecordingView after("after", log);
    failing.onEvent = [](TDBLevel&, NodeEvent) { throw std::runtime_error("window failure"); };
    node->AttachView(&failing);
    node->AttachView(&after);
    EXPECT_NO_THROW(node->Notify(NodeEvent::DataChanged));
    EXPECT_THAT(Who(), ElementsAre("browser", "failing", "after"));
    node->DetachView(&failing);
    node->DetachView(&after);
    context.browser = nullptr;
}

TEST_F(NodeTreeTest, AttachView_keepsEachViewOnce) {
    auto node = MakeNode<TDBLevel>(context, nullptr);
    RecordingView view("view", log);
    RecordingView other("other", log);
    node->AttachView(&view);
    node->AttachView(&view);
    node->AttachView(nullptr);
    EXPECT_EQ(node->ViewCount(), 1);
    EXPECT_EQ(node->IndexOfView(&view), 0);
    EXPECT_EQ(node->IndexOfView(&other), -1);
    node->DetachView(&other);
    node->DetachView(&view);
    EXPECT_EQ(node->ViewCount(), 0);
}

TEST_F(NodeTreeTest, Rename_reachesTheWindowsOfLoadedDescendantsAlsoWhenTheNodeHasNone) {
    RecordingSink browser(log);
    context.browser = &browser;
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    DatedNode* measurement = Add<DatedNode>(*machine, "M1", 1.0);
    NamedNode* point = Add<NamedNode>(*measurement, "Точка 1", kLevelPoint);
    NamedNode* unloaded = Add<NamedNode>(*measurement, "Точка 2", kLevelPoint);
    RecordingView window("window", log);
    point->AttachView(&window);

    EXPECT_TRUE(machine->SetName("Насос 2"));
    const std::vector<Told> expected = {
        {"browser", machine.get(), NodeEvent::Renamed, "Насос 2", ""},
        {"browser", measurement, NodeEvent::Renamed, "Насос 2", ""},
        {"browser", point, NodeEvent::Renamed, "Насос 2", ""},
        {"window", point, NodeEvent::Renamed, "Насос 2", ""},
        {"browser", unloaded, NodeEvent::Renamed, "Насос 2", ""},
    };
    EXPECT_EQ(log, expected);
    EXPECT_EQ(log[0].nodeName, "Насос 2");  // the new name is in place when the windows are told
    EXPECT_EQ(unloaded->loadCount, 0);      // telling does not load anything
    point->DetachView(&window);
    context.browser = nullptr;
}

TEST_F(NodeTreeTest, Suspension_holdsBackChangesButNotTheEndOfANode) {
    RecordingSink browser(log);
    context.browser = &browser;
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    NamedNode* child = Add<NamedNode>(*machine, "Точка", kLevelPoint);
    RecordingView machineWindow("machine-window", log);
    RecordingView childWindow("child-window", log);
    machine->AttachView(&machineWindow);
    child->AttachView(&childWindow);
    {
        NotificationSuspension suspension(context);
        { NotificationSuspension nested(context); }
        EXPECT_TRUE(context.notificationsSuspended) << "an inner suspension must not end the outer one";
        EXPECT_TRUE(machine->SetName("Насос 2"));
        child->BeginAccess();
        child->EndAccess();
        EXPECT_TRUE(log.empty());
        // A window must hear of its node's end even now, or it keeps a dangling pointer.
        machine->FreeChildren();
        EXPECT_THAT(Who(), ElementsAre("browser", "child-window"));
        EXPECT_EQ(log[1].event, NodeEvent::Destroyed);
    }
    EXPECT_FALSE(context.notificationsSuspended);
    log.clear();
    machine->Notify(NodeEvent::DataChanged);
    EXPECT_THAT(Who(), ElementsAre("browser", "machine-window"));
    machine->DetachView(&machineWindow);
    context.browser = nullptr;
}

TEST_F(NodeTreeTest, Destroy_tellsTheNodeThenItsChildrenLastFirstWhileEachIsWhole) {
    auto machine = MakeNode<NamedNode>(context, nullptr, "Насос", kLevelMachine, kLevelKindMachine);
    NamedNode* first = Add<NamedNode>(*machine, "a", kLevelPoint);
    NamedNode* second = Add<NamedNode>(*machine, "b", kLevelPoint);
    RecordingView m("m", log);
    RecordingView a("a", log);
    RecordingView b("b", log);
    machine->AttachView(&m);
    first->AttachView(&a);
    second->AttachView(&b);
    const std::int64_t before = context.liveNodes;
    machine.reset();
    EXPECT_THAT(Who(), ElementsAre("m", "b", "a"));
    for (const Told& t : log) {
        EXPECT_EQ(t.event, NodeEvent::Destroyed);
    }
    // Every override is still alive when the windows ask the dying node for its name.
    EXPECT_EQ(log[0].nodeName, "Насос");
    EXPECT_EQ(log[1].nodeName, "b");
    EXPECT_EQ(context.liveNodes, before - 3);
}

TEST_F(NodeTreeTest, EndAccess_tellsOfChangedDataAlsoWhenNothingWasWritten) {
    auto node = MakeNode<TDBLevel>(context, nullptr);
    RecordingView view("view", log);
    node->AttachView(&view);
    node->BeginAccess();
    EXPECT_TRUE(log.empty());
    node->EndAccess();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event, NodeEvent::DataChanged);
    EXPECT_EQ(log[0].node, node.get());
    node->DetachView(&view);
}

}  // namespace
}  // namespace velmar::archive
