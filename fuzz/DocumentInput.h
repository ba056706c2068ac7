#pragma once
// What document_fuzz does with one input, shared with the regression test that replays the
// inputs kept in tests/data/regressions/document_fuzz: arbitrary bytes are opened as the
// application opens a document file. The file is read and validated and its picture decoded
// (ColorDocument), then it is shown in the real document window, offscreen, which restores the
// sliders, the mask and the boxes, renders both picture layers and paints its first frame. Any
// crash, hang, leak or undefined behaviour is a finding; what the file reads as is not checked.
// Needs a QApplication.
#include "app/ColorDocument.h"
#include "app/DocumentWindowAdapter.h"
#include "canvas/CanvasControls.h"
#include "canvas/RenderView.h"
#include "platform/document/AlertPresenter.h"
#include "window/DocumentWindow.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <memory>

namespace fuzzinput {

namespace detail {

// A document whose file is in memory.
class MemoryDocument final : public ColorDocument {
public:
    using ColorDocument::readFromData;
};

// A file the window cannot show raises an alert; nobody is there to dismiss it.
class SilentAlerts final : public platform::AlertPresenter {
public:
    void runModal(platform::AlertStyle, const QString&) override { }
};

// The real document window for the opening, and no alert dialogs; what was installed before
// comes back afterwards, so tests keep their own fakes.
class OpeningRig {
public:
    OpeningRig()
        : m_alerts(platform::AlertPresenter::install(std::make_shared<SilentAlerts>()))
        , m_factory(installDocumentWindowFactory([](platform::UndoManager& undo) {
            return std::make_unique<DocumentWindowAdapter>(undo);
        }))
    {
    }
    ~OpeningRig()
    {
        installDocumentWindowFactory(std::move(m_factory));
        platform::AlertPresenter::install(std::move(m_alerts));
    }
    OpeningRig(const OpeningRig&) = delete;
    OpeningRig& operator=(const OpeningRig&) = delete;

private:
    std::shared_ptr<platform::AlertPresenter> m_alerts;
    DocumentWindowFactory m_factory;
};

// The window's first frame: once both picture layers have arrived from their background render
// (or a render that failed has left them empty for this long), the whole window is painted.
// A slow paint is the finding, so the paint itself has no bound here: the fuzzer's -timeout
// reports it as a hang.
constexpr int kLayersWaitMs = 5000;

inline void paintFirstFrame(DocumentWindow& window)
{
    // The smallest window a person can make: the layers render only what shows, so runs stay
    // quick, and the canvas still fits the whole picture with its boxes.
    window.resize(window.minimumSize());
    window.show();
    const canvas::CanvasControls* canvas = window.canvasControls();
    const auto arrived = [canvas] {
        return !canvas
            || (!canvas->backgroundView()->renderedPixels().isNull()
                && !canvas->renderView()->renderedPixels().isNull());
    };
    const QDeadlineTimer deadline(kLayersWaitMs);
    while (!arrived() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.grab();
}

} // namespace detail

inline void openDocument(const QByteArray& bytes)
{
    detail::OpeningRig rig;
    {
        detail::MemoryDocument document;
        if (!document.readFromData(bytes) && document.makeWindowAndLoad()) {
            if (auto* port = dynamic_cast<DocumentWindowAdapter*>(document.windowPort()))
                detail::paintFirstFrame(port->window());
        }
    }
    // Views the window handed to deleteLater go now, not in some later input's turn.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace fuzzinput
