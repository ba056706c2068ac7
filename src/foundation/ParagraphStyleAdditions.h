#pragma once
#include "platform/text/ParagraphStyle.h"

// A new paragraph style with the alignment and the defaults otherwise.
platform::ParagraphStyle mutableParagraphStyleWithTextAlignment(platform::TextAlignment alignment);
