#pragma once
// Documents that are heavy to draw though small to store, shared by the benchmarks, the peak
// memory probe and the fuzz seeds (their kept copies are replayed as document_fuzz inputs):
//
// arrowLinesDocument(n, stroke)  n straight lines with an arrow head at each end, at a stroke
//                                width far beyond the picture: every head reaches over the
//                                whole canvas.
// effectsOnTinyPictureDocument(side)
//                                a picture of side x side pixels under six boxes with every
//                                effect (drop, inner and box shadows, translucency, a border),
//                                each larger than the picture: the canvas zooms the picture to
//                                fit the window, so the boxes and their effects are drawn
//                                hundreds of times larger than they are stored.
#include "app/DocumentFile.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "boxes/ShapeModel.h"
#include "container/ContainerSnapshot.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

namespace testsupport {

inline QByteArray heavyDrawingPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(90, 140, 190));
    QPainter(&image).fillRect(
        QRect(width / 4, height / 4, width / 2, height / 2), QColor(200, 160, 60));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    return bytes;
}

inline QByteArray arrowLinesDocument(int lines, int stroke)
{
    DocumentContents contents;
    contents.imageData = heavyDrawingPicture(1200, 800);
    std::vector<UNDODATA> records;
    records.reserve(std::size_t(lines));
    for (int i = 0; i < lines; ++i) {
        const platform::Rect frame(
            double(i % 100) * 12.0, double((i / 100) % 50) * 16.0, 60.0 + double(i % 7) * 10.0, 30);
        UNDODATA r = MyShapeView(frame, shape::ArrowLine).getUndoData();
        r.frame = frame;
        r.startType = shape::ArrowHead;
        r.endType = shape::ArrowHead;
        r.strokeSize = stroke;
        r.rotationAngle = double((i * 37) % 360);
        records.push_back(std::move(r));
    }
    contents.boxes = ContainerSnapshot(std::move(records));
    return DocumentFile::write(contents);
}

// Every effect a box has, wide and strong.
inline void withEveryEffect(UNDODATA& r)
{
    SZGradient back;
    back.gradientType = SZGradient::ColorFill;
    back.color = platform::Color(1, 1, 1, 0.5);
    r.backColor = back;
    SZGradient border;
    border.gradientType = SZGradient::ColorFill;
    border.color = platform::Color(0.9, 0.2, 0.1, 1);
    r.borderColor = border;
    r.borderSize = 2;
    r.layerOpacity = 0.8;
    r.shadowColor = platform::Color(0, 0, 0, 0.75);
    r.shadowBlurSize = 60;
    r.shadowOffsetSize = 20;
    r.shadowAngle = 45;
    r.innerShadowColor = platform::Color(0, 0, 0.5, 0.75);
    r.innerShadowBlurSize = 30;
    r.innerShadowOffsetSize = 10;
    r.innerShadowAngle = 90;
    r.boxShadowColor = platform::Color(0.2, 0, 0, 0.75);
    r.boxShadowBlurSize = 30;
    r.boxShadowOffsetSize = 10;
    r.boxShadowAngle = 30;
}

inline QByteArray effectsOnTinyPictureDocument(int side)
{
    DocumentContents contents;
    contents.imageData = heavyDrawingPicture(side, side);
    QImage boxPicture(40, 30, QImage::Format_ARGB32_Premultiplied);
    boxPicture.fill(qRgb(40, 160, 90));
    std::vector<UNDODATA> records;
    for (int i = 0; i < 6; ++i) {
        // Larger than the picture, a little apart, turned.
        const platform::Rect frame(-3.0 + double(i), -2.0 + double(i % 3), 8, 6);
        UNDODATA r;
        switch (i % 3) {
        case 0: {
            MyTextView text(frame);
            text.txtBox()->editor().setText(platform::AttributedString(
                QStringLiteral("Effects"), MyTextBox::defaultAttributes()));
            r = text.getUndoData();
            break;
        }
        case 1:
            r.type = UNDODATA::ImageBox;
            r.orgImage = platform::Image::fromQImage(boxPicture);
            r.orgWidth = frame.width();
            r.orgHeight = frame.height();
            r.saturation = 1.0;
            break;
        default:
            r = MyShapeView(frame, shape::Star).getUndoData();
            r.strokeSize = 1;
            break;
        }
        r.frame = frame;
        r.rotationAngle = double(i * 25);
        withEveryEffect(r);
        records.push_back(std::move(r));
    }
    contents.boxes = ContainerSnapshot(std::move(records));
    return DocumentFile::write(contents);
}

} // namespace testsupport
