#include "platform/ui/View.h"

#include "platform/concurrency/Parallel.h"
#include "platform/ui/UiLogging.h"
#include "platform/ui/ViewCachedDrawing_p.h"
#include "platform/ui/ViewHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

Q_LOGGING_CATEGORY(lcPlatformUi, "quillmark.platform.ui", QtWarningMsg)

namespace platform {

namespace {

int s_drawingDepth = 0;
std::uint64_t s_nextTrackingAreaId = 1;

// Marks the time a tree draws; nested scopes count.
class DrawingScope {
public:
    DrawingScope() { ++s_drawingDepth; }
    ~DrawingScope() { --s_drawingDepth; }
    DrawingScope(const DrawingScope&) = delete;
    DrawingScope& operator=(const DrawingScope&) = delete;
};

// Quarter turns are exact, so that a view turned by 90 degrees keeps whole-number corners.
void sinCosDegrees(double degrees, double& s, double& c)
{
    double turn = std::fmod(degrees, 360.0);
    if (turn < 0.0)
        turn += 360.0;
    if (turn == 0.0) {
        s = 0.0, c = 1.0;
    } else if (turn == 90.0) {
        s = 1.0, c = 0.0;
    } else if (turn == 180.0) {
        s = 0.0, c = -1.0;
    } else if (turn == 270.0) {
        s = -1.0, c = 0.0;
    } else {
        const double radians = degrees * std::numbers::pi / 180.0;
        s = std::sin(radians);
        c = std::cos(radians);
    }
}

// The frame's first corner after turning the unturned frame about its centre.
Point originForCenterRotation(const Point& center, const Size& size, double degrees)
{
    double s = 0.0, c = 1.0;
    sinCosDegrees(degrees, s, c);
    const double hw = size.width * 0.5, hh = size.height * 0.5;
    return { center.x - (c * hw - s * hh), center.y - (s * hw + c * hh) };
}

} // namespace

View::View(const Rect& frame)
{
    if (frame.isFinite()) {
        m_frameOrigin = frame.origin;
        m_frameSize = frame.size;
    } else {
        qCWarning(lcPlatformUi) << "View: non-finite frame ignored";
    }
}

View::~View()
{
    dropCachedDrawing();
}

bool View::refuseDuringDrawing(const char* what) const
{
    if (s_drawingDepth == 0)
        return false;
    qCWarning(lcPlatformUi) << "View:" << what << "during drawing ignored";
    return true;
}

bool View::isDrawing()
{
    return s_drawingDepth > 0;
}

// ---- frame and bounds

void View::setFrame(const Rect& frame)
{
    if (!frame.isFinite()) {
        qCWarning(lcPlatformUi) << "View: non-finite frame ignored";
        return;
    }
    invalidateCoverage();
    const bool resized = frame.size != m_frameSize;
    const Size old = bounds().size;
    m_frameOrigin = frame.origin;
    m_frameSize = frame.size;
    invalidateCoverage();
    if (resized)
        dropCachedDrawing();
    superviewsContentChanged(resized ? nullptr : this);
    if (resized)
        boundsDidChange(old);
}

void View::setFrameOrigin(const Point& origin)
{
    if (!origin.isFinite()) {
        qCWarning(lcPlatformUi) << "View: non-finite frame origin ignored";
        return;
    }
    invalidateCoverage();
    m_frameOrigin = origin;
    invalidateCoverage();
    superviewsContentChanged(this);
}

void View::setFrameSize(const Size& size)
{
    if (!size.isFinite()) {
        qCWarning(lcPlatformUi) << "View: non-finite frame size ignored";
        return;
    }
    invalidateCoverage();
    const Size old = bounds().size;
    const bool resized = size != m_frameSize;
    m_frameSize = size;
    invalidateCoverage();
    if (resized)
        dropCachedDrawing();
    superviewsContentChanged(resized ? nullptr : this);
    boundsDidChange(old);
}

void View::setFrameRotation(double degrees)
{
    if (!std::isfinite(degrees)) {
        qCWarning(lcPlatformUi) << "View: non-finite rotation ignored";
        return;
    }
    invalidateCoverage();
    m_rotation = degrees;
    invalidateCoverage();
    superviewsContentChanged(this);
}

void View::setFrameCenterRotation(double degrees)
{
    if (!std::isfinite(degrees)) {
        qCWarning(lcPlatformUi) << "View: non-finite rotation ignored";
        return;
    }
    const Point center = transformToSuperview().map(bounds().center());
    invalidateCoverage();
    m_rotation = degrees;
    m_frameOrigin = originForCenterRotation(center, m_frameSize, degrees);
    invalidateCoverage();
    superviewsContentChanged(this);
}

Rect View::visualFrame() const
{
    return transformToSuperview().mapRect(bounds());
}

Rect View::bounds() const
{
    return { m_boundsOrigin,
        { m_frameSize.width / m_scale.width, m_frameSize.height / m_scale.height } };
}

void View::setBoundsOrigin(const Point& origin)
{
    if (!origin.isFinite()) {
        qCWarning(lcPlatformUi) << "View: non-finite bounds origin ignored";
        return;
    }
    m_boundsOrigin = origin;
    setNeedsDisplay();
    boundsDidChange(bounds().size);
}

void View::scaleUnitSquareToSize(const Size& size)
{
    const double sx = m_scale.width * size.width, sy = m_scale.height * size.height;
    if (!size.isFinite() || size.width == 0.0 || size.height == 0.0 || !std::isfinite(sx)
        || !std::isfinite(sy) || sx == 0.0 || sy == 0.0) {
        qCWarning(lcPlatformUi) << "View: unit-square scale" << size.width << size.height
                                << "ignored";
        return;
    }
    invalidateCoverage();
    const Size old = bounds().size;
    m_scale = { sx, sy };
    m_boundsOrigin = { m_boundsOrigin.x / size.width, m_boundsOrigin.y / size.height };
    invalidateCoverage();
    dropCachedDrawing();
    superviewsContentChanged();
    boundsDidChange(old);
}

void View::setUnitScale(const Size& scale)
{
    if (!scale.isFinite() || scale.width == 0.0 || scale.height == 0.0) {
        qCWarning(lcPlatformUi) << "View: unit scale" << scale.width << scale.height << "ignored";
        return;
    }
    if (scale.width == m_scale.width && scale.height == m_scale.height)
        return;
    invalidateCoverage();
    const Size old = bounds().size;
    m_boundsOrigin = { m_boundsOrigin.x * m_scale.width / scale.width,
        m_boundsOrigin.y * m_scale.height / scale.height };
    m_scale = scale;
    invalidateCoverage();
    dropCachedDrawing();
    superviewsContentChanged();
    boundsDidChange(old);
}

void View::boundsDidChange(const Size& oldBoundsSize)
{
    if (bounds().size != oldBoundsSize)
        resizeSubviewsWithOldSize(oldBoundsSize);
    if (host())
        updateTrackingAreas();
}

// ---- conversion

AffineTransform View::transformToSuperview() const
{
    double s = 0.0, c = 1.0;
    sinCosDegrees(m_rotation, s, c);
    AffineTransform t;
    t.a = c * m_scale.width;
    t.b = s * m_scale.width;
    t.c = -s * m_scale.height;
    t.d = c * m_scale.height;
    t.tx = m_frameOrigin.x - (t.a * m_boundsOrigin.x + t.c * m_boundsOrigin.y);
    t.ty = m_frameOrigin.y - (t.b * m_boundsOrigin.x + t.d * m_boundsOrigin.y);
    return t;
}

AffineTransform View::transformToWindow() const
{
    AffineTransform t = transformToSuperview();
    for (const View* v = m_superview; v; v = v->m_superview)
        t = t.concatenated(v->transformToSuperview());
    return t;
}

Point View::convertPointFromView(const Point& p, const View* from) const
{
    const Point inWindow = from ? from->transformToWindow().map(p) : p;
    // The unit scale is never zero, so the transform always inverts.
    const auto toSelf = transformToWindow().inverted();
    return toSelf ? toSelf->map(inWindow) : inWindow;
}

Point View::convertPointToView(const Point& p, const View* to) const
{
    const Point inWindow = transformToWindow().map(p);
    if (!to)
        return inWindow;
    const auto toOther = to->transformToWindow().inverted();
    return toOther ? toOther->map(inWindow) : inWindow;
}

Rect View::convertRectFromView(const Rect& r, const View* from) const
{
    AffineTransform t = from ? from->transformToWindow() : AffineTransform();
    if (const auto toSelf = transformToWindow().inverted())
        t = t.concatenated(*toSelf);
    return t.mapRect(r);
}

Rect View::convertRectToView(const Rect& r, const View* to) const
{
    AffineTransform t = transformToWindow();
    if (to) {
        if (const auto toOther = to->transformToWindow().inverted())
            t = t.concatenated(*toOther);
    }
    return t.mapRect(r);
}

// ---- hierarchy

std::vector<View*> View::subviews() const
{
    std::vector<View*> out;
    out.reserve(m_subviews.size());
    for (const auto& v : m_subviews)
        out.push_back(v.get());
    return out;
}

View* View::subviewAt(int index) const
{
    if (index < 0 || index >= int(m_subviews.size()))
        return nullptr;
    return m_subviews[size_t(index)].get();
}

int View::indexOfSubview(const View* view) const
{
    for (size_t i = 0; i < m_subviews.size(); ++i) {
        if (m_subviews[i].get() == view)
            return int(i);
    }
    return -1;
}

View* View::addSubview(std::unique_ptr<View> view)
{
    return addSubview(std::move(view), WindowOrder::Above, nullptr);
}

View* View::addSubview(std::unique_ptr<View> view, WindowOrder order, const View* relativeTo)
{
    if (!view || refuseDuringDrawing("addSubview"))
        return nullptr;
    const int relative = relativeTo ? indexOfSubview(relativeTo) : -1;
    size_t index = 0;
    if (relative >= 0)
        index = order == WindowOrder::Above ? size_t(relative) + 1 : size_t(relative);
    else
        index = order == WindowOrder::Above ? m_subviews.size() : 0;
    View* added = view.get();
    added->m_superview = this;
    added->m_host = nullptr;
    m_subviews.insert(m_subviews.begin() + std::ptrdiff_t(index), std::move(view));
    added->invalidateCoverage();
    added->superviewsContentChanged();
    if (host())
        added->treeDidGetHost();
    return added;
}

std::unique_ptr<View> View::removeFromSuperview()
{
    if (!m_superview || refuseDuringDrawing("removeFromSuperview"))
        return {};
    invalidateCoverage();
    superviewsContentChanged();
    auto& siblings = m_superview->m_subviews;
    const auto it = std::find_if(
        siblings.begin(), siblings.end(), [this](const auto& v) { return v.get() == this; });
    std::unique_ptr<View> self = std::move(*it);
    siblings.erase(it);
    m_superview = nullptr;
    return self;
}

bool View::isDescendantOf(const View* view) const
{
    for (const View* v = this; v; v = v->m_superview) {
        if (v == view)
            return true;
    }
    return false;
}

View* View::rootView()
{
    View* v = this;
    while (v->m_superview)
        v = v->m_superview;
    return v;
}

ViewHost* View::host() const
{
    const View* v = this;
    while (v->m_superview)
        v = v->m_superview;
    return v->m_host;
}

double View::backingScaleFactor() const
{
    const ViewHost* h = host();
    return h ? h->devicePixelRatio() : 1.0;
}

void View::treeDidGetHost()
{
    updateTrackingAreas();
    for (const auto& sub : m_subviews)
        sub->treeDidGetHost();
}

// ---- visibility and layer properties

void View::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    if (hidden)
        invalidateCoverage();
    m_hidden = hidden;
    if (!hidden)
        invalidateCoverage();
    superviewsContentChanged();
}

bool View::isHiddenOrHasHiddenAncestor() const
{
    for (const View* v = this; v; v = v->m_superview) {
        if (v->m_hidden)
            return true;
    }
    return false;
}

void View::setAlphaValue(double alpha)
{
    const double clamped = std::isnan(alpha) ? 1.0 : std::clamp(alpha, 0.0, 1.0);
    if (clamped == m_alpha)
        return;
    m_alpha = clamped;
    invalidateCoverage();
    superviewsContentChanged();
}

void View::setShadow(const std::optional<Shadow>& shadow)
{
    if (shadow
        && (!shadow->offset.isFinite() || !std::isfinite(shadow->blur)
            || !std::isfinite(shadow->color.alpha))) {
        qCWarning(lcPlatformUi) << "View: non-finite shadow ignored";
        return;
    }
    invalidateCoverage();
    m_shadow = shadow;
    if (m_shadow)
        m_shadow->blur = std::max(0.0, m_shadow->blur);
    invalidateCoverage();
    superviewsContentChanged();
}

double View::shadowReach() const
{
    if (!m_shadow)
        return 0.0;
    // The Gaussian (sigma = blur / 2) is negligible beyond three sigma.
    return std::abs(m_shadow->offset.width) + std::abs(m_shadow->offset.height)
        + 1.5 * m_shadow->blur + 1.0;
}

Shadow View::shadowInBaseSpace(const AffineTransform& ctm) const
{
    Shadow s = *m_shadow;
    s.offset = ctm.mapSize(m_shadow->offset);
    s.blur = m_shadow->blur * std::sqrt(std::abs(ctm.determinant()));
    return s;
}

double View::shadowReachInTree(const AffineTransform& ownToTarget) const
{
    if (m_hidden)
        return 0.0;
    double reach = 0.0;
    if (m_shadow) {
        // The most the transform stretches any unit vector, bounded from above.
        const double stretch = std::max(std::abs(ownToTarget.a) + std::abs(ownToTarget.c),
            std::abs(ownToTarget.b) + std::abs(ownToTarget.d));
        reach = shadowReach() * stretch;
    }
    for (const auto& sub : m_subviews) {
        reach = std::max(
            reach, sub->shadowReachInTree(sub->transformToSuperview().concatenated(ownToTarget)));
    }
    return reach;
}

Rect View::coverageInSuperview() const
{
    const double reach = shadowReach();
    return transformToSuperview().mapRect(bounds().standardized().insetBy(-reach, -reach));
}

void View::invalidateCoverage()
{
    if (m_hidden || s_drawingDepth > 0)
        return;
    if (m_superview) {
        m_superview->markNeedsDisplayInRect(coverageInSuperview());
    } else if (m_host) {
        m_host->setNeedsDisplayInWindowRect(coverageInSuperview());
    }
}

// ---- display

void View::setNeedsDisplay()
{
    setNeedsDisplayInRect(bounds());
}

void View::setNeedsDisplayInRect(const Rect& rect)
{
    if (refuseDuringDrawing("setNeedsDisplay") || !rect.isFinite() || rect.isNull())
        return;
    for (View* v = this; v; v = v->m_superview)
        v->dropCachedDrawing();
    markNeedsDisplayInRect(rect);
}

void View::superviewsContentChanged(const View* moved)
{
    if (s_drawingDepth > 0)
        return;
    for (View* v = m_superview; v; v = v->m_superview) {
        if (v->m_cachedDrawing && !(moved && v->cachedDrawingAnchor() == moved))
            v->dropCachedDrawing();
    }
}

void View::markNeedsDisplayInRect(const Rect& rect)
{
    if (s_drawingDepth > 0 || !rect.isFinite() || rect.isNull())
        return;
    const Rect r = rect.standardized();
    m_dirty = m_dirty.united(r);
    // Pass the area up to the host, through each level's transform and shadow, clipped to
    // what each superview shows.
    Rect area = r;
    for (const View* v = this; v; v = v->m_superview) {
        if (v->m_hidden)
            return;
        if (v->m_shadow) {
            const double reach = v->shadowReach();
            area = area.insetBy(-reach, -reach);
        }
        area = v->transformToSuperview().mapRect(area);
        if (v->m_superview) {
            area = area.intersection(v->m_superview->bounds().standardized());
            if (area.isNull() || area.isEmpty())
                return;
        } else if (v->m_host) {
            v->m_host->setNeedsDisplayInWindowRect(area);
        }
    }
}

void View::clearNeedsDisplayInTree()
{
    m_dirty = Rect::null();
    for (const auto& sub : m_subviews)
        sub->clearNeedsDisplayInTree();
}

void View::drawRect(const Rect&, GraphicsContext&)
{
}

void View::displayInSuperview(GraphicsContext& ctx, const Rect& dirtyInSuperview)
{
    if (m_hidden || m_alpha <= 0.0)
        return;
    if (!dirtyInSuperview.intersects(coverageInSuperview()))
        return;
    DrawingScope drawing;
    GStateGuard state(ctx);
    const AffineTransform toSuperview = transformToSuperview();
    ctx.concatCTM(toSuperview);
    const auto toSelf = toSuperview.inverted();
    Rect dirty = toSelf ? toSelf->mapRect(dirtyInSuperview) : bounds();
    if (m_cachesDrawing) {
        displayCached(ctx, dirty);
        return;
    }
    if (m_alpha >= 1.0 && !m_shadow) {
        displayContent(ctx, dirty);
        return;
    }
    if (m_shadow) {
        // Content outside the dirty area may cast its shadow into it.
        const double reach = shadowReach();
        dirty = dirty.insetBy(-reach, -reach);
        ctx.setShadow(shadowInBaseSpace(ctx.ctm()));
    } else {
        ctx.clearShadow();
    }
    ctx.setAlpha(m_alpha);
    ctx.beginTransparencyLayer();
    displayContent(ctx, dirty);
    ctx.endTransparencyLayer();
}

void View::displayContent(GraphicsContext& ctx, const Rect& dirty)
{
    DrawingScope drawing;
    GStateGuard state(ctx);
    const Rect b = bounds().standardized();
    ctx.clipToRect(b);
    const Rect visible = dirty.intersection(b);
    if (visible.isNull() || visible.isEmpty())
        return;
    {
        GStateGuard own(ctx);
        drawRect(visible, ctx);
    }
    for (const auto& sub : m_subviews) {
        if (drawsSubview(*sub))
            sub->displayInSuperview(ctx, visible);
    }
}

// ---- hit testing

View* View::hitTest(const Point& pointInSuperview)
{
    if (m_hidden)
        return nullptr;
    const auto toSelf = transformToSuperview().inverted();
    if (!toSelf)
        return nullptr;
    const Point p = toSelf->map(pointInSuperview);
    if (!bounds().standardized().contains(p))
        return nullptr;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        if (View* hit = (*it)->hitTest(p))
            return hit;
    }
    return this;
}

// ---- events: by default up the responder chain

bool View::mouseDown(const Event& e)
{
    return forward(&View::mouseDown, e);
}
bool View::mouseDragged(const Event& e)
{
    return forward(&View::mouseDragged, e);
}
bool View::mouseUp(const Event& e)
{
    return forward(&View::mouseUp, e);
}
bool View::mouseMoved(const Event& e)
{
    return forward(&View::mouseMoved, e);
}
bool View::rightMouseDown(const Event& e)
{
    return forward(&View::rightMouseDown, e);
}
bool View::otherMouseDown(const Event& e)
{
    return forward(&View::otherMouseDown, e);
}
bool View::rightMouseDragged(const Event& e)
{
    return forward(&View::rightMouseDragged, e);
}
bool View::rightMouseUp(const Event& e)
{
    return forward(&View::rightMouseUp, e);
}
bool View::mouseEntered(const Event& e)
{
    return forward(&View::mouseEntered, e);
}
bool View::mouseExited(const Event& e)
{
    return forward(&View::mouseExited, e);
}
bool View::cursorUpdate(const Event& e)
{
    return forward(&View::cursorUpdate, e);
}
bool View::keyDown(const Event& e)
{
    return forward(&View::keyDown, e);
}
bool View::keyUp(const Event& e)
{
    return forward(&View::keyUp, e);
}
bool View::magnifyWithEvent(const Event& e)
{
    return forward(&View::magnifyWithEvent, e);
}

bool View::rotateWithEvent(const Event& e)
{
    return forward(&View::rotateWithEvent, e);
}

bool View::scrollWheel(const Event& e)
{
    return forward(&View::scrollWheel, e);
}

bool View::isFirstResponder() const
{
    const ViewHost* h = host();
    return h && h->firstResponder() == this;
}

// ---- tracking areas and cursors

std::uint64_t View::addTrackingArea(const Rect& rect, unsigned options, QVariant userInfo)
{
    TrackingArea area;
    area.id = s_nextTrackingAreaId++;
    area.rect = rect.isFinite() ? rect.standardized() : Rect();
    area.options = options;
    area.userInfo = std::move(userInfo);
    m_trackingAreas.push_back(std::move(area));
    return m_trackingAreas.back().id;
}

void View::removeTrackingArea(std::uint64_t id)
{
    std::erase_if(m_trackingAreas, [id](const TrackingArea& a) { return a.id == id; });
}

std::optional<QCursor> View::cursorForPoint(const Point&)
{
    return std::nullopt;
}

void View::setCursor(const QCursor& cursor)
{
    if (ViewHost* h = host())
        h->setViewCursor(cursor);
}

// ---- offscreen rendering

Image renderToImage(View& view, const Rect& rect, double scale)
{
    // A picture for elsewhere (an export, a warp capture): drawn afresh, nothing kept.
    const View::KeepingPictures notKeeping(false);
    if (!rect.isFinite() || !std::isfinite(scale) || scale <= 0.0) {
        qCWarning(lcPlatformUi) << "renderToImage: bad rect or scale";
        return {};
    }
    const Rect r = rect.standardized();
    if (r.isEmpty())
        return {};
    // A hair of tolerance keeps 100 * 1.1 from becoming 111 pixels.
    const double width = std::ceil(r.width() * scale - 1e-9);
    const double height = std::ceil(r.height() * scale - 1e-9);
    constexpr double kMaxSide = 16384.0, kMaxPixels = double(1 << 28);
    if (!(width >= 1.0 && height >= 1.0) || width > kMaxSide || height > kMaxSide
        || width * height > kMaxPixels) {
        qCWarning(lcPlatformUi) << "renderToImage: picture of" << width << "x" << height
                                << "pixels refused";
        return {};
    }
    // Shadows cast from just outside the rect must land in it: draw a margin as wide as the
    // farthest shadow reaches (whole pixels, capped), then cut it away.
    double reach = 0.0;
    if (!view.isHidden()) {
        for (const View* sub : view.subviews())
            reach = std::max(reach, sub->shadowReachInTree(sub->transformToSuperview()));
    }
    const double reachPixels = reach * scale;
    int margin = std::isfinite(reachPixels) ? int(std::min(std::ceil(reachPixels), 512.0)) : 512;
    if ((width + 2 * margin) * (height + 2 * margin) > kMaxPixels) {
        qCWarning(lcPlatformUi) << "renderToImage: no room for the shadow margin";
        margin = 0;
    }
    // A view redrawn every frame would take a fresh buffer of megabytes each time, whose first
    // touch of every page costs more than the drawing into it. The last buffer is kept per
    // thread and taken again once no picture shares it any more (up to a bound, so that one
    // huge picture does not pin its memory).
    constexpr qsizetype kKeptBytes = qsizetype(16) << 20;
    thread_local QImage spare;
    const QSize size(int(width) + 2 * margin, int(height) + 2 * margin);
    QImage pixels;
    if (spare.size() == size && spare.format() == QImage::Format_ARGB32_Premultiplied
        && spare.isDetached())
        pixels = std::move(spare);
    else
        pixels = QImage(size, QImage::Format_ARGB32_Premultiplied);
    spare = QImage();
    if (pixels.isNull())
        return {};
    // Megabytes of clearing and copying below: spread over the cores like the drawing.
    constexpr long kParallelBytes = 2L << 20;
    {
        uchar* const bits = pixels.bits();
        const qsizetype stride = pixels.bytesPerLine();
        parallelRows(pixels.height(), int(stride), kParallelBytes, [&](int top, int bottom) {
            std::memset(bits + top * stride, 0, size_t((bottom - top) * stride));
        });
    }
    if (!view.isHidden()) {
        const double m = margin / scale;
        GraphicsContext ctx(pixels, scale);
        ctx.translateCTM(m - r.x(), m - r.y());
        view.displayContent(ctx, r.insetBy(-m, -m));
    }
    if (pixels.sizeInBytes() <= kKeptBytes)
        spare = pixels;
    if (margin > 0) {
        // The margin is cut away without copying: the picture is the middle of the pixels,
        // read with their stride, and keeps them alive (the spare is taken again once it is
        // let go). (Read through constBits: bits() would copy what the spare shares.)
        auto* holder = new QImage(pixels);
        QImage cut(
            const_cast<uchar*>(holder->constBits()) + margin * holder->bytesPerLine() + margin * 4,
            int(width), int(height), holder->bytesPerLine(), QImage::Format_ARGB32_Premultiplied,
            [](void* kept) { delete static_cast<QImage*>(kept); }, holder);
        if (cut.isNull()) {
            delete holder;
            return {};
        }
        pixels = std::move(cut);
    }
    return Image::fromQImage(pixels, r.size);
}

} // namespace platform
