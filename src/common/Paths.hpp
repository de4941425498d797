#pragma once

// File names as an archive made on a case-insensitive file system expects them.
//
// Files and INI entries name things in any case ("UNIT_D.INF", "psp", "M*.*"); on disk the entry may be
// spelled otherwise. These helpers find the real entry and hand back its real path, so that the program
// keeps the on-disk spelling and uses upper case only to compare. Upper case covers ASCII and the Cyrillic
// letters of cp1251; names on disk are UTF-8.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmar::common {

// The entry of `dir` whose name equals `name` ignoring case. When several differ only in case the exact
// spelling wins, else the first in sorted order, so the choice never depends on the directory's order.
// Empty when there is none, when `dir` cannot be read, or when `name` is not a plain child name.
std::optional<std::filesystem::path> FindEntryNoCase(const std::filesystem::path& dir, std::string_view name);

// Resolves `relative` ("/" or "\" between components) under `base`, each component ignoring case; "." and
// ".." keep their meaning, empty components are skipped, and a leading separator starts from "/". Empty when
// some component does not exist.
std::optional<std::filesystem::path> ResolvePathNoCase(const std::filesystem::path& base,
                                                       std::string_view relative);

// "*" (any run of characters) and "?" (one character) ignoring case. As on the file systems these archives
// come from, a pattern ending in ".*" also matches names without a dot ("M*.*" matches "M1970101"). A name
// starting with "." only matches a pattern starting with ".": our temporary files start with one and must
// stay out of every scan.
bool MatchesGlobNoCase(std::string_view name, std::string_view pattern);

enum class EntryType { Any, File, Directory };

// Paths of the entries of `dir` that match `pattern` (MatchesGlobNoCase) and are of `type` (symbolic links
// count as what they point to), sorted by upper-cased name, then by name. Empty when `dir` cannot be read.
std::vector<std::filesystem::path> GlobNoCase(const std::filesystem::path& dir, std::string_view pattern,
                                              EntryType type = EntryType::Any);

std::string BackslashToSlash(std::string_view path);

// The file name without directories (either separator) and without its extension; a name whose only dot
// is its first character has no extension (".ini" stays ".ini").
std::string FileTitle(std::string_view path);

// The read-only attribute is the owner-write permission bit. Root may write anyway, so callers that must
// refuse writes check this themselves. False for a path that cannot be examined.
bool IsReadOnly(const std::filesystem::path& path);

// Read-only clears every write bit; writable sets the owner's. Throws std::filesystem::filesystem_error.
void SetReadOnly(const std::filesystem::path& path, bool readOnly);

// False for "", ".", "..", and names holding "/", "\" or a NUL: a name that must not leave its directory.
bool IsSafeChildName(std::string_view name);

}  // namespace velmar::common
