#pragma once
// A view that shows one filter image through a renderer: the renderer's view is laid out inside
// the bounds by the content mode, and the renderer is given the image scaled to the display
// pixels that view covers, so that nothing renders more pixels than show.
//
// Content modes: 1 aspect fit (the default), 2 aspect fill (centred, overhanging the bounds),
// 3 centred at one image pixel per display pixel; any other value fills the bounds.
#include "canvas/QZCIImageRenderer.h"

namespace canvas {

class QZCIImageView : public platform::View {
public:
    explicit QZCIImageView(const platform::Rect& frame = platform::Rect());
    ~QZCIImageView() override;

    QZCIImageRenderer* renderer() const { return m_renderer.get(); }
    // The old renderer's view leaves the tree; r's view becomes a subview covering the integral
    // bounds until the next layout.
    void setRenderer(std::unique_ptr<QZCIImageRenderer> r);

    const platform::FilterImage& renderimage() const { return m_renderimage; }
    // A new image is laid out and handed to the renderer; the one already held changes nothing.
    void setRenderimage(const platform::FilterImage& img);

    unsigned imageContentMode() const { return m_imageContentMode; }
    void setImageContentMode(unsigned mode);

    // Places the renderer's view by the content mode and renders again. Without an image, or
    // with empty bounds, the renderer shows nothing.
    void layoutSubviews();
    // img scaled so that its extent covers the display pixels of its laid-out frame: the fitted
    // rectangle (mode 1) or the filled one (mode 2); other modes and images without a finite,
    // non-empty extent come back unchanged.
    platform::FilterImage scaledImageForDisplay(const platform::FilterImage& img) const;
    void updateContent();

    // Display pixels per point of the screen the view is on (1 without one).
    virtual double screenScaleFactor() const;

protected:
    void resizeSubviewsWithOldSize(const platform::Size& oldBoundsSize) override;

private:
    // Display pixels per own unit: the screen's scale times the view's unit scale (the canvas
    // zoom), so a zoomed layer still gets the pixels it shows.
    platform::Size displayScale() const;

    std::unique_ptr<QZCIImageRenderer> m_renderer;
    platform::FilterImage m_renderimage;
    unsigned m_imageContentMode = 1;
};

} // namespace canvas
