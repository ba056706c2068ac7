#include "platform/imaging/LanczosScaleNode.h"

#include "platform/imaging/AffineTransformNode.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr double kLobes = 3.0;

double sinc(double x)
{
    if (std::abs(x) < 1e-9)
        return 1.0;
    const double px = 3.141592653589793 * x;
    return std::sin(px) / px;
}

double lanczos(double x)
{
    return std::abs(x) < kLobes ? sinc(x) * sinc(x / kLobes) : 0.0;
}

} // namespace

LanczosScaleNode::LanczosScaleNode(FilterNodePtr input, double scaleX, double scaleY)
    : m_input(std::move(input))
    , m_sx(scaleX)
    , m_sy(scaleY)
{
}

Rect LanczosScaleNode::extent() const
{
    const Rect e = m_input->extent();
    if (e.isNull() || e.isInfinite())
        return e;
    return { e.x() * m_sx, e.y() * m_sy, e.width() * m_sx, e.height() * m_sy };
}

std::vector<LanczosScaleNode::Taps> LanczosScaleNode::taps(int o0, int n, double f)
{
    const double support = f < 1.0 ? kLobes / f : kLobes; // in input pixels
    const double squeeze = std::min(f, 1.0);
    std::vector<Taps> all(std::size_t(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        const double centre = (o0 + i + 0.5) / f; // in input coordinates
        const int first = PixelRect::clampCoordinate(std::floor(centre - support));
        const int last = PixelRect::clampCoordinate(std::ceil(centre + support));
        Taps& t = all[std::size_t(i)];
        t.first = first;
        double sum = 0;
        std::vector<double> w;
        w.reserve(std::size_t(last - first + 1));
        for (int j = first; j <= last; ++j) {
            w.push_back(lanczos((j + 0.5 - centre) * squeeze));
            sum += w.back();
        }
        t.weights.resize(w.size());
        for (std::size_t j = 0; j < w.size(); ++j)
            t.weights[j] = float(sum != 0 ? w[j] / sum : 0.0);
    }
    return all;
}

bool LanczosScaleNode::render(const RenderArgs& args, PixelTile& out) const
{
    const double s = args.scale;
    const double sIn = AffineTransformNode::inputScale(s, std::max(m_sx, m_sy));
    const double fx = m_sx * s / sIn, fy = m_sy * s / sIn;
    // Keep the tap tables bounded whatever the numbers: such a shrink leaves nothing visible.
    if (!std::isfinite(fx) || !std::isfinite(fy) || fx < 1e-3 || fy < 1e-3) {
        out.fill(Px { 0, 0, 0, 0 });
        return true;
    }
    const PixelRect& o = out.rect();
    const std::vector<Taps> cols = taps(o.x, o.width, fx);
    const std::vector<Taps> rows = taps(o.y, o.height, fy);
    const int x0 = cols.front().first;
    const int x1 = cols.back().first + int(cols.back().weights.size());
    const int y0 = rows.front().first;
    const int y1 = rows.back().first + int(rows.back().weights.size());
    const PixelRect need(x0, y0, x1 - x0, y1 - y0);
    // Outside the input's extent everything is clear: render only what exists.
    const PixelRect exists = need.intersected(m_input->pixelExtent(sIn));
    if (exists.isEmpty()) {
        out.fill(Px { 0, 0, 0, 0 });
        return true;
    }
    PixelTile in, h;
    if (!m_input->renderRect(args.withScale(sIn), exists, in))
        return false;
    if (!h.allocate({ o.x, exists.y, o.width, exists.height }))
        return false;
    for (int y = exists.y; y < exists.maxY(); ++y) {
        const Px* src = in.row(y);
        Px* dst = h.row(y);
        for (int i = 0; i < o.width; ++i) {
            const Taps& t = cols[std::size_t(i)];
            Px acc = { 0, 0, 0, 0 };
            const int j0 = std::max(t.first, exists.x);
            const int j1 = std::min(t.first + int(t.weights.size()), exists.maxX());
            for (int j = j0; j < j1; ++j)
                acc += src[j - exists.x] * t.weights[std::size_t(j - t.first)];
            dst[i] = acc;
        }
    }
    for (int y = o.y; y < o.maxY(); ++y) {
        const Taps& t = rows[std::size_t(y - o.y)];
        Px* dst = out.row(y);
        std::fill_n(dst, o.width, Px { 0, 0, 0, 0 });
        const int j0 = std::max(t.first, exists.y);
        const int j1 = std::min(t.first + int(t.weights.size()), exists.maxY());
        for (int j = j0; j < j1; ++j) {
            const Px* src = h.row(j);
            const float w = t.weights[std::size_t(j - t.first)];
            for (int i = 0; i < o.width; ++i)
                dst[i] += src[i] * w;
        }
    }
    return true;
}

} // namespace platform
