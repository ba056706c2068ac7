#include "app/ColorDocument.h"

#include "app/AppLogging.h"
#include "app/ExportPanel.h"
#include "app/RatingPrompt.h"
#include "platform/archive/ArchiveLimits.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/BackgroundWait.h"
#include "platform/document/Dispatch.h"
#include "platform/document/PanelPresenter.h"
#include "platform/imaging/JpegWriter.h"
#include "platform/imaging/PictureLoader.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

const QString ColorDocument::kDocumentType = QStringLiteral("com.corvatile.quillmark.document");
const QString ColorDocument::kUnsupportedImageFormat = QStringLiteral("Unsupported image format!");

namespace {

constexpr int kRequestSaturationDelayMs = 1;
constexpr int kCloseAfterFailureMs = 10;
const QSize kPreviewSize(300, 300);

DocumentWindowFactory& factorySlot()
{
    static DocumentWindowFactory factory;
    return factory;
}

// quality 0..1 (NaN meaning best) as the encoder's percent.
int jpegQuality(double quality)
{
    return std::isnan(quality) ? 100 : int(std::lround(std::clamp(quality, 0.0, 1.0) * 100.0));
}

QByteArray jpegBytes(const QImage& image, double quality)
{
    QString error;
    const QByteArray bytes = platform::JpegWriter::encode(image, jpegQuality(quality), &error);
    if (bytes.isEmpty() && !image.isNull())
        qCWarning(lcApp) << "JPEG encoding failed:" << error;
    return bytes;
}

} // namespace

const DocumentWindowFactory& documentWindowFactory()
{
    return factorySlot();
}

DocumentWindowFactory installDocumentWindowFactory(DocumentWindowFactory factory)
{
    return std::exchange(factorySlot(), std::move(factory));
}

ColorDocument::ColorDocument() = default;

ColorDocument::~ColorDocument()
{
    // The window's views register undo steps with this document: they go before its history.
    if (m_port && m_port->widget())
        m_port->widget()->removeEventFilter(this);
    m_port.reset();
}

namespace {

// “photo.jpg”, or "The picture in “saved.quillmark”", or "The picture" for bytes of no file.
QString pictureSubject(const ColorDocument::PictureSource& source)
{
    if (source.path.isEmpty())
        return QStringLiteral("The picture");
    const QString name = QStringLiteral("\u201c%1\u201d").arg(QFileInfo(source.path).fileName());
    return source.inDocument ? QStringLiteral("The picture in %1").arg(name) : name;
}

} // namespace

QString ColorDocument::pictureRefusal(
    const PictureSource& source, const platform::LoadedPicture& picture)
{
    // A file that is no picture may have been meant as a document.
    if (picture.fault == platform::PictureFault::NotAPicture && !source.inDocument)
        return QStringLiteral("it is not a Quillmark document or a picture");
    return platform::PictureLoader::refusalReason(picture, source.inDocument);
}

QString ColorDocument::damagedPictureWarning(const PictureSource& source)
{
    return platform::damagedPictureWarning(pictureSubject(source));
}

std::optional<platform::DocumentError> ColorDocument::takePicture(
    const QByteArray& bytes, const PictureSource& source)
{
    // Decoded off the main thread: a large picture takes seconds.
    platform::LoadedPicture loaded;
    if (!platform::BackgroundWait::run(platform::Document::openingLabel(source.path),
            [&](const std::atomic_bool&) { loaded = platform::PictureLoader::load(bytes); }))
        return platform::DocumentError::cancellation();
    const platform::Image image
        = loaded.ok() ? platform::Image::fromQImage(loaded.pixels) : platform::Image();
    if (image.isNull()) {
        qCWarning(lcApp) << "picture not decoded:" << source.path << loaded.error;
        // The system's words are said only where they fit: not of a picture too large, cut
        // short or damaged.
        const bool formatRefusal = loaded.fault == platform::PictureFault::NotAPicture
            || loaded.fault == platform::PictureFault::UnsupportedFormat;
        return platform::DocumentError { platform::kDocumentErrorDomain, 4,
            formatRefusal ? kUnsupportedImageFormat : QString(), pictureRefusal(source, loaded) };
    }
    m_imageData = bytes;
    m_picture = image;
    m_picturePath = source.path;
    if (loaded.damaged)
        m_pictureWarning = damagedPictureWarning(source);
    return std::nullopt;
}

std::unique_ptr<ColorDocument> ColorDocument::fromPicture(
    const QByteArray& bytes, std::optional<platform::DocumentError>* error, const QString& path)
{
    auto document = std::make_unique<ColorDocument>();
    if (auto refused = document->takePicture(bytes, { path, false })) {
        if (error)
            *error = std::move(refused);
        return nullptr;
    }
    return document;
}

qint64 ColorDocument::maxFileBytes() const
{
    return platform::ArchiveLimits().maxInputSize;
}

std::optional<platform::DocumentError> ColorDocument::readFromData(const QByteArray& data)
{
    DocumentFile::ReadResult read = DocumentFile::read(data);
    if (auto* error = std::get_if<platform::DocumentError>(&read))
        return *error;
    DocumentContents contents = std::move(std::get<DocumentContents>(read));
    if (auto refused = takePicture(contents.imageData, { pathBeingRead(), true }))
        return refused;
    if (contents.leftContentOut())
        readLeftContentOut();
    // A box saved while it was being typed in opens selected but not open for typing: nothing
    // tells the window of it, so the sidebar would not show it and a click on it would only
    // move a caret.
    if (contents.boxes) {
        std::vector<UNDODATA> records = contents.boxes->records();
        for (UNDODATA& record : records)
            record.isEditing = false;
        contents.boxes = ContainerSnapshot(std::move(records));
    }
    m_pendingRestore = std::move(contents);
    return std::nullopt;
}

QString ColorDocument::leftOutMessage(int boxes, const QString& name)
{
    return boxes == 1
        ? QStringLiteral("1 box of \u201c%1\u201d could not be read and was left out.").arg(name)
        : QStringLiteral("%1 boxes of \u201c%2\u201d could not be read and were left out.")
              .arg(boxes)
              .arg(name);
}

QStringList ColorDocument::leftOutMessages(const DocumentContents& contents, const QString& name)
{
    QStringList messages;
    if (contents.boxLayerLeftOut)
        messages << QStringLiteral(
            "The boxes of \u201c%1\u201d could not be read and were left out.")
                        .arg(name);
    else if (contents.leftOutBoxes > 0)
        messages << leftOutMessage(contents.leftOutBoxes, name);
    if (contents.maskLeftOut)
        messages << QStringLiteral("The mask of \u201c%1\u201d could not be read and was left out.")
                        .arg(name);
    messages << cutMessages(contents.cuts, name);
    return messages;
}

QStringList ColorDocument::cutMessages(
    const std::vector<platform::ArchiveCut>& cuts, const QString& name)
{
    // One sentence for each kind of cut, in the order first met.
    struct Kind {
        const platform::ArchiveCut* first;
        int count;
    };
    std::vector<Kind> kinds;
    for (const platform::ArchiveCut& cut : cuts) {
        const auto same = std::find_if(kinds.begin(), kinds.end(), [&](const Kind& k) {
            return k.first->thing == cut.thing && k.first->unit == cut.unit
                && k.first->kept == cut.kept && k.first->part == cut.part;
        });
        if (same == kinds.end())
            kinds.push_back({ &cut, 1 });
        else
            ++same->count;
    }
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto plural = [](const QString& thing) {
        const bool es = thing.endsWith(u's') || thing.endsWith(u'x') || thing.endsWith(u"ch")
            || thing.endsWith(u"sh");
        return thing + (es ? QStringLiteral("es") : QStringLiteral("s"));
    };
    QStringList messages;
    for (const Kind& kind : kinds) {
        const platform::ArchiveCut& cut = *kind.first;
        if (cut.leftOutWhole()) {
            messages << (kind.count == 1
                    ? QStringLiteral("A %1 of \u201c%2\u201d was opened without its %3, which "
                                     "could not be read.")
                          .arg(cut.thing, name, cut.part)
                    : QStringLiteral("%1 %2 of \u201c%3\u201d were opened without their %4, "
                                     "which could not be read.")
                          .arg(QString::number(kind.count), plural(cut.thing), name, cut.part));
            continue;
        }
        const QString kept = english.toString(cut.kept);
        messages << (kind.count == 1
                ? QStringLiteral("A %1 of \u201c%2\u201d has %3 %4; only the first %5 were kept.")
                      .arg(cut.thing, name, english.toString(cut.found), cut.unit, kept)
                : QStringLiteral("%1 %2 of \u201c%3\u201d have more than %4 %5; only the first "
                                 "%4 of each were kept.")
                      .arg(QString::number(kind.count), plural(cut.thing), name, kept, cut.unit));
    }
    return messages;
}

QString ColorDocument::openingAlert(const QStringList& messages, const QString& name)
{
    if (messages.size() <= 1)
        return messages.value(0);
    QStringList lines {
        QStringLiteral("Parts of \u201c%1\u201d could not be opened as they were saved:").arg(name)
    };
    const qsizetype listed = std::min<qsizetype>(messages.size(), kListedOpeningMessages);
    for (qsizetype i = 0; i < listed; ++i)
        lines << QStringLiteral("\u2022 ") + messages[i];
    if (messages.size() > listed)
        lines << QStringLiteral("and %1 more.").arg(messages.size() - listed);
    return lines.join(u'\n');
}

QString ColorDocument::defaultDraftName() const
{
    return draftNameAt(QDateTime::currentDateTime());
}

QString ColorDocument::draftNameAt(const QDateTime& when)
{
    return QStringLiteral("Quillmark %1")
        .arg(QLocale().toString(when, QStringLiteral("MM-dd-yyyy 'at' h.mm AP")));
}

bool ColorDocument::makeWindowAndLoad()
{
    if (m_port)
        return true;
    const DocumentWindowFactory& factory = documentWindowFactory();
    if (!factory) {
        qCWarning(lcApp) << "no document window to show" << displayName();
        failLoading();
        return false;
    }
    m_port = factory(undoManager());
    if (!m_port || !m_port->loadPicture(m_picture, m_imageData)) {
        failLoading();
        return false;
    }
    setWindow(m_port->widget());
    // The window's share menu saves and exports this document; it may outlive it for a moment.
    const QPointer<ColorDocument> self(this);
    DocumentCommands commands;
    commands.saveDocument = [self] {
        if (self)
            self->saveQuillmarkDocument();
    };
    commands.exportImage = [self] {
        if (self)
            self->exportImage();
    };
    commands.share = [self](std::shared_ptr<platform::SharingService> service) {
        if (self)
            self->shareWithItem(service);
    };
    m_port->setDocumentCommands(commands);
    if (QWidget* widget = m_port->widget()) {
        widget->installEventFilter(this);
        showTitle();
        connect(this, &platform::Document::editedChanged, widget, &QWidget::setWindowModified);
        connect(this, &platform::Document::filePathChanged, this, [this] { showTitle(); });
    }
    QStringList told;
    if (m_pendingRestore) {
        m_port->applyContents(*m_pendingRestore);
        told = leftOutMessages(*m_pendingRestore, displayName());
        m_pendingRestore.reset();
    }
    if (!m_pictureWarning.isEmpty())
        told << std::exchange(m_pictureWarning, {});
    // One alert for the whole document, over the window that shows it.
    if (!told.isEmpty())
        platform::AlertPresenter::current().runModal(
            platform::AlertStyle::Warning, openingAlert(told, displayName()));
    forgetLoadingSteps();
    platform::dispatch::after(kRequestSaturationDelayMs, this, [this] {
        if (!m_port)
            return;
        m_port->requestSaturation();
        // The first render's slider moves are part of opening, not edits.
        forgetLoadingSteps();
    });
    return true;
}

void ColorDocument::showTitle()
{
    QWidget* widget = m_port ? m_port->widget() : nullptr;
    if (!widget)
        return;
    // "[*]" is where the window shows its unsaved-changes mark.
    widget->setWindowTitle(displayName() + QStringLiteral("[*]"));
    widget->setWindowModified(isDocumentEdited());
}

void ColorDocument::failLoading()
{
    const QString name = m_picturePath.isEmpty() ? displayName() : m_picturePath;
    platform::AlertPresenter::current().runModal(platform::AlertStyle::Critical,
        platform::refusalMessage(name, {}, kUnsupportedImageFormat));
    platform::dispatch::after(kCloseAfterFailureMs, this, [this] { close(); });
}

std::variant<QByteArray, platform::DocumentError> ColorDocument::dataOfType() const
{
    if (!m_port)
        return platform::DocumentError { platform::kDocumentErrorDomain, 5,
            QStringLiteral("The document has no window to save from.") };
    // Refused before anything is captured, encoded or composed: thousands of boxes take
    // seconds to capture only to be refused.
    if (auto tooMany = DocumentFile::boxCountRefusal(m_port->boxCount()))
        return platform::DocumentError { platform::kDocumentErrorDomain, 6, *tooMany };
    DocumentContents contents = m_port->captureContents();
    contents.imageData = m_imageData;
    contents.preview = jpegBytes(m_port->composeImage(kPreviewSize), 1.0);
    QString whyNot;
    QByteArray bytes;
    // Pictures not encoded before take seconds: the file is made off the main thread, the
    // window showing that it is saving once that takes long. Cancelled, nothing is written.
    const QString name = pathBeingWritten().isEmpty()
        ? displayName()
        : QFileInfo(pathBeingWritten()).completeBaseName();
    const QString label = QStringLiteral("Saving \u201c%1\u201d\u2026").arg(name);
    if (!platform::BackgroundWait::run(label, [&](const std::atomic_bool& cancelled) {
            bytes = DocumentFile::write(contents, &whyNot, &cancelled);
        }))
        return platform::DocumentError::cancellation();
    if (bytes.isEmpty())
        return platform::DocumentError { platform::kDocumentErrorDomain, 6, whyNot };
    return bytes;
}

double ColorDocument::exportQuality(double percent)
{
    if (std::isnan(percent))
        return 1.0;
    return std::clamp(percent / 100.0, 0.0, 1.0);
}

QImage ColorDocument::composeForExport() const
{
    if (!m_port)
        return {};
    const QSize size = m_port->pictureSize();
    const QImage composed = m_port->composeImage(size);
    // The file is the picture's own size whatever the screen's scale.
    if (composed.size() != size) {
        qCWarning(lcApp) << "export composed at" << composed.size() << "not" << size;
        return {};
    }
    qCDebug(lcApp, "z %d / %d", composed.width(), size.width());
    return composed;
}

QString ColorDocument::writeExport(QIODevice& device, double quality) const
{
    const QSize size = m_port ? m_port->pictureSize() : QSize();
    if (size.isEmpty())
        return QStringLiteral("The picture could not be composed.");
    platform::JpegWriter writer(&device, size, jpegQuality(quality));
    bool refused = false;
    const bool composed = m_port->composeStripes(size, [&](const QImage& stripe) {
        // The file is the picture's own size whatever the screen's scale.
        if (stripe.width() != size.width()) {
            qCWarning(lcApp) << "export composed" << stripe.width() << "wide, not" << size;
            return false;
        }
        refused = !writer.write(stripe);
        return !refused;
    });
    const bool written = writer.finish();
    if (composed && written)
        return {};
    // The writer's reason when it was the one that failed (the device, most likely).
    if ((composed || refused) && !writer.errorString().isEmpty())
        return writer.errorString();
    return QStringLiteral("The picture could not be composed.");
}

QByteArray ColorDocument::exportImageData(double quality) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return writeExport(buffer, quality).isEmpty() ? bytes : QByteArray();
}

std::optional<platform::DocumentError> ColorDocument::exportJpeg(
    const QString& path, double quality) const
{
    const auto failure = [&](const QString& reason) {
        return platform::DocumentError { platform::kFileErrorDomain, 1,
            QStringLiteral("\u201c%1\u201d: %2").arg(QDir::toNativeSeparators(path), reason) };
    };
    // Written beside the file and moved over it only when whole: a failure leaves whatever
    // was there before, and no partial picture.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    const QString error = writeExport(file, quality);
    if (!error.isEmpty()) {
        file.cancelWriting();
        return failure(error);
    }
    if (!file.commit())
        return failure(file.errorString());
    return std::nullopt;
}

bool ColorDocument::exportImage()
{
    // The document's name, or its draft name until it has a file.
    ExportPanelRequest request;
    request.defaultName = QStringLiteral("%1.jpg").arg(displayName());
    request.window = window();
    // Beside the document's file, or where its picture was chosen from.
    request.directory = filePath().isEmpty() ? platform::PanelPresenter::openDirectory()
                                             : QFileInfo(filePath()).absolutePath();
    request.qualityPercent = ExportPanel::lastQualityPercent();
    const std::optional<ExportChoice> choice = ExportPanel::current().run(request);
    if (!choice)
        return false;
    ExportPanel::rememberQuality(choice->qualityPercent);
    if (auto error = exportJpeg(choice->path, exportQuality(choice->qualityPercent))) {
        platform::AlertPresenter::current().runModal(platform::AlertStyle::Critical,
            QStringLiteral("The JPEG image could not be written. %1").arg(error->message()));
        return false;
    }
    RatingPrompt::afterShare();
    return true;
}

QString ColorDocument::shareFolder() const
{
    return m_shareFolder ? m_shareFolder->path() : QString();
}

bool ColorDocument::shareWithItem(const std::shared_ptr<platform::SharingService>& service)
{
    if (!service)
        return false;
    const auto fail = [this](const QString& reason) {
        platform::AlertPresenter::current().runModal(platform::AlertStyle::Critical,
            QStringLiteral("The picture could not be shared. %1").arg(reason));
        return false;
    };
    // A folder only we can read, rather than one well-known name in the shared temporary
    // folder that anyone could put a link at; it goes with the document.
    if (!m_shareFolder) {
        m_shareFolder = std::make_unique<QTemporaryDir>(
            QDir::tempPath() + QStringLiteral("/quillmark-share-XXXXXX"));
        if (!m_shareFolder->isValid()) {
            const QString reason = m_shareFolder->errorString();
            m_shareFolder.reset();
            return fail(reason);
        }
    }
    const QImage composed = composeForExport();
    const QByteArray bytes = composed.isNull() ? QByteArray() : jpegBytes(composed, 1.0);
    if (bytes.isEmpty())
        return fail(QStringLiteral("The picture could not be composed."));
    const QString path = m_shareFolder->filePath(QStringLiteral("quillmarkout.jpg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return fail(QStringLiteral("“%1”: %2").arg(path, file.errorString()));
    file.close();
    service->performWithItems({ path, composed }, [](const platform::ShareResult& result) {
        if (result.ok)
            RatingPrompt::afterShare();
        else if (!result.error.isEmpty())
            platform::AlertPresenter::current().runModal(platform::AlertStyle::Critical,
                QStringLiteral("The picture could not be shared. %1").arg(result.error));
    });
    return true;
}

bool ColorDocument::saveQuillmarkDocument()
{
    if (!saveAs())
        return false;
    RatingPrompt::afterShare();
    return true;
}

bool ColorDocument::eventFilter(QObject* watched, QEvent* event)
{
    // Closing the window closes the document, after the "save changes?" question.
    if (m_port && watched == m_port->widget() && event->type() == QEvent::Close) {
        if (canClose())
            close();
        else
            event->ignore();
        return true;
    }
    return platform::Document::eventFilter(watched, event);
}
