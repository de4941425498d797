#pragma once
// Where a window stood when it was last closed, kept in an INI file (one section per window) so that it
// comes back in the same place. No widgets here: the windows turn it into geometry.

#include <optional>
#include <string_view>

namespace velmar::common {
class IniFile;
}

namespace velmar::ui {

enum class PlacementState { Normal = 0, Maximized = 1, Minimized = 2 };

struct PlacementRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct WindowPlacement {
    PlacementRect normal;  // the window's frame when it is neither maximised nor minimised
    PlacementState state = PlacementState::Normal;
};

// Keys Left, Top, Width, Height, State of the section; none when the section lacks one of the four sizes or
// a size is not a whole number. An unknown state reads as normal.
std::optional<WindowPlacement> ReadWindowPlacement(const common::IniFile& ini, std::string_view section);
void WriteWindowPlacement(common::IniFile& ini, std::string_view section, const WindowPlacement& placement);

// The placement made fit for a screen whose free area is `available`: at least the minimum size, at most
// the area, moved inside it; a window that was minimised comes back normal, because a program that starts
// as an icon looks as if it had not started.
WindowPlacement FitPlacement(WindowPlacement placement, const PlacementRect& available, int minWidth,
                             int minHeight);

}  // namespace velmar::ui
