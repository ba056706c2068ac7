#pragma once
// Pictures the application draws itself, by name: resources/<name>.svg rendered at the size
// and device scale asked for. Renders are cached per name, size and scale, so a control may
// ask on every draw.
#include "platform/graphics/Image.h"

#include <QString>

namespace platform {

// The picture of the given point size whose pixels are pointSize x scale; a null Image when
// there is no such artwork or the size is empty or not finite.
Image namedImage(const QString& name, Size pointSize, double scale = 1.0);
// The file the named artwork is read from: the installed copy beside the executable when there
// is one, else the source tree's.
QString namedImagePath(const QString& name);
// The artwork's own size in points (its view box); (0, 0) when there is none.
Size namedImageNaturalSize(const QString& name);

} // namespace platform
