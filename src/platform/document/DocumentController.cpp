#include "platform/document/DocumentController.h"

#include "platform/archive/ArchiveFormat.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/BackgroundWait.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace platform {

namespace {

// The first bytes of every archive: the self-describe tag, then our archive tag in its four-byte
// CBOR form.
QByteArray archiveHeader()
{
    static_assert(archiveformat::kTagSelfDescribe == 55799);
    static_assert(archiveformat::kTagArchive > 0xffff && archiveformat::kTagArchive <= 0xffffffff);
    const auto tag = archiveformat::kTagArchive;
    const char bytes[] = { char(0xd9), char(0xd9), char(0xf7), char(0xda), char((tag >> 24) & 0xff),
        char((tag >> 16) & 0xff), char((tag >> 8) & 0xff), char(tag & 0xff) };
    return QByteArray(bytes, sizeof bytes);
}

// The same file however it is named: links resolved where the file exists.
QString fileIdentity(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

void showError(const DocumentError& error)
{
    AlertPresenter::current().runModal(AlertStyle::Critical, error.message());
}

} // namespace

DocumentController::DocumentController(QObject* parent)
    : QObject(parent)
{
}

DocumentController::~DocumentController() = default;

DocumentKind DocumentController::kindOfData(const QByteArray& leadingBytes)
{
    return leadingBytes.startsWith(archiveHeader()) ? DocumentKind::Document
                                                    : DocumentKind::Picture;
}

DocumentKind DocumentController::kindOfFile(const QString& path)
{
    // Never a pipe or a device, whose open or read could wait forever: they are refused
    // when read as a picture.
    QFile file;
    if (Document::openRegularFile(file, path))
        return DocumentKind::Picture;
    return kindOfData(file.read(archiveHeader().size()));
}

std::vector<Document*> DocumentController::documents() const
{
    std::vector<Document*> list;
    for (const auto& document : m_documents)
        list.push_back(document.get());
    return list;
}

Document* DocumentController::currentDocument() const
{
    return documentForWindow(QApplication::activeWindow());
}

Document* DocumentController::documentForWindow(const QWidget* window) const
{
    if (!window)
        return nullptr;
    for (const auto& document : m_documents) {
        const QWidget* own = document->window();
        if (own && (own == window || own->window() == window->window()))
            return document.get();
    }
    return nullptr;
}

Document* DocumentController::documentForFile(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    const QString wanted = fileIdentity(path);
    for (const auto& document : m_documents)
        if (!document->filePath().isEmpty() && fileIdentity(document->filePath()) == wanted)
            return document.get();
    return nullptr;
}

Document* DocumentController::newDocument()
{
    std::optional<DocumentError> error;
    std::unique_ptr<Document> document = makeUntitledDocument(&error);
    if (!document) {
        if (error)
            showError(*error);
        return nullptr;
    }
    return addDocument(std::move(document));
}

Document* DocumentController::openDocument(QWidget* window)
{
    OpenPanelRequest request = openPanelRequest();
    request.window = window;
    const std::optional<QString> path = PanelPresenter::chooseFileToOpen(request);
    if (!path)
        return nullptr;
    const OpenResult result = openDocumentWithContentsOfFile(*path);
    if (result.error)
        showError(*result.error);
    return result.document;
}

DocumentController::OpenResult DocumentController::openDocumentWithContentsOfFile(
    const QString& path)
{
    OpenResult result;
    if (Document* open = documentForFile(path)) {
        result.document = open;
        result.alreadyOpen = true;
        return result;
    }
    // One progress window for the file's reading and its picture's decoding; a cancelled
    // opening reports nothing.
    const BackgroundWait::Session waiting(Document::openingLabel(path));
    std::unique_ptr<Document> document;
    if (kindOfFile(path) == DocumentKind::Document) {
        document = makeDocument();
        if (auto error = document->readFromFile(path)) {
            if (!error->isCancellation())
                result.error = error;
            return result;
        }
    } else {
        auto bytes = Document::readFileBytesWaiting(path);
        if (auto* error = std::get_if<DocumentError>(&bytes)) {
            if (!error->isCancellation())
                result.error = *error;
            return result;
        }
        document = makeDocumentFromPicture(std::get<QByteArray>(bytes), path, &result.error);
        if (!document) {
            if (result.error && result.error->isCancellation())
                result.error.reset();
            else if (result.error)
                result.error = result.error->refusingFile(path);
            return result;
        }
    }
    result.document = addDocument(std::move(document));
    return result;
}

Document* DocumentController::addDocument(std::unique_ptr<Document> document)
{
    if (!document)
        return nullptr;
    Document* added = document.get();
    m_documents.push_back(std::move(document));
    connect(added, &Document::aboutToClose, this, [this, added] { removeDocument(added); });
    documentAdded(added);
    emit documentsChanged();
    return added;
}

void DocumentController::removeDocument(Document* document)
{
    auto it = std::find_if(m_documents.begin(), m_documents.end(),
        [&](const auto& owned) { return owned.get() == document; });
    if (it == m_documents.end())
        return;
    std::unique_ptr<Document> leaving = std::move(*it);
    m_documents.erase(it);
    disconnect(leaving.get(), nullptr, this, nullptr);
    documentRemoved(leaving.get());
    emit documentsChanged();
    leaving.release()->deleteLater();
}

bool DocumentController::closeAllDocuments()
{
    for (Document* document : documents()) {
        if (!document->canClose())
            return false;
        document->close();
    }
    return true;
}

std::unique_ptr<Document> DocumentController::makeDocument()
{
    return std::make_unique<Document>();
}

std::unique_ptr<Document> DocumentController::makeUntitledDocument(std::optional<DocumentError>*)
{
    return makeDocument();
}

std::unique_ptr<Document> DocumentController::makeDocumentFromPicture(
    const QByteArray&, const QString&, std::optional<DocumentError>* error)
{
    if (error)
        *error = DocumentError { kDocumentErrorDomain, 3,
            QStringLiteral("This kind of file can\u2019t be opened.") };
    return nullptr;
}

OpenPanelRequest DocumentController::openPanelRequest() const
{
    OpenPanelRequest request;
    request.title = QStringLiteral("Open");
    return request;
}

} // namespace platform
