// Feeds arbitrary bytes as paths to the drawing layer: read as a sequence of path elements
// with coordinates that may be huge, tiny, infinite or not numbers, then used as a clip and
// filled through it (solid and gradient) and rasterised directly. Any crash, hang or undefined
// behaviour is a finding; the pixels themselves are not checked.
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/CoverageRasterizer.h"
#include "platform/graphics/GraphicsContext.h"

#include <QGuiApplication>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace platform;

namespace {

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
    Point point() { return Point(number(), number()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "coverage_fuzz";
    static char* argv[] = { name, nullptr };
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;

    Reader in { data, size };
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
            path.appendPath(BezierPath::oval(Rect(in.number(), in.number(), in.number(), in.number())));
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
        ctx.drawLinearGradientInPath(Gradient(Color(1, 0, 0), Color(0, 0, 1)),
            BezierPath::rect(Rect(0, 0, 64, 48)), 30);
    }
    const QRect area(-3, -2, 70, 53);
    std::vector<std::uint8_t> plane(size_t(area.width()) * size_t(area.height()));
    CoverageRasterizer(path.toQPainterPath(), area).write(area, plane.data(), area.width(), true);
    return 0;
}
