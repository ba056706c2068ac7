#pragma once
// The picture canvas of one document window, as a view: it holds the loaded picture's sizes,
// stacks the layer views that show it (the unmasked picture at the bottom, the box layer, the
// masked picture over the boxes, the selection overlay and the hint bubble on top), sizes them
// from the working size and the zoom, and routes pointer events to the tool controls object in
// brush mode and to the box layer otherwise. The filter chain, the mask queue, the export and
// the canvas undo are added by CanvasControls, through the protected hooks below.
//
// Coordinates: the canvas's frame is frameRect() in the document view; the layer views fill
// (0, 0, imageRect size) and carry the zoom as their unit scale, so their own coordinates are
// working-size points and the boxes never change their numbers when the zoom does.
#include "canvas/PaintCanvas.h"
#include "container/ContainerCanvas.h"
#include "platform/graphics/Image.h"
#include "platform/imaging/BackgroundRenderer.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewPointer.h"

#include <QObject>
#include <memory>

class TextViewContainer;
class SelectedTextBoxView;
class ContainerDelegate;

namespace canvas {

class CanvasPanning;
class CanvasWindow;
class PaintView;
class RenderView;

// The tool controls object's side of the pointer routing (the brush and its state).
class ToolControls {
public:
    virtual ~ToolControls() = default;
    virtual bool isPaintViewShowed() const = 0;
    virtual void mouseDownAt(const platform::Point& windowPoint, const platform::Event& event) = 0;
    virtual void mouseDraggedTo(const platform::Point& windowPoint, const platform::Event& event)
        = 0;
    virtual void mouseMovedTo(const platform::Point& windowPoint, const platform::Event& event) = 0;
    virtual void mouseUpAt(const platform::Point& windowPoint, const platform::Event& event) = 0;
    virtual void updateMouseState() = 0;
    virtual void updateFrame() = 0;
    virtual void gestureRotateWithDelta(double degrees, const platform::Event& event) = 0;
    virtual void gestureMagnify(double delta, const platform::Event& event) = 0;
};

class CanvasView : public platform::View, public ContainerCanvas, public PaintCanvas {
public:
    static constexpr unsigned kBackdropColor = 0x1E1E1E;

    explicit CanvasView(const platform::Rect& frame = platform::Rect());
    ~CanvasView() override;

    void setCanvasWindow(CanvasWindow* window);
    CanvasWindow* canvasWindow() const { return m_window; }
    QObject* guard() override { return &m_guard; }

    // ---- picture
    // Takes a new picture (a null one changes nothing): sizes, controls, layers, then
    // pictureDidLoad(). The working size is the decoded pixel size.
    void loadImage(const platform::Image& image);
    bool imageLoaded() const { return m_imageLoaded; }
    const platform::FilterImage& originalImage() const { return m_originalImage; }
    const platform::FilterImage& inputImage() const { return m_inputImage; }
    platform::Size targetImageSize() const { return m_targetImageSize; }
    platform::Size targetImagePixelSize() const { return m_targetImagePixelSize; }
    // The size the picture, the boxes and the mask are laid out in (zero before a picture);
    // ContainerCanvas's workingImageSize() gives nothing then.
    platform::Size workingSize() const override { return m_workingImageSize; }
    std::optional<platform::Size> workingImageSize() const override;
    bool supressRendering() const { return m_supressRendering; }
    void setSupressRendering(bool suppress);

    // ---- sizes and zoom
    platform::Rect imageRect() const override;
    platform::Rect frameRect() const;
    double getBestFitZoomScale() const;
    double customDrawingZoomScale() const override { return m_zoom; }
    // z is the zoom slider's value (0 = best fit, 1 = three times it). Answers false, and
    // changes nothing, for a value that is not finite or below 0, or a viewport too small to
    // fit into.
    bool setCustomDrawingZoomScale(double z);
    void setFrame(const platform::Rect& frame) override;
    void setFrameSize(const platform::Size& size) override;
    // The scroll view showed another part of the canvas: the layers render what is now
    // visible.
    void visibleAreaChanged();

    // ---- layers
    RenderView* backgroundView() const;
    TextViewContainer* textViewContainer() const;
    RenderView* renderView() const;
    SelectedTextBoxView* selectedView() const;
    MyInstantAlphaView* instantAlphaView() const;
    PaintView* paintView() const;
    // Installs the brush's paint view (the old one goes), above the layers so that its outline
    // shows over the picture; it fills the layers' rectangle.
    PaintView* installPaintView(std::unique_ptr<PaintView> view);
    // Shows new pictures in both layers: they render together off the main thread over the
    // visible area at the zoom and the screen's pixel ratio and replace the old pixels at once.
    void showLayers(const platform::FilterImage& back, const platform::FilterImage& top);
    // A dab changed the mask inside dirty (working size): only that part of the top layer
    // renders again.
    void showTopPatch(const platform::FilterImage& top, const platform::Rect& dirty);

    // ---- box requests from the window (each forwarded to the box layer)
    void newTextBox(ContainerDelegate* sender);
    void newImageBox(ContainerDelegate* sender, const platform::Image& image);
    void newShapeBox(ContainerDelegate* sender, int type);
    void replaceImage(const platform::Image& image);
    void removeAllTextBoxSelection();
    void instantAlpha();
    void redMaskChanged(long value);

    // The mask goes through the canvas's mask queue, which CanvasControls adds; a bare canvas
    // view shows no mask.
    void setPrerenderedMask(const platform::FilterImage& mask, const platform::Rect& dirty) override
    {
        (void)mask;
        (void)dirty;
    }

    // ---- pointer state
    bool mouseDown() const { return m_mouseDown; }
    bool mouseInside() const { return m_mouseInside; }
    // The middle button and Space with the left button drag the picture in its scroll view.
    const CanvasPanning& panning() const { return *m_panning; }

    // ---- ContainerCanvas
    platform::Rect visibleRect() const override;
    MyInstantAlphaView* hintBubble() const override { return instantAlphaView(); }
    const platform::View* canvasView() const override { return this; }

    // ---- events
    View* hitTest(const platform::Point& pointInSuperview) override;
    bool mouseDown(const platform::Event& event) override;
    bool mouseDragged(const platform::Event& event) override;
    bool mouseMoved(const platform::Event& event) override;
    bool mouseUp(const platform::Event& event) override;
    bool mouseEntered(const platform::Event& event) override;
    bool mouseExited(const platform::Event& event) override;
    bool scrollWheel(const platform::Event& event) override;
    bool rotateWithEvent(const platform::Event& event) override;
    bool magnifyWithEvent(const platform::Event& event) override;
    void updateTrackingAreas() override;
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

protected:
    // Renders the layers again (the filter chain and the mask queue); nothing here.
    virtual void doRender() { }
    // Makes a new tool controls object (and with it the paint view).
    virtual void resetControls() { }
    // The picture was taken in: the chain's inputs that follow from it.
    virtual void pictureDidLoad() { }
    // The current tool controls object, or null.
    virtual ToolControls* toolControls() const { return nullptr; }
    // The canvas undo bracket around a brush stroke.
    virtual void prepUndoData() { }
    virtual void logUndoData() { }
    // The red tint changed: the masked layer shows again.
    virtual void redMaskDidChange() { }

    // Builds the layer views (bottom to top) over imageRect.
    void setupImageView();

private:
    void layoutLayers(const platform::Size& size);
    // The working-size area worth rendering: the visible part of the picture and a margin.
    platform::Rect renderRegion() const;
    void renderLayers();
    // The first frame of a picture draws every box once: from loading until the picture's
    // first render is delivered (or fails, or kHoldLimitMs pass once rendering may run), the
    // canvas draws nothing (it still takes clicks and keys),
    // where it would otherwise draw its boxes over an empty picture and again as the picture
    // arrives.
    void holdUntilRendered();
    void limitHold();
    void endHold(std::uint64_t generation);
    static constexpr int kHoldLimitMs = 2000;
    void updateMouseState();
    void forwardToBoxes(
        bool (View::*handler)(const platform::Event&), const platform::Event& event);

    QObject m_guard;
    CanvasWindow* m_window = nullptr;
    bool m_imageLoaded = false;
    bool m_supressRendering = false;
    platform::FilterImage m_originalImage;
    platform::FilterImage m_inputImage;
    platform::Size m_targetImageSize;
    platform::Size m_targetImagePixelSize;
    platform::Size m_workingImageSize;
    double m_zoom = 0.0;
    bool m_mouseDown = false;
    bool m_mouseInside = false;
    bool m_forwarding = false; // an event is on its way to the box layer
    std::uint64_t m_trackingArea = 0;
    platform::ViewPointer m_backgroundView, m_textViewContainer, m_renderView, m_selectedView,
        m_instantAlphaView, m_paintView;
    std::unique_ptr<CanvasPanning> m_panning;
    // The layers' renders: both layers of the visible area in one request, newest wins.
    std::unique_ptr<platform::BackgroundRenderer> m_renderer;
    platform::Rect m_renderedRegion = platform::Rect::null(); // working size
    double m_renderedScale = 0.0; // output pixels per working point
    bool m_held = false;
    std::uint64_t m_holdGeneration = 0;
};

} // namespace canvas
