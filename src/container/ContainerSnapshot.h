#pragma once
// The picture of a whole box layer at one moment: one record per box, in stacking order (index
// 0 the bottom box). It is the unit of the container's undo steps and the box part of the
// document file.
//
// A snapshot is an immutable value: copies share the records, and nothing a box does later
// changes a snapshot already taken. Two snapshots compare by their records' content.
//
// Archive form: a dictionary with the single key "textviewary" whose value is the array of the
// records (UNDODATA objects), in stacking order.
#include "boxes/UNDODATA.h"
#include "platform/archive/ArchiveValue.h"

#include <memory>
#include <vector>

class ContainerSnapshot {
public:
    // A layer without boxes.
    ContainerSnapshot();
    explicit ContainerSnapshot(std::vector<UNDODATA> records);

    const std::vector<UNDODATA>& records() const { return *m_records; }
    std::size_t size() const { return m_records->size(); }
    bool isEmpty() const { return m_records->empty(); }

    // The archive form.
    platform::ArchiveValue toArchiveValue() const;
    // Reads the archive form. A value without "textviewary" gives an empty layer; items of the
    // array that are not box records are skipped with a log line. The records are validated.
    static ContainerSnapshot fromArchiveValue(const platform::ArchiveValue& value);

    // The same records, field by field (pictures by content).
    bool operator==(const ContainerSnapshot& other) const;
    // Whether both hold the very same record array (a copy of one another).
    bool sharesRecordsWith(const ContainerSnapshot& other) const
    {
        return m_records == other.m_records;
    }

private:
    std::shared_ptr<const std::vector<UNDODATA>> m_records;
};
