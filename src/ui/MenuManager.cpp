#include "ui/MenuManager.hpp"

#include <algorithm>

#include "common/IniFile.hpp"
#include "ui/UiText.hpp"

namespace velmar::ui {

TMenuManager::TMenuManager() {
    enabled_.set();
}

void TMenuManager::ReadSwitches(const common::IniFile& mainIni) {
    enabled_.set();
    for (int command = 0; command < kCommandCount; ++command) {
        const std::string key = "Enabled" + std::to_string(command);
        enabled_[static_cast<std::size_t>(command)] = mainIni.ReadBool("ProgramFunctions", key, true);
    }
}

bool TMenuManager::IsCommandEnabled(int command) const {
    return command >= 0 && command < kCommandCount && enabled_.test(static_cast<std::size_t>(command));
}

void TMenuManager::SetCommandEnabled(int command, bool enabled) {
    if (command >= 0 && command < kCommandCount) {
        enabled_[static_cast<std::size_t>(command)] = enabled;
    }
}

void TMenuManager::SetCommand(ICommandItems& items, int command, const std::string& caption) const {
    if (IsCommandEnabled(command)) {
        items.ShowCommand(command, caption);
    }
}

void TMenuManager::SetDefaultCommand(ICommandItems& items, int command) const {
    if (IsCommandEnabled(command)) {
        items.MarkDefaultCommand(command);
    }
}

std::vector<archive::MenuCommand> TMenuManager::VisibleCommands(const archive::CommandMenu& menu) const {
    std::vector<archive::MenuCommand> visible;
    for (const archive::MenuCommand& entry : menu.Commands()) {
        if (IsCommandEnabled(entry.command)) {
            visible.push_back(entry);
        }
    }
    std::stable_sort(
        visible.begin(), visible.end(),
        [](const archive::MenuCommand& a, const archive::MenuCommand& b) { return a.command < b.command; });
    return visible;
}

const BrowserButtonInfo* ButtonOfCommand(int command) {
    for (const BrowserButtonInfo& info : kBrowserButtons) {
        if (command >= info.firstCommand && command <= info.lastCommand) {
            return &info;
        }
    }
    return nullptr;
}

std::array<ButtonPlan, kBrowserButtonCount> PlanBrowserButtons(
    const std::vector<archive::MenuCommand>& visible) {
    std::array<ButtonPlan, kBrowserButtonCount> plans;
    for (const archive::MenuCommand& entry : visible) {
        if (const BrowserButtonInfo* info = ButtonOfCommand(entry.command)) {
            plans[static_cast<std::size_t>(info->button)].items.push_back(entry);
        }
    }
    for (std::size_t i = 0; i < plans.size(); ++i) {
        ButtonPlan& plan = plans[i];
        plan.enabled = !plan.items.empty();
        plan.dropDown = plan.items.size() >= 2;
        if (plan.enabled) {
            plan.command = plan.items.front().command;
            plan.hint = plan.items.front().caption;
        } else {
            plan.hint = UiText(kBrowserButtons[i].hintId);
        }
    }
    return plans;
}

bool IsBrowserDeleteCommand(int command) {
    return (command >= 41 && command <= 51) || command == 54 || command == 218;
}

}  // namespace velmar::ui
