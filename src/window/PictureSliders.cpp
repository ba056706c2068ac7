// The picture sliders' table and what each hands the canvas.
#include "window/PictureSliders.h"

#include "canvas/CanvasControls.h"

using sliderpreview::Kind;
using O = DocumentWindowOutlets;

namespace {

void adjustAperture(canvas::CanvasControls& canvas, double v, double max)
{
    canvas.setBlurStrength(v * max * 5.0);
}

void adjustVignette(canvas::CanvasControls& canvas, double v, double max)
{
    canvas.setVignetteIntensity(v * max);
}

void adjustSaturation(canvas::CanvasControls& canvas, double v, double max)
{
    canvas.setSaturation(v * max);
}

void adjustZoom(canvas::CanvasControls& canvas, double v, double)
{
    canvas.setScale(v + 1.0);
}

void adjustZoomAndStraighten(canvas::CanvasControls& canvas, double v, double)
{
    canvas.setStraighten((v - 0.5) * kStraightenRange);
}

// Vignette and saturation keep a running colour removal going; the others end it.
constexpr PictureSlider kRows[] = {
    { &O::apertureSlider, "apertureSlider", "Aperture", 0.0, 1.0, true, false, true, "Aperture",
        Kind::Aperture, adjustAperture },
    { &O::vignetteSlider, "vignetteSlider", "Vignette", 0.0, 10.0, true, false, false, "Vignette",
        Kind::Vignette, adjustVignette },
    { &O::saturationSlider, "saturationSlider", "Saturation", 0.5, 2.0, true, false, false,
        "Saturation", Kind::Saturation, adjustSaturation },
    { &O::zoomSlider, "zoomSlider", "Zoom", 0.0, 1.0, true, false, true, nullptr, Kind::Zoom,
        adjustZoom },
    { &O::zoomAndStraightenSlider, "zoomAndStraightenSlider", "Zoom & Straighten", 0.5, 1.0, true,
        false, true, nullptr, Kind::ZoomAndStraighten, adjustZoomAndStraighten },
};

} // namespace

QString PictureSlider::controlsDataKey() const
{
    return QStringLiteral("_%1_value").arg(QLatin1String(outletName));
}

std::span<const PictureSlider> pictureSliders()
{
    return kRows;
}
