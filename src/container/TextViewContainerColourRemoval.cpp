// Colour-removal mode: choosing the picture box, the press that opens a gesture, the drags that
// refill from the picture of the press with a growing tolerance, the release that makes the
// gesture one undo step, and leaving the mode.
#include "boxes/MyImageView.h"
#include "boxes/MyTextView.h"
#include "container/ColourRemoval.h"
#include "container/ContainerDelegate.h"
#include "container/ContainerLogging.h"
#include "container/TextViewContainer.h"
#include "foundation/CMyLine.h"
#include "platform/ui/Event.h"

#include <array>
#include <cmath>
#include <limits>

using platform::Point;
using platform::Rect;

namespace {

// A seed coordinate as an int; what does not fit (or is no number) becomes -1, which the fill
// refuses, rather than an undefined conversion.
int seedCoordinate(double v)
{
    if (!std::isfinite(v) || v < 0.0 || v >= double(std::numeric_limits<int>::max()))
        return -1;
    return int(v);
}

} // namespace

MyImageView* TextViewContainer::instantAlphaBox() const
{
    if (expandingSubId < 0 || std::size_t(expandingSubId) >= textViewAry.size())
        return nullptr;
    return dynamic_cast<MyImageView*>(textViewAry[std::size_t(expandingSubId)]);
}

bool TextViewContainer::instantAlpha()
{
    // Decide before touching anything: a second box must not find the first already animating.
    MyImageView* chosen = nullptr;
    int index = -1;
    int candidates = 0;
    for (std::size_t i = 0; i < textViewAry.size(); ++i) {
        MyViewBase* box = textViewAry[i];
        if (dynamic_cast<MyTextView*>(box) || !box->selected())
            continue;
        ++candidates;
        chosen = dynamic_cast<MyImageView*>(box);
        index = int(i);
    }
    if (candidates != 1 || !chosen || chosen->orgImage().isNull()) {
        bInstantAlpha = false;
        expandingSubId = -1;
        return false;
    }
    // Entered again mid-gesture: that gesture keeps its step.
    closeInstantAlphaGesture();
    bInstantAlpha = true;
    expandingSubId = index;
    AnimateBox(*chosen, true);
    markForDisplay();
    return true;
}

void TextViewContainer::cancelInstantAlpha()
{
    const bool wasOn = bInstantAlpha;
    bInstantAlpha = false;
    closeInstantAlphaGesture();
    // Only a box of this mode: expandingSubId names handles and points in other gestures.
    if (MyImageView* box = wasOn ? instantAlphaBox() : nullptr; box && box->isEditing())
        AnimateBox(*box, false);
    imgInstantAlpha = platform::Image();
    hideAlert();
    if (wasOn && m_delegate)
        m_delegate->setInstantAlphaState(0);
}

void TextViewContainer::closeInstantAlphaGesture()
{
    if (!brushPreviewLayer)
        return;
    brushPreviewLayer.reset();
    logUndoData();
    markForDisplay();
}

bool TextViewContainer::instantAlphaPress(const Point& p)
{
    MyImageView* box = instantAlphaBox();
    std::array<Point, 8> outline;
    if (box)
        box->GetFourPoints(outline, 0.0);
    if (!box || !isPointinPolygon(p, outline.data())) {
        cancelInstantAlpha();
        expandingSubId = -1;
        return false;
    }
    // A press while a gesture is open (a release was lost) closes that one first.
    closeInstantAlphaGesture();
    mouseDownPoint = p;
    instantSize = 1.0;
    brushPreviewLayer = Rect(p.x - 0.5, p.y - 0.5, 1.0, 1.0);
    imgInstantAlpha = box->orgImage();
    // Distances from the left edge (p0-p3) and the top edge (p3-p2), scaled to the picture's
    // pixels: the stored orgwidth/orgheight may be 0 or unlike the picture.
    const platform::FloatPoint fp { float(p.x), float(p.y) };
    const CMyLine left(
        float(outline[0].x), float(outline[0].y), float(outline[3].x), float(outline[3].y));
    const CMyLine top(
        float(outline[3].x), float(outline[3].y), float(outline[2].x), float(outline[2].y));
    const QSize pixels = imgInstantAlpha.pixelSize();
    const Rect frame = box->frame();
    posInstantAlpha = Point(double(left.DistanceToPoint(fp)) * pixels.width() / frame.size.width,
        double(top.DistanceToPoint(fp)) * pixels.height() / frame.size.height);
    prepUndoData();
    instantAlphaRefill();
    return true;
}

void TextViewContainer::instantAlphaDrag(const Point& p)
{
    if (!bInstantAlpha || expandingSubId == -1)
        return;
    setCursor(QCursor(Qt::CrossCursor));
    if (!brushPreviewLayer)
        return;
    const double dx = p.x - mouseDownPoint.x;
    const double dy = p.y - mouseDownPoint.y;
    const float r = std::sqrt(float(dx * dx + dy * dy));
    instantSize = double(r);
    brushPreviewLayer = Rect(mouseDownPoint.x - r, mouseDownPoint.y - r, 2.0 * r, 2.0 * r);
    instantAlphaRefill();
}

void TextViewContainer::instantAlphaRelease()
{
    if (!bInstantAlpha)
        return;
    setCursor(QCursor(Qt::ArrowCursor));
    closeInstantAlphaGesture();
}

void TextViewContainer::instantAlphaRefill()
{
    MyImageView* box = instantAlphaBox();
    if (!box)
        return;
    std::optional<platform::Image> cleared = ColourRemoval::fill(imgInstantAlpha,
        seedCoordinate(posInstantAlpha.x), seedCoordinate(posInstantAlpha.y), instantSize);
    // A fill that could not be made leaves the picture as it is, never empty.
    if (!cleared)
        return;
    box->setOrgImage(*cleared);
    box->setSaturation(box->saturation());
    box->imgPersp = platform::Image();
    box->setNeedsDisplay();
    markForDisplay();
}

bool TextViewContainer::mouseDown(const platform::Event& event)
{
    mouseDownAtTextBox(convertPointFromView(event.locationInWindow(), nullptr), event);
    return true;
}
