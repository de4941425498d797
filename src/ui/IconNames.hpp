#pragma once
// Icon names of archive nodes: a key ("AGR", "NAPR_SIGN"), then "_G", "_Y", "_R" or "_B" for the colour
// state, then "_M" when the node is marked. The picture of a key is drawn once; the state colour and the
// mark are put on it by the icon store.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmar::archive {
class TDBLevel;
}

namespace velmar::ui {

enum class IconState { None, Green, Yellow, Red, Blue };

struct IconName {
    std::string key;
    IconState state = IconState::None;
    bool marked = false;
};

IconName ParseIconName(std::string_view name);

// The node's icon name as the browser looks it up: GetIconName cut to 20 characters.
inline constexpr std::size_t kBrowserIconNameLength = 20;
std::string BrowserIconName(const archive::TDBLevel& node);

// The browser's table of icon names: a name gets an index on first use. Once the table is full, every new
// name takes the last entry, so that a tree showing ever new names never grows the table; items drawn
// earlier keep the picture they were given.
class IconNameCache {
  public:
    static constexpr std::size_t kDefaultCapacity = 200;

    explicit IconNameCache(std::size_t capacity = kDefaultCapacity);

    std::optional<std::size_t> Find(std::string_view name) const;
    // The index of `name`, entering it when new; `added` tells whether it was entered now.
    std::size_t Enter(std::string_view name, bool* added = nullptr);

    std::size_t Size() const noexcept { return names_.size(); }
    std::size_t Capacity() const noexcept { return capacity_; }
    const std::string& NameAt(std::size_t index) const { return names_.at(index); }

  private:
    std::size_t capacity_;
    std::vector<std::string> names_;
};

}  // namespace velmar::ui
