#pragma once
// The path toolkit's log lines (debug level; off unless the category is enabled).
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPath)
