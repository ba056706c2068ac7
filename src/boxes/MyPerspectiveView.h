#pragma once
// The outermost view of a box's nest: it covers the container, holds the box's wrapper
// (MyTextViewSuper, MyImageViewSuper, MyShapeSuper) with the box inside, and carries the box's drop
// shadow (MyViewBase::setShadows). Each time it draws it decides how the box is shown: flat, by
// letting the wrapper draw, or warped, by drawing in the wrapper's place a picture of the box
// bent by its curve or perspective. The picture comes from the container's warp capture and
// is cached on the box (imgPersp, imgRect, ud), so that it is made again only when the box's
// record says the box would look different or its editing begins or ends; the flat picture it
// was bent from is kept here, so that a change of the curve or the perspective alone only
// bends it again.
//
// Deciding what to show is a pure function of the box, the edit animation and the export
// flag: drawing shows, hides, focuses and invalidates nothing. What a draw changes are the
// box's picture cache (and the flat picture kept with it) and the nest's kept drawing
// (View::setCachesDrawing).
#include "boxes/UNDODATA.h"
#include "boxes/WarpCapture.h"
#include "platform/ui/View.h"

#include <map>
#include <vector>

class MyViewBase;

class MyPerspectiveView : public platform::View {
public:
    explicit MyPerspectiveView(const platform::Rect& frame);

    // How a wrapper's box is shown.
    enum class BoxDrawing {
        Flat, // the wrapper draws the box as usual
        Warped, // the cached (or a newly captured) full warp
        Animated, // a capture at the edit animation's fraction; the cache is left alone
    };

    // What the choice depends on.
    struct DrawingInputs {
        bool warped = false; // the box has a perspective or a curve
        bool editing = false; // isEditing of the wrapper
        bool exporting = false; // gCanvasExporting
        bool animating = false; // the edit animation runs for this box
        bool canCapture = false; // a warp capture is there to make the picture
    };
    // A warped box is shown warped unless it is being edited; the export and its own edit
    // animation show it warped even then. Without a capture every box is shown flat.
    static BoxDrawing chooseDrawing(const DrawingInputs& inputs);

    // The box a wrapper holds (its first subview), or null when the view is no box wrapper.
    static MyViewBase* boxOfWrapper(const platform::View& wrapper);
    // Whether the box of a wrapper is in its editing state (for a shape, also while its pen
    // path is being drawn); false for any other view.
    static bool isEditing(const platform::View& wrapper);
    // The inputs for a wrapper of this view, read from the box, the statics and the nest.
    DrawingInputs drawingInputs(const platform::View& wrapper) const;
    BoxDrawing drawingFor(const platform::View& wrapper) const;

    // Whether the box's cached picture was made from a record equal to the box's record now,
    // editing as it is now or not editing as it is now (capturedAlike).
    static bool cacheIsValid(const MyViewBase& box);

    // The container's warp capture, which is this view's superview; null outside a container.
    WarpCapture* warpCapture() const;

    // Draws the warped pictures of the wrappers that are not shown flat (the flat ones draw
    // themselves as subviews), each turned by its box's rotation about its rectangle's centre.
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

protected:
    bool drawsSubview(const platform::View& subview) const override;

    // The nest keeps its drawn picture (View::setCachesDrawing) while its box is neither edited
    // nor animated: a move recomposes it, a change of the drop shadow casts the shadow anew
    // from it, and a change of the box's record (which the box's setters do not mark) draws it
    // again.
    bool canKeepCachedDrawing() const override;
    platform::Rect cachedDrawingExtent() const override;
    const platform::View* cachedDrawingAnchor() const override;
    bool cachedDrawingIsCurrent() const override;
    void cachedDrawingWasMade() override;

private:
    // The records of the boxes the kept picture was drawn from, one per wrapper.
    std::vector<UNDODATA> m_drawnRecords;
    std::vector<UNDODATA> currentRecords() const;

    // The picture for a box shown warped and the rectangle it goes in (before the turn); null
    // when the capture made none.
    platform::Image warpedPicture(
        MyViewBase& box, platform::View& wrapper, BoxDrawing drawing, platform::Rect& rect) const;

    // The flat pictures of the boxes last drawn warped, by box; a box drawn otherwise, or gone,
    // loses its entry at the next draw.
    mutable std::map<const MyViewBase*, FlatCapture> m_flatKept;
};
