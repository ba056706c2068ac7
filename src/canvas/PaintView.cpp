// The paint view: the brush's accumulator, its dabs, the outline that follows the pointer and
// the size preview shown while the brush size is changed with the button down.
#include "canvas/PaintView.h"

#include "canvas/CanvasLogging.h"
#include "canvas/PaintCanvas.h"
#include "platform/document/NotificationCenter.h"
#include "platform/imaging/RadialGradientNode.h"
#include "platform/ui/ViewHost.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

using namespace platform;

namespace canvas {

const QString PaintView::kStrokeStarted = QStringLiteral("PaintViewStrokeStarted");
const QString PaintView::kStrokeCommitted = QStringLiteral("PaintViewStrokeCommited");

namespace {

constexpr double kOutlineWidth = 3.0;
constexpr double kOutlineAlpha = 0.75;

// A white ring of the brush size beside the pointer while the size changes with the button
// held; it closes when the button is released. It lies in the window as a widget that lets
// the pointer through, since not every window system places a window at the pointer.
class SizePreview : public QWidget {
public:
    explicit SizePreview(QWidget* window)
        : QWidget(window)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        qApp->installEventFilter(this);
    }

    void showForSize(double size)
    {
        const int d = int(std::lround(size));
        qCDebug(lcCanvas, "Preview Size: %f", double(d));
        const QPoint at = parentWidget()->mapFromGlobal(QCursor::pos());
        const int half = int(std::lround(d / 2.0));
        setGeometry(at.x() - half, at.y() - half, d, d);
        show();
        raise();
        update();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease
            && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            deleteLater();
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        GraphicsContext ctx(painter, width(), height());
        ctx.setStrokeColor(Color(1, 1, 1, 1));
        ctx.setStrokeStyle(StrokeStyle { 2.0 });
        ctx.strokePath(BezierPath::oval(Rect(0, 0, width(), height()).insetBy(2, 2)));
    }
};

Rect outlineRect(const Point& c, double size)
{
    return { c.x - size / 2, c.y - size / 2, size, size };
}

} // namespace

PaintView::PaintView(const Rect& frame)
    : View(frame)
    , m_guard(std::make_unique<QObject>())
{
}

PaintView::~PaintView()
{
    if (m_sizePreview)
        m_sizePreview->deleteLater();
}

// ---- brush settings

void PaintView::setBrushSize(double size)
{
    if (!std::isfinite(size))
        return;
    m_size = std::clamp(size, 1.0, 10000.0);
    // The outline follows a size change at once (a pinch changes it under a still pointer).
    if (m_outline)
        updateOutline(*m_outline);
    showSizePreview();
}

void PaintView::setBrushHardness(double hardness)
{
    if (std::isfinite(hardness))
        m_hardness = std::clamp(hardness, 0.0, 1.0);
}

void PaintView::setBrushOpacity(double opacity)
{
    if (std::isfinite(opacity))
        m_opacity = std::clamp(opacity, 0.0, 1.0);
}

void PaintView::showSizePreview()
{
    ViewHost* h = host();
    if (!h || !(QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    if (!m_sizePreview)
        m_sizePreview = new SizePreview(h->window());
    static_cast<SizePreview*>(m_sizePreview.data())->showForSize(m_size);
}

// ---- the mask

double PaintView::standardMaskScale(const Size& working)
{
    const double m = std::max(working.width, working.height);
    return m > kMaskSide ? kMaskSide / m : 1.0;
}

FilterImage PaintView::workingImage() const
{
    return m_accumulator ? m_accumulator->image() : FilterImage();
}

void PaintView::installAccumulator(ImageAccumulator accumulator, double scale)
{
    if (accumulator.isValid()) {
        m_accumulator.emplace(std::move(accumulator));
        m_scale = scale;
    } else {
        m_accumulator.reset();
    }
}

// A clear accumulator of the standard size for the canvas's picture (at least one pixel a
// side); invalid without a picture.
static ImageAccumulator standardAccumulator(const Size& working, double* scale)
{
    *scale = PaintView::standardMaskScale(working);
    if (!(working.width > 0) || !(working.height > 0))
        return ImageAccumulator(Rect());
    return ImageAccumulator(
        Rect(0, 0, std::max(1.0, working.width * *scale), std::max(1.0, working.height * *scale)));
}

void PaintView::updateFrames()
{
    if (m_accumulator || !m_canvas)
        return;
    qCDebug(lcCanvas, "Update!");
    if (m_canvas->imageRect().size.width <= 0)
        return; // no picture or zoom yet; the next frame change tries again
    const Size working = m_canvas->workingSize();
    double scale = 1.0;
    ImageAccumulator accumulator = standardAccumulator(working, &scale);
    installAccumulator(std::move(accumulator), scale);
    qCDebug(lcCanvas, "%f %f", working.width, working.height);
}

void PaintView::setFrame(const Rect& frame)
{
    View::setFrame(frame);
    updateFrames();
}

void PaintView::setFrameSize(const Size& size)
{
    View::setFrameSize(size);
    updateFrames();
}

void PaintView::setWorkingImage(const FilterImage& image)
{
    const Rect extent = image ? image.extent() : Rect();
    if (extent.isNull() || extent.isEmpty() || extent.isInfinite()) {
        double scale = 1.0;
        ImageAccumulator accumulator
            = standardAccumulator(m_canvas ? m_canvas->workingSize() : Size(), &scale);
        installAccumulator(std::move(accumulator), scale);
    } else {
        ImageAccumulator accumulator(extent);
        if (accumulator.isValid())
            accumulator.setImage(image);
        // An oversized mask stays unset here; setMaskScale resamples it.
        m_pendingImage = accumulator.isValid() ? FilterImage() : image;
        installAccumulator(std::move(accumulator), m_scale);
    }
    handOverMask(Rect::null());
}

void PaintView::setMaskScale(double scale)
{
    const Size working = m_canvas ? m_canvas->workingSize() : Size();
    const FilterImage given = m_pendingImage ? m_pendingImage : workingImage();
    m_pendingImage = FilterImage();
    const Rect extent = given ? given.extent() : Rect();
    const bool fits = std::isfinite(scale) && scale > 0 && scale <= 1 && m_accumulator
        && std::abs(extent.size.width - working.width * scale) <= 1
        && std::abs(extent.size.height - working.height * scale) <= 1;
    if (fits) {
        m_scale = scale;
    } else if (working.width > 0 && working.height > 0) {
        // A mask that does not match its scale is stretched over the picture at the standard
        // scale rather than refused: it is the user's painting.
        double standard = 1.0;
        ImageAccumulator accumulator = standardAccumulator(working, &standard);
        if (given && !extent.isEmpty() && !extent.isInfinite()) {
            const Rect target = accumulator.extent();
            accumulator.setImage(given.transformed(
                AffineTransform::makeTranslation(-extent.origin.x, -extent.origin.y)
                    .concatenated(AffineTransform::makeScale(target.size.width / extent.size.width,
                        target.size.height / extent.size.height))));
        }
        installAccumulator(std::move(accumulator), standard);
    }
    handOverMask(Rect::null());
}

void PaintView::handOverMask(const Rect& dirtyInMask)
{
    if (!m_canvas)
        return;
    if (!m_accumulator) {
        m_canvas->setPrerenderedMask(FilterImage(), Rect::null());
        return;
    }
    const double s = m_scale;
    const FilterImage mask
        = m_accumulator->image().transformed(AffineTransform::makeScale(1 / s, 1 / s));
    // The canvas renders the shown picture again where the dab lands on it.
    const Rect dirty = dirtyInMask.isNull()
        ? Rect::null()
        : m_canvas->affineTransformForCustomDrawing().mapRect(Rect(dirtyInMask.origin.x / s,
            dirtyInMask.origin.y / s, dirtyInMask.size.width / s, dirtyInMask.size.height / s));
    m_canvas->setPrerenderedMask(mask, dirty);
}

// ---- dabs

Point PaintView::viewPoint(const Point& windowPoint) const
{
    return convertPointFromView(windowPoint, nullptr);
}

double PaintView::viewToMask() const
{
    const Rect r = m_canvas ? m_canvas->imageRect() : Rect();
    if (!(r.size.width > 0))
        return 0.0;
    return float(m_canvas->workingSize().width * m_scale / r.size.width);
}

void PaintView::drawLineAtPoint(const Point& windowPoint)
{
    const double f = viewToMask();
    // The mask lies on the picture, which may be shown zoomed, moved or turned: the dab goes
    // back to where the pointer is on the picture, and its size with it.
    const AffineTransform shown
        = m_canvas ? m_canvas->affineTransformForCustomDrawing() : AffineTransform();
    const std::optional<AffineTransform> toPicture = shown.inverted();
    const double zoom = std::sqrt(std::abs(shown.determinant()));
    if (!m_accumulator || !(f > 0) || !toPicture || !(zoom > 0) || !std::isfinite(zoom)) {
        handOverMask(Rect::null());
        return;
    }
    const Point c = viewPoint(windowPoint);
    if (m_opacity == 0.0)
        m_opacity = 0.0001;
    const double k = m_eraser ? 0.0 : 1.0;
    const double outer = m_size * 0.5 * f / zoom;
    const double inner = outer * m_hardness;
    const double viewToWorking = f / m_scale;
    const Point onPicture = toPicture->map({ c.x * viewToWorking, c.y * viewToWorking });
    const Point centre { onPicture.x * m_scale, onPicture.y * m_scale };
    const FilterImage dab(std::make_shared<RadialGradientNode>(
        centre, inner, outer, Color(k, k, k, m_opacity), Color(k, k, k, 0)));
    const Rect dirty = outlineRect(centre, 2 * outer);
    m_accumulator->setImage(dab.compositedOver(m_accumulator->image()), dirty);
    handOverMask(dirty);
}

// ---- events

bool PaintView::mouseDown(const Event& event)
{
    qCDebug(lcCanvas, "Mouse Down");
    NotificationCenter::defaultCenter().post(kStrokeStarted, this);
    m_mouseDown = true;
    mouseDragged(event);
    updateMouseState();
    return true;
}

bool PaintView::mouseDragged(const Event& event)
{
    qCDebug(lcCanvas, "mouse dragged");
    const Point p = event.locationInWindow();
    // Fill the gap since the last point with dabs at most kDabSpacing apart, strictly between
    // the two points: the new point gets its own dab below, and the last one had its own.
    // Without a last point (a click right after brush mode starts) there is no gap.
    if (m_lastPoint) {
        const Point q = *m_lastPoint;
        const double d = std::hypot(p.x - q.x, p.y - q.y);
        if (d > kDabSpacing) {
            const int n = int(std::ceil(d / kDabSpacing));
            for (int i = 1; i < n; ++i) {
                const double t = double(i) / n;
                drawLineAtPoint({ p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t });
            }
        }
    }
    mouseMoved(event);
    drawLineAtPoint(p);
    return true;
}

bool PaintView::mouseUp(const Event& event)
{
    (void)event;
    m_mouseDown = false;
    updateMouseState();
    NotificationCenter::defaultCenter().post(kStrokeCommitted, this);
    return true;
}

bool PaintView::mouseMoved(const Event& event)
{
    const Point p = viewPoint(event.locationInWindow());
    m_mouseInside = bounds().toQt().contains(p.x, p.y);
    updateMouseState();
    if (m_cursorHidden)
        updateOutline(p);
    m_lastPoint = event.locationInWindow();
    return true;
}

bool PaintView::mouseEntered(const Event& event)
{
    m_mouseInside = true;
    updateMouseState();
    mouseMoved(event);
    return true;
}

bool PaintView::mouseExited(const Event& event)
{
    (void)event;
    m_mouseInside = false;
    updateMouseState();
    return true;
}

void PaintView::updateTrackingAreas()
{
    if (m_trackingArea)
        removeTrackingArea(m_trackingArea);
    m_trackingArea = addTrackingArea(
        bounds(), TrackingMouseEnteredAndExited | TrackingMouseMoved | TrackingActiveInKeyWindow);
    connectHost();
}

void PaintView::connectHost()
{
    ViewHost* h = host();
    if (!h || h == m_connectedHost)
        return;
    if (m_connectedHost)
        QObject::disconnect(m_connectedHost, nullptr, m_guard.get(), nullptr);
    m_connectedHost = h;
    QObject::connect(h, &ViewHost::sheetWillBegin, m_guard.get(), [this] {
        qCDebug(lcCanvas, "Window Began Sheet!");
        windowDidLoseFocus();
    });
    QObject::connect(h, &ViewHost::resignedKey, m_guard.get(), [this] {
        qCDebug(lcCanvas, "Window Resigned!");
        windowDidLoseFocus();
    });
}

void PaintView::windowDidLoseFocus()
{
    m_mouseInside = false;
    updateMouseState();
}

bool PaintView::sheetAttached() const
{
    const ViewHost* h = host();
    return h && h->hasAttachedSheet();
}

void PaintView::updateMouseState()
{
    const bool active = (m_mouseInside || m_mouseDown) && !sheetAttached();
    if (active == m_cursorHidden)
        return;
    m_cursorHidden = active;
    if (active) {
        setCursor(Qt::BlankCursor);
        if (m_lastPoint)
            updateOutline(viewPoint(*m_lastPoint));
    } else {
        if (m_outline)
            setNeedsDisplayInRect(outlineRect(*m_outline, m_size + 2 * kOutlineWidth));
        m_outline.reset();
        setCursor(Qt::ArrowCursor);
    }
    if (m_delegate)
        m_delegate->paintViewDrawingModeStarted(*this, active);
}

void PaintView::updateOutline(const Point& p)
{
    if (m_outline)
        setNeedsDisplayInRect(outlineRect(*m_outline, m_size * 2 + 2 * kOutlineWidth));
    m_outline = p;
    setNeedsDisplayInRect(outlineRect(p, m_size + 2 * kOutlineWidth));
}

std::optional<Point> PaintView::outlineCenter() const
{
    return m_cursorHidden ? m_outline : std::nullopt;
}

void PaintView::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    (void)dirty;
    if (!m_cursorHidden || !m_outline)
        return;
    GStateGuard guard(ctx);
    ctx.setAlpha(kOutlineAlpha);
    ctx.setStrokeColor(Color(1, 1, 1, 1));
    ctx.setStrokeStyle(StrokeStyle { kOutlineWidth });
    ctx.strokePath(BezierPath::oval(outlineRect(*m_outline, m_size)));
}

} // namespace canvas
