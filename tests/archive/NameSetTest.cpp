// Name sets: the *.NAM files that name a machine's points and channels and fix which channel of a
// measurement file is which point and direction.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "NodeTestSupport.hpp"
#include "TestSupport.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "common/Codepage.hpp"

namespace velmar::archive {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

struct Entry {
    const char* full;
    const char* shortName;
    const char* point;  // nullptr: key missing
    const char* node;   // nullptr: key missing
};

// A name set file as its editor writes it: cp1251, CRLF, one numbered section per entry.
std::string NameSetFile(const char* name, const std::string& count, std::initializer_list<Entry> entries) {
    std::string text = "[Title]\r\n";
    if (name != nullptr) {
        text += std::string("Name=") + name + "\r\n";
    }
    text += "Count=" + count + "\r\n";
    int k = 1;
    for (const Entry& e : entries) {
        text +=
            "[" + std::to_string(k++) + "]\r\nFullName=" + e.full + "\r\nShortName=" + e.shortName + "\r\n";
        if (e.point != nullptr) {
            text += std::string("Point=") + e.point + "\r\n";
        }
        if (e.node != nullptr) {
            text += std::string("Node=") + e.node + "\r\n";
        }
    }
    return common::Utf8ToCp1251(text);
}

class NameSetTest : public ::testing::Test {
  protected:
    NodePtrOf<TNameSetDBLevel> Load(const std::string& bytes) {
        velmar::test::WriteBytes(file, bytes);
        return MakeNode<TNameSetDBLevel>(context, nullptr, file);
    }

    std::vector<std::pair<int, int>> Pairs(const TNameSetDBLevel& set) {
        std::vector<std::pair<int, int>> pairs;
        for (const ChannelInfo& e : set.Entries()) {
            pairs.emplace_back(e.point, e.direction);
        }
        return pairs;
    }

    velmar::test::TempDir dir;
    fs::path file = dir / "SET.NAM";
    ArchiveContext context;
};

TEST_F(NameSetTest, Numbering_pointEntriesStartPointsAndOtherEntriesAreTheirDirections) {
    auto set = Load(NameSetFile("Насос", "5",
                                {{"Подшипник 1", "П1", "1", nullptr},
                                 {"Подшипник 1, верт", "П1В", "0", "0"},
                                 {"Подшипник 1, попер", "П1П", "0", "0"},
                                 {"Подшипник 2", "П2", "1", nullptr},
                                 {"Подшипник 2, верт", "П2В", "0", "0"}}));
    EXPECT_THAT(Pairs(*set), ElementsAre(std::pair(1, -1), std::pair(1, 1), std::pair(1, 2), std::pair(2, -1),
                                         std::pair(2, 1)));
    EXPECT_EQ(set->GetChannelNumber(1, 1), 2);
    EXPECT_EQ(set->GetChannelNumber(1, 2), 3);
    EXPECT_EQ(set->GetChannelNumber(2, 1), 5);
    EXPECT_EQ(set->GetChannelNumber(2, -1), 4);
    EXPECT_EQ(set->GetChannelNumber(2, 2), 0);
    EXPECT_EQ(set->PointCount(), 2);
    EXPECT_EQ(set->DirectionCount(), 2);
    EXPECT_EQ(set->GetChannelCount(), 5);
    ChannelInfo info;
    ASSERT_TRUE(set->GetChannelInfo(4, info));
    EXPECT_TRUE(info.pointOnly);
    EXPECT_EQ(info.name, "Подшипник 2");
    EXPECT_FALSE(set->GetChannelInfo(0, info));
    EXPECT_FALSE(set->GetChannelInfo(6, info));
    int point = 0;
    int direction = 0;
    ASSERT_TRUE(set->ChannelToPointDirection(3, point, direction));
    EXPECT_EQ(std::pair(point, direction), std::pair(1, 2));
}

TEST_F(NameSetTest, Numbering_nodeEntriesAreChannelsOfTheirOwnAndMissingKeysDefaultToTrue) {
    auto set = Load(NameSetFile("Датчики", "5",
                                {{"Температура", "Т", "0", nullptr},
                                 {"Агрегат", "А", nullptr, nullptr},
                                 {"Давление", "Д", "0", "1"},
                                 {"Вертикально", "В", "0", "0"},
                                 {"Ток", "I", "0", "5"}}));
    // Point missing: a point. Node missing or any integer but 0: a node.
    EXPECT_THAT(Pairs(*set), ElementsAre(std::pair(0, 1), std::pair(1, -1), std::pair(0, 2), std::pair(1, 1),
                                         std::pair(0, 3)));
    EXPECT_EQ(set->DirectionCount(), 3);
    EXPECT_EQ(set->PointCount(), 1);
}

TEST_F(NameSetTest, Names_fullOrShortByPartAndPointWithEntryForParts13And14) {
    auto set = Load(NameSetFile("Насос", "4",
                                {{"Подшипник 1", "П1", "1", nullptr},
                                 {"вертикально", "В", "0", "0"},
                                 {"Температура", "Т", "0", "1"},
                                 {"поперечно", "П", "0", "0"}}));
    struct Row {
        int point;
        int direction;
        int part;
        const char* name;
    };
    const Row rows[] = {
        {1, -1, 0, "Подшипник 1"},
        {1, -1, 9, "Подшипник 1"},
        {1, 1, 11, "вертикально"},
        {1, -1, 1, "П1"},
        {1, 1, 10, "В"},
        {1, 2, 12, "П"},
        {1, 2, 13, "Подшипник 1 поперечно"},
        {1, 1, 14, "П1В"},
        {1, -1, 13, ""},
        {1, -1, 14, ""},
        {0, 1, 13, "Температура"},
        {0, 1, 14, "Т"},
        {1, 1, 7, ""},
        {2, 1, 11, ""},
        {0, 0, 11, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.point) + "/" + std::to_string(row.direction) + " part " +
                     std::to_string(row.part));
        EXPECT_EQ(set->GetPointDirectionName(row.point, row.direction, row.part), row.name);
    }
    EXPECT_EQ(set->GetChannelName(2, 0), "вертикально");
    EXPECT_EQ(set->GetChannelName(2, 13), "вертикально");
    EXPECT_EQ(set->GetChannelName(2, 12), "В");
    EXPECT_EQ(set->GetChannelName(5, 0), "");
    EXPECT_EQ(set->GetName(), "Насос");
    EXPECT_EQ(set->GetIconKey(), "NSET");
}

TEST_F(NameSetTest, Table_endsAtTheFirstMissingEntryWhateverCountClaims) {
    auto set =
        Load(NameSetFile("Насос", "1000000000", {{"Подшипник 1", "П1", "1", nullptr}, {"в", "В", "0", "0"}}));
    EXPECT_EQ(set->GetChannelCount(), 2);
    auto negative = Load(NameSetFile("Насос", "-3", {{"Подшипник 1", "П1", "1", nullptr}}));
    EXPECT_EQ(negative->GetChannelCount(), 0);
    EXPECT_EQ(negative->GetChannelNumber(1, -1), 0);
}

TEST_F(NameSetTest, Table_isReadOnFirstUseAndNamesAreCut) {
    auto set = Load(NameSetFile("Насос", "1", {{"Подшипник 1", "П1", "1", nullptr}}));
    // Rewritten after the node was made, before anything asked for an entry.
    velmar::test::WriteBytes(
        file, NameSetFile("Насос", "2",
                          {{"Подшипник номер один очень длинное имя, которое не помещается в поле", "ПОДШ1ДЛ",
                            "1", nullptr},
                           {"в", "В", "0", "0"}}));
    EXPECT_EQ(set->GetChannelCount(), 2);
    ChannelInfo info;
    ASSERT_TRUE(set->GetChannelInfo(1, info));
    EXPECT_EQ(info.name, "Подшипник номер один очень длинное имя, которое не помещаетс");
    EXPECT_EQ(info.shortName, "ПОДШ1Д");
}

TEST_F(NameSetTest, File_withoutANameOrUnreadableIsRefused) {
    try {
        Load(NameSetFile(nullptr, "0", {}));
        ADD_FAILURE() << "a name set without a name was read";
    } catch (const EFailOpenFile& error) {
        EXPECT_STREQ(error.what(), "Плохой файл наименований");
    }
    try {
        MakeNode<TNameSetDBLevel>(context, nullptr, dir / "NONE.NAM");
        ADD_FAILURE() << "a missing file was read";
    } catch (const EFailOpenFile& error) {
        EXPECT_STREQ(error.what(), "Нет файла наименований");
    }
}

}  // namespace
}  // namespace velmar::archive
