#include "canvas/CanvasLogging.h"

Q_LOGGING_CATEGORY(lcCanvas, "quillmark.canvas", QtWarningMsg)
