#pragma once
// The log category of the application shell and its document file ("quillmark.app").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
