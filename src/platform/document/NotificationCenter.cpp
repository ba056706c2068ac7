#include "platform/document/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace platform {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::~NotificationCenter()
{
    for (auto& [object, connection] : m_watched)
        QObject::disconnect(connection);
}

int NotificationCenter::addObserver(
    const QString& name, const void* sender, QObject* context, Observer fn)
{
    Q_ASSERT(!QCoreApplication::instance()
        || QThread::currentThread() == QCoreApplication::instance()->thread());
    const int token = m_nextToken++;
    if (!fn)
        return token;
    m_entries.push_back({ token, name, sender, context, QPointer<QObject>(context),
        context != nullptr, std::make_shared<Observer>(std::move(fn)) });
    if (context)
        watch(context);
    return token;
}

void NotificationCenter::watch(QObject* context)
{
    const bool watched = std::any_of(
        m_watched.begin(), m_watched.end(), [&](const auto& w) { return w.first == context; });
    if (watched)
        return;
    // destroyed() fires from ~QObject, after the derived parts are gone: only the address is
    // used here.
    auto connection = QObject::connect(
        context, &QObject::destroyed, [this, context] { removeObservers(context); });
    m_watched.emplace_back(context, connection);
}

void NotificationCenter::removeObserver(int token)
{
    auto it = std::find_if(
        m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.token == token; });
    if (it == m_entries.end())
        return;
    QObject* context = it->context;
    m_entries.erase(it);
    const bool stillUsed = std::any_of(
        m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.context == context; });
    if (context && !stillUsed)
        unwatch(context);
}

void NotificationCenter::removeObservers(QObject* context)
{
    if (!context)
        return;
    std::erase_if(m_entries, [&](const Entry& e) { return e.context == context; });
    unwatch(context);
}

void NotificationCenter::unwatch(QObject* context)
{
    auto it = std::find_if(
        m_watched.begin(), m_watched.end(), [&](const auto& w) { return w.first == context; });
    if (it != m_watched.end()) {
        QObject::disconnect(it->second);
        m_watched.erase(it);
    }
}

const NotificationCenter::Entry* NotificationCenter::find(int token) const
{
    auto it = std::find_if(
        m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.token == token; });
    return it == m_entries.end() ? nullptr : &*it;
}

void NotificationCenter::post(const QString& name, const void* object, const QVariantMap& userInfo)
{
    Q_ASSERT(!QCoreApplication::instance()
        || QThread::currentThread() == QCoreApplication::instance()->thread());
    // The matching set is fixed when the post starts; each is looked up again before its call
    // because an earlier observer may have removed it (or destroyed its context).
    std::vector<int> tokens;
    for (const Entry& e : m_entries)
        if (e.name == name && (!e.sender || e.sender == object))
            tokens.push_back(e.token);
    const Notification notification { name, object, userInfo };
    for (int token : tokens) {
        const Entry* entry = find(token);
        if (!entry || (entry->hasContext && !entry->alive))
            continue;
        std::shared_ptr<Observer> fn = entry->fn;
        (*fn)(notification);
    }
}

} // namespace platform
