#pragma once
// A whole number the inspector shows in a stepper and a field with a unit ("12 pt", "90º"),
// the stepper holding the number and the field showing it. The stepper's range is the row's
// range: a typed number is held within it, so the field, the stepper and the boxes agree.
#include "platform/ui/Stepper.h"

#include <QLineEdit>
#include <QString>

struct ValueRow {
    platform::Stepper* stepper = nullptr;
    QLineEdit* field = nullptr;
    QString unit;

    // The field's text for the stepper's number.
    QString shown() const { return stepper->stringValue() + unit; }
    // The field's leading number (text without one reads as 0), brought within the stepper's
    // range: round the circle for a wrapping stepper (-90º is 270º), else clamped.
    int typed() const;
};
