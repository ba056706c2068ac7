#include "platform/document/Document.h"

#include "platform/document/AlertPresenter.h"
#include "platform/document/PanelPresenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSet>
#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcDocument, "quillmark.document", QtWarningMsg)

namespace platform {

namespace {

DocumentError fileError(const QString& path, const QString& reason, int code)
{
    return { kFileErrorDomain, code,
        QStringLiteral("\u201c%1\u201d: %2").arg(QDir::toNativeSeparators(path), reason) };
}

// Qt reports some failed writes (a full disk met while flushing) as "Unknown error"; the system's
// own reason, still in errno right after the call, tells the user what happened.
DocumentError writeError(const QString& path, const QFileDevice& file, int savedErrno)
{
    QString reason = file.errorString();
    if ((reason.isEmpty() || reason == QStringLiteral("Unknown error")) && savedErrno != 0)
        reason = QString::fromLocal8Bit(std::strerror(savedErrno));
    return fileError(path, reason, int(file.error()));
}

// The draft names of the documents alive now.
QSet<QString>& draftNamesInUse()
{
    static QSet<QString> names;
    return names;
}

} // namespace

Document::Document(QObject* parent)
    : QObject(parent)
{
    m_undo.setChangeCountObserver([this](int) { reportEditedChange(); });
}

Document::~Document()
{
    m_undo.setChangeCountObserver({});
    if (!m_draftName.isEmpty())
        draftNamesInUse().remove(m_draftName);
}

QString Document::displayName() const
{
    if (!m_filePath.isEmpty())
        return QFileInfo(m_filePath).completeBaseName();
    if (m_draftName.isEmpty())
        m_draftName = uniqueDraftName(defaultDraftName());
    return m_draftName;
}

QString Document::uniqueDraftName(const QString& name)
{
    // Two drafts opened in the same minute would share a name (and the Window menu a line):
    // the second takes a counter, the lowest no open draft has.
    QSet<QString>& inUse = draftNamesInUse();
    QString unique = name;
    for (int n = 2; inUse.contains(unique); ++n)
        unique = QStringLiteral("%1 (%2)").arg(name).arg(n);
    inUse.insert(unique);
    return unique;
}

QString Document::defaultDraftName() const
{
    return QStringLiteral("Untitled");
}

QString Document::fileSuffix() const
{
    return QStringLiteral("quillmark");
}

QString Document::fileTypeName() const
{
    return QStringLiteral("Quillmark document");
}

bool Document::isDocumentEdited() const
{
    return m_filePath.isEmpty() || m_undo.changeCount() != m_savedChangeCount;
}

std::variant<QByteArray, DocumentError> Document::readFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileError(path, file.errorString(), int(file.error()));
    // A size that is no regular file's (a pipe, a device) reads as unknown: bound the read
    // itself as well.
    if (file.size() > kMaxFileBytes)
        return fileError(path, QStringLiteral("The file is too large."), int(QFile::ReadError));
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes)
        return fileError(path, QStringLiteral("The file is too large."), int(QFile::ReadError));
    if (file.error() != QFile::NoError)
        return fileError(path, file.errorString(), int(file.error()));
    return bytes;
}

std::optional<DocumentError> Document::readFromFile(const QString& path)
{
    auto bytes = readFileBytes(path);
    if (auto* error = std::get_if<DocumentError>(&bytes))
        return *error;
    m_leftContentOut = false;
    m_pathBeingRead = path;
    auto error = readFromData(std::get<QByteArray>(bytes));
    m_pathBeingRead.clear();
    if (error)
        return error->refusingFile(path);
    const QFileInfo file(path);
    if (m_leftContentOut) {
        qCWarning(lcDocument) << "opened without all of its contents, as a copy:" << path;
        m_draftName = file.completeBaseName();
        m_saveDirectory = file.absolutePath();
    } else {
        setFilePath(file.absoluteFilePath());
    }
    markClean();
    return std::nullopt;
}

std::optional<DocumentError> Document::writeToFile(const QString& path) const
{
    auto data = dataOfType();
    if (auto* error = std::get_if<DocumentError>(&data))
        return *error;
    const QByteArray& bytes = std::get<QByteArray>(data);
    // Written beside the target and renamed over it only when complete: a failure or a crash
    // on the way leaves the old file whole.
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return writeError(path, file, errno);
    if (file.write(bytes) != bytes.size()) {
        const DocumentError error = writeError(path, file, errno);
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return writeError(path, file, errno);
    return std::nullopt;
}

bool Document::saveTo(const QString& path)
{
    const auto error = writeToFile(path);
    if (!error)
        return true;
    qCWarning(lcDocument) << "save failed:" << error->message();
    AlertPresenter::current().runModal(AlertStyle::Critical,
        QStringLiteral("The document \u201c%1\u201d could not be saved. %2")
            .arg(displayName(), error->message()));
    return false;
}

bool Document::save()
{
    if (m_filePath.isEmpty())
        return saveAs();
    if (!saveTo(m_filePath))
        return false;
    markClean();
    return true;
}

bool Document::saveAs()
{
    SavePanelRequest request;
    request.title = QStringLiteral("Save");
    request.defaultName = displayName() + QStringLiteral(".") + fileSuffix();
    request.requiredSuffix = fileSuffix();
    request.nameFilter = QStringLiteral("%1 (*.%2)").arg(fileTypeName(), fileSuffix());
    // A document read with content left out saves beside the file it came from.
    request.directory = m_filePath.isEmpty() && !m_saveDirectory.isEmpty()
        ? m_saveDirectory
        : PanelPresenter::saveDirectoryFor(m_filePath);
    request.window = window();
    const std::optional<QString> chosen = PanelPresenter::current().runSavePanel(request);
    if (!chosen || chosen->isEmpty())
        return false;
    const QString path
        = QFileInfo(PanelPresenter::withSuffix(*chosen, fileSuffix())).absoluteFilePath();
    if (!saveTo(path))
        return false;
    setFilePath(path);
    markClean();
    return true;
}

bool Document::canClose()
{
    if (!isDocumentEdited())
        return true;
    switch (PanelPresenter::current().askSaveChanges(displayName(), window())) {
    case SaveChangesAnswer::Save:
        return save();
    case SaveChangesAnswer::DontSave:
        return true;
    case SaveChangesAnswer::Cancel:
        break;
    }
    return false;
}

void Document::close()
{
    emit aboutToClose();
}

std::optional<DocumentError> Document::readFromData(const QByteArray&)
{
    return DocumentError { kDocumentErrorDomain, 1,
        QStringLiteral("This document can\u2019t be read.") };
}

std::variant<QByteArray, DocumentError> Document::dataOfType() const
{
    return DocumentError { kDocumentErrorDomain, 2,
        QStringLiteral("This document can\u2019t be written.") };
}

void Document::setFilePath(const QString& path)
{
    if (path == m_filePath)
        return;
    m_filePath = path;
    emit filePathChanged(path);
    reportEditedChange();
}

void Document::forgetLoadingSteps()
{
    m_undo.endGroup();
    m_undo.removeAllActions();
    markClean();
}

void Document::markClean()
{
    // What is typed next must make the document edited: it may not fold into a step from before.
    m_undo.breakCoalescing();
    m_savedChangeCount = m_undo.changeCount();
    reportEditedChange();
}

void Document::reportEditedChange()
{
    const bool edited = isDocumentEdited();
    if (edited == m_lastEdited)
        return;
    m_lastEdited = edited;
    emit editedChanged(edited);
}

} // namespace platform
