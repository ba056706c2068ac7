#pragma once
// A document window that records what the document asks of it, a welcome window that only
// remembers whether it shows, and the scripted panels and alerts the application tests share.
#include "app/ColorDocument.h"
#include "app/ColorDocumentController.h"
#include "app/DocumentWindowPort.h"
#include "app/ExportPanel.h"
#include "app/RatingPrompt.h"
#include "app/WelcomeWindowPort.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/PanelPresenter.h"
#include "platform/document/UserDefaults.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace apptest {

// Every call any fake window received, in order, across windows.
inline QStringList& callLog()
{
    static QStringList log;
    return log;
}

// Shows the picture's state as plain values; composes the picture with one red box over its
// top-left quarter, so an export shows where a box was drawn.
class FakeWindow final : public DocumentWindowPort {
public:
    inline static int made = 0;
    inline static bool refusePictures = false;
    inline static bool composeWrongSize = false;
    // Registers an undo step while restoring and while turning rendering on, as the real
    // window's slider actions and box rebuild may.
    inline static bool registerWhileLoading = false;

    explicit FakeWindow(platform::UndoManager& undo)
        : undo(undo)
    {
        ++made;
    }

    QWidget* widget() override { return &window; }
    bool loadPicture(const platform::Image& image, const QByteArray& bytes) override
    {
        callLog() << "loadPicture";
        if (refusePictures)
            return false;
        picture = image.toQImage();
        pictureBytes = bytes;
        return true;
    }
    void applyContents(const DocumentContents& contents) override
    {
        callLog() << "applyContents";
        state = contents;
        registerLoadingStep();
    }
    DocumentContents captureContents() const override
    {
        callLog() << "captureContents";
        return state;
    }
    std::size_t boxCount() const override { return state.boxes ? state.boxes->size() : 0; }
    QImage composeImage(QSize size) const override
    {
        callLog() << "composeImage";
        if (composeWrongSize)
            size = size / 2;
        QImage out = picture.scaled(size).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&out);
        painter.fillRect(QRect(0, 0, size.width() / 4, size.height() / 4), Qt::red);
        return out;
    }
    QSize pictureSize() const override { return picture.size(); }
    void requestSaturation() override
    {
        callLog() << "requestSaturation";
        registerLoadingStep();
    }
    void registerLoadingStep()
    {
        if (registerWhileLoading)
            undo.registerUndo(this, life, [] {});
    }
    platform::UndoLifetime life;

    platform::UndoManager& undo;
    QWidget window;
    QImage picture;
    QByteArray pictureBytes;
    DocumentContents state;
};

class FakeWelcome final : public WelcomeWindowPort {
public:
    bool visible = false;
    bool checked = false;
    void makeKeyAndOrderFront() override { visible = true; }
    void orderOut() override { visible = false; }
    bool isVisible() const override { return visible; }
    bool dontShowChecked() const override { return checked; }
    void setDontShowChecked(bool value) override { checked = value; }
};

class ScriptedAlerts final : public platform::AlertPresenter {
public:
    QStringList messages;
    int buttonAnswer = kFirstButtonReturn + 1;
    void runModal(platform::AlertStyle, const QString& message) override { messages << message; }
    int runModalWithButtons(
        platform::AlertStyle, const QString& message, const QString&, const QStringList&) override
    {
        messages << message;
        return buttonAnswer;
    }
};

// Fakes installed for one test, everything put back after it.
struct AppFixture {
    std::shared_ptr<platform::ScriptedPanelPresenter> panels
        = std::make_shared<platform::ScriptedPanelPresenter>();
    std::shared_ptr<ScriptedAlerts> alerts = std::make_shared<ScriptedAlerts>();
    std::shared_ptr<ScriptedExportPanel> exports = std::make_shared<ScriptedExportPanel>();
    QList<QUrl> openedUrls;

    std::shared_ptr<platform::PanelPresenter> previousPanels
        = platform::PanelPresenter::install(panels);
    std::shared_ptr<platform::AlertPresenter> previousAlerts
        = platform::AlertPresenter::install(alerts);
    std::shared_ptr<ExportPanel> previousExports = ExportPanel::install(exports);
    DocumentWindowFactory previousFactory = installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<FakeWindow>(undo); });
    RatingPrompt::UrlOpener previousOpener
        = RatingPrompt::installUrlOpener([this](const QUrl& url) { openedUrls << url; });

    AppFixture()
    {
        callLog().clear();
        FakeWindow::made = 0;
        FakeWindow::registerWhileLoading = false;
        FakeWindow::refusePictures = false;
        FakeWindow::composeWrongSize = false;
        // What the panels remember from earlier tests.
        ExportPanel::rememberQuality(100);
        platform::PanelPresenter::forgetOpenDirectory();
        auto& defaults = platform::UserDefaults::standard();
        defaults.removeObjectForKey(QStringLiteral("HideWelcomeWindow"));
        defaults.removeObjectForKey(RatingPrompt::kSuggestedKey);
    }
    ~AppFixture()
    {
        platform::PanelPresenter::install(previousPanels);
        platform::AlertPresenter::install(previousAlerts);
        ExportPanel::install(previousExports);
        installDocumentWindowFactory(previousFactory);
        RatingPrompt::installUrlOpener(previousOpener);
    }
};

// Runs the event loop for ms milliseconds, so delayed work comes due.
inline void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (timer.elapsed() < ms);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A picture file's bytes: a horizontal grey ramp over a blue-green base.
inline QByteArray pictureBytes(QSize size, const char* format = "png")
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(40 + x * 150 / size.width(), 120, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The fakes, a controller behind a fake welcome window, and a folder for the files a test opens.
struct AppSession {
    AppFixture fixture;
    FakeWelcome welcome;
    ColorDocumentController controller { welcome };
    QTemporaryDir dir;

    // A picture file in the folder, as pictureBytes() makes it.
    QString picture(const char* name = "photo.png", QSize size = { 32, 24 })
    {
        const QString path = dir.filePath(name);
        writeFile(path, pictureBytes(size, QFileInfo(path).suffix() == "jpg" ? "jpeg" : "png"));
        return path;
    }
    ColorDocument* open(const QString& path)
    {
        return static_cast<ColorDocument*>(
            controller.openDocumentWithContentsOfFile(path).document);
    }
};

} // namespace apptest
