#include "archive/ChildList.hpp"

#include <algorithm>

#include "archive/DBLevel.hpp"

namespace velmar::archive {

TChildList::~TChildList() {
    Clear();
}

int TChildList::AddDBLevel(NodePtr node) {
    if (!node) {
        return -1;
    }
    std::size_t index = 0;
    while (index < entries_.size() && node->Compare(entries_[index].node.get()) != CompareResult::Less) {
        ++index;
    }
    std::string key = node->GetName();
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index),
                    Entry{std::move(key), std::move(node)});
    return static_cast<int>(index);
}

NodePtr TChildList::Take(const TDBLevel* node) {
    const int index = IndexOf(node);
    if (index < 0) {
        return nullptr;
    }
    NodePtr taken = std::move(entries_[static_cast<std::size_t>(index)].node);
    entries_.erase(entries_.begin() + index);
    return taken;
}

void TChildList::Clear() noexcept {
    // One at a time from the back, each node out of the list before it goes, so that a window reacting to
    // the destruction never finds a dying node in the list.
    while (!entries_.empty()) {
        NodePtr node = std::move(entries_.back().node);
        entries_.pop_back();
        node.reset();
    }
}

TDBLevel* TChildList::At(int index) const noexcept {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    return entries_[static_cast<std::size_t>(index)].node.get();
}

const std::string& TChildList::KeyAt(int index) const {
    return entries_.at(static_cast<std::size_t>(index)).key;
}

int TChildList::IndexOf(const TDBLevel* node) const noexcept {
    if (node == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].node.get() == node) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace velmar::archive
