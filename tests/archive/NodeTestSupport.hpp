#pragma once
// Stand-ins for the user, the windows and the node kinds, for the tests of the node framework.

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/ArchiveContext.hpp"
#include "archive/DBLevel.hpp"
#include "archive/DateTimeDBLevel.hpp"
#include "archive/FileDBLevel.hpp"
#include "archive/NamedDBLevel.hpp"
#include "archive/NodeView.hpp"
#include "archive/PathDBLevel.hpp"
#include "common/UiPort.hpp"

namespace velmar::archive::test {

// Answers the core's questions from scripts and records what it was asked. An exhausted script answers
// "cancel" / "no", so a loop that keeps asking ends.
class ScriptedUi : public common::UiPort {
  public:
    struct Message {
        std::string text;
        common::DialogType type;
        unsigned buttons;
    };

    std::deque<std::optional<std::string>> editReplies;  // nullopt: the user cancels
    std::deque<int> messageReplies;
    std::deque<bool> progressReplies;  // exhausted: go on

    std::vector<Message> messages;
    std::vector<std::string> editPrompts;
    std::vector<std::string> editOffered;  // the text each edit started with
    int progressCalls = 0;

    int MessageDialog(const std::string& text, common::DialogType type, unsigned buttons) override {
        messages.push_back(Message{text, type, buttons});
        if (messageReplies.empty()) {
            return (buttons & common::kButtonNo) != 0 ? common::kResultNo : common::kResultOk;
        }
        const int reply = messageReplies.front();
        messageReplies.pop_front();
        return reply;
    }

    bool EditText(const std::string&, const std::string& prompt, std::string& text) override {
        editPrompts.push_back(prompt);
        editOffered.push_back(text);
        if (editReplies.empty()) {
            return false;
        }
        std::optional<std::string> reply = std::move(editReplies.front());
        editReplies.pop_front();
        if (!reply) {
            return false;
        }
        text = *reply;
        return true;
    }

    int ChooseFromList(const std::string&, const std::vector<std::string>&) override { return -1; }

    bool Progress(const std::string&, double) override {
        ++progressCalls;
        if (progressReplies.empty()) {
            return true;
        }
        const bool reply = progressReplies.front();
        progressReplies.pop_front();
        return reply;
    }
};

// One line of a shared log of notifications: who was told what, about which node.
struct Told {
    std::string who;
    const TDBLevel* node;
    NodeEvent event;
    std::string text;
    std::string nodeName;  // the node's name as the listener saw it

    friend bool operator==(const Told& a, const Told& b) {
        return a.who == b.who && a.node == b.node && a.event == b.event && a.text == b.text;
    }
};

class RecordingView : public INodeView {
  public:
    RecordingView(std::string name, std::vector<Told>& log, bool signalWindow = true)
        : name_(std::move(name)), log_(log), signalWindow_(signalWindow) {}

    // Runs inside OnNodeEvent after the event is logged.
    std::function<void(TDBLevel&, NodeEvent)> onEvent;

    bool IsSignalWindow() const override { return signalWindow_; }
    void OnNodeEvent(TDBLevel& node, NodeEvent event, std::string_view text) override {
        log_.push_back(Told{name_, &node, event, std::string(text), node.GetName()});
        if (onEvent) {
            onEvent(node, event);
        }
    }

  private:
    std::string name_;
    std::vector<Told>& log_;
    bool signalWindow_;
};

class RecordingSink : public INodeEventSink {
  public:
    explicit RecordingSink(std::vector<Told>& log) : log_(log) {}
    bool fail = false;
    void OnNodeEvent(TDBLevel& node, NodeEvent event, std::string_view text) override {
        log_.push_back(Told{"browser", &node, event, std::string(text), node.GetName()});
        if (fail) {
            throw std::runtime_error("browser failure");
        }
    }

  private:
    std::vector<Told>& log_;
};

// A node of any level and kind, with no name (derived data, or a stand-in for a concrete kind).
class PlainNode : public TDBLevel {
  public:
    PlainNode(ArchiveContext& context, TDBLevel* parent, int levelNumber = kLevelDerived, int levelKind = 0)
        : TDBLevel(context, parent) {
        SetLevel(levelNumber, levelKind);
    }

    // Lets a test give the node a buffer the way a kind loading from a file would.
    std::span<double> Replace(std::size_t elements) { return ReplaceBuffer(elements); }
};

// A named node of any level and kind whose name storage, creation of children and prompts are scripted.
class NamedNode : public TNamedDBLevel {
  public:
    NamedNode(ArchiveContext& context, TDBLevel* parent, std::string_view name, int levelNumber,
              int levelKind = 0)
        : TNamedDBLevel(context, parent, name) {
        SetLevel(levelNumber, levelKind);
    }

    bool storeSucceeds = true;
    std::vector<std::string> stored;
    std::vector<int> createdLevels;
    CreateResult createResult = CreateResult::Created;
    std::vector<int> infoShown;
    int loadCount = 0;
    std::function<void(NamedNode&)> onLoad;  // adds children when the node loads them
    int* storageDeletions = nullptr;         // counts DeleteStorage calls when set

    bool StoreName(const std::string& name) override {
        stored.push_back(name);
        return storeSucceeds;
    }
    CreateResult CreateChild(int levelNumber) override {
        createdLevels.push_back(levelNumber);
        return createResult;
    }
    bool ShowInfo(int infoNumber) override {
        infoShown.push_back(infoNumber);
        return true;
    }
    std::string GetPromptText(int prompt) const override {
        return prompt == kPromptRename ? "Имя" : prompt == kPromptDelete ? "Удалить " + GetName() + " ?" : "";
    }
    void LoadChildren() override {
        TNamedDBLevel::LoadChildren();
        ++loadCount;
        if (onLoad) {
            onLoad(*this);
        }
    }
    bool DeleteStorage() override {
        if (storageDeletions != nullptr) {
            ++*storageDeletions;
        }
        return true;
    }
};

class DatedNode : public TDateTimeDBLevel {
  public:
    DatedNode(ArchiveContext& context, TDBLevel* parent, std::string_view name, double dayCount,
              std::filesystem::path path = {})
        : TDateTimeDBLevel(context, parent, std::move(path), name) {
        SetLevel(kLevelMeasurement, 0);
        SetDateTime(dayCount);
    }
    std::string GetPromptText(int prompt) const override {
        return prompt == kPromptDelete ? "Удалить замер ?" : "";
    }
};

// A directory node (root, station, machine) whose storage is its directory tree.
class DirNode : public TPathDBLevel {
  public:
    DirNode(ArchiveContext& context, TDBLevel* parent, std::filesystem::path path, std::string_view name,
            int levelNumber, int levelKind = 0)
        : TPathDBLevel(context, parent, std::move(path), name) {
        SetLevel(levelNumber, levelKind);
    }
    bool DeleteStorage() override { return DeleteDirectoryTree(); }
    std::string GetPromptText(int prompt) const override {
        return prompt == kPromptDelete ? "Удалить " + GetName() : "";
    }
};

class FileNode : public TFileDBLevel {
  public:
    FileNode(ArchiveContext& context, TDBLevel* parent, std::filesystem::path path, std::string_view name,
             int levelNumber = kLevelMeasurement, int levelKind = 0)
        : TFileDBLevel(context, parent, std::move(path), name) {
        SetLevel(levelNumber, levelKind);
    }
};

// Adds a node to a parent and hands back a plain pointer to it.
template <typename T, typename... Args>
T* Add(TDBLevel& parent, Args&&... args) {
    NodePtrOf<T> node = MakeNode<T>(parent.Context(), &parent, std::forward<Args>(args)...);
    T* raw = node.get();
    if (parent.AddChild(std::move(node)) < 0) {
        return nullptr;
    }
    return raw;
}

inline std::vector<std::string> ChildNames(const TDBLevel& node) {
    std::vector<std::string> names;
    for (int i = 0; i < node.ChildCount(); ++i) {
        names.push_back(node.ChildAt(i)->GetName());
    }
    return names;
}

}  // namespace velmar::archive::test
