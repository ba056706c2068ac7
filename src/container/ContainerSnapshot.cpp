#include "container/ContainerSnapshot.h"

#include "container/ContainerLogging.h"
#include "platform/archive/ArchiveDictionary.h"

Q_LOGGING_CATEGORY(lcContainer, "quillmark.container", QtWarningMsg)

namespace {

const QString kRecordsKey = QStringLiteral("textviewary");

// isEqualTo leaves out what does not change the box's picture; a snapshot is the whole state.
bool sameRecord(const UNDODATA& a, const UNDODATA& b)
{
    return a.isEqualTo(b) && a.frame == b.frame && a.selected == b.selected
        && a.isEditing == b.isEditing && a.isDrawing == b.isDrawing && a.selectable == b.selectable
        && a.editable == b.editable && a.selectionRange == b.selectionRange
        && a.typingAttributes == b.typingAttributes && a.orgWidth == b.orgWidth
        && a.orgHeight == b.orgHeight && a.boxShadowColor == b.boxShadowColor
        && a.boxShadowAngle == b.boxShadowAngle && a.boxShadowBlurSize == b.boxShadowBlurSize
        && a.boxShadowOffsetSize == b.boxShadowOffsetSize && a.isCircular == b.isCircular
        && a.isVertical == b.isVertical;
}

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
        other.m_records->end(), sameRecord);
}
