#include "boxes/MyTextView.h"

#include "boxes/BoxesLogging.h"
#include "boxes/CircleTextContainer.h"
#include "boxes/DocumentWindowRef.h"
#include "boxes/MyTextBox.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/ViewHost.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::AttributedString;
using platform::AttributeValue;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

namespace {

// The plain characters of a text with every attachment (the blanks of vertical text) back as
// a space, so that a text rebuilt from them holds no attachment character without its cell.
QString plainCharacters(const AttributedString& text)
{
    QString s = text.string();
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == QChar(platform::TextAttachment::character)
            && text.attributesAt(i).count(names::attachment))
            s[i] = u' ';
    }
    return s;
}

int clampedToInt(std::uint64_t v)
{
    return int(std::min<std::uint64_t>(v, std::uint64_t(std::numeric_limits<int>::max())));
}

} // namespace

MyTextView::MyTextView(const Rect& frame)
    : MyViewBase(frame)
{
    const Rect f = this->frame();
    _fixedWidth = f.width();
    setRotationAngle(0.0);
    _txtContainer = std::make_shared<CircleTextContainer>(
        Size(f.width(), platform::TextContainer::unlimited));
    setIsCircular(false);
    setIsVertical(false);
    auto box = std::make_unique<MyTextBox>(Rect(0, 0, f.width(), f.height()), _txtContainer);
    box->setMyTextView(this);
    _txtBox = addSubview(std::move(box));
}

MyTextView::~MyTextView()
{
    // The text view outlives this body as a subview until the base destructor; it must not
    // reach back into a box that is going.
    if (_txtBox)
        _txtBox->setMyTextView(nullptr);
}

const AttributedString& MyTextView::txtStorage() const
{
    return _txtBox->text();
}

void MyTextView::setEditable(bool editable)
{
    _Editable = editable;
    if (_txtBox)
        _txtBox->setEditable(editable);
}

void MyTextView::setSelectable(bool selectable)
{
    _Selectable = selectable;
    if (_txtBox)
        _txtBox->setSelectable(selectable);
}

void MyTextView::setIsCircular(bool circular)
{
    _isCircular = circular;
    _txtContainer->setIsCircular(circular);
    if (_txtBox)
        _txtBox->setNeedsDisplay();
}

void MyTextView::setIsVertical(bool vertical)
{
    _isVertical = vertical;
    _txtContainer->setIsVertical(vertical);
    if (!_txtBox)
        return;
    if (vertical)
        _txtBox->replaceSpacesWithBlanks();
    else
        _txtBox->replaceBlanksWithSpaces();
    _txtBox->setNeedsDisplay();
}

void MyTextView::setMyDocumentWindow(DocumentWindowRef* window)
{
    MyViewBase::setMyDocumentWindow(window);
    if (_txtBox)
        _txtBox->setDelegate(window);
}

void MyTextView::setMyTextViewContainer(BoxHost* host)
{
    MyViewBase::setMyTextViewContainer(host);
    if (_txtBox)
        _txtBox->setMyTextViewContainer(host);
}

void MyTextView::setFrame(const Rect& frame)
{
    MyViewBase::setFrame(frame);
    if (_txtBox)
        _txtBox->setFrame(Rect(Point(0, 0), this->frame().size));
}

void MyTextView::setFrameSize(const Size& size)
{
    MyViewBase::setFrameSize(size);
    if (_txtBox)
        _txtBox->setFrameSize(frame().size);
}

void MyTextView::drawRect(const Rect& dirty, platform::GraphicsContext& ctx)
{
    qCDebug(lcBoxes) << "drawRect-myTextView";
    MyViewBase::drawRect(dirty, ctx);
}

void MyTextView::RecalcFrame()
{
    if (!_txtBox)
        return;
    const double used = _txtBox->editor().layout().usedRect().height();
    // Without a picture there is no height to stop at.
    double limit = std::numeric_limits<double>::infinity();
    if (DocumentWindowRef* window = myDocumentWindow()) {
        if (const auto size = window->workingImageSize())
            limit = size->height;
    }
    const double h = used <= limit ? used : limit;
    const Rect f = frame();
    if (!std::isfinite(h) || !(h > f.height()))
        return;
    // Keep the centre where it was in the turned geometry: the frame origin is the turned
    // first corner, so the origin moves by however far the centre went.
    const Point before = transformToSuperview().map(bounds().center());
    setFrameSize(Size(_fixedWidth, h));
    const Point after = transformToSuperview().map(bounds().center());
    const Point o = frame().origin;
    setFrameOrigin(Point(o.x + before.x - after.x, o.y + before.y - after.y));
}

void MyTextView::setSelected(bool selected)
{
    MyViewBase::setSelected(selected);
}

void MyTextView::setIsEditing(bool editing)
{
    MyViewBase::setIsEditing(editing);
    if (_txtBox)
        _txtBox->setIsEditing(editing);
}

// ---- records

std::optional<SZGradient> MyTextView::commonTextFill(const AttributedString& text)
{
    SZGradient reference;
    reference.gradientType = SZGradient::NoFill;
    bool allEqual = true;
    text.enumerateAttribute(names::gradient, TextRange(0, text.length()), AttributedString::Reverse,
        [&](const AttributeValue& value, TextRange, bool&) {
            const SZGradient* fill = SZGradient::fromAttribute(value);
            if (!fill)
                return;
            if (reference.gradientType == SZGradient::NoFill)
                reference = *fill;
            else if (!fill->isEqualTo(reference))
                allEqual = false;
        });
    if (!allEqual)
        return std::nullopt;
    return reference;
}

UNDODATA MyTextView::getUndoData() const
{
    UNDODATA r = MyViewBase::getUndoData();
    const platform::TextEditor& editor = _txtBox->editor();
    r.rtf = editor.text();
    r.fixedWidth = _fixedWidth;
    r.selectable = editor.isSelectable();
    r.editable = editor.isEditable();
    const TextRange sel = editor.selectedRange();
    r.selectionRange
        = { std::uint64_t(std::max(sel.location, 0)), std::uint64_t(std::max(sel.length, 0)) };
    r.typingAttributes = editor.typingAttributes();
    r.isVertical = _isVertical;
    r.isCircular = _isCircular;
    if (const auto common = commonTextFill(editor.text())) {
        r.overlayColor = *common;
    } else {
        SZGradient fill = overlayColor();
        fill.gradientType = SZGradient::NoFill;
        r.overlayColor = fill;
    }
    return r;
}

void MyTextView::setUndoData(const UNDODATA& record)
{
    // No text notifications reach the window while the text is replaced.
    DocumentWindowRef* delegate = _txtBox->delegate();
    _txtBox->setDelegate(nullptr);
    MyViewBase::setUndoData(record);
    UNDODATA r = record;
    r.validate();
    setFixedWidth(r.fixedWidth);
    platform::TextEditor& editor = _txtBox->editor();
    // validate() held the text to what a box can take by typing or pasting.
    static_assert(std::size_t(MyTextBox::kMaxCharacters) == UNDODATA::kMaxTextLength);
    editor.setText(r.rtf.value_or(AttributedString()));
    _txtBox->setSelectable(r.selectable);
    _txtBox->setEditable(r.editable);
    if (isEditing() && editor.isEditable()) {
        if (platform::ViewHost* h = host())
            h->makeFirstResponder(_txtBox);
    }
    const int n = editor.text().length();
    const int location = std::min(clampedToInt(r.selectionRange.location), n);
    const int length = std::min(clampedToInt(r.selectionRange.length), n - location);
    editor.setSelectedRange(TextRange(location, length));
    if (r.typingAttributes)
        editor.setTypingAttributes(*r.typingAttributes);
    setShadows();
    setIsVertical(r.isVertical);
    setIsCircular(r.isCircular);
    _txtBox->setDelegate(delegate);
    _txtBox->setNeedsDisplay();
}

void MyTextView::setCopyPasteStyle(const UNDODATA& record)
{
    MyViewBase::setCopyPasteStyle(record);
    UNDODATA r = record;
    r.validate();
    DocumentWindowRef* delegate = _txtBox->delegate();
    _txtBox->setDelegate(nullptr);
    platform::TextEditor& editor = _txtBox->editor();
    const QString characters = plainCharacters(editor.text());

    switch (r.type) {
    case UNDODATA::ShapeBox: {
        if (editor.text().isEmpty()) {
            _txtBox->setDelegate(delegate);
            return;
        }
        _txtBox->setEditable(true);
        if (r.overlayColor) {
            SZGradient fill = *r.overlayColor;
            fill.drawType = 0;
            const AttributeValue value = SZGradient::attributeValue(fill);
            // Every run at once: setting the runs one by one merged the whole text again at
            // each of them.
            editor.editText([&](AttributedString& text) {
                text.changeRuns(TextRange(0, text.length()),
                    [&](platform::AttributeDictionary& a) { a[names::gradient] = value; });
            });
        }
        editor.setSelectedRange(TextRange(0, 0));
        break;
    }
    case UNDODATA::TextBox: {
        const AttributedString source = r.rtf.value_or(AttributedString());
        AttributedString styled;
        if (!source.isEmpty()) {
            // The characters take the style of the source's first character.
            styled = source;
            styled.replaceCharacters(TextRange(0, styled.length()), characters);
        } else {
            // An empty source has no first character: its typing attributes are its style.
            styled = AttributedString(
                characters, r.typingAttributes ? *r.typingAttributes : editor.typingAttributes());
        }
        // A blank's cell is no style: the characters keep their own kind.
        styled.removeAttribute(names::attachment, TextRange(0, styled.length()));
        editor.setText(styled);
        if (r.typingAttributes)
            editor.setTypingAttributes(*r.typingAttributes);
        break;
    }
    default:
        break;
    }
    // Closed to the keys unless the box is being edited: a box being edited that refused its
    // keys would let them pass to the box mover, and the caret keys would nudge the box.
    _txtBox->setSelectable(isEditing());
    _txtBox->setEditable(isEditing());
    setIsVertical(r.isVertical);
    setIsCircular(r.isCircular);
    _txtBox->setDelegate(delegate);
    setShadows();
    RecalcFrame();
    _txtBox->setNeedsDisplay();
}
