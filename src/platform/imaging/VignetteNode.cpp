#include "platform/imaging/VignetteNode.h"

#include "platform/imaging/CpuFeatures.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace platform {

namespace {
double safeIntensity(double i)
{
    return std::isfinite(i) ? std::max(i, 0.0) : 0.0;
}
double safeRadius(double r)
{
    return std::isfinite(r) ? std::max(r, 0.001) : 1.0;
}

#if defined(__SSE2__)
// Eight factors at a time with AVX2 (no fused multiply-add: the four-factor loop's roundings
// lane by lane, so the same floats): each half of eight starts from dx0 plus its own first
// index, as the four-factor loop's groups do. Each pixel pair is multiplied by
// (f, f, f, 1, f', f', f', 1). Returns the number of pixels done.
__attribute__((target("avx2"))) int vignetteAvx2(
    Px* __restrict p, int width, float dx0, float dy2, float k)
{
    float* q = reinterpret_cast<float*>(p);
    const __m256 steps = _mm256_setr_ps(0, 1, 2, 3, 0, 1, 2, 3);
    const __m256 vdy2 = _mm256_set1_ps(dy2), vk = _mm256_set1_ps(k), one = _mm256_set1_ps(1.0f);
    const __m256i pairs[4] = { _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1),
        _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3), _mm256_setr_epi32(4, 4, 4, 4, 5, 5, 5, 5),
        _mm256_setr_epi32(6, 6, 6, 6, 7, 7, 7, 7) };
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        const __m256 base
            = _mm256_setr_m128(_mm_set1_ps(dx0 + float(i)), _mm_set1_ps(dx0 + float(i + 4)));
        const __m256 dx = _mm256_add_ps(base, steps);
        const __m256 d2 = _mm256_add_ps(_mm256_mul_ps(dx, dx), vdy2);
        const __m256 f
            = _mm256_div_ps(one, _mm256_add_ps(one, _mm256_mul_ps(_mm256_mul_ps(vk, d2), d2)));
        for (int j = 0; j < 4; ++j) {
            // Alpha (lanes 3 and 7) keeps its value: multiplied by 1.
            const __m256 m = _mm256_blend_ps(_mm256_permutevar8x32_ps(f, pairs[j]), one, 0x88);
            float* px = q + 4 * (i + 2 * j);
            _mm256_storeu_ps(px, _mm256_mul_ps(_mm256_loadu_ps(px), m));
        }
    }
    return i;
}
#endif

} // namespace

VignetteNode::VignetteNode(FilterNodePtr input, double intensity, double radius)
    : m_input(std::move(input))
    , m_intensity(safeIntensity(intensity))
    , m_radius(safeRadius(radius))
{
}

double VignetteNode::factor(double d, double intensity, double radius)
{
    const double q = d / safeRadius(radius);
    return 1.0 / (1.0 + safeIntensity(intensity) * q * q * q * q);
}

bool VignetteNode::render(const RenderArgs& args, PixelTile& out) const
{
    if (!m_input->renderInto(args, out))
        return false;
    const Rect e = m_input->extent();
    if (m_intensity == 0.0 || e.isNull() || e.isEmpty() || e.isInfinite())
        return true;
    const double s = args.scale;
    const double cx = e.midX() * s, cy = e.midY() * s;
    const double half = std::hypot(e.width(), e.height()) * 0.5 * s;
    if (!(half > 0) || !std::isfinite(half))
        return true;
    // f = 1 / (1 + k * (dx^2 + dy^2)^2) with k folding intensity, radius and diagonal.
    const double rr = half * m_radius;
    const float k = float(m_intensity / (rr * rr * rr * rr));
    const PixelRect& o = out.rect();
    for (int y = o.y; y < o.maxY(); ++y) {
        Px* __restrict p = out.row(y);
        const float dy = float(y + 0.5 - cy);
        const float dy2 = dy * dy;
        const float dx0 = float(o.x + 0.5 - cx);
        int i = 0;
#if defined(__SSE2__)
        if (CpuFeatures::hasAvx2())
            i = vignetteAvx2(p, o.width, dx0, dy2, k);
#endif
        // Four factors at a time (dx steps by exact whole numbers, as in the loop below); each
        // pixel is multiplied by (f, f, f, 1), which keeps its alpha.
        const Px steps = { 0, 1, 2, 3 };
        for (; i + 4 <= o.width; i += 4) {
            const Px dx = dx0 + float(i) + steps;
            const Px q = dx * dx + dy2;
            const Px f = 1.0f / (1.0f + k * q * q);
            p[i] *= Px { f[0], f[0], f[0], 1.0f };
            p[i + 1] *= Px { f[1], f[1], f[1], 1.0f };
            p[i + 2] *= Px { f[2], f[2], f[2], 1.0f };
            p[i + 3] *= Px { f[3], f[3], f[3], 1.0f };
        }
        for (; i < o.width; ++i) {
            const float dx = dx0 + float(i);
            const float q = dx * dx + dy2;
            const float f = 1.0f / (1.0f + k * q * q);
            p[i] *= Px { f, f, f, 1.0f };
        }
    }
    return true;
}

} // namespace platform
