#pragma once
// A filter made by the system's name ("CIColorControls", ...) with inputs set by the
// platform's keys ("inputImage", "inputSaturation", ...). A new filter holds the platform's
// defaults; setDefaults() restores them (images are not part of the defaults). outputImage()
// builds a recipe from the current inputs and computes nothing.
//
// Filters are values: a copy has its own inputs. A default Filter, or one made with an
// unknown name, is null and its output is null.
#include "platform/imaging/FilterValue.h"

#include <QMap>
#include <QString>
#include <QStringList>

namespace platform {

class Filter {
public:
    Filter() = default;

    // Null when the name is not one the engine knows.
    static Filter withName(const QString& filterName);
    // Every name withName() accepts.
    static QStringList filterNames();

    bool isNull() const { return m_spec == nullptr; }
    QString filterName() const;
    // The name given to this filter object by its owner (the filter name until set).
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    QStringList inputKeys() const;
    void setDefaults();
    // False, and nothing changes, for a key the filter does not take or a value of the wrong
    // kind. Monostate unsets an input.
    bool setValue(const QString& key, const FilterValue& value);
    // Monostate for an unknown or unset key.
    FilterValue value(const QString& key) const;

    // Null when a required image input is missing or a number makes no sense (a scale of 0).
    FilterImage outputImage() const;

    struct Spec;

private:
    const Spec* m_spec = nullptr;
    QString m_name;
    QMap<QString, FilterValue> m_values;
};

} // namespace platform
