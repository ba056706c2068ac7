#include "app/ColorDocumentController.h"

#include "app/ColorDocument.h"
#include "foundation/SharedFunctions.h"
#include "platform/document/BackgroundWait.h"

const QStringList ColorDocumentController::kPictureTypes = { QStringLiteral("png"),
    QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("tif"), QStringLiteral("tiff") };

ColorDocumentController::ColorDocumentController(WelcomeWindowPort& welcome, QObject* parent)
    : platform::DocumentController(parent)
    , m_welcome(welcome)
{
}

void ColorDocumentController::processOpenDocuments()
{
    if (!documents().empty()) {
        m_welcome.orderOut();
        return;
    }
    if (ShouldShowWelcomeWindow())
        m_welcome.makeKeyAndOrderFront();
    else if (!m_welcome.isVisible())
        emit noWindowLeft();
}

std::unique_ptr<platform::Document> ColorDocumentController::makeDocument()
{
    return std::make_unique<ColorDocument>();
}

std::unique_ptr<platform::Document> ColorDocumentController::makeUntitledDocument(
    std::optional<platform::DocumentError>* error)
{
    platform::OpenPanelRequest request;
    request.title = QStringLiteral("Select image file");
    request.allowedSuffixes = kPictureTypes;
    const std::optional<QString> path = platform::PanelPresenter::chooseFileToOpen(request);
    if (!path)
        return nullptr;
    // Read and decoded off the main thread, under one progress window; a cancelled opening
    // reports nothing.
    const platform::BackgroundWait::Session waiting(platform::Document::openingLabel(*path));
    auto bytes = platform::Document::readFileBytesWaiting(*path);
    if (auto* failed = std::get_if<platform::DocumentError>(&bytes)) {
        if (error && !failed->isCancellation())
            *error = *failed;
        return nullptr;
    }
    auto document = ColorDocument::fromPicture(std::get<QByteArray>(bytes), error, *path);
    if (!document && error && *error)
        *error = (*error)->isCancellation() ? std::optional<platform::DocumentError>()
                                            : (*error)->refusingFile(*path);
    return document;
}

std::unique_ptr<platform::Document> ColorDocumentController::makeDocumentFromPicture(
    const QByteArray& bytes, const QString& path, std::optional<platform::DocumentError>* error)
{
    return ColorDocument::fromPicture(bytes, error, path);
}

platform::OpenPanelRequest ColorDocumentController::openPanelRequest() const
{
    platform::OpenPanelRequest request;
    request.title = QStringLiteral("Open");
    request.allowedSuffixes = QStringList { QStringLiteral("quillmark") } + kPictureTypes;
    return request;
}

void ColorDocumentController::documentAdded(platform::Document* document)
{
    auto* color = qobject_cast<ColorDocument*>(document);
    if (color && color->makeWindowAndLoad())
        emit documentWindowReady(color);
    processOpenDocuments();
}

void ColorDocumentController::documentRemoved(platform::Document*)
{
    processOpenDocuments();
}
