// The archive node kinds on the fixture archive laid out by tools/fixtures/make_archive_fixtures.py: what the
// tree lists, what each node offers, and what creating, renaming and deleting do on disk.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>

#include "ArchiveKindsSupport.hpp"
#include "archive/AgregatDBLevel.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/NaprDBLevel.hpp"
#include "archive/PointDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "archive/StantionDBLevel.hpp"
#include "archive/TransformEngine.hpp"
#include "archive/ZamerDBLevel.hpp"
#include "archive/ZamerFile.hpp"
#include "common/Real48.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {
namespace {

namespace fs = std::filesystem;
using test::As;
using test::Child;
using test::FixtureArchive;
using test::ScriptedDialogs;
using test::StoredLines;
using test::Walk;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kStation1 = "Насосная станция №1";
constexpr const char* kShop = "Цех водоподготовки";
constexpr const char* kMachine1 = "Н-1 питательный";
constexpr const char* kNameSetMachine = "ДН-10 вытяжной";
constexpr const char* kReadOnlyMachine = "Н-4 резервный";
constexpr const char* kOldMachine = "Н-5 старый";
constexpr const char* kReadOnlyStation = "Архивная станция";
constexpr const char* kStore = "Склад";

bool Offers(TDBLevel& node, int command) {
    CommandMenu menu;
    node.FillCommandMenu(menu);
    return menu.Find(command) != nullptr;
}

std::string Caption(TDBLevel& node, int command) {
    CommandMenu menu;
    node.FillCommandMenu(menu);
    const MenuCommand* found = menu.Find(command);
    return found != nullptr ? found->caption : std::string("<none>");
}

std::vector<std::string> EntryNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ArchiveKindsTest : public ::testing::Test {
  protected:
    void SetUp() override { session = fixture.Open(&ui, &dialogs); }

    TProgDBLevel& Root() { return session->Root(); }
    TStantionDBLevel* Station1() { return As<TStantionDBLevel>(Walk(Root(), {kStation1})); }
    TStantionDBLevel* Shop() { return As<TStantionDBLevel>(Walk(Root(), {kStation1, kShop})); }
    TAgregatDBLevel* Machine1() { return As<TAgregatDBLevel>(Walk(Root(), {kStation1, kShop, kMachine1})); }
    TAgregatDBLevel* NameSetMachine() {
        return As<TAgregatDBLevel>(Walk(Root(), {kStation1, kShop, kNameSetMachine}));
    }
    fs::path ShopDir() const { return fixture.Plant() / "_STAN001" / "_CEH001"; }

    FixtureArchive fixture;
    test::ScriptedUi ui;
    ScriptedDialogs dialogs;
    std::unique_ptr<ArchiveSession> session;
};

// ---- What the tree lists ---------------------------------------------------------------------------------

TEST_F(ArchiveKindsTest, Tree_listsExactlyWhatTheFixtureScriptWorkedOut) {
    std::vector<std::string> actual;
    test::FlattenTree(DescribeTree(Root()), 0, actual);
    const std::vector<std::string> expected = FixtureArchive::Lines("expected_tree.tsv");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        if (actual[i] != expected[i]) {
            ADD_FAILURE() << "first difference at line " << i + 1 << ":\n  got  " << actual[i] << "\n  want "
                          << expected[i];
            break;
        }
    }
}

TEST_F(ArchiveKindsTest, Tree_listedWithStatesNotWrittenLeavesEveryFileAsItWas) {
    std::map<fs::path, std::string> before;
    for (const auto& entry : fs::recursive_directory_iterator(fixture.Plant())) {
        if (entry.is_regular_file()) {
            before[entry.path()] = velmar::test::ReadBytes(entry.path());
        }
    }
    Root().SetStatesWritten(false);
    DescribeTree(Root());
    // Н-1 stored state 0; its measurements say 6, in memory only.
    EXPECT_EQ(Machine1()->GetState(), kStateRed);
    std::map<fs::path, std::string> after;
    for (const auto& entry : fs::recursive_directory_iterator(fixture.Plant())) {
        if (entry.is_regular_file()) {
            after[entry.path()] = velmar::test::ReadBytes(entry.path());
        }
    }
    EXPECT_EQ(after.size(), before.size());
    EXPECT_TRUE(after == before);
}

TEST_F(ArchiveKindsTest, Tree_depthLimitStopsBelowTheRequestedLevel) {
    const ArchiveTreeEntry top = DescribeTree(Root(), 1);
    ASSERT_EQ(top.children.size(), 3u);
    for (const ArchiveTreeEntry& station : top.children) {
        EXPECT_THAT(station.children, IsEmpty());
    }
    EXPECT_THAT(DescribeTree(Root(), 0).children, IsEmpty());
}

TEST_F(ArchiveKindsTest, Root_listsReadablePassportsAndNameSetsButTheBrowserShowsNeither) {
    std::vector<std::string> passports;
    for (TPspDBLevel* p : Root().Passports()) {
        passports.push_back(p->GetPath().filename().string());
    }
    // In the order of their names; empty.psp names no machine type.
    EXPECT_THAT(passports, ElementsAre("vn_bin.PSP", "KM_4VU.psp", "NS_D320.psp", "XX_OTHER.psp"));
    std::vector<std::string> nameSets;
    for (TNameSetDBLevel* n : Root().NameSets()) {
        nameSets.push_back(n->GetPath().filename().string());
    }
    // BAD.NAM has no name.
    EXPECT_THAT(nameSets, ElementsAre("ns4.nam"));
    for (TPspDBLevel* p : Root().Passports()) {
        EXPECT_EQ(p->GetFlags() & kFlagShownInTree, 0);
    }
    EXPECT_EQ(Root().PassportDirectory().filename(), "Psp");
}

TEST_F(ArchiveKindsTest, Nodes_carryTheirLevelKindIconAndFlagWord) {
    TAgregatDBLevel* machine = Machine1();
    ASSERT_NE(machine, nullptr);
    TDBLevel* zamer = Child(*machine, "Замер от 15.01.2024 в 10:20:30");
    ASSERT_NE(zamer, nullptr);
    TDBLevel* point = Child(*zamer, "Точка 1");
    ASSERT_NE(point, nullptr);
    TDBLevel* direction = Child(*point, " Вертикально");
    ASSERT_NE(direction, nullptr);
    TDBLevel* unused = Walk(*Child(*machine, "Замер от 01.03.2024 в 07:45:00"), {"Точка 1", " Вертикально"});
    ASSERT_NE(unused, nullptr);
    TDBLevel* readOnlyZamer = Child(*machine, "Замер от 10.02.2024 в 09:00:00");
    ASSERT_NE(readOnlyZamer, nullptr);

    struct Row {
        TDBLevel* node;
        int level;
        int kind;
        const char* icon;
        int flags;
    };
    const Row rows[] = {
        {&Root(), 1, 0, "PALMEK", 3},
        {Station1(), 2, 0, "STAN", 159},
        {Shop(), 3, 0, "STAN", 159},
        {machine, 7, 1, "AGR", 159},
        {zamer, 8, 0, "ZAM", 409},
        {readOnlyZamer, 8, 0, "ZAM", 401},
        {point, 9, 0, "PNT", 145},
        {direction, 10, 0, "NAPR_SIGN", 177},
        {unused, 10, 0, "NAPR_NONE", 1},
        {Root().FindPassport("ns_d320.psp"), 2, 1, "PSP", 0},
        {Root().FindNameSet("NS4.NAM"), 2, 2, "NSET", 0},
    };
    for (const Row& row : rows) {
        ASSERT_NE(row.node, nullptr);
        SCOPED_TRACE(row.node->GetName());
        EXPECT_EQ(row.node->GetLevelNumber(), row.level);
        EXPECT_EQ(row.node->GetLevelKind(), row.kind);
        EXPECT_EQ(row.node->GetIconKey(), row.icon);
        EXPECT_EQ(row.node->GetFlags(), row.flags);
    }
    EXPECT_TRUE(Root().IsExpanded());
    // The colour state shows in the icon name.
    EXPECT_EQ(machine->GetIconName(), "AGR_R");
}

TEST_F(ArchiveKindsTest, Directions_loadTheirChannelFromTheFileAtEveryFirstLock) {
    int checked = 0;
    const std::vector<std::string> lines = FixtureArchive::Lines("expected_values.tsv");
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string path;
        int channel = 0;
        std::getline(in, path, '\t');
        in >> channel;
        std::vector<double> expected;
        double v = 0;
        while (in >> v) {
            expected.push_back(v);
        }
        SCOPED_TRACE(path + " channel " + std::to_string(channel));
        // Find the measurement by its path, then the direction of that channel.
        TZamerDBLevel* zamer = nullptr;
        std::function<void(TDBLevel&)> find = [&](TDBLevel& node) {
            if (auto* z = dynamic_cast<TZamerDBLevel*>(&node);
                z != nullptr && z->GetPath() == fixture.Plant() / path) {
                zamer = z;
                return;
            }
            if (node.GetLevelNumber() >= kLevelMeasurement) {
                return;
            }
            node.EnsureChildren();
            for (int i = 0; i < node.ChildCount() && zamer == nullptr; ++i) {
                find(*node.ChildAt(i));
            }
        };
        find(Root());
        ASSERT_NE(zamer, nullptr);
        TNaprPreobrDBLevel* direction = zamer->FindChannel(channel);
        ASSERT_NE(direction, nullptr);
        EXPECT_EQ(direction->ChannelNumber(), channel);
        direction->LockData();
        EXPECT_EQ(direction->GetHeader().Count, static_cast<int>(expected.size()));
        EXPECT_THAT(std::vector<double>(direction->Values().begin(), direction->Values().end()),
                    ::testing::ElementsAreArray(expected));
        EXPECT_DOUBLE_EQ(direction->Y(2), expected[1]);
        direction->UnlockData();
        EXPECT_TRUE(direction->Values().empty());
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(lines.size()));
    EXPECT_GT(checked, 20);
}

TEST_F(ArchiveKindsTest, Directions_rereadTheFileAtTheNextLockAndReportAFileThatWentAway) {
    TNaprPreobrDBLevel* direction =
        As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"))->FindChannel(1);
    ASSERT_NE(direction, nullptr);
    direction->LockData();
    const double first = direction->Y(1);
    direction->UnlockData();
    {
        TZamerFile file = TZamerFile::OpenFile(direction->GetPath());
        std::vector<double> values(8, 7.0);
        ASSERT_GT(file.WriteChannelData(1, values), 0);
    }
    direction->LockData();
    EXPECT_NE(direction->Y(1), first);
    EXPECT_NEAR(direction->Y(1), 7.0, 1e-3);
    direction->UnlockData();

    fs::remove(direction->GetPath());
    EXPECT_THROW(direction->LockData(), EFailOpenFile);
    EXPECT_EQ(direction->LockCount(), 0);
    EXPECT_FALSE(direction->IsReadable());
}

TEST_F(ArchiveKindsTest, Directions_keepThePhaseResponseBlockOfTheirChannel) {
    // A channel block 14 written into a measurement shows on its direction once the measurement is re-read.
    const fs::path file = ShopDir() / "_AGR001" / "M3240115.001";
    std::vector<std::uint8_t> block(1072, 0);
    block[0] = 3;
    block[8] = 1;
    {
        TZamerFile zamer = TZamerFile::OpenFile(file);
        ASSERT_TRUE(zamer.WriteChannelBlock(2, kChannelBlockPhaseResponse, block));
    }
    auto* zamer = As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"));
    ASSERT_TRUE(zamer->FindChannel(2)->PhaseResponseBlock().has_value());
    EXPECT_EQ((*zamer->FindChannel(2)->PhaseResponseBlock())[0], 3);
    EXPECT_FALSE(zamer->FindChannel(1)->PhaseResponseBlock().has_value());
}

// ---- Names of points and directions ----------------------------------------------------------------------

TEST_F(ArchiveKindsTest, FixedScheme_namesEveryPartOfAPointAndDirection) {
    TAgregatDBLevel* machine = Machine1();
    struct Row {
        int point;
        int direction;
        int part;
        const char* name;
    };
    const Row rows[] = {
        {1, 1, 0, kMachine1},
        {2, 3, 1, kMachine1},
        {1, 2, 7, kMachine1},
        {2, -1, 9, "Точка 2"},
        {0, 1, 9, ""},
        {2, 1, 10, "2"},
        {1, -1, 11, ""},
        {1, 0, 11, " Отметчик"},
        {1, 1, 11, " Вертикально"},
        {1, 2, 11, " Поперечно"},
        {1, 3, 11, " Осевое"},
        {2, 0, 12, "Отм"},
        {2, 1, 12, "В"},
        {2, 2, 12, "П"},
        {2, 3, 12, "О"},
        {2, 1, 13, "2 Вертикально"},
        {1, 3, 13, "1 Осевое"},
        {2, 2, 14, "2П"},
        {1, 1, 8, ""},
        {3, 1, 11, ""},
        {1, 4, 11, ""},
        {-1, 1, 11, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.point) + "/" + std::to_string(row.direction) + " part " +
                     std::to_string(row.part));
        EXPECT_EQ(machine->GetPointDirectionName(row.point, row.direction, row.part), row.name);
    }
    EXPECT_EQ(machine->GetChannelName(0, 11), "Отметчик");
    EXPECT_EQ(machine->GetChannelName(5, 13), "2 Поперечно");
    EXPECT_EQ(machine->GetChannelName(7, 13), "");  // beyond the two points of the passport
}

TEST_F(ArchiveKindsTest, FixedScheme_mapsChannelsToPointsAndDirectionsBothWays) {
    TAgregatDBLevel* machine = Machine1();
    for (int channel = 1; channel <= TAgregatDBLevel::kMaxFixedChannels; ++channel) {
        int point = 0;
        int direction = 0;
        ASSERT_TRUE(machine->ChannelToPointDirection(channel, point, direction));
        EXPECT_EQ(point, (channel - 1) / 3 + 1);
        EXPECT_EQ(direction, (channel - 1) % 3 + 1);
        EXPECT_EQ(machine->GetChannelNumber(point, direction), channel);
    }
    int point = 0;
    int direction = 0;
    EXPECT_FALSE(machine->ChannelToPointDirection(0, point, direction));
    EXPECT_FALSE(machine->ChannelToPointDirection(43, point, direction));
    EXPECT_EQ(machine->GetChannelNumber(0, 1), 0);
    EXPECT_EQ(machine->GetChannelNumber(1, 4), 0);
    EXPECT_EQ(machine->PointCount(), 2);
    EXPECT_EQ(machine->GetChannelCount(), 6);
    ChannelInfo info;
    ASSERT_TRUE(machine->GetChannelInfo(5, info));
    EXPECT_EQ(info.name, "2 Поперечно");
    EXPECT_EQ(info.shortName, "2П");
    EXPECT_FALSE(info.pointOnly);
    EXPECT_FALSE(machine->GetChannelInfo(7, info));
}

TEST_F(ArchiveKindsTest, NameSetMachine_takesItsNamesAndChannelsFromTheSet) {
    TAgregatDBLevel* machine = NameSetMachine();
    ASSERT_NE(machine, nullptr);
    ASSERT_NE(machine->NameSet(), nullptr);
    EXPECT_EQ(machine->PointCount(), 2);  // the set's two points, fewer than the passport's three
    EXPECT_EQ(machine->GetChannelCount(), 8);
    EXPECT_EQ(machine->GetChannelNumber(2, 2), 8);
    EXPECT_EQ(machine->GetChannelNumber(0, 2), 7);
    EXPECT_EQ(machine->GetPointDirectionName(1, 1, 13), "Подшипник 1 Подшипник 1 верт");
    EXPECT_EQ(machine->GetPointDirectionName(2, 2, 14), "П2П2О");
    // The set has no marker; the fixed text stands in.
    EXPECT_EQ(machine->GetPointDirectionName(0, 0, 11), " Отметчик");
    EXPECT_EQ(machine->GetChannelName(6, 0), "Температура");
    auto* zamer = As<TZamerDBLevel>(Child(*machine, "Замер от 20.01.2024 в 11:00:00"));
    ASSERT_NE(zamer, nullptr);
    // Entry 3 is a direction whose channel the file never wrote: listed, but not found for use.
    EXPECT_EQ(zamer->FindDirection(1, 2), nullptr);
    ASSERT_NE(zamer->FindDirection(2, 2), nullptr);
    EXPECT_EQ(zamer->FindDirection(2, 2)->ChannelNumber(), 8);
    EXPECT_EQ(zamer->FindDirection(0, 1)->GetName(), "Температура");
    EXPECT_EQ(zamer->FindDirection(2, 2)->GetLevelName(0), "Подшипник 2 Подшипник 2 осев");
    EXPECT_EQ(zamer->FindDirection(2, 2)->GetLevelName(kLevelMachine), kNameSetMachine);
}

// ---- Measurements -----------------------------------------------------------------------------------------

TEST_F(ArchiveKindsTest, OldVersionMeasurement_isDisabledAndOffersNoWritingCommand) {
    auto* machine = As<TAgregatDBLevel>(Walk(Root(), {kStation1, kOldMachine}));
    ASSERT_NE(machine, nullptr);
    auto* zamer = As<TZamerDBLevel>(Child(*machine, "Замер от 17.05.2003 в 08:15:42"));
    ASSERT_NE(zamer, nullptr);
    EXPECT_EQ(zamer->Version(), 300);
    EXPECT_FALSE(zamer->IsEnabled());
    for (int command : {10, 12, 48}) {
        EXPECT_FALSE(Offers(*zamer, command)) << command;
    }
    EXPECT_TRUE(Offers(*zamer, 61));
    EXPECT_TRUE(Offers(*zamer, 62));
    for (int command : {10, 12, 219}) {
        int c = command;
        EXPECT_EQ(zamer->ExecuteCommand(c), RefreshCode::None);
    }
    EXPECT_THAT(dialogs.windowCommands, IsEmpty());

    auto* current = As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"));
    EXPECT_EQ(Caption(*current, 48), "Удалить замер");
    EXPECT_EQ(Caption(*current, 10), "Исправить технологические параметры");
    int command = 219;
    current->ExecuteCommand(command);
    EXPECT_THAT(dialogs.windowCommands, ElementsAre(std::make_pair(current, 219)));
    EXPECT_EQ(current->GetPromptText(kPromptDelete), "Удалить замер ?");
}

TEST_F(ArchiveKindsTest, Measurement_dropsTheSlotsWhoseRequirementsItMisses) {
    auto* zamer = As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"));
    ASSERT_TRUE(Machine1()->HasProgram(12));
    // Slot 12 requires nothing a measurement can offer.
    EXPECT_FALSE(zamer->HasProgram(12));
    EXPECT_EQ(zamer->RegularChannelCount(), 6);
    EXPECT_EQ(zamer->MarkerChannelCount(), 1);
}

TEST_F(ArchiveKindsTest, MarkerCountBeyondTheFile_listsOnlyTheChannelsThatExist) {
    auto* zamer = As<TZamerDBLevel>(Child(*Machine1(), "Замер от 01.03.2024 в 07:45:00"));
    ASSERT_NE(zamer, nullptr);
    EXPECT_EQ(zamer->MarkerChannelCount(), 3);
    EXPECT_EQ(zamer->RegularChannelCount(), 0);
    EXPECT_EQ(zamer->FindChannel(3)->MarkerNumber(), 3);
    EXPECT_EQ(zamer->FindChannel(4), nullptr);
    // A marker number the measurement does not have cannot become a node.
    try {
        MakeNode<TNaprDBLevel>(zamer->Context(), zamer, zamer->GetPath(), DirectionRef::Marker(4));
        ADD_FAILURE() << "a fourth marker was accepted";
    } catch (const EFailOpenFile& error) {
        EXPECT_EQ(std::string(error.what()), "Неверный отметчик !");
    }
    // A marker channel has no RMS value of its own.
    EXPECT_EQ(zamer->FindChannel(1)->Rms(), 0.0);
    EXPECT_GT(As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"))->FindChannel(1)->Rms(),
              0.0);
}

TEST_F(ArchiveKindsTest, ShaftSpeed_comesFromTheMeasurementElseFromThePassport) {
    auto* recorded = As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"));
    EXPECT_DOUBLE_EQ(recorded->ShaftSpeedHz(1).value(), 2985.0 / 60.0);
    auto* fromPassport = As<TZamerDBLevel>(Child(*NameSetMachine(), "Замер от 20.01.2024 в 11:00:00"));
    EXPECT_DOUBLE_EQ(fromPassport->ShaftSpeedHz(1).value(), 990.0 / 60.0);
    EXPECT_DOUBLE_EQ(fromPassport->ShaftSpeedHz(2).value(), 1480.0 / 60.0);
    EXPECT_FALSE(fromPassport->ShaftSpeedHz(3).has_value());  // the passport gives 0
    EXPECT_FALSE(fromPassport->ShaftSpeedHz(4).has_value());
    // An INI passport has no speeds.
    EXPECT_FALSE(As<TZamerDBLevel>(Child(*Machine1(), "Замер от 01.03.2024 в 07:45:00"))->ShaftSpeedHz(1));
    EXPECT_DOUBLE_EQ(recorded->TechParam(1).value(), 2985.0);
    EXPECT_FALSE(recorded->TechParam(2).has_value());
}

TEST_F(ArchiveKindsTest, TechParamRecord_holdsSixByteRealsAndTheComment) {
    auto* zamer = As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"));
    {
        TZamerFile file = TZamerFile::OpenFile(zamer->GetPath());
        ASSERT_TRUE(file.SetTechParam(kTechParamFirstId + 49, -2.5));
        ZamerDescription description = file.GetDescription();
        description.SetComment("После ремонта");
        file.SetDescription(description);
    }
    const TZamerDBLevel::TechParamRecord record = zamer->GetTechParams();
    // 2985 = 1.01110101001b * 2^11: exponent 11 + 129, the fraction bits at the top of the mantissa.
    EXPECT_THAT(std::vector<std::uint8_t>(record.begin(), record.begin() + 6),
                ElementsAre(0x8C, 0x00, 0x00, 0x00, 0x90, 0x3A));
    // -2.5 = -1.01b * 2^1.
    EXPECT_THAT(std::vector<std::uint8_t>(record.begin() + 6 * 49, record.begin() + 6 * 50),
                ElementsAre(0x82, 0x00, 0x00, 0x00, 0x00, 0xA0));
    EXPECT_THAT(std::vector<std::uint8_t>(record.begin() + 6, record.begin() + 12), Contains(0).Times(6));
    const std::string comment = common::Utf8ToCp1251("После ремонта");
    EXPECT_EQ(record[300], comment.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data()) + 301, comment.size()), comment);
}

// ---- Station levels
// ----------------------------------------------------------------------------------------

TEST_F(ArchiveKindsTest, Commands_offerDeeperStationsOnlyAboveTheSlotsDeepestLevel) {
    EXPECT_EQ(Caption(Root(), 21), "Привязка станции");
    EXPECT_EQ(Caption(*Station1(), 22), "Привязка цеха");
    EXPECT_EQ(Caption(*Station1(), 41), "Удалить станцию");
    EXPECT_EQ(Caption(*Station1(), 1), "Исправить наименование станции");
    EXPECT_EQ(Caption(*Station1(), 26), "Привязка агрегата");
    EXPECT_EQ(Caption(*Station1(), 12), "Длинное примечание");
    // The shop is at the slot's deepest level (3).
    EXPECT_FALSE(Offers(*Shop(), 23));
    EXPECT_EQ(Caption(*Shop(), 42), "Удалить цех");
    EXPECT_EQ(Caption(*Shop(), 2), "Исправить наименование цеха");
    EXPECT_TRUE(Offers(*Shop(), 26));
    EXPECT_EQ(Shop()->CreateStationWith(4, {"Участок", "_UCH002"}).status, NewNodeStatus::Failed);
    EXPECT_EQ(Shop()->CreateChild(4), CreateResult::NotCreated);
    EXPECT_THAT(dialogs.stationRequests, IsEmpty());
    EXPECT_FALSE(fs::exists(ShopDir() / "_UCH002"));
    // Its deeper station directory is not read either.
    EXPECT_EQ(Child(*Shop(), "Участок 1"), nullptr);
}

TEST_F(ArchiveKindsTest, StationWithoutTheSlot_offersNoCreationAndLosesItsMachines) {
    auto* store = As<TStantionDBLevel>(Child(Root(), kStore));
    ASSERT_NE(store, nullptr);
    EXPECT_FALSE(store->HasProgram(12));
    EXPECT_FALSE(Offers(*store, 22));
    EXPECT_FALSE(Offers(*store, 26));
    EXPECT_EQ(store->ChildCount(), 0);
    EXPECT_EQ(store->CreateMachineWith({"М", "_AGR009", "NS_D320.psp", ""}).status, NewNodeStatus::Failed);
    EXPECT_EQ(ui.messages.back().text, "Нет привязанных программ");
}

TEST_F(ArchiveKindsTest, CreateStation_writesItsDirectoryAndInfFile) {
    dialogs.stationReplies = {StationAnswers{"  Новая станция ", "STAN009"}};
    int command = 21;
    EXPECT_EQ(Root().ExecuteCommand(command), RefreshCode::Children);

    ASSERT_EQ(dialogs.stationRequests.size(), 1u);
    EXPECT_EQ(dialogs.stationRequests[0].caption, "Привязка станции");
    EXPECT_EQ(dialogs.stationRequests[0].nameLabel, "Наименование станции");
    EXPECT_EQ(dialogs.stationRequests[0].directoryLabel, "Директорий станции");
    EXPECT_EQ(dialogs.stationRequests[0].maxNameLength, 60);
    // _STAN001 .. _STAN003 are taken; "_Stan004" too, in another case.
    EXPECT_EQ(dialogs.stationRequests[0].proposedDirectory, "_STAN006");
    EXPECT_EQ(dialogs.stationOffered[0].name, "Станция");

    const fs::path dir = fixture.Plant() / "_STAN009";
    EXPECT_THAT(EntryNames(dir), ElementsAre("UNIT_D.INF"));
    const std::vector<std::string> lines = StoredLines(dir / "UNIT_D.INF");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "[Main]");
    EXPECT_EQ(lines[1], "Name=Новая станция");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(Date=\d\d\.\d\d\.\d\d\d\d)"))) << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(Time=\d\d:\d\d:\d\d)"))) << lines[3];
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "[Arch12]");
    EXPECT_EQ(lines[6], "Enabled=1");

    auto* station = As<TStantionDBLevel>(Child(Root(), "Новая станция"));
    ASSERT_NE(station, nullptr);
    EXPECT_EQ(station->GetPath(), dir);
    EXPECT_EQ(station->GetLevelNumber(), 2);
    EXPECT_TRUE(station->HasProgram(12));
    EXPECT_THAT(ui.messages, IsEmpty());
    // Nothing half-written is left behind.
    for (const std::string& name : EntryNames(fixture.Plant())) {
        EXPECT_NE(name.front(), '.') << name;
    }
}

TEST_F(ArchiveKindsTest, CreateStation_refusesClashesAndAsksAgainWithWhatWasTyped) {
    dialogs.stationReplies = {StationAnswers{"Другая", "stan001"}, StationAnswers{"склад", "_STAN010"},
                              StationAnswers{" ? ", "_STAN010"}, StationAnswers{"Третья", "  "},
                              std::nullopt};
    EXPECT_EQ(Root().CreateStation(2), CreateResult::NotCreated);
    std::vector<std::string> texts;
    for (const auto& m : ui.messages) {
        texts.push_back(m.text);
        EXPECT_EQ(m.type, common::DialogType::Error);
    }
    EXPECT_THAT(texts, ElementsAre("Такой директорий уже существует !", "Такое наименование уже существует !",
                                   "Наименование не должно быть пустым", "Имя файла не должно быть пустым"));
    ASSERT_EQ(dialogs.stationOffered.size(), 5u);
    EXPECT_EQ(dialogs.stationOffered[1].name, "Другая");
    EXPECT_EQ(dialogs.stationOffered[1].directory, "stan001");
    EXPECT_FALSE(fs::exists(fixture.Plant() / "_STAN010"));
}

TEST_F(ArchiveKindsTest, CreateStation_keepsATypedDirectoryInsideItsParent) {
    const std::vector<std::string> before = EntryNames(fixture.Plant());
    const std::vector<std::string> outside = EntryNames(fixture.Temp());
    const std::vector<std::string> typedNames = {"../escape", "_x/../../y",        "a\\b", "..", "_..",
                                                 "x\ty",      std::string(80, 'x')};
    for (const std::string& typed : typedNames) {
        SCOPED_TRACE(typed);
        ui.messages.clear();
        EXPECT_EQ(Root().CreateStationWith(2, {"Станция X", typed}).status, NewNodeStatus::Rejected);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].type, common::DialogType::Error);
    }
    EXPECT_EQ(EntryNames(fixture.Plant()), before);
    EXPECT_EQ(EntryNames(fixture.Temp()), outside);
    // A plain name just gets its "_".
    EXPECT_EQ(Root().CreateStationWith(2, {"Станция X", "X"}).status, NewNodeStatus::Created);
    EXPECT_TRUE(fs::is_regular_file(fixture.Plant() / "_X" / "UNIT_D.INF"));
}

TEST_F(ArchiveKindsTest, ReadOnlyStation_isNeverWrittenOrDeleted) {
    auto* station = As<TStantionDBLevel>(Child(Root(), kReadOnlyStation));
    ASSERT_NE(station, nullptr);
    EXPECT_FALSE(station->IsEnabled());
    EXPECT_TRUE(station->IsReadOnly());
    for (int command : {1, 22, 26, 41, 12}) {
        EXPECT_FALSE(Offers(*station, command)) << command;
    }
    EXPECT_TRUE(Offers(*station, 61));
    const fs::path inf = fixture.Plant() / "_STAN005" / "UNIT_D.INF";
    const std::string bytes = velmar::test::ReadBytes(inf);

    ui.editReplies = {std::string("Переименованная")};
    EXPECT_EQ(station->Rename(), RenameResult::NotRenamed);
    EXPECT_FALSE(station->SetName("Переименованная"));
    EXPECT_EQ(station->GetName(), kReadOnlyStation);
    EXPECT_EQ(station->CreateMachineWith({"Машина", "_AGR002", "NS_D320.psp", ""}).status,
              NewNodeStatus::Failed);
    EXPECT_EQ(station->CreateStationWith(3, {"Цех", "_CEH001"}).status, NewNodeStatus::Failed);
    EXPECT_EQ(Root().DeleteChild(*station), DeleteResult::StorageKept);
    EXPECT_EQ(velmar::test::ReadBytes(inf), bytes);
    EXPECT_THAT(EntryNames(fixture.Plant() / "_STAN005"), ElementsAre("UNIT_D.INF", "_AGR001"));
    // Its machine has a writable file, but is not usable below a read-only station.
    TDBLevel* machine = Child(*station, "Старый насос");
    ASSERT_NE(machine, nullptr);
    EXPECT_FALSE(machine->IsEnabled());
    EXPECT_FALSE(Offers(*machine, 44));
}

TEST_F(ArchiveKindsTest, RenameStation_writesTheNewNameIntoItsInfFile) {
    TStantionDBLevel* shop = Shop();
    // A sibling machine has the first name.
    ui.editReplies = {std::string("н-4 резервный"), std::string("Цех очистки")};
    EXPECT_EQ(shop->Rename(), RenameResult::Renamed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Такое имя уже существует !");
    EXPECT_EQ(shop->GetName(), "Цех очистки");
    const std::vector<std::string> lines = StoredLines(ShopDir() / "unit_d.inf");
    EXPECT_THAT(lines, Contains("Name=Цех очистки"));
    EXPECT_THAT(lines, Contains("Date=15.01.2024"));
    // The file keeps its spelling on disk; no second INF file appears.
    EXPECT_THAT(EntryNames(ShopDir()), Not(Contains("UNIT_D.INF")));
    EXPECT_EQ(shop->GetPromptText(kPromptRename), "Наименование цеха");
}

TEST_F(ArchiveKindsTest, DeleteStation_removesItsWholeDirectoryUnlessSomethingInsideIsReadOnly) {
    // _STAN001 holds a read-only machine: nothing of it goes.
    EXPECT_EQ(Root().DeleteChild(*Station1()), DeleteResult::StorageKept);
    EXPECT_TRUE(fs::exists(fixture.Plant() / "_STAN001" / "_CEH001" / "_AGR001" / "M3240115.001"));
    EXPECT_NE(Station1(), nullptr);

    auto* store = As<TStantionDBLevel>(Child(Root(), kStore));
    ui.messageReplies = {common::kResultYes};
    EXPECT_EQ(Root().ConfirmDeleteChild(*store), DeleteResult::Deleted);
    EXPECT_EQ(ui.messages.back().text, "Удалить станцию \"Склад\" ?");
    EXPECT_FALSE(fs::exists(fixture.Plant() / "_Stan004"));
    EXPECT_EQ(Child(Root(), kStore), nullptr);
}

// ---- Machines ---------------------------------------------------------------------------------------------

TEST_F(ArchiveKindsTest, CreateMachine_writesUnitAWithPassportAndNameSet) {
    dialogs.machineReplies = {MachineAnswers{"Насос новый", "AGR010", "ns_d320.PSP", "NS4.nam"}};
    int command = 26;
    EXPECT_EQ(Station1()->ExecuteCommand(command), RefreshCode::Children);

    ASSERT_EQ(dialogs.machineRequests.size(), 1u);
    const MachineDialogRequest& request = dialogs.machineRequests[0];
    EXPECT_EQ(request.caption, "Привязка агрегата");
    EXPECT_EQ(request.proposedDirectory, "_AGR001");
    // Only groups offered for new machines (middle field 0) that have a passport.
    ASSERT_EQ(request.groups.size(), 1u);
    EXPECT_EQ(request.groups[0].code, "NS_");
    EXPECT_EQ(request.passports.size(), 4u);
    ASSERT_EQ(request.nameSets.size(), 1u);
    EXPECT_EQ(request.nameSets[0].name, "Вентилятор, два подшипника");

    const fs::path dir = fixture.Plant() / "_STAN001" / "_AGR010";
    EXPECT_THAT(EntryNames(dir), ElementsAre("UNIT_A.INF"));
    const std::vector<std::string> lines = StoredLines(dir / "UNIT_A.INF");
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "[Main]");
    EXPECT_EQ(lines[1], "Name=Насос новый");
    EXPECT_EQ(lines[5], "[Arch12]");
    EXPECT_EQ(lines[6], "Enabled=1");
    // The files as they are spelled on disk.
    EXPECT_EQ(lines[7], "Psp=NS_D320.psp");
    EXPECT_EQ(lines[8], "Svet=0");
    EXPECT_EQ(lines[9], "Names=ns4.nam");

    auto* machine = As<TAgregatDBLevel>(Child(*Station1(), "Насос новый"));
    ASSERT_NE(machine, nullptr);
    EXPECT_EQ(machine->NameSet(), Root().FindNameSet("ns4.nam"));
    EXPECT_EQ(machine->GetPassportFileName(), "NS_D320.psp");
    EXPECT_EQ(machine->GetState(), 0);
}

TEST_F(ArchiveKindsTest, CreateMachine_reportsEachWrongAnswerAndAsksAgain) {
    dialogs.machineReplies = {
        MachineAnswers{"Насос", "_AGR011", "NOPE.psp", ""},
        MachineAnswers{"Насос", "_AGR011", "NS_D320.psp", "none.nam"},
        MachineAnswers{"Насос", "agr004", "NS_D320.psp", ""},
        MachineAnswers{"н-4 РЕЗЕРВНЫЙ", "_AGR011", "NS_D320.psp", ""},
        MachineAnswers{"Насос", "_AGR/011", "NS_D320.psp", ""},
    };
    EXPECT_EQ(Station1()->CreateMachine(), CreateResult::NotCreated);
    std::vector<std::string> texts;
    for (const auto& m : ui.messages) {
        texts.push_back(m.text);
    }
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], "Нет паспорта");
    EXPECT_EQ(texts[1], "Нет файла наименований");
    EXPECT_EQ(texts[2], "Такой директорий _agr004 уже существует !");
    EXPECT_EQ(texts[3], "Такой технологический индекс уже существует !");
    EXPECT_EQ(dialogs.machineRequests.size(), 6u);
    EXPECT_FALSE(fs::exists(fixture.Plant() / "_STAN001" / "_AGR011"));
}

TEST_F(ArchiveKindsTest, Machine_noPassportFlagComesFromItsGroupOrADirectoryNamedUnderscore) {
    EXPECT_FALSE(Machine1()->NoPassport());
    EXPECT_TRUE(NameSetMachine()->NoPassport());  // group VN has flag bit 1
    auto* bare = As<TAgregatDBLevel>(Child(*Station1(), "Группа без паспорта"));
    ASSERT_NE(bare, nullptr);
    EXPECT_TRUE(bare->NoPassport());
    EXPECT_EQ(Machine1()->GetMachineValue(), common::EncodeDayCount(2023, 6, 1));
}

TEST_F(ArchiveKindsTest, MachineState_followsTheLastMeasurementAndIsWrittenOnlyWhenItChanges) {
    TAgregatDBLevel* machine = Machine1();
    machine->EnsureChildren();
    EXPECT_EQ(machine->GetState(), 6);
    EXPECT_THAT(StoredLines(ShopDir() / "_AGR001" / "UNIT_A.INF"), Contains("Svet=6"));

    // The read-only machine follows its measurement in memory only.
    auto* readOnly = As<TAgregatDBLevel>(Child(*Station1(), kReadOnlyMachine));
    const fs::path inf = fixture.Plant() / "_STAN001" / "_AGR004" / "UNIT_A.INF";
    const std::string bytes = velmar::test::ReadBytes(inf);
    readOnly->EnsureChildren();
    EXPECT_EQ(readOnly->GetState(), 0);
    EXPECT_EQ(velmar::test::ReadBytes(inf), bytes);

    // A measurement's new state moves the machine.
    As<TZamerDBLevel>(Child(*machine, "Замер от 01.03.2024 в 07:45:00"))->SetState(kStateBlue);
    EXPECT_EQ(machine->GetState(), kStateBlue);
    EXPECT_THAT(StoredLines(ShopDir() / "_AGR001" / "UNIT_A.INF"), Contains("Svet=9"));
    machine->SetState(-5);
    EXPECT_EQ(machine->GetState(), 0);
}

TEST_F(ArchiveKindsTest, DeletingTheLastMeasurement_setsTheMachineStateToGreen) {
    TAgregatDBLevel* machine = NameSetMachine();
    machine->EnsureChildren();
    ASSERT_EQ(machine->GetState(), kStateYellow);
    TDBLevel* zamer = Child(*machine, "Замер от 20.01.2024 в 11:00:00");
    ui.messageReplies = {common::kResultYes};
    EXPECT_EQ(machine->ConfirmDeleteChild(*zamer), DeleteResult::Deleted);
    EXPECT_EQ(machine->GetState(), kStateGreen);
    EXPECT_THAT(EntryNames(ShopDir() / "_agr002"), ElementsAre("UNIT_A.INF"));
    EXPECT_THAT(StoredLines(ShopDir() / "_agr002" / "UNIT_A.INF"), Contains("Svet=0"));
}

TEST_F(ArchiveKindsTest, DeleteAllMeasurements_keepsReadOnlyFilesAndSaysWhy) {
    TAgregatDBLevel* machine = Machine1();
    EXPECT_EQ(Caption(*machine, 52), "Удалить все");
    EXPECT_EQ(Caption(*machine, 53), "Удалить все замеры");
    ui.messageReplies = {common::kResultYes};
    int command = 53;
    EXPECT_EQ(machine->ExecuteCommand(command), RefreshCode::Children);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Удалить все замеры ?");
    EXPECT_EQ(ui.messages[1].text, "Не могу записать в файл с атрибутом 'только для чтения'");
    EXPECT_THAT(EntryNames(ShopDir() / "_AGR001"), ElementsAre("UNIT_A.INF", "m3240210.001"));
    EXPECT_EQ(machine->ChildCount(), 1);
    EXPECT_EQ(machine->GetState(), kStateRed);

    // Declining deletes nothing.
    ui.messages.clear();
    command = 52;
    EXPECT_EQ(NameSetMachine()->ExecuteCommand(command), RefreshCode::None);
    EXPECT_THAT(EntryNames(ShopDir() / "_agr002"), Contains("M3240120.001"));
}

TEST_F(ArchiveKindsTest, ReadOnlyMachine_isNeverWrittenOrDeleted) {
    auto* machine = As<TAgregatDBLevel>(Child(*Station1(), kReadOnlyMachine));
    ASSERT_NE(machine, nullptr);
    EXPECT_FALSE(machine->IsEnabled());
    for (int command : {4, 12, 44, 52, 53, 86}) {
        EXPECT_FALSE(Offers(*machine, command)) << command;
    }
    const fs::path dir = fixture.Plant() / "_STAN001" / "_AGR004";
    const std::string bytes = velmar::test::ReadBytes(dir / "UNIT_A.INF");
    ui.editReplies = {std::string("Другое имя")};
    EXPECT_EQ(machine->Rename(), RenameResult::NotRenamed);
    machine->SetMachineValues(45000, 0);
    machine->SetState(kStateRed);
    int command = 53;
    ui.messageReplies = {common::kResultYes};
    EXPECT_EQ(machine->ExecuteCommand(command), RefreshCode::None);
    EXPECT_EQ(Station1()->DeleteChild(*machine), DeleteResult::StorageKept);
    EXPECT_EQ(velmar::test::ReadBytes(dir / "UNIT_A.INF"), bytes);
    EXPECT_THAT(EntryNames(dir), ElementsAre("M3240105.001", "UNIT_A.INF"));
}

TEST_F(ArchiveKindsTest, RenameAndDeleteMachine_touchExactlyItsFiles) {
    TAgregatDBLevel* machine = Machine1();
    ui.editReplies = {std::string("ДН-10 вытяжной"), std::string("Н-1 основной")};
    EXPECT_EQ(machine->Rename(), RenameResult::Renamed);
    EXPECT_EQ(ui.messages.at(0).text, "Такое имя уже существует !");
    const std::vector<std::string> lines = StoredLines(ShopDir() / "_AGR001" / "UNIT_A.INF");
    EXPECT_THAT(lines, Contains("Name=Н-1 основной"));
    EXPECT_THAT(lines, Contains("Psp=NS_D320.psp"));

    const fs::path other = ShopDir() / "_agr002";
    const std::vector<std::string> before = EntryNames(other);
    ui.messageReplies = {common::kResultYes};
    EXPECT_EQ(Shop()->ConfirmDeleteChild(*machine), DeleteResult::StorageKept);  // a read-only file inside
    common::SetReadOnly(ShopDir() / "_AGR001" / "m3240210.001", false);
    ui.messageReplies = {common::kResultYes};
    EXPECT_EQ(Shop()->ConfirmDeleteChild(*machine), DeleteResult::Deleted);
    EXPECT_EQ(ui.messages.back().text, "Удалить агрегат \"Н-1 основной\" ?");
    EXPECT_FALSE(fs::exists(ShopDir() / "_AGR001"));
    EXPECT_EQ(EntryNames(other), before);
}

TEST_F(ArchiveKindsTest, UpdateMark_marksNodesThatHoldSomething) {
    Station1()->UpdateMark();
    EXPECT_TRUE(Station1()->IsBusy());
    auto* bare = As<TAgregatDBLevel>(Child(*Station1(), "Группа без паспорта"));
    bare->UpdateMark();
    EXPECT_FALSE(bare->IsBusy());
    EXPECT_FALSE(Offers(*bare, 52));
    Machine1()->UpdateMark();
    EXPECT_TRUE(Machine1()->IsBusy());
    Root().UpdateMark();
    EXPECT_TRUE(Root().IsBusy());
}

TEST_F(ArchiveKindsTest, WindowCommands_goToTheUserInterface) {
    dialogs.windowResult = RefreshCode::Children;
    auto* zamer = As<TZamerDBLevel>(Child(*Machine1(), "Замер от 15.01.2024 в 10:20:30"));
    TNaprPreobrDBLevel* direction = zamer->FindChannel(2);
    int command = 0;
    EXPECT_EQ(direction->ExecuteCommand(command), RefreshCode::Children);
    command = 86;
    EXPECT_EQ(Machine1()->ExecuteCommand(command), RefreshCode::Children);
    command = 62;
    zamer->ExecuteCommand(command);
    command = 63;
    zamer->FindChannel(7)->ExecuteCommand(command);  // the marker, directly under the measurement
    EXPECT_THAT(dialogs.windowCommands,
                ElementsAre(std::make_pair(static_cast<const TDBLevel*>(direction), 0),
                            std::make_pair(static_cast<const TDBLevel*>(Machine1()), 86)));
    EXPECT_THAT(dialogs.infos, ElementsAre(std::make_pair(static_cast<const TDBLevel*>(zamer), 1),
                                           std::make_pair(static_cast<const TDBLevel*>(zamer), 2)));
}

// A transform engine that halves every element and makes a spectrum of it.
class HalvingEngine : public ITransformEngine {
  public:
    bool Convert(const TDataHeader& sourceHeader, std::span<const double> source, TransformParams& params,
                 TDataHeader& resultHeader, std::vector<double>& result, const TransformProgress&) override {
        resultHeader = sourceHeader;
        resultHeader.Kind = 4;
        resultHeader.Count = static_cast<std::int32_t>(source.size());
        result.clear();
        for (double v : source) {
            result.push_back(v / 2);
        }
        params.TargetKind = 4;
        return true;
    }
};

TEST_F(ArchiveKindsTest, DerivedData_ofADirectionIsADirectionOfTheSameChannel) {
    HalvingEngine engine;
    session->Context().transformEngine = &engine;
    auto* zamer = As<TZamerDBLevel>(Child(*NameSetMachine(), "Замер от 20.01.2024 в 11:00:00"));
    TNaprPreobrDBLevel* direction = zamer->FindDirection(2, 2);
    TransformParams params;
    params.Valid = 1;
    params.TargetKind = 4;
    TDBLevel* derived = direction->FindOrCreateTransform(params);
    ASSERT_NE(derived, nullptr);
    auto* napr = dynamic_cast<TNaprPreobrDBLevel*>(derived);
    ASSERT_NE(napr, nullptr);
    EXPECT_EQ(napr->GetLevelNumber(), kLevelDerived);
    EXPECT_EQ(napr->GetPointNumber(), 2);
    EXPECT_EQ(napr->GetDirectionNumber(), 2);
    EXPECT_EQ(napr->ChannelNumber(), 8);
    EXPECT_EQ(napr->GetIconKey(), "NAPR_SPECTR");
    EXPECT_EQ(napr->GetName(), direction->GetName());
    EXPECT_DOUBLE_EQ(napr->Y(1), -2.5 / 2);
    EXPECT_EQ(direction->FindOrCreateTransform(params), derived);
    direction->ReleaseTransform(derived);
    direction->ReleaseTransform(derived);
}

TEST(OpenArchiveTest, OpensTheDirectoryMainIniNamesOrTheOneGiven) {
    FixtureArchive fixture;
    std::unique_ptr<ArchiveSession> session = ArchiveSession::Open(fixture.Home());
    EXPECT_EQ(session->Root().GetName(), "Тестовый архив");
    EXPECT_EQ(session->Root().GetPath(), fixture.Plant());
    EXPECT_TRUE(session->Root().HasProgram(12));
    EXPECT_EQ(session->Root().DeepestStationLevel(), 3);

    std::unique_ptr<ArchiveSession> other =
        ArchiveSession::Open(fixture.Home(), fixture.Plant() / "_STAN001" / "");
    EXPECT_EQ(other->Root().GetPath(), fixture.Plant() / "_STAN001");
    EXPECT_EQ(other->Root().GetName(), "Тестовый архив");
    EXPECT_THROW(ArchiveSession::Open(fixture.Home(), fixture.Temp() / "nothing"), EFailOpenFile);
}

}  // namespace
}  // namespace velmar::archive
