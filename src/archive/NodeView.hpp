#pragma once
// Windows that show a node, and the archive browser, learn about changes of the node through these
// interfaces. The core never knows what a window is beyond them.

#include <string_view>

namespace velmar::archive {

class TDBLevel;

enum class NodeEvent : int {
    Destroyed = 0,    // the node is about to go; drop every pointer to it
    Renamed = 1,      // the node or one of its ancestors got a new name (`text` holds it)
    DataChanged = 2,  // the node's data buffer was written
};

// A window attached to a node with AttachView. It must detach itself (DetachView) before it is destroyed;
// it may detach itself, or other views, from inside OnNodeEvent.
class INodeView {
  public:
    virtual ~INodeView() = default;

    // Only signal windows are told about changes; other views are attached to be found (IndexOfView).
    virtual bool IsSignalWindow() const { return true; }

    // `node` is the node whose views are being told: for a rename passed down the tree, a descendant of the
    // renamed node, `text` then being the ancestor's new name. Exceptions thrown here are swallowed.
    virtual void OnNodeEvent(TDBLevel& node, NodeEvent event, std::string_view text) = 0;
};

// The archive browser: told of every change of every node before the node's own views.
class INodeEventSink {
  public:
    virtual ~INodeEventSink() = default;
    virtual void OnNodeEvent(TDBLevel& node, NodeEvent event, std::string_view text) = 0;
};

}  // namespace velmar::archive
