#include "ui/FrameSettings.hpp"

#include "common/IniFile.hpp"

namespace velmar::ui {

namespace {

int ReadInt(const common::IniFile& ini, const char* section, const char* key, int def) {
    return static_cast<int>(ini.ReadInteger(section, key, def));
}

}  // namespace

FrameSettings ReadFrameSettings(const common::IniFile& mainIni) {
    FrameSettings settings;
    common::ViewSettings& view = settings.view;
    view.spectrViewMode = ReadInt(mainIni, "View", "SpectrViewMode", 1);
    view.spectrViewModeA = ReadInt(mainIni, "View", "SpectrViewModeA", view.spectrViewMode);
    view.spectrViewModeS = ReadInt(mainIni, "View", "SpectrViewModeS", view.spectrViewMode);
    view.velocityViewMode = ReadInt(mainIni, "View", "VelocityViewMode", 0);
    settings.sound.scale = ReadInt(mainIni, "Sound", "SoundScale", 3);
    settings.sound.loop = ReadInt(mainIni, "Sound", "SoundLoop", 0);
    settings.sound.volume = ReadInt(mainIni, "Sound", "SoundVolume", 2);
    settings.newestMeasurementsFirst = mainIni.ReadInteger("View", "NewMeasurementsFirst", 0) == 1;
    return settings;
}

void WriteSpectrumModes(common::IniFile& mainIni, const common::ViewSettings& view) {
    mainIni.WriteInteger("View", "SpectrViewMode", view.spectrViewMode);
    mainIni.WriteInteger("View", "SpectrViewModeA", view.spectrViewModeA);
    mainIni.WriteInteger("View", "SpectrViewModeS", view.spectrViewModeS);
}

void WriteNewestMeasurementsFirst(common::IniFile& mainIni, bool on) {
    mainIni.WriteInteger("View", "NewMeasurementsFirst", on ? 1 : 0);
}

}  // namespace velmar::ui
