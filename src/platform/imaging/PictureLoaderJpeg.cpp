// PictureLoader's JPEG decoding, on libjpeg-turbo directly rather than through QImageReader:
// the decoder's own warnings are the only sure sign that a picture was cut short or has
// corrupt data (it then fills the missing area with grey and reports success), and they
// belong to this one decode, whatever other threads decode meanwhile. Decoding here also
// turns the picture upright row by row, into its one buffer.
#include "platform/imaging/PictureLoader.h"

#include <QColorSpace>
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>
#include <vector>

namespace platform {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub; // first: libjpeg sees only this part
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool headerRead = false;
    bool damaged = false;
    PictureFault fault = PictureFault::Corrupt;
};

// Everything one decode touches lives here, outside the function that calls setjmp, so that
// nothing with a destructor is left half-made by a jump back into it.
struct Decode {
    jpeg_decompress_struct info {};
    ErrorManager error;
    QImage image;
    std::vector<uchar> strip; // rows as decoded, before they are turned into place
    JOCTET* icc = nullptr; // malloc'ed by libjpeg
    unsigned int iccLength = 0;
    int orientation = 1;
    int scaleNum = 8; // of 8

    Decode()
    {
        info.err = jpeg_std_error(&error.pub);
        error.pub.error_exit = stop;
        error.pub.emit_message = onMessage;
    }
    ~Decode()
    {
        jpeg_destroy_decompress(&info); // also after a failed or partial creation
        std::free(icc);
    }
    Decode(const Decode&) = delete;
    Decode& operator=(const Decode&) = delete;

    [[noreturn]] static void stop(j_common_ptr info)
    {
        auto* error = reinterpret_cast<ErrorManager*>(info->err);
        info->err->format_message(info, error->message);
        std::longjmp(error->jump, 1);
    }

    static void onMessage(j_common_ptr info, int level)
    {
        if (level >= 0)
            return; // tracing
        auto* error = reinterpret_cast<ErrorManager*>(info->err);
        switch (info->err->msg_code) {
        case JWRN_EXTRANEOUS_DATA:
            // Stray bytes between header segments cost no pixel. After the picture data they
            // mean the entropy decoder lost its way: every pixel after that point is wrong.
            if (error->headerRead)
                error->damaged = true;
            break;
        case JWRN_JFIF_MAJOR:
        case JWRN_ADOBE_XFORM:
        case JWRN_BOGUS_ICC: // the profile is dropped, the pixels are whole
            break;
        case JWRN_JPEG_EOF:
            error->fault = PictureFault::CutShort;
            stop(info);
        default:
            stop(info); // corrupt: the rest would be guessed
        }
        ++info->err->num_warnings;
    }
};

// Adobe's CMYK, stored inverted, as the RGB Qt makes of it.
void cmykToRgb(uchar* row, JDIMENSION width)
{
    auto* out = reinterpret_cast<QRgb*>(row);
    for (JDIMENSION x = 0; x < width; ++x, row += 4) {
        const int k = row[3];
        out[x] = qRgb(k * row[0] / 255, k * row[1] / 255, k * row[2] / 255);
    }
}

// Where stored pixel (x, y) of a w x h picture goes when it is turned upright (EXIF
// orientation o): its column, and the row it lands on.
struct Placement {
    int o, w, h;
    bool transposes() const { return o >= 5; }
    int column(int x, int y) const
    {
        switch (o) {
        case 2:
        case 3:
            return w - 1 - x;
        case 5:
        case 8:
            return y;
        case 6:
        case 7:
            return h - 1 - y;
        default:
            return x;
        }
    }
    int row(int x, int y) const
    {
        switch (o) {
        case 3:
        case 4:
            return h - 1 - y;
        case 5:
        case 6:
            return x;
        case 7:
        case 8:
            return w - 1 - x;
        default:
            return y;
        }
    }
};

// Puts `count` decoded rows, starting at stored row y0, where they belong in image.
void place(const Placement& p, const uchar* strip, int y0, int count, QImage& image)
{
    const auto* rows = reinterpret_cast<const QRgb*>(strip);
    if (!p.transposes()) {
        for (int i = 0; i < count; ++i) {
            const QRgb* src = rows + qsizetype(i) * p.w;
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(p.row(0, y0 + i)));
            if (p.column(0, 0) == 0)
                std::copy_n(src, p.w, dst);
            else
                std::reverse_copy(src, src + p.w, dst);
        }
        return;
    }
    // A stored column becomes an upright row: `count` neighbours of it land side by side.
    for (int x = 0; x < p.w; ++x) {
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(p.row(x, y0)));
        for (int i = 0; i < count; ++i)
            dst[p.column(x, y0 + i)] = rows[qsizetype(i) * p.w + x];
    }
}

// Reads the header and sets the output colour space: four bytes a pixel, laid out as
// QImage::Format_RGB32 holds them, whatever the file's colour model.
void readHeader(Decode& d, const QByteArray& bytes)
{
    jpeg_decompress_struct& info = d.info;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
        static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF); // where the ICC profile is
    jpeg_read_header(&info, TRUE);
    d.error.headerRead = true;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        info.out_color_space = JCS_CMYK;
    else // grey and colour alike
        info.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;
}

// True when the header was read; false with d.error set.
bool headerOnly(Decode& d, const QByteArray& bytes)
{
    if (setjmp(d.error.jump))
        return false;
    readHeader(d, bytes);
    return true;
}

// True when the whole picture was decoded into d.image; false with d.error set.
bool run(Decode& d, const QByteArray& bytes)
{
    if (setjmp(d.error.jump))
        return false;
    readHeader(d, bytes);
    jpeg_decompress_struct& info = d.info;
    jpeg_read_icc_profile(&info, &d.icc, &d.iccLength);
    info.scale_num = unsigned(d.scaleNum);
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    const Placement p { d.orientation, int(info.output_width), int(info.output_height) };
    d.image = p.transposes() ? QImage(p.h, p.w, QImage::Format_RGB32)
                             : QImage(p.w, p.h, QImage::Format_RGB32);
    // Upright pictures are decoded straight into their rows; others a strip at a time, then
    // turned into place.
    const bool upright = p.o == 1;
    constexpr int kStripRows = 16; // a cache line of upright pixels per column when turned
    if (!upright)
        d.strip.resize(std::size_t(p.w) * 4 * kStripRows);
    if (d.image.isNull() || (!upright && d.strip.empty())) {
        std::snprintf(d.error.message, sizeof d.error.message, "out of memory");
        d.error.fault = PictureFault::TooLarge;
        return false;
    }
    while (info.output_scanline < info.output_height) {
        const int y0 = int(info.output_scanline);
        int count = 0;
        while (count < (upright ? 1 : kStripRows) && info.output_scanline < info.output_height) {
            uchar* row = upright ? d.image.scanLine(y0)
                                 : d.strip.data() + std::size_t(count) * std::size_t(p.w) * 4;
            count += int(jpeg_read_scanlines(&info, &row, 1));
            if (info.out_color_space == JCS_CMYK)
                cmykToRgb(row, info.output_width);
        }
        if (!upright)
            place(p, d.strip.data(), y0, count, d.image);
    }
    // Reads on to the end-of-image marker: a file cut after its last scan warns here.
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

PictureFault PictureLoader::readJpegHeader(const QByteArray& bytes, PictureHeader& header)
{
    Decode d;
    if (!headerOnly(d, bytes))
        return d.error.fault;
    const jpeg_decompress_struct& info = d.info;
    header.storedSize = QSize(int(std::min<JDIMENSION>(info.image_width, INT_MAX)),
        int(std::min<JDIMENSION>(info.image_height, INT_MAX)));
    qint64 bytesHeld = qint64(info.image_width) * info.image_height * 4;
    // Progressive and multi-scan pictures are decoded from a whole frame of coefficients,
    // 64 of 2 bytes a block, each component padded to whole MCUs.
    if (jpeg_has_multiple_scans(&d.info)) {
        for (int c = 0; c < info.num_components; ++c) {
            const jpeg_component_info& comp = info.comp_info[c];
            bytesHeld += qint64(comp.width_in_blocks + comp.h_samp_factor)
                * (comp.height_in_blocks + comp.v_samp_factor) * DCTSIZE2 * 2;
        }
    }
    header.cost = (bytesHeld + 3) / 4;
    return PictureFault::None;
}

QSize PictureLoader::jpegScaledSize(const QSize& stored, int scaleNum)
{
    // As the decoder rounds: up.
    auto side = [scaleNum](int v) { return int((qint64(v) * scaleNum + 7) / 8); };
    return { side(stored.width()), side(stored.height()) };
}

int PictureLoader::jpegScaleFor(const QSize& stored, const QSize& wanted)
{
    for (int n = 1; n < 8; ++n) {
        const QSize scaled = jpegScaledSize(stored, n);
        if (scaled.width() >= wanted.width() && scaled.height() >= wanted.height())
            return n;
    }
    return 8;
}

QImage PictureLoader::decodeJpeg(
    const QByteArray& bytes, int orientation, LoadedPicture& result, int scaleNum)
{
    Decode d;
    d.orientation = std::clamp(orientation, 1, 8);
    d.scaleNum = std::clamp(scaleNum, 1, 8);
    if (!run(d, bytes)) {
        result.fault = d.error.fault;
        result.error
            = QStringLiteral("JPEG not decoded whole: %1").arg(QLatin1StringView(d.error.message));
        return {};
    }
    result.damaged = d.error.damaged;
    if (d.icc) {
        const QColorSpace space = QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(d.icc), qsizetype(d.iccLength)));
        if (space.isValid())
            d.image.setColorSpace(space);
    }
    return std::move(d.image);
}

} // namespace platform
