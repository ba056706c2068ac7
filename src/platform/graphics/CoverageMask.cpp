#include "platform/graphics/CoverageMask.h"

#include "platform/concurrency/Parallel.h"

namespace platform {

namespace {

// Below this many pixels a plane is composed on the calling thread.
constexpr long kParallelPixels = 64 * 1024;

// a over b, as two coverages drawn one over the other combine.
inline std::uint8_t over(std::uint8_t a, std::uint8_t b)
{
    const int t = int(b) * (255 - int(a)) + 128;
    return std::uint8_t(int(a) + ((t + (t >> 8)) >> 8));
}

} // namespace

void CoveragePieces::add(
    const QRect& rect, const std::uint8_t* coverage, std::shared_ptr<const void> owner)
{
    if (rect.isEmpty())
        return;
    pieces.push_back({ rect, coverage });
    owners.push_back(std::move(owner));
    bounds |= rect;
}

CoverageMask CoveragePieces::flattened(const QRect& area) const
{
    CoverageMask out;
    const QRect r = bounds & area;
    if (r.isEmpty())
        return out;
    out.origin = r.topLeft();
    out.plane = QImage(r.size(), QImage::Format_Alpha8);
    if (out.plane.isNull())
        return out;
    out.plane.fill(0);
    uchar* const bits = out.plane.bits();
    const qsizetype stride = out.plane.bytesPerLine();
    // Bands of rows side by side: each takes the rows of every piece that cross it.
    parallelRows(r.height(), r.width(), kParallelPixels, [&](int top, int bottom) {
        const QRect band(r.left(), r.top() + top, r.width(), bottom - top);
        for (const Piece& p : pieces) {
            const QRect part = p.rect & band;
            for (int y = part.top(); y <= part.bottom() && !part.isEmpty(); ++y) {
                std::uint8_t* o = bits + (y - r.top()) * stride + (part.left() - r.left());
                const std::uint8_t* in = p.coverage
                    + size_t(y - p.rect.top()) * size_t(p.rect.width())
                    + size_t(part.left() - p.rect.left());
                for (int x = 0; x < part.width(); ++x) {
                    if (in[x] != 0)
                        o[x] = o[x] == 0 ? in[x] : over(in[x], o[x]);
                }
            }
        }
    });
    return out;
}

} // namespace platform
