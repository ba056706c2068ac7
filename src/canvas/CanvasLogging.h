#pragma once
// The log category of the picture canvas ("quillmark.canvas").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCanvas)
