#pragma once
// Bounds on what a reader of an archive may allocate. Archives come from files and the
// clipboard, so every number in them is checked against these before it is trusted.
#include <QtGlobal>

namespace platform {

struct ArchiveLimits {
    // The largest archive accepted, in bytes.
    qint64 maxInputSize = qint64(512) * 1024 * 1024;
    // Values nested deeper than this make the archive unreadable; the writer refuses to
    // write them. The top-level map is depth 1.
    int maxDepth = 64;
    // Entries of one array or map.
    qint64 maxContainerLength = qint64(1) << 20;
    // Bytes of one text or byte string.
    qint64 maxStringSize = qint64(512) * 1024 * 1024;
    // Values in the whole archive (each costs about a hundred bytes once read).
    qint64 maxValues = 2'000'000;
    // Pictures: the longest side and the pixel count a decoded image may have.
    int maxImageDimension = 32768;
    qint64 maxImagePixels = qint64(256) * 1024 * 1024;
};

} // namespace platform
