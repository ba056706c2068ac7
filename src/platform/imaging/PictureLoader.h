#pragma once
// Decodes a picture file's bytes: JPEG, PNG, TIFF or BMP. Every picture comes out as 8-bit
// premultiplied ARGB in sRGB, turned upright as its orientation tag (EXIF, TIFF) says, whatever
// it was: grey, CMYK, 16-bit, palette, with or without alpha, with an embedded profile. The
// bytes themselves are never changed: a caller that keeps them keeps the file as it was.
//
// A picture that cannot be decoded whole (corrupt, truncated, unsupported, or larger than
// its budget) gives a failure saying why, never a crash and never a half-decoded picture. The
// size is judged by the header before any pixel is decoded. A JPEG whose decoder reached the
// end of it but found stray bytes inside the picture data (the mark of corrupt entropy data)
// loads marked damaged: its pixels may be wrong, and the caller must say so.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <limits>

namespace platform {

// Why a picture did not load.
enum class PictureFault {
    None,
    NotAPicture, // no picture format recognised in the bytes
    UnsupportedFormat, // a picture, in a format we do not read (LoadedPicture::format)
    TooLarge, // more than may be decoded (LoadedPicture::storedSize holds its pixel size)
    // within the bounds alone, but more than what the loads before it left of their shared
    // budget (LoadedPicture::cost and budgetLeft hold the figures)
    BudgetSpent,
    CutShort, // the data end before the picture does
    Corrupt, // data the decoder cannot read, or that disagree with the header
};

struct LoadedPicture {
    QImage pixels; // null on failure
    PictureFault fault = PictureFault::None; // None exactly when pixels are set
    QString error; // the decoder's own words, for the log; empty on success
    QByteArray format; // lower case, as QImageReader names it; empty when none was found
    QSize storedSize; // as the header gives it, before any rotation; invalid when unknown
    // Loaded, but the decoder found corrupt data on the way: parts may look wrong.
    bool damaged = false;
    // Of the pixel budget: what the picture's decode takes (0 when its header is unreadable),
    // and what was left of the budget when it was judged.
    qint64 cost = 0;
    qint64 budgetLeft = 0;

    bool ok() const { return !pixels.isNull(); }
};

// What a person is told of a picture that loaded damaged; subject names it ("“photo.jpg”").
QString damagedPictureWarning(const QString& subject);

// What a picture's header says, before any pixel is decoded.
struct PictureHeader {
    QByteArray format; // empty: no picture format recognised
    QSize storedSize; // invalid when the header gives none
    QSize uprightSize; // storedSize turned as the orientation tag says
    int orientation = 1; // the EXIF meaning: 1 as stored, 2-8 mirrored and/or rotated
    // Why storedSize is invalid for a picture of a format we read: cut short or corrupt.
    PictureFault fault = PictureFault::None;
    // Pixels of the budget its decode takes: one for every 4 bytes a decode holds at its
    // peak (the picture, plus a copy where it must be converted or turned, plus a progressive
    // JPEG's coefficients). 0 when the header is unreadable or the format is not ours.
    qint64 cost = 0;
};

class PictureLoader {
public:
    // Pixels one picture may have; also what the pictures of one document may have together
    // (see ArchiveLimits::maxImagePixels), counted as PictureHeader::cost: so that opening a
    // document never holds more than 4 bytes a pixel of this for its pictures' decoding.
    static constexpr long long kMaxPixels = 256LL * 1000 * 1000;

    // What one load may take in.
    struct Limits {
        // Only this format (lower case, as QImageReader names it); empty: any of the formats
        // above, told from the content.
        QByteArray format;
        int maxDimension = std::numeric_limits<int>::max();
    };
    // Asked with the upright size once the header is read: the size the caller keeps the
    // picture at.
    using ReducedSize = std::function<QSize(QSize upright)>;

    static LoadedPicture load(const QByteArray& bytes);
    // The same within limits, drawing on a pixel budget shared by several loads: the picture
    // is refused by its header when it is of another format, longer than maxDimension on a
    // side, or costs more than kMaxPixels (TooLarge) or than pixelBudget holds (BudgetSpent).
    // Otherwise its cost is taken from pixelBudget
    // before it is decoded, whether the decode then succeeds or not, so that what a series of
    // loads may cost is bounded by the budget it started with.
    // With reducedSize, a picture kept smaller than it is comes out at that size, decoded no
    // larger than it must be (a JPEG at a fraction of its size) and never held twice at full
    // size; the budget is charged what that decode holds.
    static LoadedPicture load(const QByteArray& bytes, const Limits& limits, qint64& pixelBudget,
        const ReducedSize& reducedSize = {});

    // Reads the header alone.
    static PictureHeader header(const QByteArray& bytes, const QByteArray& format = {});

    // Why a picture did not load, as a clause about its file that follows the file's name
    // ("it is damaged (cut short)"); of the picture a document holds when heldInDocument
    // ("its picture is damaged (cut short)").
    static QString refusalReason(const LoadedPicture& picture, bool heldInDocument = false);

    // "84.7": pixels of a budget in millions, as refusals say them.
    static QString millions(qint64 pixels);

private:
    // result, emptied of pixels, with the fault and why.
    static LoadedPicture failure(LoadedPicture result, PictureFault fault, const QString& why);
    static QImage toWorkingFormat(QImage image);
    // A JPEG's size and cost from libjpeg-turbo's reading of its header; why it is
    // unreadable otherwise.
    static PictureFault readJpegHeader(const QByteArray& bytes, PictureHeader& header);
    // Decodes a JPEG with libjpeg-turbo itself, whose warnings tell a picture with missing
    // pixels (cut short, corrupt entropy data) from a whole one, turned upright as it decodes
    // (no second copy). Null, with fault and error set, when the picture is not whole.
    // scaleNum / 8 is the scale it is decoded at (the decoder's own reduction).
    static QImage decodeJpeg(
        const QByteArray& bytes, int orientation, LoadedPicture& result, int scaleNum = 8);
    // The smallest of the JPEG decoder's scales n / 8 that still gives at least `wanted`
    // (stored orientation) of a picture of `stored`, and the size it gives.
    static int jpegScaleFor(const QSize& stored, const QSize& wanted);
    static QSize jpegScaledSize(const QSize& stored, int scaleNum);
    // Whether a BMP's pixel data lies whole within the file and sets every pixel; a cut file
    // is otherwise read with rows of black or of whatever memory held.
    static bool bmpIsWhole(const QByteArray& bytes);
};

} // namespace platform
