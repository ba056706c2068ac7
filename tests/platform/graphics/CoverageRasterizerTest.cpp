// Our coverage rasteriser against the painter's own antialiased fills: the same measure (the
// area of each pixel inside the outline), so the values agree within rounding, for every fill
// rule, for outlines partly off the area, and for the parts of a shared plane.
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/CoverageRasterizer.h"
#include "support/PixelProbe.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace platform;

namespace {

// The painter's antialiased fill of a device path over area, at scale times the size and
// averaged back down, as an 8-bit plane. At scale 16 the painter's flattening of curves (within
// a quarter of its pixel) is a sixtieth of ours, so the averages stand for the exact areas
// within a few levels.
std::vector<std::uint8_t> painterCoverage(const QPainterPath& path, const QRect& area, int scale = 1)
{
    QImage argb(area.size() * scale, QImage::Format_ARGB32_Premultiplied);
    argb.fill(0);
    {
        QPainter p(&argb);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        p.translate(-area.left(), -area.top());
        p.fillPath(path, Qt::black);
    }
    const int samples = scale * scale;
    std::vector<std::uint8_t> out(size_t(area.width()) * size_t(area.height()));
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            int sum = 0;
            for (int sy = 0; sy < scale; ++sy) {
                const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y * scale + sy));
                for (int sx = 0; sx < scale; ++sx)
                    sum += qAlpha(row[x * scale + sx]);
            }
            out[size_t(y) * size_t(area.width()) + size_t(x)]
                = std::uint8_t((sum + samples / 2) / samples);
        }
    }
    return out;
}

std::vector<std::uint8_t> ourCoverage(const QPainterPath& path, const QRect& area)
{
    std::vector<std::uint8_t> out(size_t(area.width()) * size_t(area.height()), 77);
    EXPECT_TRUE(CoverageRasterizer(path, area).write(area, out.data(), area.width()));
    return out;
}

struct Difference {
    int worst = 0;
    double mean = 0.0;
    QPoint at;
};

Difference compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int width)
{
    Difference d;
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        const int diff = std::abs(int(a[i]) - int(b[i]));
        sum += diff;
        if (diff > d.worst) {
            d.worst = diff;
            d.at = QPoint(int(i % size_t(width)), int(i / size_t(width)));
        }
    }
    d.mean = a.empty() ? 0.0 : sum / double(a.size());
    return d;
}

QPainterPath star(QPointF c, double r, Qt::FillRule rule)
{
    QPainterPath p;
    for (int i = 0; i < 5; ++i) {
        const double a = M_PI / 2 + i * 4 * M_PI / 5;
        const QPointF v(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
        i == 0 ? p.moveTo(v) : p.lineTo(v);
    }
    p.closeSubpath();
    p.setFillRule(rule);
    return p;
}

QPainterPath strokedRing()
{
    BezierPath ring;
    ring.appendPath(BezierPath::oval(Rect(12.3, 8.6, 70.2, 41.7)));
    ring.appendPath(BezierPath::oval(Rect(30.1, 17.2, 25.5, 20.9)));
    StrokeStyle style;
    style.width = 5;
    return ring.strokedPath(style).toQPainterPath();
}

} // namespace

TEST(CoverageRasterizer, AgreesWithThePaintersFills)
{
    struct Row {
        const char* name;
        QPainterPath path;
        QRect area;
    };
    QPainterPath ellipse;
    ellipse.addEllipse(QRectF(10.3, 7.7, 61.4, 33.9));
    QPainterPath holes; // outer clockwise, inner the same way: non-zero keeps the inner one
    holes.addRect(QRectF(5.25, 5.5, 50, 40));
    holes.addRect(QRectF(15.75, 15.25, 20, 10));
    QPainterPath evenOddHoles = holes;
    evenOddHoles.setFillRule(Qt::OddEvenFill);
    QPainterPath thin;
    thin.addRect(QRectF(3.2, 4.1, 70.5, 0.3));
    QPainterPath slanted;
    slanted.moveTo(-30.5, -10.2);
    slanted.lineTo(130.7, 20.3);
    slanted.lineTo(40.1, 90.6);
    slanted.closeSubpath();
    QPainterPath text;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    text.addText(4.3, 44.6, font, QStringLiteral("Rg&%"));
    const Row rows[] = {
        { "ellipse", ellipse, QRect(0, 0, 80, 50) },
        { "nested rectangles, non-zero", holes, QRect(0, 0, 60, 50) },
        { "nested rectangles, even-odd", evenOddHoles, QRect(0, 0, 60, 50) },
        { "star, non-zero", star(QPointF(40, 40), 35, Qt::WindingFill), QRect(0, 0, 80, 80) },
        { "star, even-odd", star(QPointF(40, 40), 35, Qt::OddEvenFill), QRect(0, 0, 80, 80) },
        { "hairline rectangle", thin, QRect(0, 0, 80, 10) },
        { "triangle past every side", slanted, QRect(0, 0, 100, 60) },
        { "area away from the origin", ellipse, QRect(20, 10, 40, 25) },
        { "self-overlapping stroke outline", strokedRing(), QRect(0, 0, 100, 60) },
        { "glyph outlines", text, QRect(0, 0, 110, 55) },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::vector<std::uint8_t> ours = ourCoverage(r.path, r.area);
        // The painter's measure is the same but for its coarser flattening of curves.
        const Difference painter = compare(ours, painterCoverage(r.path, r.area), r.area.width());
        EXPECT_LE(painter.worst, testsupport::kPainterFlatteningDifference)
            << "at " << painter.at.x() << "," << painter.at.y();
        EXPECT_LT(painter.mean, 1.0);
        // Against the exact areas (where no edges cross inside a pixel: the star's corners
        // are counted by their winding, as the painter counts them).
        const Difference exact = compare(ours, painterCoverage(r.path, r.area, 16), r.area.width());
        EXPECT_LT(exact.mean, 0.5);
    }
}

TEST(CoverageRasterizer, SharedPlanesStripsAndBadInput)
{
    const QPainterPath twoDiscs = [] {
        QPainterPath p;
        p.addEllipse(QRectF(2.5, 3.5, 20, 20));
        p.addEllipse(QRectF(30.5, 3.5, 20, 20));
        return p;
    }();
    const QRect area(0, 0, 56, 28);

    // Parts written into one plane, keeping what the other wrote, give the whole path's
    // coverage; a part's clear pixels never wipe out the other's.
    {
        QPainterPath left, right;
        left.addEllipse(QRectF(2.5, 3.5, 20, 20));
        right.addEllipse(QRectF(30.5, 3.5, 20, 20));
        std::vector<std::uint8_t> shared(size_t(area.width()) * size_t(area.height()), 0);
        // Both parts over the whole area: their rectangles overlap entirely.
        ASSERT_TRUE(CoverageRasterizer(left, area).write(area, shared.data(), area.width(), true));
        ASSERT_TRUE(CoverageRasterizer(right, area).write(area, shared.data(), area.width(), true));
        EXPECT_EQ(shared, ourCoverage(twoDiscs, area));
    }

    // A curve wholly left of the area adds to its pixels what its chord adds (it is taken as
    // its chord), however it loops.
    {
        QPainterPath curved, straight;
        for (QPainterPath* p : { &curved, &straight }) {
            p->moveTo(-5, -10);
            if (p == &curved)
                p->cubicTo(-400, 60, -1e6, -3e5, -2, 40);
            else
                p->lineTo(-2, 40);
            p->lineTo(30, 25);
            p->closeSubpath();
        }
        EXPECT_EQ(ourCoverage(curved, area), ourCoverage(straight, area));
    }

    // A tall area is worked in strips of rows: the same values as short areas of its rows.
    {
        QPainterPath tall;
        tall.addEllipse(QRectF(10.25, 5.75, 2400.5, 700.25));
        const QRect whole(0, 0, 2420, 720);
        const std::vector<std::uint8_t> all = ourCoverage(tall, whole);
        for (const int top : { 0, 300, 433, 700 }) {
            const QRect rows(0, top, whole.width(), 20);
            const std::vector<std::uint8_t> part = ourCoverage(tall, rows);
            EXPECT_TRUE(std::equal(part.begin(), part.end(),
                all.begin() + long(top) * whole.width()))
                << "rows from " << top;
        }
    }

    // Coordinates that are not numbers leave their edges out; huge ones cost no more than
    // the pixels asked for; an empty path covers nothing.
    {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QPainterPath bad = twoDiscs;
        bad.moveTo(nan, 4);
        bad.lineTo(40, nan);
        bad.lineTo(1e300, 1e300);
        QPainterPath huge;
        huge.moveTo(-1e12, -1e12);
        huge.lineTo(1e12, -1e12);
        huge.cubicTo(1e12, 1e12, 5e11, 3e12, -1e12, 1e12);
        huge.closeSubpath();
        struct Row {
            const char* name;
            QPainterPath path;
            int expectCovered; // -1: some pixels, 0: none, 1: every pixel
        };
        const Row rows[] = {
            { "edges with NaN and infinity", bad, -1 },
            { "a shape far larger than the area", huge, 1 },
            { "empty path", QPainterPath(), 0 },
        };
        for (const Row& r : rows) {
            SCOPED_TRACE(r.name);
            const std::vector<std::uint8_t> c = ourCoverage(r.path, area);
            const auto full = std::count(c.begin(), c.end(), std::uint8_t(255));
            const auto none = std::count(c.begin(), c.end(), std::uint8_t(0));
            if (r.expectCovered == 1)
                EXPECT_EQ(full, long(c.size()));
            else if (r.expectCovered == 0)
                EXPECT_EQ(none, long(c.size()));
            else
                EXPECT_TRUE(full > 0 && none > 0);
        }
    }
}
