#include "platform/archive/ArchiveDictionary.h"

namespace platform {

ArchiveDictionary::ArchiveDictionary(std::initializer_list<Entry> entries)
{
    for (const Entry& entry : entries)
        insert(entry.first, entry.second);
}

void ArchiveDictionary::insert(const QString& key, ArchiveValue value)
{
    const auto found = m_index.constFind(key);
    if (found != m_index.constEnd()) {
        m_entries[size_t(*found)].second = std::move(value);
        return;
    }
    m_index.insert(key, qsizetype(m_entries.size()));
    m_entries.emplace_back(key, std::move(value));
}

const ArchiveValue& ArchiveDictionary::value(const QString& key) const
{
    static const ArchiveValue null;
    const auto found = m_index.constFind(key);
    return found == m_index.constEnd() ? null : m_entries[size_t(*found)].second;
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
