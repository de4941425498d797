#pragma once
// What the nodes of one open archive share: the notification switch, the node counters, and the services
// the nodes call (settings and registry, the user, the transform engine, the browser). One context per open
// archive (per test); it must outlive every node created with it.

#include <cstdint>

namespace velmar::common {
struct ProgramContext;
class UiPort;
}  // namespace velmar::common

namespace velmar::archive {

class ITransformEngine;
class INodeEventSink;

struct ArchiveContext {
    // While set, no window and not the browser is told of any change (imports and conversions that touch
    // many nodes set it).
    bool notificationsSuspended = false;

    // Instance number of the next node; numbers are never reused.
    std::int32_t nextInstanceNumber = 0;
    // Nodes alive now: back to its earlier value once everything created since has been destroyed.
    std::int64_t liveNodes = 0;

    // Kinds the child iteration of a new node visits: {0 .. 8}.
    std::uint16_t defaultChildFilter = 0x01FF;

    const common::ProgramContext* program = nullptr;  // settings and the expert-system registry; may be null
    common::UiPort* ui = nullptr;                     // null: every question is answered "no"/"cancel"
    ITransformEngine* transformEngine = nullptr;      // null: no derived data can be made
    INodeEventSink* browser = nullptr;                // the archive browser, when one exists
};

// Suspends notifications for its lifetime and then restores the previous state, so that nested long
// operations do not switch them back on early.
class NotificationSuspension {
  public:
    explicit NotificationSuspension(ArchiveContext& context)
        : context_(context), previous_(context.notificationsSuspended) {
        context_.notificationsSuspended = true;
    }
    ~NotificationSuspension() { context_.notificationsSuspended = previous_; }
    NotificationSuspension(const NotificationSuspension&) = delete;
    NotificationSuspension& operator=(const NotificationSuspension&) = delete;

  private:
    ArchiveContext& context_;
    bool previous_;
};

}  // namespace velmar::archive
