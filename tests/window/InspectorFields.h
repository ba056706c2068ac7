#pragma once
// What the sidebar shows of the selection, read as a person reads it: which container is up,
// which panels show, and the value of every control shown in the box inspector (the text of
// each field, the lit segments, each pop-up's choice, each slider's knob, stepper, knob and
// well). The frame and corner locks and the remove buttons are left out: they keep what the
// person or the panel last did with them. Two readings compare key by key.
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/DocumentWindow.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SidebarContainerView.h"

#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <map>
#include <ostream>
#include <string>

namespace windowtest {

struct InspectorFields {
    std::map<QString, QString> values;
    std::map<QString, SZGradient> wells;
    bool operator==(const InspectorFields&) const = default;
};

inline QString colourText(const platform::Color& c)
{
    return QStringLiteral("%1 %2 %3 %4").arg(c.red).arg(c.green).arg(c.blue).arg(c.alpha);
}

inline InspectorFields inspectorFields(const DocumentWindow& window)
{
    const DocumentWindowOutlets& o = window.outlets();
    InspectorFields f;
    const auto shows = [&](const QWidget* w) { return w->isVisibleTo(&window); };
    f.values[QStringLiteral("container")] = shows(o.textControlContainerView) ? "boxes"
        : shows(o.mainControlContainerView)                                   ? "picture"
                                                                              : "mask";
    QString panels;
    for (const QWidget* panel : o.panels())
        panels += shows(panel) ? QLatin1Char('v') : QLatin1Char('h');
    f.values[QStringLiteral("panels")] = panels;
    if (!shows(o.textControlContainerView))
        return f;
    const auto removeButtons = o.removeButtons();
    int n = 0;
    // Every control in the order the layout made it, named by its kind and place.
    for (QWidget* w : o.textControlContainerView->findChildren<QWidget*>()) {
        if (!shows(w))
            continue;
        const QString key = QStringLiteral("%1 %2 %3")
                                .arg(QString::fromLatin1(w->metaObject()->className()))
                                .arg(n++)
                                .arg(w->objectName());
        if (auto* field = qobject_cast<QLineEdit*>(w); field && !qobject_cast<QComboBox*>(w->parent()))
            f.values[key] = field->text();
        else if (auto* popup = qobject_cast<QComboBox*>(w))
            f.values[key] = QString::number(popup->currentIndex());
        else if (auto* segments = dynamic_cast<platform::SegmentedControl*>(w)) {
            QString lit;
            for (int s = 0; s < segments->segmentCount(); ++s)
                lit += segments->isSelectedForSegment(s) ? QLatin1Char('1') : QLatin1Char('0');
            f.values[key] = lit;
        } else if (auto* slider = dynamic_cast<ImageEffectIntensitySlider*>(w))
            f.values[key] = slider->showSlider() ? QString::number(slider->value(), 'f', 4)
                                                 : QStringLiteral("no knob");
        else if (auto* stepper = dynamic_cast<platform::Stepper*>(w))
            f.values[key] = QString::number(stepper->doubleValue());
        else if (auto* knob = dynamic_cast<AngleCtrl*>(w))
            f.values[key] = QString::number(knob->angle());
        else if (auto* colour = dynamic_cast<ColoredButton*>(w))
            f.values[key] = colourText(colour->coloringColor());
        else if (auto* well = dynamic_cast<GradientCtrl*>(w))
            f.wells[key] = well->gradient();
        else if (auto* button = qobject_cast<QPushButton*>(w); button && !button->isCheckable()
                 && std::find(removeButtons.begin(), removeButtons.end(), button)
                     == removeButtons.end())
            f.values[key] = button->isEnabled() ? "enabled" : "disabled";
    }
    return f;
}

// The keys whose values differ, each with both values, for a failure message.
inline std::string differences(const InspectorFields& shown, const InspectorFields& fresh)
{
    std::string out;
    const auto note = [&](const QString& key, const QString& a, const QString& b) {
        out += "\n  " + key.toStdString() + ": shown \"" + a.toStdString() + "\", fresh \""
            + b.toStdString() + "\"";
    };
    for (const auto& [key, value] : shown.values) {
        const auto it = fresh.values.find(key);
        if (it == fresh.values.end() || it->second != value)
            note(key, value, it == fresh.values.end() ? QStringLiteral("(none)") : it->second);
    }
    for (const auto& [key, value] : fresh.values)
        if (!shown.values.count(key))
            note(key, QStringLiteral("(none)"), value);
    for (const auto& [key, value] : shown.wells) {
        const auto it = fresh.wells.find(key);
        if (it == fresh.wells.end() || !(it->second == value))
            note(key, QStringLiteral("a fill"), QStringLiteral("another fill"));
    }
    if (shown.wells.size() != fresh.wells.size())
        note(QStringLiteral("wells"), QString::number(shown.wells.size()),
            QString::number(fresh.wells.size()));
    return out;
}

} // namespace windowtest
