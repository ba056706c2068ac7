#include "canvas/CanvasExport.h"

#include "canvas/CanvasLogging.h"
#include "platform/concurrency/Handoff.h"
#include "platform/concurrency/Parallel.h"
#include "platform/imaging/FilterRenderer.h"
#include "platform/imaging/ImageBufferPool.h"

#include <QLoggingCategory>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>

namespace canvas {

using platform::FilterRenderer;
using platform::Rect;

namespace {
constexpr int kBoxTileColumns = 8192;
} // namespace

std::optional<QSize> fittedOutputSize(
    const platform::Size& working, const platform::Size& requested)
{
    const double ww = working.width, wh = working.height, w = requested.width, h = requested.height;
    if (!(ww > 0 && wh > 0 && std::isfinite(ww) && std::isfinite(wh)))
        return std::nullopt;
    if (!(w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h)))
        return std::nullopt;
    const float ir = float(wh) / float(ww);
    const float orq = float(h) / float(w);
    qCDebug(lcCanvas, "IR: %f / OR: %f", ir, orq);
    double outW = w, outH = h;
    if (std::abs(ir - orq) > 0.01f && ir > orq)
        outW = h / ir;
    else if (std::abs(ir - orq) > 0.01f && ir < orq)
        outH = w * ir;
    // Whole pixels, whatever the screen: the export is exactly this size.
    outW = std::max(1.0, std::round(outW));
    outH = std::max(1.0, std::round(outH));
    if (outW * outH > double(FilterRenderer::kMaxOutputPixels) || outW > 1e6 || outH > 1e6)
        return std::nullopt;
    return QSize(int(outW), int(outH));
}

namespace {

// x * a / 255 for the four bytes of x at once, rounded as Qt's raster engine rounds.
inline quint32 byteMul(quint32 x, quint32 a)
{
    quint64 t = ((quint64(x) | (quint64(x) << 24)) & 0x00ff00ff00ff00ffULL) * a;
    t = (t + ((t >> 8) & 0x00ff00ff00ff00ffULL) + 0x0080008000800080ULL) >> 8;
    t &= 0x00ff00ff00ff00ffULL;
    return quint32(t) | quint32(t >> 24);
}

// Premultiplied source over destination.
inline quint32 over(quint32 s, quint32 d)
{
    const quint32 a = s >> 24;
    if (a == 255)
        return s;
    return a == 0 ? d : s + byteMul(d, 255 - a);
}

// Rows of a stripe being composed, their addresses taken once: QImage::scanLine() from
// several threads would count detaches on the shared image data from each of them.
struct StripeRows {
    uchar* bits;
    qsizetype bytesPerLine;
    int width;
    quint32* row(int y) const { return reinterpret_cast<quint32*>(bits + y * bytesPerLine); }
};

// A layer over the rows [top, bottom) of the stripe, its pixel (x, y) over the stripe's
// (x + left, y).
void overRows(const StripeRows& stripe, const QImage& layer, int left, int top, int bottom)
{
    const int width = std::min(layer.width(), stripe.width - left);
    for (int y = top; y < std::min(bottom, layer.height()); ++y) {
        const auto* s = reinterpret_cast<const quint32*>(layer.constScanLine(y));
        quint32* d = stripe.row(y) + left;
        for (int x = 0; x < width; ++x)
            d[x] = over(s[x], d[x]);
    }
}

// A layer or a tile of the box layer as the stripe needs it: premultiplied and exactly
// columns x rows.
QImage fittedTile(QImage tile, int columns, int rows)
{
    if (tile.isNull())
        return tile;
    if (tile.format() != QImage::Format_ARGB32_Premultiplied)
        tile = tile.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (tile.size() != QSize(columns, rows))
        tile = tile.scaled(columns, rows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return tile;
}

struct BoxTile {
    int left;
    QImage pixels;
};

// Joins the thread that renders ahead whichever way the composition ends.
struct RenderAhead {
    platform::Handoff<std::vector<QImage>> layers { 1 };
    std::atomic<bool> cancelled { false }; // a render under way stops early
    std::thread thread;
    ~RenderAhead()
    {
        cancelled = true;
        layers.close();
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

bool composeExportStripes(const platform::FilterImage& back, const platform::FilterImage& composite,
    const platform::Size& working, const QSize& out, const BoxLayerRender& boxes,
    const ExportSink& sink, int stripeRows, QColor backdrop)
{
    if (out.isEmpty() || !(working.width > 0) || stripeRows < 1 || !sink)
        return false;
    const double scale = out.width() / working.width;
    const auto path = scale < 1 ? platform::RenderPath::Display : platform::RenderPath::Exact;
    const int stripes = (out.height() + stripeRows - 1) / stripeRows;
    const auto rowsOf = [&](int k) { return std::min(stripeRows, out.height() - k * stripeRows); };
    // Output row r shows working y from (height - r) / scale down: stripes lie on the output's
    // pixel grid, so they join without seams.
    const auto regionOf = [&](int k) {
        const int top = k * stripeRows, rows = rowsOf(k);
        return Rect(0, (out.height() - top - rows) / scale, out.width() / scale, rows / scale);
    };
    // The picture's layers need all cores but not this thread, the boxes need this thread
    // (their views live here): the next stripe's layers render while this one's boxes draw.
    RenderAhead ahead;
    ahead.thread = std::thread([&] {
        for (int k = 0; k < stripes; ++k) {
            if (!ahead.layers.push(FilterRenderer::render(
                    { back, composite }, regionOf(k), scale, path, &ahead.cancelled)))
                return;
        }
        ahead.layers.close();
    });
    const quint32 under = qPremultiply(backdrop.rgba());
    for (int k = 0; k < stripes; ++k) {
        const int rows = rowsOf(k);
        const Rect region = regionOf(k);
        // The box layer in tiles: a view renders at most 16384 pixels on a side, and wider
        // pictures must not lose their boxes.
        std::vector<BoxTile> tiles;
        for (int left = 0; boxes && left < out.width(); left += kBoxTileColumns) {
            const int columns = std::min(kBoxTileColumns, out.width() - left);
            QImage tile = fittedTile(
                boxes(Rect(left / scale, region.y(), columns / scale, region.height()), scale),
                columns, rows);
            if (!tile.isNull())
                tiles.push_back({ left, std::move(tile) });
        }
        std::optional<std::vector<QImage>> layers = ahead.layers.pop();
        // A layer without an image (the masked picture before any mask) draws nothing.
        const auto failed = [&](int i) {
            return !layers || layers->size() != 2 || (*layers)[std::size_t(i)].isNull();
        };
        if ((!back.isNull() && failed(0)) || (!composite.isNull() && failed(1)))
            return false;
        // The picture's own buffer becomes the stripe when it can: it is new and no one
        // else's. Otherwise the picture is drawn over a new one.
        QImage picture = back.isNull() ? QImage() : std::move((*layers)[0]);
        const bool inPlace = !picture.isNull() && picture.size() == QSize(out.width(), rows)
            && picture.format() == QImage::Format_ARGB32_Premultiplied;
        QImage stripe
            = inPlace ? std::move(picture) : platform::ImageBufferPool::make(out.width(), rows);
        if (stripe.isNull())
            return false;
        picture = fittedTile(std::move(picture), out.width(), rows);
        const QImage top
            = composite.isNull() ? QImage() : fittedTile((*layers)[1], out.width(), rows);
        const StripeRows to { stripe.bits(), stripe.bytesPerLine(), out.width() };
        platform::parallelRows(rows, out.width(), 1 << 16, [&](int first, int last) {
            for (int y = first; y < last; ++y) {
                quint32* d = to.row(y);
                if (inPlace) {
                    for (int x = 0; x < out.width(); ++x)
                        d[x] = over(d[x], under);
                } else {
                    std::fill_n(d, out.width(), under);
                }
            }
            if (!picture.isNull())
                overRows(to, picture, 0, first, last);
            for (const BoxTile& tile : tiles)
                overRows(to, tile.pixels, tile.left, first, last);
            if (!top.isNull())
                overRows(to, top, 0, first, last);
        });
        if (!sink(stripe))
            return false;
    }
    return true;
}

QImage joinedStripes(const QSize& out, const std::function<bool(const ExportSink&)>& produce)
{
    if (out.isEmpty())
        return {};
    QImage result(out, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    int top = 0;
    const bool made = produce([&](const QImage& stripe) {
        if (stripe.width() != out.width() || stripe.height() > out.height() - top)
            return false;
        const QImage rows = stripe.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < rows.height(); ++y)
            std::memcpy(
                result.scanLine(top + y), rows.constScanLine(y), std::size_t(out.width()) * 4);
        top += rows.height();
        return true;
    });
    return made && top == out.height() ? result : QImage();
}

QImage composeExport(const platform::FilterImage& back, const platform::FilterImage& composite,
    const platform::Size& working, const QSize& out, const BoxLayerRender& boxes, int stripeRows,
    QColor backdrop)
{
    return joinedStripes(out, [&](const ExportSink& sink) {
        return composeExportStripes(
            back, composite, working, out, boxes, sink, stripeRows, backdrop);
    });
}

} // namespace canvas
