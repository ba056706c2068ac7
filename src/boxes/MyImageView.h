#pragma once
// An image box: a picture with its own saturation and an overlay tint, drawn stretched to the
// box. Its wrapper (MyImageViewSuper) draws the background under it and its overlay
// (MyImageViewOverlay) the inner shadow and border ring above it.
//
// The picture goes through two stages: image is orgImage through the engine's colour controls
// at the box's saturation (rebuilt when either is set), and the tinted picture is image with
// the overlay fill painted source-atop (rebuilt on the first draw after image or the overlay
// fill changed).
#include "boxes/MyViewBase.h"
#include "platform/imaging/FilterImage.h"

class MyImageView : public MyViewBase {
public:
    static constexpr BoxKind kBoxKind = BoxKind::Image;
    BoxKind boxKind() const override { return kBoxKind; }
    // initWithFrame: the base defaults, saturation 0.5, no picture.
    explicit MyImageView(const platform::Rect& frame);
    ~MyImageView() override;

    // Stores the picture and the size it came with (kept in proportion when the box is
    // resized), re-applies the saturation and sizes the box to (width, height). A size that is
    // not finite and positive is taken from the picture.
    void setOrgImage(const platform::Image& picture, double width, double height);
    // A plain store: image is not rebuilt (callers follow with setSaturation).
    void setOrgImage(const platform::Image& picture) { _orgImage = picture; }
    const platform::Image& orgImage() const { return _orgImage; }
    const platform::FilterImage& image() const { return _image; }
    void setImage(const platform::FilterImage& image) { _image = image; }
    double saturation() const { return _saturation; }
    // Rebuilds image from orgImage at saturation s (nothing without a picture). A non-finite
    // saturation is refused with a log line.
    void setSaturation(double s);
    double orgwidth() const { return _orgwidth; }
    double orgheight() const { return _orgheight; }

    // P with t painted over it source-atop: where P has pixels, keeping its transparency. A
    // fill of kind 0 leaves the picture as it is.
    static platform::Image imageTinted(const platform::Image& picture, const SZGradient& tint);

    // Stores a copy of the fill and drops the tinted picture.
    void setOverlayColor(const SZGradient& fill) override;

    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;
    // The box never takes pointer events itself: the container decides what a press means.
    platform::View* hitTest(const platform::Point& pointInSuperview) override;
    // Hands a press to the container at the point in the superview's coordinates.
    bool mouseDown(const platform::Event& event) override;

    UNDODATA getUndoData() const override;
    void setUndoData(const UNDODATA& record) override;
    void setCopyPasteStyle(const UNDODATA& record) override;

    // The tinted picture, made on first use after it was dropped (for drawing and tests).
    const platform::Image& tintedImage() const;

private:
    // Why the picture stage is cached: a display pass must not filter again.
    mutable platform::Image imgDraw;
    double _orgwidth = 0.0;
    double _orgheight = 0.0;
    platform::Image _orgImage;
    platform::FilterImage _image;
    double _saturation = 0.5;
    // orgImage as the engine's source, kept while orgImage stays the same picture so that its
    // reduced levels are made once.
    platform::Image m_sourcePicture;
    platform::FilterImage m_source;
};
