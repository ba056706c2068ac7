#include "platform/imaging/PixelTile.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace platform {

namespace {

// Every render allocates and drops several tile-sized buffers per tile; fresh ones of that
// size come from the kernel page by page, and each page is zeroed on first touch. Each thread
// keeps its few most recent buffers instead. Bounded so that idle threads hold little.
class BufferCache {
public:
    static constexpr std::size_t kMaxBuffers = 6;
    static constexpr std::size_t kMaxPixels = std::size_t(1) << 20; // 16 MB of pixels

    // The smallest kept buffer with room for n pixels, if any.
    std::unique_ptr<Px[]> take(std::size_t n, std::size_t& capacity)
    {
        std::size_t best = m_free.size();
        for (std::size_t i = 0; i < m_free.size(); ++i)
            if (m_free[i].capacity >= n
                && (best == m_free.size() || m_free[i].capacity < m_free[best].capacity))
                best = i;
        if (best == m_free.size())
            return nullptr;
        capacity = m_free[best].capacity;
        m_held -= capacity;
        std::unique_ptr<Px[]> p = std::move(m_free[best].pixels);
        m_free.erase(m_free.begin() + std::ptrdiff_t(best));
        return p;
    }

    void give(std::unique_ptr<Px[]> p, std::size_t capacity)
    {
        if (capacity > kMaxPixels)
            return;
        // Make room by dropping the oldest buffers.
        while (
            !m_free.empty() && (m_free.size() >= kMaxBuffers || m_held + capacity > kMaxPixels)) {
            m_held -= m_free.front().capacity;
            m_free.erase(m_free.begin());
        }
        m_held += capacity;
        m_free.push_back({ std::move(p), capacity });
    }

private:
    struct Buffer {
        std::unique_ptr<Px[]> pixels;
        std::size_t capacity;
    };
    std::vector<Buffer> m_free;
    std::size_t m_held = 0;
};

// This thread's cache, or null once the thread is tearing down its thread-local objects (a
// tile destroyed then frees its buffer directly).
BufferCache* threadCache()
{
    static thread_local bool gone = false;
    if (gone)
        return nullptr;
    struct Owner {
        BufferCache cache;
        ~Owner() { gone = true; }
    };
    static thread_local Owner owner;
    return &owner.cache;
}

} // namespace

PixelTile::PixelTile(PixelTile&& o) noexcept
    : m_rect(std::exchange(o.m_rect, {}))
    , m_pixels(std::move(o.m_pixels))
    , m_capacity(std::exchange(o.m_capacity, 0))
{
}

PixelTile& PixelTile::operator=(PixelTile&& o) noexcept
{
    if (this != &o) {
        release();
        m_rect = std::exchange(o.m_rect, {});
        m_pixels = std::move(o.m_pixels);
        m_capacity = std::exchange(o.m_capacity, 0);
    }
    return *this;
}

PixelTile::~PixelTile()
{
    release();
}

void PixelTile::release()
{
    m_rect = {};
    if (!m_pixels)
        return;
    if (BufferCache* c = threadCache())
        c->give(std::move(m_pixels), m_capacity);
    m_pixels.reset();
    m_capacity = 0;
}

bool PixelTile::allocate(const PixelRect& r)
{
    const std::size_t n = r.isEmpty() ? 0 : std::size_t(r.area());
    if (m_pixels && n > 0 && n <= m_capacity && r.area() <= kMaxPixels) {
        m_rect = r;
        return true;
    }
    release();
    if (r.isEmpty() || r.area() > kMaxPixels)
        return false;
    if (BufferCache* c = threadCache())
        m_pixels = c->take(n, m_capacity);
    if (!m_pixels) {
        m_pixels = std::make_unique_for_overwrite<Px[]>(n);
        m_capacity = n;
    }
    m_rect = r;
    return true;
}

void PixelTile::fill(Px value)
{
    std::fill_n(m_pixels.get(), std::size_t(m_rect.area()), value);
}

void PixelTile::clearOutside(const PixelRect& keep)
{
    const PixelRect k = m_rect.intersected(keep);
    const Px zero = { 0, 0, 0, 0 };
    for (int y = m_rect.y; y < m_rect.maxY(); ++y) {
        Px* r = row(y);
        if (k.isEmpty() || y < k.y || y >= k.maxY()) {
            std::fill_n(r, m_rect.width, zero);
            continue;
        }
        std::fill_n(r, k.x - m_rect.x, zero);
        std::fill(r + (k.maxX() - m_rect.x), r + m_rect.width, zero);
    }
}

void PixelTile::copyFrom(const PixelTile& other, const PixelRect& area)
{
    const PixelRect a = area.intersected(m_rect).intersected(other.rect());
    for (int y = a.y; y < a.maxY(); ++y)
        std::memcpy(at(a.x, y), other.at(a.x, y), sizeof(Px) * std::size_t(a.width));
}

} // namespace platform
