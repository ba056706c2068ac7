// PictureLoader's JPEG decoding, on libjpeg-turbo directly rather than through QImageReader:
// the decoder's own warnings are the only sure sign that a picture was cut short or has
// corrupt data (it then fills the missing area with grey and reports success), and they
// belong to this one decode, whatever other threads decode meanwhile.
#include "platform/imaging/PictureLoader.h"

#include <QColorSpace>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>

namespace platform {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub; // first: libjpeg sees only this part
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
};

// Everything one decode touches lives here, outside the function that calls setjmp, so that
// nothing with a destructor is left half-made by a jump back into it.
struct Decode {
    jpeg_decompress_struct info {};
    ErrorManager error;
    QImage image;
    JOCTET* icc = nullptr; // malloc'ed by libjpeg
    unsigned int iccLength = 0;
    qint64 maxPixels = 0;
};

[[noreturn]] void stop(j_common_ptr info)
{
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings after which every pixel is still the one the file holds.
bool losesNoPixels(int code)
{
    switch (code) {
    case JWRN_EXTRANEOUS_DATA: // stray bytes between segments: common in camera files
    case JWRN_JFIF_MAJOR:
    case JWRN_ADOBE_XFORM:
    case JWRN_BOGUS_ICC: // the profile is dropped, the pixels are whole
        return true;
    default:
        return false;
    }
}

void onMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // tracing
    if (!losesNoPixels(info->err->msg_code))
        stop(info); // cut short or corrupt: the rest would be guessed
    ++info->err->num_warnings;
}

// Adobe's CMYK, stored inverted, as the RGB Qt makes of it.
void cmykToRgb(uchar* row, JDIMENSION width)
{
    auto* out = reinterpret_cast<QRgb*>(row);
    for (JDIMENSION x = 0; x < width; ++x, row += 4) {
        const int k = row[3];
        out[x] = qRgb(k * row[0] / 255, k * row[1] / 255, k * row[2] / 255);
    }
}

// True when the whole picture was decoded into d.image; false with d.error's message set.
bool run(Decode& d, const QByteArray& bytes)
{
    if (setjmp(d.error.jump))
        return false;
    jpeg_decompress_struct& info = d.info;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
        static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF); // where the ICC profile is
    jpeg_read_header(&info, TRUE);
    if (qint64(info.image_width) * info.image_height > d.maxPixels) {
        std::snprintf(d.error.message, sizeof d.error.message, "picture too large");
        return false;
    }
    jpeg_read_icc_profile(&info, &d.icc, &d.iccLength);
    QImage::Format format = QImage::Format_RGB32;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        info.out_color_space = JCS_GRAYSCALE;
        format = QImage::Format_Grayscale8;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        info.out_color_space = JCS_CMYK;
        break;
    default:
        // Four bytes a pixel laid out as QImage::Format_RGB32 holds them, the fourth 0xff.
        info.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;
        break;
    }
    jpeg_start_decompress(&info);
    d.image = QImage(int(info.output_width), int(info.output_height), format);
    if (d.image.isNull()) {
        std::snprintf(d.error.message, sizeof d.error.message, "out of memory");
        return false;
    }
    uchar* const bits = d.image.bits();
    const qsizetype stride = d.image.bytesPerLine();
    while (info.output_scanline < info.output_height) {
        uchar* row = bits + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
        if (info.out_color_space == JCS_CMYK)
            cmykToRgb(row, info.output_width);
    }
    // Reads on to the end-of-image marker: a file cut after its last scan warns here.
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

QImage PictureLoader::decodeJpeg(const QByteArray& bytes, qint64 maxPixels, QString& error)
{
    Decode d;
    d.maxPixels = maxPixels;
    d.info.err = jpeg_std_error(&d.error.pub);
    d.error.pub.error_exit = stop;
    d.error.pub.emit_message = onMessage;
    const bool whole = run(d, bytes);
    jpeg_destroy_decompress(&d.info); // also after a failed or partial creation
    if (!whole) {
        std::free(d.icc);
        error
            = QStringLiteral("JPEG not decoded whole: %1").arg(QLatin1StringView(d.error.message));
        return {};
    }
    if (d.icc) {
        const QColorSpace space = QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(d.icc), qsizetype(d.iccLength)));
        std::free(d.icc);
        if (space.isValid())
            d.image.setColorSpace(space);
    }
    return std::move(d.image);
}

} // namespace platform
