#pragma once
// The archive's dialogs and window commands answered by the program's windows: the station and machine
// dialogs, the name-set editor behind the machine dialog, and the commands that open a window of their own.
// Window commands and information windows are looked up by number, so that each window joins by registering
// itself; a command nobody has registered tells the user that it is not available.

#include <functional>
#include <map>
#include <optional>

#include "archive/ArchiveDialogs.hpp"

class QWidget;

namespace velmar::archive {
class TProgDBLevel;
}

namespace velmar::common {
class UiPort;
}

namespace velmar::ui {

class IconStore;

class QtArchiveDialogs final : public archive::IArchiveDialogs {
  public:
    using WindowCommand = std::function<archive::RefreshCode(archive::TDBLevel& node, int command)>;
    using InfoWindow = std::function<bool(archive::TDBLevel& node)>;

    QtArchiveDialogs(archive::TProgDBLevel& root, common::UiPort& ui, IconStore& icons, QWidget* parent);

    void SetParent(QWidget* parent) { parent_ = parent; }
    void SetHelpHandler(std::function<void()> help) { help_ = std::move(help); }

    void RegisterWindowCommand(int command, WindowCommand handler);
    void RegisterInfoWindow(int infoNumber, InfoWindow handler);
    bool HasWindowCommand(int command) const { return windowCommands_.count(command) != 0; }

    std::optional<archive::StationAnswers> AskNewStation(const archive::StationDialogRequest& request,
                                                         const archive::StationAnswers& offered) override;
    std::optional<archive::MachineAnswers> AskNewMachine(const archive::MachineDialogRequest& request,
                                                         const archive::MachineAnswers& offered) override;
    archive::RefreshCode RunWindowCommand(archive::TDBLevel& node, int command) override;
    bool ShowInfo(archive::TDBLevel& node, int infoNumber) override;

    // The name-set editor; the new set when it was written.
    std::optional<archive::NameSetChoice> EditNewNameSet();

  private:
    void NotAvailable();

    archive::TProgDBLevel& root_;
    common::UiPort& ui_;
    IconStore& icons_;
    QWidget* parent_;
    std::function<void()> help_;
    std::map<int, WindowCommand> windowCommands_;
    std::map<int, InfoWindow> infoWindows_;
};

}  // namespace velmar::ui
