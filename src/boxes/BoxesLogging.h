#pragma once
// The log category of the box views and their record ("quillmark.boxes").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcBoxes)
