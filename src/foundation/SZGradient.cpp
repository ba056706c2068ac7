#include "foundation/SZGradient.h"

#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/graphics/GraphicsContext.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <limits>

using platform::AffineTransform;
using platform::BezierPath;
using platform::Color;
using platform::GraphicsContext;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

// Degrees to radians with pi written as the system writes it.
double radians(double degrees) { return degrees * 3.141592 / 180.0; }

// Truncation towards zero that stays defined for any double.
int truncToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    constexpr double lim = double(std::numeric_limits<int>::max() / 2);
    return int(std::clamp(v, -lim, lim));
}

// The transform that turns by degrees about centre (move to the centre, rotate, move back).
AffineTransform turnAbout(const Point& centre, double degrees)
{
    return AffineTransform::makeTranslation(-centre.x, -centre.y)
        .concatenated(AffineTransform::makeRotation(radians(degrees)))
        .concatenated(AffineTransform::makeTranslation(centre.x, centre.y));
}

void concatTurnAbout(GraphicsContext& ctx, const Point& centre, double degrees)
{
    ctx.translateCTM(centre.x, centre.y);
    ctx.rotateCTM(radians(degrees));
    ctx.translateCTM(-centre.x, -centre.y);
}

// Draws the picture into rect by scale mode; clipped by the caller.
void drawPlacedImage(GraphicsContext& ctx, const SZGradient& fill, const Rect& rect)
{
    const ImagePlacement placement = placeImage(fill.imageScaleType, fill.image.size(), rect);
    switch (placement.kind) {
    case ImagePlacement::Kind::None:
        return;
    case ImagePlacement::Kind::Single:
        ctx.drawImage(fill.image, placement.first, Rect::null(),
                      platform::CompositingOperation::SourceOver, fill.opacity);
        return;
    case ImagePlacement::Kind::Tiled: {
        // One texture fill anchored on the first copy, limited to the copies the grid holds.
        const BezierPath area = BezierPath::rect(placement.tiledArea());
        ctx.fillPathWithPattern(area, fill.image, placement.first.origin, fill.opacity);
        return;
    }
    }
}

// Kinds 0 and 1: the path filled with the clear colour or the fill's colour, which stays the
// context's fill colour. A colour lost from a damaged archive draws nothing rather than
// whatever colour was current.
void fillSolid(GraphicsContext& ctx, const SZGradient& g, const BezierPath& path)
{
    if (g.gradientType == SZGradient::NoFill)
        ctx.setFillColor(Color::clear());
    else if (g.color)
        ctx.setFillColor(*g.color);
    else
        return;
    ctx.fillPath(path);
}

std::vector<platform::GradientStop> stopsWithAlpha(const platform::Gradient& g, double factor)
{
    std::vector<platform::GradientStop> stops;
    const int n = std::min(g.numberOfColorStops(), platform::Gradient::kMaxStops);
    stops.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const auto& s = g.stop(i);
        stops.push_back({s.color.withAlpha(s.color.alpha * factor), s.location});
    }
    return stops;
}

Q_LOGGING_CATEGORY(lcFill, "quillmark.foundation.fill", QtWarningMsg)

// The reader of the class tag, registered with the archive when this file is linked in (it
// is whenever anything uses a fill).
const bool registered = [] {
    platform::KeyedUnarchiver::registerClass(
        QStringLiteral("SZGradient"), [](const platform::KeyedUnarchiver& coder) {
            return std::make_shared<const SZGradient>(SZGradient::initWithCoder(coder));
        });
    return true;
}();

} // namespace

SZGradient::SZGradient()
    : gradient(platform::Gradient(Color::white(), Color::black()))
    , color(Color(0.0, 0.0, 0.0, 1.0))
{
}

bool SZGradient::isEqualTo(const SZGradient& o) const
{
    if (drawType != o.drawType)
        return false;
    if (!(angle == o.angle))
        return false;
    if (gradientType != o.gradientType)
        return false;
    if (color != o.color)
        return false;
    if (gradient != o.gradient)
        return false;
    if (imageScaleType != o.imageScaleType)
        return false;
    if (image.isNull() != o.image.isNull())
        return false;
    if (!image.isNull() && image != o.image)
        return false;
    return opacity == o.opacity;
}

SZGradient SZGradient::gradientWithOpacity(double o, double angleDelta) const
{
    SZGradient c = *this;
    if (color)
        c.color = color->withAlpha(color->alpha * o);
    if (gradient)
        c.gradient = platform::Gradient(stopsWithAlpha(*gradient, o));
    c.angle = angle + angleDelta;
    c.opacity = float(o);
    return c;
}

void SZGradient::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    coder.encodeObject(QStringLiteral("color"), color);
    coder.encodeObject(QStringLiteral("gradient"), gradient);
    coder.encodeInt32(QStringLiteral("drawtype"), drawType);
    coder.encodeInt32(QStringLiteral("gradienttype"), gradientType);
    coder.encodeFloat(QStringLiteral("angle"), float(angle));
    coder.encodeInt32(QStringLiteral("imageScaleType"), imageScaleType);
    coder.encodeObject(QStringLiteral("image"), image);
    coder.encodeFloat(QStringLiteral("opacity"), opacity);
}

SZGradient SZGradient::initWithCoder(const platform::KeyedUnarchiver& coder)
{
    SZGradient g;
    g.color = coder.decodeObject<Color>(QStringLiteral("color"));
    g.gradient = coder.decodeObject<platform::Gradient>(QStringLiteral("gradient"));
    g.drawType = coder.decodeInt32(QStringLiteral("drawtype"));
    g.gradientType = coder.decodeInt32(QStringLiteral("gradienttype"));
    g.angle = coder.decodeFloat(QStringLiteral("angle"));
    g.image = coder.decodeObject<platform::Image>(QStringLiteral("image")).value_or(platform::Image());
    g.imageScaleType = coder.decodeInt32(QStringLiteral("imageScaleType"));
    g.opacity = coder.decodeFloat(QStringLiteral("opacity"));
    if (!std::isfinite(g.angle)) {
        qCDebug(lcFill) << "fill angle is not a number; reading 0";
        g.angle = 0.0;
    }
    if (!std::isfinite(g.opacity)) {
        qCDebug(lcFill) << "fill opacity is not a number; reading 1";
        g.opacity = 1.0f;
    }
    return g;
}

platform::AttributeValue SZGradient::attributeValue(const SZGradient& fill)
{
    return platform::AttributeValue(std::shared_ptr<const platform::AttributeObject>(
        std::make_shared<const SZGradient>(fill)));
}

const SZGradient* SZGradient::fromAttribute(const platform::AttributeValue& value)
{
    return dynamic_cast<const SZGradient*>(value.object());
}

bool SZGradient::equals(const platform::AttributeObject& other) const
{
    const auto* fill = dynamic_cast<const SZGradient*>(&other);
    return fill && isEqualTo(*fill);
}

std::shared_ptr<platform::AttributeObject> SZGradient::clone() const
{
    return std::make_shared<SZGradient>(*this);
}

void SZGradient::drawGradient(const SZGradient& g, const BezierPath& path, GraphicsContext& ctx,
                              double pathTurn)
{
    switch (g.gradientType) {
    case NoFill:
    case ColorFill:
        fillSolid(ctx, g, path);
        return;
    case LinearFill:
    case AdvancedLinearFill:
        if (g.gradient)
            ctx.drawLinearGradientInPath(*g.gradient, path, 360.0 - g.angle + 2.0 * pathTurn);
        return;
    case RadialFill:
    case AdvancedRadialFill:
        if (g.gradient)
            ctx.drawRadialGradientInPath(*g.gradient, path, Point(0, 0));
        return;
    case ImageFill: {
        const Rect r0 = path.bounds();
        const Rect r = path.transformed(turnAbout(r0.center(), -g.angle)).bounds();
        if (g.image.isNull()) {
            ctx.setFillColor(Color::grey(0.5));
            ctx.fillPath(path);
            return;
        }
        platform::GStateGuard guard(ctx);
        ctx.clipToPath(path);
        concatTurnAbout(ctx, r.center(), g.angle);
        drawPlacedImage(ctx, g, r);
        return;
    }
    default:
        return;
    }
}

void SZGradient::drawStrokeGradient(const SZGradient& g, const BezierPath& path, const Rect& b,
                                    const Rect& orgbounds, GraphicsContext& ctx)
{
    platform::GStateGuard guard(ctx);
    ctx.clipToPath(path);

    const float hw = float(b.width() / 2), hh = float(b.height() / 2);
    const double r = std::sqrt(hw * hw + hh * hh);
    const Point c(b.x() + hw, b.y() + hh);

    switch (g.gradientType) {
    case NoFill:
    case ColorFill:
        fillSolid(ctx, g, path);
        return;
    case LinearFill:
    case AdvancedLinearFill: {
        if (!g.gradient)
            return;
        const double a = radians(g.angle);
        const double a2 = radians(g.angle + 180.0);
        const Point start(c.x + r * std::cos(a), c.y + r * std::sin(a));
        const Point end(c.x + r * std::cos(a2), c.y + r * std::sin(a2));
        ctx.drawLinearGradient(platform::Gradient(stopsWithAlpha(*g.gradient, 1.0)), start, end,
                               platform::GradientNoExtension);
        return;
    }
    case RadialFill:
    case AdvancedRadialFill:
        if (!g.gradient)
            return;
        ctx.drawRadialGradient(platform::Gradient(stopsWithAlpha(*g.gradient, 1.0)), c, 0.0, c, r,
                               platform::GradientNoExtension);
        return;
    case ImageFill:
        if (g.image.isNull()) {
            ctx.setFillColor(Color::grey(0.5, g.color ? g.color->alpha : 1.0));
            ctx.fillPath(path);
            return;
        }
        concatTurnAbout(ctx, b.center(), g.angle);
        drawPlacedImage(ctx, g, orgbounds);
        return;
    default:
        return;
    }
}

// ---- placement

Rect ImagePlacement::tiledArea() const
{
    return {first.x(), first.y(), first.width() * columns, first.height() * rows};
}

ImagePlacement placeImage(int scaleType, const Size& imageSize, const Rect& rect)
{
    const double w = imageSize.width, h = imageSize.height;
    const double x = rect.x(), y = rect.y(), W = rect.width(), H = rect.height();
    ImagePlacement p;
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return p;
    switch (scaleType) {
    case SZGradient::OriginalSize:
        p.kind = ImagePlacement::Kind::Single;
        p.first = Rect(x, y + H - h, w, h);
        return p;
    case SZGradient::Stretch:
        p.kind = ImagePlacement::Kind::Single;
        p.first = rect;
        return p;
    case SZGradient::Tile: {
        const int iw = truncToInt(w), ih = truncToInt(h);
        // A picture under one unit in either direction cannot be counted into tiles.
        if (iw < 1 || ih < 1)
            return p;
        const int nx = (truncToInt(W) - 1 + iw) / iw;
        const int ny = (truncToInt(H) - 1 + ih) / ih;
        if (nx < 1 || ny < 1)
            return p;
        p.kind = ImagePlacement::Kind::Tiled;
        p.columns = nx;
        p.rows = ny;
        p.first = Rect(x, y + H - ny * h, w, h);
        return p;
    }
    case SZGradient::ScaleToFill:
    case SZGradient::ScaleToFit: {
        const double s = scaleType == SZGradient::ScaleToFill ? std::max(W / w, H / h)
                                                              : std::min(W / w, H / h);
        p.kind = ImagePlacement::Kind::Single;
        p.first = Rect(x - std::round((s * w - W) / 2), y - std::round((s * h - H) / 2), s * w,
                       s * h);
        return p;
    }
    default:
        return p;
    }
}
