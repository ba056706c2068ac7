#include "canvas/CanvasGeometry.h"

#include <algorithm>
#include <cmath>

using platform::Point;
using platform::Rect;
using platform::Size;

namespace canvas::geometry {

Rect imageRect(const Size& working, double zoom)
{
    return { 0, 0, working.width * zoom, working.height * zoom };
}

Rect frameRect(const Size& working, double zoom, const Size& viewport)
{
    const Size size { working.width * zoom, working.height * zoom };
    const Point origin { std::max(0.0, (viewport.width - size.width) / 2),
        std::max(0.0, (viewport.height - size.height) / 2) };
    return Rect(origin, size).integral();
}

double bestFitZoom(const Size& working, const Size& viewport)
{
    return float(
        std::min((viewport.width - 1) / working.width, (viewport.height - 1) / working.height));
}

double zoomForSlider(double fit, double z)
{
    return fit * (2 * z + 1);
}

// The scroll offset on one axis that puts picture point c (at zoom z0) back at the centre.
static double scrollCoordinate(
    double c, double z0, double z1, double frameOrigin, double frameLength, double viewportLength)
{
    const double overflow = std::max(0.0, frameLength - viewportLength);
    return std::clamp(c / z0 * z1 + frameOrigin - viewportLength / 2, 0.0, overflow);
}

std::optional<ZoomStep> zoomStep(
    const Size& working, const Size& viewport, const Rect& visible, double oldZoom, double z)
{
    if (!std::isfinite(z) || z < 0)
        return std::nullopt;
    const double fit = bestFitZoom(working, viewport);
    if (!std::isfinite(fit) || fit <= 0)
        return std::nullopt;
    Point visibleOrigin = visible.origin;
    double z0 = oldZoom;
    if (!(z0 > 0) || !std::isfinite(z0)) {
        z0 = fit;
        visibleOrigin = { 0, 0 };
    }
    const Rect f0 = frameRect(working, z0, viewport);
    const Point centre { visibleOrigin.x + viewport.width / 2 - f0.origin.x,
        visibleOrigin.y + viewport.height / 2 - f0.origin.y };

    ZoomStep step;
    step.zoom = zoomForSlider(fit, z);
    step.canvasFrame = frameRect(working, step.zoom, viewport);
    const Rect& f1 = step.canvasFrame;
    step.documentSize
        = { std::max(viewport.width, f1.size.width), std::max(viewport.height, f1.size.height) };
    step.scrollPoint = { scrollCoordinate(
                             centre.x, z0, step.zoom, f1.origin.x, f1.size.width, viewport.width),
        scrollCoordinate(centre.y, z0, step.zoom, f1.origin.y, f1.size.height, viewport.height) };
    return step;
}

} // namespace canvas::geometry
