#include "foundation/DataAdditions.h"

#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcData, "quillmark.foundation.data")
}

std::optional<platform::ArchiveArray> toDataArray(const QByteArray& data)
{
    const auto result = platform::KeyedUnarchiver::unarchive(
        data, {QStringLiteral("NSMutableArray"), QStringLiteral("NSData")});
    if (!result.ok()) {
        qCDebug(lcData) << "toDataArray:" << result.error;
        return std::nullopt;
    }
    if (result.root.kind() != platform::ArchiveValue::Kind::Array) {
        qCDebug(lcData) << "toDataArray: the archive holds no array";
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
