#pragma once
// What a box view asks of the container that owns it. The container implements it; a box holds
// a plain pointer to its host because the host owns the box and outlives it.
#include "platform/geometry/Point.h"

namespace platform {
class Event;
}

class BoxHost {
public:
    virtual ~BoxHost() = default;

    // A press that a box took itself, at a point of the box's superview (the container's
    // coordinates, as every level of a box nest shares them).
    virtual void mouseDownAtTextBox(const platform::Point& point, const platform::Event& event) = 0;

    // The undo bracket of a change a box makes on its own (each typing change of a text box):
    // prepUndoData keeps the container's before-snapshot (stored in its undoData), logUndoData
    // registers the step with it. A host that records no undo leaves both empty.
    virtual void prepUndoData() { }
    virtual void logUndoData() { }
    // A typing run makes one step: its first change registers the step marked with the run's
    // key; while the history has seen nothing else since, canFoldChange(key) is true and the
    // run's later changes register none, foldedChange() only redrawing.
    virtual void logUndoDataForRun(const void* runKey)
    {
        (void)runKey;
        logUndoData();
    }
    virtual bool canFoldChange(const void* runKey) const
    {
        (void)runKey;
        return false;
    }
    virtual void foldedChange() { }
};
