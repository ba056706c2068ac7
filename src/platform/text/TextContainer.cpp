#include "platform/text/TextContainer.h"

#include <algorithm>
#include <cmath>

namespace platform {

void TextContainer::setSize(Size size)
{
    // Exact comparison on purpose: any other size may move lines (NaN always counts as new).
    if (size == m_size)
        return;
    m_size = size;
    geometryDidChange();
}

void TextContainer::setLineFragmentPadding(double padding)
{
    if (padding == m_lineFragmentPadding)
        return;
    m_lineFragmentPadding = padding;
    geometryDidChange();
}

Rect TextContainer::lineFragmentRect(
    const Rect& proposed, int, const AttributedString&, Rect* remaining)
{
    if (remaining)
        *remaining = Rect();
    const double width = std::isfinite(m_size.width) ? m_size.width : unlimited;
    const double height = std::isfinite(m_size.height) ? m_size.height : unlimited;
    const double x0 = std::max(proposed.minX(), 0.0);
    const double x1 = std::min(proposed.maxX(), width);
    const double y0 = std::max(proposed.minY(), 0.0);
    const double y1 = proposed.maxY();
    // A line that does not fit below the container's bottom edge does not fit at all.
    if (!(x1 > x0) || !(y1 > y0) || y1 > height)
        return Rect();
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

} // namespace platform
