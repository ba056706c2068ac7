#pragma once
// What a view that edits text offers to the input methods. The view host routes input-method
// commits, pre-edit text and caret queries to its first responder when that view implements
// this interface.
#include "platform/geometry/Rect.h"

#include <QString>

namespace platform {

class TextInputClient {
public:
    virtual ~TextInputClient() = default;

    // Inserts committed text at the selection, replacing the marked (pre-edit) text if any.
    virtual void insertText(const QString& text) = 0;
    // Replaces the marked text (or the selection) with text shown as pre-edit; an empty text
    // removes the marked text. The selection inside it is given in UTF-16 units.
    virtual void setMarkedText(const QString& text, int selectedStart, int selectedLength) = 0;
    virtual bool hasMarkedText() const = 0;
    // The insertion point, in the view's own coordinates (where a candidate window goes).
    virtual Rect caretRect() const = 0;
    // Whether text is being edited now: while it is, the editing keys (copy, cut, paste,
    // select all, undo, redo, arrows, deletion) belong to the text, not to the window's
    // shortcuts.
    virtual bool isEditingText() const { return true; }
};

} // namespace platform
