#pragma once
// One posted notification: its name, the object it is about (compared by address, never
// dereferenced by the centre) and the details the poster attached.
#include <QString>
#include <QVariantMap>

namespace platform {

struct Notification {
    QString name;
    const void* object = nullptr;
    QVariantMap userInfo;
};

} // namespace platform
