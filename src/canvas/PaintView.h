#pragma once
// The transparent view laid over the picture in brush mode, on which the user paints the mask
// with a soft round brush: white dabs bring the picture in front of the boxes, the eraser
// paints black. The mask is kept in an accumulator of at most 512 pixels on its longer side,
// in the coordinates of the picture itself (dabs are mapped back through the canvas's zoom,
// offset and straightening); after every dab the canvas gets the whole accumulated mask at
// working size, with the rectangle of the shown picture that changed. While the brush is active
// (the pointer inside or the button down, and no sheet over the window) the pointer is hidden and a
// white circle of the brush size follows it.
#include "platform/imaging/ImageAccumulator.h"
#include "platform/ui/View.h"

#include <QPointer>
#include <memory>
#include <optional>

class QWidget;

namespace canvas {

class PaintCanvas;
class PaintView;

class PaintViewDelegate {
public:
    virtual ~PaintViewDelegate() = default;
    // The brush became active (outline shown, pointer hidden) or stopped being so.
    virtual void paintViewDrawingModeStarted(PaintView& view, bool active) = 0;
};

class PaintView : public platform::View {
public:
    // Posted (object: the paint view) when a stroke starts and when it ends.
    static const QString kStrokeStarted; // "PaintViewStrokeStarted"
    static const QString kStrokeCommitted; // "PaintViewStrokeCommited"
    // The mask's longer side in accumulator pixels, at most.
    static constexpr double kMaskSide = 512.0;
    // Window points between interpolated dabs of a drag, at most.
    static constexpr double kDabSpacing = 30.0;

    explicit PaintView(const platform::Rect& frame = platform::Rect());
    ~PaintView() override;

    void setCanvas(PaintCanvas* canvas) { m_canvas = canvas; }
    void setDelegate(PaintViewDelegate* delegate) { m_delegate = delegate; }

    // ---- brush. Non-finite values are ignored; size is clamped to [1, 10000] view points,
    // hardness and opacity to [0, 1]. An opacity of 0 paints at 0.0001, so that a dab keeps
    // some alpha.
    bool brushIsEraser() const { return m_eraser; }
    void setBrushIsEraser(bool eraser) { m_eraser = eraser; }
    double brushSize() const { return m_size; }
    void setBrushSize(double size);
    double brushHardness() const { return m_hardness; }
    void setBrushHardness(double hardness);
    double brushOpacity() const { return m_opacity; }
    void setBrushOpacity(double opacity);

    // ---- the mask
    // The accumulator's pixels (extent (0, 0, working size × mask scale)); null before it
    // exists.
    platform::FilterImage workingImage() const;
    // Replaces the accumulator by one holding image. A null or empty image gives a clear
    // accumulator of the standard size, so a document without a mask can still be painted.
    // The canvas gets the image as it is.
    void setWorkingImage(const platform::FilterImage& image);
    // Accumulator pixels per working-size point, at most 1.
    double maskScale() const { return m_scale; }
    // Sets the mask scale of the working image set just before, and hands the canvas the mask
    // at working size. A scale that is not finite, not in (0, 1], or does not match the
    // accumulator's extent (±1 px) resamples the mask into the standard accumulator.
    void setMaskScale(double scale);
    // The mask scale for a working size: 512 / the longer side, or 1 for smaller pictures.
    static double standardMaskScale(const platform::Size& working);

    // Creates the accumulator once the canvas has a picture and a zoom.
    void updateFrames();
    void setFrame(const platform::Rect& frame) override;
    void setFrameSize(const platform::Size& size) override;

    // ---- events (the canvas's controls object forwards them in brush mode)
    bool mouseDown(const platform::Event& event) override;
    bool mouseDragged(const platform::Event& event) override;
    bool mouseUp(const platform::Event& event) override;
    bool mouseMoved(const platform::Event& event) override;
    bool mouseEntered(const platform::Event& event) override;
    bool mouseExited(const platform::Event& event) override;
    void updateTrackingAreas() override;
    // A sheet began over the window or it resigned key: the brush stops until the pointer
    // comes back.
    void windowDidLoseFocus();
    void updateMouseState();

    // One dab at a window point.
    void drawLineAtPoint(const platform::Point& windowPoint);

    bool isBrushActive() const { return m_cursorHidden; }
    bool mouseInside() const { return m_mouseInside; }
    // The outline's centre in view coordinates, while it shows.
    std::optional<platform::Point> outlineCenter() const;

    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

private:
    platform::Point viewPoint(const platform::Point& windowPoint) const;
    // View points to accumulator pixels.
    double viewToMask() const;
    void installAccumulator(platform::ImageAccumulator accumulator, double scale);
    void handOverMask(const platform::Rect& dirtyInMask);
    bool sheetAttached() const;
    void connectHost();
    void updateOutline(const platform::Point& viewPoint);
    void showSizePreview();

    PaintCanvas* m_canvas = nullptr;
    PaintViewDelegate* m_delegate = nullptr;
    std::optional<platform::ImageAccumulator> m_accumulator;
    double m_scale = 1.0;
    // A working image too large for an accumulator, waiting for setMaskScale to resample it.
    platform::FilterImage m_pendingImage;
    bool m_eraser = false;
    double m_size = 30.0;
    double m_hardness = 0.5;
    double m_opacity = 1.0;
    bool m_mouseInside = false;
    bool m_mouseDown = false;
    bool m_cursorHidden = false;
    // The last pointer location seen (window points); none before the first move or press.
    std::optional<platform::Point> m_lastPoint;
    std::optional<platform::Point> m_outline; // view coordinates
    std::uint64_t m_trackingArea = 0;
    // Watches the host's window; lives as long as the view.
    std::unique_ptr<QObject> m_guard;
    QPointer<QWidget> m_connectedHost;
    QPointer<QWidget> m_sizePreview;
};

} // namespace canvas
