#include "boxes/MyPerspectiveView.h"

#include "boxes/BoxStatics.h"
#include "boxes/BoxesLogging.h"
#include "boxes/MyImageViewSuper.h"
#include "boxes/MyShapeSuper.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextViewSuper.h"
#include "boxes/MyViewBase.h"
#include "boxes/WarpCapture.h"

#include <algorithm>
#include <cmath>
#include <vector>

using platform::GraphicsContext;
using platform::Image;
using platform::Rect;
using platform::View;

namespace {

// A capture's rectangle comes from arithmetic on the box and the renderer's result.
bool placeable(const Rect& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width())
        && std::isfinite(r.height()) && !r.isEmpty();
}

} // namespace

MyPerspectiveView::MyPerspectiveView(const Rect& frame)
    : View(frame)
{
    setCachesDrawing(true);
}

MyPerspectiveView::BoxDrawing MyPerspectiveView::chooseDrawing(const DrawingInputs& in)
{
    if (!in.warped || !in.canCapture)
        return BoxDrawing::Flat;
    if (in.animating)
        return BoxDrawing::Animated;
    if (!in.editing || in.exporting)
        return BoxDrawing::Warped;
    return BoxDrawing::Flat;
}

MyViewBase* MyPerspectiveView::boxOfWrapper(const View& wrapper)
{
    if (!dynamic_cast<const MyTextViewSuper*>(&wrapper)
        && !dynamic_cast<const MyImageViewSuper*>(&wrapper)
        && !dynamic_cast<const MyShapeSuper*>(&wrapper))
        return nullptr;
    return wrapper.subviewCount() > 0 ? dynamic_cast<MyViewBase*>(wrapper.subviewAt(0)) : nullptr;
}

bool MyPerspectiveView::isEditing(const View& wrapper)
{
    const MyViewBase* box = boxOfWrapper(wrapper);
    if (!box)
        return false;
    // A pen path still being drawn is shown flat, like a box being edited.
    const auto* shape = dynamic_cast<const MyShapeView*>(box);
    return box->isEditing() || (shape && shape->isDrawing());
}

MyPerspectiveView::DrawingInputs MyPerspectiveView::drawingInputs(const View& wrapper) const
{
    DrawingInputs in;
    const MyViewBase* box = boxOfWrapper(wrapper);
    if (!box)
        return in;
    in.warped = box->isWarped();
    in.editing = isEditing(wrapper);
    in.exporting = gCanvasExporting;
    in.animating = gEditAnimation.running && gEditAnimation.box.get() == box;
    in.canCapture = warpCapture() != nullptr;
    return in;
}

MyPerspectiveView::BoxDrawing MyPerspectiveView::drawingFor(const View& wrapper) const
{
    return chooseDrawing(drawingInputs(wrapper));
}

bool MyPerspectiveView::cacheIsValid(const MyViewBase& box)
{
    return !box.imgPersp.isNull() && box.ud && capturedAlike(*box.ud, box.getUndoData());
}

WarpCapture* MyPerspectiveView::warpCapture() const
{
    return dynamic_cast<WarpCapture*>(superview());
}

bool MyPerspectiveView::drawsSubview(const View& subview) const
{
    return drawingFor(subview) == BoxDrawing::Flat;
}

Image MyPerspectiveView::warpedPicture(
    MyViewBase& box, View& wrapper, BoxDrawing drawing, Rect& rect) const
{
    WarpCapture* capture = warpCapture();
    rect = box.imgRect;
    if (drawing == BoxDrawing::Animated)
        return capture->image_curved_perspectived(box, wrapper, gEditAnimation.fraction, rect);
    if (cacheIsValid(box))
        return box.imgPersp;

    qCDebug(lcBoxes) << "imgPersp updated";
    Image picture = capture->warpKeepingFlat(box, wrapper, 1.0f, rect, m_flatKept[&box]);
    if (picture.isNull()) {
        // Nothing is cached, so the next draw tries again.
        box.imgPersp = Image();
        box.ud.reset();
        return picture;
    }
    box.imgPersp = picture;
    box.imgRect = rect;
    box.ud = box.getUndoData();
    return picture;
}

void MyPerspectiveView::drawRect(const Rect& dirty, GraphicsContext& ctx)
{
    // No check for a window: the export and the warp capture draw boxes off screen.
    View::drawRect(dirty, ctx);
    qCDebug(lcBoxes) << "drawRect-perspectiveView";
    std::vector<const MyViewBase*> shownWarped;
    for (View* wrapper : subviews()) {
        const BoxDrawing drawing = drawingFor(*wrapper);
        if (drawing == BoxDrawing::Flat)
            continue;
        MyViewBase* box = boxOfWrapper(*wrapper);
        if (drawing == BoxDrawing::Warped)
            shownWarped.push_back(box);
        Rect rect;
        const Image picture = warpedPicture(*box, *wrapper, drawing, rect);
        if (picture.isNull() || !placeable(rect))
            continue;
        const double turn = box->rotationAngle() * 3.141592 / 180.0;
        const platform::Point c = rect.center();
        platform::GStateGuard guard(ctx);
        ctx.translateCTM(c.x, c.y);
        ctx.rotateCTM(turn);
        ctx.translateCTM(-c.x, -c.y);
        qCDebug(lcBoxes).noquote() << QString::asprintf(
            "DrawInRect:%f %f %f %f", rect.x(), rect.y(), rect.width(), rect.height());
        ctx.drawImage(picture, rect);
    }
    // Pictures are kept only for the boxes shown warped now: the others would go stale.
    std::erase_if(m_flatKept, [&](const auto& entry) {
        return std::find(shownWarped.begin(), shownWarped.end(), entry.first) == shownWarped.end();
    });
}

// ---- the kept picture

bool MyPerspectiveView::canKeepCachedDrawing() const
{
    // The warp capture and the export draw boxes for pictures of their own.
    if (gWarpCaptureRect.capturing || gCanvasExporting)
        return false;
    for (const View* wrapper : subviews()) {
        if (isEditing(*wrapper) || drawingFor(*wrapper) == BoxDrawing::Animated)
            return false;
    }
    return true;
}

Rect MyPerspectiveView::cachedDrawingExtent() const
{
    Rect extent = Rect::null();
    for (const View* wrapper : subviews()) {
        const MyViewBase* box = boxOfWrapper(*wrapper);
        if (!box)
            return bounds();
        // The wrappers share this view's coordinates.
        extent = extent.united(wrapper->transformToSuperview().mapRect(box->drawnCoverage()));
    }
    return extent;
}

const View* MyPerspectiveView::cachedDrawingAnchor() const
{
    // The wrapper draws along the box's outline and the warped picture moves with the box:
    // everything the nest shows follows its one box.
    if (subviewCount() != 1)
        return this;
    const MyViewBase* box = boxOfWrapper(*subviewAt(0));
    return box ? static_cast<const View*>(box) : this;
}

std::vector<UNDODATA> MyPerspectiveView::currentRecords() const
{
    std::vector<UNDODATA> records;
    for (const View* wrapper : subviews()) {
        if (const MyViewBase* box = boxOfWrapper(*wrapper))
            records.push_back(box->getUndoData());
    }
    return records;
}

bool MyPerspectiveView::cachedDrawingIsCurrent() const
{
    const std::vector<UNDODATA> now = currentRecords();
    if (now.size() != m_drawnRecords.size())
        return false;
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (!now[i].drawsSameContent(m_drawnRecords[i]))
            return false;
    }
    return true;
}

void MyPerspectiveView::cachedDrawingWasMade()
{
    m_drawnRecords = currentRecords();
}
