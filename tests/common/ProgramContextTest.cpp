#include "common/ProgramContext.hpp"

#include <cstdlib>
#include <optional>

#include <gtest/gtest.h>

#include "TestSupport.hpp"

using namespace velmar::common;
using velmar::test::TempDir;
using velmar::test::WriteBytes;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(ProgramContext, BaseDirectoryPrecedence) {
    TempDir dir;
    fs::create_directories(dir / "exe/INI");
    {
        ScopedEnv env("VELMAR_HOME", (dir / "env").c_str());
        auto c = ChooseBaseDirectory({"--home", (dir / "cli").string()}, dir / "exe");
        EXPECT_EQ(c.baseDir, dir / "cli");
        EXPECT_TRUE(c.fromCommandLine);
        c = ChooseBaseDirectory({"calibr", "--home=" + (dir / "cli2").string()}, dir / "exe");
        EXPECT_EQ(c.baseDir, dir / "cli2");
        c = ChooseBaseDirectory({}, dir / "exe");
        EXPECT_EQ(c.baseDir, dir / "env");
        EXPECT_TRUE(c.fromEnvironment);
    }
    {
        ScopedEnv env("VELMAR_HOME", nullptr);
        ScopedEnv xdg("XDG_DATA_HOME", (dir / "xdg").c_str());
        EXPECT_EQ(ChooseBaseDirectory({}, dir / "exe").baseDir, dir / "exe");
        EXPECT_EQ(ChooseBaseDirectory({}, dir / "elsewhere").baseDir, dir / "xdg/velmar");
    }
}

TEST(ProgramContext, SeedingCopiesOnlyMissingFiles) {
    TempDir dir;
    WriteBytes(dir / "res/ini/MAIN.INI", "[Main]\r\nPath=Archive\r\n");
    WriteBytes(dir / "res/ini/PREOBR.INI", "[Main]\r\n");
    WriteBytes(dir / "home/INI/main.ini", "[Main]\r\nPath=Mine\r\n");  // the user's own, in another case
    const auto copied = SeedBaseDirectory(dir / "home", dir / "res");
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].filename(), "PREOBR.INI");
    EXPECT_EQ(velmar::test::ReadBytes(dir / "home/INI/main.ini"), "[Main]\r\nPath=Mine\r\n");
    EXPECT_FALSE(fs::exists(dir / "home/INI/MAIN.INI"));

    const ProgramContext ctx = ProgramContext::Open(dir / "home");
    EXPECT_EQ(ctx.mainIni, dir / "home/INI/main.ini");
    EXPECT_EQ(ctx.ArchivePath(), dir / "home/Mine");
}

TEST(ProgramContext, ArchivePathAndViewSettings) {
    TempDir dir;
    fs::create_directories(dir / "ARCHIVE/Plant");
    WriteBytes(dir / "INI/MAIN.INI",
               "[Main]\r\nPath=archive\\plant\\\r\n[View]\r\nSpectrViewMode=0\r\nVelocityViewMode=1\r\n");
    ProgramContext ctx = ProgramContext::Open(dir.path());
    EXPECT_EQ(ctx.ArchivePath(), dir / "ARCHIVE/Plant");
    EXPECT_EQ(ctx.ArchiveName(), "?");
    EXPECT_EQ(ctx.view.spectrViewMode, 0);
    EXPECT_EQ(ctx.view.spectrViewModeA, 0);  // defaults to SpectrViewMode
    EXPECT_EQ(ctx.view.spectrViewModeS, 0);
    EXPECT_EQ(ctx.view.velocityViewMode, 1);

    WriteBytes(dir / "INI/MAIN.INI", "[Main]\r\nName=Завод\r\n");
    ctx = ProgramContext::Open(dir.path());
    EXPECT_EQ(ctx.ArchivePath(), dir.path());  // the default ".\\"
    EXPECT_EQ(ctx.view.spectrViewMode, 1);
}

TEST(ProgramContext, CalibrationArgumentIsExact) {
    EXPECT_TRUE(IsCalibrationArgument({"calibr"}));
    EXPECT_TRUE(IsCalibrationArgument({"calibrate"}));
    EXPECT_TRUE(IsCalibrationArgument({"calibration", "x"}));
    EXPECT_FALSE(IsCalibrationArgument({"Calibration"}));
    EXPECT_FALSE(IsCalibrationArgument({"x", "calibr"}));
    EXPECT_FALSE(IsCalibrationArgument({}));
}
