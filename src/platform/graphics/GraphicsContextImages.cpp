// GraphicsContext pictures: drawing part of a picture upright with an operation and a
// fraction (reduced first when drawn much smaller), and filling with a repeated picture.
#include "platform/graphics/GraphicsContextInternal.h"

#include <list>
#include <mutex>

namespace platform::graphicsinternal {

namespace {

BlendMode toBlendMode(CompositingOperation op)
{
    switch (op) {
    case CompositingOperation::Clear:
        return BlendMode::Clear;
    case CompositingOperation::Copy:
        return BlendMode::Copy;
    case CompositingOperation::SourceOver:
        return BlendMode::Normal;
    case CompositingOperation::SourceIn:
        return BlendMode::SourceIn;
    case CompositingOperation::SourceOut:
        return BlendMode::SourceOut;
    case CompositingOperation::SourceAtop:
        return BlendMode::SourceAtop;
    case CompositingOperation::DestinationOver:
        return BlendMode::DestinationOver;
    case CompositingOperation::DestinationIn:
        return BlendMode::DestinationIn;
    case CompositingOperation::DestinationOut:
        return BlendMode::DestinationOut;
    case CompositingOperation::DestinationAtop:
        return BlendMode::DestinationAtop;
    case CompositingOperation::XOR:
        return BlendMode::XOR;
    case CompositingOperation::PlusDarker:
        return BlendMode::PlusDarker;
    case CompositingOperation::PlusLighter:
        return BlendMode::PlusLighter;
    }
    return BlendMode::Normal;
}

// Pictures drawn much smaller than their pixels are first reduced with Qt's area-averaging
// scale (bilinear sampling alone would alias). The same picture is drawn at the same size
// frame after frame, so the last few reductions are kept.
class ReducedPictureCache {
public:
    static QImage reduced(std::uint64_t id, const QImage& pixels, const QRect& source, QSize size)
    {
        static ReducedPictureCache cache;
        std::lock_guard lock(cache.m_mutex);
        for (auto it = cache.m_entries.begin(); it != cache.m_entries.end(); ++it) {
            if (it->id == id && it->source == source && it->size == size) {
                cache.m_entries.splice(cache.m_entries.begin(), cache.m_entries, it);
                return it->image;
            }
        }
        // Scaled from a view of the source rectangle: a copy of it would hold a whole photo's
        // pixels twice for a moment. pixels is premultiplied ARGB32 (Image::toQImage).
        const QImage view(pixels.constScanLine(source.y()) + qsizetype(source.x()) * 4,
            source.width(), source.height(), pixels.bytesPerLine(), pixels.format());
        QImage result = view.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (result.isNull())
            return {};
        if (result.constBits() == view.constBits()) // not scaled: it would still be the view
            result = view.copy();
        if (result.format() != QImage::Format_ARGB32_Premultiplied)
            result = result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        cache.m_entries.push_front({ id, source, size, result });
        while (cache.m_entries.size() > kEntries)
            cache.m_entries.pop_back();
        return result;
    }

private:
    static constexpr size_t kEntries = 8;
    struct Entry {
        std::uint64_t id;
        QRect source;
        QSize size;
        QImage image;
    };
    std::mutex m_mutex;
    std::list<Entry> m_entries;
};

} // namespace

} // namespace platform::graphicsinternal

namespace platform {

using namespace graphicsinternal;

void GraphicsContext::drawImage(const Image& image, const Rect& destRect, const Rect& sourceRect,
    CompositingOperation compositing, double fraction)
{
    if (image.isNull())
        return;
    const QImage pixels = image.toQImage();
    if (pixels.isNull())
        return;
    const Size pts = image.size();
    if (!(pts.width > 0) || !(pts.height > 0))
        return;
    const double kx = pixels.width() / pts.width, ky = pixels.height() / pts.height;
    Rect dest = destRect.standardized();
    Rect src = sourceRect.isNull() ? Rect(0, 0, pts.width, pts.height) : sourceRect.standardized();
    if (src.isEmpty() || dest.isEmpty())
        return;
    // Only the part of the source on the picture is drawn, into the matching part of dest.
    const Rect onPicture = src.intersection(Rect(0, 0, pts.width, pts.height));
    if (onPicture.isNull() || onPicture.isEmpty())
        return;
    const double sx = dest.width() / src.width(), sy = dest.height() / src.height();
    dest = Rect(dest.x() + (onPicture.x() - src.x()) * sx,
        dest.y() + (onPicture.y() - src.y()) * sy, onPicture.width() * sx, onPicture.height() * sy);
    src = onPicture;
    // Picture pixels have row 0 at the top; y-up source rects count from the bottom.
    const QRectF pixelSource(
        src.x() * kx, (pts.height - src.maxY()) * ky, src.width() * kx, src.height() * ky);
    const QRectF target = dest.toQt();
    QPainterPath shape;
    shape.addRect(target);

    QImage drawn = pixels;
    QRectF drawnSource = pixelSource;
    const QTransform toDevice = d->userToDevice();
    const double deviceW = std::hypot(toDevice.m11(), toDevice.m12()) * target.width();
    const double deviceH = std::hypot(toDevice.m21(), toDevice.m22()) * target.height();
    constexpr double kMaxReduction = 2.0;
    if (std::isfinite(deviceW) && std::isfinite(deviceH) && deviceW >= 1 && deviceH >= 1
        && (pixelSource.width() > kMaxReduction * deviceW
            || pixelSource.height() > kMaxReduction * deviceH)) {
        const QRect whole = pixelSource.toAlignedRect().intersected(pixels.rect());
        const QSize size(int(std::ceil(std::min(deviceW, double(whole.width())))),
            int(std::ceil(std::min(deviceH, double(whole.height())))));
        const QImage reduced = ReducedPictureCache::reduced(image.contentId(), pixels, whole, size);
        if (!reduced.isNull()) {
            drawn = reduced;
            drawnSource = QRectF(reduced.rect());
        }
    }

    Operation op;
    op.shape = shape;
    op.brushSource = false;
    op.paint = [drawn, drawnSource, target](QPainter& p, bool) {
        // A local flip keeps the picture upright in the y-up space.
        const QTransform flip(1, 0, 0, -1, 0, target.top() + target.bottom());
        p.setTransform(flip * p.transform());
        p.drawImage(target, drawn, drawnSource);
    };
    op.userToDevice = toDevice;
    op.mode = toBlendMode(compositing);
    op.alpha = d->state().alpha * (std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0);
    d->run(std::move(op));
}

void GraphicsContext::fillPathWithPattern(
    const BezierPath& path, const Image& tile, const Point& phase, double fraction)
{
    if (tile.isNull())
        return;
    const QImage pixels = tile.toQImage();
    const Size pts = tile.size();
    if (pixels.isNull() || !(pts.width > 0) || !(pts.height > 0) || !phase.isFinite())
        return;
    QPainterPath shape;
    if (path.isEmpty()) {
        const QRectF visible = d->visibleDeviceRect();
        shape.addPolygon(d->userToDevice().inverted().map(QPolygonF(visible)));
        shape.closeSubpath();
    } else {
        shape = path.toQPainterPath();
    }
    QBrush brush(pixels);
    // Tile pixel (u, v) lands at (phase.x + u * w/pw, phase.y + h - v * h/ph): upright, with
    // one copy's bottom-left at the phase.
    brush.setTransform(QTransform(pts.width / pixels.width(), 0, 0, -pts.height / pixels.height(),
        phase.x, phase.y + pts.height));
    Operation op = brushOperation(shape, brush);
    op.brushSource = false;
    d->runInState(std::move(op), d->userToDevice(),
        std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0);
}

} // namespace platform
