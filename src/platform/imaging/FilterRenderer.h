#pragma once
// Turns a filter image into pixels, in parallel over tiles on all cores.
//
// Exact: the recipe is evaluated at full resolution, tile by tile with each filter's margins,
// and the result is reduced to the requested scale when that is not 1 (export).
// Display: the recipe is evaluated directly at the requested scale, so only the visible
// pixels are computed; pictures are read from their cached 2x pyramid and blur radii shrink
// with the scale (the canvas).
//
// Values are computed in float and clamped only here, when they become 8-bit.
#include "platform/imaging/FilterImage.h"

#include <QImage>
#include <atomic>

namespace platform {

enum class RenderPath { Exact, Display };

class FilterRenderer {
public:
    // Larger outputs are refused (a null image).
    static constexpr long long kMaxOutputPixels = 256LL * 1024 * 1024;

    // The region (working space, y-up) of image at the scale, as premultiplied ARGB32 of
    // round(region * scale) pixels whose top row is the top of the region. Pixels outside the
    // image's extent are clear. A null QImage when the image is null, the region empty, the
    // output too large, a buffer unavailable or the render cancelled through cancel.
    static QImage render(const FilterImage& image, const Rect& region, double scale,
        RenderPath path, const std::atomic<bool>* cancel = nullptr);

    // The pixel size a render of region at scale produces.
    static QSize outputSize(const Rect& region, double scale);

private:
    static QImage renderAtScale(
        const FilterImage& image, const PixelRect& pixels, const RenderArgs& args);
    static void store(const PixelTile& tile, const PixelRect& all, QImage& out);
};

} // namespace platform
