// The preview pictures of the effect sliders, and the blocks the window hands its sliders.
#include "window/DocumentWindowPreviews.h"

#include "foundation/ImageAdditions.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/ui/NamedImage.h"
#include "window/BrushPanel.h"
#include "window/DocumentWindow.h"
#include "window/PictureSliders.h"

#include <QMap>
#include <QString>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

using namespace platform;

namespace sliderpreview {
namespace {

constexpr double kPi = 3.141592653589793;
const Size kFilterPreviewSize(100, 100);

// A new picture of the source's size: the source, then whatever draw adds over it (or, with
// copySource false, draw alone). Null when the size cannot be made into pixels.
Image drawnOver(
    const Image& source, bool copySource, const std::function<void(GraphicsContext&)>& draw)
{
    const Size size = source.size();
    if (!(size.width >= 1) || !(size.height >= 1)
        || size.width * size.height > double(kMaxImagePixels))
        return {};
    QImage pixels(int(std::ceil(size.width)), int(std::ceil(size.height)),
        QImage::Format_ARGB32_Premultiplied);
    if (pixels.isNull())
        return {};
    pixels.fill(Qt::transparent);
    {
        GraphicsContext ctx(pixels);
        if (copySource)
            ctx.drawImage(source, Rect(0, 0, size.width, size.height));
        draw(ctx);
    }
    return Image::fromQImage(pixels, size);
}

Rect centredSquare(const Size& size, double side)
{
    return { (size.width - side) / 2, (size.height - side) / 2, side, side };
}

Image withDab(const Image& source, double diameter, const Color& color, bool shadowed)
{
    return drawnOver(source, true, [&](GraphicsContext& ctx) {
        if (shadowed) {
            Shadow shadow;
            shadow.blur = 5;
            shadow.color = Color::black();
            ctx.setShadow(shadow);
        }
        ctx.setFillColor(color);
        ctx.fillPath(BezierPath::oval(centredSquare(source.size(), diameter)));
    });
}

Image withBrushArtwork(const Image& source, int index)
{
    const QString name = QStringLiteral("brushPreview-%1").arg(index + 1);
    const Size own = namedImageNaturalSize(name);
    const Image art = namedImage(name, own);
    return drawnOver(source, true, [&](GraphicsContext& ctx) {
        if (art.isNull())
            return;
        const Size s = source.size();
        ctx.drawImage(art,
            Rect((s.width - own.width) / 2, (s.height - own.height) / 2, own.width, own.height));
    });
}

Image filtered(const Image& source, const char* filter, const char* key, FilterValue value)
{
    return previewImageForCIFilter(source, QString::fromLatin1(filter), kFilterPreviewSize,
        { { QString::fromLatin1(key), value } });
}

// The source turned by 360v degrees, its middle third filling a picture of the source's size.
Image turned(const Image& source, double v)
{
    const Image rotated = imageRotated(source, float(360.0 * v));
    const double W = source.size().width, H = source.size().height;
    const double rw = rotated.size().width, rh = rotated.size().height;
    if (rotated.isNull() || !(rw > 0) || !(rh > 0))
        return {};
    const double s = std::max(W / rw, H / rh);
    const Rect dest(-std::round((s * rw - W) / 2), -std::round((s * rh - H) / 2), s * rw, s * rh);
    return drawnOver(source, false, [&](GraphicsContext& ctx) {
        ctx.drawImage(rotated, dest, Rect(rw / 3, rh / 3, rw / 3, rh / 3));
    });
}

} // namespace

Image preview(Kind kind, const Image& source, int index, double v, double maxValue)
{
    if (source.isNull() || !std::isfinite(v))
        return {};
    const double H = source.size().height;
    switch (kind) {
    case Kind::DrawSize:
        return withDab(source, H * (0.5 * v + 0.2), Color::white(), true);
    case Kind::DrawHardness:
        return withBrushArtwork(source, std::clamp(index, 0, 3));
    case Kind::DrawOpacity:
        return withDab(source, 0.7 * H, Color::grey(1.0, v), false);
    case Kind::Aperture:
        return filtered(source, "CIGaussianBlur", "inputRadius", maxValue * v * 5);
    case Kind::Vignette:
        return filtered(source, "CIVignette", "inputIntensity", maxValue * v);
    case Kind::Saturation:
    case Kind::ImageBoxSaturation:
        return filtered(source, "CIColorControls", "inputSaturation", maxValue * v);
    case Kind::ZoomAndStraighten:
        return filtered(source, "CIAffineTransform", "inputTransform",
            AffineTransform::makeScale(1 + v, 1 + v).rotated(10 * v * kPi / 180));
    case Kind::Zoom:
        return filtered(source, "CIAffineTransform", "inputTransform",
            AffineTransform::makeScale(1 + v, 1 + v));
    case Kind::TextboxOpacity:
        return drawnOver(source, false, [&](GraphicsContext& ctx) {
            const Size s = source.size();
            ctx.drawImage(source, Rect(0, 0, s.width, s.height), Rect::null(),
                CompositingOperation::SourceOver, v);
        });
    case Kind::TextboxAngle:
        return turned(source, v);
    }
    return {};
}

} // namespace sliderpreview

ImageEffectIntensitySlider::PreviewBlock DocumentWindow::previewBlockFor(
    const ImageEffectIntensitySlider& slider) const
{
    using sliderpreview::Kind;
    std::vector<std::pair<const ImageEffectIntensitySlider*, Kind>> kinds = {
        { imageboxsaturationSlider, Kind::ImageBoxSaturation },
        { textboxOpacitySlider, Kind::TextboxOpacity },
        { textboxAngleSlider, Kind::TextboxAngle },
    };
    for (const PictureSlider& row : pictureSliders())
        kinds.emplace_back(this->*row.outlet, row.preview);
    for (const BrushSlider& row : BrushPanel::sliders())
        kinds.emplace_back(this->*row.outlet, row.preview);
    // Not a structured binding: clang before 16 cannot capture one.
    for (const auto& outletKind : kinds) {
        if (outletKind.first != &slider)
            continue;
        const Kind kind = outletKind.second;
        // The block lives in the slider it reads, so the reference outlives every call.
        return [kind, &slider](const Image& source, int index, float strength) {
            return sliderpreview::preview(kind, source, index, double(strength), slider.maxValue());
        };
    }
    return {};
}
