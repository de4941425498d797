#pragma once
// The expert systems (diagnostic modules) an installation knows, the words it uses for plant levels and
// the equipment groups it offers.

#include <array>
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmar::common {

// Slots 0..127 of the program set of a node; slots 1..20 are the ones an installation can use.
using ProgramSet = std::bitset<128>;

inline constexpr int kExpertSystemSlots = 20;
inline constexpr int kRegisteredHandlerSlot = 12;

struct ExpertSystemEntry {
    std::string name;     // at most 60 characters
    std::string iniFile;  // relative to the INI directory, at most 255 characters
    std::string section;  // at most 12 characters
    int maxStantionLevel = 2;
    std::function<void()> handler;
};

// Loaded when the archive opens; lives until it closes.
class ExpertSystemRegistry {
public:
    // Reads Name<n>, Program<n>, Section<n> of MAIN.INI [Main] and each slot file's MaxStantionLevel.
    void Load(const std::filesystem::path& mainIni, const std::filesystem::path& iniDir);
    void RegisterHandler(int slot, std::function<void()> handler);

    bool ExpertSystemActive(int slot) const;
    const ExpertSystemEntry& Entry(int slot) const;  // slot 1..20
    ProgramSet ActiveSlots() const;
    // Full path of a slot's INI file; empty when the slot names none.
    std::filesystem::path SlotIniPath(int slot) const;
    const std::filesystem::path& IniDirectory() const { return iniDir_; }

private:
    std::array<ExpertSystemEntry, kExpertSystemSlots> entries_{};
    std::filesystem::path iniDir_;
};

// The registry every installation starts with: slot 12 has a handler that does nothing.
void RegisterBuiltInHandlers(ExpertSystemRegistry& registry);

// Grammatical cases of the level words.
enum WordCase { kNominative = 0, kGenitive, kDative, kAccusative, kInstrumental, kPrepositional };

// The configured word of plant level 2..7 in a case, from the slot file of the lowest slot in `programs`.
std::string LevelWord(const ExpertSystemRegistry& registry, const ProgramSet& programs, int level, int wordCase,
                      bool keepCase, bool plural);

// One "code,number,name" entry of a [Groups] section.
struct GroupEntry {
    std::string code;    // first field as written
    std::string middle;  // second field as written
    std::string name;    // everything after the second comma
};
std::optional<GroupEntry> ParseGroupEntry(std::string_view text);

// A group offered when a machine is created.
struct EquipmentGroup {
    std::string code;  // two letters and "_"
    std::string name;
    int slot = 0;
};
// Groups of every slot in `programs`, in slot order, at most 20 in all.
std::vector<EquipmentGroup> LoadEquipmentGroups(const ExpertSystemRegistry& registry, const ProgramSet& programs);

// A group as the archive root keeps it: the two-letter code and its flag bits.
struct RootGroup {
    std::string code;  // upper-cased, two characters
    int flags = 0;     // bit 0 disabled, bit 1 machines without passport
};
// At most 15 groups of one slot file.
std::vector<RootGroup> LoadRootGroups(const std::filesystem::path& slotIni);

// The first `count` characters of UTF-8 text.
std::string Utf8Prefix(std::string_view text, std::size_t count);

}  // namespace velmar::common
