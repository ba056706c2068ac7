#pragma once
// The menu of each document window (and of the welcome window): the application's commands
// with the desktop's standard shortcuts and the common Linux spellings beside them (redo on
// Ctrl+Shift+Z and Ctrl+Y, save as on Ctrl+Shift+S). Each window's menu acts on that window's
// document. F10 opens the first menu and Alt with a menu's underlined letter opens that menu.
// The Window menu ends with a list of the open windows.
#include "window/EditCommands.h"

#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// The document window's edit commands are numbered from here, in their table's order
// (window/EditCommands.h).
constexpr int kFirstEditCommand = 100;

enum class AppCommand {
    New,
    Open,
    Close,
    Save,
    SaveAs,
    ExportJpeg,
    Quit,
    ShowWelcomeWindow,
    // Names for edit commands that code refers to; every row of the edit table has its number
    // (appCommandOf), named here or not.
    Undo = kFirstEditCommand + int(EditCommand::Undo),
    Redo = kFirstEditCommand + int(EditCommand::Redo),
    Cut = kFirstEditCommand + int(EditCommand::Cut),
    Copy = kFirstEditCommand + int(EditCommand::Copy),
    Paste = kFirstEditCommand + int(EditCommand::Paste),
    Delete = kFirstEditCommand + int(EditCommand::Delete),
    SelectAll = kFirstEditCommand + int(EditCommand::SelectAll),
    CopyStyle = kFirstEditCommand + int(EditCommand::CopyStyle),
    PasteStyle = kFirstEditCommand + int(EditCommand::PasteStyle),
    BringToFront = kFirstEditCommand + int(EditCommand::BringToFront),
    BringForward = kFirstEditCommand + int(EditCommand::BringForward),
    SendBackward = kFirstEditCommand + int(EditCommand::SendBackward),
    SendToBack = kFirstEditCommand + int(EditCommand::SendToBack),
};

AppCommand appCommandOf(EditCommand command);
// The window's edit command for a menu command, or nothing for the application's own.
std::optional<EditCommand> editCommandOf(AppCommand command);

struct AppMenuItem {
    AppCommand command;
    QString menu; // "File", "Edit", "Arrange" or "Window"
    QString title;
    QKeySequence::StandardKey key; // UnknownKey: no shortcut
    QList<QKeySequence> moreKeys = {}; // also bound, after the standard ones
};

class AppMenus {
public:
    // Every command, in menu order.
    static const std::vector<AppMenuItem>& items();

    using Handlers = std::map<AppCommand, std::function<void()>>;
    // Whether a command can run now. A command with a validator is enabled by it while its menu
    // is open, and its handler runs only when it answers true (a shortcut can fire on state
    // the menu never showed); while the menu is closed it stays enabled, so that its shortcut
    // reaches that check.
    using Validators = std::map<AppCommand, std::function<bool()>>;
    // A menu bar for window holding every item; a command without a handler is disabled. The
    // shortcuts work anywhere in that window.
    static QMenuBar* build(
        QWidget* window, const Handlers& handlers, const Validators& validators = {});

    // Every shortcut of an item: the standard ones, then the others it adds.
    static QList<QKeySequence> shortcutsOf(const AppMenuItem& item);
    // The bar's "Window" menu, or null.
    static QMenu* windowMenu(const QMenuBar& bar);
    // Puts one item per window at the end of menu (replacing those put there before), named by
    // its drawn title and checked for current; choosing one brings that window back from the
    // dock or from behind the others.
    static void listWindows(QMenu& menu, const std::vector<QWidget*>& windows, QWidget* current);
};
