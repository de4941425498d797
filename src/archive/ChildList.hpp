#pragma once
// The children of a node, kept in their display order and owned by the list.

#include <string>
#include <vector>

#include "archive/NodePtr.hpp"

namespace velmar::archive {

class TChildList {
  public:
    TChildList() = default;
    // Destroys the nodes from the last to the first.
    ~TChildList();
    TChildList(const TChildList&) = delete;
    TChildList& operator=(const TChildList&) = delete;

    // Inserts `node` before the first entry it compares less than (TDBLevel::Compare), so that nodes that
    // compare equal keep the order in which they were added. Returns the index, or -1 for no node. The
    // order is not revised when a name or a date changes later.
    int AddDBLevel(NodePtr node);

    // Takes the node out of the list without destroying it; null when it is not in the list.
    NodePtr Take(const TDBLevel* node);

    // Destroys every node, from the last to the first.
    void Clear() noexcept;

    int Count() const noexcept { return static_cast<int>(entries_.size()); }
    bool Empty() const noexcept { return entries_.empty(); }
    // The node at `index`; null outside 0 .. Count() - 1.
    TDBLevel* At(int index) const noexcept;
    // The node's name when it was added.
    const std::string& KeyAt(int index) const;
    int IndexOf(const TDBLevel* node) const noexcept;

  private:
    struct Entry {
        std::string key;
        NodePtr node;
    };
    std::vector<Entry> entries_;
};

}  // namespace velmar::archive
