#pragma once
// The renderer of the canvas's picture layers: its view draws pixels rendered for the image it
// was given, rendered elsewhere and earlier (the canvas renders both layers together off the main
// thread), so drawing never computes a filter.
#include "canvas/QZCIImageRenderer.h"
#include "platform/ui/ViewPointer.h"

#include <QImage>

namespace canvas {

class QZCIImageCpuRenderer final : public QZCIImageRenderer {
public:
    QZCIImageCpuRenderer();
    ~QZCIImageCpuRenderer() override;

    // Keeps img; the pixels shown change only when pixels rendered for it come, except that a
    // null image clears them at once.
    void renderImage(const platform::FilterImage& img) override;
    platform::View* view() const override { return m_view.get(); }
    std::unique_ptr<platform::View> takeView() override { return std::move(m_ownedView); }

    const platform::FilterImage& image() const { return m_image; }

    // Pixels covering rect of the view's own space; they stay until new ones come. Null pixels
    // (a failed render) keep what shows.
    void setRenderedPixels(const QImage& pixels, const platform::Rect& rect);
    // Replaces part of the current pixels (a rectangle of their own grid, rows from the top);
    // a patch that does not fit them changes nothing.
    void setRenderedPatch(const QImage& patch, const QRect& pixels);
    // The pixels shown (null when none, or once the view is gone).
    const QImage& renderedPixels() const;

private:
    platform::FilterImage m_image;
    std::unique_ptr<platform::View> m_ownedView; // until the image view takes it
    platform::ViewPointer m_view;
};

// The renderer a new picture layer starts with.
std::unique_ptr<QZCIImageRenderer> DefaultImageRenderer();

} // namespace canvas
