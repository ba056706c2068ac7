// The inspector's change messages: each applies one value to every selected box of its kind as
// one undo step, registered only when a box changed.
//
// Values are held to the bounds a restored box record is held to (UNDODATA::validate), so that
// the box after the change equals the box that undo and redo rebuild from its record. A value
// that is not a finite number is refused: nothing changes and no step is taken.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/MyViewBase.h"
#include "boxes/ShapeModel.h"
#include "container/ContainerLogging.h"
#include "container/TextViewContainer.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::Color;
using platform::Point;

namespace {

int heldLineSize(int v)
{
    return std::clamp(v, 0, UNDODATA::kMaxLineSize);
}
int heldBlur(int v)
{
    return std::clamp(v, 0, UNDODATA::kMaxShadowSize);
}
int heldOffset(int v)
{
    constexpr int lim = int(UNDODATA::kMaxExtent);
    return std::clamp(v, -lim, lim);
}

// A head code the shape's record keeps: 0..8, and for the end also the closed-path mark;
// anything else is no head.
int heldHeadCode(qint64 code, bool end)
{
    if (code >= shape::NoHead && code <= shape::BarHead)
        return int(code);
    if (end && code == shape::ClosedPath)
        return shape::ClosedPath;
    qCWarning(lcContainer) << "head code" << code << "is not one a line can draw; using none";
    return shape::NoHead;
}

// Single precision, held to its finite range (the factors are stored as floats).
float heldFloat(double v)
{
    constexpr double lim = double(std::numeric_limits<float>::max());
    return float(std::clamp(v, -lim, lim));
}

bool refused(bool finite, const char* what)
{
    if (!finite)
        qCWarning(lcContainer) << what << ": not a finite value; ignored";
    return !finite;
}

bool finiteFill(const SZGradient& fill)
{
    return std::isfinite(fill.angle) && std::isfinite(fill.opacity);
}

bool finiteColor(const std::optional<Color>& c)
{
    return !c
        || (std::isfinite(c->red) && std::isfinite(c->green) && std::isfinite(c->blue)
            && std::isfinite(c->alpha));
}

// The common pattern of every message: the before-snapshot, the value applied to each selected
// box of kind Box (its warped picture dropped), one step when a box changed, a redraw.
template <class Box = MyViewBase, class Apply>
void changeSelected(TextViewContainer& container, Apply apply)
{
    container.prepUndoData();
    bool changed = false;
    for (MyViewBase* base : container.textViewAry) {
        if (!base->selected())
            continue;
        auto* box = dynamic_cast<Box*>(base);
        if (!box)
            continue;
        apply(*box);
        base->imgPersp = platform::Image();
        changed = true;
    }
    if (changed)
        container.logUndoData();
    container.markForDisplay();
}

} // namespace

// ---- fills: every changed box holds the same fill value

void TextViewContainer::backgroundColorChanged(const SZGradient& fill)
{
    if (refused(finiteFill(fill), "backgroundColorChanged"))
        return;
    changeSelected(*this, [&](MyViewBase& box) { box.setBackColor(fill); });
}

void TextViewContainer::borderColorChanged(const SZGradient& fill)
{
    if (refused(finiteFill(fill), "borderColorChanged"))
        return;
    changeSelected(*this, [&](MyViewBase& box) { box.setBorderColor(fill); });
}

void TextViewContainer::strokeColorChanged(const SZGradient& fill)
{
    if (refused(finiteFill(fill), "strokeColorChanged"))
        return;
    changeSelected(*this, [&](MyViewBase& box) { box.setStrokeColor(fill); });
}

void TextViewContainer::overlayColorChanged(const SZGradient& fill)
{
    if (refused(finiteFill(fill), "overlayColorChanged"))
        return;
    changeSelected(*this, [&](MyViewBase& box) { box.setOverlayColor(fill); });
}

// ---- the drop shadow: the only family the box's outer view carries, so it is rebuilt at once

void TextViewContainer::shadowColorChanged(const std::optional<Color>& color)
{
    if (refused(finiteColor(color), "shadowColorChanged"))
        return;
    changeSelected(*this, [&](MyViewBase& box) {
        box.setShadowColor(color);
        box.setShadows();
    });
}

void TextViewContainer::shadowAngleChanged(int value)
{
    changeSelected(*this, [&](MyViewBase& box) {
        box.setShadowAngle(value);
        box.setShadows();
    });
}

void TextViewContainer::shadowBlurChanged(int value)
{
    changeSelected(*this, [v = heldBlur(value)](MyViewBase& box) {
        box.setShadowBlurSize(v);
        box.setShadows();
    });
}

void TextViewContainer::shadowOffsetChanged(int value)
{
    changeSelected(*this, [v = heldOffset(value)](MyViewBase& box) {
        box.setShadowOffsetSize(v);
        box.setShadows();
    });
}

// ---- inner and box shadows: read when the box is drawn

void TextViewContainer::innerShadowColorChanged(const std::optional<Color>& color)
{
    if (refused(finiteColor(color), "innerShadowColorChanged"))
        return;
    changeSelected(*this, [&](MyViewBase& box) { box.setInnerShadowColor(color); });
}

void TextViewContainer::innerShadowAngleChanged(int value)
{
    changeSelected(*this, [&](MyViewBase& box) { box.setInnerShadowAngle(value); });
}

void TextViewContainer::innerShadowBlurChanged(int value)
{
    changeSelected(
        *this, [v = heldBlur(value)](MyViewBase& box) { box.setInnerShadowBlurSize(v); });
}

void TextViewContainer::innerShadowOffsetChanged(int value)
{
    changeSelected(
        *this, [v = heldOffset(value)](MyViewBase& box) { box.setInnerShadowOffsetSize(v); });
}

void TextViewContainer::boxShadowColorChanged(const std::optional<Color>& color)
{
    if (refused(finiteColor(color), "boxShadowColorChanged"))
        return;
    changeSelected(*this, [&](MyViewBase& box) { box.setBoxShadowColor(color); });
}

void TextViewContainer::boxShadowAngleChanged(int value)
{
    changeSelected(*this, [&](MyViewBase& box) { box.setBoxShadowAngle(value); });
}

void TextViewContainer::boxShadowBlurChanged(int value)
{
    changeSelected(*this, [v = heldBlur(value)](MyViewBase& box) { box.setBoxShadowBlurSize(v); });
}

void TextViewContainer::boxShadowOffsetChanged(int value)
{
    changeSelected(
        *this, [v = heldOffset(value)](MyViewBase& box) { box.setBoxShadowOffsetSize(v); });
}

// ---- line widths

void TextViewContainer::borderSizeChanged(int value)
{
    changeSelected(*this, [v = heldLineSize(value)](MyViewBase& box) { box.setBorderSize(v); });
}

void TextViewContainer::strokeSizeChanged(int value)
{
    changeSelected(*this, [v = heldLineSize(value)](MyViewBase& box) { box.setStrokeSize(v); });
}

// ---- opacity, rotation, saturation

void TextViewContainer::textboxOpacityChanged(double value)
{
    if (refused(std::isfinite(value), "textboxOpacityChanged"))
        return;
    const float opacity = float(std::clamp(value, 0.0, 1.0));
    changeSelected(*this, [&](MyViewBase& box) { box.setLayerOpacity(opacity); });
}

void TextViewContainer::textboxAngleChanged(double value)
{
    if (refused(std::isfinite(value), "textboxAngleChanged"))
        return;
    // The box wraps an angle into 0..360 with one correction each way; brought within a turn
    // first, any angle lands where a restore of the stored one lands.
    const double angle = std::fmod(value, 360.0);
    changeSelected(*this, [&](MyViewBase& box) { box.setRotationAngle(angle); });
}

void TextViewContainer::imageboxSaturationChanged(double value)
{
    if (refused(std::isfinite(value), "imageboxSaturationChanged"))
        return;
    // Only pictures have a saturation; a selected text box or shape is left as it is.
    changeSelected<MyImageView>(*this, [&](MyImageView& box) { box.setSaturation(value); });
}

// ---- line heads: only shapes count, so a selection without one takes no step

void TextViewContainer::startPointChanged(qint64 headType)
{
    const int code = heldHeadCode(headType, false);
    changeSelected<MyShapeView>(*this, [&](MyShapeView& box) { box.setStartType(code); });
}

void TextViewContainer::endPointChanged(qint64 headType)
{
    const int code = heldHeadCode(headType, true);
    changeSelected<MyShapeView>(*this, [&](MyShapeView& box) { box.setEndType(code); });
}

// ---- warps

void TextViewContainer::curvesChanged(double value)
{
    if (refused(std::isfinite(value), "curvesChanged"))
        return;
    // The size of the bend; each inner point keeps its side of the base line, so a bend of 0
    // is kept as 0.0001 to remember the side.
    const double m = std::fabs(value) < 0.0001 ? 0.0001 : std::fabs(value);
    changeSelected(*this, [&](MyViewBase& box) {
        std::vector<Point> curves = box.curves();
        if (curves.size() < 3)
            return;
        for (std::size_t i = 1; i + 1 < curves.size(); ++i)
            curves[i].y = curves[i].y < 0.0 ? -m : m;
        box.setCurves(curves);
    });
}

void TextViewContainer::perspectiveChanged(double value)
{
    if (refused(std::isfinite(value), "perspectiveChanged"))
        return;
    const double v = std::fabs(value) < 0.0001 ? 0.0001 : value;
    // The value goes to the factor the box already uses; a box with both gets it as vertical,
    // and its horizontal factor takes the size alone. The sign stays for the other boxes.
    changeSelected(*this, [&](MyViewBase& box) {
        const double h = std::fabs(box.horzPerspective());
        const double w = std::fabs(box.vertPerspective());
        if (h < 0.00001) {
            box.setVertPerspective(heldFloat(v));
        } else if (w < 0.00001) {
            box.setHorzPerspective(heldFloat(v));
        } else {
            box.setVertPerspective(heldFloat(v));
            box.setHorzPerspective(heldFloat(std::fabs(v)));
        }
    });
}
