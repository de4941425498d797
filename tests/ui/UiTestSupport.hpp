#pragma once
// What the window tests share: a copy of the demo archive with the shipped INI files in a temporary base
// directory, a user whose answers are scripted, and a way to act on a modal dialog once it is up.

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>

#include "TestSupport.hpp"
#include "archive/DBLevel.hpp"
#include "archive/DemoArchive.hpp"
#include "common/IniFile.hpp"
#include "common/ProgramContext.hpp"
#include "common/UiPort.hpp"

namespace velmar::ui::test {

namespace fs = std::filesystem;

// The demo archive, generated once for the whole run of the window tests; every test copies it.
inline const fs::path& DemoArchiveTemplate() {
    static velmar::test::TempDir dir;
    static const fs::path archive = [] {
        const fs::path path = dir / "Archive";
        archive::GenerateDemoArchive(path, archive::DemoArchiveOptions{});
        return path;
    }();
    return archive;
}

// A base directory with INI/ seeded from the shipped files and Archive/ a copy of the demo archive.
class TestHome {
  public:
    TestHome() {
        common::SeedBaseDirectory(Base(), fs::path(VELMAR_SOURCE_DIR) / "resources");
        fs::copy(DemoArchiveTemplate(), Archive(), fs::copy_options::recursive);
    }

    fs::path Base() const { return dir_.path(); }
    fs::path Archive() const { return dir_ / "Archive"; }
    fs::path MainIni() const { return dir_ / "INI" / "MAIN.INI"; }
    fs::path IniDir() const { return dir_ / "INI"; }

    void EditMainIni(const std::function<void(common::IniFile&)>& change) const {
        common::IniFile ini(MainIni());
        change(ini);
        ini.UpdateFile();
    }

  private:
    velmar::test::TempDir dir_;
};

struct RecordedMessage {
    std::string text;
    common::DialogType type;
    unsigned buttons;
};

// Answers from scripts; records every question.
class ScriptedUi final : public common::UiPort {
  public:
    std::deque<int> answers;  // for MessageDialog; empty: `defaultAnswer`
    int defaultAnswer = common::kResultYes;
    std::deque<std::optional<std::string>> edits;  // for EditText; empty or nullopt: cancel
    std::vector<RecordedMessage> messages;
    std::vector<std::string> editPrompts;

    int MessageDialog(const std::string& text, common::DialogType type, unsigned buttons) override {
        messages.push_back({text, type, buttons});
        if (answers.empty()) {
            return defaultAnswer;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool EditText(const std::string&, const std::string& prompt, std::string& text) override {
        editPrompts.push_back(prompt);
        if (edits.empty() || !edits.front()) {
            if (!edits.empty()) {
                edits.pop_front();
            }
            return false;
        }
        text = *edits.front();
        edits.pop_front();
        return true;
    }
    int ChooseFromList(const std::string&, const std::vector<std::string>&) override { return -1; }
    bool Progress(const std::string&, double) override { return true; }

    bool Said(const std::string& text) const {
        for (const RecordedMessage& message : messages) {
            if (message.text == text) {
                return true;
            }
        }
        return false;
    }
};

// Runs `act` on the first modal dialog of type T that comes up within a few seconds (the caller then
// starts what opens it). `done` tells whether it ran.
template <typename T>
std::shared_ptr<bool> WhenModal(std::function<void(T&)> act) {
    auto done = std::make_shared<bool>(false);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, done, clock, poll] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            *done = true;
            act(*dialog);
            *poll = nullptr;
            return;
        }
        if (clock->elapsed() > 10000) {
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, [poll] {
            if (*poll) {
                (*poll)();
            }
        });
    };
    QTimer::singleShot(0, [poll] {
        if (*poll) {
            (*poll)();
        }
    });
    return done;
}

// Processes events until `ready` holds or the time is up.
inline bool SpinUntil(const std::function<bool()>& ready, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The shown child of `node` whose name is `name` (children read as needed).
inline archive::TDBLevel* ChildNamed(archive::TDBLevel& node, const std::string& name) {
    for (archive::TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
        if (child->GetName() == name) {
            return child;
        }
    }
    return nullptr;
}

inline archive::TDBLevel* FirstChildAtLevel(archive::TDBLevel& node, int level) {
    for (archive::TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
        if (child->GetLevelNumber() == level && (child->GetFlags() & archive::kFlagShownInTree) != 0) {
            return child;
        }
    }
    return nullptr;
}

inline archive::TDBLevel* LastChildAtLevel(archive::TDBLevel& node, int level) {
    archive::TDBLevel* last = nullptr;
    for (archive::TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
        if (child->GetLevelNumber() == level && (child->GetFlags() & archive::kFlagShownInTree) != 0) {
            last = child;
        }
    }
    return last;
}

}  // namespace velmar::ui::test
