#include "platform/imaging/ColorControlsNode.h"

#include "platform/imaging/CpuFeatures.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace platform {

namespace {

#if defined(__SSE2__)
// Eight pixels at a time in AVX registers, for processors that have them (chosen at run time).
// Four 256-bit loads hold pixels (0, 1), (2, 3), (4, 5), (6, 7); transposing within each
// 128-bit half gives planes of pixels 0, 2, 4, 6 and 1, 3, 5, 7, and transposing back the same
// way restores the order. The operations are the four-pixel loop's, lane by lane, from in to
// out (which may be in). Returns the number of pixels done.
//
// One channel: mixed with the luma by the saturation, then contrast and brightness, then
// premultiplied again; clear where the pixel was.
__attribute__((target("avx"), always_inline)) inline __m256 mixAvx(
    __m256 u, __m256 luma, __m256 s, __m256 c, __m256 offset, __m256 a, __m256 visible)
{
    const __m256 mixed = _mm256_add_ps(luma, _mm256_mul_ps(_mm256_sub_ps(u, luma), s));
    const __m256 v = _mm256_mul_ps(_mm256_add_ps(_mm256_mul_ps(mixed, c), offset), a);
    return _mm256_and_ps(v, visible);
}

__attribute__((target("avx"))) int colorControlsAvx(
    const Px* in, Px* out, int width, float s, float c, float offset)
{
    const __m256 vs = _mm256_set1_ps(s), vc = _mm256_set1_ps(c), voff = _mm256_set1_ps(offset);
    const __m256 lr = _mm256_set1_ps(0.2125f), lg = _mm256_set1_ps(0.7154f),
                 lb = _mm256_set1_ps(0.0721f), zero = _mm256_setzero_ps(),
                 one = _mm256_set1_ps(1.0f);
    const float* from = reinterpret_cast<const float*>(in);
    float* to = reinterpret_cast<float*>(out);
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        const float* src = from + 4 * i;
        float* q = to + 4 * i;
        const __m256 p01 = _mm256_loadu_ps(src), p23 = _mm256_loadu_ps(src + 8),
                     p45 = _mm256_loadu_ps(src + 16), p67 = _mm256_loadu_ps(src + 24);
        const __m256 t0 = _mm256_unpacklo_ps(p01, p23), t1 = _mm256_unpackhi_ps(p01, p23),
                     t2 = _mm256_unpacklo_ps(p45, p67), t3 = _mm256_unpackhi_ps(p45, p67);
        const __m256 r = _mm256_shuffle_ps(t0, t2, 0x44), g = _mm256_shuffle_ps(t0, t2, 0xee),
                     b = _mm256_shuffle_ps(t1, t3, 0x44), a = _mm256_shuffle_ps(t1, t3, 0xee);
        const __m256 visible = _mm256_cmp_ps(a, zero, _CMP_GT_OQ);
        // Opaque pixels (a picture's, nearly always) skip the division: 1 / 1 is 1 exactly.
        const __m256 inv = _mm256_movemask_ps(_mm256_cmp_ps(a, one, _CMP_EQ_OQ)) == 0xff
            ? one
            : _mm256_div_ps(one, a);
        const __m256 ur = _mm256_mul_ps(r, inv), ug = _mm256_mul_ps(g, inv),
                     ub = _mm256_mul_ps(b, inv);
        const __m256 luma = _mm256_add_ps(
            _mm256_add_ps(_mm256_mul_ps(lr, ur), _mm256_mul_ps(lg, ug)), _mm256_mul_ps(lb, ub));
        const __m256 nr = mixAvx(ur, luma, vs, vc, voff, a, visible),
                     ng = mixAvx(ug, luma, vs, vc, voff, a, visible),
                     nb = mixAvx(ub, luma, vs, vc, voff, a, visible),
                     na = _mm256_and_ps(a, visible);
        const __m256 u0 = _mm256_unpacklo_ps(nr, ng), u1 = _mm256_unpackhi_ps(nr, ng),
                     u2 = _mm256_unpacklo_ps(nb, na), u3 = _mm256_unpackhi_ps(nb, na);
        _mm256_storeu_ps(q, _mm256_shuffle_ps(u0, u2, 0x44));
        _mm256_storeu_ps(q + 8, _mm256_shuffle_ps(u0, u2, 0xee));
        _mm256_storeu_ps(q + 16, _mm256_shuffle_ps(u1, u3, 0x44));
        _mm256_storeu_ps(q + 24, _mm256_shuffle_ps(u1, u3, 0xee));
    }
    return i;
}

#endif

} // namespace

ColorControlsNode::ColorControlsNode(
    FilterNodePtr input, double saturation, double brightness, double contrast)
    : m_input(std::move(input))
    , m_saturation(float(saturation))
    , m_brightness(float(brightness))
    , m_contrast(float(contrast))
{
}

bool ColorControlsNode::render(const RenderArgs& args, PixelTile& out) const
{
    const float s = m_saturation, c = m_contrast;
    // brightness then contrast folded into one offset: (v + b - 0.5) * c + 0.5
    const float offset = (m_brightness - 0.5f) * c + 0.5f;
    // Rows as the input hands them over (the picture's kept pixels, read where they lie);
    // p may be q.
    return m_input->renderMapped(args, out, [=](const Px* p, Px* q, int width) {
        int i = 0;
#if defined(__SSE2__)
        if (CpuFeatures::hasAvx())
            i = colorControlsAvx(p, q, width, s, c, offset);
        // Four pixels at a time as planes of red, green, blue and alpha, so that the luma is
        // three vector products instead of a sum across one pixel's lanes; the same operations
        // in the same order as the single-pixel loop below. Unpremultiplying multiplies by
        // 1 / alpha: one division per pixel instead of three.
        const __m128 vs = _mm_set1_ps(s), vc = _mm_set1_ps(c), voff = _mm_set1_ps(offset);
        const __m128 lr = _mm_set1_ps(0.2125f), lg = _mm_set1_ps(0.7154f),
                     lb = _mm_set1_ps(0.0721f), zero = _mm_setzero_ps();
        for (; i + 4 <= width; i += 4) {
            __m128 r = __m128(p[i]), g = __m128(p[i + 1]), b = __m128(p[i + 2]),
                   a = __m128(p[i + 3]);
            _MM_TRANSPOSE4_PS(r, g, b, a);
            const __m128 visible = _mm_cmpgt_ps(a, zero);
            const __m128 inv = _mm_div_ps(_mm_set1_ps(1.0f), a);
            const __m128 ur = _mm_mul_ps(r, inv), ug = _mm_mul_ps(g, inv), ub = _mm_mul_ps(b, inv);
            const __m128 luma = _mm_add_ps(
                _mm_add_ps(_mm_mul_ps(lr, ur), _mm_mul_ps(lg, ug)), _mm_mul_ps(lb, ub));
            auto mix = [&](__m128 u) {
                const __m128 mixed = _mm_add_ps(luma, _mm_mul_ps(_mm_sub_ps(u, luma), vs));
                const __m128 v = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(mixed, vc), voff), a);
                return _mm_and_ps(v, visible);
            };
            r = mix(ur);
            g = mix(ug);
            b = mix(ub);
            a = _mm_and_ps(a, visible);
            _MM_TRANSPOSE4_PS(r, g, b, a);
            q[i] = Px(r);
            q[i + 1] = Px(g);
            q[i + 2] = Px(b);
            q[i + 3] = Px(a);
        }
#endif
        for (; i < width; ++i) {
            const Px v = p[i];
            const float a = v[3];
            if (!(a > 0.0f)) {
                q[i] = Px { 0, 0, 0, 0 };
                continue;
            }
            const Px u = v * (1.0f / a);
            const float luma = 0.2125f * u[0] + 0.7154f * u[1] + 0.0721f * u[2];
            const Px mixed = luma + (u - luma) * s;
            Px r = (mixed * c + offset) * a;
            r[3] = a;
            q[i] = r;
        }
    });
}

} // namespace platform
