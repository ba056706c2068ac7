#include "platform/archive/ArchiveDictionary.h"

namespace platform {

ArchiveDictionary::ArchiveDictionary(std::initializer_list<Entry> entries)
{
    for (const Entry& entry : entries)
        insert(entry.first, entry.second);
}

qsizetype ArchiveDictionary::position(const QString& key) const
{
    if (m_entries.size() >= kIndexFrom)
        return m_index.value(key, -1);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first == key)
            return qsizetype(i);
    }
    return -1;
}

void ArchiveDictionary::insert(const QString& key, ArchiveValue value)
{
    const qsizetype found = position(key);
    if (found >= 0) {
        m_entries[size_t(found)].second = std::move(value);
        return;
    }
    m_entries.emplace_back(key, std::move(value));
    if (m_entries.size() == kIndexFrom) {
        m_index.reserve(qsizetype(kIndexFrom));
        for (size_t i = 0; i < m_entries.size(); ++i)
            m_index.insert(m_entries[i].first, qsizetype(i));
    } else if (m_entries.size() > kIndexFrom) {
        m_index.insert(key, qsizetype(m_entries.size() - 1));
    }
}

const ArchiveValue& ArchiveDictionary::value(const QString& key) const
{
    static const ArchiveValue null;
    const qsizetype found = position(key);
    return found < 0 ? null : m_entries[size_t(found)].second;
}

QStringList ArchiveDictionary::keys() const
{
    QStringList result;
    result.reserve(size());
    for (const Entry& entry : m_entries)
        result.append(entry.first);
    return result;
}

} // namespace platform
