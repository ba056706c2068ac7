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

#include <algorithm>
#include <array>
#include <cmath>

using platform::Point;
using platform::Rect;

namespace {

// A seed coordinate as a pixel index of a side `extent` pixels long. A press on the far edge
// measures exactly `extent`: it is clamped into the picture before the int conversion. No number
// becomes -1, which the fill refuses.
int seedCoordinate(double v, int extent)
{
    if (std::isnan(v) || extent <= 0)
        return -1;
    return int(std::clamp(v, 0.0, double(extent - 1)));
}

} // namespace

MyImageView* TextViewContainer::instantAlphaBox() const
{
    if (expandingSubId < 0 || std::size_t(expandingSubId) >= textViewAry.size())
        return nullptr;
    MyViewBase* box = textViewAry[std::size_t(expandingSubId)];
    // After a restack or a delete the index may name another picture box: never clear that one.
    if (!box || instantAlphaTarget.get() != box)
        return nullptr;
    return dynamic_cast<MyImageView*>(box);
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
    instantAlphaTarget = chosen;
    AnimateBox(*chosen, true);
    markForDisplay();
    return true;
}

void TextViewContainer::cancelInstantAlpha()
{
    const bool wasOn = bInstantAlpha;
    bInstantAlpha = false;
    closeInstantAlphaGesture();
    // Only the box of this mode, wherever it sits now (expandingSubId names handles and points
    // in other gestures, and may be stale).
    auto* box = wasOn ? dynamic_cast<MyImageView*>(instantAlphaTarget.get()) : nullptr;
    if (box && box->isEditing())
        AnimateBox(*box, false);
    imgInstantAlpha = platform::Image();
    instantAlphaTarget = nullptr;
    hideAlert();
    if (wasOn && m_delegate)
        m_delegate->setInstantAlphaState(0);
}

void TextViewContainer::closeInstantAlphaGesture()
{
    if (!brushPreviewLayer)
        return;
    brushPreviewLayer.reset();
    // A step only for a picture that changed: when no fill succeeded (or the box is gone) there
    // is nothing to undo.
    const auto* box = dynamic_cast<const MyImageView*>(instantAlphaTarget.get());
    if (box && !(box->orgImage() == imgInstantAlpha))
        logUndoData();
    else
        discardUndoData();
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
    if (!instantAlphaBox()) {
        // The box went or moved in the stack since the mode began: the mode ends with it.
        cancelInstantAlpha();
        expandingSubId = -1;
        return;
    }
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
    if (!instantAlphaBox()) {
        cancelInstantAlpha();
        expandingSubId = -1;
        return;
    }
    closeInstantAlphaGesture();
}

void TextViewContainer::instantAlphaRefill()
{
    MyImageView* box = instantAlphaBox();
    if (!box)
        return;
    const QSize pixels = imgInstantAlpha.pixelSize();
    const int x = seedCoordinate(posInstantAlpha.x, pixels.width());
    const int y = seedCoordinate(posInstantAlpha.y, pixels.height());
    std::optional<platform::Image> cleared = m_colourFill
        ? m_colourFill(imgInstantAlpha, x, y, instantSize)
        : ColourRemoval::fill(imgInstantAlpha, x, y, instantSize);
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
