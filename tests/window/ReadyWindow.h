#pragma once
// A document window with its own history, showing a one-colour picture, set up as the document
// sets it up: rendering held back, the picture loaded, then windowReady().
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "container/TextViewContainer.h"
#include "platform/document/NotificationCenter.h"
#include "platform/undo/UndoManager.h"
#include "window/DocumentWindow.h"

#include <QImage>

namespace windowtest {

inline platform::Image solidPicture(int w, int h, QColor colour)
{
    QImage pixels(w, h, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(colour);
    return platform::Image::fromQImage(pixels);
}

struct ReadyWindow {
    platform::UndoManager undo;
    DocumentWindow win { undo };
    const DocumentWindowOutlets& o = win.outlets();

    explicit ReadyWindow(bool shown = false,
        const platform::Image& picture = solidPicture(400, 300, QColor(200, 30, 40)))
    {
        win.resize(1000, 700);
        if (shown)
            win.show();
        canvas()->setSupressRendering(true);
        canvas()->setCanvasWindow(&win);
        canvas()->loadImage(picture);
        win.setOriginalImage(picture);
        win.windowReady();
    }
    canvas::CanvasControls* canvas() const { return win.canvasControls(); }
    TextViewContainer& boxes() const { return *canvas()->textViewContainer(); }
    canvas::CanvasCustomShapeControls& brush() const
    {
        return dynamic_cast<canvas::CanvasCustomShapeControls&>(*canvas()->controls());
    }
    // A pinch notification, posted by this window's canvas unless another object is named.
    void pinch(const QString& name, double delta, const void* object = nullptr)
    {
        platform::NotificationCenter::defaultCenter().post(name,
            object ? object : static_cast<const platform::View*>(canvas()),
            { { QStringLiteral("delta"), delta } });
    }
};

} // namespace windowtest
