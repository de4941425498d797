#pragma once

// Whole-file writes that never leave a half-written file behind: the bytes go to a temporary file in the same
// directory, are flushed to disk, and only then take the file's name. A crash or a full disk leaves either
// the old file or the new one, never a mix. The temporary name starts with "." so no archive scan picks it
// up.

#include <filesystem>
#include <string>
#include <string_view>

namespace velmar::common {

// Writes `bytes` as the whole content of `path`, replacing the file if it exists. A replaced file keeps its
// permission bits (and its owner when running as root); a symbolic link is followed and its target replaced,
// so the link survives. A file whose owner-write bit is clear counts as read-only and is not replaced
// (errc::permission_denied), even for root.
// Throws std::system_error naming the path on failure; the original file and the directory are then as
// before.
void ReplaceFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Writes `bytes` as a new file `path`. Never replaces anything: when the name is taken (by a file, a
// directory or a link) it throws std::system_error with errc::file_exists and leaves everything as it was.
// Other failures throw std::system_error naming the path. No temporary file is left behind in either case.
void WriteNewFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Reads the whole file. Throws std::system_error naming the path when it cannot be opened or read.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace velmar::common
