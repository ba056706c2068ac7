#pragma once
// How far two renderings of the same picture agree: the PSNR over their premultiplied ARGB32
// channels (Qt's premultiplied ARGB32 and cairo's ARGB32 share the layout), NaN when their
// sizes differ. With QUILLMARK_BENCH_PICTURES set to a folder, both are written there as PNG
// (ours-<name>.png, peer-<name>.png) to look at.
#include <QImage>
#include <QString>
#include <cmath>

inline double picturePsnr(const QImage& oursIn, const QImage& peerIn, const char* name)
{
    const QImage ours = oursIn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage peer = peerIn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (ours.isNull() || ours.size() != peer.size())
        return std::nan("");
    const QString folder = qEnvironmentVariable("QUILLMARK_BENCH_PICTURES");
    if (!folder.isEmpty()) {
        ours.save(folder + "/ours-" + name + ".png");
        peer.save(folder + "/peer-" + name + ".png");
    }
    double sum = 0;
    for (int y = 0; y < ours.height(); ++y) {
        const uchar* a = ours.constScanLine(y);
        const uchar* b = peer.constScanLine(y);
        for (int i = 0; i < ours.width() * 4; ++i) {
            const double d = double(a[i]) - double(b[i]);
            sum += d * d;
        }
    }
    const double mse = sum / (double(ours.width()) * double(ours.height()) * 4.0);
    return mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 99.0;
}
