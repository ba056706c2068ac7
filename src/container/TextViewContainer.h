#pragma once
// The box layer of one document: the transparent view over the background picture that owns
// every box. It keeps the boxes in stacking order (textViewAry, and its subviews in the same
// order), creates new text, picture and shape boxes with their default style, clears the
// selection, tests points against box outlines, shows and hides the hint bubble, takes and
// restores snapshots of the whole layer for undo and the document file, fans the inspector's
// values out to the selected boxes and arranges, sizes and nudges them.
//
// Each box is a nest of three views: the container's subview is a MyPerspectiveView covering
// the container, holding the wrapper of the box's kind (MyTextViewSuper, MyImageViewSuper,
// MyShapeSuper, also covering the container), holding the box. So every level of a nest shares
// the container's coordinates, which are the working picture's points (the canvas scales the
// container with the zoom).
//
// Every change of boxes follows one bracket: prepUndoData stores the layer's snapshot in
// undoData, the boxes change, logUndoData registers one step that restores it, unless the layer
// is as the snapshot holds it (a change that changed nothing leaves no step). The step goes to
// this container's own document's undo manager. Where the bracket opens and closes in one scope,
// an UndoStep (UndoStep.h) holds it, so that the snapshot does not outlive the change; mouse
// gestures open it on the press and close it on the release.
//
// The source spans several files:
//   TextViewContainer.cpp             structure, selection, hints, creation of boxes
//   TextViewContainerSnapshots.cpp    snapshots, rebuilds and undo registration
//   TextViewContainerMessages.cpp     the inspector's change messages
//   TextViewContainerArrangement.cpp  stacking, deletion, frame fields, arrow keys, pictures
//   TextViewContainerWarp.cpp         the warped pictures of curved and perspective boxes
//   TextViewContainerColourRemoval.cpp  colour-removal mode and its press, drag and release
//   TextViewContainerPress.cpp        the press: what it hits and the gesture it starts
//   TextViewContainerHover.cpp        right click, hover and the cursor
//   TextViewContainerDrag.cpp         the drag steps of every gesture, and what they redraw
//   TextViewContainerRelease.cpp      the release: undo step, second click, hints, pen points
#include "boxes/BoxHost.h"
#include "boxes/ControlValue.h"
#include "boxes/WarpCapture.h"
#include "container/ContainerSnapshot.h"
#include "container/WarpRenderer.h"
#include "foundation/SZGradient.h"
#include "platform/geometry/Point.h"
#include "platform/geometry/Rect.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/imaging/FilterImage.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewPointer.h"
#include "platform/undo/UndoManager.h"

#include <QCursor>
#include <QString>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ContainerCanvas;
class ContainerDelegate;
class DocumentWindowRef;
class MyImageView;
class MyShapeView;
class MyViewBase;

class TextViewContainer : public platform::View, public BoxHost, public WarpCapture {
public:
    // initWithFrame: empty, no selection, not in colour-removal or pen mode, undoData empty.
    explicit TextViewContainer(const platform::Rect& frame);
    ~TextViewContainer() override;

    // ---- collaborators, handed over by whoever builds the layer (not owned)
    ContainerDelegate* delegate() const { return m_delegate; }
    void setDelegate(ContainerDelegate* delegate) { m_delegate = delegate; }
    // The window the boxes talk to (given to every box).
    DocumentWindowRef* documentWindow() const { return m_documentWindow; }
    void setDocumentWindow(DocumentWindowRef* window) { m_documentWindow = window; }
    ContainerCanvas* canvas() const { return m_canvas; }
    void setCanvas(ContainerCanvas* canvas) { m_canvas = canvas; }
    // This document's undo history; without one changes are applied and only logged.
    platform::UndoManager* undoManager() const { return m_undoManager; }
    void setUndoManager(platform::UndoManager* manager);

    // ---- the boxes: every box's innermost view, in stacking order (index 0 at the bottom).
    // The nests own the boxes; the container owns the nests as its subviews.
    std::vector<MyViewBase*> textViewAry;

    // The before-snapshot of the change under way: what the next logUndoData registers as the
    // state to go back to. Written by prepUndoData and, directly, by others that change boxes
    // themselves (the window's text actions).
    std::optional<ContainerSnapshot> undoData;

    // The selection overlay, drawn whenever the container is; owned by the tree.
    platform::ViewPointer selectedView;

    // ---- gesture state (the press, drag and release fill it in)
    bool bDrawWithPen = false; // pen mode: presses draw a free pen path
    platform::ViewPointer penView; // the pen path being drawn (a MyShapeView), or none
    bool isMouseDown = false;
    bool bSelectedwhenDown = false;
    int expandingId = 0; // box of the gesture; -1 none
    int expandingSubId = 0; // handle, point or colour-removal box of the gesture; -1 none
    int mouseDownState = 0; // 0 idle, 1 move, 2 rubber band, 3 resize, 4 rotate, 5-7 warps
    platform::Point mouseDownPoint;
    platform::Rect rectSelecting;
    platform::Rect downFrame;
    bool bInstantAlpha = false; // colour-removal mode
    double instantSize = 0.0;
    platform::Point posInstantAlpha;
    platform::Image imgInstantAlpha; // the box's picture at the press: every refill starts here
    // What the press leaves for the drag: the boxes' frames at the press in textViewAry order
    // (moves), the handle gesture's outline, and a shape point gesture's control values.
    std::vector<platform::Rect> tempAry;
    std::array<platform::Point, 8> downpts {};
    std::vector<ControlValue> downControls;
    // The box of a gesture on one box (codes 3 to 7): expandingId is only trusted while it
    // still names this box (a delete, paste or undo in between moves or removes boxes).
    platform::ViewPointer expandingBox;
    // The picture box of colour removal, by identity: expandingSubId alone may name another box
    // after a restack or a delete.
    platform::ViewPointer instantAlphaTarget;
    // The tolerance circle (its bounding square, container coordinates) while a colour-removal
    // gesture is open; nothing otherwise. Its presence is what marks the gesture open.
    std::optional<platform::Rect> brushPreviewLayer;

    // ---- structure and selection
    // The tracking area over the bounds (entered/exited, moved, cursor update, key window).
    void updateTrackingAreas() override;
    // The container draws nothing of its own; the nests and the overlay draw themselves.
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;
    bool acceptsFirstResponder() const override { return true; }
    // Marks the container and the selection overlay for display.
    void markForDisplay();

    // Leaves pen mode; a path in progress ends as a double-click ends it (one undo step).
    void beforeAction();
    // Deselects every box, ends text editing, resets the gesture's box and handle, hides the
    // hint bubble and redraws.
    void removeAllSelection();
    // Even-odd crossing test of p against the four points pts[0..3], over the edges (q3,q0),
    // (q0,q1), (q1,q2), (q2,q3); a point exactly on an edge gets no special treatment.
    static bool isPointinPolygon(const platform::Point& p, const platform::Point* pts);
    static bool isBaseEditing(const MyViewBase& box);

    // ---- creation: one undo step each, the new box on top and selected alone. Nothing
    // happens (with a log line) while the canvas has no working picture.
    void newTextBox();
    // A picture box of the picture, reduced to fit three quarters of the working picture.
    void newImageBox(const platform::Image& picture);
    // A shape of type t, centred, a fifth of the working picture's shorter side; type 15
    // (free pen path) only enters pen mode.
    void newShapeBox(int type);

    // The picture as the creation and replacement code reads it: its bitmap at its point size
    // as a filter image.
    static platform::FilterImage pictureSource(const platform::Image& picture);
    // The picture scaled by s and cropped to (floor(w') - 1) x (floor(h') - 1) of the scaled
    // extent (never below 1 x 1), only when 0 < s < 1; otherwise the picture as it is.
    static platform::FilterImage reducedPicture(const platform::FilterImage& picture, float s);

    // ---- hints: kinds 0 to 4 set the bubble's text, line count and frame; every kind
    // shows it. pt and str serve kind 2 only (a live value beside a container point).
    void showAlert(int kind, const platform::Point& pt, const QString& str);
    void hideAlert();
    // The canvas's zoom, taken as 1 when it is not finite or not positive.
    double zoomScale() const;

    // ---- gestures (the press, drag and release live with the gesture code)
    void mouseDownAtTextBox(const platform::Point& point, const platform::Event& event) override;
    // What a press at p would do, decided without changing anything, so that the pointer's
    // hover can predict it. Selected boxes are searched from the top (points, outline insertion,
    // warp grips, curve handles, handles), then every box's body from the top.
    struct PressHit {
        enum class Kind {
            Empty, // empty space: rubber band
            Body, // inside a box: move (box is the topmost one hit)
            EditedBody, // inside a selected box being edited: the box keeps the click
            ShapePoint, // a shape's control point (sub)
            TogglePoint, // a double-click on a curve or pen path point (sub)
            ShapeInsert, // a new shape point at sub on the outline, at unit
            Grip, // a warp grip: code 5 vertical, 6 horizontal
            CurveHandle, // a curve handle (sub)
            CurveInsert, // a new curve point at sub, at unit
            Handle, // handle sub: code 3, or 4 with Command
        };
        Kind kind = Kind::Empty;
        int code = 0; // the gesture code the press sets
        int box = -1; // index in textViewAry
        int sub = -1;
        platform::Point unit; // unit-box point of an insertion
    };
    PressHit pressHitTest(const platform::Point& p, unsigned modifierFlags, int clickCount) const;
    // The box of the gesture under way: expandingId's box while it is in range and still the
    // box the gesture began on; null otherwise (the gesture must end).
    MyViewBase* gestureBox() const;
    // Starts a free pen path at p: the first press in pen mode.
    void startPenPath(const platform::Point& p);
    // Ends the pen path in progress as a double-click does: the point following the pointer
    // goes, drawing stops, pen mode ends and the hint hides. A path left with fewer than two
    // points is removed. With logStep the path's undo step is registered.
    void endPenPath(bool logStep);

    // ---- colour removal (TextViewContainerColourRemoval.cpp)
    // Enters the mode when exactly one box is selected besides text boxes and it is a picture
    // box holding a picture; that box starts editing (drawn flat, no handles). Answers whether
    // the mode started, so that the window's toggle and hint can go back when it did not.
    bool instantAlpha();
    // Leaves the mode: an open gesture is closed (preview gone, its undo step registered), the
    // box stops editing if it is still there, the hint hides and the window's toggle goes off.
    void cancelInstantAlpha();
    // A press in the mode. Inside the chosen box it opens a gesture (before-snapshot, first fill
    // at tolerance 1) and answers true; outside it ends the mode and answers false, and the
    // press goes on as an ordinary one.
    bool instantAlphaPress(const platform::Point& p);
    // A drag of an open gesture: tolerance := distance from the press; refills from the
    // picture of the press.
    void instantAlphaDrag(const platform::Point& p);
    // The release: the gesture becomes one undo step.
    void instantAlphaRelease();
    // What colour removal fills with: ColourRemoval::fill, unless a test puts a double there.
    using ColourFillFunction
        = std::function<std::optional<platform::Image>(const platform::Image&, int, int, double)>;
    void setColourFill(ColourFillFunction fill) { m_colourFill = std::move(fill); }
    // A box starting (edit) or ending editing: a warped box animates to its flat form and back.
    void AnimateBox(MyViewBase& box, bool edit);
    bool mouseDown(const platform::Event& event) override;
    bool mouseDragged(const platform::Event& event) override;
    bool mouseUp(const platform::Event& event) override;

    // ---- right click, hover and cursor (TextViewContainerHover.cpp)
    // Removes the curve or pen path point, or the inner curve handle, under p (within 7), from
    // the top box down; only what the overlay shows can go, and a path of two points or fewer
    // keeps them. One undo step; answers whether something went.
    bool removePointAt(const platform::Point& p);
    bool rightMouseDown(const platform::Event& event) override;
    // What the pointer at p announces. Outside colour removal and pen mode it is what a press
    // there would do (the press's own hit test). TextView leaves the cursor to edited text.
    enum class HoverCursor { Arrow, Crosshair, Resize, Rotate, TextView };
    HoverCursor hoverCursorAt(const platform::Point& p, unsigned modifierFlags) const;
    static QCursor cursorFor(HoverCursor kind);
    // Sets the hover cursor; in pen mode the path's last point follows the pointer.
    bool mouseMoved(const platform::Event& event) override;
    // The cursor of a running gesture: pen, rotate, resize; else the inherited behaviour.
    bool cursorUpdate(const platform::Event& event) override;
    // The rotation cursor, drawn here; hot spot (8, 10).
    static QCursor rotateCursor();
    // ---- the drag and the release (TextViewContainerDrag.cpp, TextViewContainerRelease.cpp)
    // One drag step of the gesture the press started: it changes live state only (frames,
    // angles, warp values, points) and marks the old and new coverage of what changed. The press
    // sends it too, for a grip or a new curve point, so that they follow the pointer at once.
    void mouseDragged_temp(const platform::Event& event);
    // Ends the gesture: its undo step, the inspector's refresh, a second click's editing, hints,
    // the pen's next point or its close; the container is idle afterwards.
    void mouseUp_temp(const platform::Event& event);
    // Marks what the box shows (its nest's shadow, border and warped picture included) and its
    // selection feedback in the overlay for display: before and after a change, this is all a
    // gesture on one box has to redraw.
    void markBoxCoverage(const MyViewBase& box);

    // ---- warp capture (TextViewContainerWarp.cpp)
    // The warped picture of a box (the warp capture its nests ask for): the flat box captured at
    // most 1500 px a side, then bent.
    platform::Image image_curved_perspectived(
        MyViewBase& box, platform::View& wrapper, float fVal, platform::Rect& rtImage) override;
    // The same, drawing the flat box only when kept does not hold its picture already.
    platform::Image warpKeepingFlat(MyViewBase& box, platform::View& wrapper, float fVal,
        platform::Rect& rtImage, FlatCapture& kept) override;
    // What the capture hands its flat picture to: WarpRenderer::perspectiveCurved, unless a
    // test puts a recording double in its place.
    using WarpFunction = std::function<std::optional<WarpRenderer::Result>(
        const platform::Image&, const std::vector<platform::Point>&, double, double)>;
    void setWarpRenderer(WarpFunction warp) { m_warpRenderer = std::move(warp); }

    // ---- snapshots and undo
    // The layer's snapshot: every box's record in stacking order. Changes nothing.
    ContainerSnapshot containerSnapshot() const;
    // Starts a change: undoData := containerSnapshot(). Inside a change run whose step is still
    // the newest, no snapshot is taken: the run's first step already goes back to its start.
    void prepUndoData() override;
    // Ends a change: registers one step restoring undoData, redraws. No rebuild, no delegate
    // call. Nothing is registered without a before-snapshot or when the layer's snapshot
    // equals it (a change that changed nothing). Inside a change run, only its first change
    // registers.
    void logUndoData() override;
    // Drops the before-snapshot of a change that changed nothing (UndoStep's destructor).
    void discardUndoData();
    // A change run: the changes a drag of one control or one held key makes, taken back by one
    // undo step. key names the run (the control); a run ends at endChangeRun, and another
    // run, an undo or any other step ends its folding too.
    void beginChangeRun(const void* key);
    void endChangeRun();
    // Takes back the endChangeRun of run key when nothing has happened since; false otherwise.
    bool resumeChangeRun(const void* key);
    const void* changeRunKey() const { return m_changeRunKey; }
    void logUndoDataForRun(const void* runKey) override;
    bool canFoldChange(const void* runKey) const override;
    void foldedChange() override;
    // The undo and redo action: keeps the layer on screen as the opposite step, rebuilds from
    // the snapshot, registers the opposite step, redraws and tells the delegate once.
    void applyRestoreForUndoData(const ContainerSnapshot& snapshot);
    // Replaces every box by the snapshot's records (unknown kinds skipped with a log line).
    // Ends a pen path, colour removal and a drag first, since their views go. A box whose record
    // equals the one of the box it replaces keeps that box's warped picture. No redraw, no
    // delegate call. Used on undo, redo and when a document opens.
    void applyUndoData(const ContainerSnapshot& snapshot);

    // ---- change messages (TextViewContainerMessages.cpp): one undo step over the selected
    // boxes of the right kind, registered only when a box changed; always a redraw.
    void backgroundColorChanged(const SZGradient& fill);
    void borderColorChanged(const SZGradient& fill);
    void strokeColorChanged(const SZGradient& fill);
    void overlayColorChanged(const SZGradient& fill);
    void shadowColorChanged(const std::optional<platform::Color>& color);
    void shadowAngleChanged(int value);
    void shadowBlurChanged(int value);
    void shadowOffsetChanged(int value);
    void innerShadowColorChanged(const std::optional<platform::Color>& color);
    void innerShadowAngleChanged(int value);
    void innerShadowBlurChanged(int value);
    void innerShadowOffsetChanged(int value);
    void boxShadowColorChanged(const std::optional<platform::Color>& color);
    void boxShadowAngleChanged(int value);
    void boxShadowBlurChanged(int value);
    void boxShadowOffsetChanged(int value);
    void borderSizeChanged(int value);
    void strokeSizeChanged(int value);
    void textboxOpacityChanged(double value);
    void textboxAngleChanged(double value);
    void imageboxSaturationChanged(double value);
    void startPointChanged(qint64 headType);
    void endPointChanged(qint64 headType);
    void curvesChanged(double value);
    void perspectiveChanged(double value);

    // ---- arrangement, frame and keys (TextViewContainerArrangement.cpp)
    void selectAll();
    int GetSelectedBoxCount() const;
    // The first selected picture box's picture after saturation; null when none is selected.
    platform::FilterImage GetSelectedImageBoxImage() const;
    // What the selection holds, by kind, for the inspector's layout.
    struct SelectedBoxStates {
        int texts = 0;
        int images = 0;
        int shapes = 0;
        bool bLine = false; // a selected shape is a line or an open path
        bool bRoundRect = false; // a selected shape has adjustable corners
        int total() const { return texts + images + shapes; }
        bool operator==(const SelectedBoxStates&) const = default;
    };
    SelectedBoxStates boxSelectedStates() const;
    void deleteKeyClicked();
    bool canBringForward() const;
    bool canSendBackward() const;
    void bringForward();
    void bringToFront();
    void sendBackward();
    void sendToBack();
    platform::Rect frameChanged(qint64 value, qint64 tag, bool lock);
    void roundRectChanged(qint64 radius, qint64 tag, bool lock);
    void MoveTextBoxwithKey(int key, bool bShifted);
    // Presses outside the picture do not reach the layer: a box moved wholly past its edge
    // could not be picked up again. A move of the selected boxes by delta from frames (their
    // frames before it, by index) is held so that each keeps kGrabMargin screen pixels of
    // itself inside the picture (half of itself where it is smaller); a box already further
    // out may come back, not go further.
    static constexpr double kGrabMargin = 20.0;
    platform::Point heldMove(
        const std::vector<platform::Rect>& frames, platform::Point delta) const;
    void replaceImage(const platform::Image& picture);

    // ---- copy and paste of whole boxes (TextViewContainerArrangement.cpp)
    // Fresh records of the selected boxes, back to front.
    std::vector<UNDODATA> selectedRecords() const;
    // Adds a box per record on top, in order, and selects those alone, as one undo step; text
    // editing ends. A record that fails validation or is of an unknown kind is skipped with a
    // log line and the others still arrive; when none arrives, nothing changes and no step is
    // taken. Answers how many boxes came.
    int pasteRecords(const std::vector<UNDODATA>& records);
    // The Option-press duplicate: the selection pasted exactly over itself. What the user
    // copied stays on the clipboard.
    void duplicateSelection();

protected:
    // Leaves out the nests the last drawRect found wholly hidden under opaque boxes above them.
    bool drawsSubview(const platform::View& subview) const override;

private:
    // ---- what the pass being drawn leaves out (TextViewContainerOcclusion.cpp)
    // A box layer of thousands of overlapping boxes costs every one of them on every frame
    // though the top few hide the rest: the nests whose drawing (shadow included) lies wholly
    // under the opaque fills of shapes above them, within what this pass draws, are found
    // once per pass (sorted) and left out.
    void findHiddenNests(platform::GraphicsContext& ctx);
    std::vector<const platform::View*> m_hiddenNests;

    // ---- structure (TextViewContainer.cpp)
    // Builds the nest of box's kind, adds it as the top subview and appends the box.
    MyViewBase* addBoxNest(std::unique_ptr<MyViewBase> box);
    // The subview holding box (its perspective view), or null.
    static platform::View* nestOf(MyViewBase& box);
    // Removes every nest and adds them again in textViewAry order.
    void restackNests();
    // The start of every creation: the working picture's size (nothing, logged, when there is
    // none to create on), the before-snapshot, the selection cleared.
    std::optional<platform::Size> beginCreation(const char* what);
    // The end of every creation: the new box selected alone on top in its nest, the window told,
    // the step logged, the layer redrawn.
    MyViewBase* finishCreation(std::unique_ptr<MyViewBase> created);
    // A box leaving editing (the edit animation takes over this hook).
    void leaveEditing(MyViewBase& box);

    // ---- colour removal (TextViewContainerColourRemoval.cpp)
    // The chosen picture box of the mode, or null when expandingSubId names none.
    MyImageView* instantAlphaBox() const;
    // One fill of the open gesture from imgInstantAlpha at instantSize into the box.
    void instantAlphaRefill();
    // Closes an open gesture: preview gone, undo step registered.
    void closeInstantAlphaGesture();

    // ---- the press (TextViewContainerPress.cpp)
    // A press in pen mode: starts, extends, closes or (double-click) ends the path.
    void penPress(const platform::Point& p, int clickCount);
    // Carries out a hit on one box; answers false when the hit is stale (nothing done).
    bool startBoxGesture(const PressHit& hit, unsigned modifierFlags);

    // ---- the release (TextViewContainerRelease.cpp)
    // A move's end: one step when a frame changed, then the second click or the first-selection
    // hint.
    void moveRelease(const platform::Point& p);
    // A click in place on a selected box: the topmost selected text box under p opens for
    // typing, or a warped editable shape goes flat for point editing with its hint.
    void secondClick(const platform::Point& p);
    // The hint for a shape the press just selected: click again (warped) or how to edit it.
    void firstSelectionHint(const platform::Point& p);
    // A release in pen mode after a drag: the next point, or the path closes near its start.
    void penRelease(const platform::Point& p);
    // Closes the pen path on its first point, ends pen mode and registers the path's step.
    void closePenPath(MyShapeView& path);

    // ---- snapshots (TextViewContainerSnapshots.cpp)
    // logUndoData: whether a step was registered or the change folded into its run's step.
    bool logChange();
    // The registration half of logUndoData and of an undo: the step restoring before.
    void registerRestore(const ContainerSnapshot& before);
    // A box of the record's kind with its nest, or null for an unknown kind.
    MyViewBase* addBoxFromRecord(const UNDODATA& record);
    // Ends the pen path, colour removal and a drag, whose views a rebuild takes away.
    void endGesturesForRebuild();

    // ---- arrangement helpers (TextViewContainerArrangement.cpp)
    // Moves the box at index from to index to in textViewAry and restacks the nests.
    void moveBox(std::size_t from, std::size_t to);
    // ---- warp capture helper (TextViewContainerWarp.cpp): both captures; kept is null when
    // nothing is to be kept.
    platform::Image capturedAndBent(MyViewBase& box, platform::View& wrapper, float fVal,
        platform::Rect& rtImage, FlatCapture* kept);

    ContainerDelegate* m_delegate = nullptr;
    DocumentWindowRef* m_documentWindow = nullptr;
    ContainerCanvas* m_canvas = nullptr;
    platform::UndoManager* m_undoManager = nullptr;
    platform::UndoLifetime m_undoLife;
    const void* m_changeRunKey = nullptr;
    // The change under way folds into its run's step: no snapshot taken, nothing to register.
    bool m_foldingChange = false;
    // Where the change run's step goes back to, while that step is the newest: a run that ends
    // there again (a slider dragged away and back) takes its step back.
    std::optional<ContainerSnapshot> m_runStart;
    std::uint64_t m_trackingArea = 0;
    WarpFunction m_warpRenderer;
    ColourFillFunction m_colourFill;
};
