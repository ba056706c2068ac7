// The canvas view: picture loading, the layer views, sizes and zoom, and the rendering of the
// two picture layers.
#include "canvas/CanvasView.h"

#include "canvas/CanvasGeometry.h"
#include "canvas/CanvasLogging.h"
#include "canvas/CanvasPanning.h"
#include "canvas/CanvasWindow.h"
#include "canvas/PaintView.h"
#include "canvas/RenderView.h"
#include "container/MyInstantAlphaView.h"
#include "container/SelectedTextBoxView.h"
#include "container/TextViewContainer.h"
#include "foundation/ColorAdditions.h"

#include <QTimer>
#include <cmath>

using namespace platform;

namespace canvas {

namespace {

// Display pixels rendered beyond the visible area on every side, so that a small scroll
// shows pixels at once.
constexpr double kRenderMargin = 64.0;

template <class T> T* as(const ViewPointer& p)
{
    return static_cast<T*>(p.get());
}

} // namespace

CanvasView::CanvasView(const Rect& frame)
    : View(frame)
    , m_panning(std::make_unique<CanvasPanning>(*this))
    , m_renderer(std::make_unique<BackgroundRenderer>())
{
}

CanvasView::~CanvasView()
{
    // Pending renders hold the layers by ViewPointer; stop them before the views go.
    m_renderer.reset();
    m_panning.reset();
}

void CanvasView::setCanvasWindow(CanvasWindow* window)
{
    m_window = window;
    if (TextViewContainer* c = textViewContainer()) {
        c->setDelegate(window ? window->containerDelegate() : nullptr);
        c->setDocumentWindow(window ? window->documentWindowRef() : nullptr);
        c->setUndoManager(window ? window->undoManager() : nullptr);
    }
}

std::optional<Size> CanvasView::workingImageSize() const
{
    if (!m_imageLoaded)
        return std::nullopt;
    return m_workingImageSize;
}

// ---- picture

void CanvasView::loadImage(const Image& image)
{
    if (image.isNull())
        return;
    const QImage pixels = image.toQImage();
    if (pixels.isNull() || pixels.width() < 1 || pixels.height() < 1)
        return;
    m_imageLoaded = true;
    // One working point per decoded pixel: the boxes, the mask and the export all count in
    // the picture's own pixels, whatever resolution the file claims.
    m_originalImage = FilterImage::fromQImage(pixels);
    m_targetImagePixelSize = { double(pixels.width()), double(pixels.height()) };
    m_targetImageSize = m_targetImagePixelSize;
    m_workingImageSize = m_targetImagePixelSize;
    m_inputImage = m_originalImage;
    qCDebug(
        lcCanvas, "Target Image Size: {%g, %g}", m_targetImageSize.width, m_targetImageSize.height);
    qCDebug(lcCanvas, "Working Image Size: {%g, %g}", m_workingImageSize.width,
        m_workingImageSize.height);
    m_renderer->cancel();
    m_renderedRegion = Rect::null();
    if (!backgroundView())
        setupImageView();
    resetControls();
    setFrame(frame());
    for (RenderView* layer : { backgroundView(), renderView() }) {
        layer->setOriginalImageSize(m_workingImageSize);
        layer->setRenderedPixels(QImage(), Rect::null());
    }
    holdUntilRendered();
    if (!m_supressRendering)
        showLayers(m_inputImage, m_inputImage);
    // The chain's inputs follow from the picture; its render replaces the plain one above.
    pictureDidLoad();
}

void CanvasView::holdUntilRendered()
{
    ++m_holdGeneration;
    m_held = true;
    // Not drawn, but there for clicks and keys: only the picture is waited for.
    setAlphaValue(0.0);
    if (!m_supressRendering)
        limitHold();
}

void CanvasView::limitHold()
{
    // A render that never comes (cancelled, or slow on a busy machine) must not keep the
    // boxes away for long.
    const std::uint64_t generation = m_holdGeneration;
    QTimer::singleShot(kHoldLimitMs, &m_guard, [this, generation] { endHold(generation); });
}

void CanvasView::setSupressRendering(bool suppress)
{
    const bool resumed = m_supressRendering && !suppress;
    m_supressRendering = suppress;
    // The render that ends a hold can come only from here on.
    if (resumed && m_held)
        limitHold();
}

void CanvasView::endHold(std::uint64_t generation)
{
    if (!m_held || generation != m_holdGeneration)
        return;
    m_held = false;
    setAlphaValue(1.0);
}

// ---- layers

RenderView* CanvasView::backgroundView() const
{
    return as<RenderView>(m_backgroundView);
}
TextViewContainer* CanvasView::textViewContainer() const
{
    return as<TextViewContainer>(m_textViewContainer);
}
RenderView* CanvasView::renderView() const
{
    return as<RenderView>(m_renderView);
}
SelectedTextBoxView* CanvasView::selectedView() const
{
    return as<SelectedTextBoxView>(m_selectedView);
}
MyInstantAlphaView* CanvasView::instantAlphaView() const
{
    return as<MyInstantAlphaView>(m_instantAlphaView);
}
PaintView* CanvasView::paintView() const
{
    return as<PaintView>(m_paintView);
}

void CanvasView::setupImageView()
{
    for (ViewPointer* p : { &m_renderView, &m_textViewContainer, &m_backgroundView, &m_selectedView,
             &m_instantAlphaView }) {
        if (View* v = p->get())
            v->removeFromSuperview();
        *p = ViewPointer();
    }
    const Rect r = imageRect();
    auto back = std::make_unique<RenderView>(r);
    back->setTag(1);
    m_backgroundView = addSubview(std::move(back));
    auto boxes = std::make_unique<TextViewContainer>(r);
    boxes->setCanvas(this);
    m_textViewContainer = addSubview(std::move(boxes));
    auto top = std::make_unique<RenderView>(r);
    top->setTag(0);
    m_renderView = addSubview(std::move(top));
    auto overlay = std::make_unique<SelectedTextBoxView>(r);
    overlay->setContainer(textViewContainer());
    m_selectedView = addSubview(std::move(overlay));
    textViewContainer()->selectedView = m_selectedView;
    auto bubble = std::make_unique<MyInstantAlphaView>(Rect(30, 30, 300, 50),
        QStringLiteral("• Click the color to make it transparent.\n• Drag to make similar "
                       "colors transparent"),
        2);
    m_instantAlphaView = addSubview(std::move(bubble));
    instantAlphaView()->setHidden(true);
    setCanvasWindow(m_window);
    // The brush outline draws over the picture, so the paint view stays on top.
    if (View* paint = m_paintView.get())
        addSubview(paint->removeFromSuperview());
    layoutLayers(frame().size);
}

PaintView* CanvasView::installPaintView(std::unique_ptr<PaintView> view)
{
    if (View* old = m_paintView.get())
        old->removeFromSuperview();
    if (!view)
        return nullptr;
    view->setCanvas(this);
    PaintView* p = addSubview(std::move(view));
    m_paintView = p;
    p->setFrame(Rect({ 0, 0 }, frame().size));
    return p;
}

void CanvasView::layoutLayers(const Size& size)
{
    const Rect r({ 0, 0 }, size);
    const double z = m_zoom > 0 ? m_zoom : 1.0;
    for (View* v : { m_backgroundView.get(), m_textViewContainer.get(), m_renderView.get(),
             m_selectedView.get() }) {
        if (!v)
            continue;
        v->setFrame(r);
        // Layers count in working points whatever the zoom.
        v->setUnitScale({ z, z });
    }
    if (View* p = m_paintView.get())
        p->setFrame(r);
}

// ---- sizes and zoom

Rect CanvasView::imageRect() const
{
    return geometry::imageRect(m_workingImageSize, m_zoom);
}

Rect CanvasView::frameRect() const
{
    return geometry::frameRect(
        m_workingImageSize, m_zoom, m_window ? m_window->viewportSize() : Size());
}

double CanvasView::getBestFitZoomScale() const
{
    return geometry::bestFitZoom(m_workingImageSize, m_window ? m_window->viewportSize() : Size());
}

bool CanvasView::setCustomDrawingZoomScale(double z)
{
    if (!m_window || !m_imageLoaded)
        return false;
    const auto step = geometry::zoomStep(
        m_workingImageSize, m_window->viewportSize(), m_window->visibleRect(), m_zoom, z);
    if (!step) {
        qCWarning(lcCanvas) << "zoom" << z << "refused";
        return false;
    }
    m_zoom = step->zoom;
    qCDebug(lcCanvas, "custom drawing zoom scale %f", m_zoom);
    m_window->setDocumentSize(step->documentSize);
    setFrame(step->canvasFrame);
    m_window->scrollTo(step->scrollPoint);
    visibleAreaChanged();
    return true;
}

void CanvasView::setFrame(const Rect& frame)
{
    View::setFrame(frame);
    layoutLayers(frame.size);
    if (host())
        updateTrackingAreas();
    doRender();
    if (ToolControls* c = toolControls())
        c->updateFrame();
}

void CanvasView::setFrameSize(const Size& size)
{
    setFrame(Rect(frame().origin, size));
}

Rect CanvasView::visibleRect() const
{
    if (!m_window)
        return bounds();
    const Rect v = m_window->visibleRect();
    // The window gives it in the document view, the canvas's superview.
    return Rect({ v.origin.x - frame().origin.x, v.origin.y - frame().origin.y }, v.size)
        .intersection(bounds());
}

void CanvasView::visibleAreaChanged()
{
    if (!m_renderedRegion.isNull() && renderRegion() == m_renderedRegion
        && m_renderedScale == m_zoom * backingScaleFactor())
        return;
    renderLayers();
}

// ---- rendering the layers

Rect CanvasView::renderRegion() const
{
    if (!(m_zoom > 0) || !m_imageLoaded)
        return Rect::null();
    const Rect visible = visibleRect();
    if (visible.isNull() || visible.isEmpty())
        return Rect::null();
    const double margin = kRenderMargin / (m_zoom * backingScaleFactor());
    const Rect working({ visible.origin.x / m_zoom, visible.origin.y / m_zoom },
        { visible.size.width / m_zoom, visible.size.height / m_zoom });
    return working.insetBy(-margin, -margin)
        .intersection(Rect({ 0, 0 }, m_workingImageSize))
        .integral();
}

void CanvasView::showLayers(const FilterImage& back, const FilterImage& top)
{
    if (RenderView* b = backgroundView())
        b->setImage(back);
    if (RenderView* t = renderView())
        t->setImage(top);
    renderLayers();
}

void CanvasView::renderLayers()
{
    RenderView* back = backgroundView();
    RenderView* top = renderView();
    const Rect region = renderRegion();
    // (Before the canvas has its size and zoom there is nothing to render yet; a hold waits
    // for the render that follows them.)
    if (!back || !top || region.isNull() || region.isEmpty())
        return;
    m_renderedRegion = region;
    m_renderedScale = m_zoom * backingScaleFactor();
    ViewPointer backRef(back), topRef(top), selfRef(this);
    const std::uint64_t hold = m_holdGeneration;
    // A layer without a picture shows clear pixels (the masked layer before any mask).
    const auto orClear = [&](const FilterImage& image) {
        return image ? image : FilterImage::constantColor(Color(0, 0, 0, 0)).cropped(region);
    };
    m_renderer->request({ orClear(back->shownImage()), orClear(top->shownImage()) }, region,
        m_renderedScale, RenderPath::Display,
        [backRef, topRef, selfRef, hold, region](const std::vector<QImage>& pixels) {
            auto* b = static_cast<RenderView*>(backRef.get());
            auto* t = static_cast<RenderView*>(topRef.get());
            // Shown now, with or without the picture: a failed render keeps no box away.
            if (auto* self = static_cast<CanvasView*>(selfRef.get()))
                self->endHold(hold);
            if (!b || !t || pixels.size() != 2 || pixels[0].isNull() || pixels[1].isNull())
                return;
            // Both layers change in the same turn, so no seam shows between them.
            b->setRenderedPixels(pixels[0], region);
            t->setRenderedPixels(pixels[1], region);
        });
}

void CanvasView::showTopPatch(const FilterImage& top, const Rect& dirty)
{
    RenderView* t = renderView();
    if (!t)
        return;
    t->setImage(top);
    if (m_renderedRegion.isNull() || dirty.isNull() || t->renderedPixels().isNull()) {
        renderLayers();
        return;
    }
    const Rect r = m_renderedRegion;
    const double s = m_renderedScale;
    // The dirty rectangle in the full render's pixels (rows from the top), one pixel wider for
    // the resampling's reach.
    const int x0 = int(std::floor(std::max(0.0, (dirty.origin.x - r.origin.x) * s))) - 1;
    const int x1 = int(std::ceil(std::min(r.size.width, dirty.maxX() - r.origin.x) * s)) + 1;
    const int y0 = int(std::floor(std::max(0.0, (r.maxY() - dirty.maxY()) * s))) - 1;
    const int y1 = int(std::ceil(std::min(r.size.height, r.maxY() - dirty.origin.y) * s)) + 1;
    const QRect pixels = QRect(x0, y0, x1 - x0, y1 - y0).intersected(t->renderedPixels().rect());
    if (pixels.isEmpty())
        return;
    ViewPointer topRef(t);
    m_renderer->requestPatch(t->shownImage(), r, s, RenderPath::Display, pixels,
        [topRef](const QImage& patch, const QRect& at) {
            if (auto* view = static_cast<RenderView*>(topRef.get()))
                view->setRenderedPatch(patch, at);
        });
}

void CanvasView::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    ctx.setFillColor(colorWithValue(kBackdropColor));
    ctx.fillRect(dirty.intersection(bounds()));
}

} // namespace canvas
