#include "boxes/MyTextBox.h"

#include "boxes/BoxHost.h"
#include "boxes/BoxStatics.h"
#include "boxes/BoxesLogging.h"
#include "boxes/CircleTextContainer.h"
#include "boxes/DocumentWindowRef.h"
#include "boxes/GlyphDrawing.h"
#include "boxes/MyTextView.h"
#include "boxes/UNDODATA.h"
#include "platform/document/AlertPresenter.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/SystemTextClipboard.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/ViewHost.h"

#include <QElapsedTimer>
#include <QLocale>
#include <cmath>
#include <limits>

using platform::AffineTransform;
using platform::AttributeDictionary;
using platform::AttributedString;
using platform::AttributeValue;
using platform::Color;
using platform::Font;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::TextRange;
namespace names = platform::TextAttributeNames;

double gDefaultFontSize = 100.0;

namespace {

// The selection highlight behind the (clear) text.
constexpr Color kSelectionColor(0.70, 0.84, 1.0, 1.0);

Font helveticaAt(double size)
{
    const double s = std::isfinite(size) && size > 0.0 ? size : 100.0;
    if (auto font = Font::withName(QStringLiteral("Helvetica"), s))
        return *font;
    return platform::TextLayout::defaultFont().withSize(s);
}

} // namespace

AttributeDictionary MyTextBox::defaultAttributes()
{
    AttributeDictionary a;
    a[names::font] = AttributeValue(helveticaAt(gDefaultFontSize));
    a[names::paragraphStyle]
        = AttributeValue(platform::ParagraphStyle::withAlignment(platform::TextAlignment::Center));
    a[names::foregroundColor] = AttributeValue(Color::clear());
    return a;
}

MyTextBox::MyTextBox(const Rect& frame, std::shared_ptr<CircleTextContainer> container)
    : platform::View(frame)
    , _container(std::move(container))
    , _editor(std::make_unique<platform::TextEditor>(_container))
{
    _fixedWidth = frame.width();
    const AttributeDictionary attributes = defaultAttributes();
    _editor->layout().setDefaultAttributes(attributes);
    _editor->setText(AttributedString(QStringLiteral("Text"), attributes));
    AttributeDictionary typing = attributes;
    typing[names::gradient] = SZGradient::attributeValue(SZGradient());
    _editor->setTypingAttributes(typing);
    // A box's text carries fills and colours: a paste may hold what a box record may.
    _editor->setClipboard(
        std::make_shared<platform::SystemTextClipboard>(UNDODATA::allowedClasses()));

    _editor->shouldChangeText = [this](TextRange range, const QString& replacement) {
        return shouldChangeText(range, replacement);
    };
    _editor->didChangeText = [this] { didChangeText(); };
    _editor->willChangeSelection = [this](TextRange oldRange, TextRange newRange) {
        return _delegate ? _delegate->textViewWillChangeSelection(this, oldRange, newRange)
                         : newRange;
    };
    // The caret blinks from a timer, outside any draw.
    _editor->needsDisplay = [this] { setNeedsDisplay(); };
    _editor->maxLength = kMaxCharacters;
    _editor->textLimitReached = [](int leftOut) {
        qCWarning(lcBoxes) << "text box full:" << leftOut << "characters left out";
        platform::AlertPresenter::current().runModal(
            platform::AlertStyle::Warning, characterLimitMessage());
    };
}

QString MyTextBox::characterLimitMessage()
{
    return QStringLiteral("A text box can hold at most %1 characters; the rest was left out.")
        .arg(QLocale(QLocale::English, QLocale::UnitedStates).toString(kMaxCharacters));
}

MyTextBox::~MyTextBox()
{
    // The editor's hooks point back here; none may run while the members go.
    _editor->shouldChangeText = nullptr;
    _editor->didChangeText = nullptr;
    _editor->willChangeSelection = nullptr;
    _editor->needsDisplay = nullptr;
}

void MyTextBox::setIsEditing(bool editing)
{
    _isEditing = editing;
    if (!editing)
        _typingRun.reset();
    // The caret blinks while the box is edited and takes the keys. A box can stay its host's
    // first responder while it is not edited (a press on the picture takes no keys from it):
    // edited again, it takes up the caret there, as making it first responder again would not.
    const platform::ViewHost* h = host();
    _editor->setFirstResponder(editing && h && h->firstResponder() == this);
    setNeedsDisplay();
}

void MyTextBox::setEditable(bool editable)
{
    _editor->setEditable(editable);
}

void MyTextBox::setSelectable(bool selectable)
{
    _editor->setSelectable(selectable);
}

bool MyTextBox::canBecomeKeyView() const
{
    return _myTextView && _myTextView->isEditing();
}

// ---- geometry

double MyTextBox::textContainerInsetHeight() const
{
    const double used = _editor->layout().usedRect().height();
    const double inset = float((frame().height() - used) * 0.5);
    return std::isfinite(inset) ? inset : 0.0;
}

AffineTransform MyTextBox::containerToViewTransform() const
{
    const Rect b = bounds();
    return platform::TextLayout::yUpTransform(b.maxY() - textContainerInsetHeight())
        .concatenated(AffineTransform::makeTranslation(b.minX(), 0.0));
}

Point MyTextBox::containerPointFromView(const Point& viewPoint) const
{
    const auto inverse = containerToViewTransform().inverted();
    return inverse ? inverse->map(viewPoint) : viewPoint;
}

void MyTextBox::setFrame(const Rect& frame)
{
    platform::View::setFrame(frame);
    // A new width lays the text out again; a new height alone does not.
    _container->setSize(Size(this->frame().width(), platform::TextContainer::unlimited));
}

void MyTextBox::setFrameSize(const Size& size)
{
    platform::View::setFrameSize(size);
    _container->setSize(Size(frame().width(), platform::TextContainer::unlimited));
}

// ---- changes

std::function<qint64()>& MyTextBox::typingClock()
{
    static std::function<qint64()> clock = [] {
        static const QElapsedTimer started = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return started.elapsed();
    };
    return clock;
}

bool MyTextBox::continuesTypingRun() const
{
    if (!_typingRun || _editor->changeKind() != platform::TextEditor::ChangeKind::Typing)
        return false;
    if (typingClock()() - _typingRun->lastChangeMs > kTypingPauseMs)
        return false;
    return _editor->selectedRange() == _typingRun->caret
        && _editor->typingAttributes() == _typingRun->attributes && _myTextViewContainer
        && _myTextViewContainer->canFoldChange(this);
}

bool MyTextBox::shouldChangeText(TextRange, const QString&)
{
    // The before-snapshot of this change, unless it joins the typing run whose step already
    // goes back to where the run began; the step is registered in didChangeText.
    _foldingChange = continuesTypingRun();
    if (!_foldingChange && _myTextViewContainer)
        _myTextViewContainer->prepUndoData();
    return true;
}

void MyTextBox::didChangeText()
{
    qCDebug(lcBoxes) << "did Change Text";
    if (_myTextView) {
        _myTextView->imgPersp = platform::Image();
        if (_myTextView->isVertical())
            replaceSpacesWithBlanks();
        _myTextView->RecalcFrame();
    }
    const bool typing = _editor->changeKind() == platform::TextEditor::ChangeKind::Typing;
    if (_myTextViewContainer) {
        if (_foldingChange)
            _myTextViewContainer->foldedChange();
        else
            _myTextViewContainer->logUndoDataForRun(typing ? this : nullptr);
    }
    _foldingChange = false;
    if (typing)
        _typingRun
            = TypingRun { _editor->selectedRange(), _editor->typingAttributes(), typingClock()() };
    else
        _typingRun.reset();
    if (_myTextView)
        _myTextView->setNeedsDisplay();
    setNeedsDisplay();
    // The window's text controls follow what is typed.
    if (_delegate)
        _delegate->textDidChange(this);
}

void MyTextBox::replaceTextKeepingSelection(const AttributedString& text)
{
    const TextRange selection = _editor->selectedRange();
    _editor->editText([&](AttributedString& t) { t = text; });
    if (_editor->selectedRange() != selection.clamped(text.length()))
        _editor->setSelectedRange(selection);
    setNeedsDisplay();
}

AttributeDictionary MyTextBox::blankAttributes(const AttributeDictionary& spaceAttributes)
{
    AttributeDictionary a = spaceAttributes;
    double s = 20.0;
    const auto it = a.find(names::font);
    if (it != a.end() && it->second.font() && !it->second.font()->isNull())
        s = double(float(it->second.font()->pointSize()));
    if (!std::isfinite(s) || s < 0.0)
        s = 20.0;
    a[names::attachment] = AttributeValue(platform::TextAttachment { Size(s * 0.5, s) });
    return a;
}

void MyTextBox::replaceSpacesWithBlanks()
{
    AttributedString m = _editor->text();
    bool found = false;
    // One character for one, in place: the text keeps its length, so the selection and every
    // range into the text stay valid.
    for (int i = m.string().indexOf(u' '); i >= 0; i = m.string().indexOf(u' ', i + 1)) {
        const AttributeDictionary blank = blankAttributes(m.attributesAt(i));
        m.replaceCharacters(TextRange(i, 1), QString(QChar(platform::TextAttachment::character)));
        m.setAttributes(blank, TextRange(i, 1));
        found = true;
    }
    if (found)
        replaceTextKeepingSelection(m);
}

void MyTextBox::replaceBlanksWithSpaces()
{
    AttributedString m = _editor->text();
    bool found = false;
    for (int i = 0; i < m.length(); ++i) {
        TextRange e;
        const AttributeDictionary& a = m.attributesAt(i, &e);
        if (!a.count(names::attachment))
            continue;
        AttributeDictionary without = a;
        without.erase(names::attachment);
        // Each character of the run becomes one space (one for one keeps the selection).
        m.replaceCharacters(e, QString(e.length, u' '));
        m.setAttributes(without, e);
        found = true;
        i = e.end() - 1;
    }
    if (found)
        replaceTextKeepingSelection(m);
}

// ---- drawing

Rect MyTextBox::caretRectForDrawing(const Rect& caret, double scale)
{
    // A box on a large photo is drawn much reduced: a caret one picture pixel wide would be a
    // fraction of a screen pixel and vanish. It is at least one device pixel wide, round its
    // place.
    if (!std::isfinite(scale) || scale <= 0.0 || caret.width() * scale >= 1.0)
        return caret;
    const double width = 1.0 / scale;
    return Rect(caret.midX() - width / 2, caret.y(), width, caret.height());
}

void MyTextBox::drawRect(const Rect& dirty, platform::GraphicsContext& ctx)
{
    platform::View::drawRect(dirty, ctx);
    qCDebug(lcBoxes) << "drawRect-myTextBox";
    const platform::TextLayout& layout = _editor->layout();
    const AffineTransform t = containerToViewTransform();

    // What the text view itself shows: the selection and the caret; its glyphs are clear. They
    // are drawn on screen only: a warp capture (whose picture is kept after editing ends) and an
    // export draw the text alone.
    const bool decorated = _isEditing && !gWarpCaptureRect.capturing && !gCanvasExporting;
    if (decorated && _editor->isSelectable() && !_editor->selectedRange().isEmpty()) {
        platform::GStateGuard state(ctx);
        ctx.setFillColor(kSelectionColor);
        for (const Rect& r : layout.selectionRects(_editor->selectedRange()))
            ctx.fillRect(t.mapRect(r));
    }
    if (decorated && _editor->isCaretVisible()) {
        platform::GStateGuard state(ctx);
        ctx.setFillColor(Color::black());
        // The device length of one unit along the view's x axis, whatever the rotation.
        const Rect unit = ctx.convertRectToDeviceSpace(Rect(0, 0, 1, 0));
        ctx.fillRect(caretRectForDrawing(
            t.mapRect(_editor->caretRect()), std::hypot(unit.width(), unit.height())));
    }

    const auto fontIt = layout.defaultAttributes().find(names::font);
    const Font fallback = fontIt != layout.defaultAttributes().end() && fontIt->second.font()
        ? *fontIt->second.font()
        : platform::TextLayout::defaultFont();
    GlyphDrawing::Style style
        = _myTextView ? GlyphDrawing::Style::of(*_myTextView) : GlyphDrawing::Style();
    // Circular text, and text captured to be warped (where it is magnified and resampled), is
    // filled from its exact outlines rather than from masks placed on a quarter-pixel grid.
    style.outlinesOnly = _container->isCircular() || gWarpCaptureRect.capturing;
    // Only the lines that can show in the dirty area: a long text draws a screenful.
    const double reach = GlyphDrawing::reachInto(ctx, style);
    std::optional<Rect> visible;
    if (std::isfinite(reach))
        visible = dirty.insetBy(-reach, -reach);
    const auto outlines = GlyphDrawing::characterOutlines(
        layout, t, fallback, visible, GlyphDrawing::needsOutlines(style));
    GlyphDrawing::draw(ctx, outlines, bounds(), style);
}

// ---- events

bool MyTextBox::mouseDown(const platform::Event& event)
{
    qCDebug(lcBoxes) << "mouseDown-mytextbox";
    if (!_isEditing) {
        // A box not being edited is selected and moved like any box: the container decides.
        platform::View* wrapper = _myTextView ? _myTextView->superview() : nullptr;
        if (_myTextViewContainer && wrapper) {
            _myTextViewContainer->mouseDownAtTextBox(
                wrapper->convertPointFromView(event.locationInWindow(), nullptr), event);
            return true;
        }
        return platform::View::mouseDown(event);
    }
    resetColorPanel();
    const Point p = containerPointFromView(convertPointFromView(event.locationInWindow(), nullptr));
    _editor->mouseDown(p, event.clickCount(), event.modifierFlags());
    setNeedsDisplay();
    return true;
}

bool MyTextBox::mouseDragged(const platform::Event& event)
{
    qCDebug(lcBoxes) << "mouseDragged - MyTextBox";
    if (!_isEditing)
        return platform::View::mouseDragged(event);
    _editor->mouseDragged(
        containerPointFromView(convertPointFromView(event.locationInWindow(), nullptr)));
    setNeedsDisplay();
    return true;
}

bool MyTextBox::mouseUp(const platform::Event& event)
{
    qCDebug(lcBoxes) << "mouseUp-textbox";
    if (!_isEditing)
        return platform::View::mouseUp(event);
    _editor->mouseUp(
        containerPointFromView(convertPointFromView(event.locationInWindow(), nullptr)));
    setNeedsDisplay();
    return true;
}

// The shared colour panel stops editing whatever it edited: the colour of text being typed is
// the window's to apply, as a fill. An open text colour panel stays the text's (its picks go to
// the selection as it is when they come), now through this box's window.
void MyTextBox::resetColorPanel()
{
    const QString textColour = QStringLiteral("textColorIdentifier_XYZ");
    platform::ColorPanel& panel = platform::ColorPanel::shared();
    if (panel.identifier() == textColour && panel.hasAction() && _delegate) {
        _delegate->takeTextColorPanel();
        return;
    }
    panel.setIdentifier(textColour);
    panel.setAction(nullptr);
}

bool MyTextBox::otherMouseDown(const platform::Event& event)
{
    if (!_isEditing)
        return platform::View::otherMouseDown(event);
    _editor->pasteSelection(
        containerPointFromView(convertPointFromView(event.locationInWindow(), nullptr)));
    setNeedsDisplay();
    return true;
}

bool MyTextBox::keyDown(const platform::Event& event)
{
    resetColorPanel();
    if (_isEditing
        && _editor->keyDown(event.keyCode(), event.characters(), event.modifierFlags())) {
        setNeedsDisplay();
        return true;
    }
    return platform::View::keyDown(event);
}

std::optional<QCursor> MyTextBox::cursorForPoint(const Point& point)
{
    if (_isEditing)
        return QCursor(Qt::IBeamCursor);
    return platform::View::cursorForPoint(point);
}

bool MyTextBox::becomeFirstResponder()
{
    qCDebug(lcBoxes) << "become first responder- textview";
    if (_isEditing)
        _editor->setFirstResponder(true);
    return _isEditing;
}

bool MyTextBox::resignFirstResponder()
{
    _editor->setFirstResponder(false);
    setNeedsDisplay();
    return true;
}

// ---- input methods

void MyTextBox::insertText(const QString& text)
{
    if (!_isEditing)
        return;
    _editor->insertText(text);
    setNeedsDisplay();
}

void MyTextBox::setMarkedText(const QString& text, int selectedStart, int selectedLength)
{
    if (!_isEditing)
        return;
    _editor->setMarkedText(text, TextRange(selectedStart, selectedLength));
    setNeedsDisplay();
}

bool MyTextBox::hasMarkedText() const
{
    return _editor->hasMarkedText();
}

Rect MyTextBox::caretRect() const
{
    return containerToViewTransform().mapRect(_editor->caretRect());
}
