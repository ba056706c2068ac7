// Debug drawing of intersections: the paths are mapped into a picture of a readable size, so
// that the dots and labels keep their size whatever the paths' scale.
#include "foundation/BezierPathAdditionsDebug.h"

#include "foundation/ImageAdditions.h"
#include "foundation/PathLogging.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/text/StringDrawing.h"

#include <algorithm>
#include <cmath>

using platform::BezierPath;
using platform::Color;
using platform::Point;
using platform::Rect;

namespace {

Color markColour(const KXBezierPathIntersection& x)
{
    if (x.right.entry == 0)
        return Color(1, 1, 0);
    if (x.right.entry == 1)
        return Color(0, 0, 1);
    return Color(1, 0, 0);
}

void drawMarks(platform::GraphicsContext& ctx, const std::vector<KXBezierPathIntersection>& xs,
    const platform::AffineTransform& toPicture)
{
    const platform::Font font = platform::systemFont(9);
    for (std::size_t i = 0; i < xs.size(); ++i) {
        const Point at = toPicture.map(xs[i].location);
        const Rect dot(at.x - 2.5, at.y - 2.5, 5, 5);
        ctx.setFillColor(markColour(xs[i]));
        ctx.fillPath(BezierPath::oval(dot));
        const QString label = QString::number(qlonglong(i));
        const platform::Size size = platform::sizeOfString(label, font);
        drawStringInRect(ctx, label, Rect(dot.minX(), dot.minY(), size.width, size.height), font,
            Color::black());
    }
}

} // namespace

void drawIntersectionsWithPath(
    platform::GraphicsContext& ctx, const BezierPath& path, const BezierPath& other)
{
    drawMarks(ctx, allIntersectionsWithPath(path, other), platform::AffineTransform());
}

bool showIntersectionsWithPath(const BezierPath& path, const BezierPath& other, const QString& name)
{
    Rect box = path.isEmpty() ? other.bounds() : path.bounds();
    if (!path.isEmpty() && !other.isEmpty())
        box = box.united(other.bounds());
    const double side = std::max(box.width(), box.height());
    if (path.isEmpty() && other.isEmpty()) {
        qCWarning(lcPath) << "no intersections picture: both paths are empty";
        return false;
    }
    if (!std::isfinite(box.minX() + box.minY() + side)) {
        qCWarning(lcPath) << "no intersections picture: the paths are not finite";
        return false;
    }
    // The longer side drawn 800 pixels long, within a margin of 20.
    constexpr double kSide = 800.0;
    constexpr double kMargin = 20.0;
    const double scale = side > 0.0 ? kSide / side : 1.0;
    const platform::AffineTransform toPicture
        = platform::AffineTransform::makeTranslation(-box.minX(), -box.minY())
              .concatenated(platform::AffineTransform::makeScale(scale, scale))
              .concatenated(platform::AffineTransform::makeTranslation(kMargin, kMargin));
    QImage pixels(int(std::ceil(box.width() * scale + 2 * kMargin)),
        int(std::ceil(box.height() * scale + 2 * kMargin)), QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::white);
    {
        platform::GraphicsContext ctx(pixels);
        ctx.setStrokeStyle({ 1.0 });
        ctx.setStrokeColor(Color::black());
        ctx.strokePath(path.transformed(toPicture));
        ctx.setStrokeColor(Color::grey(0.55));
        ctx.strokePath(other.transformed(toPicture));
        drawMarks(ctx, allIntersectionsWithPath(path, other), toPicture);
    }
    return saveDesktopTestImage(pixels, name);
}
