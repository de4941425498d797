#include "ui/IconNames.hpp"

#include <algorithm>

#include "archive/DBLevel.hpp"
#include "common/ExpertSystem.hpp"

namespace velmar::ui {

namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

IconName ParseIconName(std::string_view name) {
    IconName parsed;
    if (EndsWith(name, "_M")) {
        parsed.marked = true;
        name.remove_suffix(2);
    }
    struct Suffix {
        std::string_view text;
        IconState state;
    };
    static constexpr Suffix kSuffixes[] = {
        {"_G", IconState::Green}, {"_Y", IconState::Yellow}, {"_R", IconState::Red}, {"_B", IconState::Blue}};
    for (const Suffix& suffix : kSuffixes) {
        if (EndsWith(name, suffix.text)) {
            parsed.state = suffix.state;
            name.remove_suffix(2);
            break;
        }
    }
    parsed.key = std::string(name);
    return parsed;
}

std::string BrowserIconName(const archive::TDBLevel& node) {
    return common::Utf8Prefix(node.GetIconName(), kBrowserIconNameLength);
}

IconNameCache::IconNameCache(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

std::optional<std::size_t> IconNameCache::Find(std::string_view name) const {
    const auto it = std::find(names_.begin(), names_.end(), name);
    if (it == names_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - names_.begin());
}

std::size_t IconNameCache::Enter(std::string_view name, bool* added) {
    if (const std::optional<std::size_t> found = Find(name)) {
        if (added != nullptr) {
            *added = false;
        }
        return *found;
    }
    if (added != nullptr) {
        *added = true;
    }
    if (names_.size() < capacity_) {
        names_.emplace_back(name);
        return names_.size() - 1;
    }
    names_.back() = std::string(name);
    return names_.size() - 1;
}

}  // namespace velmar::ui
