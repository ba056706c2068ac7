#include "platform/imaging/JpegWriter.h"

#include "platform/concurrency/Handoff.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/graphics/Image.h"
#include "platform/imaging/JpegWriter_p.h"

#include <QBuffer>
#include <QColorSpace>
#include <QIODevice>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <deque>
#include <jpeglib.h>
#include <thread>
#include <vector>

namespace platform {

namespace {

// QRgb in memory: B, G, R, A on a little-endian machine.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kQRgbSpace = JCS_EXT_BGRX;
#else
constexpr J_COLOR_SPACE kQRgbSpace = JCS_EXT_XRGB;
#endif

constexpr uchar kMarker = 0xff, kSof0 = 0xc0, kSos = 0xda, kRst0 = 0xd0, kEoi = 0xd9;

// What every slice of one file is encoded with.
struct SliceSettings {
    int width = 0;
    int quality = 100;
    QSize dotsPerMeter;
    QByteArray profile; // written with the file's header only
};

struct ErrorManager {
    jpeg_error_mgr pub; // first: libjpeg sees only this part
    std::jmp_buf jump;
};

[[noreturn]] void stop(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// One libjpeg compression. It lives outside the function that calls setjmp, as everything
// with a destructor must: a libjpeg error jumps back there past whatever lies between.
struct Compression {
    jpeg_compress_struct info {};
    ErrorManager error {};
    // The output: first a buffer of ours, large enough for nearly any slice; libjpeg's memory
    // destination replaces it with one of its own when it is not.
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    unsigned char* initial = nullptr;

    Compression()
    {
        info.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = stop;
    }
    ~Compression()
    {
        jpeg_destroy_compress(&info); // also after a failed or partial creation
        if (bytes != initial)
            std::free(bytes);
        std::free(initial);
    }
    Compression(const Compression&) = delete;
    Compression& operator=(const Compression&) = delete;
};

// The whole JPEG of count rows at the settings into c.bytes; false when libjpeg gave up.
bool compress(
    Compression& c, const SliceSettings& settings, JSAMPROW* rows, int count, bool withProfile)
{
    jpeg_compress_struct& info = c.info;
    if (setjmp(c.error.jump))
        return false;
    jpeg_create_compress(&info);
    // Three bytes a pixel: more than even noise at quality 100 takes, and pages never written
    // cost nothing.
    c.size
        = static_cast<unsigned long>(settings.width) * static_cast<unsigned long>(count) * 3 + 4096;
    c.initial = c.bytes = static_cast<unsigned char*>(std::malloc(c.size));
    if (!c.bytes)
        c.size = 0;
    jpeg_mem_dest(&info, &c.bytes, &c.size);
    info.image_width = JDIMENSION(settings.width);
    info.image_height = JDIMENSION(count);
    info.input_components = 4;
    info.in_color_space = kQRgbSpace;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, settings.quality, TRUE);
    const int luma = JpegWriter::chromaFor(settings.quality) == JpegWriter::Chroma::Full ? 1 : 2;
    info.comp_info[0].h_samp_factor = luma;
    info.comp_info[0].v_samp_factor = luma;
    // A restart marker after every row of blocks: slices of rows encoded apart then join
    // into exactly the file one pass over all rows makes.
    info.restart_in_rows = 1;
    if (settings.dotsPerMeter.width() > 0 && settings.dotsPerMeter.height() > 0) {
        // The density the picture carries, in whole dots per inch.
        info.density_unit = 1;
        info.X_density = UINT16(
            std::clamp<long>(std::lround(settings.dotsPerMeter.width() * 0.0254), 1, 65535));
        info.Y_density = UINT16(
            std::clamp<long>(std::lround(settings.dotsPerMeter.height() * 0.0254), 1, 65535));
    }
    jpeg_start_compress(&info, TRUE);
    if (withProfile && !settings.profile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(settings.profile.constData()),
            unsigned(settings.profile.size()));
    while (info.next_scanline < info.image_height)
        jpeg_write_scanlines(
            &info, rows + info.next_scanline, info.image_height - info.next_scanline);
    jpeg_finish_compress(&info);
    return true;
}

QByteArray encodeRows(const SliceSettings& settings, JSAMPROW* rows, int count, bool withProfile)
{
    Compression c;
    if (!compress(c, settings, rows, count, withProfile) || !c.bytes || c.size == 0)
        return {};
    return QByteArray(reinterpret_cast<const char*>(c.bytes), qsizetype(c.size));
}

// Where the entropy-coded data of a whole JPEG starts (after the scan header) and the offset
// of the frame header's height; nothing when the stream is not one libjpeg wrote.
struct Layout {
    qsizetype data = -1;
    qsizetype height = -1;
};

Layout layoutOf(const QByteArray& jpeg)
{
    Layout layout;
    qsizetype at = 2; // after SOI
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == kMarker) {
        const uchar marker = uchar(jpeg[at + 1]);
        const qsizetype length = (uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]);
        if (marker == kSof0)
            layout.height = at + 5;
        if (marker == kSos) {
            layout.data = at + 2 + length;
            return layout;
        }
        at += 2 + length;
    }
    return {};
}

QImage encodable(const QImage& rows)
{
    switch (rows.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        return rows;
    case QImage::Format_ARGB32_Premultiplied:
        return allPixelsOpaque(rows) ? rows : rows.convertToFormat(QImage::Format_RGB32);
    default:
        return rows.convertToFormat(QImage::Format_RGB32);
    }
}

} // namespace

QByteArray jpegInOnePass(const QImage& image, int quality)
{
    if (image.isNull())
        return {};
    const QImage rows = encodable(image);
    SliceSettings settings { rows.width(), std::clamp(quality, 0, 100),
        QSize(rows.dotsPerMeterX(), rows.dotsPerMeterY()),
        rows.colorSpace().isValid() ? rows.colorSpace().iccProfile() : QByteArray() };
    std::vector<JSAMPROW> pointers(std::size_t(rows.height()));
    for (int y = 0; y < rows.height(); ++y)
        pointers[std::size_t(y)] = const_cast<JSAMPROW>(rows.constScanLine(y));
    return encodeRows(settings, pointers.data(), rows.height(), true);
}

// The encoder's thread takes the rows handed over, cuts them into slices of kJpegSliceRows
// rows (a whole number of rows of blocks), encodes the slices of what it has on all cores as
// small JPEGs of their own, and writes their entropy-coded data to the device in order: the
// first slice's header (its height made the file's) before it, a restart marker between
// slices, and restart markers numbered on across the slices.
struct JpegWriter::Encoder {
    QIODevice* device;
    const QSize size;
    SliceSettings settings;
    // Rows handed over but not yet encoded, oldest first, and the images that hold them.
    std::vector<JSAMPROW> pending;
    struct Held {
        QImage image;
        int rowsLeft;
    };
    std::deque<Held> held;
    int rowsDone = 0; // encoded and written
    int slicesDone = 0;
    int restarts = 0; // restart markers written
    // Written by the encoder's thread before it ends; read after join().
    QString failure;
    std::atomic<bool> failed { false };
    Handoff<QImage> queue { 1 };
    std::thread thread;

    Encoder(QIODevice* d, QSize s, int quality)
        : device(d)
        , size(s)
    {
        settings.width = s.width();
        settings.quality = std::clamp(quality, 0, 100);
    }
    ~Encoder()
    {
        queue.close();
        if (thread.joinable())
            thread.join();
    }

    void fail(const QString& why)
    {
        if (!failed.exchange(true))
            failure = why;
        queue.close(); // the caller's next write is refused rather than waiting
    }

    void run()
    {
        while (const std::optional<QImage> rows = queue.pop()) {
            if (failed)
                continue; // drained, never encoded
            take(encodable(*rows));
            encodeSlices(false);
        }
        if (failed)
            return;
        encodeSlices(true);
        if (failed)
            return;
        if (rowsDone != size.height()) {
            fail(QStringLiteral("The picture ended after %1 of its %2 rows.")
                     .arg(rowsDone)
                     .arg(size.height()));
            return;
        }
        static const char end[] = { char(kMarker), char(kEoi) };
        writeOut(end, 2);
    }

    void take(const QImage& rows)
    {
        if (rowsDone == 0 && pending.empty()) {
            settings.dotsPerMeter = QSize(rows.dotsPerMeterX(), rows.dotsPerMeterY());
            if (rows.colorSpace().isValid())
                settings.profile = rows.colorSpace().iccProfile();
        }
        held.push_back({ rows, rows.height() });
        for (int y = 0; y < rows.height(); ++y)
            pending.push_back(const_cast<JSAMPROW>(rows.constScanLine(y)));
    }

    // Encodes every whole slice of the pending rows (and the last, shorter one when last) and
    // writes them.
    void encodeSlices(bool last)
    {
        const int rows = int(pending.size());
        const int slices
            = last ? (rows + kJpegSliceRows - 1) / kJpegSliceRows : rows / kJpegSliceRows;
        if (slices == 0)
            return;
        std::vector<QByteArray> encoded(static_cast<std::size_t>(slices));
        ThreadPool::parallelFor(slices, [&](int k) {
            const int first = k * kJpegSliceRows;
            encoded[std::size_t(k)] = encodeRows(settings, pending.data() + first,
                std::min(kJpegSliceRows, rows - first), slicesDone + k == 0);
        });
        const int used = std::min(rows, slices * kJpegSliceRows);
        for (int k = 0; k < slices && !failed; ++k)
            writeSlice(
                encoded[std::size_t(k)], std::min(kJpegSliceRows, rows - k * kJpegSliceRows));
        pending.erase(pending.begin(), pending.begin() + used);
        for (int left = used; left > 0;) {
            const int n = std::min(left, held.front().rowsLeft);
            held.front().rowsLeft -= n;
            left -= n;
            if (held.front().rowsLeft == 0)
                held.pop_front();
        }
    }

    void writeSlice(QByteArray& slice, int rows)
    {
        const Layout layout = layoutOf(slice);
        // The slice's data ends with its own end-of-image marker.
        if (layout.data < 0 || layout.height < 0 || slice.size() < layout.data + 2) {
            fail(QStringLiteral("The picture could not be encoded."));
            return;
        }
        if (slicesDone == 0) {
            slice[layout.height] = char(size.height() >> 8);
            slice[layout.height + 1] = char(size.height() & 0xff);
            writeOut(slice.constData(), layout.data);
        } else {
            const char restart[] = { char(kMarker), char(kRst0 + (restarts++ & 7)) };
            writeOut(restart, 2);
        }
        // Restart markers (0xff then 0xd0 to 0xd7; a 0xff of the data is followed by 0) are
        // numbered on from the slices before.
        char* data = slice.data() + layout.data;
        const qsizetype length = slice.size() - layout.data - 2;
        for (char* at = data; at + 1 < data + length; ++at) {
            at = static_cast<char*>(std::memchr(at, kMarker, std::size_t(data + length - 1 - at)));
            if (!at)
                break;
            if ((uchar(at[1]) & 0xf8) == kRst0)
                *++at = char(kRst0 + (restarts++ & 7));
        }
        writeOut(data, length);
        ++slicesDone;
        rowsDone += rows;
    }

    void writeOut(const char* data, qsizetype count)
    {
        for (qsizetype written = 0; written < count && !failed;) {
            const qint64 n = device->write(data + written, count - written);
            if (n <= 0) {
                fail(device->errorString().isEmpty()
                        ? QStringLiteral("The file could not be written.")
                        : device->errorString());
                return;
            }
            written += n;
        }
    }
};

JpegWriter::JpegWriter(QIODevice* device, QSize size, int quality)
{
    if (!device || !device->isWritable()) {
        m_error = QStringLiteral("The file is not open for writing.");
        return;
    }
    if (size.isEmpty() || size.width() > JPEG_MAX_DIMENSION || size.height() > JPEG_MAX_DIMENSION) {
        m_error = QStringLiteral("A JPEG image cannot be %1 by %2 pixels.")
                      .arg(size.width())
                      .arg(size.height());
        return;
    }
    m_encoder = std::make_unique<Encoder>(device, size, quality);
    m_encoder->thread = std::thread([e = m_encoder.get()] { e->run(); });
}

JpegWriter::~JpegWriter() = default;

bool JpegWriter::write(const QImage& rows)
{
    if (!m_encoder || !m_error.isEmpty())
        return false;
    const QSize size = m_encoder->size;
    if (rows.isNull() || rows.width() != size.width()
        || rows.height() > size.height() - m_rowsHandedOver) {
        m_error = QStringLiteral("Rows of %1 by %2 pixels do not fit a picture of %3 by %4 "
                                 "with %5 rows written.")
                      .arg(rows.width())
                      .arg(rows.height())
                      .arg(size.width())
                      .arg(size.height())
                      .arg(m_rowsHandedOver);
        m_encoder->queue.close();
        return false;
    }
    if (m_encoder->failed || !m_encoder->queue.push(rows))
        return false;
    m_rowsHandedOver += rows.height();
    return true;
}

bool JpegWriter::finish()
{
    if (!m_encoder)
        return false;
    m_encoder->queue.close();
    if (m_encoder->thread.joinable())
        m_encoder->thread.join();
    if (m_error.isEmpty() && m_encoder->failed)
        m_error = m_encoder->failure;
    return m_error.isEmpty() && !m_encoder->failed;
}

QString JpegWriter::errorString() const
{
    if (!m_error.isEmpty() || !m_encoder)
        return m_error;
    // The encoder's reason is safe to read once its thread has ended (finish()).
    return m_encoder->thread.joinable() ? QString() : m_encoder->failure;
}

QByteArray JpegWriter::encode(const QImage& image, int quality, QString* error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    JpegWriter writer(&buffer, image.size(), quality);
    if (image.isNull() || !writer.write(image) || !writer.finish()) {
        if (error)
            *error = image.isNull() ? QStringLiteral("There is no picture to encode.")
                                    : writer.errorString();
        return {};
    }
    return bytes;
}

} // namespace platform
