#pragma once
// The program-wide view and sound settings the main window reads from MAIN.INI at start and keeps for
// everybody, and the writes of the few of them the user changes from the main window.

#include "common/Vocabulary.hpp"

namespace velmar::common {
class IniFile;
}

namespace velmar::ui {

struct SoundSettings {
    int scale = 3;
    int loop = 0;
    int volume = 2;
};

struct FrameSettings {
    common::ViewSettings view;
    SoundSettings sound;
    // Measurements are listed newest first in the browser.
    bool newestMeasurementsFirst = false;
};

// View: SpectrViewMode (1), SpectrViewModeA and SpectrViewModeS (the value read for SpectrViewMode),
// VelocityViewMode (0), NewMeasurementsFirst (on exactly when 1); Sound: SoundScale (3), SoundLoop (0),
// SoundVolume (2).
FrameSettings ReadFrameSettings(const common::IniFile& mainIni);

// The three spectral amplitude modes, into View.
void WriteSpectrumModes(common::IniFile& mainIni, const common::ViewSettings& view);
void WriteNewestMeasurementsFirst(common::IniFile& mainIni, bool on);

}  // namespace velmar::ui
