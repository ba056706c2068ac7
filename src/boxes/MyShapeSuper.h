#pragma once
// The wrapper of a shape box: between the box's warp view and the shape view, which draws
// nothing of its own. The wrapper paints the whole shape from the shape's model, back to front:
// the box background (figures only), the fill (or, for an open line, its band with the heads,
// in the stroke fill), the stroke of a closed outline, the inner shadow and the border band
// along the turned frame. Every fill is drawn at the box's opacity and turns with the box. It
// covers the container, so its coordinates are the container's; the drop shadow belongs to
// the warp view.
//
// It keeps no state: each draw reads the shape afresh, and the outline is rebuilt every time.
#include "platform/graphics/BezierPath.h"
#include "platform/ui/View.h"

#include <optional>

class MyShapeView;

class MyShapeSuper : public platform::View {
public:
    explicit MyShapeSuper(const platform::Rect& frame);

    // The shape: the first subview, or null.
    MyShapeView* box() const;

    // The shape's outline in this view's coordinates; nothing for an unknown shape type.
    static std::optional<platform::BezierPath> shapePath(const MyShapeView& shape);

    // Draws the shape (nothing without one). The dirty rectangle does not limit the drawing,
    // and drawing marks nothing for display.
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;
};
