#pragma once
// A region of a view that reports the pointer entering, leaving and moving inside it.
//
// The area always belongs to the view it was added to, and that view is its owner: the
// entered, exited, moved and cursor-update events go to it (and on up the responder chain if
// it does not handle them).
#include "platform/geometry/Rect.h"

#include <QVariant>
#include <cstdint>

namespace platform {

// Option bits, by the platform's numbers.
enum TrackingAreaOption : unsigned {
    TrackingMouseEnteredAndExited = 0x01,
    TrackingMouseMoved = 0x02,
    TrackingCursorUpdate = 0x04,
    // Only while the owner is the host's first responder.
    TrackingActiveWhenFirstResponder = 0x10,
    // A view host only receives the pointer while it is usable, so these three all mean
    // "active" here.
    TrackingActiveInKeyWindow = 0x20,
    TrackingActiveInActiveApp = 0x40,
    TrackingActiveAlways = 0x80,
    TrackingAssumeInside = 0x100,
    // The rect is ignored: the area follows the owner's bounds.
    TrackingInVisibleRect = 0x200,
    // Without it, entering and leaving are not reported while a button is held; the state
    // catches up when the button is released.
    TrackingEnabledDuringMouseDrag = 0x400,
};

struct TrackingArea {
    std::uint64_t id = 0; // unique for the process; 0 is never a valid area
    Rect rect; // owner's coordinates
    unsigned options = 0;
    QVariant userInfo;
};

} // namespace platform
