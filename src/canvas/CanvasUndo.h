#pragma once
// The canvas's own undo: snapshots of the tool controls' state (the painted mask and its
// scale, and the picture's scale, straightening and offset where a tool keeps them) taken
// before and after a stroke, with the same before/after pattern as the box layer.
//
// Steps go to the undo manager of the canvas's own document, never to whichever document is
// in front; they are removed when the canvas goes or takes a new picture, so an undo can never
// reach a dead canvas or an old picture's mask.
#include "platform/geometry/Point.h"
#include "platform/imaging/FilterImage.h"
#include "platform/undo/UndoManager.h"

#include <functional>
#include <optional>

namespace canvas {

struct CanvasSnapshot {
    // The accumulator's immutable pixels at mask scale; equal only to the same pixels.
    platform::FilterImage mask;
    double maskScale = 0;
    std::optional<double> scale, straighten;
    std::optional<platform::Point> offset;

    bool operator==(const CanvasSnapshot& o) const
    {
        return mask == o.mask && maskScale == o.maskScale && scale == o.scale
            && straighten == o.straighten && offset.has_value() == o.offset.has_value()
            && (!offset || (offset->x == o.offset->x && offset->y == o.offset->y));
    }
};
// No snapshot: nothing to restore (no tool state yet).
using CanvasUndoData = std::optional<CanvasSnapshot>;

class CanvasUndo {
public:
    using Current = std::function<CanvasUndoData()>;
    using Restore = std::function<void(const CanvasSnapshot&)>;

    // current: the controls' state now; restore: puts a snapshot back; changed: the canvas
    // needs display after a restore.
    CanvasUndo(Current current, Restore restore, std::function<void()> changed = {});
    ~CanvasUndo();
    CanvasUndo(const CanvasUndo&) = delete;
    CanvasUndo& operator=(const CanvasUndo&) = delete;

    // The canvas's own document's manager (null: steps are not recorded). Steps registered
    // with a previous manager are removed.
    void setUndoManager(platform::UndoManager* manager);
    platform::UndoManager* undoManager() const { return m_manager; }

    // Stroke start: the before-snapshot.
    void prepUndoData();
    // Stroke end: registers a step back to the before-snapshot unless there was none or
    // nothing changed, and drops the before-snapshot.
    void logUndoData();
    // The undo and redo action: restores target (unless logging) and registers the opposite.
    void applyRestoreForUndoData(const CanvasUndoData& target);
    // Drops this canvas's steps (a new picture).
    void removeAllActions();

    const CanvasUndoData& undoData() const { return m_undoData; }

private:
    Current m_current;
    Restore m_restore;
    std::function<void()> m_changed;
    platform::UndoManager* m_manager = nullptr;
    CanvasUndoData m_undoData;
    // Set only while logUndoData registers: the registration must not restore.
    bool m_logging = false;
    platform::UndoLifetime m_life;
};

} // namespace canvas
