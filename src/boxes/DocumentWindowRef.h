#pragma once
// The document window as a box sees it. Boxes only keep the reference for the kinds that talk
// to the window (text boxes, later); the window implements it.
#include "platform/geometry/Size.h"
#include "platform/text/TextRange.h"

#include <optional>

class MyTextBox;

class DocumentWindowRef {
public:
    virtual ~DocumentWindowRef() = default;

    // The working picture's size (the canvas's workingImageSize); nothing when there is no
    // picture yet. A text box grows at most to its height.
    virtual std::optional<platform::Size> workingImageSize() const { return std::nullopt; }

    // The text delegate's hook before a text box's selection changes (the window follows the
    // selection in its text controls); answers the range to select.
    virtual platform::TextRange textViewWillChangeSelection(
        MyTextBox* textBox, platform::TextRange oldRange, platform::TextRange newRange)
    {
        (void)textBox;
        (void)oldRange;
        return newRange;
    }

    // The text delegate's notice after a text box's text changed.
    virtual void textDidChange(MyTextBox* textBox) { (void)textBox; }

    // The shared colour panel, open on the text colour, stays on it while a text box of this
    // window is typed in or clicked: its picks go to that text's selection of the moment.
    virtual void takeTextColorPanel() { }
};
