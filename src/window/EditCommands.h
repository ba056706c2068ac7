#pragma once
// The Edit and Arrange menus' commands of a document window, one row each: where the command
// sits, its title and shortcuts, when it can run and what it runs. The application's menus,
// the window's validation and its dispatch all come from this table, so a new command is one
// enumerator and one row.
#include <QKeySequence>
#include <QList>
#include <vector>

class DocumentWindow;

// In menu order; each is also the index of its row.
enum class EditCommand {
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    Delete,
    SelectAll,
    CopyStyle,
    PasteStyle,
    BringToFront,
    BringForward,
    SendBackward,
    SendToBack,
};

struct EditCommandItem {
    EditCommand command;
    const char* menu; // "Edit" or "Arrange"
    const char* title;
    QKeySequence::StandardKey key; // UnknownKey: no standard shortcut
    QList<QKeySequence> moreKeys; // also bound, after the standard ones
    // Whether it can run while the mask is painted (undo and redo serve the brush strokes);
    // every other command needs the box layer and box mode.
    bool whilePainting;
    // Whether it can run now, given the rule above holds.
    bool (*enabled)(const DocumentWindow& window);
    void (DocumentWindow::*run)();
};

// Every command, in menu order (row i is EditCommand i).
const std::vector<EditCommandItem>& editCommands();
const EditCommandItem& editCommandItem(EditCommand command);
