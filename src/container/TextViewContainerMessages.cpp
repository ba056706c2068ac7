// The inspector's change messages: each applies one value to every selected box of its kind as
// one undo step, registered only when a box changed.
//
// Values are held to the bounds the record table gives their field (record::held), which a
// restored record is held to as well, so that the box after the change equals the box that undo
// and redo rebuild from its record. A value
// that is not a finite number is refused: nothing changes and no step is taken.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyViewBase.h"
#include "boxes/RecordFields.h"
#include "boxes/ShapeModel.h"
#include "container/ContainerLogging.h"
#include "container/TextViewContainer.h"
#include "container/UndoStep.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

using platform::Color;
using platform::Point;

namespace {

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
    UndoStep step(container);
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
        step.commit();
    container.markForDisplay();
}

// The members that only store their value: setter applied with the value as given or held.
template <class Box, class Arg>
void setOnSelected(
    TextViewContainer& container, void (Box::*setter)(Arg), std::type_identity_t<Arg> value)
{
    changeSelected<Box>(container, [&](Box& box) { (box.*setter)(value); });
}

void setFill(TextViewContainer& container, void (MyViewBase::*setter)(const SZGradient&),
    const SZGradient& fill, const char* what)
{
    if (!refused(finiteFill(fill), what))
        setOnSelected(container, setter, fill);
}

void setColor(TextViewContainer& container, void (MyViewBase::*setter)(const std::optional<Color>&),
    const std::optional<Color>& color, const char* what)
{
    if (!refused(finiteColor(color), what))
        setOnSelected(container, setter, color);
}

// The drop shadow is the only family the box's outer view carries, so it is rebuilt at once.
template <class Arg>
void setShadowOnSelected(
    TextViewContainer& container, void (MyViewBase::*setter)(Arg), std::type_identity_t<Arg> value)
{
    changeSelected(container, [&](MyViewBase& box) {
        (box.*setter)(value);
        box.setShadows();
    });
}

} // namespace

// ---- fills: every changed box holds the same fill value

void TextViewContainer::backgroundColorChanged(const SZGradient& fill)
{
    setFill(*this, &MyViewBase::setBackColor, fill, "backgroundColorChanged");
}

void TextViewContainer::borderColorChanged(const SZGradient& fill)
{
    setFill(*this, &MyViewBase::setBorderColor, fill, "borderColorChanged");
}

void TextViewContainer::strokeColorChanged(const SZGradient& fill)
{
    setFill(*this, &MyViewBase::setStrokeColor, fill, "strokeColorChanged");
}

void TextViewContainer::overlayColorChanged(const SZGradient& fill)
{
    setFill(*this, &MyViewBase::setOverlayColor, fill, "overlayColorChanged");
}

// ---- the drop shadow

void TextViewContainer::shadowColorChanged(const std::optional<Color>& color)
{
    if (!refused(finiteColor(color), "shadowColorChanged"))
        setShadowOnSelected(*this, &MyViewBase::setShadowColor, color);
}

void TextViewContainer::shadowAngleChanged(int value)
{
    setShadowOnSelected(*this, &MyViewBase::setShadowAngle, value);
}

void TextViewContainer::shadowBlurChanged(int value)
{
    setShadowOnSelected(
        *this, &MyViewBase::setShadowBlurSize, record::held<&UNDODATA::shadowBlurSize>(value));
}

void TextViewContainer::shadowOffsetChanged(int value)
{
    setShadowOnSelected(
        *this, &MyViewBase::setShadowOffsetSize, record::held<&UNDODATA::shadowOffsetSize>(value));
}

// ---- inner and box shadows: read when the box is drawn

void TextViewContainer::innerShadowColorChanged(const std::optional<Color>& color)
{
    setColor(*this, &MyViewBase::setInnerShadowColor, color, "innerShadowColorChanged");
}

void TextViewContainer::innerShadowAngleChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setInnerShadowAngle, value);
}

void TextViewContainer::innerShadowBlurChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setInnerShadowBlurSize,
        record::held<&UNDODATA::innerShadowBlurSize>(value));
}

void TextViewContainer::innerShadowOffsetChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setInnerShadowOffsetSize,
        record::held<&UNDODATA::innerShadowOffsetSize>(value));
}

void TextViewContainer::boxShadowColorChanged(const std::optional<Color>& color)
{
    setColor(*this, &MyViewBase::setBoxShadowColor, color, "boxShadowColorChanged");
}

void TextViewContainer::boxShadowAngleChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setBoxShadowAngle, value);
}

void TextViewContainer::boxShadowBlurChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setBoxShadowBlurSize,
        record::held<&UNDODATA::boxShadowBlurSize>(value));
}

void TextViewContainer::boxShadowOffsetChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setBoxShadowOffsetSize,
        record::held<&UNDODATA::boxShadowOffsetSize>(value));
}

// ---- line widths

void TextViewContainer::borderSizeChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setBorderSize, record::held<&UNDODATA::borderSize>(value));
}

void TextViewContainer::strokeSizeChanged(int value)
{
    setOnSelected(*this, &MyViewBase::setStrokeSize, record::held<&UNDODATA::strokeSize>(value));
}

// ---- opacity, rotation, saturation

void TextViewContainer::textboxOpacityChanged(double value)
{
    if (refused(std::isfinite(value), "textboxOpacityChanged"))
        return;
    const float opacity = float(record::held<&UNDODATA::layerOpacity>(value));
    setOnSelected(*this, &MyViewBase::setLayerOpacity, opacity);
}

void TextViewContainer::textboxAngleChanged(double value)
{
    if (refused(std::isfinite(value), "textboxAngleChanged"))
        return;
    // The box wraps an angle into 0..360 with one correction each way; brought within a turn
    // first, any angle lands where a restore of the stored one lands.
    const double angle = std::fmod(value, 360.0);
    setOnSelected(*this, &MyViewBase::setRotationAngle, angle);
}

void TextViewContainer::imageboxSaturationChanged(double value)
{
    if (refused(std::isfinite(value), "imageboxSaturationChanged"))
        return;
    // Only pictures have a saturation; a selected text box or shape is left as it is.
    setOnSelected(*this, &MyImageView::setSaturation, value);
}

// ---- line heads: only shapes count, so a selection without one takes no step

void TextViewContainer::startPointChanged(qint64 headType)
{
    const int code = heldHeadCode(headType, false);
    setOnSelected(*this, &MyShapeView::setStartType, code);
}

void TextViewContainer::endPointChanged(qint64 headType)
{
    const int code = heldHeadCode(headType, true);
    setOnSelected(*this, &MyShapeView::setEndType, code);
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
            box.setVertPerspective(float(record::held<&UNDODATA::vertPerspective>(v)));
        } else if (w < 0.00001) {
            box.setHorzPerspective(float(record::held<&UNDODATA::horzPerspective>(v)));
        } else {
            box.setVertPerspective(float(record::held<&UNDODATA::vertPerspective>(v)));
            box.setHorzPerspective(float(record::held<&UNDODATA::horzPerspective>(std::fabs(v))));
        }
    });
}
