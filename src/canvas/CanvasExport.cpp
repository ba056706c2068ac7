#include "canvas/CanvasExport.h"

#include "canvas/CanvasLogging.h"

#include "platform/imaging/FilterRenderer.h"

#include <QLoggingCategory>
#include <QPainter>
#include <cmath>

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

QImage composeExport(const platform::FilterImage& back, const platform::FilterImage& composite,
    const platform::Size& working, const QSize& out, const BoxLayerRender& boxes, int stripeRows,
    QColor backdrop)
{
    if (out.isEmpty() || !(working.width > 0) || stripeRows < 1)
        return {};
    QImage result(out, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    result.fill(backdrop);
    const double scale = out.width() / working.width;
    const auto path = scale < 1 ? platform::RenderPath::Display : platform::RenderPath::Exact;
    QPainter painter(&result);
    for (int top = 0; top < out.height(); top += stripeRows) {
        const int rows = std::min(stripeRows, out.height() - top);
        // Output row r shows working y from (height - r) / scale down: stripes lie on the
        // output's pixel grid, so they join without seams.
        const Rect region(
            0, (out.height() - top - rows) / scale, out.width() / scale, rows / scale);
        // A layer without an image (the masked picture before any mask) draws nothing.
        const std::vector<QImage> layers
            = FilterRenderer::render({ back, composite }, region, scale, path);
        const auto failed = [&](int i) { return layers.size() != 2 || layers[i].isNull(); };
        if ((!back.isNull() && failed(0)) || (!composite.isNull() && failed(1)))
            return {};
        if (!back.isNull())
            painter.drawImage(QPoint(0, top), layers[0]);
        // The box layer in tiles: a view renders at most 16384 pixels on a side, and wider
        // pictures must not lose their boxes.
        for (int left = 0; boxes && left < out.width(); left += kBoxTileColumns) {
            const int columns = std::min(kBoxTileColumns, out.width() - left);
            const QImage boxLayer
                = boxes(Rect(left / scale, region.y(), columns / scale, region.height()), scale);
            if (!boxLayer.isNull())
                painter.drawImage(QRect(left, top, columns, rows), boxLayer);
        }
        if (!composite.isNull())
            painter.drawImage(QPoint(0, top), layers[1]);
    }
    return result;
}

} // namespace canvas
