// GraphicsContext: construction, the state stack, the transform and the settings on the
// state. The drawing itself is in the GraphicsContext*.cpp files, one per concern.
#include "platform/graphics/GraphicsContextInternal.h"

#include <algorithm>
#include <cmath>

namespace platform {

using namespace graphicsinternal;

// ---- construction

GraphicsContext::GraphicsContext(QImage& target, double baseScale)
    : d(std::make_unique<Impl>())
{
    d->rootImage = &target;
    d->deviceWidth = target.width();
    d->deviceHeight = target.height();
    d->baseScale = std::isfinite(baseScale) && baseScale > 0 ? baseScale : 1.0;
    d->baseToDevice = QTransform(d->baseScale, 0, 0, -d->baseScale, 0, d->deviceHeight);
    d->stack.emplace_back();
    Impl::Surface s;
    s.image = &target;
    if (!target.isNull()) {
        s.ownPainter = std::make_unique<QPainter>(&target);
        s.painter = s.ownPainter.get();
    }
    s.deviceRect = QRect(0, 0, d->deviceWidth, d->deviceHeight);
    d->surfaces.push_back(std::move(s));
}

GraphicsContext::GraphicsContext(
    QPainter& painter, int deviceWidth, int deviceHeight, double baseScale)
    : d(std::make_unique<Impl>())
{
    d->externalPainter = &painter;
    painter.save();
    d->deviceWidth = std::max(deviceWidth, 0);
    d->deviceHeight = std::max(deviceHeight, 0);
    d->baseScale = std::isfinite(baseScale) && baseScale > 0 ? baseScale : 1.0;
    d->baseToDevice = QTransform(d->baseScale, 0, 0, -d->baseScale, 0, d->deviceHeight);
    d->stack.emplace_back();
    Impl::Surface s;
    s.painter = &painter;
    s.deviceToPainter = painter.transform();
    s.deviceRect = QRect(0, 0, d->deviceWidth, d->deviceHeight);
    d->surfaces.push_back(std::move(s));
}

GraphicsContext::~GraphicsContext()
{
    while (d->surfaces.size() > 1) {
        if (QPoint origin; d->surfaces.back().picture)
            endPicture(origin);
        else
            endTransparencyLayer();
    }
    if (d->externalPainter)
        d->externalPainter->restore();
}

// ---- state

void GraphicsContext::saveGState()
{
    d->stack.push_back(d->state());
}

void GraphicsContext::restoreGState()
{
    if (d->stack.size() > 1)
        d->stack.pop_back();
}

AffineTransform GraphicsContext::ctm() const
{
    return d->state().ctm;
}

Rect GraphicsContext::convertRectToDeviceSpace(const Rect& r) const
{
    const QRectF device = d->userToDevice().mapRect(r.toQt());
    return Rect(device.x(), device.y(), device.width(), device.height());
}

void GraphicsContext::concatCTM(const AffineTransform& t)
{
    d->state().ctm = t.concatenated(d->state().ctm);
}

void GraphicsContext::translateCTM(double x, double y)
{
    d->state().ctm = d->state().ctm.translated(x, y);
}

void GraphicsContext::scaleCTM(double sx, double sy)
{
    d->state().ctm = d->state().ctm.scaled(sx, sy);
}

void GraphicsContext::rotateCTM(double radians)
{
    d->state().ctm = d->state().ctm.rotated(radians);
}

void GraphicsContext::setAlpha(double alpha)
{
    d->state().alpha = std::isfinite(alpha) ? std::clamp(alpha, 0.0, 1.0) : 1.0;
}

double GraphicsContext::alpha() const
{
    return d->state().alpha;
}

void GraphicsContext::setBlendMode(BlendMode mode)
{
    d->state().blendMode = mode;
}

BlendMode GraphicsContext::blendMode() const
{
    return d->state().blendMode;
}

void GraphicsContext::setShadow(const Shadow& shadow)
{
    d->state().shadow = shadow;
}

void GraphicsContext::clearShadow()
{
    d->state().shadow.reset();
}

std::optional<Shadow> GraphicsContext::shadow() const
{
    return d->state().shadow;
}

void GraphicsContext::setFillColor(const Color& c)
{
    d->state().fillColor = c;
}

Color GraphicsContext::fillColor() const
{
    return d->state().fillColor;
}

void GraphicsContext::setStrokeColor(const Color& c)
{
    d->state().strokeColor = c;
}

void GraphicsContext::setStrokeStyle(const StrokeStyle& s)
{
    d->state().strokeStyle = s;
}

StrokeStyle GraphicsContext::strokeStyle() const
{
    return d->state().strokeStyle;
}

QImage* GraphicsContext::targetImage()
{
    return d->surfaces.back().image;
}

} // namespace platform
