#include "canvas/CanvasUndo.h"

namespace canvas {

CanvasUndo::CanvasUndo(Current current, Restore restore, std::function<void()> changed)
    : m_current(std::move(current))
    , m_restore(std::move(restore))
    , m_changed(std::move(changed))
{
}

CanvasUndo::~CanvasUndo()
{
    removeAllActions();
}

void CanvasUndo::setUndoManager(platform::UndoManager* manager)
{
    if (manager == m_manager)
        return;
    removeAllActions();
    m_manager = manager;
}

void CanvasUndo::removeAllActions()
{
    if (m_manager)
        m_manager->removeAllActions(this);
}

void CanvasUndo::prepUndoData()
{
    m_undoData = m_current ? m_current() : std::nullopt;
}

void CanvasUndo::logUndoData()
{
    if (!m_undoData)
        return;
    const CanvasUndoData after = m_current ? m_current() : std::nullopt;
    m_logging = true;
    applyRestoreForUndoData(after);
    // One stroke, one step: the canvas's mouse-up may log the stroke its brush just logged.
    m_undoData.reset();
}

void CanvasUndo::applyRestoreForUndoData(const CanvasUndoData& target)
{
    const bool logging = m_logging;
    m_logging = false;
    if (!logging)
        m_undoData = m_current ? m_current() : std::nullopt;
    if (m_undoData == target)
        return;
    if (!logging && target)
        m_restore(*target);
    if (m_manager)
        m_manager->registerUndo(
            this, m_life, [this, back = m_undoData] { applyRestoreForUndoData(back); });
    if (m_changed)
        m_changed();
}

} // namespace canvas
