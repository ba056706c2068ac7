#pragma once
// One entry of a shape's control values: a flag (a corner mark), an integer (a side count), a
// real (a radius or a ratio) or a point in unit-box coordinates. Values compare as the
// platform's boxed numbers do: flags, integers and reals by numeric value, points by their
// coordinates; a number never equals a point.
#include "platform/archive/ArchiveValue.h"
#include "platform/geometry/Point.h"

#include <QtGlobal>
#include <optional>
#include <variant>

class ControlValue {
public:
    ControlValue() = default; // the integer 0
    ControlValue(bool v)
        : m_value(v)
    {
    }
    ControlValue(int v)
        : m_value(qint64(v))
    {
    }
    ControlValue(qint64 v)
        : m_value(v)
    {
    }
    ControlValue(double v)
        : m_value(v)
    {
    }
    ControlValue(const platform::Point& p)
        : m_value(p)
    {
    }

    // The platform's boxed float: the value rounded to single precision and kept so, so that
    // a value made here equals itself after an archive round trip. Values beyond the float
    // range are held at its largest finite value.
    static ControlValue boxedFloat(double v);

    bool isPoint() const { return std::holds_alternative<platform::Point>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }
    // Numbers as a double; a point reads 0.
    double doubleValue() const;
    // The point; (0, 0) for a number.
    platform::Point pointValue() const;
    // False when the value holds a non-finite real or coordinate.
    bool isFinite() const;

    bool operator==(const ControlValue& other) const;

    // The archive form: a bool, an int64, a double or a point object.
    platform::ArchiveValue toArchiveValue() const;
    // Nothing for any other kind of value (or a non-finite number).
    static std::optional<ControlValue> fromArchiveValue(const platform::ArchiveValue& value);

private:
    std::variant<qint64, bool, double, platform::Point> m_value { qint64(0) };
};
