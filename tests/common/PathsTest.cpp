#include "common/Paths.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace velmar::common {
namespace {

namespace fs = std::filesystem;

class PathsDirTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "velmar-paths-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        // Read-only entries made by a test must not keep their directory alive.
        for (auto it = fs::recursive_directory_iterator(root_, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(root_, ec);
    }

    fs::path File(const fs::path& relative) const {
        const fs::path p = root_ / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        return p;
    }
    fs::path Dir(const fs::path& relative) const {
        const fs::path p = root_ / relative;
        fs::create_directories(p);
        return p;
    }

    std::vector<std::string> Names(const std::vector<fs::path>& paths) const {
        std::vector<std::string> names;
        for (const auto& p : paths) {
            EXPECT_EQ(p.parent_path(), root_);
            names.push_back(p.filename().string());
        }
        return names;
    }

    fs::path root_;
};

TEST_F(PathsDirTest, FindEntryNoCaseReturnsTheOnDiskSpelling) {
    File("Unit_D.inf");
    Dir("Паспорт");
    File("данные.vib");
    File("ёлка");
    struct Case {
        const char* asked;
        const char* onDisk;
    };
    const Case cases[] = {
        {"UNIT_D.INF", "Unit_D.inf"},
        {"unit_d.inf", "Unit_D.inf"},
        {"Unit_D.inf", "Unit_D.inf"},
        {"ПАСПОРТ", "Паспорт"},
        {"паспорт", "Паспорт"},
        {"ДАННЫЕ.VIB", "данные.vib"},
        {"ЁЛКА", "ёлка"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        const auto found = FindEntryNoCase(root_, c.asked);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, root_ / c.onDisk);
    }
    for (const char* missing :
         {"UNIT_D.IN", "UNIT_D.INF2", "ПАСПОРТЫ", "", ".", "..", "a/b", "Unit_D.inf/"}) {
        EXPECT_FALSE(FindEntryNoCase(root_, missing).has_value()) << missing;
    }
    EXPECT_FALSE(FindEntryNoCase(root_ / "nowhere", "UNIT_D.INF").has_value());
    EXPECT_FALSE(FindEntryNoCase(root_ / "Unit_D.inf", "x").has_value());
}

TEST_F(PathsDirTest, FindEntryNoCasePrefersTheExactNameThenTheFirstSorted) {
    File("psp");
    File("Psp");
    File("pSP");
    EXPECT_EQ(FindEntryNoCase(root_, "psp"), root_ / "psp");
    EXPECT_EQ(FindEntryNoCase(root_, "Psp"), root_ / "Psp");
    // No exact spelling: the first in byte order ("Psp" < "pSP" < "psp"), whatever readdir says.
    EXPECT_EQ(FindEntryNoCase(root_, "PSP"), root_ / "Psp");
    EXPECT_EQ(FindEntryNoCase(root_, "psP"), root_ / "Psp");
}

TEST_F(PathsDirTest, ResolvePathNoCaseWalksEveryComponent) {
    File("Archive/Stan1/Agr2/M1970101.vib");
    File("Ini/Main.ini");
    const fs::path target = root_ / "Archive/Stan1/Agr2/M1970101.vib";
    struct Case {
        const char* relative;
        fs::path expected;
    };
    const Case cases[] = {
        {"ARCHIVE\\STAN1\\AGR2\\m1970101.VIB", target},
        {"archive/stan1/agr2/M1970101.VIB", target},
        {".\\ARCHIVE\\\\stan1\\.\\AGR2\\M1970101.VIB", target},
        {"ARCHIVE\\", root_ / "Archive"},
        {"", root_},
        {".\\", root_},
        {"INI\\MAIN.INI", root_ / "Ini/Main.ini"},
        {"archive\\stan1\\..\\..\\ini\\main.ini", root_ / "Archive/Stan1/../../Ini/Main.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.relative);
        const auto resolved = ResolvePathNoCase(root_, c.relative);
        ASSERT_TRUE(resolved.has_value());
        EXPECT_EQ(*resolved, c.expected);
        EXPECT_TRUE(fs::exists(*resolved));
    }
    for (const char* missing : {"ARCHIVE\\STAN2", "ARCHIVE\\STAN1\\AGR2\\M1970101.VIB\\X", "nothing",
                                "INI\\MAIN.INI\\..\\MAIN.INI"}) {
        EXPECT_FALSE(ResolvePathNoCase(root_, missing).has_value()) << missing;
    }
    EXPECT_FALSE(ResolvePathNoCase(root_ / "gone", "").has_value());
}

TEST_F(PathsDirTest, ResolvePathNoCaseTakesALeadingSeparatorFromTheRoot) {
    File("Deep/Name.TXT");
    const std::string absolute = BackslashToSlash((root_ / "DEEP" / "name.txt").string());
    EXPECT_EQ(ResolvePathNoCase("/nonexistent-base", absolute), root_ / "Deep/Name.TXT");
}

TEST(Paths, MatchesGlobNoCase) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        // The archive's own lookups.
        {"M1970101", "M*.*", true},  // no dot: "X*.*" means "X*"
        {"m1970101.vib", "M*.*", true},
        {"M1.", "M*.*", true},
        {"X1970101", "M*.*", false},
        {"a.vib", "*.VIB", true},
        {"A.VIB", "*.vib", true},
        {"a.vibx", "*.VIB", false},
        {"a.vib.bak", "*.VIB", false},
        {"vib", "*.VIB", false},
        {"_old", "_*", true},
        {"_", "_*", true},
        {"old_", "_*", false},
        {"R1", "R*.*", true},
        {"r1.dat", "R*.*", true},
        {"Ra.b.c", "R*.*", true},
        {"psp", "PSP", true},
        {"psp1", "PSP", false},
        {"ps", "PSP", false},
        {"anything", "*.*", true},
        {"X", "X.*", true},
        {"XY", "X.*", false},
        // Cyrillic letters fold too, and "?" takes a whole character, not a byte.
        {"ДАННЫЕ.VIB", "данные.*", true},
        {"ёлка", "Ё*", true},
        {"ѓ", "Ѓ", true},
        {"ґ", "Ґ", true},
        {"Жук", "?ук", true},
        {"Жук", "??ук", false},
        {"ab", "a?", true},
        {"abc", "a?", false},
        {"a", "a*", true},
        {"", "*", true},
        {"abc", "", false},
        {"", "", true},
        {"a*b", "a*b", true},
        {"axxb", "a*b", true},
        {"axxbc", "a*b", false},
        {"abcbcd", "*bc?", true},
        {"\xFF"
         "abc",
         "?ABC", true},  // a stray byte counts as one character
        // Temporary files start with "." and never match a pattern that does not.
        {".tmp", "*", false},
        {".M1970101", "*M*.*", false},
        {".M1970101", "?M*", false},
        {".tmp", ".*", true},
        {".M1970101.vib", ".m*.VIB", true},
        // No exponential backtracking on a pattern that must fail.
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*a*a*a*c", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesGlobNoCase(c.name, c.pattern), c.matches)
            << '"' << c.name << "\" ~ \"" << c.pattern << '"';
    }
}

TEST_F(PathsDirTest, GlobNoCaseFiltersByTypeAndSortsIgnoringCase) {
    File("m1970102.vib");
    File("M1970101");
    File("M1970103.VIB");
    File(".M1970104.vib");  // a file being written
    Dir("Machine");
    Dir("_busy");
    File("R1.dat");
    File("readme");
    File("b.vib");
    File("A.VIB");
    Dir("c.vib");

    EXPECT_EQ(Names(GlobNoCase(root_, "M*.*", EntryType::File)),
              (std::vector<std::string>{"M1970101", "m1970102.vib", "M1970103.VIB"}));
    EXPECT_EQ(Names(GlobNoCase(root_, "M*.*", EntryType::Directory)), (std::vector<std::string>{"Machine"}));
    EXPECT_EQ(Names(GlobNoCase(root_, "m*", EntryType::Any)),
              (std::vector<std::string>{"M1970101", "m1970102.vib", "M1970103.VIB", "Machine"}));
    EXPECT_EQ(Names(GlobNoCase(root_, "*.VIB", EntryType::File)),
              (std::vector<std::string>{"A.VIB", "b.vib", "m1970102.vib", "M1970103.VIB"}));
    EXPECT_EQ(Names(GlobNoCase(root_, "_*", EntryType::Directory)), (std::vector<std::string>{"_busy"}));
    EXPECT_EQ(Names(GlobNoCase(root_, "R*.*", EntryType::File)),
              (std::vector<std::string>{"R1.dat", "readme"}));
    EXPECT_EQ(Names(GlobNoCase(root_, ".*", EntryType::File)), (std::vector<std::string>{".M1970104.vib"}));
    for (const auto& p : GlobNoCase(root_, "*", EntryType::Any)) {
        EXPECT_NE(p.filename().string().front(), '.') << p;
    }
    EXPECT_TRUE(GlobNoCase(root_ / "missing", "*", EntryType::Any).empty());
}

TEST_F(PathsDirTest, GlobNoCaseSeesSymlinksAsTheirTargets) {
    Dir("RealDir");
    File("real.vib");
    fs::create_directory_symlink(root_ / "RealDir", root_ / "LinkDir");
    fs::create_symlink(root_ / "real.vib", root_ / "link.vib");
    fs::create_symlink(root_ / "gone.vib", root_ / "dangling.vib");
    EXPECT_EQ(Names(GlobNoCase(root_, "*.VIB", EntryType::File)),
              (std::vector<std::string>{"link.vib", "real.vib"}));
    EXPECT_EQ(Names(GlobNoCase(root_, "*DIR", EntryType::Directory)),
              (std::vector<std::string>{"LinkDir", "RealDir"}));
    EXPECT_EQ(Names(GlobNoCase(root_, "*.vib", EntryType::Any)),
              (std::vector<std::string>{"dangling.vib", "link.vib", "real.vib"}));
}

TEST_F(PathsDirTest, ReadOnlyIsTheOwnerWriteBit) {
    const fs::path file = File("M1970101.VIB");
    const fs::path dir = Dir("Stan");
    for (const auto& p : {file, dir}) {
        SCOPED_TRACE(p);
        EXPECT_FALSE(IsReadOnly(p));
        SetReadOnly(p, true);
        EXPECT_TRUE(IsReadOnly(p));
        EXPECT_EQ(fs::status(p).permissions() &
                      (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write),
                  fs::perms::none);
        SetReadOnly(p, false);
        EXPECT_FALSE(IsReadOnly(p));
    }
    // Only the owner's bit counts: group and others writing does not make a file writable for us.
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_all | fs::perms::others_all,
                    fs::perm_options::replace);
    EXPECT_TRUE(IsReadOnly(file));
    EXPECT_FALSE(IsReadOnly(root_ / "missing"));
    EXPECT_THROW(SetReadOnly(root_ / "missing", true), fs::filesystem_error);
}

TEST(Paths, IsSafeChildName) {
    struct Case {
        std::string name;
        bool safe;
    };
    const Case cases[] = {
        {"M1970101.VIB", true},
        {"Паспорт", true},
        {"..a", true},
        {"a..", true},
        {".tmp", true},
        {"...", true},
        {"", false},
        {".", false},
        {"..", false},
        {"a/b", false},
        {"/", false},
        {"a\\b", false},
        {"\\", false},
        {"../x", false},
        {std::string("a\0b", 3), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSafeChildName(c.name), c.safe) << '"' << c.name << '"';
    }
}

TEST(Paths, BackslashToSlashAndFileTitle) {
    EXPECT_EQ(BackslashToSlash("PSP\\A1.NAM"), "PSP/A1.NAM");
    EXPECT_EQ(BackslashToSlash(".\\ARCHIVE\\"), "./ARCHIVE/");
    EXPECT_EQ(BackslashToSlash("already/fine"), "already/fine");
    struct Case {
        const char* path;
        const char* title;
    };
    const Case cases[] = {
        {"C:\\DATA\\M1970101.VIB", "M1970101"},
        {"dir/sub/file.tar.gz", "file.tar"},
        {"mixed\\sep/name.ini", "name"},
        {"noext", "noext"},
        {"a.b/noext", "noext"},
        {".ini", ".ini"},
        {"name.", "name"},
        {"dir/", ""},
        {"", ""},
        {"Паспорт.psp", "Паспорт"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileTitle(c.path), c.title) << c.path;
    }
}

}  // namespace
}  // namespace velmar::common
