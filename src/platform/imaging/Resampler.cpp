#include "platform/imaging/Resampler.h"

#include <cmath>
#include <vector>

namespace platform {

namespace {

// The two neighbours of continuous coordinate c along one axis of [lo, hi), with weights;
// a neighbour outside gets weight 0 and a safe index.
struct Tap {
    int i0 = 0, i1 = 0;
    float w0 = 0, w1 = 0;
};

Tap tapFor(double c, int lo, int hi)
{
    Tap t;
    t.i0 = t.i1 = lo;
    const double u = c - 0.5;
    if (!std::isfinite(u) || u < lo - 1.0 || u >= double(hi))
        return t;
    const double f = std::floor(u);
    const int i = int(f);
    const float fx = float(u - f);
    if (i >= lo) {
        t.i0 = i;
        t.w0 = 1.0f - fx;
    }
    if (i + 1 < hi) {
        t.i1 = i + 1;
        t.w1 = fx;
    } else {
        t.i1 = t.i0;
    }
    return t;
}

} // namespace

PixelRect Resampler::sourceRect(const PixelRect& out, const AffineTransform& outToSrc)
{
    return PixelRect::covering(outToSrc.mapRect(out.toRect())).adjusted(1);
}

void Resampler::bilinear(const PixelTile& src, PixelTile& out, const AffineTransform& outToSrc)
{
    if (!src.isValid()) {
        out.fill(Px { 0, 0, 0, 0 });
        return;
    }
    if (outToSrc.b == 0.0 && outToSrc.c == 0.0)
        axisAligned(src, out, outToSrc);
    else
        general(src, out, outToSrc);
}

void Resampler::axisAligned(const PixelTile& src, PixelTile& out, const AffineTransform& m)
{
    const PixelRect& o = out.rect();
    const PixelRect& s = src.rect();
    struct Column {
        int i0, i1;
        Px w0, w1;
    };
    std::vector<Column> cols(std::size_t(o.width));
    for (int i = 0; i < o.width; ++i) {
        const Tap t = tapFor(m.a * (o.x + i + 0.5) + m.tx, s.x, s.maxX());
        cols[std::size_t(i)] = { t.i0 - s.x, t.i1 - s.x, Px { t.w0, t.w0, t.w0, t.w0 },
            Px { t.w1, t.w1, t.w1, t.w1 } };
    }
    // Each source row resampled across, kept while the following output rows still read it
    // (when enlarging, several output rows read the same two source rows).
    std::vector<Px> across(2 * std::size_t(o.width));
    int held[2] = { s.y - 1, s.y - 1 }; // the source row in each half of across; none yet
    auto rowAcross = [&](int sy, int keep) -> const Px* {
        for (int k = 0; k < 2; ++k)
            if (held[k] == sy)
                return across.data() + std::size_t(k) * std::size_t(o.width);
        const int k = held[0] == keep ? 1 : 0;
        held[k] = sy;
        Px* __restrict d = across.data() + std::size_t(k) * std::size_t(o.width);
        const Px* __restrict r = src.row(sy);
        for (int i = 0; i < o.width; ++i) {
            const Column& c = cols[std::size_t(i)];
            d[i] = r[c.i0] * c.w0 + r[c.i1] * c.w1;
        }
        return d;
    };
    for (int y = o.y; y < o.maxY(); ++y) {
        const Tap r = tapFor(m.d * (y + 0.5) + m.ty, s.y, s.maxY());
        const Px* bottom = rowAcross(r.i0, r.i1);
        const Px* top = rowAcross(r.i1, r.i0);
        const Px w0 = { r.w0, r.w0, r.w0, r.w0 }, w1 = { r.w1, r.w1, r.w1, r.w1 };
        Px* __restrict dst = out.row(y);
        for (int i = 0; i < o.width; ++i)
            dst[i] = bottom[i] * w0 + top[i] * w1;
    }
}

void Resampler::general(const PixelTile& src, PixelTile& out, const AffineTransform& m)
{
    const PixelRect& o = out.rect();
    const PixelRect& s = src.rect();
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* dst = out.row(y);
        for (int i = 0; i < o.width; ++i) {
            const Point q = m.map({ o.x + i + 0.5, y + 0.5 });
            const Tap cx = tapFor(q.x, s.x, s.maxX());
            const Tap cy = tapFor(q.y, s.y, s.maxY());
            const Px* r0 = src.row(cy.i0);
            const Px* r1 = src.row(cy.i1);
            const int x0 = cx.i0 - s.x, x1 = cx.i1 - s.x;
            dst[i] = (r0[x0] * cx.w0 + r0[x1] * cx.w1) * cy.w0
                + (r1[x0] * cx.w0 + r1[x1] * cx.w1) * cy.w1;
        }
    }
}

} // namespace platform
