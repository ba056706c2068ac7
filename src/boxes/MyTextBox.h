#pragma once
// The text view inside a text box: holds and edits the box's text (through a TextEditor on the
// box's CircleTextContainer), turns each user text change into one undo step of the box
// container, grows the box to its text, hands presses to the container while the box is not
// being edited, replaces spaces by blanks in vertical text, and draws every character itself
// as a glyph outline (GlyphDrawing).
//
// Coordinates: the view is y-up with bounds (0, 0, width, height), as every view. The text
// container hangs from the view's top edge, lowered by the inset that centres the text
// vertically (textContainerInsetHeight), so container point (x, y) is view point
// (x, height - inset - y).
//
// The box's rotation is the frame rotation of the owning MyTextView; this view stays
// unturned inside it. Events reach it through the box's transform, so the box is never
// unturned while its text is edited.
#include "platform/text/TextEditor.h"
#include "platform/ui/TextInputClient.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>

class BoxHost;
class CircleTextContainer;
class DocumentWindowRef;
class MyTextView;

// The text size of new text boxes: 100 until the container's text box creation sets it. Main
// thread only.
extern double gDefaultFontSize;

class MyTextBox : public platform::View, public platform::TextInputClient {
public:
    // initWithFrame:textContainer: "Text" in Helvetica at gDefaultFontSize, centred, with a
    // clear text colour (the glyphs are drawn as outlines) and typing attributes that carry a
    // new fill under "GradientAttributeName".
    MyTextBox(const platform::Rect& frame, std::shared_ptr<CircleTextContainer> container);
    ~MyTextBox() override;

    platform::TextEditor& editor() { return *_editor; }
    const platform::TextEditor& editor() const { return *_editor; }
    const platform::AttributedString& text() const { return _editor->text(); }
    CircleTextContainer& textContainer() const { return *_container; }

    // The attributes of the box's default text: Helvetica at gDefaultFontSize, centred, clear
    // text colour.
    static platform::AttributeDictionary defaultAttributes();

    // ---- properties
    bool mouseInside = false;
    bool isEditing() const { return _isEditing; }
    void setIsEditing(bool editing);
    double fixedWidth() const { return _fixedWidth; }
    void setFixedWidth(double width) { _fixedWidth = width; }
    BoxHost* myTextViewContainer() const { return _myTextViewContainer; }
    void setMyTextViewContainer(BoxHost* host) { _myTextViewContainer = host; }
    MyTextView* myTextView() const { return _myTextView; }
    void setMyTextView(MyTextView* box) { _myTextView = box; }
    // The text delegate (the document window); nothing while the box replaces its text.
    DocumentWindowRef* delegate() const { return _delegate; }
    void setDelegate(DocumentWindowRef* window) { _delegate = window; }

    void setEditable(bool editable);
    void setSelectable(bool selectable);

    // ---- geometry
    // Half of what the view's height leaves beside the used height of the text, in single
    // precision; negative when the text is taller than the view. A function of the layout
    // and the frame, computed wherever it is needed (drawing never stores it).
    double textContainerInsetHeight() const;
    // Container coordinates -> the view's own y-up coordinates.
    platform::AffineTransform containerToViewTransform() const;
    platform::Point containerPointFromView(const platform::Point& viewPoint) const;

    // The width of the text container follows the view's width.
    void setFrame(const platform::Rect& frame) override;
    void setFrameSize(const platform::Size& size) override;

    // ---- vertical text blanks. Both replace one character by one, so ranges and the
    // selection stay valid, and make no undo step (they are part of the change that called
    // them). Every attachment becomes a space, not only the blanks.
    void replaceSpacesWithBlanks();
    void replaceBlanksWithSpaces();
    // The blank that stands for a space with these attributes: an attachment cell of
    // (s * 0.5, s), s the font's point size as a float, or 20 without a font.
    static platform::AttributeDictionary blankAttributes(
        const platform::AttributeDictionary& spaceAttributes);

    // ---- drawing: the selection and caret, then the glyphs (GlyphDrawing).
    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

    // ---- events: while the box is not being edited a press goes to the container; while it
    // is, presses, drags and keys edit the text. The I-beam shows over the text while editing.
    bool mouseDown(const platform::Event& event) override;
    bool mouseDragged(const platform::Event& event) override;
    bool mouseUp(const platform::Event& event) override;
    // The middle button pastes the selection clipboard where it is pressed.
    bool otherMouseDown(const platform::Event& event) override;
    bool keyDown(const platform::Event& event) override;
    // The caret's rectangle in view coordinates as drawn: at least one device pixel wide where
    // a view unit is scale device pixels.
    static platform::Rect caretRectForDrawing(const platform::Rect& caret, double scale);
    std::optional<QCursor> cursorForPoint(const platform::Point& point) override;
    bool acceptsFirstResponder() const override { return _isEditing; }
    bool isEditingText() const override { return _isEditing; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool canBecomeKeyView() const;

    // ---- input methods
    void insertText(const QString& text) override;
    void setMarkedText(const QString& text, int selectedStart, int selectedLength) override;
    bool hasMarkedText() const override;
    platform::Rect caretRect() const override;

    // The clock typing runs are timed by, in milliseconds (tests set their own).
    static std::function<qint64()>& typingClock();
    static constexpr qint64 kTypingPauseMs = 1000;
    // The most characters a text box holds, on typing and pasting and on reading a record:
    // a text this long lays out in a fraction of a second, ten times more took seconds and
    // gigabytes.
    static constexpr int kMaxCharacters = 1'000'000;
    // What a person is told when a paste passes it.
    static QString characterLimitMessage();

private:
    bool shouldChangeText(platform::TextRange range, const QString& replacement);
    void resetColorPanel();
    void didChangeText();
    // Replaces the whole text without hooks, keeping the selection.
    void replaceTextKeepingSelection(const platform::AttributedString& text);

    std::shared_ptr<CircleTextContainer> _container;
    std::unique_ptr<platform::TextEditor> _editor;
    bool _isEditing = false;
    double _fixedWidth = 0.0;
    // Not owned: the box owns this view, the container owns the box, the window outlives
    // both.
    BoxHost* _myTextViewContainer = nullptr;
    MyTextView* _myTextView = nullptr;
    DocumentWindowRef* _delegate = nullptr;

    // The typing run the next typed change may join: it ends when the caret moves by other
    // means, after a pause of over a second, when the typing attributes change, when editing
    // ends, or when anything else reaches the undo history.
    struct TypingRun {
        platform::TextRange caret;
        platform::AttributeDictionary attributes;
        qint64 lastChangeMs = 0;
    };
    bool continuesTypingRun() const;
    std::optional<TypingRun> _typingRun;
    bool _foldingChange = false;
};
