#pragma once
// For JpegWriter's implementation and tests only; not part of its interface.
#include <QByteArray>
#include <QImage>

namespace platform {

// Rows per slice the writer encodes apart: whole rows of blocks at either colour resolution.
constexpr int kJpegSliceRows = 32;

// image as one libjpeg pass over all its rows, with the writer's settings: the file the
// writer's slices must join into, byte for byte.
QByteArray jpegInOnePass(const QImage& image, int quality);

} // namespace platform
