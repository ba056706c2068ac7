// The document window's pictures from files: new picture boxes and replacement pictures chosen
// in an open panel, and picture files dropped on the window. Files are read and decoded off the
// main thread, one after another within one budget of pixels per request, and each picture
// reaches the canvas on the main thread only while this window still exists.
#include "canvas/CanvasControls.h"
#include "container/NewBoxPicture.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/Dispatch.h"
#include "platform/document/Document.h"
#include "platform/document/DocumentError.h"
#include "platform/document/PanelPresenter.h"
#include "platform/imaging/PictureLoader.h"
#include "platform/ui/Stepper.h"
#include "window/ColoredButton.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindow.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SegmentSwitch.h"
#include "window/WindowLogging.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QUrl>
#include <cstdio>
#include <memory>

using namespace platform;

namespace {

const QString kUnsupportedImageFormat = QStringLiteral("Unsupported image format!");
// Refusals told one by one in the alert; the rest are counted.
constexpr int kRefusalsTold = 3;

// A file's picture, or why not (naming the file). Only regular files are read, and only when
// their size is within the bound: a larger file is refused unread.
struct DecodedFile {
    Image picture;
    QString refusal;
};

DecodedFile decodeFile(
    const QString& path, qint64& pixelBudget, const std::optional<Size>& newBoxWorking)
{
    auto bytes = Document::readFileBytes(path);
    if (const auto* error = std::get_if<DocumentError>(&bytes))
        return { {}, error->message() };
    const QByteArray& data = std::get<QByteArray>(bytes);
    const LoadedPicture loaded = newBoxWorking
        ? newbox::loadForNewBox(data, *newBoxWorking, pixelBudget)
        : PictureLoader::load(data, {}, pixelBudget);
    if (!loaded.ok()) {
        qCWarning(lcWindow).noquote() << "picture not loaded:" << path << loaded.error;
        // The system's words only where they fit: a format refusal.
        const bool ofFormat = loaded.fault == PictureFault::NotAPicture
            || loaded.fault == PictureFault::UnsupportedFormat;
        // Only several files at once share a budget: a drop.
        const QString reason = loaded.fault == PictureFault::BudgetSpent
            ? QStringLiteral("the pictures dropped before it used up what one drop may decode "
                             "(%1 of %2 million pixels were left; it needs %3 million)")
                  .arg(PictureLoader::millions(loaded.budgetLeft),
                      PictureLoader::millions(PictureLoader::kMaxPixels),
                      PictureLoader::millions(loaded.cost))
            : PictureLoader::refusalReason(loaded);
        return { {}, refusalMessage(path, reason, ofFormat ? kUnsupportedImageFormat : QString()) };
    }
    return { Image::fromQImage(loaded.pixels), {} };
}

// One alert for every refusal of a request: the first few said, the rest counted.
QString refusalsText(const QStringList& refusals)
{
    QStringList told = refusals.mid(0, kRefusalsTold);
    const qsizetype more = refusals.size() - told.size();
    if (more == 1)
        told << QStringLiteral("1 more file could not be opened.");
    else if (more > 1)
        told << QStringLiteral("%1 more files could not be opened.").arg(more);
    return told.join(QLatin1Char('\n'));
}

} // namespace

void DocumentWindow::loadPictureFiles(
    const QStringList& paths, PictureSink sink, const QStringList& refused,
    std::optional<Size> newBoxWorking)
{
    if (paths.isEmpty() && refused.isEmpty())
        return;
    ++m_pendingPictureLoads;
    // Each picture is handed over as soon as it is decoded; the refusals are told once, at
    // the end, so that a hundred bad files give one message.
    auto refusals = std::make_shared<QStringList>(refused);
    // Checked on the main thread, where the window is destroyed: a picture decoded after the
    // window closed is dropped.
    const std::weak_ptr<int> alive = m_alive;
    const auto onMain = [alive](std::function<void()> fn) {
        dispatch::async(nullptr, [alive, fn = std::move(fn)] {
            if (alive.lock())
                fn();
        });
    };
    dispatch::background([this, paths, sink, refusals, onMain, newBoxWorking] {
        qint64 budget = PictureLoader::kMaxPixels;
        for (const QString& path : paths) {
            DecodedFile decoded = decodeFile(path, budget, newBoxWorking);
            onMain([sink, refusals, decoded] {
                if (decoded.picture.isNull())
                    *refusals << decoded.refusal;
                else
                    sink(decoded.picture);
            });
        }
        onMain([this, refusals] {
            --m_pendingPictureLoads;
            if (!refusals->isEmpty())
                AlertPresenter::current().runModal(AlertStyle::Critical, refusalsText(*refusals));
        });
    });
}

std::optional<Size> DocumentWindow::newBoxWorkingSize() const
{
    return m_canvasControls ? m_canvasControls->workingImageSize() : std::nullopt;
}

void DocumentWindow::addPictureBox(const Image& picture)
{
    // A picture box is edited in box mode: leave mask painting first.
    cropColorSegmentSwitch->setSelectedSegmentIndex(0);
    switchColorCropMode(*cropColorSegmentSwitch);
    if (m_canvasControls)
        m_canvasControls->newImageBox(this, picture);
}

namespace {
OpenPanelRequest picturePanel(QWidget* window)
{
    OpenPanelRequest request;
    // Titled as the panel that starts a document: a titleless dialog says nothing of its purpose.
    request.title = QStringLiteral("Select image file");
    request.allowedSuffixes = { QStringLiteral("jpg"), QStringLiteral("bmp"), QStringLiteral("png"),
        QStringLiteral("tif"), QStringLiteral("jpeg") };
    request.window = window;
    return request;
}
} // namespace

void DocumentWindow::newImageBox()
{
    beforeAction();
    const auto path = PanelPresenter::current().runOpenPanel(picturePanel(this));
    if (!path)
        return;
    giveCanvasTheKeyboard();
    loadPictureFiles(
        { *path }, [this](const Image& picture) { addPictureBox(picture); }, {},
        newBoxWorkingSize());
}

void DocumentWindow::replaceImage()
{
    beforeAction();
    if (const auto path = PanelPresenter::current().runOpenPanel(picturePanel(this)))
        loadPictureFiles({ *path }, [this](const Image& picture) {
            if (m_canvasControls)
                m_canvasControls->replaceImage(picture);
        });
}

bool DocumentWindow::dropFiles(const QList<QUrl>& urls)
{
    QStringList paths;
    QStringList refusals;
    for (const QUrl& url : urls) {
        // Only files on this machine: a remote address would be fetched behind the user's
        // back. A folder is not opened as its pictures. Both are told with the files that
        // could not be read; anything else there that is not a regular file (a pipe, a
        // device) is refused with its reason as the files are read.
        QString reason;
        QString name = url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : url.fileName();
        if (!url.isLocalFile()) {
            reason = QStringLiteral("it is not a file on this computer");
            if (name.isEmpty())
                name = url.toDisplayString(QUrl::StripTrailingSlash);
        } else if (QFileInfo(name).isDir()) {
            reason = QStringLiteral("it is a folder, not a file");
        }
        if (reason.isEmpty()) {
            paths << url.toLocalFile();
            continue;
        }
        qCWarning(lcWindow).noquote() << "drop refused:" << url.toDisplayString() << reason;
        refusals << refusalMessage(name, reason);
    }
    loadPictureFiles(
        paths, [this](const Image& picture) { addPictureBox(picture); }, refusals,
        newBoxWorkingSize());
    return !paths.isEmpty();
}

void DocumentWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void DocumentWindow::dropEvent(QDropEvent* event)
{
    if (event->mimeData()->hasUrls() && dropFiles(event->mimeData()->urls()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void DocumentWindow::installTestDropHook()
{
    // Desktop automation can press keys but cannot drag files: with QUILLMARK_TEST_DROP naming a
    // file, Ctrl+Alt+Shift+D drops that file on the window as the desktop's drag would.
    const QString path = qEnvironmentVariable("QUILLMARK_TEST_DROP");
    if (path.isEmpty())
        return;
    auto* hook = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_D), this);
    hook->setContext(Qt::WindowShortcut);
    connect(hook, &QShortcut::activated, this,
        [this, path] { dropFiles({ QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()) }); });
}

void DocumentWindow::installTestGeometryHook()
{
    // Desktop automation cannot see inside the window: with QUILLMARK_TEST_GEOMETRY set,
    // Ctrl+Alt+Shift+G writes where the named inspector controls are on the screen, one line
    // "geometry NAME X Y W H SHOWN" each; SHOWN is 1 when none of it is scrolled out of view.
    if (qEnvironmentVariableIsEmpty("QUILLMARK_TEST_GEOMETRY"))
        return;
    auto* hook = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_G), this);
    hook->setContext(Qt::WindowShortcut);
    connect(hook, &QShortcut::activated, this, [this] {
        // The corner fields have no outlets: the first is found by its tag.
        QLineEdit* firstCorner = nullptr;
        for (QLineEdit* field : panelRoundRect->findChildren<QLineEdit*>())
            if (field->property("tag").toInt() == 0)
                firstCorner = field;
        const std::pair<const char*, QWidget*> named[] = { { "popupFonts", popupFonts },
            { "fontStyleSegmentedCtrl", fontStyleSegmentedCtrl },
            { "fontSizeTextField", fontSizeTextField }, { "btFontColor", btFontColor },
            { "btStrokeColor", btStrokeColor }, { "strokeSizeTextField", strokeSizeTextField },
            { "btShadowColor", btShadowColor }, { "shadowBlurTextField", shadowBlurTextField },
            { "shadowOffsetTextField", shadowOffsetTextField },
            { "shadowAngleTextField", shadowAngleTextField }, { "curveSegment", curveSegment },
            { "curveTextField", curveTextField },
            { "btTextboxBackgroundColor", btTextboxBackgroundColor },
            { "btnFrameLock", btnFrameLock }, { "frameWidthTextField", frameWidthTextField },
            { "btnRoundRectLock", btnRoundRectLock }, { "cornerField0", firstCorner },
            { "panelScrollView", panelScrollView } };
        for (const auto& [name, widget] : named) {
            QRect r;
            bool whole = false;
            if (widget && widget->isVisible()) {
                r = QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
                const QWidget* view = panelScrollView->viewport();
                whole = !view->isAncestorOf(widget)
                    || view->rect().contains(
                        QRect(widget->mapTo(view, QPoint(0, 0)), widget->size()));
            }
            std::fprintf(stderr, "geometry %s %d %d %d %d %d\n", name, r.x(), r.y(), r.width(),
                r.height(), whole ? 1 : 0);
        }
        std::fflush(stderr);
    });
}
