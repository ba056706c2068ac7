#include "platform/imaging/FilterImage.h"

#include "platform/imaging/AffineTransformNode.h"
#include "platform/imaging/BitmapSource.h"
#include "platform/imaging/ClampNode.h"
#include "platform/imaging/ConstantColorNode.h"
#include "platform/imaging/CropNode.h"
#include "platform/imaging/SourceOverNode.h"

namespace platform {

FilterImage FilterImage::fromQImage(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return {};
    return FilterImage(std::make_shared<BitmapSource>(image));
}

FilterImage FilterImage::constantColor(const Color& color)
{
    return FilterImage(std::make_shared<ConstantColorNode>(color));
}

Rect FilterImage::extent() const
{
    return m_node ? m_node->extent() : Rect::null();
}

FilterImage FilterImage::transformed(const AffineTransform& t) const
{
    if (!m_node || t.isIdentity())
        return *this;
    return FilterImage(std::make_shared<AffineTransformNode>(m_node, t));
}

FilterImage FilterImage::cropped(const Rect& r) const
{
    if (!m_node)
        return *this;
    return FilterImage(std::make_shared<CropNode>(m_node, r));
}

FilterImage FilterImage::clampedToExtent() const
{
    if (!m_node)
        return *this;
    return FilterImage(std::make_shared<ClampNode>(m_node));
}

FilterImage FilterImage::compositedOver(const FilterImage& background) const
{
    if (!m_node || !background.m_node)
        return m_node ? *this : background;
    return FilterImage(std::make_shared<SourceOverNode>(m_node, background.m_node));
}

} // namespace platform
