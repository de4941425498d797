#include "ui/WindowPlacement.hpp"

#include <algorithm>
#include <climits>

#include "common/IniFile.hpp"

namespace velmar::ui {

namespace {

constexpr long kMissing = LONG_MIN;

}  // namespace

std::optional<WindowPlacement> ReadWindowPlacement(const common::IniFile& ini, std::string_view section) {
    const long left = ini.ReadInteger(section, "Left", kMissing);
    const long top = ini.ReadInteger(section, "Top", kMissing);
    const long width = ini.ReadInteger(section, "Width", kMissing);
    const long height = ini.ReadInteger(section, "Height", kMissing);
    if (left == kMissing || top == kMissing || width == kMissing || height == kMissing) {
        return std::nullopt;
    }
    const auto clampInt = [](long value) {
        return static_cast<int>(std::clamp<long>(value, -1'000'000, 1'000'000));
    };
    WindowPlacement placement;
    placement.normal = {clampInt(left), clampInt(top), clampInt(width), clampInt(height)};
    switch (ini.ReadInteger(section, "State", 0)) {
        case 1:
            placement.state = PlacementState::Maximized;
            break;
        case 2:
            placement.state = PlacementState::Minimized;
            break;
        default:
            placement.state = PlacementState::Normal;
            break;
    }
    return placement;
}

void WriteWindowPlacement(common::IniFile& ini, std::string_view section, const WindowPlacement& placement) {
    ini.WriteInteger(section, "Left", placement.normal.left);
    ini.WriteInteger(section, "Top", placement.normal.top);
    ini.WriteInteger(section, "Width", placement.normal.width);
    ini.WriteInteger(section, "Height", placement.normal.height);
    ini.WriteInteger(section, "State", static_cast<long>(placement.state));
}

WindowPlacement FitPlacement(WindowPlacement placement, const PlacementRect& available, int minWidth,
                             int minHeight) {
    if (placement.state == PlacementState::Minimized) {
        placement.state = PlacementState::Normal;
    }
    PlacementRect& r = placement.normal;
    const int areaWidth = std::max(available.width, 1);
    const int areaHeight = std::max(available.height, 1);
    r.width = std::min(std::max(r.width, minWidth), std::max(areaWidth, minWidth));
    r.height = std::min(std::max(r.height, minHeight), std::max(areaHeight, minHeight));
    const int maxLeft = available.left + std::max(areaWidth - r.width, 0);
    const int maxTop = available.top + std::max(areaHeight - r.height, 0);
    r.left = std::clamp(r.left, available.left, maxLeft);
    r.top = std::clamp(r.top, available.top, maxTop);
    return placement;
}

}  // namespace velmar::ui
