#pragma once
// The log category of the view layer.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPlatformUi)
