#include "platform/text/ParagraphStyle.h"

#include <QString>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {
double finiteOrZero(double v)
{
    return std::isfinite(v) ? v : 0.0;
}
} // namespace

ParagraphStyle ParagraphStyle::withAlignment(TextAlignment alignment)
{
    ParagraphStyle style;
    style.alignment = alignment;
    return style;
}

QString ParagraphStyle::attributeClassName()
{
    return QStringLiteral("NSMutableParagraphStyle");
}

double ParagraphStyle::lineHeightFor(double naturalHeight) const
{
    double h = finiteOrZero(naturalHeight);
    const double multiple = finiteOrZero(lineHeightMultiple);
    if (multiple > 0.0)
        h *= multiple;
    const double minimum = finiteOrZero(minimumLineHeight);
    const double maximum = finiteOrZero(maximumLineHeight);
    if (maximum > 0.0)
        h = std::min(h, maximum);
    if (minimum > 0.0)
        h = std::max(h, minimum);
    return std::max(h, 0.0);
}

TextAlignment ParagraphStyle::alignmentFromInt(int value)
{
    if (value >= 0 && value <= 4)
        return static_cast<TextAlignment>(value);
    return TextAlignment::Natural;
}

} // namespace platform
