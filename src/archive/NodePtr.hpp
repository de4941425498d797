#pragma once
// Ownership of archive nodes.
//
// A node is destroyed through NodeDeleter, which first lets the node tell its windows and drop its subtree
// while the whole object (every override) is still alive, and only then deletes it. Every owner of a node
// (a child list, the main window holding the root, a test) holds it as a NodePtr.

#include <memory>
#include <utility>

namespace velmar::archive {

class TDBLevel;

struct NodeDeleter {
    void operator()(TDBLevel* node) const noexcept;
};

template <typename T = TDBLevel>
using NodePtrOf = std::unique_ptr<T, NodeDeleter>;
using NodePtr = NodePtrOf<TDBLevel>;

// The way to create any node: `MakeNode<TStantionDBLevel>(context, parent, ...)`.
template <typename T, typename... Args>
NodePtrOf<T> MakeNode(Args&&... args) {
    return NodePtrOf<T>(new T(std::forward<Args>(args)...));
}

}  // namespace velmar::archive
