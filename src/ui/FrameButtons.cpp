#include "ui/FrameButtons.hpp"

#include "common/Vocabulary.hpp"

namespace velmar::ui {

using B = FrameButton;
using R = EnableRule;
using A = FrameAction;

const std::array<FrameButtonInfo, kFrameButtonCount> kFrameButtons = {{
    {B::Exit, "SpeedButtonExit", 1, true, 20, "", A::Exit, 0, false, R::Always, "TB_EXIT"},
    {B::Print, "SpeedButtonPrint", 1, true, 19, "", A::Print, 0, false, R::HasData, "TB_PRINT"},
    {B::Help, "SpeedButtonHelp", 1, true, 23, "", A::HelpContents, 0, false, R::Always, "TB_HELP"},
    {B::Search, "SpeedButtonSearch", 1, true, 24, "", A::HelpSearch, 0, false, R::Always, "TB_SEARCH"},
    {B::Tile, "SpeedButtonTile", 1, false, 25, "", A::Tile, 0, false, R::WindowActive, "TB_TILE"},
    {B::Cascade, "SpeedButtonCascade", 1, false, 26, "", A::Cascade, 0, false, R::WindowActive, "TB_CASCADE"},
    {B::CloseAll, "SpeedButtonCloseAll", 1, false, 28, " <F3>", A::CloseAll, 0, false, R::Always,
     "TB_CLOSEALL"},
    {B::ShowTree, "SpeedButtonShowTree", 1, false, 21012, " <F4>", A::ShowTree, 0, false, R::Always,
     "TB_TREE"},
    {B::ShowControl, "SpeedButtonShowControl", 1, false, 21013, " <F5>", A::ShowControl, 0, false,
     R::WindowActive, "TB_CONTROL"},
    {B::GarmDialog, "SpeedButtonGarmDialog", 1, false, 29, " <F6>", A::ShowHarmonics, 0, false,
     R::FrequencyKind, "TB_GARMLIST"},
    {B::Faza, "SpeedButtonFaza", 1, false, 53, "", A::None, 13, true, R::FrequencyKind, "TB_PHASE"},
    {B::LinkAll, "SpeedButtonLinkAll", 1, false, 31, "", A::LinkMode, 1, false, R::HasData, "TB_LINK"},
    {B::Sinhro, "SpeedButtonSinhro", 1, false, 32, "", A::LinkMode, 2, false, R::HasData, "TB_SYNCCURSOR"},
    {B::UnLink, "SpeedButtonUnLink", 1, false, 33, "", A::LinkMode, 0, false, R::HasData, "TB_UNLINK"},
    {B::SinhroWindows, "SpeedButtonSinhroWindows", 1, false, 34, "", A::SinhroWindows, 0, true, R::HasData,
     "TB_SYNCWINDOWS"},
    {B::Alone, "SpeedButtonAlone", 1, false, 45, "", A::None, 5, true, R::Decimated, "TB_ALONE"},
    {B::Avg, "SpeedButtonAvg", 1, false, 46, "", A::None, 6, true, R::Decimated, "TB_AVG"},
    {B::UpDown, "SpeedButtonUpDown", 1, false, 47, "", A::None, 7, true, R::Decimated, "TB_MINMAX"},
    {B::Home, "SpeedButtonHome", 2, false, 35, " <Home>", A::None, 21, false, R::HasData, "TB_HOME"},
    {B::PgUp, "SpeedButtonPgUp", 2, false, 36, " <PageUp>", A::None, 22, false, R::HasData, "TB_PGUP"},
    {B::Left, "SpeedButtonLeft", 2, false, 37, " <Left>", A::None, 23, false, R::HasData, "TB_LEFT"},
    {B::Right, "SpeedButtonRight", 2, false, 38, " <Right>", A::None, 24, false, R::HasData, "TB_RIGHT"},
    {B::PgDown, "SpeedButtonPgDown", 2, false, 39, " <PageDown>", A::None, 25, false, R::HasData,
     "TB_PGDOWN"},
    {B::End, "SpeedButtonEnd", 2, false, 40, " <End>", A::None, 26, false, R::HasData, "TB_END"},
    {B::ScaleXMore, "SpeedButtonScaleXMore", 2, false, 41, " <Gray+>", A::None, 1, false, R::HasData,
     "TB_XMORE"},
    {B::ScaleXLess, "SpeedButtonScaleXLess", 2, false, 42, " <Gray->", A::None, 2, false, R::HasData,
     "TB_XLESS"},
    {B::ScaleYMore, "SpeedButtonScaleYMore", 2, false, 43, " <Up>", A::None, 3, false, R::HasData,
     "TB_YMORE"},
    {B::ScaleYLess, "SpeedButtonScaleYLess", 2, false, 44, " <Down>", A::None, 4, false, R::HasData,
     "TB_YLESS"},
    {B::CenterMax, "SpeedButtonCenterMax", 2, false, 67, " <Gray*>", A::None, 27, false, R::HasData,
     "TB_MAX"},
    {B::GarmOn, "SpeedButtonGarmOn", 2, false, 48, " <Insert>", A::None, 8, true, R::FrequencyKind,
     "TB_HARMONICS"},
    {B::PowerOn, "SpeedButtonPowerOn", 2, false, 49, "", A::None, 9, true, R::HarmonicsKind, "TB_POWER"},
    {B::FillPower, "SpeedButtonFillPower", 2, false, 50, "", A::None, 10, true, R::HarmonicsKind,
     "TB_FILLPOWER"},
    {B::LogX, "SpeedButtonLogX", 2, false, 51, "", A::None, 11, true, R::FrequencyOrCepstrum, "TB_LOGX"},
    {B::LogY, "SpeedButtonLogY", 2, false, 52, "", A::None, 12, true, R::FrequencyCepstrumOrEnvelope,
     "TB_LOGY"},
    {B::PlaySound, "SpeedButtonPlaySound", 2, false, 61, "", A::PlaySound, 0, false, R::TimeKind, "TB_PLAY"},
    {B::StopSound, "SpeedButtonStopSound", 2, false, 63, "", A::StopSound, 0, false, R::TimeKind, "TB_STOP"},
}};

const FrameButtonInfo& InfoOf(FrameButton button) {
    return kFrameButtons[static_cast<std::size_t>(button)];
}

bool RuleAllows(EnableRule rule, const ActiveWindowState& state) {
    const bool data = state.signalWindowActive && state.hasData;
    const std::uint32_t kind = data ? state.kind : 0;
    switch (rule) {
        case R::Always:
            return true;
        case R::WindowActive:
            return state.signalWindowActive;
        case R::HasData:
            return data;
        case R::Decimated:
            return data && state.decimated;
        case R::FrequencyKind:
            return data && common::IsFrequencyDomain(kind);
        case R::HarmonicsKind:
            return data && kind == common::kKindHarmonics;
        case R::FrequencyOrCepstrum:
            return data && (common::IsFrequencyDomain(kind) || kind == common::kKindCepstrum);
        case R::FrequencyCepstrumOrEnvelope:
            return data && (common::IsFrequencyDomain(kind) || kind == common::kKindCepstrum ||
                            kind == common::kKindEnvelope);
        case R::TimeKind:
            return data && common::IsTimeDomain(kind);
    }
    return false;
}

FrameButtonSet EnabledButtons(const ActiveWindowState& state) {
    FrameButtonSet set;
    for (std::size_t i = 0; i < kFrameButtons.size(); ++i) {
        set[i] = RuleAllows(kFrameButtons[i].rule, state);
    }
    return set;
}

std::array<bool, 3> DisplayModeAfterClick(std::array<bool, 3> down, int clicked) {
    if (clicked >= 0 && clicked < 3 && !down[0] && !down[1] && !down[2]) {
        down[static_cast<std::size_t>(clicked)] = true;
    }
    return down;
}

MenuEnabling MenuItemsEnabled(const ActiveWindowState& state) {
    MenuEnabling menu;
    menu.print = state.signalWindowActive;
    menu.tile = state.signalWindowActive;
    menu.cascade = state.signalWindowActive;
    menu.control = RuleAllows(InfoOf(FrameButton::ShowControl).rule, state);
    menu.harmonics = RuleAllows(InfoOf(FrameButton::GarmDialog).rule, state);
    return menu;
}

}  // namespace velmar::ui
