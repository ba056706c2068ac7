#pragma once
// What text and image boxes draw along their turned outline: the quad of the outline grown or
// shrunk, the border band centred on it, and the inner shadow of a quad. One drawing serves
// both kinds so that a fix reaches both.
#include "platform/graphics/BezierPath.h"
#include "platform/graphics/Color.h"

#include <optional>

class MyViewBase;
namespace platform {
class GraphicsContext;
}

namespace BoxFrame {

// The outline's four corners grown by gap (negative shrinks), as a closed quad.
platform::BezierPath outlineQuad(const MyViewBase& box, float gap);

// The quad inside the border: the outline shrunk by half the border width, where the
// background ends.
platform::BezierPath insideBorder(const MyViewBase& box);

// The border: four closed bands between the outline grown and shrunk by half the border width;
// nothing when the border width is not positive. The bands alone make the path, so its bounds
// (and with them a gradient or picture border) move with the box.
std::optional<platform::BezierPath> borderBands(const MyViewBase& box);

struct InnerShadow {
    std::optional<platform::Color> color;
    int angle = 0; // degrees, added to the box's turn
    int offset = 0; // nothing is drawn unless positive
    int blur = 0;
    // The transparency layer casts the shadow as well, doubling the band (the text frame's box
    // shadow); otherwise only the band the quad leaves uncovered shows.
    bool layerCastsShadow = false;
};

// The inner shadow of quad (already turned with the box): inside a transparency layer the quad,
// opaque, erases itself where its own offset shadow lies, leaving the band along the edges the
// shadow leaves uncovered. The box's opacity reaches the band once, through the layer's alpha
// (the colour's alpha times the opacity): a translucent quad could not erase its own shadow and
// would wash over the whole inside of a translucent box.
void drawInnerShadow(const MyViewBase& box, const platform::BezierPath& quad,
    const InnerShadow& shadow, platform::GraphicsContext& ctx);

} // namespace BoxFrame
