#pragma once
// The sampling factors a JPEG file declares, read by libjpeg: how finely it keeps colour
// against brightness. Header-only, for the tests that link libjpeg through the imaging library.
#include <QByteArray>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <jpeglib.h>

namespace testsupport {

struct JpegSampling {
    int lumaH = 0, lumaV = 0, chromaH = 0, chromaV = 0; // all 0 when the header is unreadable
};

inline JpegSampling jpegSampling(const QByteArray& jpeg)
{
    struct Error {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
    } error;
    jpeg_decompress_struct info {};
    info.err = jpeg_std_error(&error.pub);
    error.pub.error_exit
        = [](j_common_ptr i) { std::longjmp(reinterpret_cast<Error*>(i->err)->jump, 1); };
    JpegSampling s;
    if (setjmp(error.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.constData()),
            static_cast<unsigned long>(jpeg.size()));
        if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK && info.num_components == 3) {
            s = { info.comp_info[0].h_samp_factor, info.comp_info[0].v_samp_factor,
                info.comp_info[1].h_samp_factor, info.comp_info[1].v_samp_factor };
        }
    }
    jpeg_destroy_decompress(&info);
    return s;
}

} // namespace testsupport
