#pragma once
// The program's start: the application object, the base directory, a single instance per base directory,
// the demo archive on first start, the main window and the event loop.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace velmar::archive {
class TDBLevel;
}

namespace velmar::common {
struct ProgramContext;
}

namespace velmar::ui {

class TMainFormAxs;

struct StartOptions {
    // Print the milliseconds from the start to the first painted, filled archive tree, then end.
    bool measureStartup = false;
    // Save a picture of the main window with the browser opened on the archive, then end.
    std::optional<std::filesystem::path> screenshot;
    // With a screenshot: a signal window on the newest measurement, maximised, showing "signal", "spectrum"
    // (velocity, harmonic markers on), "envelope" (envelope spectrum) or "tiled" (all its channels).
    std::string screenshotView;
};

StartOptions ParseStartOptions(const std::vector<std::string>& arguments);

// When the archive directory MAIN.INI names does not exist, writes the demo archive there (showing its
// progress) and answers true. Throws when it cannot be written.
bool EnsureArchive(const common::ProgramContext& program, QWidget* parent);

// Opens the archive tree down to the channels of the newest measurement of the first machine and selects a
// channel: the picture a new user sees of the archive.
// Returns the newest measurement of the first machine, or none.
archive::TDBLevel* ShowArchiveTour(TMainFormAxs& window);
// Opens the signal window a screenshot view names on a measurement; false when there is nothing to show.
bool ShowSignalView(TMainFormAxs& window, archive::TDBLevel& measurement, const std::string& view);

// The whole program; the exit code.
int RunProgram(int argc, char** argv);

}  // namespace velmar::ui
