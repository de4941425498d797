// What a review of the passport and name-set readers turned up next to their fuzz targets: a name set whose
// entries sit behind many other lines took minutes to load, and a name set was read whole whatever its size.
// The files are laid out here by hand.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "TestSupport.hpp"
#include "archive/ArchiveContext.hpp"
#include "archive/FailOpenFile.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/NodePtr.hpp"
#include "archive/PspDBLevel.hpp"

namespace velmar::archive {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

class ArchiveFileFuzzFindingsTest : public ::testing::Test {
  protected:
    NodePtrOf<TNameSetDBLevel> LoadNameSet(const std::string& bytes) {
        velmar::test::WriteBytes(dir / "SET.NAM", bytes);
        return MakeNode<TNameSetDBLevel>(context, nullptr, dir / "SET.NAM");
    }
    NodePtrOf<TPspDBLevel> LoadPassport(const std::string& bytes) {
        velmar::test::WriteBytes(dir / "NS_TEST.psp", bytes);
        return MakeNode<TPspDBLevel>(context, nullptr, dir / "NS_TEST.psp");
    }

    velmar::test::TempDir dir;
    ArchiveContext context;
};

// `count` entries, each a channel of its own named "e<k>".
std::string Entries(int count) {
    std::string text;
    for (int k = 1; k <= count; ++k) {
        const std::string n = std::to_string(k);
        text += "[" + n + "]\r\nFullName=e" + n + "\r\nShortName=s" + n + "\r\nPoint=0\r\nNode=1\r\n";
    }
    return text;
}

// `size` bytes of comment lines, long ones so that the INI parser has few lines to make of them.
std::string Padding(std::size_t size) {
    std::string text;
    while (text.size() + 1024 <= size) {
        text += ";" + std::string(1021, '-') + "\r\n";
    }
    return text + std::string(size - text.size(), '\n');
}

std::vector<std::pair<std::string, std::string>> Names(const TNameSetDBLevel& set) {
    std::vector<std::pair<std::string, std::string>> names;
    for (const ChannelInfo& e : set.Entries()) {
        names.emplace_back(e.name, e.shortName);
    }
    return names;
}

// Entries far behind the title, past many other lines, are all found in their own sections (the reader
// splits the file once instead of searching it from the top for every key of every entry).
TEST_F(ArchiveFileFuzzFindingsTest, NameSet_entriesBehindManyOtherLinesAllLoad) {
    const std::string junk(20000, '\n');
    auto set = LoadNameSet("[Title]\r\nName=n\r\nCount=999\r\n" + junk + Entries(999));
    ASSERT_EQ(set->GetChannelCount(), 999);
    ChannelInfo info;
    ASSERT_TRUE(set->GetChannelInfo(999, info));
    EXPECT_EQ(info.name, "e999");
    EXPECT_EQ(info.direction, 999);
}

// An entry is exactly the lines the INI file gives its section: from the first header of that name to the
// next line the INI file takes for a header, keys compared without case, the first key winning.
TEST_F(ArchiveFileFuzzFindingsTest, NameSet_entrySectionsAreTheLinesTheIniFileGivesThem) {
    struct Case {
        const char* what;
        std::string body;  // after [Title]
        std::vector<std::pair<std::string, std::string>> names;
    };
    const Case cases[] = {
        {"a '[' line without ']' is no header and does not end the entry",
         "[1]\r\nFullName=a\r\n[junk\r\nShortName=b\r\n",
         {{"a", "b"}}},
        {"a key whose value holds a header is no header",
         "[1]\r\nFullName=x=[2]\r\n[2]\r\nFullName=c\r\n",
         {{"x=[2]", ""}, {"c", ""}}},
        {"the first section of a name wins, also when a later one comes first in number",
         "[2]\r\nFullName=two\r\n[1]\r\nFullName=first\r\n[1]\r\nFullName=second\r\nShortName=z\r\n",
         {{"first", ""}, {"two", ""}}},
        {"spaces, tabs and a comment around the header",
         "  [ 1 ]\t; one\r\n  fullname = a  \r\nFULLNAME=b\r\n",
         {{"a", ""}}},
        {"a header ends at its last ']'", "[1]x]\r\nFullName=a\r\n", {}},
        {"a number with a leading zero names another section", "[01]\r\nFullName=a\r\n", {}},
        {"LF line ends and no end at the last line",
         "[1]\nShortName=q\n[2]\nFullName=w",
         {{"", "q"}, {"w", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto set = LoadNameSet("[Title]\r\nName=n\r\nCount=5\r\n" + c.body);
        EXPECT_EQ(Names(*set), c.names);
    }
}

// A name set of the most entries with the longest names is about 150 KB. A larger file was read
// whole and parsed into lines many times its size; now anything over a megabyte is refused, and a set that
// grows past it after it was opened has no entries.
TEST_F(ArchiveFileFuzzFindingsTest, NameSet_overAMegabyteIsRefused) {
    const std::string head = "[Title]\r\nName=n\r\nCount=1\r\n" + Entries(1);
    const std::string atLimit = head + Padding(kMiB - head.size());
    auto set = LoadNameSet(atLimit);
    EXPECT_EQ(set->GetName(), "n");
    velmar::test::WriteBytes(dir / "SET.NAM", atLimit + "\n");
    EXPECT_EQ(set->GetChannelCount(), 0);
    try {
        LoadNameSet(atLimit + "\n");
        ADD_FAILURE() << "a name set over the limit was read";
    } catch (const EFailOpenFile& error) {
        EXPECT_STREQ(error.what(), "Плохой файл наименований");
    }
    auto again = LoadNameSet(atLimit);
    ASSERT_EQ(again->GetChannelCount(), 1);
    EXPECT_EQ(Names(*again).front().first, "e1");
}

// The passport's bytes are now read in steps as far as they go instead of into a buffer of the largest size
// allowed; the limits stay where they were: a value may end at the last byte a 16-bit offset and an 8-bit
// length reach, past the first step, and an INI passport may be a megabyte but not more.
TEST_F(ArchiveFileFuzzFindingsTest, Passport_readsUpToItsLimitsAcrossReadSteps) {
    std::string binary(0xFFFF + 0xFF + 100, 'x');
    binary.replace(0, 4, "PSP\\");
    binary.replace(60, 20, std::string(20, ' '));
    const int k = 70;  // the first technological parameter
    binary[100 + 3 * k] = '\xFF';
    binary[101 + 3 * k] = '\xFF';
    binary[102 + 3 * k] = '\xFF';
    binary[0xFFFF + 0xFE] = 'E';
    auto psp = LoadPassport(binary);
    ASSERT_EQ(psp->GetForm(), TPspDBLevel::Form::Binary);
    TPspDBLevel::ValueBuffer value;
    ASSERT_EQ(psp->PassportValue(k, value), 0xFF);
    EXPECT_EQ(value[0], 'x');
    EXPECT_EQ(value[0xFE], 'E');

    // "[ПараметрыКонструкции]" and "Наименование=N" in cp1251.
    const std::string cp1251Ini =
        "[\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB\xCA\xEE\xED\xF1\xF2\xF0\xF3\xEA\xF6\xE8\xE8]\r\n"
        "\xCD\xE0\xE8\xEC\xE5\xED\xEE\xE2\xE0\xED\xE8\xE5=N\r\n";
    const std::string atLimit = cp1251Ini + Padding(kMiB - cp1251Ini.size());
    EXPECT_EQ(LoadPassport(atLimit)->GetName(), "N");
    EXPECT_THROW(LoadPassport(atLimit + "\n"), EFailOpenFile);
}

}  // namespace
}  // namespace velmar::archive
