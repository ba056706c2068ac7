#pragma once
// Pictures and renders shared by the canvas tests.
#include "platform/imaging/FilterImage.h"
#include "platform/imaging/FilterRenderer.h"
#include "support/PixelProbe.h"

#include <QImage>
#include <QPainter>

namespace canvastest {

// A picture whose red grows to the right and green upwards, so every position has its colour.
inline QImage rampPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, h - 1 - y,
                qRgba(255 * x / std::max(1, w - 1), 255 * y / std::max(1, h - 1), 128, 255));
    return img;
}

inline QImage solidPicture(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return img;
}

// A white mask over the left half of a w x h working area, clear elsewhere.
inline platform::FilterImage leftHalfMask(int w, int h)
{
    QImage m(w, h, QImage::Format_ARGB32_Premultiplied);
    m.fill(Qt::transparent);
    QPainter p(&m);
    p.fillRect(0, 0, w / 2, h, Qt::white);
    return platform::FilterImage::fromQImage(m);
}

inline QImage renderAt(const platform::FilterImage& img, const platform::Rect& region)
{
    return platform::FilterRenderer::render(img, region, 1.0, platform::RenderPath::Exact);
}

} // namespace canvastest
