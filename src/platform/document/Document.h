#pragma once
// One open document: where it lives on disk, its name, its undo history and whether it has
// unsaved changes; reading, saving and the "save changes?" question before it closes.
//
// A subclass supplies the contents: readFromData() takes a file's bytes, dataOfType() makes
// them. Everything else (file access, atomic writes, panels, alerts, the edited state) is here.
//
// The document is edited when its undo manager's change count differs from the count at the
// last successful read or save, and always while it has no file: a document never saved can
// only be kept by saving it.
//
// Saving is atomic (QSaveFile): a failed save leaves the previous file byte for byte, keeps the
// document edited, and tells the user where and why it failed. A save over the document's own
// file that another program changed since it was read or saved asks first (Save Anyway or
// Cancel), so that the other program's work is not replaced unseen.
//
// Main thread only.
#include "platform/document/DocumentError.h"
#include "platform/undo/UndoManager.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <optional>
#include <variant>

namespace platform {

class Document : public QObject {
    Q_OBJECT
public:
    // Files larger than this are refused before any byte is read.
    static constexpr qint64 kMaxFileBytes = qint64(1) << 30;

    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    // Absolute path of the document's file; empty while it has none.
    QString filePath() const { return m_filePath; }
    // The file's name without its suffix, or the draft name while there is no file.
    QString displayName() const;
    // The name of a document never saved; asked once, on first use, so a title never changes
    // under the user. A name already given to another draft in this run takes a counter
    // ("Untitled (2)"): see uniqueDraftName.
    virtual QString defaultDraftName() const;
    // name, or name with the lowest counter from 2 that no open document's draft name has;
    // the name is taken until its document goes.
    static QString uniqueDraftName(const QString& name);
    // The suffix save panels append ("quillmark"), without a dot.
    virtual QString fileSuffix() const;
    // The name of the file type save panels offer ("Quillmark document").
    virtual QString fileTypeName() const;

    UndoManager& undoManager() { return m_undo; }
    virtual bool isDocumentEdited() const;

    // The window that shows the document (the current document is the active window's owner);
    // panels and alerts are modal to it.
    QWidget* window() const { return m_window; }
    void setWindow(QWidget* window) { m_window = window; }

    // Reads the file through readFromData(). On success the document takes the path and is
    // clean; on failure nothing changes, and the error's message names the file. A read that
    // left content out (see readLeftContentOut) keeps the file's name but not its path.
    // The file's bytes are read off the main thread (readFileContents), with the event loop
    // turning and a progress window when it takes long (BackgroundWait); when the person
    // cancels there, the answer is DocumentError::cancellation() and nothing changes.
    std::optional<DocumentError> readFromFile(const QString& path);
    // Writes dataOfType() to path atomically. Changes neither the path nor the edited state.
    std::optional<DocumentError> writeToFile(const QString& path) const;

    // Saves to the document's file, or asks for one (as saveAs) when it has none. A failure is
    // shown to the user. When the file was changed by another program since it was read or
    // last saved, the person is asked first; Cancel writes nothing and answers false.
    // Returns true when the document was written.
    bool save();
    // Asks for a file, writes it and makes it the document's file. False when cancelled or
    // failed (failures are shown).
    bool saveAs();
    // Before closing: asks whether to save an edited document. True when it may close (saved,
    // or the user chose not to save); false when the user cancelled or saving failed.
    bool canClose();
    // Announces the close (aboutToClose); the controller then lets go of the document.
    void close();

    // A file's bytes, when it is a regular file of at most maxBytes. Anything else is refused
    // before a byte is read, with an error whose message names the file and says why (a named
    // pipe or a device could block the reader forever or never end; a file over the bound says
    // its size).
    // Read in parts: when cancelled becomes true, the reading stops at the next part and
    // answers DocumentError::cancellation().
    static std::variant<QByteArray, DocumentError> readFileBytes(const QString& path,
        qint64 maxBytes = kMaxFileBytes, const std::atomic_bool* cancelled = nullptr);
    // readFileBytes() off the main thread, under BackgroundWait (its progress window is
    // labelled openingLabel(path) unless a session is open).
    static std::variant<QByteArray, DocumentError> readFileBytesWaiting(
        const QString& path, qint64 maxBytes = kMaxFileBytes);
    // What the progress window says while path is being opened.
    static QString openingLabel(const QString& path);
    // Opens path for reading when it is a regular file (links followed), without ever waiting
    // on it: a pipe with no writer would otherwise block the open itself. Refused otherwise,
    // as readFileBytes() says it.
    static std::optional<DocumentError> openRegularFile(QFile& file, const QString& path);
    // Removes what saves of path left behind when they were killed between writing their
    // temporary file and renaming it over path: files beside it named "<name>.XXXXXX" (six
    // letters of both cases, as the atomic save names them) that hold a document and are
    // older than kStaleTemporaryAgeSeconds, so that a save under way elsewhere keeps its own.
    // Answers how many were removed. Runs at each open and save of a document.
    static int sweepStaleTemporaryFiles(const QString& path);
    static constexpr qint64 kStaleTemporaryAgeSeconds = 15 * 60;
    // "3.2 GB": a file's size as the refusals say it.
    static QString fileSizeText(qint64 bytes);

    // What tells one version of a file from another without reading it: where it is stored,
    // how large it is, when it was last written and when it last changed. The change time is
    // set by the system on every write and cannot be put back, so a rewrite in place at the
    // same size whose writer restored the modification time still tells. Nothing when the file
    // cannot be looked at.
    struct FileStamp {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static std::optional<FileStamp> fileStamp(const QString& path);
    // The alert that asks before a save replaces what another program wrote; its buttons are
    // kChangedFileButtons, Cancel first (the default: nothing is lost by it).
    static QString changedFileMessage(const QString& path);
    static const QStringList kChangedFileButtons;

signals:
    void editedChanged(bool edited);
    void filePathChanged(const QString& path);
    void aboutToClose();

protected:
    // The largest file readFromFile() reads; larger ones are refused unread.
    virtual qint64 maxFileBytes() const { return kMaxFileBytes; }
    // The bytes of the file readFromFile() opens: readFileBytes() within maxFileBytes(). Runs
    // on a pool thread, so it may touch nothing but the file.
    virtual std::variant<QByteArray, DocumentError> readFileContents(
        const QString& path, const std::atomic_bool& cancelled) const;
    // The document's contents from a file's bytes. The default refuses every file.
    virtual std::optional<DocumentError> readFromData(const QByteArray& data);
    // The bytes of the document's file. The default has nothing to write.
    virtual std::variant<QByteArray, DocumentError> dataOfType() const;
    // The path of the file readFromFile() is reading, while readFromData() runs for it, so that
    // what it reports can name the file; empty otherwise.
    QString pathBeingRead() const { return m_pathBeingRead; }
    // The path of the file writeToFile() is writing, while dataOfType() runs for it, so that
    // what it shows can name the file (on a first save, the name just chosen rather than the
    // draft's); empty otherwise.
    QString pathBeingWritten() const { return m_pathBeingWritten; }
    // Takes the current contents as the saved ones: what loading them registered in the undo
    // history is no change of the user's and cannot be undone.
    void forgetLoadingSteps();
    // Called by readFromData() when it had to leave part of the file out: the document then
    // opens untitled and edited under the file's name, so that saving asks where to write
    // (in the file's folder) rather than overwrite the whole file with what was read.
    void readLeftContentOut() { m_leftContentOut = true; }

private:
    void setFilePath(const QString& path);
    void markClean();
    void reportEditedChange();
    bool saveTo(const QString& path);
    // Whether the document's file was changed by another program since it was read or saved
    // here and the person chose not to replace it. A file that is gone is simply written.
    bool keepsOtherProgramsChanges();

    UndoManager m_undo;
    QString m_filePath;
    QString m_pathBeingRead;
    mutable QString m_pathBeingWritten; // set by writeToFile() around dataOfType()
    mutable QString m_draftName; // filled on first use
    QString m_saveDirectory; // where the save panel starts while there is no file
    bool m_leftContentOut = false; // set by readFromData() during readFromFile()
    // The file as it was when last read or saved here: a different one was written by another
    // program. Taken before reading, so a change made while reading counts as one.
    std::optional<FileStamp> m_fileStamp;
    int m_savedChangeCount = 0;
    bool m_lastEdited = true;
    QPointer<QWidget> m_window;
};

} // namespace platform
