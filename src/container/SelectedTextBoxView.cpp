#include "container/SelectedTextBoxView.h"

#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/ShapeOutline.h"
#include "boxes/UnitBoxMap.h"
#include "container/TextViewContainer.h"
#include "foundation/CMyLine.h"
#include "platform/graphics/BezierPath.h"
#include "platform/ui/ViewDrawingCache.h"

#include <array>
#include <bit>
#include <cmath>

using platform::BezierPath;
using platform::Color;
using platform::GraphicsContext;
using platform::Point;
using platform::Rect;

namespace {

using Outline = std::array<Point, 8>;

Outline outlineOf(const MyViewBase& box)
{
    Outline p;
    box.GetFourPoints(p, 0.0);
    return p;
}

FloatPoint toFloat(const Point& p)
{
    return FloatPoint(p);
}

Point toPoint(const FloatPoint& p)
{
    return Point(double(p.x), double(p.y));
}

// The point d beyond `at` on the line from `from` towards `toward`, on the side away from
// `toward` (the second output of PointsAtDistance).
Point beyond(const Point& from, const Point& toward, const Point& at, float d)
{
    const CMyLine line(toFloat(from), toFloat(toward));
    FloatPoint ahead, back;
    line.PointsAtDistance(toFloat(at), d, &ahead, &back);
    return toPoint(back);
}

// A thumb bar beyond b on the line from b to a: a bar 6 units wide from about d/3 to 5d/3.
std::vector<Point> thumbBar(const Point& a, const Point& b, float d)
{
    const CMyLine line(toFloat(b), toFloat(a));
    FloatPoint c0, c1, unused;
    line.PointsAtDistance(toFloat(b), d * 0.5f - d / 6.0f, &unused, &c0);
    line.PointsAtDistance(toFloat(b), d / 6.0f + (d * 0.5f + d), &unused, &c1);
    FloatPoint e0, e1, f0, f1;
    line.Perpendicular(c0).PointsAtDistance(c0, 3.0f, &e0, &e1);
    line.Perpendicular(c1).PointsAtDistance(c1, 3.0f, &f0, &f1);
    return { toPoint(e0), toPoint(e1), toPoint(f1), toPoint(f0) };
}

// Where a perspective value puts its thumb along the edge: its middle for none.
float thumbPosition(float value)
{
    return std::fabs(value) < 0.0001f ? 0.5f : (value + 1.0f) * 0.5f;
}

BezierPath closedPath(const std::vector<Point>& pts)
{
    BezierPath path;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (i == 0)
            path.moveTo(pts[i]);
        else
            path.lineTo(pts[i]);
    }
    if (!pts.empty())
        path.closePath();
    return path;
}

Rect squareAround(const Point& p, double s)
{
    return Rect(p.x - s, p.y - s, 2.0 * s, 2.0 * s);
}

void fillAndStroke(
    GraphicsContext& ctx, const BezierPath& path, const Color& fill, const Color& stroke)
{
    ctx.setFillColor(fill);
    ctx.fillPath(path);
    ctx.setStrokeColor(stroke);
    ctx.strokePath(path);
}

void drawPerspectiveGrips(GraphicsContext& ctx, const MyViewBase& box, const Outline& p)
{
    ctx.setStrokeColor(Color::white());
    const float dv = float(box.frame().size.height / 5.0);
    ctx.strokePath(closedPath({ beyond(p[2], p[3], p[2], dv), beyond(p[5], p[4], p[5], dv * 0.5f),
        beyond(p[1], p[0], p[1], dv), beyond(p[5], p[4], p[5], dv * 0.5f + dv) }));
    const float dh = float(box.frame().size.width / 5.0);
    ctx.strokePath(closedPath({ beyond(p[3], p[0], p[3], dh), beyond(p[7], p[6], p[7], dh * 0.5f),
        beyond(p[2], p[1], p[2], dh), beyond(p[7], p[6], p[7], dh * 0.5f + dh) }));
}

void drawCurveGuide(GraphicsContext& ctx, const MyViewBase& box, double s)
{
    const std::vector<Point> mapped = SelectedTextBoxView::curveGuidePoints(box);
    if (mapped.empty())
        return;
    // One smooth run through every point: no corners, nothing being drawn.
    ShapeModel smooth;
    smooth.controlVals.assign(mapped.size(), ControlValue());
    if (const auto samples = splinePoints(smooth, mapped)) {
        BezierPath guide;
        for (std::size_t i = 0; i < samples->points.size(); ++i) {
            if (i == 0)
                guide.moveTo(samples->points[i]);
            else
                guide.lineTo(samples->points[i]);
        }
        ctx.setStrokeColor(Color::white());
        ctx.strokePath(guide);
    }
    for (std::size_t i = 0; i < mapped.size(); ++i) {
        const bool end = i == 0 || i + 1 == mapped.size();
        fillAndStroke(ctx, BezierPath::rect(squareAround(mapped[i], s)),
            end ? Color::white() : SelectedTextBoxView::kThumbFill,
            SelectedTextBoxView::kThumbStroke);
    }
}

void drawShapePoints(GraphicsContext& ctx, const MyShapeView& shape, const Outline& p, double s)
{
    const BoxCorners corners = boxCorners(p);
    for (const Point& unit : shape.controlPoints()) {
        fillAndStroke(ctx, BezierPath::oval(squareAround(calcPoints(corners, unit), s)),
            SelectedTextBoxView::kPointFill, SelectedTextBoxView::kPointStroke);
    }
}

void drawSelectedBox(GraphicsContext& ctx, const MyViewBase& box, double s)
{
    const auto* shape = dynamic_cast<const MyShapeView*>(&box);
    const bool editing = box.isEditing();
    const Color outline = dynamic_cast<const MyTextView*>(&box) && editing
        ? SelectedTextBoxView::kEditingOutline
        : SelectedTextBoxView::kSelectedOutline;
    const Outline p = outlineOf(box);
    const bool warped = box.isWarped();

    // A shape whose points are being edited or drawn shows its points alone.
    if (!(shape && (editing || shape->isDrawing()))) {
        ctx.setStrokeColor(outline);
        BezierPath path;
        path.moveTo(p[0]);
        path.lineTo(p[1]);
        path.lineTo(p[2]);
        path.lineTo(p[3]);
        path.lineTo(p[0]);
        path.lineTo(p[1]);
        ctx.strokePath(path);
        if (!editing) {
            for (const Point& handle : p) {
                fillAndStroke(
                    ctx, BezierPath::rect(squareAround(handle, s)), Color::white(), Color::black());
            }
            if (warped) {
                drawPerspectiveGrips(ctx, box, p);
                const auto thumb = [&](const std::vector<Point>& bar) {
                    fillAndStroke(ctx, closedPath(bar), SelectedTextBoxView::kThumbFill,
                        SelectedTextBoxView::kThumbStroke);
                };
                thumb(SelectedTextBoxView::verticalThumb(box));
                thumb(SelectedTextBoxView::horizontalThumb(box));
                drawCurveGuide(ctx, box, s);
            }
        }
    }
    if (shape && (editing || !warped))
        drawShapePoints(ctx, *shape, p, s);
}

} // namespace

SelectedTextBoxView::SelectedTextBoxView(const Rect& frame)
    : View(frame)
{
}

SelectedTextBoxView::~SelectedTextBoxView()
{
    platform::ViewDrawingCache::account(-m_feedbackBytes);
}

void SelectedTextBoxView::forgetFeedback(std::map<FeedbackKey, Feedback>::iterator it)
{
    const qsizetype bytes = it->second.picture.sizeInBytes();
    m_feedbackBytes -= bytes;
    platform::ViewDrawingCache::account(-bytes);
    m_feedback.erase(it);
}

void SelectedTextBoxView::drawFeedback(GraphicsContext& ctx, const MyViewBase& box, double halfSize,
    const platform::AffineTransform& toDevice)
{
    const Outline p = outlineOf(box);
    std::array<Point, 8> device;
    for (std::size_t i = 0; i < p.size(); ++i)
        device[i] = toDevice.map(p[i]);
    constexpr double kLimit = 1e7;
    bool keyed = std::abs(device[0].x) < kLimit && std::abs(device[0].y) < kLimit;
    const QPoint anchor
        = keyed ? QPoint(int(std::floor(device[0].x)), int(std::floor(device[0].y))) : QPoint();
    std::array<Point, 8> relative;
    FeedbackKey key {};
    for (std::size_t i = 0; keyed && i < device.size(); ++i) {
        relative[i] = Point(device[i].x - anchor.x(), device[i].y - anchor.y());
        keyed = std::abs(relative[i].x) < kLimit && std::abs(relative[i].y) < kLimit;
        key[2 * i] = std::llround(relative[i].x * 1e6);
        key[2 * i + 1] = std::llround(relative[i].y * 1e6);
    }
    if (!keyed) {
        drawSelectedBox(ctx, box, halfSize);
        return;
    }
    const double exact[] = { toDevice.a, toDevice.b, toDevice.c, toDevice.d, halfSize };
    for (std::size_t i = 0; i < 5; ++i)
        key[16 + i] = std::bit_cast<qint64>(exact[i]);
    const auto kept = m_feedback.find(key);
    if (kept != m_feedback.end()) {
        constexpr double kHair = 1e-7;
        bool same = true;
        for (std::size_t i = 0; same && i < relative.size(); ++i)
            same = std::abs(relative[i].x - kept->second.relative[i].x) <= kHair
                && std::abs(relative[i].y - kept->second.relative[i].y) <= kHair;
        if (same) {
            kept->second.lastUse = ++m_feedbackUses;
            ctx.drawDevicePicture(kept->second.picture, anchor + kept->second.offset);
            return;
        }
    }
    // Handles reach half their side and half a line beyond the points, and a pixel more for
    // antialiasing.
    double x0 = device[0].x, y0 = device[0].y, x1 = x0, y1 = y0;
    for (const Point& d : device) {
        x0 = std::min(x0, d.x), y0 = std::min(y0, d.y);
        x1 = std::max(x1, d.x), y1 = std::max(y1, d.y);
    }
    const double stretch = std::max(
        std::abs(toDevice.a) + std::abs(toDevice.c), std::abs(toDevice.b) + std::abs(toDevice.d));
    const double margin = (halfSize + 1.0) * stretch + 2.0;
    const QRect area = QRectF(QPointF(x0 - margin, y0 - margin), QPointF(x1 + margin, y1 + margin))
                           .toAlignedRect();
    if (!std::isfinite(margin) || area.isEmpty() || double(area.width()) * area.height() > 1e7) {
        drawSelectedBox(ctx, box, halfSize);
        return;
    }
    ctx.beginPicture(area);
    drawSelectedBox(ctx, box, halfSize);
    QPoint origin;
    QImage picture = ctx.endPicture(origin);
    ctx.drawDevicePicture(picture, origin);
    if (kept != m_feedback.end())
        forgetFeedback(kept);
    // At most a quarter of the pictures' budget (a screenful) goes to the feedback; the least
    // recently used go first, but none put down in this draw.
    const qsizetype bytes = picture.sizeInBytes();
    const qsizetype limit = platform::ViewDrawingCache::budgetBytes() / 4;
    while (m_feedbackBytes + bytes > limit && !m_feedback.empty()) {
        auto oldest = m_feedback.begin();
        for (auto it = m_feedback.begin(); it != m_feedback.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        }
        if (oldest->second.lastUse > m_drawStart)
            return;
        forgetFeedback(oldest);
    }
    if (m_feedbackBytes + bytes > limit)
        return;
    m_feedbackBytes += bytes;
    platform::ViewDrawingCache::account(bytes);
    m_feedback.emplace(
        key, Feedback { relative, std::move(picture), origin - anchor, ++m_feedbackUses });
}

TextViewContainer* SelectedTextBoxView::container() const
{
    return dynamic_cast<TextViewContainer*>(txtViewContainer.get());
}

void SelectedTextBoxView::setContainer(TextViewContainer* container)
{
    txtViewContainer = container;
}

double SelectedTextBoxView::handleHalfSize(double zoom)
{
    if (!std::isfinite(zoom) || !(zoom > 0.0))
        zoom = 1.0;
    return 3.3 / zoom;
}

std::vector<Point> SelectedTextBoxView::curveGuidePoints(const MyViewBase& box)
{
    const BoxCorners corners = boxCorners(outlineOf(box));
    std::vector<Point> mapped;
    mapped.reserve(box.curves().size());
    for (const Point& c : box.curves()) {
        const double y = std::fabs(c.y) < 0.0001 ? 0.0 : c.y;
        mapped.push_back(calcPoints(corners, Point(c.x, y - 0.2)));
    }
    return mapped;
}

std::vector<Point> SelectedTextBoxView::verticalThumb(const MyViewBase& box)
{
    const BoxCorners corners = boxCorners(outlineOf(box));
    const float t = thumbPosition(box.vertPerspective());
    return thumbBar(calcPoints(corners, 0.0, double(t)), calcPoints(corners, 1.0, double(t)),
        float(box.frame().size.height / 5.0));
}

std::vector<Point> SelectedTextBoxView::horizontalThumb(const MyViewBase& box)
{
    const BoxCorners corners = boxCorners(outlineOf(box));
    const float t = thumbPosition(box.horzPerspective());
    return thumbBar(calcPoints(corners, double(t), 0.0), calcPoints(corners, double(t), 1.0),
        float(box.frame().size.width / 5.0));
}

platform::View* SelectedTextBoxView::hitTest(const Point& pointInSuperview)
{
    (void)pointInSuperview;
    return nullptr;
}

void SelectedTextBoxView::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    View::drawRect(dirty, ctx);
    const TextViewContainer* c = container();
    if (!c)
        return;
    platform::GStateGuard guard(ctx);
    ctx.setStrokeStyle(platform::StrokeStyle {});
    if (c->mouseDownState == 2) {
        ctx.setFillColor(kRubberBand);
        ctx.fillRect(c->rectSelecting);
    }
    const double s = handleHalfSize(c->zoomScale());
    const platform::AffineTransform toDevice = ctx.userToDeviceTransform();
    if (m_feedbackClears != platform::ViewDrawingCache::clearCount()) {
        // Every kept picture was let go.
        while (!m_feedback.empty())
            forgetFeedback(m_feedback.begin());
        m_feedbackClears = platform::ViewDrawingCache::clearCount();
    }
    m_drawStart = m_feedbackUses;
    for (const MyViewBase* box : c->textViewAry) {
        if (!box || !box->selected())
            continue;
        // A plain box's feedback is drawn as a picture, kept while boxes show it.
        const bool plain
            = !box->isEditing() && !box->isWarped() && !dynamic_cast<const MyShapeView*>(box);
        if (plain)
            drawFeedback(ctx, *box, s, toDevice);
        else
            drawSelectedBox(ctx, *box, s);
    }
    if (c->brushPreviewLayer) {
        platform::StrokeStyle wide;
        wide.width = kBrushPreviewWidth;
        ctx.setStrokeStyle(wide);
        ctx.setStrokeColor(kBrushPreview);
        ctx.strokePath(BezierPath::oval(*c->brushPreviewLayer));
    }
}
