#include "canvas/CanvasControls.h"

#include "boxes/BoxStatics.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "canvas/CanvasExport.h"
#include "canvas/CanvasView.h"
#include "canvas/CanvasWindow.h"
#include "container/TextViewContainer.h"
#include "foundation/ColorAdditions.h"

namespace canvas {

using platform::FilterImage;
using platform::Rect;

CanvasControls::CanvasControls(const Rect& frame)
    : CanvasView(frame)
    , m_maskQueue([this] { return maskSource(); },
          [this](const FilterImage& mask) {
              m_chain.setValue(mask, "inputMaskImage", CanvasFilterChain::kBlend);
          })
    , m_undo([this] { return m_controls ? m_controls->undoData() : CanvasUndoData(); },
          [this](const CanvasSnapshot& s) {
              if (m_controls)
                  m_controls->restoreWithUndoData(s);
          },
          [this] { setNeedsDisplay(); })
{
    m_chain.setRenderSink([this](const FilterImage& top, const FilterImage& back) {
        if (!m_patchDirty.isNull())
            showTopPatch(top, m_patchDirty);
        else
            showLayers(back, top);
    });
    setControlsClass([] { return std::make_unique<CanvasCustomShapeControls>(); });
}

CanvasControls::~CanvasControls()
{
    // The controls' paint view lives in this view's tree: let it go while the tree is whole.
    m_controls.reset();
}

void CanvasControls::setControlsClass(ControlsFactory factory)
{
    m_controlsFactory = std::move(factory);
    resetControls();
}

void CanvasControls::resetControls()
{
    m_controls.reset();
    if (!m_controlsFactory)
        return;
    m_controls = m_controlsFactory();
    m_controls->setMasterControls(this);
    m_controls->setControlsVisible(true);
    m_controls->reset();
    doRender();
    m_controls->updateFrame();
}

void CanvasControls::setSupressRendering(bool suppress)
{
    CanvasView::setSupressRendering(suppress);
    m_chain.setSupressRendering(suppress);
}

bool CanvasControls::setValue(
    const platform::FilterValue& value, const QString& key, const QString& filterName)
{
    return m_chain.setValue(value, key, filterName);
}

void CanvasControls::doRender()
{
    if (imageLoaded())
        m_maskQueue.invalidateMask();
}

CanvasMaskQueue::Source CanvasControls::maskSource() const
{
    CanvasMaskQueue::Source s;
    s.working = workingSize();
    s.maskScale = PaintView::standardMaskScale(s.working);
    if (m_controls)
        s.draw = m_controls->drawMaskInBounds();
    return s;
}

void CanvasControls::setPrerenderedMask(const FilterImage& mask, const Rect& dirty)
{
    m_patchDirty = mask.isNull() ? Rect::null() : dirty;
    m_maskQueue.setPrerenderedMask(mask);
    m_patchDirty = Rect::null();
}

void CanvasControls::pictureDidLoad()
{
    // A new picture: no old mask, no pending render, no undo steps for the old one.
    m_maskQueue.pictureLoaded();
    m_undo.removeAllActions();
    m_chain.loadImage(inputImage());
    doRender();
}

void CanvasControls::updateUndoManager()
{
    m_undo.setUndoManager(canvasWindow() ? canvasWindow()->undoManager() : nullptr);
}

void CanvasControls::prepUndoData()
{
    updateUndoManager();
    m_undo.prepUndoData();
}

void CanvasControls::logUndoData()
{
    updateUndoManager();
    m_undo.logUndoData();
}

QImage CanvasControls::outputImageForSize(const platform::Size& size)
{
    const std::optional<QSize> out
        = imageLoaded() ? fittedOutputSize(workingSize(), size) : std::nullopt;
    if (!out)
        return {};
    return joinedStripes(
        *out, [&](const ExportSink& sink) { return outputStripesForSize(size, sink); });
}

bool CanvasControls::outputStripesForSize(const platform::Size& size, const ExportSink& sink)
{
    if (!imageLoaded())
        return false;
    const std::optional<QSize> out = fittedOutputSize(workingSize(), size);
    if (!out)
        return false;
    FilterImage back;
    const FilterImage composite = m_chain.produceImage(&back);
    TextViewContainer* boxes = textViewContainer();
    const BoxLayerRender renderBoxes = [boxes](const Rect& region, double scale) -> QImage {
        if (!boxes)
            return {};
        // The box views draw their warped pictures only while this is set.
        gCanvasExporting = true;
        const platform::Image layer = platform::renderToImage(*boxes, region, scale);
        gCanvasExporting = false;
        return layer.toQImage();
    };
    // What the screen shows: a picture with transparency over the canvas's backdrop. (A JPEG
    // keeps no alpha; its colour channels alone would be another picture.)
    return composeExportStripes(back, composite, workingSize(), *out, renderBoxes, sink,
        kExportStripeRows, colorWithValue(CanvasView::kBackdropColor).toQt());
}

} // namespace canvas
