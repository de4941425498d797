#include "archive/FileDBLevel.hpp"

#include <system_error>

#include "common/Paths.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

bool TFileDBLevel::DeleteStorage() {
    const fs::path& path = GetPath();
    if (path.empty()) {
        return true;
    }
    if (IsReadOnly()) {
        return false;
    }
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        return true;
    }
    if (ec || status.type() == fs::file_type::directory) {
        return false;
    }
    // Unlinking ignores the file's mode; the read-only attribute is honoured here.
    if (status.type() != fs::file_type::symlink && common::IsReadOnly(path)) {
        return false;
    }
    fs::remove(path, ec);
    return !ec;
}

}  // namespace velmar::archive
