#pragma once
// JPEG files written with libjpeg-turbo as their rows are made. Rows handed to write() are
// encoded on the writer's own thread while the caller makes the next ones, in slices of a few
// rows of blocks on all cores, and the encoded bytes go straight to the device: a large
// picture is never held whole, neither as pixels nor as a file in memory. The bytes do not
// depend on how the rows were split: a picture written in stripes is the same file as the
// picture written at once, and as one libjpeg pass over all its rows.
//
// The file: baseline JPEG with the standard Huffman tables and a restart marker after every
// row of blocks (what lets slices be encoded apart), a JFIF header with the first rows'
// density in dots per inch, and the first rows' colour profile when they carry one. Quality
// 90 and above keeps colour at full resolution (4:4:4), because halving it smears the coloured
// edges of text; below 90 colour is halved both ways (4:2:0).
#include <QImage>
#include <QString>
#include <memory>

class QIODevice;

namespace platform {

class JpegWriter {
public:
    // Colour resolution relative to brightness, as the file's sampling factors give it.
    enum class Chroma { Full, Halved };
    static constexpr int kFullChromaQuality = 90;
    static Chroma chromaFor(int quality)
    {
        return quality >= kFullChromaQuality ? Chroma::Full : Chroma::Halved;
    }

    // A file of size pixels at quality (0 to 100, clamped) on device, which must be open for
    // writing. The device is written from the encoder's thread: nothing else may use it until
    // finish() returns or the writer is gone.
    JpegWriter(QIODevice* device, QSize size, int quality);
    // Stops the encoder. A file not finished stays as far as it got: the caller discards it.
    ~JpegWriter();
    JpegWriter(const JpegWriter&) = delete;
    JpegWriter& operator=(const JpegWriter&) = delete;

    // The next rows, top first, as wide as the file. RGB32 and ARGB32 are encoded as stored,
    // alpha ignored; premultiplied ARGB32 as Qt turns it into RGB32 (opaque rows as stored);
    // other formats after conversion to RGB32. The rows are shared with the encoder, not
    // copied: write into a new image for the next rows. Waits while the encoder still has
    // earlier rows waiting. False once anything failed, or when the rows do not fit the file.
    bool write(const QImage& rows);
    // Waits for the encoder. True when every row of the file was written and the device took
    // every byte; false, with errorString(), otherwise.
    bool finish();
    // Why the writer failed; empty while it has not.
    QString errorString() const;

    // image as JPEG bytes, exactly what writing it through a JpegWriter gives. Empty, with
    // error set when given, when the image is null or the encoding failed.
    static QByteArray encode(const QImage& image, int quality, QString* error = nullptr);

private:
    struct Encoder;
    std::unique_ptr<Encoder> m_encoder;
    QString m_error; // the caller's side of the failure
    int m_rowsHandedOver = 0;
};

} // namespace platform
