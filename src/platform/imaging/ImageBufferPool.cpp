#include "platform/imaging/ImageBufferPool.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

namespace {

struct FreeBytes {
    void operator()(uchar* p) const { std::free(p); }
};
using Bytes = std::unique_ptr<uchar[], FreeBytes>;

// Buffers too large to keep are aligned to, and asked to be backed by, large pages: a
// full-resolution render touches every 4 KB page of its fresh output once, and taking each
// page's fault separately costs it about as much as writing the bytes. (Kept buffers fault
// once; their pages stay small, so that the pool's count is what they hold.)
constexpr std::size_t kLargePage = 2 * 1024 * 1024;

Bytes allocate(std::size_t size)
{
    if (size <= std::size_t(ImageBufferPool::kMaxKeptBytes))
        return Bytes(static_cast<uchar*>(std::malloc(size)));
    const std::size_t rounded = (size + kLargePage - 1) / kLargePage * kLargePage;
    Bytes bytes(static_cast<uchar*>(std::aligned_alloc(kLargePage, rounded)));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes)
        madvise(bytes.get(), rounded, MADV_HUGEPAGE); // a hint: without it, small pages
#endif
    return bytes;
}

struct Pool {
    std::mutex mutex;
    struct Buffer {
        Bytes bytes;
        qsizetype size;
    };
    std::vector<Buffer> free; // oldest first
    qsizetype held = 0;
};

// Every lent buffer keeps the pool alive, so that an image outliving the static pool (one
// held in a static) still has somewhere to return to.
const std::shared_ptr<Pool>& pool()
{
    static const std::shared_ptr<Pool> p = std::make_shared<Pool>();
    return p;
}

struct Loan {
    std::shared_ptr<Pool> pool;
    Bytes bytes;
    qsizetype size = 0;
};

void giveBack(void* info)
{
    std::unique_ptr<Loan> loan(static_cast<Loan*>(info));
    if (loan->size > ImageBufferPool::kMaxKeptBytes)
        return;
    Pool& p = *loan->pool;
    std::lock_guard lock(p.mutex);
    while (!p.free.empty() && p.held + loan->size > ImageBufferPool::kMaxPoolBytes) {
        p.held -= p.free.front().size;
        p.free.erase(p.free.begin());
    }
    p.held += loan->size;
    p.free.push_back({ std::move(loan->bytes), loan->size });
}

} // namespace

QImage ImageBufferPool::make(int width, int height)
{
    if (width <= 0 || height <= 0 || width > (1 << 28) / height)
        return {};
    const qsizetype bytesPerLine = qsizetype(width) * 4;
    const qsizetype size = bytesPerLine * height;
    auto loan = std::make_unique<Loan>();
    loan->pool = pool();
    {
        Pool& p = *loan->pool;
        std::lock_guard lock(p.mutex);
        // The newest buffer that fits without wasting more than a quarter of itself.
        for (auto it = p.free.rbegin(); it != p.free.rend(); ++it) {
            if (it->size >= size && it->size - size <= it->size / 4) {
                loan->bytes = std::move(it->bytes);
                loan->size = it->size;
                p.held -= it->size;
                p.free.erase(std::next(it).base());
                break;
            }
        }
    }
    if (!loan->bytes) {
        loan->bytes = allocate(std::size_t(size));
        if (!loan->bytes)
            return {};
        loan->size = size;
    }
    uchar* data = loan->bytes.get();
    QImage image(data, width, height, bytesPerLine, QImage::Format_ARGB32_Premultiplied, giveBack,
        loan.get());
    if (image.isNull())
        return {};
    loan.release(); // owned by the image now; giveBack takes it back
    return image;
}

qsizetype ImageBufferPool::heldBytes()
{
    Pool& p = *pool();
    std::lock_guard lock(p.mutex);
    return p.held;
}

} // namespace platform
