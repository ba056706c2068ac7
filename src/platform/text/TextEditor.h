#pragma once
// The editing controller behind an editable text: the text and its layout, the selection and
// the caret with its blink, typing, deletion by grapheme cluster, cut, copy and paste (see
// TextClipboard), input-method text, and the hooks around every change. It keeps no undo of its
// own: whoever installs the hooks records changes.
//
// Every change of characters made by the user runs, in order: shouldChangeText (which can
// veto it; nothing changes then), the change, the selection change (willChangeSelection),
// didChangeText. Every selection change, by the user or by setSelectedRange(), passes
// willChangeSelection, which may adjust it.
//
// Points are in the container's coordinates (see TextContainer). Key codes and modifier bits
// are the platform's, as the view layer delivers them.
#include "platform/text/AttributedString.h"
#include "platform/text/TextClipboard.h"
#include "platform/text/TextLayout.h"

#include <QString>
#include <functional>
#include <memory>

class QTimer;

namespace platform {

namespace KeyCode {
constexpr int Return = 36;
constexpr int Tab = 48;
constexpr int Delete = 51; // backspace
constexpr int Escape = 53;
constexpr int ForwardDelete = 117;
constexpr int Home = 115;
constexpr int End = 119;
constexpr int Left = 123;
constexpr int Right = 124;
constexpr int Down = 125;
constexpr int Up = 126;
} // namespace KeyCode

namespace ModifierFlag {
constexpr unsigned Shift = 0x20000;
constexpr unsigned Control = 0x40000;
constexpr unsigned Option = 0x80000;
constexpr unsigned Command = 0x100000;
} // namespace ModifierFlag

class TextEditor {
public:
    explicit TextEditor(std::shared_ptr<TextContainer> container = nullptr);
    ~TextEditor();
    TextEditor(const TextEditor&) = delete;
    TextEditor& operator=(const TextEditor&) = delete;

    // Hooks. shouldChangeText gets the range to replace and the new characters.
    std::function<bool(TextRange range, const QString& replacement)> shouldChangeText;
    std::function<void()> didChangeText;
    std::function<TextRange(TextRange oldRange, TextRange newRange)> willChangeSelection;
    // Something visible changed outside a draw (the caret blinked); the view should redraw.
    std::function<void()> needsDisplay;
    // The most characters the text may hold; 0 for no bound. Typed or pasted text that would
    // pass it keeps what fits (whole grapheme clusters), and textLimitReached is told how many
    // characters were left out.
    int maxLength = 0;
    std::function<void(int leftOut)> textLimitReached;

    // What the change the hooks are told about is: typing (characters typed or deleted at the
    // keyboard, input-method text) or a change of its own (paste, cut), which an undo history
    // keeps apart from the typing round it.
    enum class ChangeKind { Typing, Other };
    ChangeKind changeKind() const { return m_changeKind; }

    const AttributedString& text() const { return m_text; }
    // Replaces the text without hooks (a program change, not the user's); the selection is
    // clamped to it and marked text is dropped.
    void setText(const AttributedString& text);
    // Changes the text in place without hooks (attributes set by the program).
    void editText(const std::function<void(AttributedString&)>& change);

    TextLayout& layout() { return m_layout; }
    const TextLayout& layout() const { return m_layout; }

    bool isEditable() const { return m_editable; }
    void setEditable(bool editable);
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool selectable);

    TextRange selectedRange() const { return m_selection; }
    void setSelectedRange(TextRange range);
    void selectAll();

    // The attributes new typed characters take; they follow the selection.
    const AttributeDictionary& typingAttributes() const { return m_typingAttributes; }
    void setTypingAttributes(const AttributeDictionary& attributes);

    void setClipboard(std::shared_ptr<TextClipboard> clipboard);

    // Key input; true when the key was used.
    bool keyDown(int keyCode, const QString& characters, unsigned modifierFlags);
    // Mouse input: a click (clickCount 2 selects a word, 3 a paragraph; Shift extends), drags
    // that extend from where the press was.
    void mouseDown(const Point& point, int clickCount, unsigned modifierFlags);
    void mouseDragged(const Point& point);
    void mouseUp(const Point& point);

    // Typing and input-method commits: replaces the marked text, else the selection.
    void insertText(const QString& text);
    void deleteBackward();
    void deleteForward();
    // The clipboard keeps copied text with its attributes; a paste of this application's
    // text keeps them, other text takes the typing attributes.
    void cut();
    void copy();
    void paste();
    // The middle button: the selection clipboard's text inserted where point is.
    void pasteSelection(const Point& point);

    // Input-method pre-edit: the marked text replaces the previous marked text (else the
    // selection); selectedRange is within it.
    void setMarkedText(const QString& text, TextRange selectedRange);
    // Keeps the marked text as typed text.
    void unmarkText();
    bool hasMarkedText() const { return m_marked.length > 0; }
    TextRange markedRange() const { return m_marked; }

    // The caret blinks while the editor is first responder.
    bool isFirstResponder() const { return m_firstResponder; }
    void setFirstResponder(bool firstResponder);
    // Whether a draw now shows the caret: first responder, empty selection, blink phase on.
    bool isCaretVisible() const;
    Rect caretRect() const;

    static constexpr int caretBlinkInterval = 500; // milliseconds per phase

private:
    enum class Granularity { Character, Word, Paragraph };

    bool replace(TextRange range, const QString& text, TextRange selectionAfter);
    bool replace(TextRange range, const AttributedString& text, TextRange selectionAfter);
    // The person's selection goes to the selection clipboard (made by the mouse, by Shift
    // with a move key, or by select all; not by the program).
    void offerSelection();
    void changeSelection(TextRange range, bool updateTypingAttributes = true);
    void selectFromAnchor(int anchor, int focus);
    void restartBlink();
    void updateTypingAttributes();
    void updateExtraLineAttributes();

    int previousCluster(int index) const;
    int nextCluster(int index) const;
    int previousWordStart(int index) const;
    int nextWordEnd(int index) const;
    int nextWordStart(int index) const;
    TextRange wordRangeAt(int index) const;
    TextRange paragraphRangeAt(int index) const;
    TextRange lineRangeAt(int index) const;
    TextRange rangeFor(int index, Granularity granularity) const;
    int verticalMove(int index, int lines);
    int moveTarget(int keyCode, unsigned modifiers, bool extending);

    AttributedString m_text;
    TextLayout m_layout;
    TextRange m_selection;
    int m_anchor = 0;
    int m_focus = 0;
    TextRange m_marked { 0, 0 };
    AttributeDictionary m_typingAttributes;
    std::shared_ptr<TextClipboard> m_clipboard;
    ChangeKind m_changeKind = ChangeKind::Typing;
    bool m_editable = true;
    bool m_selectable = true;

    // The mouse gesture in progress.
    Granularity m_dragGranularity = Granularity::Character;
    TextRange m_dragAnchor;
    bool m_dragging = false;
    // The x a run of up and down moves keeps to.
    std::optional<double> m_goalX;

    bool m_firstResponder = false;
    bool m_caretOn = true;
    std::unique_ptr<QTimer> m_blinkTimer;
};

} // namespace platform
