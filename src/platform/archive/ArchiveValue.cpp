#include "platform/archive/ArchiveValue.h"

#include "platform/archive/ArchiveFormat.h"

#include <cmath>
#include <limits>

namespace platform {

ArchiveValue ArchiveValue::fromInt32(qint32 value)
{
    return ArchiveValue(Storage(std::in_place_index<1>, value));
}
ArchiveValue ArchiveValue::fromInt64(qint64 value)
{
    return ArchiveValue(Storage(std::in_place_index<2>, value));
}
ArchiveValue ArchiveValue::fromFloat(float value)
{
    return ArchiveValue(Storage(std::in_place_index<3>, value));
}
ArchiveValue ArchiveValue::fromDouble(double value)
{
    return ArchiveValue(Storage(std::in_place_index<4>, value));
}
ArchiveValue ArchiveValue::fromBool(bool value)
{
    return ArchiveValue(Storage(std::in_place_index<5>, value));
}
ArchiveValue ArchiveValue::fromRect(const Rect& rect)
{
    return ArchiveValue(Storage(std::in_place_index<6>, rect));
}

ArchiveValue ArchiveValue::fromBytes(QByteArray bytes)
{
    return ArchiveValue(Storage(std::in_place_index<7>, std::move(bytes)));
}

ArchiveValue ArchiveValue::fromString(QString text)
{
    return ArchiveValue(Storage(std::in_place_index<8>, std::move(text)));
}

// Empty arrays and dictionaries share one instance: an archive may hold a great many of them.
ArchiveValue ArchiveValue::fromArray(ArchiveArray items)
{
    static const auto empty = std::make_shared<const ArchiveArray>();
    if (items.empty())
        return ArchiveValue(Storage(std::in_place_index<9>, empty));
    return ArchiveValue(
        Storage(std::in_place_index<9>, std::make_shared<const ArchiveArray>(std::move(items))));
}

ArchiveValue ArchiveValue::fromDictionary(ArchiveDictionary dictionary)
{
    static const auto empty = std::make_shared<const ArchiveDictionary>();
    if (dictionary.isEmpty())
        return ArchiveValue(Storage(std::in_place_index<10>, empty));
    return ArchiveValue(Storage(
        std::in_place_index<10>, std::make_shared<const ArchiveDictionary>(std::move(dictionary))));
}

ArchiveValue ArchiveValue::fromObject(std::shared_ptr<const KeyedCoding> object)
{
    if (!object)
        return {};
    return ArchiveValue(Storage(std::in_place_index<11>, std::move(object)));
}

qint32 ArchiveValue::toInt32() const
{
    if (const auto* v = std::get_if<qint32>(&m_storage))
        return *v;
    if (const auto* v = std::get_if<qint64>(&m_storage)) {
        if (*v >= std::numeric_limits<qint32>::min() && *v <= std::numeric_limits<qint32>::max())
            return qint32(*v);
        qCDebug(lcArchive).nospace()
            << "64-bit integer " << *v << " does not fit 32 bits; read as 0";
    }
    return 0;
}

qint64 ArchiveValue::toInt64() const
{
    if (const auto* v = std::get_if<qint64>(&m_storage))
        return *v;
    if (const auto* v = std::get_if<qint32>(&m_storage))
        return *v;
    return 0;
}

float ArchiveValue::toFloat() const
{
    if (const auto* v = std::get_if<float>(&m_storage))
        return *v;
    if (const auto* v = std::get_if<double>(&m_storage)) {
        // Narrowing a finite double beyond the float range is undefined in C++: say what
        // IEEE arithmetic would give.
        constexpr double kMax = std::numeric_limits<float>::max();
        if (std::isfinite(*v) && std::fabs(*v) > kMax)
            return *v > 0 ? std::numeric_limits<float>::infinity()
                          : -std::numeric_limits<float>::infinity();
        return float(*v);
    }
    return 0.0f;
}

double ArchiveValue::toDouble() const
{
    if (const auto* v = std::get_if<double>(&m_storage))
        return *v;
    if (const auto* v = std::get_if<float>(&m_storage))
        return *v;
    return 0.0;
}

bool ArchiveValue::toBool() const
{
    const auto* v = std::get_if<bool>(&m_storage);
    return v && *v;
}

Rect ArchiveValue::toRect() const
{
    const auto* v = std::get_if<Rect>(&m_storage);
    return v ? *v : Rect();
}

QByteArray ArchiveValue::toBytes() const
{
    const auto* v = std::get_if<QByteArray>(&m_storage);
    return v ? *v : QByteArray();
}

QString ArchiveValue::toString() const
{
    const auto* v = std::get_if<QString>(&m_storage);
    return v ? *v : QString();
}

const ArchiveArray& ArchiveValue::toArray() const
{
    static const ArchiveArray empty;
    const auto* v = std::get_if<std::shared_ptr<const ArchiveArray>>(&m_storage);
    return v ? **v : empty;
}

const ArchiveDictionary& ArchiveValue::toDictionary() const
{
    static const ArchiveDictionary empty;
    const auto* v = std::get_if<std::shared_ptr<const ArchiveDictionary>>(&m_storage);
    return v ? **v : empty;
}

std::shared_ptr<const KeyedCoding> ArchiveValue::toObject() const
{
    const auto* v = std::get_if<std::shared_ptr<const KeyedCoding>>(&m_storage);
    return v ? *v : nullptr;
}

const KeyedCoding* ArchiveValue::objectRaw() const
{
    const auto* v = std::get_if<std::shared_ptr<const KeyedCoding>>(&m_storage);
    return v ? v->get() : nullptr;
}

QString ArchiveValue::className() const
{
    const KeyedCoding* object = objectRaw();
    return object ? object->archiveClassName() : QString();
}

} // namespace platform
