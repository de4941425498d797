#pragma once
// What the archive browser decides about nodes without drawing anything: item texts and numbering, the
// nodes a "view" opens, marks, hints and the path that brings the selection back after a rebuild. Generic
// over TDBLevel: the kinds answer through its virtual operations.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/DBLevel.hpp"

namespace velmar::ui {

// Measurements are numbered among their siblings (level 8, plain level kind).
bool IsNumberedMeasurement(const archive::TDBLevel& node);

// Two spaces and the name; a measurement gets two spaces, "№" and its number appended.
std::string BrowserItemText(const archive::TDBLevel& node, int measurementNumber);

// Nodes whose flag word says "shown in the tree".
bool IsShownInTree(const archive::TDBLevel& node);

// The names of the node's ancestors and the node itself, root first; at most `maxDepth` of them (the
// deepest are dropped).
inline constexpr std::size_t kSelectionPathDepth = 12;
std::vector<std::string> NamePath(const archive::TDBLevel* node, std::size_t maxDepth = kSelectionPathDepth);

// The command the browser runs on a double click or Enter: "view signals" for measurements and the levels
// below them when they offer it; 0 for none.
int DefaultCommandOf(const archive::TDBLevel& node, const std::vector<archive::MenuCommand>& visible);

// Whether some node of the loaded tree is marked.
bool AnyMarked(const archive::TDBLevel& root);
// Clears every mark in the loaded tree.
void ClearMarks(archive::TDBLevel& root);

// The nodes a "view" opens, in the order they are opened.
struct ViewWalk {
    std::vector<archive::TDBLevel*> nodes;
    bool fromMarks = false;
};
// With marks anywhere in the tree: every viewable node that is marked or lies below a marked node (the
// children of marked branches are read as needed, unmarked branches are not read). Without marks: the
// selected node and its whole subtree. Children are visited from the last to the first; only nodes whose
// flag word has 32 ("viewable") count.
ViewWalk CollectViewNodes(archive::TDBLevel& root, archive::TDBLevel* selected);
inline constexpr std::size_t kViewConfirmAbove = 20;
// The viewable nodes of a node's subtree (the node included), in the order a view opens them.
std::vector<archive::TDBLevel*> ViewableSubtree(archive::TDBLevel& node);

// The hint of a node in the browser: for a measurement the comment of its file, a line break and its long
// note; for a station or machine the lines of lnotes.txt in its directory; empty for anything else and when
// the files cannot be read.
std::string NodeHint(archive::TDBLevel& node);

}  // namespace velmar::ui
