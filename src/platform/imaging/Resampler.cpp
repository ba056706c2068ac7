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
    std::vector<Tap> cols(std::size_t(o.width));
    for (int i = 0; i < o.width; ++i) {
        cols[std::size_t(i)] = tapFor(m.a * (o.x + i + 0.5) + m.tx, s.x, s.maxX());
        cols[std::size_t(i)].i0 -= s.x;
        cols[std::size_t(i)].i1 -= s.x;
    }
    for (int y = o.y; y < o.maxY(); ++y) {
        const Tap r = tapFor(m.d * (y + 0.5) + m.ty, s.y, s.maxY());
        Px* dst = out.row(y);
        const Px* r0 = src.row(r.i0);
        const Px* r1 = src.row(r.i1);
        for (int i = 0; i < o.width; ++i) {
            const Tap& c = cols[std::size_t(i)];
            const Px top = r1[c.i0] * c.w0 + r1[c.i1] * c.w1;
            const Px bottom = r0[c.i0] * c.w0 + r0[c.i1] * c.w1;
            dst[i] = bottom * r.w0 + top * r.w1;
        }
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
