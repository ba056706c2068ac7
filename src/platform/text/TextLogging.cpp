#include "platform/text/TextLogging.h"

Q_LOGGING_CATEGORY(lcText, "quillmark.text", QtWarningMsg)
