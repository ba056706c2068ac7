// The container's warp capture: one box rendered flat and unturned into a bitmap, then bent by
// its curve and perspective scaled by the edit animation's fraction.
#include "boxes/BoxStatics.h"
#include "boxes/MyViewBase.h"
#include "container/ContainerLogging.h"
#include "container/EditAnimator.h"
#include "container/TextViewContainer.h"
#include "container/WarpRenderer.h"

#include <algorithm>
#include <cmath>

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

} // namespace

Image TextViewContainer::image_curved_perspectived(
    MyViewBase& box, platform::View& wrapper, float fVal, Rect& rtImage)
{
    return capturedAndBent(box, wrapper, fVal, rtImage, nullptr);
}

Image TextViewContainer::warpKeepingFlat(
    MyViewBase& box, platform::View& wrapper, float fVal, Rect& rtImage, FlatCapture& kept)
{
    return capturedAndBent(box, wrapper, fVal, rtImage, &kept);
}

Image TextViewContainer::capturedAndBent(
    MyViewBase& box, platform::View& wrapper, float fVal, Rect& rtImage, FlatCapture* kept)
{
    qCDebug(lcContainer) << "image_curved_perspectived started";
    // The flat box does not show its curve or perspective: a record that differs only there
    // draws the same flat picture.
    std::optional<UNDODATA> flatRecord;
    bool reuse = false;
    if (kept) {
        flatRecord = box.getUndoData();
        flatRecord->horzPerspective = 0.0;
        flatRecord->vertPerspective = 0.0;
        flatRecord->curves.clear();
        reuse = kept->record && !kept->picture.isNull() && kept->exporting == gCanvasExporting
            && capturedAlike(*kept->record, *flatRecord);
    }
    // Saved whole and put back as they were: a draw must not change the box's record, and
    // turning back through the centre or shifting imgRect twice would not round-trip exactly.
    const Rect savedFrame = box.frame();
    const Rect savedImgRect = box.imgRect;
    const double turn = box.rotationAngle();
    box.setRotationAngle(0.0);

    const Point origin = box.frame().origin;
    const double m = double(box.borderSize()) + double(box.strokeSize());
    const Rect captured = box.frame().insetBy(-m, -m).united(box.drawnBounds());
    const Point r0 = captured.origin;
    gWarpCaptureRect.rect = captured;

    reuse = reuse && kept->area == captured.size;
    Image picture;
    if (reuse) {
        picture = kept->picture;
    } else {
        const Size wrapperSize = wrapper.frame().size;
        wrapper.setFrameSize(Size(kCaptureCanvas, kCaptureCanvas));
        if (r0.x < 0.0 || r0.y < 0.0) {
            // Moved so that the capture starts at the wrapper's origin.
            box.setFrameOrigin(Point(origin.x - r0.x, origin.y - r0.y));
            gWarpCaptureRect.rect.origin = Point(0, 0);
        }
        // Rendered straight at the size the warp takes (at most kMaxWarpSide pixels a side)
        // rather than rendered large and reduced; the pixels per point are read from the
        // result.
        const double longer = std::max(captured.width(), captured.height());
        const double scale = longer > kMaxWarpSide ? kMaxWarpSide / longer : 1.0;
        gWarpCaptureRect.capturing = true;
        picture = platform::renderToImage(wrapper, gWarpCaptureRect.rect, scale);
        gWarpCaptureRect.capturing = false;
        wrapper.setFrameSize(wrapperSize);
    }
    box.setRotationAngle(turn);
    box.setFrameOrigin(savedFrame.origin);
    box.imgRect = savedImgRect;
    qCDebug(lcContainer).noquote()
        << QString::asprintf("bounds size:%f %f", bounds().width(), bounds().height());
    if (picture.isNull()) {
        if (kept)
            *kept = FlatCapture();
        return Image();
    }
    if (!reuse) {
        // The picture is made from the pixels: its point size is its pixel size.
        picture = Image::fromQImage(picture.toQImage());
        if (kept)
            *kept = FlatCapture { picture, captured.size, gCanvasExporting, std::move(flatRecord) };
    }

    const QSize pixels = picture.pixelSize();
    const float sx = float(pixels.width()) / float(captured.width());
    const float sy = float(pixels.height()) / float(captured.height());

    std::vector<Point> curve = box.curves();
    for (Point& p : curve)
        p.y *= double(fVal);
    const float h = box.horzPerspective() * fVal;
    const float v = box.vertPerspective() * fVal;
    const auto warped = m_warpRenderer
        ? m_warpRenderer(picture, curve, double(h), double(v))
        : WarpRenderer::perspectiveCurved(picture, curve, double(h), double(v));
    qCDebug(lcContainer) << "image_curved_perspectived ended";
    if (!warped)
        return Image();
    const Rect& rt = warped->rect;
    rtImage = Rect(r0.x + rt.x() / double(sx), r0.y + rt.y() / double(sy), rt.width() / double(sx),
        rt.height() / double(sy));
    return warped->image;
}

void TextViewContainer::AnimateBox(MyViewBase& box, bool edit)
{
    EditAnimator::instance().animate(*this, box, edit);
}
