#pragma once
// The open documents of the application: making new ones, opening files (each file once),
// finding the current one, and closing them all on quit.
//
// A file is a document when it starts with our archive's header (the CBOR self-describe tag
// d9 d9 f7, then the archive tag); anything else is taken as a picture and opens as a new,
// untitled document made from its bytes.
//
// The controller owns its documents. A subclass says how documents are made (makeDocument,
// makeUntitledDocument, makeDocumentFromPicture) and reacts to the set changing
// (documentAdded, documentRemoved), as the application does to show or hide its welcome window.
//
// Main thread only.
#include "platform/document/Document.h"
#include "platform/document/PanelPresenter.h"

#include <QObject>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

enum class DocumentKind { Document, Picture };

class DocumentController : public QObject {
    Q_OBJECT
public:
    explicit DocumentController(QObject* parent = nullptr);
    ~DocumentController() override;

    static DocumentKind kindOfData(const QByteArray& leadingBytes);
    // Reads only the first bytes, of a regular file only; a file that cannot be read, or is no
    // regular file, is a picture (and is refused as one).
    static DocumentKind kindOfFile(const QString& path);

    // In the order they were added.
    std::vector<Document*> documents() const;
    // The document whose window is the active window, or null.
    Document* currentDocument() const;
    Document* documentForWindow(const QWidget* window) const;
    // The open document whose file is path (compared after resolving links and dots), or null.
    Document* documentForFile(const QString& path) const;

    // A new document (makeUntitledDocument); null when none was made. A failure is shown.
    Document* newDocument();
    // Asks for a file with the open panel and opens it; null when cancelled or failed (shown).
    Document* openDocument(QWidget* window = nullptr);

    struct OpenResult {
        Document* document = nullptr;
        bool alreadyOpen = false; // the document that already had this file
        std::optional<DocumentError> error;
    };
    // Opens the file at path, or answers the document that already has it. Reports nothing to
    // the user: the caller decides how to show an error, whose message names the file. The
    // file is read (and a picture decoded) off the main thread with the event loop turning,
    // and a progress window shows when that takes long; cancelled there, the result holds
    // neither a document nor an error.
    OpenResult openDocumentWithContentsOfFile(const QString& path);

    // Takes the document; it leaves again when it announces its close.
    Document* addDocument(std::unique_ptr<Document> document);
    // Lets go of the document (deleted at the next event loop turn, so a caller inside one of
    // its calls can return safely).
    void removeDocument(Document* document);

    // Asks about each edited document in turn and closes those allowed. False as soon as the
    // user cancels one (the rest stay open): quitting is then called off.
    bool closeAllDocuments();

signals:
    void documentsChanged();

protected:
    // An empty document of the application's class, to read a file into.
    virtual std::unique_ptr<Document> makeDocument();
    // What "New" makes. The default is an empty document.
    virtual std::unique_ptr<Document> makeUntitledDocument(std::optional<DocumentError>* error);
    // A new untitled document from the bytes of the picture file at path (which a refusal
    // names). The default refuses pictures. Heavy work in it (decoding) goes through
    // BackgroundWait, whose cancellation it answers with DocumentError::cancellation().
    virtual std::unique_ptr<Document> makeDocumentFromPicture(
        const QByteArray& bytes, const QString& path, std::optional<DocumentError>* error);
    // The open panel's title and file types.
    virtual OpenPanelRequest openPanelRequest() const;

    virtual void documentAdded(Document*) { }
    virtual void documentRemoved(Document*) { }

private:
    std::vector<std::unique_ptr<Document>> m_documents;
};

} // namespace platform
