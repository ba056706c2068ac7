#pragma once
// A filter image: an immutable recipe (a picture, a generator, or a filter applied to other
// recipes) with an extent that may be infinite. Building one computes nothing; pixels are made
// only when a region is rendered (FilterRenderer). Copies share the recipe and compare equal.
// A default FilterImage is null ("no image").
#include "platform/geometry/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/imaging/FilterNode.h"

#include <QImage>

namespace platform {

class FilterImage {
public:
    FilterImage() = default;
    explicit FilterImage(FilterNodePtr node)
        : m_node(std::move(node))
    {
    }

    // The picture with extent (0, 0, w, h), its bottom row at y = 0. Null for a null image.
    static FilterImage fromQImage(const QImage& image);
    // One colour over an infinite extent.
    static FilterImage constantColor(const Color& color);

    bool isNull() const { return !m_node; }
    explicit operator bool() const { return bool(m_node); }

    // The null rectangle for a null image; Rect::infinite() for one without bounds.
    Rect extent() const;
    bool isInfinite() const { return extent().isInfinite(); }

    // Convenience recipes (null stays null).
    [[nodiscard]] FilterImage transformed(const AffineTransform& t) const;
    [[nodiscard]] FilterImage cropped(const Rect& r) const;
    [[nodiscard]] FilterImage clampedToExtent() const;
    [[nodiscard]] FilterImage compositedOver(const FilterImage& background) const;

    const FilterNodePtr& node() const { return m_node; }

    bool operator==(const FilterImage& o) const { return m_node == o.m_node; }

private:
    FilterNodePtr m_node;
};

} // namespace platform
