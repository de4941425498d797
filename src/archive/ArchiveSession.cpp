#include "archive/ArchiveSession.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

NodePtrOf<TProgDBLevel> OpenArchive(ArchiveContext& context, common::ProgramContext& program,
                                    const std::optional<fs::path>& archiveDirectory) {
    program.registry.Load(program.mainIni, program.iniDir);
    common::RegisterBuiltInHandlers(program.registry);
    context.program = &program;
    fs::path directory = program.ArchivePath();
    if (archiveDirectory) {
        directory = fs::absolute(*archiveDirectory).lexically_normal();
        // "DIR/" names the same directory as "DIR"; the root keeps no trailing separator.
        if (directory.filename().empty() && directory.has_parent_path() &&
            directory != directory.root_path()) {
            directory = directory.parent_path();
        }
    }
    return MakeNode<TProgDBLevel>(context, directory, program.ArchiveName());
}

std::unique_ptr<ArchiveSession> ArchiveSession::Open(const fs::path& baseDir,
                                                     const std::optional<fs::path>& archiveDirectory,
                                                     common::UiPort* ui) {
    std::unique_ptr<ArchiveSession> session(new ArchiveSession());
    session->program_ = common::ProgramContext::Open(baseDir);
    session->context_.ui = ui;
    session->root_ = OpenArchive(session->context_, session->program_, archiveDirectory);
    return session;
}

ArchiveSession::~ArchiveSession() {
    root_.reset();
}

}  // namespace velmar::archive
