// The container's warp capture: one box rendered flat and unturned into a bitmap, then bent by
// its curve and perspective scaled by the edit animation's fraction; the other stale selected
// boxes are bent with it, in parallel.
#include "boxes/BoxStatics.h"
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyViewBase.h"
#include "container/ContainerLogging.h"
#include "container/EditAnimator.h"
#include "container/TextViewContainer.h"
#include "container/WarpRenderer.h"
#include "platform/concurrency/ThreadPool.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

using platform::Image;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

// The warp runs per pixel: the bitmap is kept at most this many pixels on its longer side.
constexpr double kMaxWarpSide = 1500.0;
// The wrapper is enlarged to this while it renders, so that a box beyond the container's
// bounds is still drawn.
constexpr double kCaptureCanvas = 5000.0;

// A box rendered flat, with what its warp takes and what places the result: the capture's
// origin in the container and its pixels per point.
struct FlatCapture {
    Image picture;
    std::vector<Point> curve;
    float h = 0.0f, v = 0.0f;
    Point r0;
    float sx = 1.0f, sy = 1.0f;
};

// Renders the box flat and unturned. Main thread: it moves views for the time it draws.
std::optional<FlatCapture> captureFlat(MyViewBase& box, platform::View& wrapper, float fVal)
{
    // Saved whole and put back as they were: a draw must not change the box's record, and
    // turning back through the centre or shifting imgRect twice would not round-trip exactly.
    const Rect savedFrame = box.frame();
    const Rect savedImgRect = box.imgRect;
    const double turn = box.rotationAngle();
    box.setRotationAngle(0.0);

    const Point origin = box.frame().origin;
    const double m = double(box.borderSize()) + double(box.strokeSize());
    const Rect captured = box.frame().insetBy(-m, -m).united(box.drawnBounds());
    FlatCapture c;
    c.r0 = captured.origin;
    gWarpCaptureRect.rect = captured;

    const Size wrapperSize = wrapper.frame().size;
    wrapper.setFrameSize(Size(kCaptureCanvas, kCaptureCanvas));
    if (c.r0.x < 0.0 || c.r0.y < 0.0) {
        // Moved so that the capture starts at the wrapper's origin.
        box.setFrameOrigin(Point(origin.x - c.r0.x, origin.y - c.r0.y));
        gWarpCaptureRect.rect.origin = Point(0, 0);
    }
    // Rendered straight at the size the warp takes (at most kMaxWarpSide pixels a side) rather
    // than rendered large and reduced; the pixels per point are read from the result.
    const double longer = std::max(captured.width(), captured.height());
    const double scale = longer > kMaxWarpSide ? kMaxWarpSide / longer : 1.0;
    gWarpCaptureRect.capturing = true;
    Image picture = platform::renderToImage(wrapper, gWarpCaptureRect.rect, scale);
    gWarpCaptureRect.capturing = false;
    wrapper.setFrameSize(wrapperSize);
    box.setRotationAngle(turn);
    box.setFrameOrigin(savedFrame.origin);
    box.imgRect = savedImgRect;
    if (picture.isNull())
        return std::nullopt;

    const QSize pixels = picture.pixelSize();
    c.sx = float(pixels.width()) / float(captured.width());
    c.sy = float(pixels.height()) / float(captured.height());
    c.curve = box.curves();
    for (Point& p : c.curve)
        p.y *= double(fVal);
    c.h = box.horzPerspective() * fVal;
    c.v = box.vertPerspective() * fVal;
    // The picture is made from the pixels: its point size is its pixel size.
    c.picture = Image::fromQImage(picture.toQImage());
    return c;
}

// The warped picture and where it goes, in container coordinates before the box's turn.
Image placed(const FlatCapture& c, const std::optional<WarpRenderer::Result>& warped, Rect& rtImage)
{
    if (!warped)
        return Image();
    const Rect& rt = warped->rect;
    rtImage = Rect(c.r0.x + rt.x() / double(c.sx), c.r0.y + rt.y() / double(c.sy),
        rt.width() / double(c.sx), rt.height() / double(c.sy));
    return warped->image;
}

// The other selected boxes that their nests will draw warped and whose pictures are stale:
// after an inspector change they are the boxes this paint bends again.
std::vector<MyViewBase*> staleWarpedSelection(
    const std::vector<MyViewBase*>& boxes, const MyViewBase& except)
{
    std::vector<MyViewBase*> stale;
    for (MyViewBase* b : boxes) {
        platform::View* wrapper = b->superview();
        const auto* nest
            = dynamic_cast<const MyPerspectiveView*>(wrapper ? wrapper->superview() : nullptr);
        if (b == &except || !b->selected() || !nest || MyPerspectiveView::cacheIsValid(*b)
            || nest->drawingFor(*wrapper) != MyPerspectiveView::BoxDrawing::Warped)
            continue;
        stale.push_back(b);
    }
    return stale;
}

} // namespace

Image TextViewContainer::image_curved_perspectived(
    MyViewBase& box, platform::View& wrapper, float fVal, Rect& rtImage)
{
    qCDebug(lcContainer) << "image_curved_perspectived started";
    std::vector<MyViewBase*> boxes { &box };
    // A full warp also bends the other stale selected boxes now, each on its own share of the
    // threads, and leaves their pictures for their nests' draws in this paint: a change to 20
    // selected boxes then waits for the slowest warp, not for the sum. A test's warp double
    // is called for this box alone, on this thread.
    // At most one box per thread at a time, so that the flat and bent pictures held at once
    // stay bounded; the boxes left over are bent with the next one that draws.
    if (fVal == 1.0f && !m_warpRenderer) {
        const std::vector<MyViewBase*> others = staleWarpedSelection(textViewAry, box);
        const std::size_t room = std::size_t(std::max(1, platform::ThreadPool::maxThreads()) - 1);
        boxes.insert(boxes.end(), others.begin(),
            others.begin() + std::ptrdiff_t(std::min(room, others.size())));
    }
    std::vector<std::optional<FlatCapture>> captures;
    captures.reserve(boxes.size());
    for (std::size_t i = 0; i < boxes.size(); ++i)
        captures.push_back(
            captureFlat(*boxes[i], i ? *boxes[i]->superview() : wrapper, i ? 1.0f : fVal));
    qCDebug(lcContainer).noquote()
        << QString::asprintf("bounds size:%f %f", bounds().width(), bounds().height());

    std::vector<std::optional<WarpRenderer::Result>> warped(boxes.size());
    const auto warp = [&](int i) {
        const std::optional<FlatCapture>& c = captures[std::size_t(i)];
        if (!c)
            return;
        warped[std::size_t(i)] = m_warpRenderer
            ? m_warpRenderer(c->picture, c->curve, double(c->h), double(c->v))
            : WarpRenderer::perspectiveCurved(c->picture, c->curve, double(c->h), double(c->v));
    };
    if (boxes.size() == 1)
        warp(0);
    else
        platform::ThreadPool::parallelFor(int(boxes.size()), warp);
    qCDebug(lcContainer) << "image_curved_perspectived ended";

    // The others keep their pictures as their nests would have cached them.
    for (std::size_t i = 1; i < boxes.size(); ++i) {
        MyViewBase& other = *boxes[i];
        Rect rect = other.imgRect;
        const Image picture = captures[i] ? placed(*captures[i], warped[i], rect) : Image();
        if (picture.isNull())
            continue;
        other.imgPersp = picture;
        other.imgRect = rect;
        other.ud = other.getUndoData();
    }
    return captures[0] ? placed(*captures[0], warped[0], rtImage) : Image();
}

void TextViewContainer::AnimateBox(MyViewBase& box, bool edit)
{
    EditAnimator::instance().animate(*this, box, edit);
}
