#include "canvas/CanvasCustomShapeControls.h"

#include "canvas/CanvasControls.h"
#include "platform/document/NotificationCenter.h"

namespace canvas {

bool gBrushPinchActive = false;

CanvasCustomShapeControls::~CanvasCustomShapeControls()
{
    // The paint view goes with its tool.
    if (m_paintView && !m_detached && m_paintView->superview())
        m_paintView->removeFromSuperview();
}

void CanvasCustomShapeControls::reset()
{
    CanvasControls* master = masterControls();
    if (!master)
        return;
    auto view = std::make_unique<PaintView>(paintViewFrame());
    view->setAlphaValue(1.0);
    view->setDelegate(this);
    m_paintView = master->installPaintView(std::move(view));
    m_detached.reset();
    auto& center = platform::NotificationCenter::defaultCenter();
    center.removeObservers(&m_observerContext);
    center.addObserver(PaintView::kStrokeStarted, m_paintView, &m_observerContext,
        [this](const platform::Notification&) {
            if (CanvasControls* m = masterControls())
                m->prepUndoData();
        });
    center.addObserver(PaintView::kStrokeCommitted, m_paintView, &m_observerContext,
        [this](const platform::Notification&) {
            if (CanvasControls* m = masterControls())
                m->logUndoData();
        });
}

void CanvasCustomShapeControls::hidePaintView()
{
    if (m_paintView && !m_detached)
        m_detached = m_paintView->removeFromSuperview();
}

void CanvasCustomShapeControls::showPaintView()
{
    CanvasControls* master = masterControls();
    if (!master || !m_detached)
        return;
    master->addSubview(std::move(m_detached));
}

bool CanvasCustomShapeControls::isPaintViewShowed() const
{
    const CanvasControls* master = masterControls();
    return master && m_paintView && !m_detached && m_paintView->isDescendantOf(master);
}

platform::Rect CanvasCustomShapeControls::paintViewFrame() const
{
    const CanvasControls* master = masterControls();
    return master ? master->imageRect() : platform::Rect();
}

void CanvasCustomShapeControls::updateFrame()
{
    if (m_paintView)
        m_paintView->setFrame(paintViewFrame());
}

void CanvasCustomShapeControls::setEraseMode(bool erase)
{
    m_eraseMode = erase;
    if (m_paintView)
        m_paintView->setBrushIsEraser(erase);
}

// The paint view clamps and ignores values that are not finite; keep what it kept.
void CanvasCustomShapeControls::setBrushSize(double size)
{
    if (!m_paintView)
        return;
    m_paintView->setBrushSize(size);
    m_brushSize = m_paintView->brushSize();
}

void CanvasCustomShapeControls::setBrushHardness(double hardness)
{
    if (!m_paintView)
        return;
    m_paintView->setBrushHardness(hardness);
    m_brushHardness = m_paintView->brushHardness();
}

void CanvasCustomShapeControls::setBrushOpacity(double opacity)
{
    if (!m_paintView)
        return;
    m_paintView->setBrushOpacity(opacity);
    m_brushOpacity = m_paintView->brushOpacity();
}

void CanvasCustomShapeControls::setControlsVisible(bool visible)
{
    if (m_isDrawingMode) {
        m_hasPendingControlVisible = true;
        m_pendingControlsVisible = visible;
        return;
    }
    CanvasBaseControls::setControlsVisible(visible);
    if (m_paintView)
        m_paintView->setHidden(!visible);
}

void CanvasCustomShapeControls::paintViewDrawingModeStarted(PaintView&, bool active)
{
    m_isDrawingMode = active;
    if (!active && m_hasPendingControlVisible) {
        m_hasPendingControlVisible = false;
        setControlsVisible(m_pendingControlsVisible);
    }
}

void CanvasCustomShapeControls::gestureMagnify(double delta, const platform::Event&)
{
    // Posted with the canvas, so only its own window answers.
    gBrushPinchActive = true;
    platform::NotificationCenter::defaultCenter().post(
        isPaintViewShowed() ? kRequestBrushSize : kRequestZoom,
        static_cast<const platform::View*>(masterControls()),
        { { QStringLiteral("delta"), delta } });
    gBrushPinchActive = false;
}

CanvasUndoData CanvasCustomShapeControls::undoData() const
{
    if (!m_paintView)
        return std::nullopt;
    const platform::FilterImage mask = m_paintView->workingImage();
    if (mask.isNull())
        return std::nullopt;
    CanvasSnapshot s;
    s.mask = mask;
    s.maskScale = m_paintView->maskScale();
    return s;
}

void CanvasCustomShapeControls::restoreWithUndoData(const CanvasSnapshot& data)
{
    if (m_paintView) {
        m_paintView->setWorkingImage(data.mask);
        m_paintView->setMaskScale(data.maskScale);
    }
    CanvasBaseControls::restoreWithUndoData(data);
}

} // namespace canvas
