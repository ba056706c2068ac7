#include "foundation/BezierPathAdditions.h"

#include <QString>
#include <QVariantList>
#include <algorithm>
#include <bit>
#include <cmath>

using platform::BezierPath;
using platform::PathElement;
using platform::PathElementKind;
using platform::Point;

namespace {

const QString kElements = QStringLiteral("elements");
const QString kElement = QStringLiteral("element");
const QString kPoint = QStringLiteral("point");
const QString kControl1 = QStringLiteral("control1");
const QString kControl2 = QStringLiteral("control2");

// The integer part of s / 10^floor(log10 s), s = |x| + |y|: its leading decimal digit. Where
// log10 rounds across a power of ten the quotient lands just outside [1, 10); it is moved
// back so that the digit is never 10, nor 0 for a positive sum.
unsigned leadingDigit(const Point& p)
{
    const double s = std::fabs(p.x) + std::fabs(p.y);
    if (!std::isfinite(s) || s <= 0.0)
        return 0;
    double q = s / std::pow(10.0, std::floor(std::log10(s)));
    if (q >= 10.0)
        q /= 10.0;
    else if (q < 1.0)
        q *= 10.0;
    if (!std::isfinite(q))
        return 0; // the power underflowed (sums near the smallest double)
    return unsigned(std::clamp(q, 0.0, 9.0));
}

QString pointString(const Point& p)
{
    return QLatin1Char('{') + QString::number(p.x, 'g', 17) + QStringLiteral(", ")
        + QString::number(p.y, 'g', 17) + QLatin1Char('}');
}

bool parsePoint(const QVariantMap& dict, const QString& key, Point* out)
{
    const auto it = dict.constFind(key);
    if (it == dict.constEnd())
        return false;
    const QString text = it->toString().trimmed();
    if (!text.startsWith(QLatin1Char('{')) || !text.endsWith(QLatin1Char('}')))
        return false;
    const QStringList parts = text.mid(1, text.size() - 2).split(QLatin1Char(','));
    if (parts.size() != 2)
        return false;
    bool okX = false;
    bool okY = false;
    const double x = parts[0].trimmed().toDouble(&okX);
    const double y = parts[1].trimmed().toDouble(&okY);
    if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y))
        return false;
    *out = Point(x, y);
    return true;
}

} // namespace

std::optional<BezierPath> quartzPath(const BezierPath& path)
{
    if (path.elementCount() < 1)
        return std::nullopt;
    BezierPath result;
    bool closed = true;
    for (const PathElement& e : path.elements()) {
        switch (e.kind) {
        case PathElementKind::MoveTo:
            result.moveTo(e.points[0]);
            break;
        case PathElementKind::LineTo:
            result.lineTo(e.points[0]);
            closed = false;
            break;
        case PathElementKind::CurveTo:
            result.curveTo(e.points[2], e.points[0], e.points[1]);
            closed = false;
            break;
        case PathElementKind::ClosePath:
            result.closePath();
            closed = true;
            break;
        }
    }
    if (!closed)
        result.closePath();
    return result;
}

bool isEqual(const BezierPath& path, const BezierPath* other)
{
    if (other == &path)
        return true;
    if (!other || path.elementCount() != other->elementCount())
        return false;
    for (int i = 0; i < path.elementCount(); ++i) {
        const PathElement& a = path.elementAt(i);
        const PathElement& b = other->elementAt(i);
        if (a.kind != b.kind)
            return false;
        for (int k = 0; k < a.pointCount(); ++k) {
            if (!(a.points[std::size_t(k)] == b.points[std::size_t(k)]))
                return false;
        }
    }
    return true;
}

std::uint64_t hash(const BezierPath& path)
{
    std::uint64_t h = 0;
    for (const PathElement& e : path.elements()) {
        h = std::rotl(h, 2) ^ std::uint64_t(e.kind);
        for (int k = 0; k < e.pointCount(); ++k)
            h = std::rotl(h, 3) ^ (leadingDigit(e.points[std::size_t(k)]) & 7u);
    }
    return h;
}

QVariantMap propertyListRepresentation(const BezierPath& path)
{
    QVariantList elements;
    for (const PathElement& e : path.elements()) {
        QVariantMap entry;
        switch (e.kind) {
        case PathElementKind::MoveTo:
            entry.insert(kElement, QStringLiteral("MOVETO"));
            entry.insert(kPoint, pointString(e.points[0]));
            break;
        case PathElementKind::LineTo:
            entry.insert(kElement, QStringLiteral("LINETO"));
            entry.insert(kPoint, pointString(e.points[0]));
            break;
        case PathElementKind::CurveTo:
            entry.insert(kElement, QStringLiteral("CURVETO"));
            entry.insert(kPoint, pointString(e.points[2]));
            entry.insert(kControl1, pointString(e.points[0]));
            entry.insert(kControl2, pointString(e.points[1]));
            break;
        case PathElementKind::ClosePath:
            entry.insert(kElement, QStringLiteral("CLOSE"));
            break;
        }
        elements.append(entry);
    }
    QVariantMap dict;
    dict.insert(kElements, elements);
    return dict;
}

void loadPropertyListRepresentation(BezierPath& path, const QVariantMap& dict)
{
    const QVariantList elements = dict.value(kElements).toList();
    for (const QVariant& item : elements) {
        const QVariantMap entry = item.toMap();
        const QString kind = entry.value(kElement).toString();
        Point point;
        if (kind == QLatin1String("CURVETO")) {
            Point control1;
            Point control2;
            if (parsePoint(entry, kPoint, &point) && parsePoint(entry, kControl1, &control1)
                && parsePoint(entry, kControl2, &control2))
                path.curveTo(point, control1, control2);
        } else if (kind == QLatin1String("LINETO")) {
            if (parsePoint(entry, kPoint, &point))
                path.lineTo(point);
        } else if (kind == QLatin1String("MOVETO")) {
            if (parsePoint(entry, kPoint, &point))
                path.moveTo(point);
        } else if (kind == QLatin1String("CLOSE")) {
            path.closePath();
        }
    }
}
