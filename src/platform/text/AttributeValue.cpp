#include "platform/text/AttributeValue.h"

#include <algorithm>
#include <cmath>

namespace platform {

bool AttributeValue::isNumber() const
{
    return std::holds_alternative<qint64>(m_value) || std::holds_alternative<double>(m_value)
        || std::holds_alternative<bool>(m_value);
}

qint64 AttributeValue::toInteger() const
{
    if (const auto* i = std::get_if<qint64>(&m_value))
        return *i;
    if (const auto* b = std::get_if<bool>(&m_value))
        return *b ? 1 : 0;
    if (const auto* d = std::get_if<double>(&m_value)) {
        if (!std::isfinite(*d))
            return 0;
        // Within the range where every double converts exactly.
        constexpr double limit = 9.0e15;
        return static_cast<qint64>(std::clamp(*d, -limit, limit));
    }
    return 0;
}

double AttributeValue::toDouble() const
{
    if (const auto* d = std::get_if<double>(&m_value))
        return *d;
    if (const auto* i = std::get_if<qint64>(&m_value))
        return double(*i);
    if (const auto* b = std::get_if<bool>(&m_value))
        return *b ? 1.0 : 0.0;
    return 0.0;
}

const AttributeObject* AttributeValue::object() const
{
    const auto* p = std::get_if<std::shared_ptr<const AttributeObject>>(&m_value);
    return p ? p->get() : nullptr;
}

std::shared_ptr<const AttributeObject> AttributeValue::sharedObject() const
{
    const auto* p = std::get_if<std::shared_ptr<const AttributeObject>>(&m_value);
    return p ? *p : nullptr;
}

bool AttributeValue::operator==(const AttributeValue& other) const
{
    if (isNumber() && other.isNumber()) {
        if (isInteger() && other.isInteger())
            return toInteger() == other.toInteger();
        return toDouble() == other.toDouble();
    }
    if (m_value.index() != other.m_value.index())
        return false;
    const AttributeObject* a = object();
    const AttributeObject* b = other.object();
    if (a || b) {
        if (a == b)
            return true;
        return a && b && a->equals(*b);
    }
    return m_value == other.m_value;
}

} // namespace platform
