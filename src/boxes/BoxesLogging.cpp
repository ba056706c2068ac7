#include "boxes/BoxesLogging.h"

Q_LOGGING_CATEGORY(lcBoxes, "quillmark.boxes", QtWarningMsg)
