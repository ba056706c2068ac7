// The mask brush's controls, their table and their actions.
#include "window/BrushPanel.h"

#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "platform/ui/SegmentedControl.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/ZoomSlider.h"

#include <cmath>

using sliderpreview::Kind;
using O = DocumentWindowOutlets;

namespace {

// The slider spans half the picture's width as the painting view shows it, so the same
// position paints the same share of the picture at every zoom.
void adjustDrawSize(
    canvas::CanvasControls& canvas, canvas::CanvasCustomShapeControls& brush, double v)
{
    const double w = canvas.workingSize().width;
    const double r = canvas.imageRect().size.width;
    if (!(w > 0) || !std::isfinite(r))
        return;
    const float f = float((w * 0.5) * (r / w));
    brush.setBrushSize(v * double(f));
}

void adjustHardness(canvas::CanvasControls&, canvas::CanvasCustomShapeControls& brush, double v)
{
    brush.setBrushHardness(v);
}

void adjustOpacity(canvas::CanvasControls&, canvas::CanvasCustomShapeControls& brush, double v)
{
    brush.setBrushOpacity(v);
}

constexpr BrushSlider kRows[] = {
    { &O::drawSizeSlider, "Brush Size", 0.25, Kind::DrawSize, adjustDrawSize },
    { &O::drawHardnessSlider, "Hardness", 0.5, Kind::DrawHardness, adjustHardness },
    { &O::drawOpacitySlider, "Opacity", 1.0, Kind::DrawOpacity, adjustOpacity },
};

} // namespace

BrushPanel::BrushPanel(
    const DocumentWindowOutlets& controls, CanvasSource canvas, std::function<void()> beforeAction)
    : m_controls(controls)
    , m_canvas(std::move(canvas))
    , m_beforeAction(std::move(beforeAction))
{
    for (const BrushSlider& row : sliders())
        (m_controls.*row.outlet)->setAction([this, &row](platform::Control&) {
            adjustBrushSlider(row);
        });
    m_controls.drawModeSegmentedCtrl->setAction([this](platform::Control&) { adjustDrawMode(); });
    m_controls.customDrawingZoomSlider->setAction(
        [this](platform::Control&) { customZoomSliderUpdate(); });
}

std::span<const BrushSlider> BrushPanel::sliders()
{
    return kRows;
}

canvas::CanvasCustomShapeControls* BrushPanel::brush() const
{
    canvas::CanvasControls* canvas = m_canvas();
    return canvas ? dynamic_cast<canvas::CanvasCustomShapeControls*>(canvas->controls()) : nullptr;
}

void BrushPanel::adjustBrushSlider(const BrushSlider& row)
{
    m_beforeAction();
    if (canvas::CanvasCustomShapeControls* b = brush())
        row.apply(*m_canvas(), *b, (m_controls.*row.outlet)->value());
}

void BrushPanel::adjustDrawMode()
{
    m_beforeAction();
    if (canvas::CanvasCustomShapeControls* b = brush())
        b->setEraseMode(m_controls.drawModeSegmentedCtrl->selectedSegment() == 1);
}

void BrushPanel::customZoomSliderUpdate()
{
    m_beforeAction();
    if (canvas::CanvasControls* canvas = m_canvas())
        canvas->setCustomDrawingZoomScale(double(m_controls.customDrawingZoomSlider->value()));
}
