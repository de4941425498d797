#include "archive/PathDBLevel.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <system_error>
#include <unordered_set>

#include "common/Codepage.hpp"
#include "common/DayCount.hpp"
#include "common/Paths.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxUniqueDirNumber = 998;
// Far beyond what a directory ever holds; a bound so that an unreadable directory cannot loop for long.
constexpr int kMaxFileSequence = 99999;

// The names in `dir` under the key FindEntryNoCase compares with, read in one pass: free-name searches try
// up to a thousand candidates, and a directory scan per candidate would make them quadratic.
class EntryKeys {
  public:
    explicit EntryKeys(const fs::path& dir) {
        std::error_code ec;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            keys_.insert(common::UpperCase(it->path().filename().string()));
        }
    }
    bool Contains(std::string_view name) const { return keys_.count(common::UpperCase(name)) != 0; }

  private:
    std::unordered_set<std::string> keys_;
};

// `inner` lies below `outer` (not equal to it), after resolving what can be resolved.
bool LiesStrictlyInside(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(inner, ec);
    if (ec) {
        return false;
    }
    const fs::path b = fs::weakly_canonical(outer, ec);
    if (ec) {
        return false;
    }
    const fs::path relative = a.lexically_relative(b);
    return !relative.empty() && relative != "." && *relative.begin() != "..";
}

}  // namespace

std::string PathKey(const fs::path& path) {
    std::string text = path.lexically_normal().generic_string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return common::UpperCase(text);
}

TPathDBLevel::TPathDBLevel(ArchiveContext& context, TDBLevel* parent, fs::path path, std::string_view name)
    : TNamedDBLevel(context, parent, name), path_(std::move(path)) {}

bool TPathDBLevel::ShowInfo(int infoNumber) {
    if (infoNumber == 2) {
        return ShowExpertSystemInfo();
    }
    return TNamedDBLevel::ShowInfo(infoNumber);
}

bool TPathDBLevel::ShowExpertSystemInfo() {
    return true;
}

bool TPathDBLevel::DiffersFrom(const TDBLevel& other) const {
    if (!TNamedDBLevel::DiffersFrom(other)) {
        return false;
    }
    const auto* otherPath = dynamic_cast<const TPathDBLevel*>(&other);
    if (otherPath != nullptr && !path_.empty() && !otherPath->path_.empty() &&
        PathKey(path_) == PathKey(otherPath->path_)) {
        return false;
    }
    return true;
}

Clash TPathDBLevel::FindNameOrPathClash(const TDBLevel* skip, std::string_view name, const fs::path& path) {
    EnsureChildren();
    const std::string pathKey = path.empty() ? std::string() : PathKey(path);
    for (int i = 0; i < ChildCount(); ++i) {
        const TDBLevel* child = ChildAt(i);
        if (child == nullptr || child == skip) {
            continue;
        }
        if (!name.empty() && common::EqualsNoCase(name, child->GetName())) {
            return Clash::NameExists;
        }
        if (!pathKey.empty()) {
            const auto* pathChild = dynamic_cast<const TPathDBLevel*>(child);
            if (pathChild != nullptr && !pathChild->path_.empty() && PathKey(pathChild->path_) == pathKey) {
                return Clash::PathExists;
            }
        }
    }
    return Clash::None;
}

std::string TPathDBLevel::MakeUniqueDirName(std::string_view prefix) {
    const EntryKeys taken(path_);
    for (int i = 1; i <= kMaxUniqueDirNumber; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", i);
        std::string candidate = std::string(prefix) + number;
        if (!taken.Contains(candidate)) {
            return candidate;
        }
    }
    return "_001";
}

fs::path TPathDBLevel::MakeMeasurementFileName(char kindLetter, double moment) {
    const common::CivilTime t = common::DecodeDayCount(moment);
    char stem[16];
    std::snprintf(stem, sizeof stem, "%c%c%02d%02d%02d.", kindLetter, t.year >= 2000 ? '3' : '2',
                  t.year % 100, t.month, t.day);
    const EntryKeys taken(path_);
    for (int n = 1; n <= kMaxFileSequence; ++n) {
        char number[8];
        std::snprintf(number, sizeof number, n <= 999 ? "%03d" : "%d", n);
        const std::string name = std::string(stem) + number;
        if (!common::IsSafeChildName(name)) {
            return {};
        }
        if (!taken.Contains(name)) {
            return path_ / name;
        }
    }
    return {};
}

fs::path TPathDBLevel::MakeMeasurementFileName(char kindLetter) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const double moment = common::EncodeDayCount(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                                 local.tm_hour, local.tm_min, std::min(local.tm_sec, 59));
    return MakeMeasurementFileName(kindLetter, moment);
}

void TPathDBLevel::BeforeRename(std::string_view) {}

DeleteResult TPathDBLevel::DeleteChildByPath(const fs::path& path, int levelKind) {
    TPathDBLevel* child = FindChildByPath(path, levelKind);
    if (child == nullptr) {
        return DeleteResult::NotFound;
    }
    return ConfirmDeleteChild(*child);
}

TPathDBLevel* TPathDBLevel::FindChildByPath(const fs::path& path, int levelKind) {
    EnsureChildren();
    TPathDBLevel* sameIgnoringCase = nullptr;
    const std::string key = PathKey(path);
    for (int i = 0; i < ChildCount(); ++i) {
        auto* child = dynamic_cast<TPathDBLevel*>(ChildAt(i));
        if (child == nullptr || child->GetLevelKind() != levelKind) {
            continue;
        }
        if (child->path_ == path) {
            return child;
        }
        if (sameIgnoringCase == nullptr && PathKey(child->path_) == key) {
            sameIgnoringCase = child;
        }
    }
    return sameIgnoringCase;
}

bool TPathDBLevel::FileExistsHere(std::string_view fileName) const {
    std::error_code ec;
    const fs::path dir = fs::is_directory(path_, ec) ? path_ : path_.parent_path();
    const auto found = common::FindEntryNoCase(dir, fileName);
    return found.has_value() && fs::is_regular_file(*found, ec);
}

bool TPathDBLevel::DeleteDirectoryTree() {
    if (path_.empty() || readOnly_) {
        return false;
    }
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path_, ec);
    if (status.type() == fs::file_type::not_found) {
        return true;
    }
    if (ec || status.type() != fs::file_type::directory) {
        return false;
    }
    // The archive root is the path of the topmost path node; a directory elsewhere is never removed.
    const TPathDBLevel* top = nullptr;
    for (TDBLevel* node = Parent(); node != nullptr; node = node->Parent()) {
        if (const auto* pathNode = dynamic_cast<const TPathDBLevel*>(node);
            pathNode && !pathNode->path_.empty()) {
            top = pathNode;
        }
    }
    if (top == nullptr || !LiesStrictlyInside(path_, top->path_)) {
        return false;
    }
    // Read-only anywhere in the tree keeps the whole tree: half a machine is worse than none deleted.
    if (common::IsReadOnly(path_)) {
        return false;
    }
    for (fs::recursive_directory_iterator it(path_, fs::directory_options::none, ec), end; it != end;
         it.increment(ec)) {
        if (ec) {
            return false;
        }
        const fs::file_status entry = it->symlink_status(ec);
        if (ec) {
            return false;
        }
        if (entry.type() != fs::file_type::symlink && common::IsReadOnly(it->path())) {
            return false;
        }
    }
    if (ec) {
        return false;
    }
    fs::remove_all(path_, ec);
    return !ec;
}

}  // namespace velmar::archive
