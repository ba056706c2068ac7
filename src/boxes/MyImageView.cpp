#include "boxes/MyImageView.h"

#include "boxes/BoxHost.h"
#include "boxes/BoxesLogging.h"
#include "platform/imaging/Filter.h"
#include "platform/imaging/FilterRenderer.h"
#include "platform/ui/Event.h"

#include <cmath>

using platform::FilterImage;
using platform::GraphicsContext;
using platform::Image;
using platform::Rect;

namespace {

// orgImage through CIColorControls with its defaults and the given saturation.
FilterImage saturatedImage(const FilterImage& source, double saturation)
{
    platform::Filter filter = platform::Filter::withName(QStringLiteral("CIColorControls"));
    filter.setDefaults();
    filter.setValue(QStringLiteral("inputImage"), source);
    filter.setValue(QStringLiteral("inputSaturation"), saturation);
    return filter.outputImage();
}

// The filtered picture as pixels, at the point size of the picture it came from.
Image renderedImage(const FilterImage& image, const platform::Size& pointSize)
{
    const Rect extent = image.extent();
    if (extent.isNull() || extent.isInfinite() || extent.isEmpty())
        return {};
    const QImage pixels
        = platform::FilterRenderer::render(image, extent, 1.0, platform::RenderPath::Exact);
    if (pixels.isNull())
        return {};
    return Image::fromQImage(pixels, pointSize);
}

} // namespace

MyImageView::MyImageView(const Rect& frame)
    : MyViewBase(frame)
{
}

MyImageView::~MyImageView() = default;

void MyImageView::setOrgImage(const Image& picture, double width, double height)
{
    const platform::Size natural = picture.size();
    if (!(std::isfinite(width) && width > 0.0))
        width = natural.width;
    if (!(std::isfinite(height) && height > 0.0))
        height = natural.height;
    _orgImage = picture;
    _orgwidth = width;
    _orgheight = height;
    setSaturation(_saturation);
    setFrameSize({ width, height });
}

void MyImageView::setSaturation(double s)
{
    if (!std::isfinite(s)) {
        qCWarning(lcBoxes) << "setSaturation: not a finite value; ignored";
        return;
    }
    _saturation = s;
    if (_orgImage.isNull()) {
        _image = FilterImage();
        return;
    }
    if (!(m_sourcePicture == _orgImage) || m_source.isNull()) {
        m_sourcePicture = _orgImage;
        m_source = FilterImage::fromQImage(_orgImage.toQImage());
    }
    _image = saturatedImage(m_source, s);
    imgDraw = Image();
    setNeedsDisplay();
}

Image MyImageView::imageTinted(const Image& picture, const SZGradient& tint)
{
    if (picture.isNull() || tint.gradientType == SZGradient::NoFill)
        return picture;
    QImage pixels = picture.toQImage().copy();
    const platform::Size size = picture.size();
    if (pixels.isNull() || !(size.width > 0.0) || !(size.height > 0.0))
        return picture;
    {
        GraphicsContext ctx(pixels, double(pixels.width()) / size.width);
        platform::GStateGuard guard(ctx);
        ctx.setBlendMode(platform::BlendMode::SourceAtop);
        SZGradient::drawGradient(
            tint, platform::BezierPath::rect(Rect(0.0, 0.0, size.width, size.height)), ctx);
    }
    return Image::fromQImage(pixels, size);
}

void MyImageView::setOverlayColor(const SZGradient& fill)
{
    MyViewBase::setOverlayColor(fill);
    imgDraw = Image();
    setNeedsDisplay();
}

const Image& MyImageView::tintedImage() const
{
    if (imgDraw.isNull() && !_image.isNull())
        imgDraw = imageTinted(renderedImage(_image, _orgImage.size()), overlayColor());
    return imgDraw;
}

void MyImageView::drawRect(const Rect&, GraphicsContext& ctx)
{
    if (_image.isNull())
        return;
    qCDebug(lcBoxes) << "force draw image-myimageview";
    const Image& picture = tintedImage();
    if (picture.isNull())
        return;
    // Stretched to the box; the drawing layer always samples smoothly.
    ctx.drawImage(picture, bounds());
}

platform::View* MyImageView::hitTest(const platform::Point&)
{
    return nullptr;
}

bool MyImageView::mouseDown(const platform::Event& event)
{
    qCDebug(lcBoxes) << "mouseDown-myimageview";
    platform::View* wrapper = superview();
    BoxHost* host = myTextViewContainer();
    if (!wrapper || !host)
        return MyViewBase::mouseDown(event);
    host->mouseDownAtTextBox(
        wrapper->convertPointFromView(event.locationInWindow(), nullptr), event);
    return true;
}

UNDODATA MyImageView::getUndoData() const
{
    UNDODATA r = MyViewBase::getUndoData();
    r.orgWidth = _orgwidth;
    r.orgHeight = _orgheight;
    r.type = UNDODATA::ImageBox;
    r.orgImage = _orgImage;
    r.saturation = _saturation;
    return r;
}

void MyImageView::setUndoData(const UNDODATA& record)
{
    UNDODATA r = record;
    r.validate();
    MyViewBase::setUndoData(r);
    setOrgImage(r.orgImage);
    setSaturation(r.saturation);
    _orgwidth = r.orgWidth;
    _orgheight = r.orgHeight;
    setShadows();
}

void MyImageView::setCopyPasteStyle(const UNDODATA& record)
{
    MyViewBase::setCopyPasteStyle(record);
    setSaturation(record.saturation);
    setShadows();
}
