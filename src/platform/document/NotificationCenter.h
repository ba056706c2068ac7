#pragma once
// Synchronous notifications on the main thread.
//
// post() calls every matching observer before it returns, in the order they were added. An
// observer matches when its name equals the posted name and its sender is nullptr (any object)
// or the posted object. Observers may add and remove observers, and post, from inside a
// delivery: one removed during a post is not called afterwards, one added during a post is
// first called by the next post.
//
// Every observer names a context QObject; when the context is destroyed its observers go with
// it, so a callback never runs for a dead receiver. A null context keeps the observer until
// removeObserver().
#include "platform/document/Notification.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    NotificationCenter() = default;
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // Returns a token for removeObserver(); tokens are positive and never reused.
    int addObserver(const QString& name, const void* sender, QObject* context, Observer fn);
    // Unknown or already removed tokens are ignored.
    void removeObserver(int token);
    void removeObservers(QObject* context);

    void post(const QString& name, const void* object = nullptr, const QVariantMap& userInfo = {});

    // How many observers are registered (for tests and leak checks).
    int observerCount() const { return int(m_entries.size()); }

private:
    struct Entry {
        int token;
        QString name;
        const void* sender;
        QObject* context; // identity only; see alive
        QPointer<QObject> alive; // null once the context died, even before destroyed() arrives
        bool hasContext;
        // Shared so that removing an observer from inside its own call keeps the running
        // function alive until it returns.
        std::shared_ptr<Observer> fn;
    };

    const Entry* find(int token) const;
    void watch(QObject* context);
    void unwatch(QObject* context);

    std::vector<Entry> m_entries;
    std::vector<std::pair<QObject*, QMetaObject::Connection>> m_watched;
    int m_nextToken = 1;
};

} // namespace platform
