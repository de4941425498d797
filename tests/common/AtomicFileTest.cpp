#include "common/AtomicFile.hpp"

#include <gtest/gtest.h>

#include "TestSupport.hpp"

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace velmar::common {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
  protected:
    static void WriteBytes(const fs::path& path, const std::string& bytes) {
        velmar::test::WriteBytes(path, bytes);
    }
    static std::string ReadBytes(const fs::path& path) { return velmar::test::ReadBytes(path); }
    // Everything in `dir`, sorted; a temporary left behind shows up here.
    static std::vector<std::string> Entries(const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static mode_t ModeOf(const fs::path& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return st.st_mode & 07777;
    }

    velmar::test::TempDir temp_;
    fs::path dir_ = temp_.path();
};

TEST_F(AtomicFileTest, ReplaceFileAtomic_replacesContentKeepsModeAndLeavesNoTemporary) {
    const fs::path path = dir_ / "MAIN.INI";
    WriteBytes(path, "old content that is longer than the new one");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string bytes("new\0bytes\r\n", 11);
    ReplaceFileAtomic(path, bytes);
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"MAIN.INI"}));
}

TEST_F(AtomicFileTest, ReplaceFileAtomic_createsAMissingFileWithTheUsualMode) {
    const mode_t old = ::umask(022);
    const fs::path path = dir_ / "new.ini";
    ReplaceFileAtomic(path, "x");
    ::umask(old);
    EXPECT_EQ(ReadBytes(path), "x");
    EXPECT_EQ(ModeOf(path), 0644u);  // not the 0600 a bare mkstemp would leave
}

TEST_F(AtomicFileTest, ReplaceFileAtomic_writesThroughASymbolicLink) {
    const fs::path real = dir_ / "real.ini";
    const fs::path link = dir_ / "link.ini";
    WriteBytes(real, "old");
    fs::create_symlink("real.ini", link);
    ReplaceFileAtomic(link, "new");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(ReadBytes(real), "new");
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"link.ini", "real.ini"}));
}

TEST_F(AtomicFileTest, ReplaceFileAtomic_failureLeavesEverythingAsItWas) {
    // Root ignores permission bits, so failures are made with things that stop root too.
    const fs::path directory = dir_ / "target";
    fs::create_directory(directory);
    WriteBytes(directory / "inside", "kept");
    try {
        ReplaceFileAtomic(directory, "bytes");
        FAIL() << "replacing a directory must fail";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find(directory.string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadBytes(directory / "inside"), "kept");
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"target"}));

    const fs::path noParent = dir_ / "removed" / "A.INI";
    try {
        ReplaceFileAtomic(noParent, "bytes");
        FAIL() << "writing into a missing directory must fail";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
        EXPECT_NE(std::string(e.what()).find(noParent.string()), std::string::npos) << e.what();
    }
}

TEST_F(AtomicFileTest, ReplaceFileAtomic_writeFailingHalfwayKeepsTheOriginal) {
    // A file size limit makes write() fail part way, like a full disk would.
    const fs::path path = dir_ / "data.bin";
    WriteBytes(path, "original");
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::error_code code;
    try {
        ReplaceFileAtomic(path, std::string(100000, 'x'));
    } catch (const std::system_error& e) {
        code = e.code();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(code, std::errc::file_too_large);
    EXPECT_EQ(ReadBytes(path), "original");
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"data.bin"}));
}

TEST_F(AtomicFileTest, ReplaceFileAtomic_refusesAReadOnlyFileEvenForRoot) {
    const fs::path path = dir_ / "ro.ini";
    WriteBytes(path, "original");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    try {
        ReplaceFileAtomic(path, "new");
        FAIL() << "a file without the owner-write bit is read-only";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::permission_denied);
    }
    EXPECT_EQ(ReadBytes(path), "original");
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"ro.ini"}));
}

TEST_F(AtomicFileTest, WriteNewFileAtomic_createsTheFile) {
    const mode_t old = ::umask(027);
    const fs::path path = dir_ / "M0001.VIB";
    WriteNewFileAtomic(path, std::string("\x00\x01\x02", 3));
    ::umask(old);
    EXPECT_EQ(ReadBytes(path), std::string("\x00\x01\x02", 3));
    EXPECT_EQ(ModeOf(path), 0640u);
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"M0001.VIB"}));
}

TEST_F(AtomicFileTest, WriteNewFileAtomic_neverReplacesAnythingAndLeavesNoTemporary) {
    WriteBytes(dir_ / "file", "mine");
    fs::create_directory(dir_ / "dir");
    fs::create_symlink("nowhere", dir_ / "dangling");
    for (const char* name : {"file", "dir", "dangling"}) {
        try {
            WriteNewFileAtomic(dir_ / name, "theirs");
            FAIL() << name << " was replaced";
        } catch (const std::system_error& e) {
            EXPECT_EQ(e.code(), std::errc::file_exists) << name;
            EXPECT_NE(std::string(e.what()).find((dir_ / name).string()), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ReadBytes(dir_ / "file"), "mine");
    EXPECT_TRUE(fs::is_directory(dir_ / "dir"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_ / "dangling")));
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"dangling", "dir", "file"}));
}

TEST_F(AtomicFileTest, WriteNewFileAtomic_missingDirectoryFailsCleanly) {
    EXPECT_THROW(WriteNewFileAtomic(dir_ / "removed" / "x", "bytes"), std::system_error);
    EXPECT_TRUE(Entries(dir_).empty());
}

TEST_F(AtomicFileTest, ReadWholeFile_readsEveryByteAndReportsFailures) {
    std::string bytes;
    for (int i = 0; i < 200000; ++i) {
        bytes.push_back(static_cast<char>(i * 7));
    }
    WriteBytes(dir_ / "big", bytes);
    EXPECT_EQ(ReadWholeFile(dir_ / "big"), bytes);
    WriteBytes(dir_ / "empty", "");
    EXPECT_EQ(ReadWholeFile(dir_ / "empty"), "");

    try {
        ReadWholeFile(dir_ / "absent");
        FAIL() << "reading a missing file must fail";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
        EXPECT_NE(std::string(e.what()).find("absent"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ReadWholeFile(dir_), std::system_error);
}

}  // namespace
}  // namespace velmar::common
