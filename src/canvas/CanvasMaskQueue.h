#pragma once
// The mask's two roads to the chain's blend: a background render of what the tool controls
// draw, coalesced so that requests made while one runs cost exactly one more render; and a
// ready mask handed in by the brush after each dab, which bypasses the queue.
//
// Every installation (a prerendered mask, its removal, a new picture) starts a new
// generation; a background result installs only if no installation came after its start, so
// an old all-black mask can never land over newer dabs. The render's inputs are captured on
// the main thread before it starts; its result comes back on the main thread and is dropped
// once the queue is gone.
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"
#include "platform/imaging/FilterImage.h"

#include <QPainter>
#include <functional>
#include <memory>

namespace canvas {

class CanvasMaskQueue {
public:
    // Draws the mask in working coordinates (y-up) onto a black bitmap. Must not touch live
    // objects: it runs off the main thread.
    using MaskDrawing = std::function<void(QPainter&, const platform::Rect& bounds)>;
    struct Source {
        platform::Size working;
        // Pixels per working unit of the drawn bitmap, in (0, 1].
        double maskScale = 1;
        // Empty: the controls draw nothing, and the mask is constant black.
        MaskDrawing draw;
    };
    using SourceFn = std::function<Source()>;
    using Install = std::function<void(const platform::FilterImage&)>;

    // source is asked on the main thread when a render starts; install hands a mask to the
    // chain ("inputMaskImage" of the blend).
    CanvasMaskQueue(SourceFn source, Install install);
    ~CanvasMaskQueue();
    CanvasMaskQueue(const CanvasMaskQueue&) = delete;
    CanvasMaskQueue& operator=(const CanvasMaskQueue&) = delete;

    // A render request: merged into a running one, skipped while a prerendered mask rules.
    void invalidateMask();
    // A non-null mask is installed at once; null drops it and starts a background render.
    void setPrerenderedMask(const platform::FilterImage& mask);
    // Installs the current mask again (the red tint changed) without touching the queue.
    void reinstall();
    // A new picture: no mask, nothing pending, older results void.
    void pictureLoaded();

    bool busy() const { return m_busy; }
    bool needsRender() const { return m_needsRender; }
    quint64 generation() const { return m_generation; }
    const platform::FilterImage& prerenderedMask() const { return m_prerendered; }
    const platform::FilterImage& maskImage() const { return m_maskImage; }

    // Null for a non-positive or non-finite size; constant black when nothing is drawn; null
    // when the bitmap would be too large or cannot be allocated.
    static platform::FilterImage maskImageForSize(const Source& source);

private:
    void maskRenderThread();
    void finish(quint64 generation, const platform::FilterImage& mask);

    SourceFn m_source;
    Install m_install;
    platform::FilterImage m_prerendered;
    platform::FilterImage m_maskImage;
    bool m_busy = false;
    bool m_needsRender = false;
    quint64 m_generation = 0;
    // Deferred calls hold a weak view of this and run only while it lives.
    std::shared_ptr<char> m_alive = std::make_shared<char>();
};

} // namespace canvas
