// The edit commands' table.
#include "window/EditCommands.h"

#include "container/BoxClipboard.h"
#include "container/TextViewContainer.h"
#include "window/DocumentWindow.h"

namespace {

using W = DocumentWindow;

const TextViewContainer& layer(const W& w)
{
    // The table's rule: a command that is not whilePainting is asked only with a box layer.
    return *w.boxLayer();
}

int selectedCount(const W& w)
{
    return layer(w).GetSelectedBoxCount();
}

} // namespace

const std::vector<EditCommandItem>& editCommands()
{
    using E = EditCommand;
    using K = QKeySequence;
    static const std::vector<EditCommandItem> rows = {
        { E::Undo, "Edit", "Undo", K::Undo, {}, true,
            [](const W& w) { return w.documentUndoManager().canUndo(); }, &W::undo },
        { E::Redo, "Edit", "Redo", K::Redo,
            { K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), K(Qt::CTRL | Qt::Key_Y) }, true,
            [](const W& w) { return w.documentUndoManager().canRedo(); }, &W::redo },
        { E::Cut, "Edit", "Cut", K::Cut, {}, false, [](const W& w) { return selectedCount(w) > 0; },
            &W::cut },
        { E::Copy, "Edit", "Copy", K::Copy, {}, false,
            [](const W& w) { return selectedCount(w) > 0; }, &W::copy },
        // A selection is not needed to paste.
        { E::Paste, "Edit", "Paste", K::Paste, {}, false,
            [](const W&) { return BoxClipboard::shared().hasBoxes(); }, &W::paste },
        { E::Delete, "Edit", "Delete", K::Delete, { K(Qt::Key_Backspace) }, false,
            [](const W& w) { return selectedCount(w) > 0; }, &W::deleteBoxes },
        { E::SelectAll, "Edit", "Select All", K::SelectAll, {}, false,
            [](const W& w) { return !layer(w).textViewAry.empty(); }, &W::selectAll },
        { E::CopyStyle, "Edit", "Copy Style", K::UnknownKey, { K(Qt::CTRL | Qt::ALT | Qt::Key_C) },
            false, [](const W& w) { return selectedCount(w) == 1; }, &W::copyStyle },
        { E::PasteStyle, "Edit", "Paste Style", K::UnknownKey,
            { K(Qt::CTRL | Qt::ALT | Qt::Key_V) }, false,
            [](const W& w) {
                return BoxClipboard::shared().style().has_value() && selectedCount(w) > 0;
            },
            &W::pasteStyle },
        { E::BringToFront, "Arrange", "Bring to Front", K::UnknownKey,
            { K(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight) }, false,
            [](const W& w) { return layer(w).canBringForward(); }, &W::bringToFront },
        { E::BringForward, "Arrange", "Bring Forward", K::UnknownKey,
            { K(Qt::CTRL | Qt::Key_BracketRight) }, false,
            [](const W& w) { return layer(w).canBringForward(); }, &W::bringForward },
        { E::SendBackward, "Arrange", "Send Backward", K::UnknownKey,
            { K(Qt::CTRL | Qt::Key_BracketLeft) }, false,
            [](const W& w) { return layer(w).canSendBackward(); }, &W::sendBackward },
        { E::SendToBack, "Arrange", "Send to Back", K::UnknownKey,
            { K(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft) }, false,
            [](const W& w) { return layer(w).canSendBackward(); }, &W::sendToBack },
    };
    return rows;
}

const EditCommandItem& editCommandItem(EditCommand command)
{
    return editCommands().at(std::size_t(command));
}
