// Quillmark: files named on the command line open at launch; otherwise the welcome window (or,
// when it is to stay hidden, the "Select image file" panel).
#include "app/AppDelegate.h"
#include "app/ColorDocumentController.h"
#include "app/PictureWindow.h"
#include "app/WelcomeWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmark"));
    // The welcome window comes and goes with the documents; quitting is decided below.
    QApplication::setQuitOnLastWindowClosed(false);

    installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<PictureWindow>(undo); });
    WelcomeWindow welcome;
    ColorDocumentController controller(welcome);
    AppDelegate delegate(controller, welcome);
    delegate.installMenu(&welcome, nullptr);
    QObject::connect(&welcome, &WelcomeWindow::dontShowToggled, &delegate,
        &AppDelegate::dontShowWelcomeWindowToggled);
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
