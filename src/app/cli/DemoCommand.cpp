// velmar-cli demo-archive DIR [--seed N]: writes the demo archive into an empty or new directory.

#include <charconv>
#include <cstdio>
#include <exception>
#include <string>

#include "Commands.hpp"
#include "archive/DemoArchive.hpp"

namespace velmar::cli {

int RunDemoArchiveCommand(std::span<const std::string_view> args) {
    std::string dir;
    archive::DemoArchiveOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seed" && i + 1 < args.size()) {
            const std::string_view v = args[++i];
            auto res = std::from_chars(v.data(), v.data() + v.size(), options.seed);
            if (res.ec != std::errc() || res.ptr != v.data() + v.size()) {
                std::fprintf(stderr, "velmar-cli demo-archive: bad seed '%.*s'\n", static_cast<int>(v.size()),
                             v.data());
                return kExitUsage;
            }
        } else if (dir.empty() && !args[i].starts_with("--")) {
            dir = std::string(args[i]);
        } else {
            std::fputs("usage: velmar-cli demo-archive DIR [--seed N]\n", stderr);
            return kExitUsage;
        }
    }
    if (dir.empty()) {
        std::fputs("usage: velmar-cli demo-archive DIR [--seed N]\n", stderr);
        return kExitUsage;
    }
    try {
        archive::GenerateDemoArchive(dir, options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmar-cli demo-archive: %s\n", e.what());
        return kExitFailure;
    }
    std::printf("%s\n", dir.c_str());
    return kExitOk;
}

}  // namespace velmar::cli
