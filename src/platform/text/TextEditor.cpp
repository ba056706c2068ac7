#include "platform/text/TextEditor.h"

#include "platform/text/SystemTextClipboard.h"
#include "platform/text/TextAttributeNames.h"

#include <QScopedValueRollback>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <algorithm>

namespace platform {

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

// Characters a key may type: not control codes, not the function-key block of the
// private-use area.
bool isTypable(const QString& characters)
{
    if (characters.isEmpty())
        return false;
    for (QChar c : characters) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0xF700 && u <= 0xF8FF))
            return false;
    }
    return true;
}

} // namespace

TextEditor::TextEditor(std::shared_ptr<TextContainer> container)
    : m_layout(std::move(container))
    , m_clipboard(std::make_shared<SystemTextClipboard>())
    , m_blinkTimer(std::make_unique<QTimer>())
{
    m_blinkTimer->setInterval(caretBlinkInterval);
    QObject::connect(m_blinkTimer.get(), &QTimer::timeout, m_blinkTimer.get(), [this] {
        m_caretOn = !m_caretOn;
        if (needsDisplay)
            needsDisplay();
    });
    m_layout.setText(m_text);
    updateExtraLineAttributes();
}

TextEditor::~TextEditor() = default;

void TextEditor::setText(const AttributedString& text)
{
    m_text = text;
    m_layout.setText(m_text);
    m_marked = TextRange();
    const TextRange clamped = m_selection.clamped(m_text.length());
    m_selection = clamped;
    m_anchor = clamped.location;
    m_focus = clamped.end();
    updateTypingAttributes();
}

void TextEditor::editText(const std::function<void(AttributedString&)>& change)
{
    change(m_text);
    m_layout.setText(m_text);
    m_marked = m_marked.clamped(m_text.length());
    m_selection = m_selection.clamped(m_text.length());
    m_anchor = std::min(m_anchor, m_text.length());
    m_focus = std::min(m_focus, m_text.length());
}

void TextEditor::setEditable(bool editable)
{
    m_editable = editable;
    if (editable)
        m_selectable = true;
}

void TextEditor::setSelectable(bool selectable)
{
    m_selectable = selectable;
    if (!selectable)
        m_editable = false;
}

void TextEditor::setTypingAttributes(const AttributeDictionary& attributes)
{
    m_typingAttributes = attributes;
    updateExtraLineAttributes();
}

void TextEditor::updateExtraLineAttributes()
{
    // An empty text or an empty last line is as tall as what would be typed there.
    m_layout.setExtraLineFragmentAttributes(
        m_typingAttributes.empty() ? std::nullopt : std::optional(m_typingAttributes));
}

void TextEditor::updateTypingAttributes()
{
    if (m_text.isEmpty())
        return;
    const int source
        = m_selection.length > 0 ? m_selection.location : std::max(m_selection.location - 1, 0);
    AttributeDictionary attributes = m_text.attributesAt(std::min(source, m_text.length() - 1));
    attributes.erase(TextAttributeNames::attachment);
    m_typingAttributes = attributes;
    updateExtraLineAttributes();
}

void TextEditor::setClipboard(std::shared_ptr<TextClipboard> clipboard)
{
    m_clipboard = std::move(clipboard);
}

void TextEditor::setSelectedRange(TextRange range)
{
    changeSelection(range);
}

void TextEditor::selectAll()
{
    changeSelection(TextRange(0, m_text.length()));
}

void TextEditor::changeSelection(TextRange range, bool updateTyping)
{
    range = range.clamped(m_text.length());
    if (willChangeSelection)
        range = willChangeSelection(m_selection, range).clamped(m_text.length());
    const bool changed = range != m_selection;
    m_selection = range;
    if (m_anchor != range.location && m_anchor != range.end()) {
        m_anchor = range.location;
        m_focus = range.end();
    } else {
        m_focus = m_anchor == range.location ? range.end() : range.location;
    }
    if (updateTyping)
        updateTypingAttributes();
    if (changed)
        restartBlink();
}

void TextEditor::selectFromAnchor(int anchor, int focus)
{
    const int n = m_text.length();
    anchor = std::clamp(anchor, 0, n);
    focus = std::clamp(focus, 0, n);
    m_anchor = anchor;
    changeSelection(TextRange(std::min(anchor, focus), std::abs(focus - anchor)));
    if (m_selection.location == std::min(anchor, focus)
        && m_selection.length == std::abs(focus - anchor)) {
        m_anchor = anchor;
        m_focus = focus;
    }
}

bool TextEditor::replace(TextRange range, const QString& text, TextRange selectionAfter)
{
    return replace(range, AttributedString(text, m_typingAttributes), selectionAfter);
}

bool TextEditor::replace(TextRange range, const AttributedString& text, TextRange selectionAfter)
{
    if (!m_editable)
        return false;
    range = range.clamped(m_text.length());
    if (shouldChangeText && !shouldChangeText(range, text.string()))
        return false;
    m_text.replaceCharacters(range, text);
    m_layout.setText(m_text);
    m_goalX.reset();
    m_anchor = m_focus = selectionAfter.location;
    changeSelection(selectionAfter, false);
    if (didChangeText)
        didChangeText();
    restartBlink();
    return true;
}

void TextEditor::insertText(const QString& text)
{
    const TextRange target = hasMarkedText() ? m_marked : m_selection;
    m_marked = TextRange();
    QString kept = text;
    if (maxLength > 0) {
        const qsizetype room = std::max<qsizetype>(
            0, qsizetype(maxLength) - (m_text.length() - target.clamped(m_text.length()).length));
        if (kept.size() > room) {
            // Cut at a cluster boundary, so that no character is left half; judged on the
            // characters around the cut, not on the whole of a huge paste.
            const qsizetype from = std::max<qsizetype>(0, room - 32);
            const QString around = kept.mid(from, room - from + 32);
            QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, around);
            finder.setPosition(room - from);
            if (!finder.isAtBoundary())
                finder.toPreviousBoundary();
            kept.truncate(from + std::max<qsizetype>(0, finder.position()));
        }
    }
    const int leftOut = int(text.size() - kept.size());
    if (!kept.isEmpty() || text.isEmpty())
        replace(target, kept, TextRange(target.location + int(kept.size()), 0));
    if (leftOut > 0 && textLimitReached)
        textLimitReached(leftOut);
}

void TextEditor::setMarkedText(const QString& text, TextRange selectedRange)
{
    const TextRange target = hasMarkedText() ? m_marked : m_selection;
    const TextRange inner = selectedRange.clamped(int(text.size()));
    const TextRange before = m_marked;
    m_marked = TextRange(target.location, int(text.size()));
    if (!replace(target, text, TextRange(target.location + inner.location, inner.length)))
        m_marked = before;
}

void TextEditor::unmarkText()
{
    m_marked = TextRange();
}

void TextEditor::deleteBackward()
{
    if (m_selection.length > 0) {
        replace(m_selection, QString(), TextRange(m_selection.location, 0));
        return;
    }
    const int end = m_selection.location;
    if (end == 0)
        return;
    const int start = previousCluster(end);
    replace(TextRange(start, end - start), QString(), TextRange(start, 0));
}

void TextEditor::deleteForward()
{
    if (m_selection.length > 0) {
        replace(m_selection, QString(), TextRange(m_selection.location, 0));
        return;
    }
    const int start = m_selection.location;
    if (start >= m_text.length())
        return;
    const int end = nextCluster(start);
    replace(TextRange(start, end - start), QString(), TextRange(start, 0));
}

void TextEditor::copy()
{
    if (m_selection.length > 0 && m_clipboard)
        m_clipboard->setAttributedText(m_text.attributedSubstring(m_selection));
}

void TextEditor::cut()
{
    if (m_selection.length == 0 || !m_editable)
        return;
    copy();
    const QScopedValueRollback kind(m_changeKind, ChangeKind::Other);
    replace(m_selection, QString(), TextRange(m_selection.location, 0));
}

void TextEditor::paste()
{
    if (!m_clipboard)
        return;
    const QScopedValueRollback kind(m_changeKind, ChangeKind::Other);
    // Text copied from a box keeps its attributes; text from elsewhere takes the typing ones.
    if (const auto attributed = m_clipboard->attributedText();
        attributed && !attributed->isEmpty()) {
        const TextRange target = hasMarkedText() ? m_marked : m_selection;
        m_marked = TextRange();
        replace(target, *attributed, TextRange(target.location + attributed->length(), 0));
        return;
    }
    const QString text = m_clipboard->text();
    if (!text.isEmpty())
        insertText(text);
}

void TextEditor::pasteSelection(const Point& point)
{
    if (!m_clipboard || !m_editable)
        return;
    const QString text = m_clipboard->selectionText();
    if (text.isEmpty())
        return;
    unmarkText();
    m_goalX.reset();
    const int index = m_layout.characterIndexForPoint(point);
    m_anchor = index;
    changeSelection(TextRange(index, 0));
    const QScopedValueRollback kind(m_changeKind, ChangeKind::Other);
    insertText(text);
}

void TextEditor::offerSelection()
{
    if (m_clipboard && m_selection.length > 0)
        m_clipboard->setSelectionText(
            m_text.string().mid(m_selection.location, m_selection.length));
}

int TextEditor::previousCluster(int index) const
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, m_text.string());
    finder.setPosition(std::clamp(index, 0, m_text.length()));
    const qsizetype p = finder.toPreviousBoundary();
    return p < 0 ? 0 : int(p);
}

int TextEditor::nextCluster(int index) const
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, m_text.string());
    finder.setPosition(std::clamp(index, 0, m_text.length()));
    const qsizetype p = finder.toNextBoundary();
    return p < 0 ? m_text.length() : int(p);
}

int TextEditor::previousWordStart(int index) const
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text.string());
    finder.setPosition(std::clamp(index, 0, m_text.length()));
    for (qsizetype p = finder.toPreviousBoundary(); p > 0; p = finder.toPreviousBoundary()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            return int(p);
    }
    return 0;
}

int TextEditor::nextWordEnd(int index) const
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text.string());
    finder.setPosition(std::clamp(index, 0, m_text.length()));
    for (qsizetype p = finder.toNextBoundary(); p >= 0 && p < m_text.length();
         p = finder.toNextBoundary()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::EndOfItem)
            return int(p);
    }
    return m_text.length();
}

int TextEditor::nextWordStart(int index) const
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text.string());
    finder.setPosition(std::clamp(index, 0, m_text.length()));
    for (qsizetype p = finder.toNextBoundary(); p >= 0 && p < m_text.length();
         p = finder.toNextBoundary()) {
        if (finder.boundaryReasons() & QTextBoundaryFinder::StartOfItem)
            return int(p);
    }
    return m_text.length();
}

TextRange TextEditor::wordRangeAt(int index) const
{
    const int n = m_text.length();
    if (n == 0)
        return TextRange();
    index = std::clamp(index, 0, n - 1);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, m_text.string());
    finder.setPosition(index);
    int start = index;
    if (!finder.isAtBoundary()) {
        const qsizetype p = finder.toPreviousBoundary();
        start = p < 0 ? 0 : int(p);
    }
    finder.setPosition(index);
    const qsizetype e = finder.toNextBoundary();
    const int end = e < 0 ? n : int(e);
    return TextRange(start, std::max(end - start, 0));
}

TextRange TextEditor::paragraphRangeAt(int index) const
{
    const QString& s = m_text.string();
    const int n = int(s.size());
    index = std::clamp(index, 0, n);
    int start = index;
    while (start > 0 && !isLineBreak(s[start - 1]))
        --start;
    int end = index;
    while (end < n && !isLineBreak(s[end]))
        ++end;
    if (end < n)
        ++end; // the separator belongs to its paragraph
    return TextRange(start, end - start);
}

TextRange TextEditor::lineRangeAt(int index) const
{
    const int line = m_layout.lineFragmentIndexForCharacter(index);
    if (line < 0)
        return paragraphRangeAt(index);
    return m_layout.lineFragments()[size_t(line)].characterRange;
}

TextRange TextEditor::rangeFor(int index, Granularity granularity) const
{
    switch (granularity) {
    case Granularity::Word:
        return wordRangeAt(index);
    case Granularity::Paragraph:
        return paragraphRangeAt(index);
    case Granularity::Character:
        break;
    }
    return TextRange(index, 0);
}

void TextEditor::mouseDown(const Point& point, int clickCount, unsigned modifierFlags)
{
    if (!m_selectable)
        return;
    unmarkText();
    m_goalX.reset();
    const int index = m_layout.characterIndexForPoint(point);
    m_dragGranularity = clickCount >= 3 ? Granularity::Paragraph
        : clickCount == 2               ? Granularity::Word
                                        : Granularity::Character;
    m_dragging = true;
    if ((modifierFlags & ModifierFlag::Shift) && clickCount <= 1) {
        m_dragAnchor = TextRange(m_anchor, 0);
        selectFromAnchor(m_anchor, index);
        return;
    }
    m_dragAnchor = rangeFor(index, m_dragGranularity);
    m_anchor = m_dragAnchor.location;
    changeSelection(m_dragAnchor);
}

void TextEditor::mouseDragged(const Point& point)
{
    if (!m_selectable || !m_dragging)
        return;
    const int index = m_layout.characterIndexForPoint(point);
    const TextRange here = rangeFor(index, m_dragGranularity);
    const int start = std::min(m_dragAnchor.location, here.location);
    const int end = std::max(m_dragAnchor.end(), here.end());
    if (index < m_dragAnchor.location)
        selectFromAnchor(end, start);
    else
        selectFromAnchor(start, end);
}

void TextEditor::mouseUp(const Point& point)
{
    if (m_dragging) {
        mouseDragged(point);
        offerSelection();
    }
    m_dragging = false;
}

int TextEditor::verticalMove(int index, int lines)
{
    const auto& fragments = m_layout.lineFragments();
    const int line = m_layout.lineFragmentIndexForCharacter(index);
    if (line < 0)
        return index;
    if (!m_goalX)
        m_goalX = m_layout.caretRect(index).x();
    const int target = line + lines;
    if (target < 0)
        return 0;
    if (target >= int(fragments.size()))
        return m_text.length();
    const Rect& r = fragments[size_t(target)].rect;
    return m_layout.characterIndexForPoint(Point(*m_goalX, r.y() + r.height() * 0.5));
}

int TextEditor::moveTarget(int keyCode, unsigned modifiers, bool extending)
{
    const bool command = modifiers & ModifierFlag::Command;
    const bool option = modifiers & ModifierFlag::Option;
    const bool hasSelection = m_selection.length > 0;
    const int focus = extending ? m_focus : m_selection.location;
    const int head = extending ? m_focus : m_selection.end();
    switch (keyCode) {
    case KeyCode::Left:
        // Ctrl moves by word, as in every text field of the desktop; Alt too.
        if (command || option)
            return previousWordStart(focus);
        return hasSelection && !extending ? m_selection.location : previousCluster(focus);
    case KeyCode::Right: {
        if (command)
            return nextWordStart(head);
        if (option)
            return nextWordEnd(head);
        return hasSelection && !extending ? m_selection.end() : nextCluster(head);
    }
    case KeyCode::Up:
        if (command)
            return 0;
        if (option)
            return paragraphRangeAt(std::max(focus - 1, 0)).location;
        return verticalMove(focus, -1);
    case KeyCode::Down:
        if (command)
            return m_text.length();
        if (option) {
            const TextRange p = paragraphRangeAt(head);
            int end = p.end();
            while (end > p.location && isLineBreak(m_text.string()[end - 1]))
                --end;
            return end == head && p.end() < m_text.length() ? paragraphRangeAt(p.end()).end() - 1
                                                            : end;
        }
        return verticalMove(head, 1);
    case KeyCode::Home:
        // Home and End keep to the line; with Ctrl they go to the ends of the text.
        return command ? 0 : lineRangeAt(focus).location;
    case KeyCode::End: {
        if (command)
            return m_text.length();
        const TextRange line
            = lineRangeAt(std::max(head - (extending || !hasSelection ? 0 : 1), 0));
        int end = line.end();
        while (end > line.location && isLineBreak(m_text.string()[end - 1]))
            --end;
        return end;
    }
    default:
        return head;
    }
}

bool TextEditor::keyDown(int keyCode, const QString& characters, unsigned modifierFlags)
{
    const bool shift = modifierFlags & ModifierFlag::Shift;
    const bool command = modifierFlags & ModifierFlag::Command;
    switch (keyCode) {
    case KeyCode::Left:
    case KeyCode::Right:
    case KeyCode::Up:
    case KeyCode::Down:
    case KeyCode::Home:
    case KeyCode::End: {
        if (!m_selectable)
            return false;
        unmarkText();
        if (keyCode != KeyCode::Up && keyCode != KeyCode::Down)
            m_goalX.reset();
        const int target = moveTarget(keyCode, modifierFlags, shift);
        if (shift) {
            selectFromAnchor(m_anchor, target);
            offerSelection();
        } else {
            m_anchor = target;
            changeSelection(TextRange(target, 0));
        }
        return true;
    }
    case KeyCode::Delete:
    case KeyCode::ForwardDelete: {
        // With Ctrl (or Alt), as in every text field of the desktop, a caret deletes to the
        // start of the word before it, or to the end of the word after it.
        const bool forward = keyCode == KeyCode::ForwardDelete;
        const int caret = m_selection.location;
        if (m_selection.length == 0 && (command || (modifierFlags & ModifierFlag::Option))) {
            const int other = forward ? nextWordEnd(caret) : previousWordStart(caret);
            if (other != caret) {
                const TextRange word(std::min(caret, other), std::abs(other - caret));
                replace(word, QString(), TextRange(word.location, 0));
            }
            return true;
        }
        if (forward)
            deleteForward();
        else
            deleteBackward();
        return true;
    }
    case KeyCode::Return:
        insertText(QStringLiteral("\n"));
        return true;
    case KeyCode::Tab:
        insertText(QStringLiteral("\t"));
        return true;
    case KeyCode::Escape:
        return false;
    default:
        break;
    }
    if (command) {
        const QString key = characters.toLower();
        if (key == u"a") {
            selectAll();
            offerSelection();
        } else if (key == u"c")
            copy();
        else if (key == u"x")
            cut();
        else if (key == u"v")
            paste();
        else
            return false;
        return true;
    }
    if (characters == u"\x7f" || characters == u"\b") {
        deleteBackward();
        return true;
    }
    if (characters == u"\r" || characters == u"\n") {
        insertText(QStringLiteral("\n"));
        return true;
    }
    if ((modifierFlags & ModifierFlag::Control) || !isTypable(characters))
        return false;
    insertText(characters);
    return true;
}

void TextEditor::setFirstResponder(bool firstResponder)
{
    m_firstResponder = firstResponder;
    if (firstResponder) {
        restartBlink();
    } else {
        m_blinkTimer->stop();
        m_caretOn = false;
        unmarkText();
    }
}

void TextEditor::restartBlink()
{
    m_caretOn = true;
    if (m_firstResponder)
        m_blinkTimer->start();
}

bool TextEditor::isCaretVisible() const
{
    return m_firstResponder && m_selectable && m_selection.length == 0 && m_caretOn;
}

Rect TextEditor::caretRect() const
{
    return m_layout.caretRect(m_selection.location);
}

} // namespace platform
