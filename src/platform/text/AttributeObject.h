#pragma once
// A text attribute value of a type that lives above the text system (the text fill, for one).
// The text system stores such values behind this interface: it compares them by value, copies
// them when a caller wants a private one, and hands them to the archive by their class name.
#include <QString>
#include <memory>

namespace platform {

class KeyedArchiver;

class AttributeObject {
public:
    virtual ~AttributeObject() = default;

    // The class tag the value is archived under (for example "SZGradient").
    virtual QString attributeClassName() const = 0;
    // Value equality; other may be of any AttributeObject type.
    virtual bool equals(const AttributeObject& other) const = 0;
    // A deep copy that the caller may change.
    virtual std::shared_ptr<AttributeObject> clone() const = 0;
};

// Adapts a regular value type T (copyable, with operator==) to an attribute object.
// T::attributeClassName() names its archive tag.
template <class T> class AttributeObjectOf final : public AttributeObject {
public:
    explicit AttributeObjectOf(T value)
        : m_value(std::move(value))
    {
    }

    const T& value() const { return m_value; }
    T& value() { return m_value; }

    QString attributeClassName() const override { return T::attributeClassName(); }
    bool equals(const AttributeObject& other) const override
    {
        const auto* o = dynamic_cast<const AttributeObjectOf<T>*>(&other);
        return o && o->m_value == m_value;
    }
    std::shared_ptr<AttributeObject> clone() const override
    {
        return std::make_shared<AttributeObjectOf<T>>(m_value);
    }

private:
    T m_value;
};

} // namespace platform
