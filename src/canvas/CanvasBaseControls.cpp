#include "canvas/CanvasBaseControls.h"

#include "canvas/CanvasControls.h"

namespace canvas {

void CanvasBaseControls::updateMouseState()
{
    if (m_master)
        setControlsVisible(m_master->mouseInside() || m_master->mouseDown());
}

void CanvasBaseControls::setControlsVisible(bool visible)
{
    m_controlsVisible = visible;
    if (m_master)
        m_master->doRender();
}

void CanvasBaseControls::restoreWithUndoData(const CanvasSnapshot& data)
{
    if (m_master && data.scale)
        m_master->setScaleStraightenOffset(
            *data.scale, data.straighten.value_or(0), data.offset.value_or(platform::Point()));
}

double CanvasBaseControls::scale() const
{
    if (!m_master || !m_master->imageLoaded() || !(m_master->workingSize().width > 0))
        return 0;
    return m_master->imageRect().width() / m_master->workingSize().width;
}

} // namespace canvas
