#pragma once
// Coverage that comes already rasterised (glyphs from the glyph cache): one 8-bit plane placed
// in device pixels, or pieces of coverage placed apart, as a fill is seen through them.
#include <QImage>
#include <QRect>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

struct CoverageMask {
    QPoint origin; // device pixel of the plane's top-left (y-down)
    QImage plane; // Format_Alpha8

    bool isNull() const { return plane.isNull(); }
    QRect rect() const { return QRect(origin, plane.size()); }
};

// Pieces of coverage in device pixels. Where two pieces meet, their coverages combine as
// drawing one over the other does (a + b - ab): what filling them one by one in an opaque
// colour gives.
struct CoveragePieces {
    struct Piece {
        QRect rect;
        const std::uint8_t* coverage = nullptr; // rows packed, rect.width() apart
    };
    std::vector<Piece> pieces;
    // What holds the pieces' bytes.
    std::vector<std::shared_ptr<const void>> owners;
    QRect bounds; // of all pieces

    void add(const QRect& rect, const std::uint8_t* coverage, std::shared_ptr<const void> owner);
    // The pieces as one plane over bounds within area; null when empty or not to be had.
    CoverageMask flattened(const QRect& area) const;
};

} // namespace platform
