#pragma once
// The application's stored preferences, over QSettings. Keys are the system's own
// ("HideWelcomeWindow", ...), kept exactly. A missing key reads as false, 0 or empty.
#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

class UserDefaults {
public:
    // The process-wide defaults (organisation "Quillmark", application "Quillmark").
    static UserDefaults& standard();
    // Defaults stored in a given settings file (tests use a temporary file).
    explicit UserDefaults(const QString& iniPath);

    bool boolForKey(const QString& key) const;
    void setBool(const QString& key, bool value);
    QString stringForKey(const QString& key) const;
    void setString(const QString& key, const QString& value);
    void removeObjectForKey(const QString& key);
    // Writes pending changes to permanent storage; false when that failed.
    bool synchronize();

private:
    UserDefaults();
    std::unique_ptr<QSettings> m_settings;
};

} // namespace platform
