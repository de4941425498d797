#include "ui/QtArchiveDialogs.hpp"

#include "archive/NameSetDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/UiPort.hpp"
#include "ui/NameSetupDlg.hpp"
#include "ui/NewAgregatDlg.hpp"
#include "ui/NewStantionDlg.hpp"
#include "ui/UiText.hpp"

namespace velmar::ui {

QtArchiveDialogs::QtArchiveDialogs(archive::TProgDBLevel& root, common::UiPort& ui, IconStore& icons,
                                   QWidget* parent)
    : root_(root), ui_(ui), icons_(icons), parent_(parent) {}

void QtArchiveDialogs::RegisterWindowCommand(int command, WindowCommand handler) {
    windowCommands_[command] = std::move(handler);
}

void QtArchiveDialogs::RegisterInfoWindow(int infoNumber, InfoWindow handler) {
    infoWindows_[infoNumber] = std::move(handler);
}

std::optional<archive::StationAnswers> QtArchiveDialogs::AskNewStation(
    const archive::StationDialogRequest& request, const archive::StationAnswers& offered) {
    TNewStantionDlg dialog(request, offered, parent_);
    dialog.SetHelpHandler(help_);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Answers();
}

std::optional<archive::MachineAnswers> QtArchiveDialogs::AskNewMachine(
    const archive::MachineDialogRequest& request, const archive::MachineAnswers& offered) {
    TNewAgregatDlg dialog(
        request, offered, icons_, [this] { return EditNewNameSet(); }, parent_);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Answers();
}

std::optional<archive::NameSetChoice> QtArchiveDialogs::EditNewNameSet() {
    TNameSetupDlg dialog(root_, ui_, parent_);
    if (dialog.exec() != QDialog::Accepted || dialog.Written() == nullptr) {
        return std::nullopt;
    }
    const archive::TNameSetDBLevel* set = dialog.Written();
    return archive::NameSetChoice{set->GetPath().filename().string(), set->GetName()};
}

archive::RefreshCode QtArchiveDialogs::RunWindowCommand(archive::TDBLevel& node, int command) {
    const auto it = windowCommands_.find(command);
    if (it == windowCommands_.end()) {
        NotAvailable();
        return archive::RefreshCode::None;
    }
    return it->second(node, command);
}

bool QtArchiveDialogs::ShowInfo(archive::TDBLevel& node, int infoNumber) {
    const auto it = infoWindows_.find(infoNumber);
    if (it == infoWindows_.end()) {
        NotAvailable();
        return true;
    }
    return it->second(node);
}

void QtArchiveDialogs::NotAvailable() {
    ui_.MessageDialog(UiText(text::kNotAvailable), common::DialogType::Information, common::kButtonOk);
}

}  // namespace velmar::ui
