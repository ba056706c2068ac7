#include "platform/document/Document.h"

#include "platform/document/AlertPresenter.h"
#include "platform/document/BackgroundWait.h"
#include "platform/document/DocumentController.h"
#include "platform/document/PanelPresenter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// The save's temporary file goes beside path: when that folder is there but cannot be written,
// it is the folder to name (the file itself may well be writable), with the system's reason.
std::optional<DocumentError> unwritableFolderError(const QString& path)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isWritable())
        return std::nullopt; // the file's own refusal says it
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir())
        return std::nullopt; // a folder that is not there: the path says it
#ifdef Q_OS_UNIX
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return std::nullopt;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
#else
    if (QFileInfo(folder).isWritable())
        return std::nullopt;
    const QString reason = QStringLiteral("Permission denied");
#endif
    return DocumentError { kFileErrorDomain, int(QFileDevice::OpenError),
        QStringLiteral("The folder \u201c%1\u201d cannot be written to: %2.")
            .arg(QDir::toNativeSeparators(folder), reason) };
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

QString Document::fileSizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

std::optional<DocumentError> Document::openRegularFile(QFile& file, const QString& path)
{
    const auto refuse = [&](const QString& reason) {
        qCWarning(lcDocument).noquote() << "not read:" << path << reason;
        return DocumentError { kFileErrorDomain, int(QFile::OpenError),
            refusalMessage(path, reason), reason };
    };
#ifdef Q_OS_UNIX
    // Opened without waiting (a FIFO's open blocks until a writer comes), and judged by what
    // was opened rather than by a look at the name beforehand, which could change in between.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return fileError(path, QString::fromLocal8Bit(std::strerror(error)), int(QFile::OpenError));
    }
    struct stat info { };
    QString notAFile;
    if (::fstat(fd, &info) != 0)
        notAFile = QString::fromLocal8Bit(std::strerror(errno));
    else if (S_ISDIR(info.st_mode))
        notAFile = QStringLiteral("it is a folder, not a file");
    else if (S_ISFIFO(info.st_mode))
        notAFile = QStringLiteral("it is a named pipe, not a file");
    else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        notAFile = QStringLiteral("it is a device, not a file");
    else if (!S_ISREG(info.st_mode))
        notAFile = QStringLiteral("it is not a regular file");
    if (notAFile.isEmpty())
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!notAFile.isEmpty() || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return notAFile.isEmpty() ? fileError(path, file.errorString(), int(file.error()))
                                  : refuse(notAFile);
    }
    return std::nullopt;
#else
    if (!QFileInfo(path).isFile() && QFileInfo::exists(path))
        return refuse(QStringLiteral("it is not a regular file"));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileError(path, file.errorString(), int(file.error()));
    return std::nullopt;
#endif
}

std::variant<QByteArray, DocumentError> Document::readFileBytes(
    const QString& path, qint64 maxBytes, const std::atomic_bool* cancelled)
{
    QFile file;
    if (auto error = openRegularFile(file, path))
        return *error;
    // Judged by the size before anything is read: a file larger than memory must cost nothing.
    const qint64 size = file.size();
    if (size > maxBytes) {
        const QString reason = QStringLiteral("it is %1, larger than can be opened (%2)")
                                   .arg(fileSizeText(size), fileSizeText(maxBytes));
        qCWarning(lcDocument).noquote() << "not read:" << path << reason;
        return DocumentError { kFileErrorDomain, int(QFile::ReadError),
            refusalMessage(path, reason), reason };
    }
    // No more than the size judged, even from a file that grows meanwhile; in parts, so that
    // a slow disk can be given up on.
    constexpr qint64 kPartBytes = qint64(8) << 20;
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 got = 0;
    while (got < size) {
        if (cancelled && cancelled->load())
            return DocumentError::cancellation();
        const qint64 n = file.read(bytes.data() + got, std::min(kPartBytes, size - got));
        if (n < 0)
            return fileError(path, file.errorString(), int(file.error()));
        if (n == 0)
            break; // the file shrank meanwhile: what it holds now
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

std::variant<QByteArray, DocumentError> Document::readFileBytesWaiting(
    const QString& path, qint64 maxBytes)
{
    std::variant<QByteArray, DocumentError> bytes = DocumentError::cancellation();
    BackgroundWait::run(openingLabel(path), [&](const std::atomic_bool& cancelled) {
        bytes = readFileBytes(path, maxBytes, &cancelled);
    });
    return bytes;
}

QString Document::openingLabel(const QString& path)
{
    return QStringLiteral("Opening \u201c%1\u201d\u2026").arg(QFileInfo(path).fileName());
}

std::variant<QByteArray, DocumentError> Document::readFileContents(
    const QString& path, const std::atomic_bool& cancelled) const
{
    return readFileBytes(path, maxFileBytes(), &cancelled);
}

int Document::sweepStaleTemporaryFiles(const QString& path)
{
    const QFileInfo target(path);
    // The atomic save's own names: six random letters of both cases. A suffix of one case
    // ("backup") is more likely a person's, and is left alone whatever it holds.
    const QRegularExpression ours(
        QStringLiteral("^%1\\.(?=[A-Za-z]*[a-z])(?=[A-Za-z]*[A-Z])[A-Za-z]{6}$")
            .arg(QRegularExpression::escape(target.fileName())));
    const QDateTime staleBefore
        = QDateTime::currentDateTimeUtc().addSecs(-kStaleTemporaryAgeSeconds);
    int removed = 0;
    const QFileInfoList candidates = target.absoluteDir().entryInfoList(
        { target.fileName() + QStringLiteral(".??????") }, QDir::Files | QDir::Hidden);
    for (const QFileInfo& file : candidates) {
        if (!ours.match(file.fileName()).hasMatch() || file.isSymLink() || !file.isFile()
            || file.lastModified().toUTC() >= staleBefore)
            continue;
        // Only a document of ours, whole or cut short, is what a save leaves.
        QFile leftover(file.absoluteFilePath());
        if (openRegularFile(leftover, leftover.fileName())
            || DocumentController::kindOfData(leftover.read(16)) != DocumentKind::Document)
            continue;
        leftover.close();
        if (QFile::remove(file.absoluteFilePath())) {
            qCWarning(lcDocument) << "removed a temporary file a killed save left:"
                                  << file.absoluteFilePath();
            ++removed;
        }
    }
    return removed;
}

std::optional<Document::FileStamp> Document::fileStamp(const QString& path)
{
#ifdef Q_OS_UNIX
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileStamp { quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
        qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
        qint64(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec };
#else
    const QFileInfo file(path);
    if (!file.exists())
        return std::nullopt;
    return FileStamp { 0, 0, file.size(), file.lastModified().toMSecsSinceEpoch() * 1'000'000,
        file.metadataChangeTime().toMSecsSinceEpoch() * 1'000'000 };
#endif
}

const QStringList Document::kChangedFileButtons
    = { QStringLiteral("Cancel"), QStringLiteral("Save Anyway") };

QString Document::changedFileMessage(const QString& path)
{
    return QStringLiteral("The file \u201c%1\u201d has been changed by another application since "
                          "it was opened or saved.")
        .arg(QFileInfo(path).fileName());
}

bool Document::keepsOtherProgramsChanges()
{
    if (m_filePath.isEmpty() || !m_fileStamp)
        return false;
    const std::optional<FileStamp> now = fileStamp(m_filePath);
    if (!now || *now == *m_fileStamp)
        return false;
    qCWarning(lcDocument) << "changed by another application since read or saved:" << m_filePath;
    const int answer = AlertPresenter::current().runModalWithButtons(AlertStyle::Warning,
        changedFileMessage(m_filePath),
        QStringLiteral("Saving replaces its changes with this document."), kChangedFileButtons);
    return answer - AlertPresenter::kFirstButtonReturn
        != int(kChangedFileButtons.indexOf(QStringLiteral("Save Anyway")));
}

std::optional<DocumentError> Document::readFromFile(const QString& path)
{
    const std::optional<FileStamp> stamp = fileStamp(path);
    std::variant<QByteArray, DocumentError> bytes = DocumentError::cancellation();
    if (!BackgroundWait::run(openingLabel(path),
            [&](const std::atomic_bool& cancelled) { bytes = readFileContents(path, cancelled); }))
        return DocumentError::cancellation();
    if (auto* error = std::get_if<DocumentError>(&bytes))
        return *error;
    sweepStaleTemporaryFiles(path);
    m_leftContentOut = false;
    m_pathBeingRead = path;
    auto error = readFromData(std::get<QByteArray>(bytes));
    m_pathBeingRead.clear();
    if (error)
        return error->isCancellation() ? *error : error->refusingFile(path);
    const QFileInfo file(path);
    if (m_leftContentOut) {
        qCWarning(lcDocument) << "opened without all of its contents, as a copy:" << path;
        m_draftName = file.completeBaseName();
        m_saveDirectory = file.absolutePath();
        m_fileStamp.reset();
    } else {
        setFilePath(file.absoluteFilePath());
        m_fileStamp = stamp;
    }
    markClean();
    return std::nullopt;
}

std::optional<DocumentError> Document::writeToFile(const QString& path) const
{
    m_pathBeingWritten = path;
    auto data = dataOfType();
    m_pathBeingWritten.clear();
    if (auto* error = std::get_if<DocumentError>(&data))
        return *error;
    const QByteArray& bytes = std::get<QByteArray>(data);
    sweepStaleTemporaryFiles(path);
    // Written beside the target and renamed over it only when complete: a failure or a crash
    // on the way leaves the old file whole.
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const int savedErrno = errno;
        if (auto folder = unwritableFolderError(path))
            return *folder;
        return writeError(path, file, savedErrno);
    }
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
    if (!error) {
        m_fileStamp = fileStamp(path);
        return true;
    }
    // The person stopped it: nothing was written, and there is nothing to tell.
    if (error->isCancellation())
        return false;
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
    if (keepsOtherProgramsChanges())
        return false;
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
