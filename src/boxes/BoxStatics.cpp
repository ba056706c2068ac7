#include "boxes/BoxStatics.h"

EditAnimation gEditAnimation;
WarpCaptureRect gWarpCaptureRect;
bool gCanvasExporting = false;
