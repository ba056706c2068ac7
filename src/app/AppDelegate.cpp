#include "app/AppDelegate.h"

#include "app/ColorDocument.h"
#include "foundation/SharedFunctions.h"
#include "platform/document/AlertPresenter.h"
#include "window/Window.h"

#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

AppDelegate::AppDelegate(
    ColorDocumentController& controller, WelcomeWindowPort& welcome, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_welcome(welcome)
{
    connect(
        &m_controller, &ColorDocumentController::noWindowLeft, this, &AppDelegate::quitRequested);
    connect(&m_controller, &ColorDocumentController::documentWindowReady, this,
        [this](ColorDocument* document) { installMenu(document->window(), document); });
}

QMenuBar* AppDelegate::installMenu(QWidget* window, ColorDocument* document)
{
    if (!window)
        return nullptr;
    QMenuBar* bar = AppMenus::build(window, handlersFor(document), validatorsFor(document));
    // A window without a document (the welcome window) has no boxes to arrange; without that
    // menu its bar also fits beside its title.
    if (!document) {
        if (auto* arrange = bar->findChild<QMenu*>(QStringLiteral("Arrange")))
            arrange->menuAction()->setVisible(false);
    }
    // The list of windows is made when the menu opens, so it is never stale.
    if (QMenu* menu = AppMenus::windowMenu(*bar))
        connect(menu, &QMenu::aboutToShow, menu, [this, menu, window] {
            std::vector<QWidget*> windows;
            for (platform::Document* open : m_controller.documents())
                if (QWidget* shown = open->window())
                    windows.push_back(shown);
            AppMenus::listWindows(*menu, windows, window);
        });
    if (auto* chrome = qobject_cast<Window*>(window))
        chrome->setMenuBar(bar);
    else if (QLayout* layout = window->layout())
        layout->setMenuBar(bar);
    return bar;
}

bool AppDelegate::applicationDidFinishLaunching(const QStringList& files)
{
    if (openFiles(files) > 0)
        return true;
    if (ShouldShowWelcomeWindow()) {
        m_welcome.makeKeyAndOrderFront();
        return true;
    }
    // A hidden welcome window would leave nothing on screen: ask for a picture at once, and
    // end when the user declines.
    return m_controller.newDocument() != nullptr;
}

int AppDelegate::openFiles(const QStringList& files)
{
    int opened = 0;
    for (const QString& path : files) {
        const auto result = m_controller.openDocumentWithContentsOfFile(path);
        if (result.error)
            platform::AlertPresenter::current().runModal(
                platform::AlertStyle::Critical, result.error->message());
        else if (result.document) {
            ++opened;
            // A file opened again brings its window forward.
            if (QWidget* window = result.alreadyOpen ? result.document->window() : nullptr) {
                window->raise();
                window->activateWindow();
            }
        }
    }
    return opened;
}

void AppDelegate::dontShowWelcomeWindowToggled(bool checked)
{
    SetShowWelcomeWindow(!checked);
}

void AppDelegate::showWelcomeWindow()
{
    m_welcome.setDontShowChecked(false);
    SetShowWelcomeWindow(true);
    m_welcome.makeKeyAndOrderFront();
}

bool AppDelegate::quit()
{
    if (!m_controller.closeAllDocuments())
        return false;
    emit quitRequested();
    return true;
}

AppMenus::Handlers AppDelegate::handlersFor(ColorDocument* document)
{
    AppMenus::Handlers handlers = {
        { AppCommand::New, [this] { m_controller.newDocument(); } },
        { AppCommand::Open, [this] { m_controller.openDocument(); } },
        { AppCommand::Quit, [this] { quit(); } },
        { AppCommand::ShowWelcomeWindow, [this] { showWelcomeWindow(); } },
    };
    if (!document)
        return handlers;
    // The document may close while its menu lives on for a moment.
    const QPointer<ColorDocument> doc(document);
    const auto on = [doc](auto fn) {
        return [doc, fn] {
            if (doc)
                fn(*doc);
        };
    };
    handlers[AppCommand::Close] = on([](ColorDocument& d) {
        if (d.canClose())
            d.close();
    });
    handlers[AppCommand::Save] = on([](ColorDocument& d) { d.save(); });
    handlers[AppCommand::SaveAs] = on([](ColorDocument& d) { d.saveAs(); });
    handlers[AppCommand::ExportJpeg] = on([](ColorDocument& d) { d.exportImage(); });
    // The window answers its edit commands; undo and redo fall back to the document.
    for (const EditCommandItem& edit : editCommands()) {
        const AppCommand command = appCommandOf(edit.command);
        handlers[command] = on([command](ColorDocument& d) {
            DocumentWindowPort* port = d.windowPort();
            if (port && port->handlesEditCommands())
                port->performCommand(command);
            else if (command == AppCommand::Undo)
                d.undoManager().undo();
            else if (command == AppCommand::Redo)
                d.undoManager().redo();
        });
    }
    return handlers;
}

AppMenus::Validators AppDelegate::validatorsFor(ColorDocument* document)
{
    AppMenus::Validators validators;
    const QPointer<ColorDocument> doc(document);
    for (const EditCommandItem& edit : editCommands()) {
        const AppCommand command = appCommandOf(edit.command);
        validators[command] = [doc, command] {
            DocumentWindowPort* port = doc ? doc->windowPort() : nullptr;
            if (!port || !port->handlesEditCommands())
                return doc && (command == AppCommand::Undo || command == AppCommand::Redo);
            return port->validateCommand(command);
        };
    }
    return validators;
}
