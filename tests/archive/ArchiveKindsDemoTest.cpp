// Smoke test: the demo archive a new installation starts with opens as the browser will show it, with the
// settings the program ships.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "ArchiveKindsSupport.hpp"
#include "archive/AgregatDBLevel.hpp"
#include "archive/DemoArchive.hpp"
#include "archive/NaprDBLevel.hpp"
#include "archive/ZamerDBLevel.hpp"

namespace velmar::archive {
namespace {

namespace fs = std::filesystem;

// Every file below `dir` with its bytes.
std::map<fs::path, std::string> Snapshot(const fs::path& dir) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files[entry.path()] = velmar::test::ReadBytes(entry.path());
        }
    }
    return files;
}

void Count(const ArchiveTreeEntry& entry, std::map<std::string, int>& counts) {
    ++counts[entry.kind];
    for (const ArchiveTreeEntry& child : entry.children) {
        Count(child, counts);
    }
}

TEST(ArchiveKindsDemoTest, DemoArchive_opensWithTheShippedSettingsAndReadingItWritesNothing) {
    velmar::test::TempDir dir;
    GenerateDemoArchive(dir / "demo", DemoArchiveOptions{});
    common::SeedBaseDirectory(dir / "home", fs::path(VELMAR_SOURCE_DIR) / "resources");
    const std::map<fs::path, std::string> before = Snapshot(dir / "demo");

    std::unique_ptr<ArchiveSession> session = ArchiveSession::Open(dir / "home", dir / "demo");
    const ArchiveTreeEntry tree = DescribeTree(session->Root());
    std::map<std::string, int> counts;
    Count(tree, counts);
    EXPECT_EQ(counts["station"], 4);
    EXPECT_EQ(counts["machine"], 6);
    EXPECT_EQ(counts["measurement"], 72);
    // Five machines of four points in the fixed scheme, one of four points in its name set.
    EXPECT_EQ(counts["point"], 72 * 4);
    EXPECT_EQ(counts["direction"], 60 * (12 + 1) + 12 * (8 + 1));

    auto* machine = test::As<TAgregatDBLevel>(
        test::Walk(session->Root(), {"Насосная станция №1", "Цех водоподготовки", "Н-2 питательный"}));
    ASSERT_NE(machine, nullptr);
    ASSERT_NE(machine->NameSet(), nullptr);
    auto* zamer = test::As<TZamerDBLevel>(machine->LastChild());
    ASSERT_NE(zamer, nullptr);
    EXPECT_EQ(zamer->GetName(), "Замер от 10.12.2026 в 10:18:00");
    EXPECT_EQ(machine->GetState(), zamer->GetState());
    std::vector<std::string> names;
    for (int i = 0; i < zamer->ChildCount(); ++i) {
        names.push_back(zamer->ChildAt(i)->GetName());
    }
    EXPECT_THAT(names,
                ::testing::ElementsAre("Двигатель, свободный конец", "Двигатель, со стороны насоса",
                                       "Насос, со стороны двигателя", "Насос, свободный конец", " Отметчик"));
    TNaprPreobrDBLevel* bearing = zamer->FindDirection(2, 1);
    ASSERT_NE(bearing, nullptr);
    EXPECT_EQ(bearing->GetName(), "Двигатель, со стороны насоса, вертикально");
    bearing->LockData();
    EXPECT_EQ(bearing->GetHeader().Count, 16384);
    EXPECT_EQ(bearing->Values().size(), 16384u);
    bearing->UnlockData();
    EXPECT_NEAR(zamer->ShaftSpeedHz(1).value(), 1480.0 / 60.0, 0.1);

    // The machines' states were already what their measurements say: nothing was rewritten.
    EXPECT_EQ(Snapshot(dir / "demo"), before);
}

}  // namespace
}  // namespace velmar::archive
