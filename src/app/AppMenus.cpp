#include "app/AppMenus.h"

#include <QAction>
#include <QMenu>

const std::vector<AppMenuItem>& AppMenus::items()
{
    static const std::vector<AppMenuItem> list = {
        { AppCommand::New, "File", "New", QKeySequence::New },
        { AppCommand::Open, "File", "Open\u2026", QKeySequence::Open },
        { AppCommand::Close, "File", "Close", QKeySequence::Close },
        { AppCommand::Save, "File", "Save", QKeySequence::Save },
        { AppCommand::SaveAs, "File", "Save As\u2026", QKeySequence::SaveAs },
        { AppCommand::ExportJpeg, "File", "Export JPEG image\u2026", QKeySequence::UnknownKey },
        { AppCommand::Quit, "File", "Quit", QKeySequence::Quit },
        { AppCommand::Undo, "Edit", "Undo", QKeySequence::Undo },
        { AppCommand::Redo, "Edit", "Redo", QKeySequence::Redo },
        { AppCommand::ShowWelcomeWindow, "Window", "Show Welcome Window",
            QKeySequence::UnknownKey },
    };
    return list;
}

QMenuBar* AppMenus::build(QWidget* window, const Handlers& handlers)
{
    auto* bar = new QMenuBar(window);
    std::map<QString, QMenu*> menus;
    for (const AppMenuItem& item : items()) {
        QMenu*& menu = menus[item.menu];
        if (!menu)
            menu = bar->addMenu(item.menu);
        QAction* action = menu->addAction(item.title);
        if (item.key != QKeySequence::UnknownKey)
            action->setShortcuts(item.key);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setData(int(item.command));
        // The bar may be hidden or not laid out yet: the window itself carries the shortcuts.
        window->addAction(action);
        const auto handler = handlers.find(item.command);
        if (handler == handlers.end() || !handler->second) {
            action->setEnabled(false);
            continue;
        }
        QObject::connect(action, &QAction::triggered, bar, [fn = handler->second] { fn(); });
    }
    return bar;
}
