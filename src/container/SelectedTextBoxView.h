#pragma once
// The selection overlay: a transparent view laid over the whole picture, above the boxes, that
// draws the box layer's selection feedback: the rubber band while a selection is dragged out,
// and for every selected box its outline, its eight resize handles, the perspective grips and
// thumbs and the curve guide of a warped box, the control points of a shape, and the tolerance
// circle of an open colour-removal gesture.
//
// It only draws. It takes no pointer events (hit testing passes through it to the boxes below;
// the container tests presses against the same geometry). Every draw reads the container and
// its boxes afresh, and a draw marks nothing; what it keeps between draws are pictures of plain
// selected boxes' outlines and handles, one for all boxes whose outlines differ by whole pixels
// on screen (a nudge or a drag of many selected boxes recomposes them).
//
// The overlay and the container share one coordinate space (both cover the working picture),
// so box geometry is drawn as the container holds it. Handles and points keep 6.6 screen
// pixels at every zoom; lines stay 1 unit wide.
#include "platform/geometry/Point.h"
#include "platform/graphics/Color.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewPointer.h"

#include <QImage>
#include <array>
#include <map>
#include <vector>

class MyViewBase;
class TextViewContainer;

class SelectedTextBoxView : public platform::View {
public:
    // The outline colour of a text box in text editing, and of every other selected box.
    static constexpr platform::Color kEditingOutline { 0.3, 0.3, 0.3, 0.8 };
    static constexpr platform::Color kSelectedOutline { 0.0, 87.0 / 255.0, 232.0 / 255.0, 1.0 };
    static constexpr platform::Color kRubberBand { 0.2, 0.2, 0.2, 0.5 };
    // A shape's control points.
    static constexpr platform::Color kPointFill { 0.0, 0.7, 0.0, 1.0 };
    static constexpr platform::Color kPointStroke { 0.4, 0.4, 0.4, 1.0 };
    // The thumbs and the inner curve points: the platform's plain green and grey.
    static constexpr platform::Color kThumbFill { 0.0, 1.0, 0.0, 1.0 };
    static constexpr platform::Color kThumbStroke { 0.5, 0.5, 0.5, 1.0 };
    // The colour-removal tolerance circle.
    static constexpr platform::Color kBrushPreview { 1.0, 1.0, 1.0, 0.75 };
    static constexpr double kBrushPreviewWidth = 3.0;

    // frame: the picture's rectangle, the container's frame.
    explicit SelectedTextBoxView(const platform::Rect& frame);
    ~SelectedTextBoxView() override;

    // The container whose selection is shown; nothing is drawn without one (or once it is
    // gone).
    TextViewContainer* container() const;
    void setContainer(TextViewContainer* container);

    // Half the side of a handle, curve point or control point: 3.3 screen pixels at zoom z. A
    // zoom that is not finite or not positive counts as 1.
    static double handleHalfSize(double zoom);

    // The curve guide of a box: the unit curve points moved 0.2 of the height below the edge
    // p0-p1 (a flat point counting as 0) and placed on the box's outline.
    static std::vector<platform::Point> curveGuidePoints(const MyViewBase& box);
    // The thumb bars: four corners each, of the vertical thumb beside the edge p1-p2 and of the
    // horizontal thumb beyond the edge p3-p2, at the box's perspective values.
    static std::vector<platform::Point> verticalThumb(const MyViewBase& box);
    static std::vector<platform::Point> horizontalThumb(const MyViewBase& box);

    // Never the target of a pointer event.
    platform::View* hitTest(const platform::Point& pointInSuperview) override;
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

private:
    // The outline and handles of a plain box (no warp, no shape, no editing) depend on its
    // outline's device points and the handle size alone: boxes whose points differ by whole
    // pixels share one picture. Keyed by the points relative to the pixel of the first (to a
    // millionth of a pixel), the transform's linear part and the handle size.
    struct Feedback {
        std::array<platform::Point, 8> relative; // exact, checked before the picture serves
        QImage picture;
        QPoint offset; // the picture's top-left pixel from the first point's pixel
        qint64 lastUse = 0;
    };
    using FeedbackKey = std::array<qint64, 21>;
    void drawFeedback(platform::GraphicsContext& ctx, const MyViewBase& box, double halfSize,
        const platform::AffineTransform& toDevice);
    void forgetFeedback(std::map<FeedbackKey, Feedback>::iterator it);

    platform::ViewPointer txtViewContainer;
    std::map<FeedbackKey, Feedback> m_feedback;
    qsizetype m_feedbackBytes = 0;
    qint64 m_feedbackClears = 0; // ViewDrawingCache::clearCount() when they were kept
    qint64 m_feedbackUses = 0; // a count of pictures put down, for the least recently used
    qint64 m_drawStart = 0; // the count when the draw under way began
};
