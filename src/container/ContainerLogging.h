#pragma once
// The log category of the box container ("quillmark.container").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcContainer)
