#pragma once
// Internal to the text system: reading a face out of a fontconfig pattern, shared by the font
// manager's list and the fallback search.
#include "platform/text/FontFace.h"

#include <QString>
#include <fontconfig/fontconfig.h>
#include <optional>

namespace platform {

// The face a pattern describes; nullopt for bitmap faces and faces without a family or a
// PostScript name.
std::optional<FontFace> faceFromPattern(FcPattern* pattern);
// Faces Qt and QRawFont read fully (sfnt tables) rank before Type 1 copies of the same face.
int formatRank(const QString& filePath);

} // namespace platform
