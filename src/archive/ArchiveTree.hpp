#pragma once
// The archive tree as the browser shows it, as plain data: for listings (velmar-cli archive tree), golden
// comparisons and diagnostics.

#include <optional>
#include <string>
#include <vector>

#include "archive/DBLevel.hpp"

namespace velmar::archive {

struct ArchiveTreeEntry {
    int level = 0;
    std::string kind;  // NodeKindWord
    std::string name;
    std::string path;  // relative to the archive directory with "/" between names; "." for the archive itself
    int state = kStateNotSet;
    bool enabled = true;         // IsEnabled: the node and everything above it
    std::optional<int> channel;  // directions: the channel of the measurement file, 0 when none
    std::vector<ArchiveTreeEntry> children;
};

// "root", "station", "machine", "measurement", "point", "direction", "derived", "passport", "nameset", or
// "node" for anything else.
std::string NodeKindWord(const TDBLevel& node);

// `node` and, down to `maxDepth` levels below it (all when negative), the children the browser shows: those
// the child filter lets through whose flag word says "shown in the tree". Children are read as needed.
ArchiveTreeEntry DescribeTree(TDBLevel& node, int maxDepth = -1);

}  // namespace velmar::archive
