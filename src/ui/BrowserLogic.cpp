#include "ui/BrowserLogic.hpp"

#include <algorithm>
#include <functional>
#include <system_error>

#include "archive/PathDBLevel.hpp"
#include "archive/ZamerDBLevel.hpp"
#include "archive/ZamerFile.hpp"
#include "common/AtomicFile.hpp"
#include "common/Codepage.hpp"
#include "common/Paths.hpp"
#include "ui/MenuManager.hpp"

namespace velmar::ui {

using archive::TDBLevel;

namespace {

// A long note can be long; a hint shows its beginning.
constexpr std::size_t kMaxHintBytes = 4096;

std::string FromCp1251UpToNul(std::string_view bytes) {
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        bytes = bytes.substr(0, nul);
    }
    if (bytes.size() > kMaxHintBytes) {
        bytes = bytes.substr(0, kMaxHintBytes);
    }
    return common::Cp1251ToUtf8(bytes);
}

// CRLF or LF lines joined by "\n", without trailing empty lines.
std::string JoinLines(const std::string& text) {
    std::string joined;
    joined.reserve(text.size());
    for (char c : text) {
        if (c != '\r') {
            joined.push_back(c);
        }
    }
    while (!joined.empty() && joined.back() == '\n') {
        joined.pop_back();
    }
    return joined;
}

template <typename Visit>
void ForEachLoaded(TDBLevel& node, Visit&& visit) {
    visit(node);
    for (int i = 0; i < node.ChildCount(); ++i) {
        if (TDBLevel* child = node.ChildAt(i)) {
            ForEachLoaded(*child, visit);
        }
    }
}

// Children through the filtered iteration, last first; reads them when they are not loaded yet.
std::vector<TDBLevel*> ChildrenLastFirst(TDBLevel& node) {
    std::vector<TDBLevel*> children;
    for (TDBLevel* child = node.LastChild(); child != nullptr; child = node.NextChild(-1)) {
        children.push_back(child);
    }
    return children;
}

void TakeSubtree(TDBLevel& node, std::vector<TDBLevel*>& out) {
    if ((node.GetFlags() & archive::kFlagViewable) != 0) {
        out.push_back(&node);
    }
    for (TDBLevel* child : ChildrenLastFirst(node)) {
        TakeSubtree(*child, out);
    }
}

void TakeMarked(TDBLevel& node, std::vector<TDBLevel*>& out) {
    if (node.IsMarked()) {
        TakeSubtree(node, out);
        return;
    }
    // Marks live only on nodes the user has seen: an unread branch holds none.
    if (!node.ChildrenLoaded()) {
        return;
    }
    std::vector<TDBLevel*> children;
    for (int i = node.ChildCount() - 1; i >= 0; --i) {
        if (TDBLevel* child = node.ChildAt(i)) {
            children.push_back(child);
        }
    }
    for (TDBLevel* child : children) {
        TakeMarked(*child, out);
    }
}

}  // namespace

bool IsNumberedMeasurement(const TDBLevel& node) {
    return node.GetLevelNumber() == archive::kLevelMeasurement &&
           node.GetLevelKind() == archive::kLevelKindPlain;
}

std::string BrowserItemText(const TDBLevel& node, int measurementNumber) {
    std::string text = "  " + node.GetName();
    if (IsNumberedMeasurement(node)) {
        text += "  №" + std::to_string(measurementNumber);
    }
    return text;
}

bool IsShownInTree(const TDBLevel& node) {
    return (node.GetFlags() & archive::kFlagShownInTree) != 0;
}

std::vector<std::string> NamePath(const TDBLevel* node, std::size_t maxDepth) {
    std::vector<std::string> names;
    for (const TDBLevel* at = node; at != nullptr; at = at->Parent()) {
        names.push_back(at->GetName());
    }
    std::reverse(names.begin(), names.end());
    if (names.size() > maxDepth) {
        names.resize(maxDepth);
    }
    return names;
}

int DefaultCommandOf(const TDBLevel& node, const std::vector<archive::MenuCommand>& visible) {
    if (node.GetLevelNumber() < archive::kLevelMeasurement) {
        return 0;
    }
    const bool offered = std::any_of(visible.begin(), visible.end(), [](const archive::MenuCommand& entry) {
        return entry.command == kCommandViewSignals;
    });
    return offered ? kCommandViewSignals : 0;
}

bool AnyMarked(const TDBLevel& root) {
    if (root.IsMarked()) {
        return true;
    }
    for (int i = 0; i < root.ChildCount(); ++i) {
        const TDBLevel* child = root.ChildAt(i);
        if (child != nullptr && AnyMarked(*child)) {
            return true;
        }
    }
    return false;
}

void ClearMarks(TDBLevel& root) {
    ForEachLoaded(root, [](TDBLevel& node) { node.SetMarked(false); });
}

ViewWalk CollectViewNodes(TDBLevel& root, TDBLevel* selected) {
    ViewWalk walk;
    if (AnyMarked(root)) {
        walk.fromMarks = true;
        TakeMarked(root, walk.nodes);
    } else if (selected != nullptr) {
        TakeSubtree(*selected, walk.nodes);
    }
    return walk;
}

std::vector<TDBLevel*> ViewableSubtree(TDBLevel& node) {
    std::vector<TDBLevel*> nodes;
    TakeSubtree(node, nodes);
    return nodes;
}

std::string NodeHint(TDBLevel& node) {
    try {
        if (auto* measurement = dynamic_cast<archive::TZamerDBLevel*>(&node)) {
            archive::TZamerFile file = archive::TZamerFile::OpenFile(measurement->GetPath());
            file.Hold();
            std::string hint = file.GetDescription().Comment();
            if (std::optional<std::vector<std::uint8_t>> note = file.ReadBlock(archive::kBlockLongNote)) {
                const std::string text = JoinLines(FromCp1251UpToNul(
                    std::string_view(reinterpret_cast<const char*>(note->data()), note->size())));
                if (!text.empty()) {
                    hint += "\n" + text;
                }
            }
            return hint;
        }
        const int level = node.GetLevelNumber();
        if (level >= archive::kLevelFirstStation && level <= archive::kLevelMachine) {
            const auto* pathNode = dynamic_cast<const archive::TPathDBLevel*>(&node);
            if (pathNode == nullptr || pathNode->GetPath().empty()) {
                return {};
            }
            const std::optional<std::filesystem::path> notes =
                common::FindEntryNoCase(pathNode->GetPath(), "lnotes.txt");
            if (!notes) {
                return {};
            }
            std::string bytes = common::ReadWholeFile(*notes);
            if (bytes.size() > kMaxHintBytes) {
                bytes.resize(kMaxHintBytes);
            }
            return JoinLines(common::Cp1251ToUtf8(bytes));
        }
    } catch (const std::exception&) {
        // A hint is a courtesy: a file that cannot be read gives none.
    }
    return {};
}

}  // namespace velmar::ui
