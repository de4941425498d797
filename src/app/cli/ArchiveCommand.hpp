#pragma once
// velmar-cli archive: the archive tree as the browser shows it.

#include <span>
#include <string_view>

namespace velmar::cli {

// velmar-cli archive tree DIR [--json] [--depth N] [--home BASE]
// Exit code 0 done, 1 wrong usage, 2 an archive or settings that cannot be read (one line on stderr).
int RunArchiveCommand(std::span<const std::string_view> args);

}  // namespace velmar::cli
