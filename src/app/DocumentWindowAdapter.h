#pragma once
// The document's side of the document window: loads the picture into the window's canvas,
// restores and captures what the document file keeps, composes the export, and routes the
// window's own document commands (the share menu's save and export, closing) back to the
// document through handlers the application sets.
//
// Main thread only.
#include "app/DocumentWindowPort.h"
#include "platform/imaging/FilterImage.h"

#include <QImage>
#include <functional>
#include <memory>

class DocumentWindow;

class DocumentWindowAdapter final : public DocumentWindowPort {
public:
    explicit DocumentWindowAdapter(platform::UndoManager& undo);
    ~DocumentWindowAdapter() override;

    DocumentWindow& window() const { return *m_window; }

    QWidget* widget() override;
    bool loadPicture(const platform::Image& picture, const QByteArray& bytes) override;
    void applyContents(const DocumentContents& contents) override;
    DocumentContents captureContents() const override;
    std::size_t boxCount() const override;
    QImage composeImage(QSize pixelSize) const override;
    bool composeStripes(
        QSize pixelSize, const std::function<bool(const QImage& stripe)>& sink) const override;
    QSize pictureSize() const override;
    void requestSaturation() override;
    void setDocumentCommands(const DocumentCommands& commands) override;
    bool handlesEditCommands() const override { return true; }
    bool validateCommand(AppCommand command) const override;
    void performCommand(AppCommand command) override;

    // The brush mask between the canvas's accumulator and the file's 16-bit picture (top row
    // first, premultiplied). Null in, null out.
    static QImage maskToImage(const platform::FilterImage& mask);
    static platform::FilterImage maskFromImage(const QImage& image);

private:
    std::unique_ptr<DocumentWindow> m_window;
};
