#pragma once
// The application's document controller: every picture the user chooses or opens becomes a new
// ColorDocument, and the welcome window shows exactly while no document is open (unless the
// user asked for it to stay hidden: "HideWelcomeWindow").
//
// With the welcome window hidden there is nothing left on screen once the last document closes;
// the controller then asks the application to quit (noWindowLeft).
#include "app/WelcomeWindowPort.h"
#include "platform/document/DocumentController.h"

class ColorDocument;

class ColorDocumentController : public platform::DocumentController {
    Q_OBJECT
public:
    static const QStringList kPictureTypes; // png, jpg, jpeg, tif, tiff

    explicit ColorDocumentController(WelcomeWindowPort& welcome, QObject* parent = nullptr);

    // The welcome-window rule, applied whenever the set of documents changes.
    void processOpenDocuments();

signals:
    void noWindowLeft();
    // A document's window has loaded its picture (the application gives it its menu).
    void documentWindowReady(ColorDocument* document);

protected:
    std::unique_ptr<platform::Document> makeDocument() override;
    // "Select image file"; cancelling makes nothing and reports nothing.
    std::unique_ptr<platform::Document> makeUntitledDocument(
        std::optional<platform::DocumentError>* error) override;
    std::unique_ptr<platform::Document> makeDocumentFromPicture(const QByteArray& bytes,
        const QString& path, std::optional<platform::DocumentError>* error) override;
    platform::OpenPanelRequest openPanelRequest() const override;
    void documentAdded(platform::Document* document) override;
    void documentRemoved(platform::Document* document) override;

private:
    WelcomeWindowPort& m_welcome;
};
