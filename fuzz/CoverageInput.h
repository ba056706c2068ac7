#pragma once
// What coverage_fuzz does with one input, shared with the regression test that replays the
// inputs kept in tests/data/regressions/coverage_fuzz: arbitrary bytes are read as a sequence
// of path elements with coordinates that may be huge, tiny, infinite or not numbers, then used
// as a clip and filled through it (solid and gradient) and rasterised directly. Any crash, hang
// or undefined behaviour is a finding; the pixels themselves are not checked. Needs a
// QGuiApplication.
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/CoverageRasterizer.h"
#include "platform/graphics/GraphicsContext.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzinput {

namespace detail {

struct Reader {
    const std::uint8_t* data;
    size_t size;
    size_t at = 0;
    bool more() const { return at < size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    double number()
    {
        // Mostly small coordinates, sometimes any double at all.
        const std::uint8_t kind = byte();
        if (kind < 200)
            return (double(kind) + double(byte()) / 256.0) - 40.0;
        double v = 0;
        for (size_t i = 0; i < sizeof v && at < size; ++i)
            reinterpret_cast<std::uint8_t*>(&v)[i] = data[at++];
        return v;
    }
    platform::Point point() { return platform::Point(number(), number()); }
};

} // namespace detail

inline void rasterisePath(const std::uint8_t* data, size_t size)
{
    using namespace platform;
    detail::Reader in { data, size };
    BezierPath path;
    for (int n = 0; in.more() && n < 400; ++n) {
        switch (in.byte() % 5) {
        case 0:
            path.moveTo(in.point());
            break;
        case 1:
            path.lineTo(in.point());
            break;
        case 2: {
            const Point a = in.point(), b = in.point(), c = in.point();
            path.curveTo(c, a, b);
            break;
        }
        case 3:
            path.closePath();
            break;
        case 4:
            path.appendPath(
                BezierPath::oval(Rect(in.number(), in.number(), in.number(), in.number())));
            break;
        }
    }

    QImage target(64, 48, QImage::Format_ARGB32_Premultiplied);
    target.fill(0);
    {
        GraphicsContext ctx(target);
        ctx.clipToPath(path);
        ctx.setFillColor(Color(0.2, 0.4, 0.6, 0.8));
        ctx.fillPath(path);
        ctx.drawLinearGradientInPath(
            Gradient(Color(1, 0, 0), Color(0, 0, 1)), BezierPath::rect(Rect(0, 0, 64, 48)), 30);
    }
    const QRect area(-3, -2, 70, 53);
    std::vector<std::uint8_t> plane(size_t(area.width()) * size_t(area.height()));
    CoverageRasterizer(path.toQPainterPath(), area).write(area, plane.data(), area.width(), true);
}

} // namespace fuzzinput
