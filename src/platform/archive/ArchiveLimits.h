#pragma once
// Bounds on what a reader of an archive may allocate. Archives come from files and the
// clipboard, so every number in them is checked against these before it is trusted. The writer
// keeps to the same bounds, so that whatever it writes can be read back.
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
    // other shapes), so that the largest archive allowed costs about 330 MB. A new text box's
    // record holds about 400 values: a document of the most boxes it may have, each as new,
    // fits with room for their texts' runs.
    qint64 maxValues = 3'000'000;
    // Pictures: the longest side of one, and the pixels of all the pictures one archive read
    // decodes, together (counted from their headers, before decoding): a document's pictures
    // together may have what one picture may.
    int maxImageDimension = 32768;
    qint64 maxImagePixels = PictureLoader::kMaxPixels;
};

// The bound an archive met, when reading or writing it stopped at one.
enum class ArchiveLimit {
    None,
    Size,
    Depth,
    ContainerLength,
    StringSize,
    Values,
    PictureSide,
    PicturePixels
};

// Why an archive could not be read, in terms a caller can turn into words for a person.
struct ArchiveFailure {
    enum class Kind {
        None,
        NotAnArchive, // not our container's header
        CutShort, // the data end inside a value
        Unreadable, // malformed at offset
        OverLimit, // well formed, but over one of ArchiveLimits (see limit)
    };
    Kind kind = Kind::None;
    qint64 offset = 0; // the byte where reading stopped
    ArchiveLimit limit = ArchiveLimit::None;
};

} // namespace platform
