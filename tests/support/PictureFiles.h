#pragma once
// Picture files with crafted headers, made from real ones: an EXIF orientation tag, stray bytes
// in the picture data, or a size claimed in a few bytes that would take gigabytes to decode.
#include <QByteArray>
#include <QtEndian>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <functional>
#include <jpeglib.h>
#include <vector>

namespace testsupport {

// A JPEG encoded a row at a time by libjpeg-turbo, rowAt(y, row) filling row y as packed RGB:
// no picture is held whole, however large. restartRows > 0 puts a restart marker after every
// that many rows of blocks, as cameras do.
inline QByteArray encodedJpeg(int width, int height,
    const std::function<void(int, unsigned char*)>& rowAt, int restartRows = 0, int quality = 90)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr error {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.restart_in_rows = restartRows;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(width) * 3);
    while (info.next_scanline < info.image_height) {
        rowAt(int(info.next_scanline), row.data());
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

// The JPEG with an EXIF APP1 segment holding one orientation tag (big-endian TIFF layout)
// right after its start marker.
inline QByteArray withExifOrientation(const QByteArray& jpeg, int orientation)
{
    const QByteArray app1 = QByteArray::fromHex("FFE10022" // APP1, 34 bytes
                                                "457869660000" // "Exif"
                                                "4D4D002A00000008" // TIFF header, directory at 8
                                                "0001" // one entry:
                                                "011200030000000100") // orientation, SHORT, 1:
        + char(orientation) + QByteArray(2 + 4, '\0'); // padded; no next directory
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

// The first PNG inside bytes (a file, or an archive that holds one) made to claim
// width x height, its header checksum mended; the pixel data stay those of the real size.
inline QByteArray pngClaiming(QByteArray bytes, quint32 width, quint32 height)
{
    const qsizetype png = bytes.indexOf("\x89PNG\r\n\x1a\n");
    if (png < 0)
        return bytes;
    char* ihdr = bytes.data() + png + 12; // after the signature and the chunk's length
    qToBigEndian(width, ihdr + 4);
    qToBigEndian(height, ihdr + 8);
    quint32 crc = 0xffffffffu;
    for (int i = 0; i < 17; ++i) { // the chunk type and its 13 data bytes
        crc ^= quint8(ihdr[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    qToBigEndian(~crc, ihdr + 17);
    return bytes;
}

// The baseline JPEG made to claim width x height in its frame header.
inline QByteArray jpegClaiming(QByteArray jpeg, quint16 width, quint16 height)
{
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    if (frame < 0)
        return jpeg;
    qToBigEndian(height, jpeg.data() + frame + 5);
    qToBigEndian(width, jpeg.data() + frame + 7);
    return jpeg;
}

// The JPEG with stray bytes before its end marker: the decoder is left with them inside the
// picture data, where it lost its way, so the picture loads marked damaged.
inline QByteArray withStrayBytesBeforeEnd(const QByteArray& jpeg)
{
    return jpeg.chopped(2) + QByteArray(24, char(0x55)) + jpeg.right(2);
}

// The archive with its first PNG replaced by png: archives hold byte strings behind their
// length (written here as CBOR's four-byte form), so pictures too large to make as an image
// can be put in a document written with a small one.
inline QByteArray withPngReplaced(QByteArray archive, const QByteArray& png)
{
    const qsizetype at = archive.indexOf("\x89PNG\r\n\x1a\n");
    if (at < 2 || uchar(archive[at - 2]) != 0x58) // a byte string of one-byte length
        return archive;
    QByteArray prefix(5, '\0');
    prefix[0] = char(0x5a);
    qToBigEndian(quint32(png.size()), prefix.data() + 1);
    return archive.replace(at - 2, uchar(archive[at - 1]) + 2, prefix + png);
}

} // namespace testsupport
