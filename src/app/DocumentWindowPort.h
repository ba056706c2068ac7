#pragma once
// What a document needs of the window that shows it. The document window implements this; the
// application installs a factory for it at start-up, and tests install a fake.
//
// The document hands the window its own undo manager: every undo step the boxes and the canvas
// register goes there, so each document keeps its own history and edited state.
#include "app/AppMenus.h"
#include "app/DocumentFile.h"
#include "platform/graphics/Image.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>

namespace platform {
class SharingService;
class UndoManager;
} // namespace platform

// What the window's own controls ask of its document: the share menu's services and its two
// fixed items.
struct DocumentCommands {
    std::function<void()> saveDocument; // "Save Quillmark document"
    std::function<void()> exportImage; // "Export JPEG image"
    std::function<void(std::shared_ptr<platform::SharingService>)> share; // a service's item
};

class DocumentWindowPort {
public:
    virtual ~DocumentWindowPort() = default;

    // The top-level widget; the document's panels and alerts are modal to it.
    virtual QWidget* widget() = 0;
    // Shows a freshly decoded picture: the canvas loads it with rendering suppressed, the window
    // takes it as its original picture and finishes its set-up. bytes are the file's own, for
    // anything that needs them undecoded. False when the window cannot show it.
    virtual bool loadPicture(const platform::Image& picture, const QByteArray& bytes) = 0;
    // Restores a saved state in the file's order: preset, the picture sliders the file keeps
    // (their actions fire), the canvas's zoom, straightening and offset, the mask and then its
    // scale, and the boxes. Rendering stays suppressed until requestSaturation().
    virtual void applyContents(const DocumentContents& contents) = 0;
    // The live state to save: sliders, preset, mask and its scale, canvas settings, boxes.
    // imageData and preview are the document's to fill.
    virtual DocumentContents captureContents() const = 0;
    // How many boxes the window holds, known without capturing any of them.
    virtual std::size_t boxCount() const { return 0; }
    // The picture, the boxes and the masked picture composed to fit this pixel size (exactly
    // it when it has the picture's aspect); null when the size cannot be made.
    virtual QImage composeImage(QSize pixelSize) const = 0;
    // The same composition handed to sink in stripes of whole rows, top first, as it is made,
    // so that a large export need never be held whole. False when it could not be made or
    // sink refused a stripe. A window that composes only whole images hands over one stripe.
    virtual bool composeStripes(
        QSize pixelSize, const std::function<bool(const QImage& stripe)>& sink) const
    {
        const QImage whole = composeImage(pixelSize);
        return !whole.isNull() && sink(whole);
    }
    // The picture's pixel size (what an export is composed at).
    virtual QSize pictureSize() const = 0;
    // Turns rendering on and moves the saturation slider once, so the first render uses every
    // restored value.
    virtual void requestSaturation() = 0;
    // The document's answers to the window's own commands; a window without such controls
    // ignores them.
    virtual void setDocumentCommands(const DocumentCommands& commands) { (void)commands; }
    // The Edit and Arrange menus' commands on the window's boxes and history: whether the
    // window answers them at all, whether one can run now, and running it (which checks
    // again). A window that does not answer them leaves undo and redo to the document.
    virtual bool handlesEditCommands() const { return false; }
    virtual bool validateCommand(AppCommand command) const
    {
        (void)command;
        return false;
    }
    virtual void performCommand(AppCommand command) { (void)command; }
};

// Makes the window of a document; installed by the application (and by tests).
using DocumentWindowFactory
    = std::function<std::unique_ptr<DocumentWindowPort>(platform::UndoManager& undo)>;

// The factory in use; empty until the application or a test installs one.
const DocumentWindowFactory& documentWindowFactory();
// Returns the factory replaced, so that a test can put it back.
DocumentWindowFactory installDocumentWindowFactory(DocumentWindowFactory factory);
