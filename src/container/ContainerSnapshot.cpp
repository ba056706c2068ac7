#include "container/ContainerSnapshot.h"

#include "boxes/RecordFields.h"
#include "container/ContainerLogging.h"
#include "platform/archive/ArchiveDictionary.h"

Q_LOGGING_CATEGORY(lcContainer, "quillmark.container", QtWarningMsg)

namespace {

const QString kRecordsKey = QStringLiteral("textviewary");

} // namespace

ContainerSnapshot::ContainerSnapshot()
    : m_records(std::make_shared<const std::vector<UNDODATA>>())
{
}

ContainerSnapshot::ContainerSnapshot(std::vector<UNDODATA> records)
    : m_records(std::make_shared<const std::vector<UNDODATA>>(std::move(records)))
{
}

platform::ArchiveValue ContainerSnapshot::toArchiveValue() const
{
    platform::ArchiveArray items;
    items.reserve(m_records->size());
    for (const UNDODATA& record : *m_records)
        items.push_back(
            platform::ArchiveValue::fromObject(std::make_shared<const UNDODATA>(record)));
    platform::ArchiveDictionary dictionary;
    dictionary.insert(kRecordsKey, platform::ArchiveValue::fromArray(std::move(items)));
    return platform::ArchiveValue::fromDictionary(std::move(dictionary));
}

ContainerSnapshot ContainerSnapshot::fromArchiveValue(const platform::ArchiveValue& value)
{
    const platform::ArchiveArray& items = value.toDictionary().value(kRecordsKey).toArray();
    std::vector<UNDODATA> records;
    records.reserve(items.size());
    for (const platform::ArchiveValue& item : items) {
        std::optional<UNDODATA> record = item.objectValue<UNDODATA>();
        if (!record) {
            qCWarning(lcContainer)
                << "snapshot: skipped an item that is no box record" << item.className();
            continue;
        }
        record->validate();
        records.push_back(std::move(*record));
    }
    return ContainerSnapshot(std::move(records));
}

bool ContainerSnapshot::operator==(const ContainerSnapshot& other) const
{
    if (m_records == other.m_records)
        return true;
    return std::equal(m_records->begin(), m_records->end(), other.m_records->begin(),
        other.m_records->end(), record::sameRecord);
}
