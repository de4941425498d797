#include "common/ProgramContext.hpp"

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <unistd.h>

#include "common/IniFile.hpp"
#include "common/Paths.hpp"

namespace velmar::common {
namespace fs = std::filesystem;

namespace {

bool HasWritableIni(const fs::path& dir) {
    std::error_code ec;
    const fs::path ini = dir / "INI";
    return fs::is_directory(ini, ec) && ::access(ini.c_str(), W_OK) == 0;
}

}  // namespace

BaseDirectoryChoice ChooseBaseDirectory(const std::vector<std::string>& args, const fs::path& exeDir) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--home" && i + 1 < args.size()) {
            return {fs::absolute(args[i + 1]), true, false};
        }
        if (args[i].rfind("--home=", 0) == 0) {
            return {fs::absolute(args[i].substr(7)), true, false};
        }
    }
    if (const char* env = std::getenv("VELMAR_HOME"); env && *env) {
        return {fs::absolute(env), false, true};
    }
    if (!exeDir.empty() && HasWritableIni(exeDir)) {
        return {exeDir, false, false};
    }
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = fs::path(home) / ".local" / "share";
    } else {
        data = fs::temp_directory_path();
    }
    return {data / "velmar", false, false};
}

fs::path ResourceDirectory(const fs::path& exeDir) {
    std::error_code ec;
    for (const fs::path& candidate : {exeDir / ".." / "share" / "velmar" / "resources", exeDir / "resources"}) {
        if (fs::is_directory(candidate / "ini", ec)) {
            return fs::weakly_canonical(candidate, ec);
        }
    }
#ifdef VELMAR_RESOURCE_DIR
    return fs::path(VELMAR_RESOURCE_DIR);
#else
    return exeDir / "resources";
#endif
}

std::vector<fs::path> SeedBaseDirectory(const fs::path& baseDir, const fs::path& resourceDir) {
    std::vector<fs::path> copied;
    const fs::path iniDir = baseDir / "INI";
    fs::create_directories(iniDir);
    const fs::path source = resourceDir / "ini";
    std::error_code ec;
    if (!fs::is_directory(source, ec)) {
        return copied;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(source)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        // A user's file of the same name in another case is the user's: keep it.
        if (FindEntryNoCase(iniDir, file.filename().string())) {
            continue;
        }
        fs::copy_file(file, iniDir / file.filename(), fs::copy_options::skip_existing);
        copied.push_back(iniDir / file.filename());
    }
    return copied;
}

bool IsCalibrationArgument(const std::vector<std::string>& args) {
    if (args.empty()) {
        return false;
    }
    const std::string& a = args.front();
    return a == "calibr" || a == "calibrate" || a == "calibration";
}

ProgramContext ProgramContext::Open(const fs::path& baseDir) {
    ProgramContext ctx;
    ctx.baseDir = baseDir;
    ctx.iniDir = FindEntryNoCase(baseDir, "INI").value_or(baseDir / "INI");
    ctx.mainIni = FindEntryNoCase(ctx.iniDir, "MAIN.INI").value_or(ctx.iniDir / "MAIN.INI");
    ctx.ReadViewSettings();
    return ctx;
}

void ProgramContext::ReadViewSettings() {
    const IniFile ini(mainIni);
    view.spectrViewMode = static_cast<int>(ini.ReadInteger("View", "SpectrViewMode", 1));
    view.spectrViewModeA = static_cast<int>(ini.ReadInteger("View", "SpectrViewModeA", view.spectrViewMode));
    view.spectrViewModeS = static_cast<int>(ini.ReadInteger("View", "SpectrViewModeS", view.spectrViewMode));
    view.velocityViewMode = static_cast<int>(ini.ReadInteger("View", "VelocityViewMode", 0));
}

fs::path ProgramContext::ArchivePath() const {
    const IniFile ini(mainIni);
    std::string text = BackslashToSlash(ini.ReadString("Main", "Path", ".\\"));
    if (text.empty()) {
        text = ".";
    }
    fs::path p(text);
    if (!p.is_absolute()) {
        // Installations wrote the path in any case; find the directory as it is on disk.
        auto found = ResolvePathNoCase(baseDir, text);
        p = found ? *found : baseDir / p;
    }
    p = p.lexically_normal();
    if (p.filename().empty() && p.has_parent_path() && p != p.root_path()) {
        p = p.parent_path();
    }
    return p;
}

std::string ProgramContext::ArchiveName() const {
    const IniFile ini(mainIni);
    return ini.ReadString("Main", "Name", "?");
}

}  // namespace velmar::common
