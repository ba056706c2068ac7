#pragma once
// One value of a keyed archive, of an exact kind. Values are immutable and cheap to copy
// (arrays, dictionaries and objects are shared).
//
// Reading a value as another kind gives 0, false or empty, with two leniencies: integers of
// either width read as the other when the number fits (a 64-bit value outside the 32-bit range
// reads 0), and floats of either width read as the other (a double beyond the float range
// reads as an infinity). Integers never read as floats, nor floats as integers, nor either as
// a bool.
#include "platform/archive/ArchiveBox.h"
#include "platform/archive/KeyedCoding.h"
#include "platform/geometry/Rect.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

namespace platform {

class ArchiveDictionary;
class ArchiveValue;
using ArchiveArray = std::vector<ArchiveValue>;

class ArchiveValue {
public:
    // In the order of the storage's alternatives.
    enum class Kind {
        Null,
        Int32,
        Int64,
        Float,
        Double,
        Bool,
        Rect,
        Bytes,
        String,
        Array,
        Dictionary,
        Object
    };

    ArchiveValue() = default; // null

    static ArchiveValue fromInt32(qint32 value);
    static ArchiveValue fromInt64(qint64 value);
    static ArchiveValue fromFloat(float value);
    static ArchiveValue fromDouble(double value);
    static ArchiveValue fromBool(bool value);
    static ArchiveValue fromRect(const Rect& rect);
    static ArchiveValue fromBytes(QByteArray bytes);
    static ArchiveValue fromString(QString text);
    static ArchiveValue fromArray(ArchiveArray items);
    static ArchiveValue fromDictionary(ArchiveDictionary dictionary);
    // A null pointer gives a null value.
    static ArchiveValue fromObject(std::shared_ptr<const KeyedCoding> object);
    // A value type boxed as an object (a null image gives a null value).
    template <ArchivableValue T> static ArchiveValue fromValue(const T& value)
    {
        if (isNullArchiveValue(value))
            return {};
        return fromObject(std::make_shared<const ArchiveBox<T>>(value));
    }

    Kind kind() const { return Kind(m_storage.index()); }
    bool isNull() const { return kind() == Kind::Null; }

    qint32 toInt32() const;
    qint64 toInt64() const;
    float toFloat() const;
    double toDouble() const;
    bool toBool() const;
    Rect toRect() const;
    QByteArray toBytes() const;
    QString toString() const;
    // An empty array or dictionary when the value is of another kind.
    const ArchiveArray& toArray() const;
    const ArchiveDictionary& toDictionary() const;
    // The object, or null.
    std::shared_ptr<const KeyedCoding> toObject() const;
    // The object's class tag; empty for other kinds.
    QString className() const;

    // The object as T (a KeyedCoding subclass, copied, or a boxed value type); nothing when
    // the value holds no object of that type.
    template <class T> std::optional<T> objectValue() const
    {
        const KeyedCoding* object = objectRaw();
        if constexpr (std::is_base_of_v<KeyedCoding, T>) {
            if (const auto* typed = dynamic_cast<const T*>(object))
                return *typed;
        } else {
            if (const auto* boxed = dynamic_cast<const ArchiveBox<T>*>(object))
                return boxed->value();
        }
        return std::nullopt;
    }

    // The shared object as T, a KeyedCoding subclass; null when it is not one.
    template <class T>
    requires std::is_base_of_v<KeyedCoding, T> std::shared_ptr<const T> objectPointer()
    const { return std::dynamic_pointer_cast<const T>(toObject()); }

private:
    using Storage = std::variant<std::monostate, qint32, qint64, float, double, bool, Rect,
        QByteArray, QString, std::shared_ptr<const ArchiveArray>,
        std::shared_ptr<const ArchiveDictionary>, std::shared_ptr<const KeyedCoding>>;

    explicit ArchiveValue(Storage storage)
        : m_storage(std::move(storage))
    {
    }
    const KeyedCoding* objectRaw() const;

    Storage m_storage;
};

} // namespace platform

// ArchiveDictionary holds values and values hold dictionaries: whichever header comes first,
// both classes are complete once either is included.
#include "platform/archive/ArchiveDictionary.h"
