#pragma once
// Where the program keeps its settings and what it read from them at start. Passed to whatever needs it
// instead of living in globals, so that two contexts (two tests) never meet.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/ExpertSystem.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::common {

struct BaseDirectoryChoice {
    std::filesystem::path baseDir;
    bool fromCommandLine = false;
    bool fromEnvironment = false;
};

// The base directory: `--home DIR`, else $VELMAR_HOME, else the executable's directory when it holds a
// writable INI/, else $XDG_DATA_HOME/velmar (~/.local/share/velmar).
BaseDirectoryChoice ChooseBaseDirectory(const std::vector<std::string>& args, const std::filesystem::path& exeDir);

// The shipped resources: the build tree's copy, or share/velmar/resources beside the installed binary.
std::filesystem::path ResourceDirectory(const std::filesystem::path& exeDir);

// Creates baseDir/INI and copies every shipped INI file that is not there yet. Returns the files copied.
std::vector<std::filesystem::path> SeedBaseDirectory(const std::filesystem::path& baseDir,
                                                     const std::filesystem::path& resourceDir);

// "calibr", "calibrate" or "calibration" as the first argument, compared exactly.
bool IsCalibrationArgument(const std::vector<std::string>& args);

struct ProgramContext {
    std::filesystem::path baseDir;
    std::filesystem::path iniDir;   // baseDir/INI
    std::filesystem::path mainIni;  // iniDir/MAIN.INI
    ViewSettings view;
    bool calibrationMode = false;
    ExpertSystemRegistry registry;

    // Forms the INI paths (finding MAIN.INI in any case) and reads the View settings.
    static ProgramContext Open(const std::filesystem::path& baseDir);
    void ReadViewSettings();
    // The archive root directory from MAIN.INI [Main] Path, relative paths taken from the base directory.
    std::filesystem::path ArchivePath() const;
    std::string ArchiveName() const;
};

}  // namespace velmar::common
