#pragma once
// The menu of each document window (and of the welcome window): the application's commands
// with the desktop's standard shortcuts. Each window's menu acts on that window's document.
#include <QKeySequence>
#include <QMenuBar>
#include <QString>
#include <functional>
#include <map>
#include <vector>

enum class AppCommand {
    New,
    Open,
    Close,
    Save,
    SaveAs,
    ExportJpeg,
    Quit,
    Undo,
    Redo,
    ShowWelcomeWindow
};

struct AppMenuItem {
    AppCommand command;
    QString menu; // "File", "Edit" or "Window"
    QString title;
    QKeySequence::StandardKey key; // UnknownKey: no shortcut
};

class AppMenus {
public:
    // Every command, in menu order.
    static const std::vector<AppMenuItem>& items();

    using Handlers = std::map<AppCommand, std::function<void()>>;
    // A menu bar for window holding every item; a command without a handler is disabled. The
    // shortcuts work anywhere in that window.
    static QMenuBar* build(QWidget* window, const Handlers& handlers);
};
