#pragma once
// Pixel buffers for rendered images, recycled. A render makes a fresh screen-sized image per
// layer per frame; memory that large, freed and allocated again, tends to go back to the
// system in between and come back page by page, each page zeroed on first touch, which costs
// the render more than its own writes. Images made here hand their buffer back to the pool
// when their last copy goes, and the next render of that size reuses it.
#include <QImage>

namespace platform {

class ImageBufferPool {
public:
    // Buffers above this size are never kept (exports, full-resolution renders).
    static constexpr qsizetype kMaxKeptBytes = 16 * 1024 * 1024;
    // At most this much is kept in all.
    static constexpr qsizetype kMaxPoolBytes = 32 * 1024 * 1024;

    // An uninitialised premultiplied ARGB32 image; null when the size is not positive or the
    // memory cannot be had.
    static QImage make(int width, int height);
    // The bytes held for reuse (for tests).
    static qsizetype heldBytes();
};

} // namespace platform
