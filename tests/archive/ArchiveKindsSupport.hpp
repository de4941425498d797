#pragma once
// The fixture archive (tests/fixtures/archive, laid out by tools/fixtures/make_archive_fixtures.py) in a
// temporary directory, scripted dialogs, and small walks over the tree.

#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "NodeTestSupport.hpp"
#include "TestSupport.hpp"
#include "archive/ArchiveDialogs.hpp"
#include "archive/ArchiveSession.hpp"
#include "archive/ArchiveTree.hpp"
#include "common/Codepage.hpp"
#include "common/Paths.hpp"

namespace velmar::archive::test {

// Answers the station and machine dialogs from scripts and records what was asked.
class ScriptedDialogs : public IArchiveDialogs {
  public:
    std::deque<std::optional<StationAnswers>> stationReplies;  // nullopt or exhausted: cancel
    std::deque<std::optional<MachineAnswers>> machineReplies;
    std::vector<StationDialogRequest> stationRequests;
    std::vector<StationAnswers> stationOffered;
    std::vector<MachineDialogRequest> machineRequests;
    std::vector<MachineAnswers> machineOffered;
    std::vector<std::pair<const TDBLevel*, int>> windowCommands;
    std::vector<std::pair<const TDBLevel*, int>> infos;
    RefreshCode windowResult = RefreshCode::None;

    std::optional<StationAnswers> AskNewStation(const StationDialogRequest& request,
                                                const StationAnswers& offered) override {
        stationRequests.push_back(request);
        stationOffered.push_back(offered);
        if (stationReplies.empty()) {
            return std::nullopt;
        }
        std::optional<StationAnswers> reply = std::move(stationReplies.front());
        stationReplies.pop_front();
        return reply;
    }
    std::optional<MachineAnswers> AskNewMachine(const MachineDialogRequest& request,
                                                const MachineAnswers& offered) override {
        machineRequests.push_back(request);
        machineOffered.push_back(offered);
        if (machineReplies.empty()) {
            return std::nullopt;
        }
        std::optional<MachineAnswers> reply = std::move(machineReplies.front());
        machineReplies.pop_front();
        return reply;
    }
    RefreshCode RunWindowCommand(TDBLevel& node, int command) override {
        windowCommands.emplace_back(&node, command);
        return windowResult;
    }
    bool ShowInfo(TDBLevel& node, int infoNumber) override {
        infos.emplace_back(&node, infoNumber);
        return true;
    }
};

// Copies the committed fixture archive into a temporary directory and gives the read-only files their
// attribute (version control keeps no write bits).
class FixtureArchive {
  public:
    FixtureArchive() {
        const std::filesystem::path source = std::filesystem::path(VELMAR_FIXTURE_DIR) / "archive";
        std::filesystem::copy(source / "home", dir_ / "home", std::filesystem::copy_options::recursive);
        std::filesystem::copy(source / "plant", dir_ / "plant", std::filesystem::copy_options::recursive);
        std::ifstream list(source / "readonly.txt");
        std::string line;
        while (std::getline(list, line)) {
            if (!line.empty()) {
                common::SetReadOnly(dir_.path() / line, true);
            }
        }
    }

    std::filesystem::path Home() const { return dir_ / "home"; }
    std::filesystem::path Plant() const { return dir_ / "plant"; }
    const std::filesystem::path& Temp() const { return dir_.path(); }

    // The archive MAIN.INI names, with the scripted user and dialogs.
    std::unique_ptr<ArchiveSession> Open(common::UiPort* ui, IArchiveDialogs* dialogs) const {
        std::unique_ptr<ArchiveSession> session = ArchiveSession::Open(Home(), std::nullopt, ui);
        session->Root().SetDialogs(dialogs);
        return session;
    }

    static std::vector<std::string> Lines(std::string_view file) {
        std::ifstream in(std::filesystem::path(VELMAR_FIXTURE_DIR) / "archive" / file);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        return lines;
    }

  private:
    velmar::test::TempDir dir_;
};

// The child of `node` named `name` (loading the children); null when there is none.
inline TDBLevel* Child(TDBLevel& node, std::string_view name) {
    node.EnsureChildren();
    for (int i = 0; i < node.ChildCount(); ++i) {
        if (node.ChildAt(i)->GetName() == name) {
            return node.ChildAt(i);
        }
    }
    return nullptr;
}

// Follows names down from `node`; null when one is missing.
inline TDBLevel* Walk(TDBLevel& node, std::initializer_list<std::string_view> names) {
    TDBLevel* at = &node;
    for (std::string_view name : names) {
        at = at != nullptr ? Child(*at, name) : nullptr;
    }
    return at;
}

template <typename T>
T* As(TDBLevel* node) {
    return dynamic_cast<T*>(node);
}

// The tree as "depth, level, kind, name, path, state, enabled, channel" lines, the layout of
// expected_tree.tsv.
inline void FlattenTree(const ArchiveTreeEntry& entry, int depth, std::vector<std::string>& out) {
    std::ostringstream line;
    line << depth << '\t' << entry.level << '\t' << entry.kind << '\t' << entry.name << '\t' << entry.path
         << '\t' << entry.state << '\t' << (entry.enabled ? 1 : 0) << '\t';
    if (entry.channel) {
        line << *entry.channel;
    } else {
        line << '-';
    }
    out.push_back(line.str());
    for (const ArchiveTreeEntry& child : entry.children) {
        FlattenTree(child, depth + 1, out);
    }
}

// The lines of an INI file as stored: cp1251 decoded, split at CRLF.
inline std::vector<std::string> StoredLines(const std::filesystem::path& file) {
    const std::string text = common::Cp1251ToUtf8(velmar::test::ReadBytes(file));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace velmar::archive::test
