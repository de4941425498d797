#include "common/IniFile.hpp"

#include <gtest/gtest.h>

#include "TestSupport.hpp"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/Codepage.hpp"

namespace velmar::common {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
  protected:
    static void WriteBytes(const fs::path& path, const std::string& bytes) {
        velmar::test::WriteBytes(path, bytes);
    }
    static std::string ReadBytes(const fs::path& path) { return velmar::test::ReadBytes(path); }

    velmar::test::TempDir temp_;
    fs::path dir_ = temp_.path();
};

// Builds a file from UTF-8 text the way it sits on disk.
IniFile FromText(const std::string& utf8) {
    return IniFile::FromBytes(Utf8ToCp1251(utf8));
}

TEST(IniFile, Lookup_ignoresCaseOfSectionsAndKeysLatinAndCyrillic) {
    const IniFile ini = FromText(
        "[Main]\r\nPath=C:\\ARH\r\n"
        "[ПараметрыКонструкции]\r\nНаименование=Насос №1\r\nКоличествоТочекЗамера=4\r\n");
    EXPECT_EQ(ini.ReadString("MAIN", "path", "?"), "C:\\ARH");
    EXPECT_EQ(ini.ReadString("main", "PATH", "?"), "C:\\ARH");
    EXPECT_EQ(ini.ReadString("параметрыконструкции", "НАИМЕНОВАНИЕ", "?"), "Насос №1");
    EXPECT_EQ(ini.ReadInteger("ПАРАМЕТРЫКОНСТРУКЦИИ", "количествоточекзамера", 0), 4);
    EXPECT_TRUE(ini.SectionExists("main"));
    EXPECT_TRUE(ini.ValueExists("Параметрыконструкции", "наименование"));
    EXPECT_FALSE(ini.ValueExists("Main", "Name"));
    EXPECT_FALSE(ini.SectionExists("View"));
}

TEST(IniFile, Lookup_firstSectionAndFirstKeyWin) {
    const IniFile ini = FromText(
        "[A]\nKey=first\nkey=second\nOnlyInFirst=1\n"
        "[a]\nKEY=third\nOnlyInSecond=2\n");
    EXPECT_EQ(ini.ReadString("A", "Key", ""), "first");
    EXPECT_EQ(ini.ReadString("a", "OnlyInFirst", "none"), "1");
    // The second [a] is shadowed as a whole, not merged.
    EXPECT_EQ(ini.ReadString("a", "OnlyInSecond", "none"), "none");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(ini.ReadSection("a"), (std::vector<std::string>{"Key", "OnlyInFirst"}));
    using Values = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(ini.ReadSectionValues("A"), (Values{{"Key", "first"}, {"OnlyInFirst", "1"}}));
}

TEST(IniFile, Parse_trimsNamesAndValuesAndSkipsCommentsAndUnknownLines) {
    const IniFile ini = FromText(
        "Stray=before any section\n"
        "; comment=not a key\n"
        "[  Spaced Section \t]\n"
        "  Name  =  value with  inner  spaces \t\n"
        "Empty=\n"
        "   ;indented comment=1\n"
        "no equals sign here\n"
        "[Broken\n"
        "After=still in Spaced Section\n"
        "=no name\n"
        "Eq=a=b");  // last line without a line end
    EXPECT_EQ(ini.ReadString("Spaced Section", "Name", "?"), "value with  inner  spaces");
    EXPECT_EQ(ini.ReadString(" spaced section ", " name ", "?"), "value with  inner  spaces");
    // A key that is present with no value gives the empty value, not the default.
    EXPECT_EQ(ini.ReadString("Spaced Section", "Empty", "default"), "");
    EXPECT_TRUE(ini.ValueExists("Spaced Section", "Empty"));
    EXPECT_EQ(ini.ReadString("Spaced Section", "After", "?"), "still in Spaced Section");
    EXPECT_EQ(ini.ReadString("Spaced Section", "Eq", "?"), "a=b");
    EXPECT_EQ(ini.ReadSection("Spaced Section"), (std::vector<std::string>{"Name", "Empty", "After", "Eq"}));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Spaced Section"}));
    EXPECT_FALSE(ini.SectionExists("Broken"));
    EXPECT_FALSE(ini.ValueExists("Spaced Section", "; comment"));
    EXPECT_FALSE(ini.ValueExists("Spaced Section", ";indented comment"));
}

TEST(IniFile, Parse_acceptsLfCrlfAndNoFinalLineEnd) {
    for (const std::string bytes : {"[S]\r\nA=1\r\nB=2\r\n", "[S]\nA=1\nB=2\n", "[S]\nA=1\r\nB=2"}) {
        const IniFile ini = IniFile::FromBytes(bytes);
        EXPECT_EQ(ini.ReadString("S", "A", "?"), "1") << bytes;
        EXPECT_EQ(ini.ReadString("S", "B", "?"), "2") << bytes;
    }
    EXPECT_TRUE(IniFile::FromBytes("").ReadSections().empty());
}

TEST(IniFile, ReadInteger_acceptsOnlyAWholeNumber) {
    struct Case {
        const char* value;
        long expected;
    };
    const std::vector<Case> cases = {
        {" 12 ", 12},
        {"-3", -3},
        {"+7", 7},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$1f", 31},
        {"-$10", -16},
        {"0", 0},
        {"007", 7},
        {"9223372036854775807", 9223372036854775807L},
        {"-9223372036854775808", -9223372036854775807L - 1},
        {"12abc", -99},
        {"", -99},
        {"99999999999999999999", -99},
        {"9223372036854775808", -99},
        {"1 2", -99},
        {"0x", -99},
        {"$", -99},
        {"-", -99},
        {"--1", -99},
        {"0x-1", -99},
        {"1.5", -99},
        {"1e3", -99},
        {"yes", -99},
    };
    for (const Case& c : cases) {
        const IniFile ini = IniFile::FromBytes(std::string("[S]\nK=") + c.value + "\n");
        EXPECT_EQ(ini.ReadInteger("S", "K", -99), c.expected) << '"' << c.value << '"';
    }
    EXPECT_EQ(IniFile::FromBytes("[S]\n").ReadInteger("S", "K", 42), 42);
}

TEST(IniFile, ReadBool_isAnIntegerOtherThanZero) {
    const IniFile ini = IniFile::FromBytes("[S]\nOne=1\nZero=0\nTwo=2\nMinus=-1\nWord=true\nEmpty=\n");
    EXPECT_TRUE(ini.ReadBool("S", "One", false));
    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_TRUE(ini.ReadBool("S", "Minus", false));
    EXPECT_TRUE(ini.ReadBool("S", "Word", true));
    EXPECT_FALSE(ini.ReadBool("S", "Word", false));
    EXPECT_FALSE(ini.ReadBool("S", "Empty", false));
    EXPECT_TRUE(ini.ReadBool("S", "Missing", true));
}

TEST(IniFile, Write_keepsEveryUntouchedLineAndWritesCrlf) {
    IniFile ini = IniFile::FromBytes(
        "; settings\n"
        "[Main]\r\n"
        "  Path = C:\\OLD  \n"
        "; the next line is not ours\n"
        "#include <other>\n"
        "Count=3\n"
        "\n"
        "\r\n"
        "[view]\n"
        "Mode=0\n");
    ini.WriteString("MAIN", "PATH", "D:\\NEW");  // keeps the spelling "Path" of the file
    ini.WriteString("main", "Added", "x");       // goes after Count, before the blank lines
    ini.WriteInteger("View", "Mode", -2);
    ini.WriteBool("New", "Flag", true);
    ini.WriteBool("New", "Other", false);
    EXPECT_EQ(ini.ToBytes(),
              "; settings\r\n"
              "[Main]\r\n"
              "Path=D:\\NEW\r\n"
              "; the next line is not ours\r\n"
              "#include <other>\r\n"
              "Count=3\r\n"
              "Added=x\r\n"
              "\r\n"
              "\r\n"
              "[view]\r\n"
              "Mode=-2\r\n"
              "\r\n"
              "[New]\r\n"
              "Flag=1\r\n"
              "Other=0\r\n");
}

TEST(IniFile, Write_updatesOnlyTheFirstOfDuplicates) {
    IniFile ini = IniFile::FromBytes("[A]\nk=1\nK=2\n[A]\nk=3\n");
    ini.WriteString("a", "K", "9");
    EXPECT_EQ(ini.ToBytes(), "[A]\r\nk=9\r\nK=2\r\n[A]\r\nk=3\r\n");
    EXPECT_EQ(ini.ReadString("A", "k", "?"), "9");
}

TEST(IniFile, Write_valueReadsBackTrimmed) {
    IniFile ini;
    ini.WriteString(" Sec ", " Key ", "  padded  ");
    EXPECT_EQ(ini.ToBytes(), "[Sec]\r\nKey=  padded  \r\n");
    EXPECT_EQ(ini.ReadString("Sec", "Key", "?"), "padded");
    EXPECT_EQ(IniFile::FromBytes(ini.ToBytes()).ReadString("Sec", "Key", "?"), "padded");
}

TEST(IniFile, Write_rejectsNamesTheFileCouldNotTellApart) {
    IniFile ini;
    for (const char* key : {"", "  ", "a=b", ";comment", "[section", "two\nlines", "cr\rhere"}) {
        EXPECT_THROW(ini.WriteString("S", key, "v"), std::invalid_argument) << key;
    }
    for (const char* section : {"", " ", "two\nlines"}) {
        EXPECT_THROW(ini.WriteString(section, "K", "v"), std::invalid_argument) << section;
    }
    EXPECT_EQ(ini.ToBytes(), "");
    EXPECT_FALSE(ini.Modified());
}

TEST(IniFile, Write_lossyTextIsStoredAsQuestionMarksAndReported) {
    IniFile ini;
    ini.WriteString("S", "Name", "Насос №1");
    EXPECT_FALSE(ini.LossyWrite());
    ini.WriteString("S", "Chinese", "泵");
    EXPECT_TRUE(ini.LossyWrite());
    EXPECT_EQ(ini.ReadString("S", "Chinese", ""), "?");

    IniFile lines;
    lines.WriteString("S", "Note", "first\r\n[Injected]\nline");
    EXPECT_TRUE(lines.LossyWrite());
    EXPECT_EQ(lines.ReadString("S", "Note", ""), "first  [Injected] line");
    EXPECT_FALSE(IniFile::FromBytes(lines.ToBytes()).SectionExists("Injected"));
}

TEST(IniFile, Lookup_nameCp1251CannotHoldMatchesNothing) {
    const IniFile ini = IniFile::FromBytes("[S]\n?=question\n");
    EXPECT_EQ(ini.ReadString("S", "泵", "none"), "none");
    EXPECT_EQ(ini.ReadString("S", "?", "none"), "question");
}

TEST(IniFile, DeleteKey_removesEveryLineOfTheKeyInTheFirstSection) {
    IniFile ini = IniFile::FromBytes("[A]\nK=1\nOther=2\nk=old\n[B]\nK=3\n");
    ini.DeleteKey("a", "K");
    EXPECT_FALSE(ini.ValueExists("A", "K"));
    EXPECT_TRUE(ini.Modified());
    EXPECT_EQ(ini.ToBytes(), "[A]\r\nOther=2\r\n[B]\r\nK=3\r\n");

    IniFile untouched = IniFile::FromBytes("[A]\nK=1\n");
    untouched.DeleteKey("A", "Missing");
    untouched.DeleteKey("Missing", "K");
    EXPECT_FALSE(untouched.Modified());
}

TEST(IniFile, EraseSection_removesEverySectionOfThatName) {
    IniFile ini = IniFile::FromBytes("; top\n[A]\nK=1\n; about A\n\n[B]\nK=2\n[a]\nK=3\n");
    ini.EraseSection("A");
    EXPECT_FALSE(ini.SectionExists("a"));
    EXPECT_EQ(ini.ToBytes(), "; top\r\n[B]\r\nK=2\r\n");
}

TEST(IniFile, Modified_tracksRealChanges) {
    IniFile ini = IniFile::FromBytes("[S]\nK=1\n");
    EXPECT_FALSE(ini.Modified());
    ini.WriteString("S", "K", "1");
    EXPECT_FALSE(ini.Modified());
    ini.WriteInteger("s", "k", 2);
    EXPECT_TRUE(ini.Modified());
}

TEST_F(IniFileTest, Construct_missingOrUnreadableFileIsEmpty) {
    const IniFile missing(dir_ / "absent.ini");
    EXPECT_FALSE(missing.Loaded());
    EXPECT_TRUE(missing.ReadSections().empty());
    EXPECT_EQ(missing.ReadString("Main", "Path", ".\\"), ".\\");

    const IniFile directory(dir_);
    EXPECT_FALSE(directory.Loaded());

    WriteBytes(dir_ / "empty.ini", "");
    EXPECT_TRUE(IniFile(dir_ / "empty.ini").Loaded());
}

TEST_F(IniFileTest, UpdateFile_writesCyrillicAsCp1251BytesWithCrlf) {
    const fs::path path = dir_ / "PSP.INI";
    IniFile ini(path);
    ini.WriteString("ПараметрыКонструкции", "Наименование", "Насос");
    ini.UpdateFile();
    EXPECT_FALSE(ini.Modified());
    // [ПараметрыКонструкции] / Наименование=Насос, laid out by hand from the cp1251 chart
    const std::string expected =
        "[\xCF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB\xCA\xEE\xED\xF1\xF2\xF0\xF3\xEA\xF6\xE8\xE8]\r\n"
        "\xCD\xE0\xE8\xEC\xE5\xED\xEE\xE2\xE0\xED\xE8\xE5=\xCD\xE0\xF1\xEE\xF1\r\n";
    EXPECT_EQ(ReadBytes(path), expected);

    const IniFile reread(path);
    EXPECT_TRUE(reread.Loaded());
    EXPECT_EQ(reread.ReadString("параметрыконструкции", "наименование", "?"), "Насос");
}

TEST_F(IniFileTest, UpdateFile_rewritesAnUnchangedFileWithTheSameBytes) {
    const fs::path path = dir_ / "MAIN.INI";
    const std::string original =
        "[Main]\r\nName12=\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0\r\n  odd line kept as is \r\n; note\r\n\r\n"
        "[View]\r\nSpectrViewMode=1\r\n";
    WriteBytes(path, original);
    IniFile ini(path);
    ini.UpdateFile();
    EXPECT_EQ(ReadBytes(path), original);

    ini.WriteString("View", "SpectrViewMode", "2");
    ini.UpdateFile();
    EXPECT_EQ(IniFile(path).ReadInteger("view", "spectrviewmode", 0), 2);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"MAIN.INI"}));  // no temporary left behind
}

TEST(IniFile, UpdateFile_withoutPathIsAnError) {
    IniFile ini = IniFile::FromBytes("[S]\nK=1\n");
    EXPECT_THROW(ini.UpdateFile(), std::logic_error);
}

TEST_F(IniFileTest, UpdateFile_failureThrowsAndKeepsChanges) {
    IniFile ini(dir_ / "gone" / "A.INI");
    ini.WriteString("S", "K", "1");
    EXPECT_THROW(ini.UpdateFile(), std::system_error);
    EXPECT_TRUE(ini.Modified());  // nothing was written, so the change is still pending
}

}  // namespace
}  // namespace velmar::common
