#pragma once
// Subcommands of velmar-cli. Each takes the arguments after its own name and returns the exit code:
// 0 done, 1 wrong usage, 2 a file that cannot be read or written (one line on stderr says why).

#include <span>
#include <string_view>

namespace velmar::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFailure = 2;

// velmar-cli zamer info|export|import-csv ...
int RunZamerCommand(std::span<const std::string_view> args);

// velmar-cli demo-archive DIR [--seed N]
int RunDemoArchiveCommand(std::span<const std::string_view> args);

}  // namespace velmar::cli
