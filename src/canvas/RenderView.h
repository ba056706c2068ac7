#pragma once
// One picture layer of the canvas: an image view whose renderer shows pixels the canvas rendered
// for it earlier (both layers together, off the main thread), so drawing never computes a
// filter. It lets every click through to the views below. The top (masked) layer can tint what
// it shows red, so that the painted region stands out.
//
// The view's unit scale is the canvas zoom, so its own coordinates are working-size points, and
// the picture's extent fills its bounds.
#include "canvas/QZCIImageView.h"

#include <QImage>

namespace canvas {

class QZCIImageCpuRenderer;

class RenderView : public QZCIImageView {
public:
    explicit RenderView(const platform::Rect& frame = platform::Rect());

    // 0: the masked layer over the boxes; 1: the picture under them.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    // Non-zero turns the red tint on (the top layer only).
    int redmask() const { return m_redmask; }
    void setRedmask(int redmask) { m_redmask = redmask; }
    platform::Size originalImageSize() const { return m_originalImageSize; }
    void setOriginalImageSize(const platform::Size& size) { m_originalImageSize = size; }

    // The image last given, untinted; what shows is renderimage() (tinted on the top layer with
    // the red mask on: 0.5 added to red).
    const platform::FilterImage& image() const { return m_image; }
    const platform::FilterImage& shownImage() const { return renderimage(); }
    void setImage(const platform::FilterImage& image);

    // Rendered pixels of shownImage() covering a working-size rectangle; they stay until new
    // ones come. A patch replaces part of them (pixels in the current pixels' grid).
    void setRenderedPixels(const QImage& pixels, const platform::Rect& workingRect);
    void setRenderedPatch(const QImage& patch, const QRect& pixels);
    const QImage& renderedPixels() const;

    View* hitTest(const platform::Point& pointInSuperview) override;

private:
    // The renderer when it is the CPU renderer the layer starts with, else null.
    QZCIImageCpuRenderer* cpuRenderer() const;

    int m_tag = 0;
    int m_redmask = 0;
    platform::Size m_originalImageSize;
    platform::FilterImage m_image;
};

} // namespace canvas
