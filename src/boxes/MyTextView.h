#pragma once
// The text box: the box view that owns one text's whole machinery (its text container and the
// editable MyTextBox that holds, edits and draws the text), keeps its width fixed while its
// height follows the text, forwards the editing state to the text view, and contributes the
// text fields of the box record.
//
// The box draws nothing of its own: the glyphs are drawn by MyTextBox, the background, border
// and box shadow by the wrapper (MyTextViewSuper). MyTextBox is the box's only subview and
// covers its bounds.
#include "boxes/MyViewBase.h"
#include "platform/text/AttributedString.h"

#include <memory>

class CircleTextContainer;
class MyTextBox;

class MyTextView : public MyViewBase {
public:
    static constexpr BoxKind kBoxKind = BoxKind::Text;
    BoxKind boxKind() const override { return kBoxKind; }
    // initWithFrame: the base defaults, fixedWidth = the frame width, the text "Text" in
    // Helvetica at gDefaultFontSize, centred, neither circular nor vertical.
    explicit MyTextView(const platform::Rect& frame);
    ~MyTextView() override;

    // Declared, not used by the text box.
    bool mouseInside = false;

    // ---- the text machinery
    MyTextBox* txtBox() const { return _txtBox; }
    CircleTextContainer* txtContainer() const { return _txtContainer.get(); }
    // The text with its attributes (the text storage of the text view).
    const platform::AttributedString& txtStorage() const;

    // ---- properties
    // Store the flag and send it to the text view.
    bool Editable() const { return _Editable; }
    void setEditable(bool editable);
    bool Selectable() const { return _Selectable; }
    void setSelectable(bool selectable);
    // Lines cut to the circle whose diameter is the box width.
    bool isCircular() const { return _isCircular; }
    void setIsCircular(bool circular);
    // One character (grapheme cluster) per line; spaces become blanks while it is on, and
    // every attachment turns back into a space when it is turned off.
    bool isVertical() const { return _isVertical; }
    void setIsVertical(bool vertical);
    // The width the box takes when its height grows with the text.
    double fixedWidth() const { return _fixedWidth; }
    void setFixedWidth(double width) { _fixedWidth = width; }

    // ---- references: also handed to the text view (the window as its text delegate)
    void setMyDocumentWindow(DocumentWindowRef* window) override;
    void setMyTextViewContainer(BoxHost* host) override;

    // ---- frame: the text view follows the box's size (frame (0, 0, width, height)).
    void setFrame(const platform::Rect& frame) override;
    void setFrameSize(const platform::Size& size) override;

    void drawRect(const platform::Rect& dirty, platform::GraphicsContext& ctx) override;

    // Grows the box to the height its text uses, at most the working picture's height, keeping
    // the box's centre where it was (in the turned geometry, so a rotated box does not jump).
    // Never shrinks; a growth also sets the width to fixedWidth.
    void RecalcFrame();

    bool resignFirstResponder() override { return true; }
    void setSelected(bool selected) override;
    void setIsEditing(bool editing) override;
    bool canBecomeKeyView() const { return isEditing(); }

    // ---- records
    UNDODATA getUndoData() const override;
    void setUndoData(const UNDODATA& record) override;
    void setCopyPasteStyle(const UNDODATA& record) override;

    // The fill all runs share, as the record keeps it: the common "GradientAttributeName" fill
    // of the runs (kind 0 when no run has one), or nothing when the runs' fills differ.
    static std::optional<SZGradient> commonTextFill(const platform::AttributedString& text);

private:
    bool _Editable = false;
    bool _Selectable = false;
    bool _isCircular = false;
    bool _isVertical = false;
    // Owned as the box's subview.
    MyTextBox* _txtBox = nullptr;
    // Shared with the text view's layout.
    std::shared_ptr<CircleTextContainer> _txtContainer;
    double _fixedWidth = 0.0;
};
