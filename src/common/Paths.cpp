#include "common/Paths.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>

#include "common/Codepage.hpp"

namespace velmar::common {

namespace fs = std::filesystem;

namespace {

// Byte length of the UTF-8 character at the start of `text`; 1 for a byte that does not begin a well-formed
// sequence, so that any name, well-formed or not, splits into characters.
std::size_t CharacterLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

std::vector<std::string_view> SplitCharacters(std::string_view text) {
    std::vector<std::string_view> characters;
    characters.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = CharacterLength(text);
        characters.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return characters;
}

// Iterative wildcard matching over characters: on a mismatch go back to the last "*" and let it take one
// more character. Linear in practice and never exponential, whatever the pattern.
bool MatchCharacters(const std::vector<std::string_view>& name,
                     const std::vector<std::string_view>& pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == "*") {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == "?" || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == "*") {
        ++p;
    }
    return p == pattern.size();
}

struct NamedEntry {
    std::string key;  // upper-cased name
    std::string name;
    fs::path path;
};

bool ByKeyThenName(const NamedEntry& a, const NamedEntry& b) {
    return a.key != b.key ? a.key < b.key : a.name < b.name;
}

bool HasType(const fs::directory_entry& entry, EntryType type) {
    std::error_code ec;
    switch (type) {
        case EntryType::Any:
            return true;
        case EntryType::File:
            return entry.is_regular_file(ec);
        case EntryType::Directory:
            return entry.is_directory(ec);
    }
    return false;
}

}  // namespace

std::optional<fs::path> FindEntryNoCase(const fs::path& dir, std::string_view name) {
    if (!IsSafeChildName(name)) {
        return std::nullopt;
    }
    std::error_code ec;
    // The exact spelling is preferred anyway, and one lstat is far cheaper than reading a large directory.
    const fs::path exact = dir / fs::path(std::string(name));
    if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found && !ec) {
        return exact;
    }
    const std::string key = UpperCase(name);
    std::optional<NamedEntry> best;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entryName = it->path().filename().string();
        if (UpperCase(entryName) != key) {
            continue;
        }
        NamedEntry candidate{key, std::move(entryName), it->path()};
        if (!best || ByKeyThenName(candidate, *best)) {
            best = std::move(candidate);
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return best->path;
}

std::optional<fs::path> ResolvePathNoCase(const fs::path& base, std::string_view relative) {
    fs::path current = base;
    if (!relative.empty() && (relative.front() == '/' || relative.front() == '\\')) {
        current = "/";
    }
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find_first_of("/\\", start);
        if (end == std::string_view::npos) {
            end = relative.size();
        }
        const std::string_view component = relative.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".") {
            continue;
        }
        if (component == "..") {
            current /= "..";
            continue;
        }
        auto found = FindEntryNoCase(current, component);
        if (!found) {
            return std::nullopt;
        }
        current = std::move(*found);
    }
    std::error_code ec;
    if (!fs::exists(current, ec)) {
        return std::nullopt;
    }
    return current;
}

bool MatchesGlobNoCase(std::string_view name, std::string_view pattern) {
    if (!name.empty() && name.front() == '.' && (pattern.empty() || pattern.front() != '.')) {
        return false;
    }
    const std::string upperName = UpperCase(name);
    const std::string upperPattern = UpperCase(pattern);
    const auto nameCharacters = SplitCharacters(upperName);
    auto patternCharacters = SplitCharacters(upperPattern);
    if (MatchCharacters(nameCharacters, patternCharacters)) {
        return true;
    }
    // "X*.*" also means "X*": a name without a dot matches as if the trailing ".*" were not there.
    const std::size_t count = patternCharacters.size();
    if (count >= 2 && patternCharacters[count - 2] == "." && patternCharacters[count - 1] == "*" &&
        upperName.find('.') == std::string::npos) {
        patternCharacters.resize(count - 2);
        return MatchCharacters(nameCharacters, patternCharacters);
    }
    return false;
}

std::vector<fs::path> GlobNoCase(const fs::path& dir, std::string_view pattern, EntryType type) {
    std::vector<NamedEntry> matches;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!MatchesGlobNoCase(name, pattern) || !HasType(*it, type)) {
            continue;
        }
        std::string key = UpperCase(name);
        matches.push_back({std::move(key), std::move(name), it->path()});
    }
    std::sort(matches.begin(), matches.end(), ByKeyThenName);
    std::vector<fs::path> paths;
    paths.reserve(matches.size());
    for (auto& m : matches) {
        paths.push_back(std::move(m.path));
    }
    return paths;
}

std::string BackslashToSlash(std::string_view path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string FileTitle(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot != 0) {
        name = name.substr(0, dot);
    }
    return std::string(name);
}

bool IsReadOnly(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return false;
    }
    return (info.st_mode & S_IWUSR) == 0;
}

void SetReadOnly(const fs::path& path, bool readOnly) {
    if (readOnly) {
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    } else {
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    }
}

bool IsSafeChildName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace velmar::common
