#include "platform/document/UserDefaults.h"

namespace platform {

UserDefaults::UserDefaults()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
        QStringLiteral("Quillmark"), QStringLiteral("Quillmark")))
{
}

UserDefaults::UserDefaults(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

UserDefaults& UserDefaults::standard()
{
    static UserDefaults defaults;
    return defaults;
}

bool UserDefaults::boolForKey(const QString& key) const
{
    return m_settings->value(key, false).toBool();
}

void UserDefaults::setBool(const QString& key, bool value)
{
    m_settings->setValue(key, value);
}

QString UserDefaults::stringForKey(const QString& key) const
{
    return m_settings->value(key).toString();
}

void UserDefaults::setString(const QString& key, const QString& value)
{
    m_settings->setValue(key, value);
}

void UserDefaults::removeObjectForKey(const QString& key)
{
    m_settings->remove(key);
}

bool UserDefaults::synchronize()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace platform
