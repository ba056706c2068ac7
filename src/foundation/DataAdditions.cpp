#include "foundation/DataAdditions.h"

#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

#include <QLoggingCategory>
#include <algorithm>

namespace {
Q_LOGGING_CATEGORY(lcData, "quillmark.foundation.data", QtWarningMsg)
}

namespace {

// Whether every element, at any depth, is data or an array: anything else is of a class the
// read does not allow (an object refused by the allow-list reads as null).
bool holdsOnlyDataAndArrays(const platform::ArchiveArray& array)
{
    using Kind = platform::ArchiveValue::Kind;
    return std::all_of(array.begin(), array.end(), [](const platform::ArchiveValue& v) {
        return v.kind() == Kind::Bytes
            || (v.kind() == Kind::Array && holdsOnlyDataAndArrays(v.toArray()));
    });
}

} // namespace

std::optional<platform::ArchiveArray> toDataArray(const QByteArray& data)
{
    const auto result = platform::KeyedUnarchiver::unarchive(
        data, { QStringLiteral("NSMutableArray"), QStringLiteral("NSData") });
    if (!result.ok()) {
        qCDebug(lcData) << "toDataArray:" << result.error;
        return std::nullopt;
    }
    if (result.root.kind() != platform::ArchiveValue::Kind::Array) {
        qCDebug(lcData) << "toDataArray: the archive holds no array";
        return std::nullopt;
    }
    // A secure read that meets a class it does not allow fails as a whole: callers (the box
    // clipboard) rely on getting nothing back from foreign data.
    if (!holdsOnlyDataAndArrays(result.root.toArray())) {
        qCDebug(lcData) << "toDataArray: the array holds something other than data and arrays";
        return std::nullopt;
    }
    return result.root.toArray();
}

std::optional<QByteArray> fromDataAry(const platform::ArchiveArray& array)
{
    QString error;
    const QByteArray data = platform::KeyedArchiver::archivedData(
        platform::ArchiveValue::fromArray(array), false, &error);
    if (data.isEmpty()) {
        qCDebug(lcData) << "fromDataAry:" << error;
        return std::nullopt;
    }
    return data;
}
