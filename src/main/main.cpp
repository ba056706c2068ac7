// Quillmark: files named on the command line open at launch; otherwise the welcome window (or,
// when it is to stay hidden, the "Select image file" panel).
#include "app/AppDelegate.h"
#include "app/AppLogging.h"
#include "app/ColorDocumentController.h"
#include "app/DocumentWindowAdapter.h"
#include "app/WelcomeWindow.h"
#include "platform/ui/NamedImage.h"

#include <QApplication>
#include <QDateTime>
#include <QIcon>
#include <QWidget>

namespace {

// Logs the moment the first window paints (scripts/bench-app.sh measures start-up by it), then
// leaves.
class FirstPaintLogger final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget*>(watched)->isWindow()) {
            qCInfo(lcApp, "first paint at %lld ms since the epoch",
                QDateTime::currentMSecsSinceEpoch());
            qApp->removeEventFilter(this);
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
    // Window managers and docks match our windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillmark.Quillmark"));
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("quillmark"), QIcon(platform::namedImagePath(QStringLiteral("quillmark")))));
    // The welcome window comes and goes with the documents; quitting is decided below.
    QApplication::setQuitOnLastWindowClosed(false);
    FirstPaintLogger firstPaint;
    app.installEventFilter(&firstPaint);

    installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<DocumentWindowAdapter>(undo); });
    WelcomeWindow welcome;
    ColorDocumentController controller(welcome);
    AppDelegate delegate(controller, welcome);
    delegate.installMenu(&welcome, nullptr);
    QObject::connect(&welcome, &WelcomeWindow::dontShowToggled, &delegate,
        &AppDelegate::dontShowWelcomeWindowToggled);
    QObject::connect(&welcome, &WelcomeWindow::fileDropped, &delegate,
        [&delegate](const QString& path) { delegate.openFiles({ path }); });
    QObject::connect(
        &delegate, &AppDelegate::quitRequested, &app, &QApplication::quit, Qt::QueuedConnection);
    // Closing the welcome window while no document is open leaves nothing to work in.
    QObject::connect(&welcome, &WelcomeWindow::closed, &delegate, [&] {
        if (controller.documents().empty())
            emit delegate.quitRequested();
    });

    if (!delegate.applicationDidFinishLaunching(QApplication::arguments().mid(1)))
        return 0;
    return QApplication::exec();
}
