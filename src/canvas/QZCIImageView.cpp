#include "canvas/QZCIImageView.h"

#include <algorithm>
#include <cmath>

using namespace platform;

namespace canvas {

namespace {

// The largest rectangle of size's proportions inside r, centred in it.
Rect aspectFit(const Size& size, const Rect& r)
{
    const double s = std::min(r.size.width / size.width, r.size.height / size.height);
    const Size fit(size.width * s, size.height * s);
    return Rect(r.origin.x + (r.size.width - fit.width) / 2,
        r.origin.y + (r.size.height - fit.height) / 2, fit.width, fit.height);
}

double fillScale(const Size& size, const Size& target)
{
    return std::max(target.width / size.width, target.height / size.height);
}

// The size of an image that can be fitted: finite and not empty.
bool fittable(const Size& size)
{
    return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0.0
        && size.height > 0.0;
}

} // namespace

QZCIImageView::QZCIImageView(const Rect& frame)
    : View(frame)
{
}

QZCIImageView::~QZCIImageView() = default;

void QZCIImageView::setRenderer(std::unique_ptr<QZCIImageRenderer> r)
{
    if (m_renderer) {
        if (View* old = m_renderer->view())
            old->removeFromSuperview();
    }
    m_renderer = std::move(r);
    if (!m_renderer)
        return;
    if (std::unique_ptr<View> v = m_renderer->takeView()) {
        v->setFrame(bounds().integral());
        addSubview(std::move(v));
    }
}

void QZCIImageView::setRenderimage(const FilterImage& img)
{
    if (img == m_renderimage)
        return;
    m_renderimage = img;
    layoutSubviews();
}

void QZCIImageView::setImageContentMode(unsigned mode)
{
    m_imageContentMode = mode;
    layoutSubviews();
}

void QZCIImageView::resizeSubviewsWithOldSize(const Size& oldBoundsSize)
{
    View::resizeSubviewsWithOldSize(oldBoundsSize);
    layoutSubviews();
}

double QZCIImageView::screenScaleFactor() const
{
    return backingScaleFactor();
}

Size QZCIImageView::displayScale() const
{
    const double screen = screenScaleFactor();
    return { screen * unitScale().width, screen * unitScale().height };
}

void QZCIImageView::layoutSubviews()
{
    if (!m_renderer)
        return;
    const Size size = m_renderimage ? m_renderimage.extent().size : Size();
    const Rect b = bounds();
    View* view = m_renderer->view();
    if (!fittable(size) || !(b.size.width > 0.0) || !(b.size.height > 0.0) || !view) {
        m_renderer->renderImage(FilterImage());
        return;
    }
    Rect frame;
    switch (m_imageContentMode) {
    case 1:
        frame = aspectFit(size, b);
        break;
    case 2: {
        const double s = fillScale(size, b.size);
        const Size fill(std::floor(size.width * s), std::floor(size.height * s));
        frame = Rect(b.origin.x + (b.size.width - fill.width) / 2,
            b.origin.y + (b.size.height - fill.height) / 2, fill.width, fill.height);
        break;
    }
    case 3: {
        const Size d = displayScale();
        const Size one(size.width / d.width, size.height / d.height);
        frame = Rect((b.size.width - one.width) / 2, (b.size.height - one.height) / 2, one.width,
            one.height);
        break;
    }
    default:
        frame = b;
        break;
    }
    frame = frame.integral();
    // An unchanged frame is left alone: setting it would repaint the whole layer.
    if (frame.isFinite() && view->frame() != frame)
        view->setFrame(frame);
    updateContent();
}

FilterImage QZCIImageView::scaledImageForDisplay(const FilterImage& img) const
{
    if (!img)
        return img;
    const Size d = displayScale();
    const Size target(bounds().size.width * d.width, bounds().size.height * d.height);
    const Size size = img.extent().size;
    if (!fittable(size) || !fittable(target))
        return img;
    double fx = 0.0, fy = 0.0;
    if (m_imageContentMode == 1) {
        const Rect f = aspectFit(size, Rect({ 0, 0 }, target));
        fx = f.size.width / size.width;
        fy = f.size.height / size.height;
    } else if (m_imageContentMode == 2) {
        const double s = fillScale(size, target);
        fx = std::floor(size.width * s) / size.width;
        fy = std::floor(size.height * s) / size.height;
    } else {
        return img;
    }
    if (!(fx > 0.0) || !(fy > 0.0))
        return img;
    return img.transformed(AffineTransform::makeScale(fx, fy));
}

void QZCIImageView::updateContent()
{
    if (m_renderer)
        m_renderer->renderImage(scaledImageForDisplay(m_renderimage));
}

} // namespace canvas
