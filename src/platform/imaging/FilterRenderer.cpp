#include "platform/imaging/FilterRenderer.h"

#include "platform/imaging/ThreadPool.h"

#include <cmath>

namespace platform {

namespace {
// Tiles wide enough that the blur's side margins cost little, short enough that a tile's
// buffers stay in cache and that every core gets several.
constexpr int kTileWidth = 512;
constexpr int kTileHeight = 128;
} // namespace

QSize FilterRenderer::outputSize(const Rect& region, double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        return {};
    const PixelRect r = FilterNode::roundedPixels(region, scale);
    return { r.width, r.height };
}

QImage FilterRenderer::render(const FilterImage& image, const Rect& region, double scale,
    RenderPath path, const std::atomic<bool>* cancel)
{
    if (image.isNull() || !(scale > 0) || !std::isfinite(scale))
        return {};
    RenderArgs args;
    args.cancel = cancel;
    const PixelRect target = FilterNode::roundedPixels(region, scale);
    if (target.isEmpty() || target.area() > kMaxOutputPixels)
        return {};
    if (path == RenderPath::Display || scale == 1.0) {
        args.scale = scale;
        args.usePyramid = path == RenderPath::Display;
        return renderAtScale(image, target, args);
    }
    const PixelRect full = FilterNode::roundedPixels(region, 1.0);
    if (full.isEmpty() || full.area() > kMaxOutputPixels)
        return {};
    const QImage whole = renderAtScale(image, full, args);
    if (whole.isNull())
        return {};
    return whole.scaled(
        target.width, target.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage FilterRenderer::renderAtScale(
    const FilterImage& image, const PixelRect& pixels, const RenderArgs& args)
{
    QImage out(pixels.width, pixels.height, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    const int cols = (pixels.width + kTileWidth - 1) / kTileWidth;
    const int rows = (pixels.height + kTileHeight - 1) / kTileHeight;
    std::atomic<bool> failed { false };
    const FilterNode& node = *image.node();
    ThreadPool::parallelFor(cols * rows, [&](int index) {
        if (failed.load(std::memory_order_relaxed))
            return;
        // Rows from the top, so that the first tiles finished are the first rows of the image.
        const int tx = index % cols, ty = rows - 1 - index / cols;
        const int x = pixels.x + tx * kTileWidth, y = pixels.y + ty * kTileHeight;
        const PixelRect r(x, y, std::min(kTileWidth, pixels.maxX() - x),
            std::min(kTileHeight, pixels.maxY() - y));
        PixelTile tile;
        if (!node.renderRect(args, r, tile)) {
            failed = true;
            return;
        }
        store(tile, pixels, out);
    });
    if (failed || args.cancelled())
        return {};
    return out;
}

void FilterRenderer::store(const PixelTile& tile, const PixelRect& all, QImage& out)
{
    const PixelRect& r = tile.rect();
    for (int y = r.y; y < r.maxY(); ++y) {
        const Px* s = tile.row(y);
        QRgb* d = reinterpret_cast<QRgb*>(out.scanLine(all.maxY() - 1 - y)) + (r.x - all.x);
        for (int i = 0; i < r.width; ++i) {
            const Px zero = { 0, 0, 0, 0 };
            Px v = s[i];
            v = v > zero ? v : zero; // NaN becomes 0 here too
            const float a = v[3] < 1.0f ? v[3] : 1.0f;
            const Px av = { a, a, a, a };
            v = v < av ? v : av; // premultiplied: no component above alpha
            v = v * 255.0f + 0.5f;
            d[i] = qRgba(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
        }
    }
}

} // namespace platform
