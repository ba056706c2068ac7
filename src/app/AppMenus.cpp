#include "app/AppMenus.h"

#include "window/Window.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>

AppCommand appCommandOf(EditCommand command)
{
    return AppCommand(kFirstEditCommand + int(command));
}

std::optional<EditCommand> editCommandOf(AppCommand command)
{
    const int index = int(command) - kFirstEditCommand;
    if (index < 0 || index >= int(editCommands().size()))
        return std::nullopt;
    return EditCommand(index);
}

const std::vector<AppMenuItem>& AppMenus::items()
{
    static const std::vector<AppMenuItem> list = [] {
        std::vector<AppMenuItem> items = {
            { AppCommand::New, "File", "New", QKeySequence::New },
            { AppCommand::Open, "File", "Open\u2026", QKeySequence::Open },
            { AppCommand::Close, "File", "Close", QKeySequence::Close },
            { AppCommand::Save, "File", "Save", QKeySequence::Save },
            { AppCommand::SaveAs, "File", "Save As\u2026", QKeySequence::SaveAs,
                { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) } },
            { AppCommand::ExportJpeg, "File", "Export JPEG image\u2026", QKeySequence::UnknownKey },
            { AppCommand::Quit, "File", "Quit", QKeySequence::Quit },
        };
        for (const EditCommandItem& edit : editCommands())
            items.push_back({ appCommandOf(edit.command), QString::fromLatin1(edit.menu),
                QString::fromLatin1(edit.title), edit.key, edit.moreKeys });
        items.push_back({ AppCommand::ShowWelcomeWindow, "Window", "Show Welcome Window",
            QKeySequence::UnknownKey });
        return items;
    }();
    return list;
}

namespace {
// Marks the items listWindows puts in a menu.
constexpr char kWindowItem[] = "quillmarkWindowItem";

QString drawnTitle(const QWidget& window)
{
    if (const auto* chrome = qobject_cast<const Window*>(&window))
        return chrome->title();
    return Window::shownTitle(window);
}
} // namespace

QList<QKeySequence> AppMenus::shortcutsOf(const AppMenuItem& item)
{
    QList<QKeySequence> keys;
    if (item.key != QKeySequence::UnknownKey)
        keys = QKeySequence::keyBindings(item.key);
    for (const QKeySequence& key : item.moreKeys)
        if (!keys.contains(key))
            keys << key;
    return keys;
}

QMenu* AppMenus::windowMenu(const QMenuBar& bar)
{
    for (QAction* action : bar.actions())
        if (action->menu() && action->menu()->objectName() == QLatin1String("Window"))
            return action->menu();
    return nullptr;
}

void AppMenus::listWindows(QMenu& menu, const std::vector<QWidget*>& windows, QWidget* current)
{
    for (QAction* action : menu.actions())
        if (action->property(kWindowItem).toBool())
            delete action;
    if (windows.empty())
        return;
    menu.addSeparator()->setProperty(kWindowItem, true);
    for (QWidget* window : windows) {
        if (!window)
            continue;
        QAction* action = menu.addAction(drawnTitle(*window));
        action->setProperty(kWindowItem, true);
        action->setCheckable(true);
        action->setChecked(window == current);
        QObject::connect(action, &QAction::triggered, window, [window] {
            if (window->isMinimized() || window->isHidden())
                window->showNormal();
            window->raise();
            window->activateWindow();
        });
    }
}

QMenuBar* AppMenus::build(QWidget* window, const Handlers& handlers, const Validators& validators)
{
    auto* bar = new QMenuBar(window);
    std::map<QString, QMenu*> menus;
    for (const AppMenuItem& item : items()) {
        QMenu*& menu = menus[item.menu];
        if (!menu) {
            // "&": Alt with the menu's first letter opens it.
            menu = bar->addMenu(QStringLiteral("&") + item.menu);
            menu->setObjectName(item.menu);
        }
        QAction* action = menu->addAction(item.title);
        action->setShortcuts(shortcutsOf(item));
        action->setShortcutContext(Qt::WindowShortcut);
        action->setData(int(item.command));
        // The bar may be hidden or not laid out yet: the window itself carries the shortcuts.
        window->addAction(action);
        const auto handler = handlers.find(item.command);
        if (handler == handlers.end() || !handler->second) {
            action->setEnabled(false);
            continue;
        }
        const auto found = validators.find(item.command);
        if (found == validators.end() || !found->second) {
            QObject::connect(action, &QAction::triggered, bar, [fn = handler->second] { fn(); });
            continue;
        }
        const std::function<bool()> valid = found->second;
        QObject::connect(action, &QAction::triggered, bar, [fn = handler->second, valid] {
            if (valid())
                fn();
        });
        QObject::connect(
            menu, &QMenu::aboutToShow, action, [action, valid] { action->setEnabled(valid()); });
        QObject::connect(menu, &QMenu::aboutToHide, action, [action] { action->setEnabled(true); });
    }
    // F10 opens the first menu, as on other Linux desktops' windows.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), bar, bar, [bar] {
        if (!bar->actions().isEmpty())
            bar->setActiveAction(bar->actions().constFirst());
    });
    f10->setContext(Qt::WindowShortcut);
    return bar;
}
