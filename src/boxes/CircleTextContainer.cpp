#include "boxes/CircleTextContainer.h"

#include "platform/text/AttributedString.h"
#include "platform/text/TextLayout.h"

#include <QTextBoundaryFinder>
#include <cmath>

using platform::AttributedString;
using platform::Rect;
using platform::Size;
using platform::TextRange;

CircleTextContainer::CircleTextContainer(Size size)
    : platform::TextContainer(size)
{
}

void CircleTextContainer::setIsCircular(bool circular)
{
    if (circular == _isCircular)
        return;
    _isCircular = circular;
    geometryDidChange();
}

void CircleTextContainer::setIsVertical(bool vertical)
{
    if (vertical == _isVertical)
        return;
    _isVertical = vertical;
    geometryDidChange();
}

double CircleTextContainer::clusterWidth(const AttributedString& text, int index)
{
    if (index < 0 || index >= text.length())
        return 0.0;
    // A whole grapheme cluster, so that a column never splits a surrogate pair or a base
    // character from its combining marks.
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text.string());
    clusters.setPosition(index);
    qsizetype end = clusters.toNextBoundary();
    if (end <= index || end > text.length())
        end = index + 1;
    const double w = platform::TextLayout::measure(
        text.attributedSubstring(TextRange(index, int(end) - index)))
                         .width;
    return std::isfinite(w) ? std::max(w, 0.0) : 0.0;
}

Rect CircleTextContainer::lineFragmentRect(
    const Rect& proposed, int characterIndex, const AttributedString& text, Rect* remaining)
{
    const Rect r
        = platform::TextContainer::lineFragmentRect(proposed, characterIndex, text, remaining);
    if (_isVertical) {
        _charWidth = clusterWidth(text, characterIndex);
        return Rect(r.x() + r.width() / 2 - _charWidth / 2, r.y(), _charWidth + 1, r.height());
    }
    if (_isCircular) {
        const Size s = size();
        const double R = std::min(s.width, s.height) / 2;
        const double dy = r.y() + r.height() / 2 - R;
        const double c = std::fabs(dy) < R ? 2 * std::sqrt(R * R - dy * dy) : 0.0;
        return Rect(r.x() + R - c / 2, r.y(), c, r.height());
    }
    return r;
}
