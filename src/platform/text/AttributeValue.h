#pragma once
// The value of one text attribute: a number, a string, one of the text system's own value
// types, or an object of a higher layer behind AttributeObject (the text fill). Values are
// immutable and compare by value; objects are shared between copies, never changed in place
// (take a clone() to change one).
//
// Numbers keep whether they were given as integers or reals (the archive writes them so), and
// compare by numeric value across the two, as the platform's numbers do.
#include "platform/graphics/Color.h"
#include "platform/text/AttributeObject.h"
#include "platform/text/Font.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/TextAttachment.h"

#include <QString>
#include <map>
#include <memory>
#include <variant>

namespace platform {

class AttributeValue {
public:
    // The null value (no attribute).
    AttributeValue() = default;
    AttributeValue(int v)
        : m_value(qint64(v))
    {
    }
    AttributeValue(qint64 v)
        : m_value(v)
    {
    }
    AttributeValue(double v)
        : m_value(v)
    {
    }
    AttributeValue(bool v)
        : m_value(v)
    {
    }
    AttributeValue(QString v)
        : m_value(std::move(v))
    {
    }
    // Without this a literal would become a bool.
    AttributeValue(const char* v)
        : m_value(QString::fromUtf8(v))
    {
    }
    AttributeValue(Color v)
        : m_value(v)
    {
    }
    AttributeValue(Font v)
        : m_value(std::move(v))
    {
    }
    AttributeValue(ParagraphStyle v)
        : m_value(v)
    {
    }
    AttributeValue(TextAttachment v)
        : m_value(v)
    {
    }
    AttributeValue(std::shared_ptr<const AttributeObject> v)
        : m_value(std::move(v))
    {
    }

    // An object value holding a copy of value (see AttributeObjectOf).
    template <class T> static AttributeValue fromObject(T value)
    {
        return AttributeValue(std::shared_ptr<const AttributeObject>(
            std::make_shared<AttributeObjectOf<T>>(std::move(value))));
    }

    bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isNumber() const;
    bool isInteger() const { return std::holds_alternative<qint64>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }

    // Numbers (and bools) as numbers; anything else 0. Reals are clamped before conversion.
    qint64 toInteger() const;
    double toDouble() const;

    const QString* string() const { return std::get_if<QString>(&m_value); }
    const Color* color() const { return std::get_if<Color>(&m_value); }
    const Font* font() const { return std::get_if<Font>(&m_value); }
    const ParagraphStyle* paragraphStyle() const { return std::get_if<ParagraphStyle>(&m_value); }
    const TextAttachment* attachment() const { return std::get_if<TextAttachment>(&m_value); }
    const AttributeObject* object() const;
    std::shared_ptr<const AttributeObject> sharedObject() const;

    // The object's value when it is an AttributeObjectOf<T>.
    template <class T> const T* objectValue() const
    {
        const auto* holder = dynamic_cast<const AttributeObjectOf<T>*>(object());
        return holder ? &holder->value() : nullptr;
    }

    bool operator==(const AttributeValue& other) const;

private:
    std::variant<std::monostate, qint64, double, bool, QString, Color, Font, ParagraphStyle,
        TextAttachment, std::shared_ptr<const AttributeObject>>
        m_value;
};

// The attributes of one run, by key (see TextAttributeNames).
using AttributeDictionary = std::map<QString, AttributeValue>;

} // namespace platform
