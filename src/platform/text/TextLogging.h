#pragma once
// The text system's log category.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcText)
