#pragma once
// A dictionary of an archive: text keys to values, kept in the order they were first set.
#include "platform/archive/ArchiveValue.h"

#include <QHash>
#include <QStringList>
#include <initializer_list>
#include <utility>
#include <vector>

namespace platform {

class ArchiveDictionary {
public:
    using Entry = std::pair<QString, ArchiveValue>;

    ArchiveDictionary() = default;
    ArchiveDictionary(std::initializer_list<Entry> entries);

    // A new key goes to the end; an existing key keeps its place and takes the new value.
    void insert(const QString& key, ArchiveValue value);
    bool contains(const QString& key) const { return position(key) >= 0; }
    // The value at key; a null value when the key is missing.
    const ArchiveValue& value(const QString& key) const;

    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    QStringList keys() const;
    const std::vector<Entry>& entries() const { return m_entries; }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    // Documents hold many small dictionaries, and a hash table costs far more memory than a
    // few comparisons cost time: small ones are searched in order, and the index is made
    // once a dictionary reaches kIndexFrom entries.
    static constexpr size_t kIndexFrom = 16;

    // The position of key in m_entries, or -1.
    qsizetype position(const QString& key) const;

    std::vector<Entry> m_entries;
    QHash<QString, qsizetype> m_index; // key -> position in m_entries; empty while small
};

} // namespace platform
