#pragma once
// A retained view with the model's view semantics: y-up coordinates, rotated frames, bounds
// with unit-square scaling, stacking order, hit testing, the responder chain, tracking areas
// and cursors, and group opacity with a drop shadow.
//
// Coordinates. A view's own space is its bounds: bounds().origin is the point at the frame's
// first corner, and the bounds size is the frame size divided by the unit-square scale. The
// frame is in the superview's space: frame().origin is where the view's own first corner
// lands after the view has been turned by frameRotation() (degrees, counter-clockwise) about
// it, and frame().size is the unturned size. So, for a point p of the view's own space:
//   superview point = frame origin + R(frameRotation) * S(unit scale) * (p - bounds origin).
// The root view's superview space is the window: the hosting widget, y-up, one unit per
// logical pixel.
//
// Ownership. A superview owns its subviews; removeFromSuperview() hands the view back to the
// caller. Views are used on the main thread only.
//
// Drawing is a pure function of the state: while a tree draws, setNeedsDisplay and changes to
// the tree are refused (with a log line) instead of being acted on.
#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Rect.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Event.h"
#include "platform/ui/TrackingArea.h"

#include <QCursor>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

class ViewHost;

enum class WindowOrder { Below = -1, Above = 1 };

class View {
public:
    explicit View(const Rect& frame = Rect());
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // ---- frame (superview space). Non-finite values are refused with a log line.
    Rect frame() const { return { m_frameOrigin, m_frameSize }; }
    // Sets origin and size, keeping the rotation.
    virtual void setFrame(const Rect& frame);
    // Moves the view; size and rotation stay.
    virtual void setFrameOrigin(const Point& origin);
    // Resizes the view about its (rotated) origin; the bounds keep their scale.
    virtual void setFrameSize(const Size& size);
    // Degrees, counter-clockwise. Both rotations are the same angle; they differ in the point
    // that stays fixed when it is set: the frame origin, or the frame's centre.
    double frameRotation() const { return m_rotation; }
    void setFrameRotation(double degrees);
    double frameCenterRotation() const { return m_rotation; }
    void setFrameCenterRotation(double degrees);
    // The bounding box of the turned frame, in superview space.
    Rect visualFrame() const;

    // ---- bounds (own space)
    Rect bounds() const;
    void setBoundsOrigin(const Point& origin);
    // Scales the view's own unit square to `size` old units: after scaleUnitSquareToSize({2, 2})
    // one own unit covers two of the former ones, the bounds (origin included) are halved and
    // content and subviews draw twice as large while keeping their numbers. Cumulative.
    // Zero or non-finite factors are refused.
    void scaleUnitSquareToSize(const Size& size);
    Size unitScale() const { return m_scale; }
    // Sets the unit-square scale outright (what scaleUnitSquareToSize(size / unitScale())
    // would do, without the rounding a division and a product leave behind): a zoom set this
    // way any number of times keeps the content's numbers exact. Zero or non-finite factors
    // are refused.
    void setUnitScale(const Size& scale);

    // ---- coordinate conversion
    // Own space -> superview space.
    AffineTransform transformToSuperview() const;
    // Own space -> window (the root's superview space).
    AffineTransform transformToWindow() const;
    // Points and rects between two views of one tree; nullptr means the window. Views of
    // different trees are related through their roots as if both were in one window.
    Point convertPointFromView(const Point& p, const View* from) const;
    Point convertPointToView(const Point& p, const View* to) const;
    // The bounding box of the converted rectangle.
    Rect convertRectFromView(const Rect& r, const View* from) const;
    Rect convertRectToView(const Rect& r, const View* to) const;

    // ---- hierarchy (stacking order: index 0 is at the bottom)
    View* superview() const { return m_superview; }
    std::vector<View*> subviews() const;
    int subviewCount() const { return int(m_subviews.size()); }
    View* subviewAt(int index) const;
    int indexOfSubview(const View* view) const; // -1 when not a subview
    // Adds on top. Returns the added view (nullptr for a null argument or during drawing).
    View* addSubview(std::unique_ptr<View> view);
    // Adds just above or below `relativeTo`; with nullptr (or a view that is no subview)
    // on top for Above and at the bottom for Below.
    View* addSubview(std::unique_ptr<View> view, WindowOrder order, const View* relativeTo);
    template <class T> T* addSubview(std::unique_ptr<T> view)
    {
        return static_cast<T*>(addSubview(std::unique_ptr<View>(std::move(view))));
    }
    // Detaches the view from its superview and hands it back; empty for a view without one
    // (or during drawing).
    std::unique_ptr<View> removeFromSuperview();
    bool isDescendantOf(const View* view) const; // true for the view itself
    View* rootView();
    // The hosting widget of this view's tree, or nullptr.
    ViewHost* host() const;
    // Device pixels per logical pixel of the host's screen; 1 without a host.
    double backingScaleFactor() const;

    // ---- visibility and layer properties
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool isHiddenOrHasHiddenAncestor() const;
    // Group opacity: with a value below 1 the view and its subviews are drawn offscreen and
    // blended at this alpha. Clamped to 0..1; NaN is taken as 1.
    double alphaValue() const { return m_alpha; }
    void setAlphaValue(double alpha);
    // A drop shadow cast by the alpha of the whole group (the view with its subviews), drawn
    // under it. Offset (y-up) and blur are in the view's own units, so the shadow follows the
    // zoom and rotation of the view as its content does.
    const std::optional<Shadow>& shadow() const { return m_shadow; }
    void setShadow(const std::optional<Shadow>& shadow);

    // ---- display
    bool needsDisplay() const { return !m_dirty.isNull(); }
    // The union of the rectangles marked since the view was last displayed (own space);
    // Rect::null() when clean.
    Rect dirtyRect() const { return m_dirty; }
    void setNeedsDisplay();
    void setNeedsDisplayInRect(const Rect& rect);
    // Forgets the marks of this view and its subviews (the host does so after it painted).
    void clearNeedsDisplayInTree();
    // True while any view tree is being drawn.
    static bool isDrawing();

    // ---- hit testing: the frontmost visible view under a point of the superview space.
    virtual View* hitTest(const Point& pointInSuperview);

    // ---- events. The default handlers pass the event to the superview (the responder
    // chain) and answer whether some view handled it; a handler that does not want an event
    // calls the base class.
    virtual bool mouseDown(const Event& event);
    virtual bool mouseDragged(const Event& event);
    virtual bool mouseUp(const Event& event);
    virtual bool mouseMoved(const Event& event);
    virtual bool rightMouseDown(const Event& event);
    // The middle button's press (the selection clipboard's paste on this desktop); up the
    // responder chain like the others.
    virtual bool otherMouseDown(const Event& event);
    virtual bool rightMouseDragged(const Event& event);
    virtual bool rightMouseUp(const Event& event);
    virtual bool mouseEntered(const Event& event);
    virtual bool mouseExited(const Event& event);
    virtual bool cursorUpdate(const Event& event);
    virtual bool keyDown(const Event& event);
    virtual bool keyUp(const Event& event);
    virtual bool scrollWheel(const Event& event);
    // Pinch and two-finger turn gestures (Event::magnification(), Event::rotation()).
    virtual bool magnifyWithEvent(const Event& event);
    virtual bool rotateWithEvent(const Event& event);

    virtual bool acceptsFirstResponder() const { return false; }
    // Asked when the host is about to make this view first responder; false refuses.
    virtual bool becomeFirstResponder() { return true; }
    // Asked when the view is about to lose first responder status; false keeps it.
    virtual bool resignFirstResponder() { return true; }
    bool isFirstResponder() const;

    // ---- tracking areas
    std::uint64_t addTrackingArea(const Rect& rect, unsigned options, QVariant userInfo = {});
    void removeTrackingArea(std::uint64_t id);
    const std::vector<TrackingArea>& trackingAreas() const { return m_trackingAreas; }
    // Called when the view's bounds change and when its tree gets a host, so that a view can
    // replace its areas.
    virtual void updateTrackingAreas() { }
    // Called when the size of the bounds changed (a new frame size or unit scale), so that a
    // view can lay out its subviews again.
    virtual void resizeSubviewsWithOldSize(const Size& oldBoundsSize) { (void)oldBoundsSize; }

    // ---- cursors
    // The cursor this view shows at a point of its own space while the pointer hovers over
    // it; nothing lets the superview answer, and at the top the cursor last set stays.
    virtual std::optional<QCursor> cursorForPoint(const Point& point);
    // Sets the host's cursor now (it stays until something sets another).
    void setCursor(const QCursor& cursor);

    // ---- drawing
    // Draws the view's own content; dirty is the part that needs drawing, in own space. The
    // context is clipped to the bounds and its CTM maps own space.
    virtual void drawRect(const Rect& dirty, GraphicsContext& ctx);
    // Whether a subview is drawn in the current pass. A view that shows something else in a
    // subview's place (a picture of it) answers false instead of hiding the subview, since
    // drawing must not change the tree. Asked during drawing only, after drawRect; must be a
    // pure function of the state.
    virtual bool drawsSubview(const View& subview) const
    {
        (void)subview;
        return true;
    }

    // Draws the view, its layer properties and its subviews into a context whose CTM maps
    // the superview space; dirty is in superview space. Hidden views draw nothing.
    void displayInSuperview(GraphicsContext& ctx, const Rect& dirtyInSuperview);
    // Draws the view's content and subviews (without its own opacity and shadow) into a
    // context whose CTM maps own space.
    void displayContent(GraphicsContext& ctx, const Rect& dirty);

    // How far (in the units of the space `ownToTarget` maps to) the shadows of this view and
    // its visible subviews reach beyond what casts them. Drawing a rect grown by it makes
    // every shadow that falls into the rect come out whole.
    double shadowReachInTree(const AffineTransform& ownToTarget) const;

    // ---- drawing cache
    // A view that caches its drawing is drawn as one group: its content (drawRect and the
    // subviews, without its own opacity and shadow) into a picture of device pixels, then the
    // picture, with the opacity and the shadow cast from it. While a host paints, the picture
    // is kept and put down again instead of drawing, until what it shows changes:
    //  - setNeedsDisplay on the view or a subview, a subview added, removed, shown, hidden,
    //    resized, turned, moved or given another opacity or shadow;
    //  - a change of the view's bounds size;
    //  - a device transform other than the same one moved by whole pixels (a zoom, a turn, a
    //    move by a fraction of a pixel);
    //  - cachedDrawingIsCurrent answering false.
    // The view's own moves, opacity and shadow keep the picture, and so do moves of its
    // anchor (cachedDrawingAnchor), which carry the picture along. renderToImage draws afresh
    // and keeps nothing. The pictures share one budget (ViewDrawingCache).
    bool cachesDrawing() const { return m_cachesDrawing; }
    void setCachesDrawing(bool caches);
    // Whether a picture is kept now.
    bool hasCachedDrawing() const { return m_cachedDrawing != nullptr; }
    // Lets go of the kept picture; the next draw makes a new one.
    void dropCachedDrawing();

    // Casts anew, on all cores, the shadows of the kept pictures in the tree whose shadow
    // changed since they were last put down (a host does so before it paints, so that a
    // shadow changed on many views is not cast one view after the other).
    static void castKeptShadows(View& root);
    // The same begun on the other cores while the caller goes on drawing: a view put down
    // waits for its own shadow only. finishCastingShadows waits for the rest and keeps them; a
    // host calls it once the tree is drawn, before anything else changes the views.
    static void beginCastingKeptShadows(View& root);
    static void finishCastingShadows();

    // Within its scope the views keep their pictures (a host's paint) or do not (a render
    // into an image, also one made during a paint). Nested scopes: the innermost counts.
    class KeepingPictures {
    public:
        explicit KeepingPictures(bool keep);
        ~KeepingPictures();
        KeepingPictures(const KeepingPictures&) = delete;
        KeepingPictures& operator=(const KeepingPictures&) = delete;

    private:
        bool m_before;
    };

protected:
    // ---- the drawing cache's questions to a view that caches (asked while drawing)
    // Whether the picture may be kept now (false while the content changes on its own, as a
    // text being edited does); without keeping, the view is still drawn as one group.
    virtual bool canKeepCachedDrawing() const { return true; }
    // Where the content draws, in own space: the picture covers no more. The bounds unless
    // the view knows better.
    virtual Rect cachedDrawingExtent() const { return bounds(); }
    // The view whose moves the content follows: this view, or a subview whose moves carry the
    // whole content along (the picture is then put down moved by as much).
    virtual const View* cachedDrawingAnchor() const { return this; }
    // Whether state that is read while drawing but does not mark the view for display (a
    // record) is still what the kept picture was drawn from.
    virtual bool cachedDrawingIsCurrent() const { return true; }
    // A new picture was drawn: the view notes what it was drawn from.
    virtual void cachedDrawingWasMade() { }

private:
    friend class ViewHost;

    Shadow shadowInBaseSpace(const AffineTransform& ctm) const;
    // How far the shadow reaches beyond the content, in own units.
    double shadowReach() const;
    // The part of the superview that the view covers, its shadow included.
    Rect coverageInSuperview() const;
    // Marks what the view covers in the superview for display (before and after a change).
    void invalidateCoverage();
    // setNeedsDisplayInRect without letting go of any kept picture.
    void markNeedsDisplayInRect(const Rect& rect);
    // What the superviews show changed through this view: they let go of their pictures,
    // but for those whose anchor is `moved` (the view moved or turned, and the device
    // transform will tell).
    void superviewsContentChanged(const View* moved = nullptr);
    // The cached path of displayInSuperview (ViewCachedDrawing.cpp); the context's CTM maps
    // own space.
    void displayCached(GraphicsContext& ctx, const Rect& dirty);
    // The content drawn into a new picture over area (device pixels): the part drawn on, its
    // top-left pixel at origin.
    QImage drawPicture(GraphicsContext& ctx, const QRect& area, QPoint& origin);
    // The anchor's own space to this view's own space.
    AffineTransform anchorToOwn(const View*& anchor) const;
    void boundsDidChange(const Size& oldBoundsSize);
    void treeDidGetHost();
    bool refuseDuringDrawing(const char* what) const;
    template <class F> bool forward(F handler, const Event& event)
    {
        return m_superview ? (m_superview->*handler)(event) : false;
    }

    Point m_frameOrigin;
    Size m_frameSize;
    double m_rotation = 0.0;
    Point m_boundsOrigin;
    Size m_scale { 1.0, 1.0 };
    bool m_hidden = false;
    double m_alpha = 1.0;
    std::optional<Shadow> m_shadow;
    Rect m_dirty = Rect::null();
    View* m_superview = nullptr;
    std::vector<std::unique_ptr<View>> m_subviews;
    std::vector<TrackingArea> m_trackingAreas;
    ViewHost* m_host = nullptr; // set on the root view of a hosted tree only
    bool m_cachesDrawing = false;
    struct CachedDrawing;
    std::unique_ptr<CachedDrawing> m_cachedDrawing;
    // Keeps the shadow cast ahead for the kept picture, once its cast has finished.
    void takeCastShadow();
    // Lets others hold a ViewPointer that notices when this view is gone.
    std::shared_ptr<char> m_lifeToken = std::make_shared<char>(0);

    friend class ViewPointer;
};

// Draws a view and its subviews (rect in the view's own space) into a new picture with
// ceil(rect size * scale) pixels, premultiplied ARGB, y-up, the picture's size in points
// being rect's size. The view's own opacity and shadow are not applied: they belong to how it
// is composited into its superview. A hidden view gives a transparent picture. Returns a null
// image for an empty or non-finite rect, a scale that is not positive, or a picture that would
// exceed 16384 pixels on a side or 2^28 pixels in all.
Image renderToImage(View& view, const Rect& rect, double scale);

} // namespace platform
