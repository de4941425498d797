#pragma once
// Opening the archive the program's settings name: the expert-system registry from MAIN.INI (with the
// handlers every installation has) and the root node on the archive directory. The main window and
// velmar-cli open archives this way.

#include <filesystem>
#include <memory>
#include <optional>

#include "archive/ArchiveContext.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/ProgramContext.hpp"

namespace velmar::archive {

// Loads `program`'s registry (MAIN.INI slots, built-in handlers), points `context` at `program`, and
// creates the root from MAIN.INI Path (relative to the base directory) and Name. `archiveDirectory`, when
// given, replaces Path. Raises EFailOpenFile when the archive directory does not exist.
NodePtrOf<TProgDBLevel> OpenArchive(
    ArchiveContext& context, common::ProgramContext& program,
    const std::optional<std::filesystem::path>& archiveDirectory = std::nullopt);

// The settings, the context and the root of one open archive, kept together so that they go in the right
// order (the root first).
class ArchiveSession {
  public:
    // The program's settings from `baseDir` (its INI/MAIN.INI), then OpenArchive.
    static std::unique_ptr<ArchiveSession> Open(
        const std::filesystem::path& baseDir,
        const std::optional<std::filesystem::path>& archiveDirectory = std::nullopt,
        common::UiPort* ui = nullptr);

    ArchiveSession(const ArchiveSession&) = delete;
    ArchiveSession& operator=(const ArchiveSession&) = delete;
    ~ArchiveSession();

    common::ProgramContext& Program() noexcept { return program_; }
    ArchiveContext& Context() noexcept { return context_; }
    TProgDBLevel& Root() noexcept { return *root_; }

  private:
    ArchiveSession() = default;

    common::ProgramContext program_;
    ArchiveContext context_;
    NodePtrOf<TProgDBLevel> root_;
};

}  // namespace velmar::archive
