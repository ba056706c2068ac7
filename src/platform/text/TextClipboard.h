#pragma once
// Where cut, copy and paste of text go. The editor talks to this interface so that tests can
// give it a clipboard of their own.
//
// Copied text goes out twice: as plain text for other programs, and with its attributes for
// this application's own text boxes. A paste prefers the attributed form. The selection
// clipboard (X11's and Wayland's PRIMARY) holds the text last selected, for a middle-button
// paste; a clipboard without one ignores it.
#include "platform/text/AttributedString.h"

#include <QString>
#include <optional>

namespace platform {

class TextClipboard {
public:
    virtual ~TextClipboard() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;

    // The attributed text copied here by this application; nullopt when the clipboard holds
    // none (text from another program, or nothing).
    virtual std::optional<AttributedString> attributedText() const { return std::nullopt; }
    // Copies text with its attributes, and its plain characters for other programs.
    virtual void setAttributedText(const AttributedString& text) { setText(text.string()); }

    virtual QString selectionText() const { return {}; }
    virtual void setSelectionText(const QString& text) { (void)text; }
};

} // namespace platform
