#pragma once
// A complete demo archive: a small plant with two stations, six machines of three types and a year of
// monthly measurements that tell the stories vibration engineers look for.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace velmar::archive {

struct DemoArchiveOptions {
    std::uint64_t seed = 1;
    // Measurements are taken monthly for the twelve months ending with this one.
    int lastYear = 2026;
    int lastMonth = 12;
    // The section and slot the archive's INF files are enabled for (MAIN.INI SectionN of the active slot).
    std::string slotSection = "Arch12";
};

// Called with a fraction in [0, 1]; returning false stops the generation (what was written stays valid).
using DemoProgress = std::function<bool(double)>;

// Writes the archive into `root`, which must be empty or absent. Every file is created without replacing
// anything. Throws std::runtime_error (or std::system_error) when it cannot.
void GenerateDemoArchive(const std::filesystem::path& root, const DemoArchiveOptions& options,
                         const DemoProgress& progress = {});

}  // namespace velmar::archive
