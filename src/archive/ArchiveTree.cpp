#include "archive/ArchiveTree.hpp"

#include <filesystem>

#include "archive/AgregatDBLevel.hpp"
#include "archive/NameSetDBLevel.hpp"
#include "archive/NaprDBLevel.hpp"
#include "archive/PointDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "archive/StantionDBLevel.hpp"
#include "archive/ZamerDBLevel.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

// The archive directory: the path of the topmost path node.
fs::path ArchiveDirectory(const TDBLevel& node) {
    fs::path top;
    for (const TDBLevel* n = &node; n != nullptr; n = n->Parent()) {
        if (const auto* pathNode = dynamic_cast<const TPathDBLevel*>(n);
            pathNode && !pathNode->GetPath().empty()) {
            top = pathNode->GetPath();
        }
    }
    return top;
}

std::string RelativePath(const TDBLevel& node, const fs::path& archive) {
    const auto* pathNode = dynamic_cast<const TPathDBLevel*>(&node);
    if (pathNode == nullptr || pathNode->GetPath().empty()) {
        return {};
    }
    if (archive.empty()) {
        return pathNode->GetPath().generic_string();
    }
    const fs::path relative = pathNode->GetPath().lexically_relative(archive);
    return relative.empty() ? pathNode->GetPath().generic_string() : relative.generic_string();
}

ArchiveTreeEntry Describe(TDBLevel& node, const fs::path& archive, int depthLeft) {
    // Children first: reading them can change the node (a machine's state follows its measurements).
    std::vector<TDBLevel*> shown;
    if (depthLeft != 0) {
        for (TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
            if ((child->GetFlags() & kFlagShownInTree) != 0) {
                shown.push_back(child);
            }
        }
    }
    ArchiveTreeEntry entry;
    entry.level = node.GetLevelNumber();
    entry.kind = NodeKindWord(node);
    entry.name = node.GetName();
    entry.path = RelativePath(node, archive);
    entry.state = node.GetState();
    entry.enabled = node.IsEnabled();
    if (const auto* napr = dynamic_cast<const TNaprPreobrDBLevel*>(&node)) {
        entry.channel = napr->ChannelNumber();
    }
    for (TDBLevel* child : shown) {
        entry.children.push_back(Describe(*child, archive, depthLeft < 0 ? depthLeft : depthLeft - 1));
    }
    return entry;
}

}  // namespace

std::string NodeKindWord(const TDBLevel& node) {
    if (dynamic_cast<const TProgDBLevel*>(&node) != nullptr) {
        return "root";
    }
    if (dynamic_cast<const TStantionDBLevel*>(&node) != nullptr) {
        return "station";
    }
    if (dynamic_cast<const TAgregatDBLevel*>(&node) != nullptr) {
        return "machine";
    }
    if (dynamic_cast<const TZamerDBLevel*>(&node) != nullptr) {
        return "measurement";
    }
    if (dynamic_cast<const TPointDBLevel*>(&node) != nullptr) {
        return "point";
    }
    if (dynamic_cast<const TNaprDBLevel*>(&node) != nullptr) {
        return "direction";
    }
    if (dynamic_cast<const TNaprPreobrDBLevel*>(&node) != nullptr || node.GetLevelNumber() == kLevelDerived) {
        return "derived";
    }
    if (dynamic_cast<const TPspDBLevel*>(&node) != nullptr) {
        return "passport";
    }
    if (dynamic_cast<const TNameSetDBLevel*>(&node) != nullptr) {
        return "nameset";
    }
    return "node";
}

ArchiveTreeEntry DescribeTree(TDBLevel& node, int maxDepth) {
    return Describe(node, ArchiveDirectory(node), maxDepth);
}

}  // namespace velmar::archive
