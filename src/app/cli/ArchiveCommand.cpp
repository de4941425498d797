// velmar-cli archive tree: loads a directory as an archive root, with the expert-system slots of the
// program's MAIN.INI, and prints the tree the browser would show, as indented text or nested JSON.

#include "ArchiveCommand.hpp"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "archive/ArchiveSession.hpp"
#include "archive/ArchiveTree.hpp"
#include "common/Paths.hpp"
#include "common/ProgramContext.hpp"

namespace velmar::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFailure = 2;

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void PrintArchiveUsage(std::FILE* out) {
    std::fputs(
        "usage:\n"
        "  velmar-cli archive tree DIR [--json] [--depth N] [--home BASE]\n"
        "    DIR     the archive directory (it replaces MAIN.INI Path)\n"
        "    --home  the program's base directory (its INI/MAIN.INI names the expert systems); default\n"
        "            $VELMAR_HOME, else the shipped settings\n",
        out);
}

struct TreeOptions {
    fs::path directory;
    bool json = false;
    int depth = -1;
    std::optional<fs::path> home;
};

TreeOptions ParseTreeArguments(std::span<const std::string_view> args) {
    TreeOptions options;
    bool haveDirectory = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto value = [&]() -> std::string_view {
            if (i + 1 >= args.size()) {
                throw UsageError(std::string(arg) + " needs a value");
            }
            return args[++i];
        };
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--depth") {
            const std::string_view text = value();
            int depth = 0;
            const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), depth);
            if (ec != std::errc() || ptr != text.data() + text.size() || depth < 0) {
                throw UsageError("--depth takes a whole number of levels, not '" + std::string(text) + "'");
            }
            options.depth = depth;
        } else if (arg == "--home") {
            options.home = fs::path(std::string(value()));
        } else if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            throw UsageError("unknown option " + std::string(arg));
        } else if (!haveDirectory) {
            options.directory = fs::path(std::string(arg));
            haveDirectory = true;
        } else {
            throw UsageError("one archive directory only");
        }
    }
    if (!haveDirectory) {
        throw UsageError("no archive directory given");
    }
    return options;
}

fs::path ExecutableDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : exe.parent_path();
}

// --home, else $VELMAR_HOME, else the settings shipped with the program.
fs::path SettingsBase(const TreeOptions& options) {
    if (options.home) {
        return fs::absolute(*options.home);
    }
    if (const char* env = std::getenv("VELMAR_HOME"); env != nullptr && *env != '\0') {
        return fs::absolute(env);
    }
    return common::ResourceDirectory(ExecutableDirectory());
}

// Texts from the disk may hold bytes that are not UTF-8 (a directory name copied from another system):
// each such byte becomes U+FFFD, so that the output stays valid.
std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char ch : ValidUtf8(text)) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

void AppendJson(std::string& out, const archive::ArchiveTreeEntry& entry, int indent) {
    const std::string pad(static_cast<std::size_t>(indent) * 2, ' ');
    const std::string inner(static_cast<std::size_t>(indent + 1) * 2, ' ');
    out += "{\n";
    out += inner + "\"level\": " + std::to_string(entry.level) + ",\n";
    out += inner + "\"kind\": ";
    AppendJsonString(out, entry.kind);
    out += ",\n" + inner + "\"name\": ";
    AppendJsonString(out, entry.name);
    out += ",\n" + inner + "\"path\": ";
    AppendJsonString(out, entry.path);
    out += ",\n" + inner + "\"state\": " + std::to_string(entry.state) + ",\n";
    out += inner + "\"enabled\": " + (entry.enabled ? "true" : "false") + ",\n";
    if (entry.channel) {
        out += inner + "\"channel\": " + std::to_string(*entry.channel) + ",\n";
    }
    out += inner + "\"children\": [";
    for (std::size_t i = 0; i < entry.children.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += inner + "  ";
        AppendJson(out, entry.children[i], indent + 2);
    }
    out += entry.children.empty() ? "]\n" : "\n" + inner + "]\n";
    out += pad + "}";
}

void AppendText(std::string& out, const archive::ArchiveTreeEntry& entry, int indent) {
    out.append(static_cast<std::size_t>(indent) * 2, ' ');
    out += std::to_string(entry.level) + " " + entry.kind + " \"" + ValidUtf8(entry.name) + "\" " +
           ValidUtf8(entry.path) + " state=" + std::to_string(entry.state) +
           (entry.enabled ? " enabled" : " disabled");
    if (entry.channel) {
        out += " channel=" + std::to_string(*entry.channel);
    }
    out += '\n';
    for (const archive::ArchiveTreeEntry& child : entry.children) {
        AppendText(out, child, indent + 1);
    }
}

int RunTree(std::span<const std::string_view> args) {
    const TreeOptions options = ParseTreeArguments(args);
    std::error_code ec;
    if (!fs::is_directory(options.directory, ec)) {
        throw std::runtime_error("not a directory: " + options.directory.string());
    }
    const fs::path base = SettingsBase(options);
    const common::ProgramContext program = common::ProgramContext::Open(base);
    if (!fs::is_regular_file(program.mainIni, ec)) {
        throw std::runtime_error("no INI/MAIN.INI in " + base.string());
    }
    const std::unique_ptr<archive::ArchiveSession> session =
        archive::ArchiveSession::Open(base, options.directory);
    // Listing changes nothing on disk, not even a machine's stored colour state.
    session->Root().SetStatesWritten(false);
    const archive::ArchiveTreeEntry tree = archive::DescribeTree(session->Root(), options.depth);
    std::string out;
    if (options.json) {
        AppendJson(out, tree, 0);
        out += '\n';
    } else {
        AppendText(out, tree, 0);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

}  // namespace

int RunArchiveCommand(std::span<const std::string_view> args) {
    if (args.empty() || args.front() == "help" || args.front() == "--help") {
        PrintArchiveUsage(args.empty() ? stderr : stdout);
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::string_view sub = args.front();
    try {
        if (sub == "tree") {
            return RunTree(args.subspan(1));
        }
        throw UsageError("unknown archive command '" + std::string(sub) + "'");
    } catch (const UsageError& error) {
        std::fprintf(stderr, "velmar-cli archive: %s (see velmar-cli archive help)\n", error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velmar-cli archive %.*s: %s\n", static_cast<int>(sub.size()), sub.data(),
                     error.what());
        return kExitFailure;
    }
}

}  // namespace velmar::cli
