#pragma once
// Small helpers shared by the imaging tests: pictures made from functions and y-up reads of
// rendered premultiplied pixels.
#include "platform/imaging/Filter.h"
#include "platform/imaging/FilterRenderer.h"

#include <QImage>
#include <array>
#include <functional>

namespace imagingtest {

using Rgba = std::array<double, 4>; // premultiplied, 0..1

// A picture whose y-up pixel (x, y) has the premultiplied colour f(x, y).
inline QImage makePicture(int w, int h, const std::function<Rgba(int, int)>& f)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba c = f(x, y);
            auto b = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
            img.setPixel(x, h - 1 - y, qRgba(b(c[0]), b(c[1]), b(c[2]), b(c[3])));
        }
    return img;
}

// The stored (premultiplied, 0..255) components at y-up (x, y).
inline std::array<int, 4> at(const QImage& img, int x, int y)
{
    const QRgb p = img.pixel(x, img.height() - 1 - y);
    return { qRed(p), qGreen(p), qBlue(p), qAlpha(p) };
}

inline QImage renderExact(const platform::FilterImage& img, const platform::Rect& region)
{
    return platform::FilterRenderer::render(img, region, 1.0, platform::RenderPath::Exact);
}

inline platform::FilterImage apply(const char* name, const platform::FilterImage& input,
    std::initializer_list<std::pair<const char*, platform::FilterValue>> values = {})
{
    platform::Filter f = platform::Filter::withName(QString::fromLatin1(name));
    if (!input.isNull())
        f.setValue(QStringLiteral("inputImage"), input);
    for (const auto& [k, v] : values)
        f.setValue(QString::fromLatin1(k), v);
    return f.outputImage();
}

// A smooth, varied test picture: every channel changes across it, nothing is flat.
inline QImage texturedPicture(int w, int h)
{
    return makePicture(w, h, [&](int x, int y) {
        const double r = 0.5 + 0.45 * std::sin(x * 0.37 + y * 0.11);
        const double g = 0.5 + 0.45 * std::cos(x * 0.05 - y * 0.29);
        const double b = double((x * 7 + y * 13) % 31) / 30.0;
        return Rgba { r, g, b, 1.0 };
    });
}

} // namespace imagingtest
