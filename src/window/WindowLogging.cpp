#include "window/WindowLogging.h"

Q_LOGGING_CATEGORY(lcWindow, "quillmark.window", QtWarningMsg)
