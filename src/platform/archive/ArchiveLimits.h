#pragma once
// Bounds on what a reader of an archive may allocate. Archives come from files and the
// clipboard, so every number in them is checked against these before it is trusted.
#include "platform/imaging/PictureLoader.h"

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
    // Values in the whole archive, map keys and class names included. Read and built, a value
    // costs about 110 bytes at worst (one-item arrays nested in each other; 60 to 90 for the
    // other shapes), so that the largest archive allowed costs about 200 MB.
    qint64 maxValues = 1'800'000;
    // Pictures: the longest side of one, and the pixels of all the pictures one archive read
    // decodes, together (counted from their headers, before decoding): a document's pictures
    // together may have what one picture may.
    int maxImageDimension = 32768;
    qint64 maxImagePixels = PictureLoader::kMaxPixels;
};

} // namespace platform
