// velmar-cli: the archive and its measurements from the command line, for scripts and batch work.
// Results go to stdout as JSON or CSV; errors to stderr with a non-zero exit code.

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ArchiveCommand.hpp"
#include "Commands.hpp"

namespace {

constexpr int kExitUsage = 1;

void PrintUsage(std::FILE* out) {
    std::fputs(
        "usage: velmar-cli COMMAND [ARGS]\n"
        "\n"
        "commands:\n"
        "  help                 this text\n"
        "  version              the program version\n"
        "  zamer info|export|import-csv ...\n"
        "                       a measurement file as JSON, a channel as CSV, a new file from CSV\n"
        "  archive tree DIR [--json] [--depth N] [--home BASE]\n"
        "                       the archive tree as the browser shows it\n"
        "  demo-archive DIR [--seed N]\n"
        "                       writes the demo archive into DIR (new or empty)\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string_view command = args.front();
    if (command == "help" || command == "--help" || command == "-h") {
        PrintUsage(stdout);
        return 0;
    }
    if (command == "version" || command == "--version") {
        std::puts("velmar-cli 0.1.0");
        return 0;
    }
    if (command == "zamer") {
        return velmar::cli::RunZamerCommand(std::span<const std::string_view>(args).subspan(1));
    }
    if (command == "archive") {
        return velmar::cli::RunArchiveCommand(std::span<const std::string_view>(args).subspan(1));
    }
    if (command == "demo-archive") {
        return velmar::cli::RunDemoArchiveCommand(std::span<const std::string_view>(args).subspan(1));
    }
    std::fprintf(stderr, "velmar-cli: unknown command '%.*s'\n", static_cast<int>(command.size()), command.data());
    PrintUsage(stderr);
    return kExitUsage;
}
