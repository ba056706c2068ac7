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
#include <vector>

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

    // The same region of several images in one request, one result per image, each exactly
    // what render() gives for it alone. An image built on an earlier one of the list (the
    // blend over the boxes takes the picture under them as its input) reads the earlier
    // one's pixels instead of computing them again, so list the images an image is built on
    // before it. A failed or cancelled request gives null images throughout.
    static std::vector<QImage> render(const std::vector<FilterImage>& images, const Rect& region,
        double scale, RenderPath path, const std::atomic<bool>* cancel = nullptr);

    // The pixel size a render of region at scale produces.
    static QSize outputSize(const Rect& region, double scale);

    // The pixels of one unit of work of a render.
    struct TileSize {
        int width;
        int height;
    };

private:
    static std::vector<QImage> renderAtScale(const std::vector<FilterImage>& images,
        const PixelRect& pixels, const RenderArgs& args, TileSize tileSize);
    // Clears the pixels of r in the image of all whose top row starts at bits.
    static void clear(
        const PixelRect& r, const PixelRect& all, uchar* bits, qsizetype bytesPerLine);
    // Writes tile into the image of all whose top row starts at bits. With stream the bytes
    // bypass the caches (display renders: drawn later, by another thread, after the render
    // has run through far more memory than the caches hold; outputs larger than those).
    static void store(const PixelTile& tile, const PixelRect& all, uchar* bits,
        qsizetype bytesPerLine, bool stream);
};

} // namespace platform
