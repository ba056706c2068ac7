#pragma once
// Decodes a picture file's bytes: JPEG, PNG, TIFF or BMP. Every picture comes out as 8-bit
// premultiplied ARGB in sRGB, exactly as stored (no rotation from EXIF orientation), whatever
// it was: grey, CMYK, 16-bit, palette, with or without alpha, with an embedded profile.
//
// A picture that cannot be decoded whole (corrupt, truncated, unsupported, or larger than
// its budget) gives an error, never a crash and never a half-decoded picture. The size is
// judged by the header before any pixel is decoded.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <limits>

namespace platform {

struct LoadedPicture {
    QImage pixels; // null on failure
    QString error; // empty on success
    QByteArray format;

    bool ok() const { return !pixels.isNull(); }
};

class PictureLoader {
public:
    // Pixels one picture may have; also what the pictures of one document may have together
    // (see ArchiveLimits::maxImagePixels).
    static constexpr long long kMaxPixels = 256LL * 1000 * 1000;

    // What one load may take in.
    struct Limits {
        // Only this format (lower case, as QImageReader names it); empty: any of the formats
        // above, told from the content.
        QByteArray format;
        int maxDimension = std::numeric_limits<int>::max();
    };

    static LoadedPicture load(const QByteArray& bytes);
    // The same within limits, drawing on a pixel budget shared by several loads: the picture
    // is refused by its header when it is of another format, longer than maxDimension on a
    // side, or has more pixels than pixelBudget holds. Otherwise its pixels are taken from
    // pixelBudget before it is decoded, whether the decode then succeeds or not, so that what
    // a series of loads may cost is bounded by the budget it started with.
    static LoadedPicture load(const QByteArray& bytes, const Limits& limits, qint64& pixelBudget);

private:
    static LoadedPicture failure(const QString& why);
    static QImage toWorkingFormat(QImage image);
    // Decodes a JPEG with libjpeg-turbo itself, whose warnings tell a picture with missing
    // pixels (cut short, corrupt entropy data) from a whole one; null with error set when the
    // picture is not whole or is larger than maxPixels.
    static QImage decodeJpeg(const QByteArray& bytes, qint64 maxPixels, QString& error);
    // Whether a BMP's pixel data lies whole within the file and sets every pixel; a cut file
    // is otherwise read with rows of black or of whatever memory held.
    static bool bmpIsWhole(const QByteArray& bytes);
};

} // namespace platform
