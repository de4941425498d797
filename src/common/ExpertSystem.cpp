#include "common/ExpertSystem.hpp"

#include <algorithm>
#include <charconv>

#include "common/Codepage.hpp"
#include "common/IniFile.hpp"
#include "common/Paths.hpp"
#include "common/StringTable.hpp"

namespace velmar::common {
namespace {

struct WordDefault {
    const char* prefix;
    std::array<const char*, 6> words;
    std::array<int, 6> ids;
};

// Defaults when a slot file does not name the word. Level 2's nominative starts with a Latin "c" on purpose:
// it is what installations have always shown.
const WordDefault kWordDefaults[] = {
    {"Stan1", {"cтанция", "станции", "", "станцию", "", ""}, {308, 309, 0, 310, 0, 0}},
    {"Stan2", {"цех", "цеха", "", "цех", "", ""}, {311, 312, 0, 311, 0, 0}},
    {"Stan3", {"подразделение", "подразделения", "", "подразделение", "", ""}, {313, 314, 0, 313, 0, 0}},
    {"Stan4", {"участок", "участка", "", "участок", "", ""}, {0, 0, 0, 0, 0, 0}},
    {"Stan5", {"место", "места", "", "место", "", ""}, {0, 0, 0, 0, 0, 0}},
    {"Agr", {"агрегат", "агрегата", "агрегату", "агрегат", "", ""}, {315, 316, 317, 315, 0, 0}},
};
constexpr char kCaseLetters[] = "IRDVTP";

std::string TextOr(int id, const char* fallback) {
    if (id != 0) {
        std::string t = LoadText(id);
        if (!t.empty()) {
            return t;
        }
    }
    return fallback;
}

std::optional<long> ParseWholeInt(std::string_view s) {
    s = std::string_view(s.data(), s.size());
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    long v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size()) {
        return std::nullopt;
    }
    return v;
}

// Upper-cases the first character when it is a-z or the Cyrillic а-я (not ё).
std::string CapitaliseFirst(const std::string& word) {
    if (word.empty()) {
        return word;
    }
    const unsigned char c0 = static_cast<unsigned char>(word[0]);
    if (c0 >= 'a' && c0 <= 'z') {
        std::string out = word;
        out[0] = static_cast<char>(c0 - 'a' + 'A');
        return out;
    }
    // а..я are U+0430..U+044F: D0 B0..D0 BF and D1 80..D1 8F.
    if (word.size() >= 2) {
        const unsigned char c1 = static_cast<unsigned char>(word[1]);
        std::string out = word;
        if (c0 == 0xD0 && c1 >= 0xB0 && c1 <= 0xBF) {
            out[1] = static_cast<char>(c1 - 0x20);  // U+0410..U+041F
            return out;
        }
        if (c0 == 0xD1 && c1 >= 0x80 && c1 <= 0x8F) {
            out[0] = static_cast<char>(0xD0);
            out[1] = static_cast<char>(c1 + 0x20);  // U+0420..U+042F
            return out;
        }
    }
    return word;
}

}  // namespace

std::string Utf8Prefix(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    std::size_t chars = 0;
    while (i < text.size() && chars < count) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        i = std::min(text.size(), i + len);
        ++chars;
    }
    return std::string(text.substr(0, i));
}

void ExpertSystemRegistry::Load(const std::filesystem::path& mainIni, const std::filesystem::path& iniDir) {
    iniDir_ = iniDir;
    const IniFile ini(mainIni);
    for (int slot = 1; slot <= kExpertSystemSlots; ++slot) {
        ExpertSystemEntry& e = entries_[slot - 1];
        const std::string n = std::to_string(slot);
        e.name = Utf8Prefix(ini.ReadString("Main", "Name" + n, ""), 60);
        e.iniFile = Utf8Prefix(BackslashToSlash(ini.ReadString("Main", "Program" + n, "")), 255);
        e.section = Utf8Prefix(ini.ReadString("Main", "Section" + n, ""), 12);
        e.maxStantionLevel = 2;
        if (!e.iniFile.empty()) {
            const IniFile slotIni(SlotIniPath(slot));
            const long level = slotIni.ReadInteger("Main", "MaxStantionLevel", 1) + 1;
            e.maxStantionLevel = static_cast<int>(std::clamp(level, 2L, 6L));
        }
    }
}

void ExpertSystemRegistry::RegisterHandler(int slot, std::function<void()> handler) {
    if (slot >= 1 && slot <= kExpertSystemSlots) {
        entries_[slot - 1].handler = std::move(handler);
    }
}

bool ExpertSystemRegistry::ExpertSystemActive(int slot) const {
    if (slot < 1 || slot > kExpertSystemSlots) {
        return false;
    }
    const ExpertSystemEntry& e = entries_[slot - 1];
    return !e.iniFile.empty() && static_cast<bool>(e.handler);
}

const ExpertSystemEntry& ExpertSystemRegistry::Entry(int slot) const {
    static const ExpertSystemEntry kNone{};
    if (slot < 1 || slot > kExpertSystemSlots) {
        return kNone;
    }
    return entries_[slot - 1];
}

ProgramSet ExpertSystemRegistry::ActiveSlots() const {
    ProgramSet set;
    for (int slot = 1; slot <= kExpertSystemSlots; ++slot) {
        if (ExpertSystemActive(slot)) {
            set.set(slot);
        }
    }
    return set;
}

std::filesystem::path ExpertSystemRegistry::SlotIniPath(int slot) const {
    const ExpertSystemEntry& e = Entry(slot);
    if (e.iniFile.empty()) {
        return {};
    }
    // Installations write the file name in any case; find it as it is on disk.
    if (auto found = ResolvePathNoCase(iniDir_, e.iniFile)) {
        return *found;
    }
    return iniDir_ / e.iniFile;
}

void RegisterBuiltInHandlers(ExpertSystemRegistry& registry) {
    registry.RegisterHandler(kRegisteredHandlerSlot, [] {});
}

std::string LevelWord(const ExpertSystemRegistry& registry, const ProgramSet& programs, int level, int wordCase,
                      bool keepCase, bool plural) {
    if (level < 2 || level > 7 || wordCase < 0 || wordCase > 5) {
        return {};
    }
    int slot = 0;
    for (int s = 1; s <= kExpertSystemSlots; ++s) {
        if (programs.test(s)) {
            slot = s;
            break;
        }
    }
    const WordDefault& d = kWordDefaults[level - 2];
    std::string key;
    std::string fallback;
    if (level == 7 && plural) {
        key = "AgrTM";
        fallback = TextOr(318, "агрегатами");
    } else {
        key = std::string(d.prefix) + kCaseLetters[wordCase] + "E";
        fallback = TextOr(d.ids[wordCase], d.words[wordCase]);
    }
    // A missing slot file reads as empty, so the defaults apply.
    const std::filesystem::path path = slot != 0 ? registry.SlotIniPath(slot) : std::filesystem::path();
    std::string word = fallback;
    if (!path.empty()) {
        const IniFile ini(path);
        word = ini.ReadString("LevelNames", key, fallback);
    }
    return keepCase ? word : CapitaliseFirst(word);
}

std::optional<GroupEntry> ParseGroupEntry(std::string_view text) {
    const auto c1 = text.find(',');
    if (c1 == std::string_view::npos) {
        return std::nullopt;
    }
    const auto c2 = text.find(',', c1 + 1);
    if (c2 == std::string_view::npos) {
        return std::nullopt;
    }
    GroupEntry e;
    e.code = std::string(text.substr(0, c1));
    e.middle = std::string(text.substr(c1 + 1, c2 - c1 - 1));
    e.name = std::string(text.substr(c2 + 1));
    return e;
}

std::vector<EquipmentGroup> LoadEquipmentGroups(const ExpertSystemRegistry& registry, const ProgramSet& programs) {
    constexpr std::size_t kMaxGroups = 20;
    std::vector<EquipmentGroup> groups;
    for (int slot = 1; slot <= kExpertSystemSlots && groups.size() < kMaxGroups; ++slot) {
        if (!programs.test(slot)) {
            continue;
        }
        const std::filesystem::path path = registry.SlotIniPath(slot);
        if (path.empty()) {
            continue;
        }
        const IniFile ini(path);
        const long count = ini.ReadInteger("Groups", "KolGroup", 0);
        for (long i = 1; i <= count && groups.size() < kMaxGroups; ++i) {
            const std::string text = ini.ReadString("Groups", "Group" + std::to_string(i), "");
            if (text.empty()) {
                break;
            }
            auto entry = ParseGroupEntry(text);
            if (!entry) {
                continue;
            }
            auto middle = ParseWholeInt(entry->middle);
            if (!middle || *middle != 0) {
                continue;
            }
            groups.push_back({Utf8Prefix(entry->code + "_", 3), Utf8Prefix(entry->name, 21), slot});
        }
    }
    return groups;
}

std::vector<RootGroup> LoadRootGroups(const std::filesystem::path& slotIni) {
    constexpr long kMaxPerSlot = 15;
    std::vector<RootGroup> groups;
    const IniFile ini(slotIni);
    const long count = std::min(ini.ReadInteger("Groups", "KolGroup", 0), kMaxPerSlot);
    for (long i = 1; i <= count; ++i) {
        const std::string text = ini.ReadString("Groups", "Group" + std::to_string(i), "");
        auto entry = ParseGroupEntry(text);
        if (!entry) {
            continue;
        }
        RootGroup g;
        g.code = UpperCase(Utf8Prefix(entry->code, 2));
        // The flags are the digit just before the second comma.
        const std::string& m = entry->middle;
        if (!m.empty() && m.back() >= '0' && m.back() <= '9') {
            g.flags = m.back() - '0';
        }
        groups.push_back(std::move(g));
    }
    return groups;
}

}  // namespace velmar::common
