#pragma once
// Decodes a picture file's bytes: JPEG, PNG, TIFF or BMP. Every picture comes out as 8-bit
// premultiplied ARGB in sRGB, exactly as stored (no rotation from EXIF orientation), whatever
// it was: grey, CMYK, 16-bit, palette, with or without alpha, with an embedded profile.
//
// A picture that cannot be decoded whole (corrupt, truncated, unsupported, or larger than
// kMaxPixels) gives an error, never a crash and never a half-decoded picture.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace platform {

struct LoadedPicture {
    QImage pixels; // null on failure
    QString error; // empty on success
    QByteArray format;

    bool ok() const { return !pixels.isNull(); }
};

class PictureLoader {
public:
    static constexpr long long kMaxPixels = 256LL * 1000 * 1000;

    static LoadedPicture load(const QByteArray& bytes);

    // True when a JPEG stream ends with its end-of-image marker (trailing padding allowed).
    // The JPEG decoder fills a cut-off picture with grey and reports success, so this is how a
    // truncated file is told from a whole one.
    static bool jpegIsComplete(const QByteArray& bytes);

private:
    static LoadedPicture failure(const QString& why);
    static QImage toWorkingFormat(QImage image);
};

} // namespace platform
