#pragma once
// The log category of the window, its chrome and its controls ("quillmark.window").
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWindow)
