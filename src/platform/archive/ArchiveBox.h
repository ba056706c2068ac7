#pragma once
// A value type (Color, Gradient, Image, Point, ...) standing as an object in an archive, so
// that arrays and dictionaries can hold it beside client objects.
#include "platform/archive/KeyedCoding.h"
#include "platform/archive/ValueCoding.h"

#include <utility>

namespace platform {

template <ArchivableValue T> class ArchiveBox final : public KeyedCoding {
public:
    explicit ArchiveBox(T value)
        : m_value(std::move(value))
    {
    }

    const T& value() const { return m_value; }

    QString archiveClassName() const override { return ValueCoding<T>::className(); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        ValueCoding<T>::encode(coder, m_value);
    }
    quint64 sharedIdentity() const override
    {
        if constexpr (requires { ValueCoding<T>::sharedIdentity(m_value); })
            return ValueCoding<T>::sharedIdentity(m_value);
        else
            return 0;
    }

private:
    T m_value;
};

} // namespace platform
