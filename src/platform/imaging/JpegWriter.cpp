#include "platform/imaging/JpegWriter.h"

#include "platform/concurrency/Handoff.h"

#include <QBuffer>
#include <QColorSpace>
#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <jerror.h>
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

constexpr std::size_t kOutputBufferBytes = 64 * 1024;

bool isOpaque(const QRgb* row, int width)
{
    QRgb all = 0xff000000u;
    for (int x = 0; x < width; ++x)
        all &= row[x];
    return (all >> 24) == 0xff;
}

} // namespace

// Everything the encoder's thread touches. libjpeg reports a fatal error by calling
// error_exit, which jumps back to the setjmp in guarded(): nothing between the two may need a
// destructor, so the steps run inside it only touch this struct.
struct JpegWriter::Encoder {
    struct ErrorManager {
        jpeg_error_mgr pub; // first: libjpeg sees only this part
        std::jmp_buf jump;
    };
    struct Destination {
        jpeg_destination_mgr pub; // first, as above
        Encoder* owner;
    };

    QIODevice* device;
    const QSize size;
    const int quality;
    jpeg_compress_struct info {};
    ErrorManager error {};
    Destination destination {};
    std::vector<JOCTET> buffer;
    std::vector<JSAMPROW> rowPointers;
    QSize dotsPerMeter; // the first rows' density
    QByteArray profile; // the first rows' colour profile, if any
    bool created = false;
    bool started = false;
    int rowsDone = 0;
    // Written by the encoder's thread before it ends; read after join().
    QString failure;
    std::atomic<bool> failed { false };
    Handoff<QImage> queue { 1 };
    std::thread thread;

    Encoder(QIODevice* d, QSize s, int q)
        : device(d)
        , size(s)
        , quality(std::clamp(q, 0, 100))
        , buffer(kOutputBufferBytes)
    {
        info.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = stop;
        destination.owner = this;
        destination.pub.init_destination = initDestination;
        destination.pub.empty_output_buffer = emptyBuffer;
        destination.pub.term_destination = termDestination;
    }
    ~Encoder()
    {
        queue.close();
        if (thread.joinable())
            thread.join();
        if (created)
            jpeg_destroy_compress(&info);
    }

    void fail(const QString& why)
    {
        if (!failed.exchange(true))
            failure = why;
        queue.close(); // the caller's next write is refused rather than waiting
    }

    void run()
    {
        if (!guarded(create, nullptr))
            return;
        created = true;
        while (const std::optional<QImage> rows = queue.pop()) {
            if (failed)
                continue; // drained, never encoded
            const QImage ready = encodable(*rows);
            if (!started) {
                // Read here: the steps below may be left by a jump, past any destructor.
                dotsPerMeter = QSize(ready.dotsPerMeterX(), ready.dotsPerMeterY());
                if (ready.colorSpace().isValid())
                    profile = ready.colorSpace().iccProfile();
            }
            if (!guarded(started ? writeRows : startAndWriteRows, &ready))
                return;
        }
        if (failed)
            return;
        if (!started || rowsDone != size.height()) {
            fail(QStringLiteral("The picture ended after %1 of its %2 rows.")
                     .arg(rowsDone)
                     .arg(size.height()));
            return;
        }
        guarded(finishFile, nullptr);
    }

    // Rows in a format libjpeg reads directly: 4 bytes a pixel in QRgb's order, the colours
    // as Qt's conversion to RGB32 gives them.
    static QImage encodable(const QImage& rows)
    {
        switch (rows.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
            return rows;
        case QImage::Format_ARGB32_Premultiplied:
            for (int y = 0; y < rows.height(); ++y) {
                if (!isOpaque(reinterpret_cast<const QRgb*>(rows.constScanLine(y)), rows.width()))
                    return rows.convertToFormat(QImage::Format_RGB32);
            }
            return rows;
        default:
            return rows.convertToFormat(QImage::Format_RGB32);
        }
    }

    // Runs step with libjpeg's fatal errors caught; false when it gave up.
    bool guarded(void (*step)(Encoder&, const QImage*), const QImage* rows)
    {
        if (setjmp(error.jump)) {
            char message[JMSG_LENGTH_MAX] = {};
            (*error.pub.format_message)(reinterpret_cast<j_common_ptr>(&info), message);
            fail(failure.isEmpty() ? QString::fromLocal8Bit(message) : failure);
            return false;
        }
        step(*this, rows);
        return true;
    }

    static void create(Encoder& e, const QImage*)
    {
        jpeg_create_compress(&e.info);
        e.info.dest = &e.destination.pub;
    }

    static void startAndWriteRows(Encoder& e, const QImage* rows)
    {
        jpeg_compress_struct& info = e.info;
        info.image_width = JDIMENSION(e.size.width());
        info.image_height = JDIMENSION(e.size.height());
        info.input_components = 4;
        info.in_color_space = kQRgbSpace;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, e.quality, TRUE);
        const int luma = chromaFor(e.quality) == Chroma::Full ? 1 : 2;
        info.comp_info[0].h_samp_factor = luma;
        info.comp_info[0].v_samp_factor = luma;
        // The density the picture carries, in dots per inch, as a whole number.
        const auto dpi = [](int dotsPerMeter) {
            return UINT16(std::clamp<long>(std::lround(dotsPerMeter * 0.0254), 1, 65535));
        };
        if (e.dotsPerMeter.width() > 0 && e.dotsPerMeter.height() > 0) {
            info.density_unit = 1;
            info.X_density = dpi(e.dotsPerMeter.width());
            info.Y_density = dpi(e.dotsPerMeter.height());
        }
        jpeg_start_compress(&info, TRUE);
        e.started = true;
        if (!e.profile.isEmpty())
            jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(e.profile.constData()),
                unsigned(e.profile.size()));
        writeRows(e, rows);
    }

    static void writeRows(Encoder& e, const QImage* rows)
    {
        const int n = rows->height();
        e.rowPointers.resize(std::size_t(n));
        for (int y = 0; y < n; ++y)
            e.rowPointers[std::size_t(y)] = const_cast<JSAMPROW>(rows->constScanLine(y));
        // The caller never hands over more rows than the file has, so libjpeg takes them all.
        for (int done = 0; done < n;) {
            const int taken = int(
                jpeg_write_scanlines(&e.info, e.rowPointers.data() + done, JDIMENSION(n - done)));
            if (taken <= 0)
                ERREXIT(&e.info, JERR_TOO_LITTLE_DATA);
            done += taken;
        }
        e.rowsDone += n;
    }

    static void finishFile(Encoder& e, const QImage*) { jpeg_finish_compress(&e.info); }

    [[noreturn]] static void stop(j_common_ptr info)
    {
        std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
    }

    // Hands the device count bytes of the buffer; on failure notes the device's reason and
    // makes libjpeg give up.
    static void drain(j_compress_ptr info, std::size_t count)
    {
        Encoder& e = *reinterpret_cast<Destination*>(info->dest)->owner;
        const char* data = reinterpret_cast<const char*>(e.buffer.data());
        for (std::size_t written = 0; written < count;) {
            const qint64 n = e.device->write(data + written, qint64(count - written));
            if (n <= 0) {
                e.fail(e.device->errorString().isEmpty()
                        ? QStringLiteral("The file could not be written.")
                        : e.device->errorString());
                ERREXIT(info, JERR_FILE_WRITE);
            }
            written += std::size_t(n);
        }
        info->dest->next_output_byte = e.buffer.data();
        info->dest->free_in_buffer = e.buffer.size();
    }
    static void initDestination(j_compress_ptr info)
    {
        Encoder& e = *reinterpret_cast<Destination*>(info->dest)->owner;
        info->dest->next_output_byte = e.buffer.data();
        info->dest->free_in_buffer = e.buffer.size();
    }
    static boolean emptyBuffer(j_compress_ptr info)
    {
        drain(info, reinterpret_cast<Destination*>(info->dest)->owner->buffer.size());
        return TRUE;
    }
    static void termDestination(j_compress_ptr info)
    {
        Encoder& e = *reinterpret_cast<Destination*>(info->dest)->owner;
        drain(info, e.buffer.size() - info->dest->free_in_buffer);
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
