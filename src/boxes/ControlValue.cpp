#include "boxes/ControlValue.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::ArchiveValue;
using platform::Point;

ControlValue ControlValue::boxedFloat(double v)
{
    constexpr double lim = double(std::numeric_limits<float>::max());
    return ControlValue(std::isnan(v) ? v : double(float(std::clamp(v, -lim, lim))));
}

double ControlValue::doubleValue() const
{
    if (const auto* b = std::get_if<bool>(&m_value))
        return *b ? 1.0 : 0.0;
    if (const auto* i = std::get_if<qint64>(&m_value))
        return double(*i);
    if (const auto* d = std::get_if<double>(&m_value))
        return *d;
    return 0.0;
}

Point ControlValue::pointValue() const
{
    if (const auto* p = std::get_if<Point>(&m_value))
        return *p;
    return {};
}

bool ControlValue::isFinite() const
{
    if (const auto* d = std::get_if<double>(&m_value))
        return std::isfinite(*d);
    if (const auto* p = std::get_if<Point>(&m_value))
        return std::isfinite(p->x) && std::isfinite(p->y);
    return true;
}

bool ControlValue::operator==(const ControlValue& other) const
{
    if (isPoint() || other.isPoint()) {
        if (!isPoint() || !other.isPoint())
            return false;
        const Point a = pointValue(), b = other.pointValue();
        return a.x == b.x && a.y == b.y;
    }
    const auto* i = std::get_if<qint64>(&m_value);
    const auto* j = std::get_if<qint64>(&other.m_value);
    if (i && j)
        return *i == *j;
    return doubleValue() == other.doubleValue();
}

ArchiveValue ControlValue::toArchiveValue() const
{
    if (const auto* b = std::get_if<bool>(&m_value))
        return ArchiveValue::fromBool(*b);
    if (const auto* i = std::get_if<qint64>(&m_value))
        return ArchiveValue::fromInt64(*i);
    if (const auto* d = std::get_if<double>(&m_value))
        return ArchiveValue::fromDouble(*d);
    return ArchiveValue::fromValue(pointValue());
}

std::optional<ControlValue> ControlValue::fromArchiveValue(const ArchiveValue& value)
{
    switch (value.kind()) {
    case ArchiveValue::Kind::Bool:
        return ControlValue(value.toBool());
    case ArchiveValue::Kind::Int32:
    case ArchiveValue::Kind::Int64:
        return ControlValue(value.toInt64());
    case ArchiveValue::Kind::Float:
    case ArchiveValue::Kind::Double: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return ControlValue(d);
    }
    case ArchiveValue::Kind::Object:
        // Point objects are validated (finite) by their decoder.
        if (const auto p = value.objectValue<Point>())
            return ControlValue(*p);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}
