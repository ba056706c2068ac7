#include "platform/imaging/BlurNode.h"

#include <algorithm>
#include <cmath>

namespace platform {

BlurNode::BlurNode(FilterNodePtr input, double sigma)
    : m_input(std::move(input))
    , m_sigma(std::isfinite(sigma) ? std::clamp(sigma, 0.0, kMaxSigma) : 0.0)
{
}

Rect BlurNode::extent() const
{
    const Rect e = m_input->extent();
    if (e.isNull() || e.isInfinite() || m_sigma <= 0)
        return e;
    return e.insetBy(-3 * m_sigma, -3 * m_sigma);
}

std::vector<float> BlurNode::kernel(double sigma)
{
    if (!(sigma > 0) || !std::isfinite(sigma))
        return {};
    const int r = int(std::ceil(3.0 * std::min(sigma, kMaxSigma)));
    std::vector<double> w(std::size_t(r) + 1);
    double sum = 0;
    for (int i = 0; i <= r; ++i) {
        w[std::size_t(i)] = std::exp(-double(i) * i / (2.0 * sigma * sigma));
        sum += i == 0 ? w[0] : 2 * w[std::size_t(i)];
    }
    std::vector<float> k(w.size());
    for (std::size_t i = 0; i < w.size(); ++i)
        k[i] = float(w[i] / sum);
    return k;
}

bool BlurNode::render(const RenderArgs& args, PixelTile& out) const
{
    const std::vector<float> k = kernel(m_sigma * args.scale);
    if (k.size() <= 1)
        return m_input->render(args, out);
    const int r = int(k.size()) - 1;
    const PixelRect& o = out.rect();
    const PixelRect roi = o.adjusted(r);
    // Rows outside the input's extent are clear: neither rendered nor summed.
    const PixelRect inExtent = m_input->pixelExtent(args.scale);
    const PixelRect rows = roi.intersected(inExtent);
    if (rows.isEmpty()) {
        out.fill(Px { 0, 0, 0, 0 });
        return true;
    }
    PixelTile in, h;
    if (!m_input->renderRect(args, { roi.x, rows.y, roi.width, rows.height }, in))
        return false;
    if (!h.allocate({ o.x, rows.y, o.width, rows.height }))
        return false;
    horizontal(in, h, k);
    in = PixelTile();
    if (args.cancelled())
        return false;
    vertical(h, out, k);
    return true;
}

void BlurNode::horizontal(const PixelTile& in, PixelTile& h, const std::vector<float>& k) const
{
    const int r = int(k.size()) - 1;
    const float* kk = k.data();
    const PixelRect& hr = h.rect();
    for (int y = hr.y; y < hr.maxY(); ++y) {
        const Px* src = in.at(hr.x, y); // src[i - r] .. src[i + r] are all inside
        Px* dst = h.row(y);
        for (int i = 0; i < hr.width; ++i) {
            const Px* p = src + i;
            Px acc = p[0] * kk[0];
            for (int t = 1; t <= r; ++t)
                acc += (p[-t] + p[t]) * kk[t];
            dst[i] = acc;
        }
    }
}

// Runs over blocks of columns so that the rows one block reads stay in cache.
void BlurNode::vertical(const PixelTile& h, PixelTile& out, const std::vector<float>& k) const
{
    constexpr int kBlock = 128;
    const int r = int(k.size()) - 1;
    const PixelRect& o = out.rect();
    const PixelRect& hr = h.rect();
    for (int bx = 0; bx < o.width; bx += kBlock) {
        const int bw = std::min(kBlock, o.width - bx);
        for (int y = o.y; y < o.maxY(); ++y) {
            Px* dst = out.row(y) + bx;
            std::fill_n(dst, bw, Px { 0, 0, 0, 0 });
            for (int t = -r; t <= r; ++t) {
                const int sy = y + t;
                if (sy < hr.y || sy >= hr.maxY())
                    continue;
                // Pair the taps symmetric about y where both rows exist.
                const int mirror = y - t;
                if (t < 0 && mirror < hr.maxY()) {
                    const Px* a = h.row(sy) + bx;
                    const Px* b = h.row(mirror) + bx;
                    const float w = k[std::size_t(-t)];
                    for (int i = 0; i < bw; ++i)
                        dst[i] += (a[i] + b[i]) * w;
                    continue;
                }
                if (t > 0 && mirror >= hr.y)
                    continue; // already added with its pair
                const Px* a = h.row(sy) + bx;
                const float w = k[std::size_t(std::abs(t))];
                for (int i = 0; i < bw; ++i)
                    dst[i] += a[i] * w;
            }
        }
    }
}

} // namespace platform
