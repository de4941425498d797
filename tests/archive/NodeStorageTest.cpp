// Deleting nodes with their files, and the names path nodes choose on disk.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "NodeTestSupport.hpp"
#include "TestSupport.hpp"
#include "archive/PathDBLevel.hpp"
#include "common/DayCount.hpp"
#include "common/Paths.hpp"

namespace velmar::archive {
namespace {

namespace fs = std::filesystem;
using test::Add;
using test::DatedNode;
using test::DirNode;
using test::FileNode;
using test::NamedNode;
using ::testing::ElementsAre;

// A small archive on disk: root / station / machine with one measurement file and a note.
class NodeStorageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        context.ui = &ui;
        velmar::test::WriteBytes(dir / "ST001" / "UNIT_D.INF", "[Main]\r\nName=Цех\r\n");
        velmar::test::WriteBytes(dir / "ST001" / "_AGR001" / "UNIT_A.INF", "[Main]\r\nName=Насос\r\n");
        velmar::test::WriteBytes(dir / "ST001" / "_AGR001" / "M3240115.001", "measurement");
        velmar::test::WriteBytes(dir / "ST001" / "_AGR001" / "lnotes.txt", "note");
        root = MakeNode<DirNode>(context, nullptr, dir.path(), "Завод", kLevelRoot);
        station = Add<DirNode>(*root, dir / "ST001", "Цех", 2);
        machine =
            Add<DirNode>(*station, dir / "ST001" / "_AGR001", "Насос", kLevelMachine, kLevelKindMachine);
        measurement = Add<DatedNode>(*machine, "M1", 45306.0, dir / "ST001" / "_AGR001" / "M3240115.001");
    }

    fs::path MachineDir() const { return dir / "ST001" / "_AGR001"; }

    velmar::test::TempDir dir;
    ArchiveContext context;
    test::ScriptedUi ui;
    NodePtrOf<DirNode> root;
    DirNode* station = nullptr;
    DirNode* machine = nullptr;
    DatedNode* measurement = nullptr;
};

TEST_F(NodeStorageTest, ConfirmDeleteChild_yesRemovesTheMeasurementFileAndTheNode) {
    ui.messageReplies = {common::kResultYes};
    EXPECT_EQ(machine->ConfirmDeleteChild(*measurement), DeleteResult::Deleted);
    EXPECT_EQ(machine->ChildCount(), 0);
    EXPECT_FALSE(fs::exists(MachineDir() / "M3240115.001"));
    EXPECT_TRUE(fs::exists(MachineDir() / "lnotes.txt"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Удалить замер ?");
    EXPECT_EQ(ui.messages[0].type, common::DialogType::Confirmation);
    EXPECT_EQ(ui.messages[0].buttons, common::kButtonYes | common::kButtonNo);
}

TEST_F(NodeStorageTest, ConfirmDeleteChild_noKeepsNodeAndFile) {
    ui.messageReplies = {common::kResultNo};
    EXPECT_EQ(machine->ConfirmDeleteChild(*measurement), DeleteResult::Declined);
    EXPECT_EQ(machine->ChildCount(), 1);
    EXPECT_TRUE(fs::exists(MachineDir() / "M3240115.001"));
}

TEST_F(NodeStorageTest, DeleteChild_touchesStorageOnlyUpToTheMeasurementLevel) {
    struct Case {
        int level;
        int storageDeletions;
    };
    for (const Case c : {Case{2, 1}, Case{7, 1}, Case{8, 1}, Case{9, 0}, Case{10, 0}, Case{11, 0}}) {
        auto parent = MakeNode<NamedNode>(context, nullptr, "parent", 1);
        NamedNode* child = Add<NamedNode>(*parent, "child", c.level);
        ASSERT_NE(child, nullptr);
        int deletions = 0;
        child->storageDeletions = &deletions;
        EXPECT_EQ(parent->DeleteChild(*child), DeleteResult::Deleted) << "level " << c.level;
        EXPECT_EQ(deletions, c.storageDeletions) << "level " << c.level;
        EXPECT_EQ(parent->ChildCount(), 0);
    }
}

TEST_F(NodeStorageTest, DeleteChild_ofAPointOrDirectionLeavesTheMeasurementFileAlone) {
    auto point = Add<FileNode>(*measurement, MachineDir() / "M3240115.001", "1", kLevelPoint);
    auto direction = Add<FileNode>(*point, MachineDir() / "M3240115.001", "1В", kLevelDirection);
    EXPECT_EQ(point->DeleteChild(*direction), DeleteResult::Deleted);
    EXPECT_EQ(measurement->DeleteChild(*point), DeleteResult::Deleted);
    EXPECT_TRUE(fs::exists(MachineDir() / "M3240115.001"));
}

TEST_F(NodeStorageTest, DeleteChild_keepsAReadOnlyFileAndItsNode) {
    common::SetReadOnly(MachineDir() / "M3240115.001", true);
    EXPECT_EQ(machine->DeleteChild(*measurement), DeleteResult::StorageKept);
    EXPECT_EQ(machine->ChildCount(), 1);
    EXPECT_TRUE(fs::exists(MachineDir() / "M3240115.001"));

    common::SetReadOnly(MachineDir() / "M3240115.001", false);
    measurement->SetReadOnly(true);  // read-only when the node was read counts as well
    EXPECT_EQ(machine->DeleteChild(*measurement), DeleteResult::StorageKept);
    EXPECT_TRUE(fs::exists(MachineDir() / "M3240115.001"));
}

TEST_F(NodeStorageTest, DeleteChild_ofAMeasurementWhoseFileIsGoneDropsTheNode) {
    fs::remove(MachineDir() / "M3240115.001");
    EXPECT_EQ(machine->DeleteChild(*measurement), DeleteResult::Deleted);
    EXPECT_EQ(machine->ChildCount(), 0);
}

TEST_F(NodeStorageTest, DeleteChild_removesAStationDirectoryWithEverythingInIt) {
    const std::int64_t before = context.liveNodes;
    EXPECT_EQ(root->DeleteChild(*station), DeleteResult::Deleted);
    EXPECT_FALSE(fs::exists(dir / "ST001"));
    EXPECT_EQ(root->ChildCount(), 0);
    EXPECT_EQ(context.liveNodes, before - 3);  // station, machine and measurement
    EXPECT_TRUE(fs::exists(dir.path()));
}

TEST_F(NodeStorageTest, DeleteChild_keepsAWholeTreeThatHoldsSomethingReadOnly) {
    const fs::path readOnlyEntries[] = {MachineDir() / "lnotes.txt", MachineDir(),
                                        dir / "ST001" / "UNIT_D.INF"};
    for (const fs::path& entry : readOnlyEntries) {
        common::SetReadOnly(entry, true);
        EXPECT_EQ(root->DeleteChild(*station), DeleteResult::StorageKept) << entry;
        EXPECT_TRUE(fs::exists(MachineDir() / "M3240115.001")) << entry;
        EXPECT_TRUE(fs::exists(MachineDir() / "lnotes.txt")) << entry;
        EXPECT_EQ(root->ChildCount(), 1);
        common::SetReadOnly(entry, false);
    }
    station->SetReadOnly(true);
    EXPECT_EQ(root->DeleteChild(*station), DeleteResult::StorageKept);
    EXPECT_TRUE(fs::exists(dir / "ST001"));
}

TEST_F(NodeStorageTest, DeleteDirectoryTree_neverLeavesTheArchiveOrFollowsALink) {
    velmar::test::TempDir outside;
    velmar::test::WriteBytes(outside / "precious" / "data.bin", "keep");
    fs::create_directory_symlink(outside / "precious", dir / "LINKED");
    struct Case {
        fs::path path;
        const char* what;
    };
    const Case cases[] = {
        {dir / "LINKED", "a symbolic link to a directory outside"},
        {outside / "precious", "a directory outside the archive"},
        {dir.path(), "the archive root itself"},
        {dir / "ST001" / ".." / "..", "a path climbing out"},
        {fs::path(), "no path"},
        {MachineDir() / "M3240115.001", "a file"},
    };
    for (const Case& c : cases) {
        DirNode* node = Add<DirNode>(*root, c.path, c.what, 2);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(root->DeleteChild(*node), DeleteResult::StorageKept) << c.what;
    }
    EXPECT_TRUE(fs::exists(outside / "precious" / "data.bin"));
    EXPECT_TRUE(fs::exists(MachineDir() / "M3240115.001"));
    EXPECT_TRUE(fs::is_symlink(dir / "LINKED"));

    // A link inside a directory that is deleted goes as a link; what it points to stays.
    fs::create_directory_symlink(outside / "precious", MachineDir() / "link");
    EXPECT_EQ(root->DeleteChild(*station), DeleteResult::Deleted);
    EXPECT_TRUE(fs::exists(outside / "precious" / "data.bin"));
}

TEST_F(NodeStorageTest, DeleteChild_ofANodeThatIsNotAChildDoesNothing) {
    auto stranger = MakeNode<DatedNode>(context, nullptr, "M9", 1.0, MachineDir() / "M3240115.001");
    EXPECT_EQ(machine->DeleteChild(*stranger), DeleteResult::NotFound);
    EXPECT_EQ(machine->ConfirmDeleteChild(*stranger), DeleteResult::NotFound);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(fs::exists(MachineDir() / "M3240115.001"));
}

TEST_F(NodeStorageTest, DeleteChildByPath_findsTheChildOfThatKindIgnoringCase) {
    const fs::path upper = dir / "ST001" / "_AGR001" / "m3240115.001";
    EXPECT_EQ(machine->FindChildByPath(upper, 0), measurement);
    EXPECT_EQ(machine->FindChildByPath(upper, kLevelKindRunUp), nullptr);
    EXPECT_EQ(machine->DeleteChildByPath(upper, kLevelKindRunUp), DeleteResult::NotFound);
    EXPECT_TRUE(ui.messages.empty());
    ui.messageReplies = {common::kResultYes};
    EXPECT_EQ(machine->DeleteChildByPath(upper, 0), DeleteResult::Deleted);
    EXPECT_FALSE(fs::exists(MachineDir() / "M3240115.001"));
}

TEST_F(NodeStorageTest, FindNameOrPathClash_reportsTheFirstHitAndSkipsTheGivenChild) {
    DirNode* second = Add<DirNode>(*root, dir / "ST002", "Котельная", 2);
    struct Case {
        const TDBLevel* skip;
        std::string name;
        fs::path path;
        Clash expected;
    };
    const Case cases[] = {
        {nullptr, "цех", {}, Clash::NameExists},
        {nullptr, "", dir / "st001", Clash::PathExists},
        {nullptr, "", dir / "st001" / "", Clash::PathExists},
        {nullptr, "Котельная", dir / "ST001", Clash::NameExists},  // "Котельная" comes first and decides
        {nullptr, "Цех", dir / "ST002", Clash::PathExists},
        {nullptr, "Новый", dir / "ST003", Clash::None},
        {station, "Цех", dir / "ST001", Clash::None},
        {second, "Цех", {}, Clash::NameExists},
        {nullptr, "", {}, Clash::None},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(root->FindNameOrPathClash(c.skip, c.name, c.path), c.expected) << c.name << " " << c.path;
    }
}

TEST_F(NodeStorageTest, MakeUniqueDirName_skipsNamesTakenInAnyCase) {
    velmar::test::WriteBytes(station->GetPath() / "_Agr002", "a file counts too");
    fs::create_directory(station->GetPath() / "_agr003");
    EXPECT_EQ(station->MakeUniqueDirName("_AGR"), "_AGR004");
    EXPECT_EQ(root->MakeUniqueDirName("ST"), "ST002");
}

TEST_F(NodeStorageTest, MakeUniqueDirName_givesUnderscore001WhenEveryNumberIsTaken) {
    for (int i = 1; i <= 998; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "st%03d", i);
        fs::create_directories(dir / name);
    }
    EXPECT_EQ(root->MakeUniqueDirName("ST"), "_001");
}

TEST_F(NodeStorageTest, MakeMeasurementFileName_takesTheFirstFreeNumberForTheDay) {
    const double day = common::EncodeDayCount(2024, 1, 15, 10, 30);
    EXPECT_EQ(machine->MakeMeasurementFileName('M', day), MachineDir() / "M3240115.002");
    velmar::test::WriteBytes(MachineDir() / "m3240115.002", "lower case is taken too");
    EXPECT_EQ(machine->MakeMeasurementFileName('M', day), MachineDir() / "M3240115.003");
    EXPECT_EQ(machine->MakeMeasurementFileName('R', common::EncodeDayCount(1999, 12, 31)),
              MachineDir() / "R2991231.001");
}

TEST_F(NodeStorageTest, MakeMeasurementFileName_goesOnWithoutPaddingAfter999) {
    for (int i = 1; i <= 999; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "M3240115.%03d", i);
        velmar::test::WriteBytes(MachineDir() / name, "");
    }
    EXPECT_EQ(machine->MakeMeasurementFileName('M', common::EncodeDayCount(2024, 1, 15)),
              MachineDir() / "M3240115.1000");
}

TEST_F(NodeStorageTest, FileExistsHere_findsFilesInAnyCaseButNotDirectories) {
    fs::create_directory(MachineDir() / "PSP");
    EXPECT_TRUE(machine->FileExistsHere("unit_a.inf"));
    EXPECT_TRUE(machine->FileExistsHere("LNOTES.TXT"));
    EXPECT_FALSE(machine->FileExistsHere("psp"));
    EXPECT_FALSE(machine->FileExistsHere("missing.txt"));
    EXPECT_TRUE(measurement->FileExistsHere("LNotes.txt"));  // a file node looks beside its file
}

TEST_F(NodeStorageTest, DiffersFrom_pathNodesWithTheSamePathInAnyCaseDoNotDiffer) {
    auto twin = MakeNode<DirNode>(context, nullptr, dir / "st001", "Другой", 2);
    auto other = MakeNode<DirNode>(context, nullptr, dir / "ST009", "Другой", 2);
    auto sameName = MakeNode<DirNode>(context, nullptr, dir / "ST009", "ЦЕХ", 2);
    EXPECT_FALSE(root->IsUnique(*twin));
    EXPECT_TRUE(root->IsUnique(*other));
    EXPECT_FALSE(root->IsUnique(*sameName));
}

}  // namespace
}  // namespace velmar::archive
