#pragma once
// The picture canvas with its filter chain, mask queue, export composition, tool controls
// object and undo, on top of the canvas view's layers, sizes and pointer routing.
//
// Every change of the chain's inputs goes through setValue(), which shows both layers again;
// the mask reaches the chain through the queue (drawn by the controls) or straight from the
// brush after each dab, when only the changed patch of the top layer renders again.
#include "canvas/CanvasBaseControls.h"
#include "canvas/CanvasExport.h"
#include "canvas/CanvasFilterChain.h"
#include "canvas/CanvasMaskQueue.h"
#include "canvas/CanvasUndo.h"
#include "canvas/CanvasView.h"

#include <QImage>
#include <functional>
#include <memory>

namespace canvas {

class CanvasControls : public CanvasView {
public:
    using ControlsFactory = std::function<std::unique_ptr<CanvasBaseControls>()>;

    explicit CanvasControls(const platform::Rect& frame = platform::Rect());
    ~CanvasControls() override;

    // ---- tool controls
    // A new factory makes a new controls object at once (the brush tool by default).
    void setControlsClass(ControlsFactory factory);
    CanvasBaseControls* controls() const { return m_controls.get(); }

    // ---- filter chain
    bool setValue(
        const platform::FilterValue& value, const QString& key, const QString& filterName);
    void setSaturation(double v) { m_chain.setSaturation(v); }
    void setBlurStrength(double v) { m_chain.setBlurStrength(v); }
    void setVignetteIntensity(double v) { m_chain.setVignetteIntensity(v); }
    void setScale(double v) { m_chain.setScale(v); }
    void setStraighten(double radians) { m_chain.setStraighten(radians); }
    void setOffset(const platform::Point& p) { m_chain.setOffset(p); }
    void setScaleStraightenOffset(double scale, double straighten, const platform::Point& offset)
    {
        m_chain.setScaleStraightenOffset(scale, straighten, offset);
    }
    void setFiltersEnabled(bool on) { m_chain.setFiltersEnabled(on); }
    void setMaskUpdatesLocked(bool on) { m_chain.setMaskUpdatesLocked(on); }
    void setSupressRendering(bool suppress);
    double saturation() const { return m_chain.saturation(); }
    double blurStrength() const { return m_chain.blurStrength(); }
    double vignetteIntensity() const { return m_chain.vignetteIntensity(); }
    double scale() const { return m_chain.scale(); }
    double straighten() const { return m_chain.straighten(); }
    platform::Point offset() const { return m_chain.offset(); }
    bool filtersEnabled() const { return m_chain.filtersEnabled(); }
    bool maskUpdatesLocked() const { return m_chain.maskUpdatesLocked(); }
    double outBlurStrength() const { return m_chain.outBlurStrength(); }
    platform::FilterImage produceImage(platform::FilterImage* backImage = nullptr) const
    {
        return m_chain.produceImage(backImage);
    }
    const CanvasFilterChain& filterChain() const { return m_chain; }
    platform::AffineTransform affineTransformForCustomDrawing() const override
    {
        return m_chain.pictureTransform();
    }

    // ---- mask
    void doRender() override;
    void invalidateMask() { m_maskQueue.invalidateMask(); }
    void setPrerenderedMask(
        const platform::FilterImage& mask, const platform::Rect& dirty) override;
    const platform::FilterImage& prerenderedMask() const { return m_maskQueue.prerenderedMask(); }
    const CanvasMaskQueue& maskQueue() const { return m_maskQueue; }

    // ---- export
    // The composition at the fitted whole-pixel size inside size; null without a picture or
    // for a size that is empty, not finite or too large (the caller reports it).
    QImage outputImageForSize(const platform::Size& size);
    // The same composition handed to sink stripe by stripe, top first, as it is made (a large
    // export is never held whole). False when there is nothing to compose, a render failed or
    // sink refused a stripe.
    bool outputStripesForSize(const platform::Size& size, const ExportSink& sink);
    // At the picture's own pixel size.
    QImage outputImage() { return outputImageForSize(targetImagePixelSize()); }

    // ---- undo
    void prepUndoData() override;
    void logUndoData() override;
    void applyRestoreForUndoData(const CanvasUndoData& target)
    {
        m_undo.applyRestoreForUndoData(target);
    }
    const CanvasUndo& canvasUndo() const { return m_undo; }

protected:
    void resetControls() override;
    void pictureDidLoad() override;
    ToolControls* toolControls() const override { return m_controls.get(); }
    void redMaskDidChange() override { m_maskQueue.reinstall(); }

private:
    CanvasMaskQueue::Source maskSource() const;
    void updateUndoManager();

    CanvasFilterChain m_chain;
    CanvasMaskQueue m_maskQueue;
    CanvasUndo m_undo;
    ControlsFactory m_controlsFactory;
    std::unique_ptr<CanvasBaseControls> m_controls;
    // Set while a dab's mask is installed: its rectangle, so only that patch renders.
    platform::Rect m_patchDirty = platform::Rect::null();
};

} // namespace canvas
