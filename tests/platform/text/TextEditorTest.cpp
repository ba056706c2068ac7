#include "platform/text/TextEditor.h"

#include "platform/text/TextAttributeNames.h"

#include <gtest/gtest.h>

using namespace platform;
namespace names = platform::TextAttributeNames;

namespace {

class FakeClipboard : public TextClipboard {
public:
    QString text() const override { return contents; }
    void setText(const QString& text) override
    {
        contents = text;
        rich.reset();
    }
    std::optional<AttributedString> attributedText() const override { return rich; }
    void setAttributedText(const AttributedString& text) override
    {
        contents = text.string();
        rich = text;
    }
    QString selectionText() const override { return selection; }
    void setSelectionText(const QString& text) override { selection = text; }
    QString contents;
    std::optional<AttributedString> rich;
    QString selection;
};

struct EditorFixture {
    EditorFixture(const QString& text, double width = 1000)
        : editor(std::make_shared<TextContainer>(Size(width, TextContainer::unlimited)))
    {
        editor.setText(AttributedString(text,
            { { names::font, AttributeValue(*Font::withName(QStringLiteral("Helvetica"), 20)) } }));
        editor.setClipboard(clipboard);
    }
    void key(int code, unsigned modifiers = 0, const QString& characters = {})
    {
        editor.keyDown(code, characters, modifiers);
    }
    void type(const QString& s)
    {
        for (QChar c : s)
            editor.keyDown(0, QString(c), 0);
    }
    QString text() const { return editor.text().string(); }

    TextEditor editor;
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
};

constexpr unsigned Shift = ModifierFlag::Shift;
constexpr unsigned Option = ModifierFlag::Option;
constexpr unsigned Command = ModifierFlag::Command;

} // namespace

TEST(TextEditor, TypingInsertsWithTheTypingAttributes)
{
    EditorFixture f(QStringLiteral("Text"));
    f.editor.setSelectedRange(TextRange(4, 0));
    AttributeDictionary typing = f.editor.typingAttributes();
    ASSERT_TRUE(typing.count(names::font));
    typing[names::underlineStyle] = AttributeValue(1);
    f.editor.setTypingAttributes(typing);
    f.type(QStringLiteral("ed!"));
    EXPECT_EQ(f.text(), QStringLiteral("Texted!"));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(7, 0));
    EXPECT_EQ(f.editor.text().attributeAt(names::underlineStyle, 5).toInteger(), 1);
    EXPECT_TRUE(f.editor.text().attributeAt(names::underlineStyle, 3).isNull());

    f.editor.setSelectedRange(TextRange(0, 4));
    f.type(QStringLiteral("N"));
    EXPECT_EQ(f.text(), QStringLiteral("Ned!"));
    f.key(KeyCode::Return);
    EXPECT_EQ(f.text(), QStringLiteral("N\ned!"));
    EXPECT_FALSE(f.editor.keyDown(0, QStringLiteral("\x1b"), 0)) << "control codes are not typed";
    EXPECT_FALSE(f.editor.keyDown(0, QStringLiteral("q"), Command))
        << "unknown shortcuts are not typed";
}

TEST(TextEditor, KeyboardSelectionByCharacterWordLineAndDocument)
{
    struct Step {
        int key;
        unsigned modifiers;
        TextRange expected;
    };
    struct Row {
        const char* name;
        TextRange start;
        std::vector<Step> steps;
    };
    // "hello brave world\nsecond line": the first line ends at 17, the text at 29.
    const Row rows[] = {
        { "characters with shift", { 2, 0 },
            { { KeyCode::Right, Shift, { 2, 1 } }, { KeyCode::Right, Shift, { 2, 2 } },
                { KeyCode::Left, Shift, { 2, 1 } } } },
        { "arrows collapse a selection", { 2, 5 },
            { { KeyCode::Left, 0, { 2, 0 } }, { KeyCode::Right, Shift, { 2, 1 } },
                { KeyCode::Right, 0, { 3, 0 } } } },
        { "words with option", { 0, 0 },
            { { KeyCode::Right, Option, { 5, 0 } }, { KeyCode::Right, Option, { 11, 0 } },
                { KeyCode::Left, Option, { 6, 0 } } } },
        { "words with option and shift", { 0, 0 },
            { { KeyCode::Right, Option | Shift, { 0, 5 } },
                { KeyCode::Right, Option | Shift, { 0, 11 } },
                { KeyCode::Left, Option | Shift, { 0, 6 } } } },
        { "back across the anchor", { 6, 0 },
            { { KeyCode::Right, Option | Shift, { 6, 5 } },
                { KeyCode::Left, Option | Shift, { 6, 0 } },
                { KeyCode::Left, Option | Shift, { 0, 6 } } } },
        // Ctrl (the command bit) moves to the start of the next or previous word, as the
        // desktop's text fields do; it once went to the line's ends.
        { "words with command and shift", { 8, 0 },
            { { KeyCode::Right, Command | Shift, { 8, 4 } },
                { KeyCode::Left, Command | Shift, { 6, 2 } } } },
        { "words with command", { 0, 0 },
            { { KeyCode::Right, Command, { 6, 0 } }, { KeyCode::Right, Command, { 12, 0 } },
                { KeyCode::Right, Command, { 18, 0 } }, { KeyCode::Left, Command, { 12, 0 } },
                { KeyCode::Left, Command, { 6, 0 } } } },
        { "line ends with home and end on the second line", { 20, 0 },
            { { KeyCode::End, 0, { 29, 0 } }, { KeyCode::Home, 0, { 18, 0 } },
                { KeyCode::End, Command, { 29, 0 } }, { KeyCode::Home, Command, { 0, 0 } } } },
        { "line with home and end and shift", { 8, 0 },
            { { KeyCode::End, Shift, { 8, 9 } }, { KeyCode::Home, Shift, { 0, 8 } } } },
        { "document with command", { 8, 0 },
            { { KeyCode::Down, Command | Shift, { 8, 21 } }, { KeyCode::Up, Command, { 0, 0 } } } },
        { "up and down keep the column", { 3, 0 },
            { { KeyCode::Down, 0, { 21, 0 } }, { KeyCode::Up, 0, { 3, 0 } } } },
        { "up from the first line goes to the start", { 3, 0 },
            { { KeyCode::Up, Shift, { 0, 3 } } } },
    };
    for (const Row& row : rows) {
        EditorFixture f(QStringLiteral("hello brave world\nsecond line"));
        f.editor.setSelectedRange(row.start);
        int n = 0;
        for (const Step& step : row.steps) {
            f.key(step.key, step.modifiers);
            EXPECT_EQ(f.editor.selectedRange(), step.expected) << row.name << ", step " << n;
            ++n;
        }
    }
}

TEST(TextEditor, DeletionRemovesWholeClusters)
{
    struct Row {
        const char* name;
        QString text;
        int caret;
        bool forward;
        QString expected;
    };
    const Row rows[] = {
        { "surrogate pair", QStringLiteral("a\U0001F600b"), 3, false, QStringLiteral("ab") },
        { "combining mark", QStringLiteral("xe\u0301"), 3, false, QStringLiteral("x") },
        { "forward over a surrogate pair", QStringLiteral("a\U0001F600b"), 1, true,
            QStringLiteral("ab") },
        { "forward over a combining mark", QStringLiteral("e\u0301x"), 0, true,
            QStringLiteral("x") },
        { "at the start nothing", QStringLiteral("ab"), 0, false, QStringLiteral("ab") },
        { "at the end nothing forward", QStringLiteral("ab"), 2, true, QStringLiteral("ab") },
    };
    for (const Row& row : rows) {
        EditorFixture f(row.text);
        f.editor.setSelectedRange(TextRange(row.caret, 0));
        f.key(row.forward ? KeyCode::ForwardDelete : KeyCode::Delete);
        EXPECT_EQ(f.text(), row.expected) << row.name;
    }
}

// Ctrl (the command key here) or Alt with Backspace deletes to the start of the word before
// the caret, with Delete to the end of the word after it; a selection goes alone.
TEST(TextEditor, WordDeletionKeys)
{
    struct Row {
        const char* name;
        int key;
        unsigned modifiers;
        TextRange selection;
        QString expected;
    };
    const Row rows[] = {
        { "Ctrl+Backspace at the end", KeyCode::Delete, Command, { 11, 0 }, "Hello " },
        { "Ctrl+Backspace after a space", KeyCode::Delete, Command, { 6, 0 }, "world" },
        { "Ctrl+Backspace inside a word", KeyCode::Delete, Command, { 8, 0 }, "Hello rld" },
        { "Ctrl+Backspace at the start", KeyCode::Delete, Command, { 0, 0 }, "Hello world" },
        { "Ctrl+Delete at the start", KeyCode::ForwardDelete, Command, { 0, 0 }, " world" },
        { "Ctrl+Delete inside a word", KeyCode::ForwardDelete, Command, { 3, 0 }, "Hel world" },
        { "Ctrl+Delete before a space", KeyCode::ForwardDelete, Command, { 5, 0 }, "Hello" },
        { "Ctrl+Delete at the end", KeyCode::ForwardDelete, Command, { 11, 0 }, "Hello world" },
        { "Ctrl+Delete over a selection", KeyCode::ForwardDelete, Command, { 2, 2 }, "Heo world" },
        { "Alt+Backspace", KeyCode::Delete, Option, { 11, 0 }, "Hello " },
        { "Alt+Delete", KeyCode::ForwardDelete, Option, { 0, 0 }, " world" },
        { "Delete alone", KeyCode::ForwardDelete, 0, { 0, 0 }, "ello world" },
    };
    for (const Row& row : rows) {
        EditorFixture f(QStringLiteral("Hello world"));
        f.editor.setSelectedRange(row.selection);
        f.key(row.key, row.modifiers);
        EXPECT_EQ(f.text(), row.expected) << row.name;
    }
}

TEST(TextEditor, HooksRunInOrderAndCanVetoOrAdjust)
{
    EditorFixture f(QStringLiteral("abc"));
    f.editor.setSelectedRange(TextRange(3, 0));
    std::vector<QString> log;
    bool allow = true;
    f.editor.shouldChangeText = [&](TextRange r, const QString& s) {
        log.push_back(QStringLiteral("should %1,%2 %3").arg(r.location).arg(r.length).arg(s));
        return allow;
    };
    f.editor.willChangeSelection = [&](TextRange, TextRange to) {
        log.push_back(QStringLiteral("selection %1,%2").arg(to.location).arg(to.length));
        return to;
    };
    f.editor.didChangeText = [&] { log.push_back(QStringLiteral("did")); };

    f.type(QStringLiteral("d"));
    EXPECT_EQ(log,
        (std::vector<QString> { QStringLiteral("should 3,0 d"), QStringLiteral("selection 4,0"),
            QStringLiteral("did") }));

    log.clear();
    allow = false;
    f.key(KeyCode::Delete);
    f.type(QStringLiteral("e"));
    EXPECT_EQ(f.text(), QStringLiteral("abcd")) << "vetoed changes change nothing";
    EXPECT_EQ(log,
        (std::vector<QString> { QStringLiteral("should 3,1 "), QStringLiteral("should 4,0 e") }));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(4, 0));

    f.editor.willChangeSelection = [](TextRange, TextRange to) { return TextRange(0, to.end()); };
    f.key(KeyCode::Left);
    EXPECT_EQ(f.editor.selectedRange(), TextRange(0, 3)) << "the hook adjusts the selection";

    f.editor.setEditable(false);
    allow = true;
    f.type(QStringLiteral("z"));
    EXPECT_EQ(f.text(), QStringLiteral("abcd")) << "not editable";
}

TEST(TextEditor, InputMethodPreEditAndCommit)
{
    EditorFixture f(QStringLiteral("ab"));
    f.editor.setSelectedRange(TextRange(1, 0));
    int changes = 0;
    f.editor.didChangeText = [&] { ++changes; };
    f.editor.setMarkedText(QStringLiteral("ni"), TextRange(2, 0));
    EXPECT_EQ(f.text(), QStringLiteral("anib"));
    EXPECT_EQ(f.editor.markedRange(), TextRange(1, 2));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(3, 0));
    f.editor.setMarkedText(QStringLiteral("nih"), TextRange(0, 3));
    EXPECT_EQ(f.text(), QStringLiteral("anihb")) << "pre-edit replaces the previous pre-edit";
    EXPECT_EQ(f.editor.selectedRange(), TextRange(1, 3));
    f.editor.insertText(QStringLiteral("\u4F60\u597D"));
    EXPECT_EQ(f.text(), QStringLiteral("a\u4F60\u597Db"));
    EXPECT_FALSE(f.editor.hasMarkedText());
    EXPECT_EQ(f.editor.selectedRange(), TextRange(3, 0));
    EXPECT_EQ(changes, 3);

    f.editor.setMarkedText(QStringLiteral("x"), TextRange(1, 0));
    f.editor.setMarkedText(QString(), TextRange(0, 0));
    EXPECT_EQ(f.text(), QStringLiteral("a\u4F60\u597Db"))
        << "an empty pre-edit removes the marked text";
    EXPECT_FALSE(f.editor.hasMarkedText());
}

TEST(TextEditor, CutCopyAndPastePlainText)
{
    EditorFixture f(QStringLiteral("hello world"));
    f.editor.setSelectedRange(TextRange(0, 5));
    f.key(0, Command, QStringLiteral("c"));
    EXPECT_EQ(f.clipboard->contents, QStringLiteral("hello"));
    f.editor.setSelectedRange(TextRange(6, 5));
    f.key(0, Command, QStringLiteral("x"));
    EXPECT_EQ(f.text(), QStringLiteral("hello "));
    EXPECT_EQ(f.clipboard->contents, QStringLiteral("world"));
    f.editor.setSelectedRange(TextRange(0, 0));
    f.key(0, Command, QStringLiteral("v"));
    EXPECT_EQ(f.text(), QStringLiteral("worldhello "));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(5, 0));
    f.key(0, Command, QStringLiteral("a"));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(0, 11));
}

// Copied text keeps its attributes for a paste here and goes out as plain text too; text from
// another program takes the typing attributes. What the person selects (mouse, Shift with a
// move key, select all; not the program) is offered as the selection clipboard, and the
// middle button pastes that where it is pressed.
TEST(TextEditor, RichCopyPlainFromOthersAndTheSelectionClipboard)
{
    EditorFixture f(QStringLiteral("hello world"));
    f.editor.editText([](AttributedString& t) {
        t.addAttribute(names::underlineStyle, AttributeValue(1), TextRange(0, 5));
    });
    f.editor.setSelectedRange(TextRange(0, 5));
    EXPECT_TRUE(f.clipboard->selection.isEmpty()) << "a program's selection is not offered";
    f.key(0, Command, QStringLiteral("c"));
    ASSERT_TRUE(f.clipboard->rich);
    EXPECT_EQ(f.clipboard->contents, QStringLiteral("hello"));
    f.editor.setSelectedRange(TextRange(11, 0));
    f.key(0, Command, QStringLiteral("v"));
    EXPECT_EQ(f.text(), QStringLiteral("hello worldhello"));
    EXPECT_EQ(f.editor.text().attributeAt(names::underlineStyle, 13).toInteger(), 1)
        << "pasted with its own attributes";

    f.clipboard->setText(QStringLiteral("!"));
    f.key(0, Command, QStringLiteral("v"));
    EXPECT_EQ(f.text(), QStringLiteral("hello worldhello!"));
    EXPECT_TRUE(f.editor.text().attributeAt(names::underlineStyle, 16).isNull())
        << "plain text takes the typing attributes";

    f.key(0, Command, QStringLiteral("a"));
    EXPECT_EQ(f.clipboard->selection, QStringLiteral("hello worldhello!"));
    f.editor.setSelectedRange(TextRange(0, 0));
    f.key(KeyCode::Right, Shift | Option);
    EXPECT_EQ(f.clipboard->selection, QStringLiteral("hello"));

    // The middle button: at the start of "world", the selection clipboard's text goes in.
    const Point world = f.editor.layout().caretRect(6).origin;
    f.editor.pasteSelection(Point(world.x + 0.5, world.y + 5));
    EXPECT_EQ(f.text(), QStringLiteral("hello helloworldhello!"));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(11, 0));
    EXPECT_EQ(f.editor.changeKind(), TextEditor::ChangeKind::Typing) << "restored after";
}

TEST(TextEditor, MouseSelectsCharactersWordsAndParagraphs)
{
    EditorFixture f(QStringLiteral("hello brave world\nsecond line"));
    const TextLayout& layout = f.editor.layout();
    auto at = [&](int index) {
        const Rect caret = layout.caretRect(index);
        return Point(caret.x() + 1, caret.midY());
    };
    f.editor.mouseDown(at(8), 1, 0);
    EXPECT_EQ(f.editor.selectedRange(), TextRange(8, 0));
    f.editor.mouseDragged(at(14));
    f.editor.mouseUp(at(14));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(8, 6));
    f.editor.mouseDown(at(2), 1, Shift);
    EXPECT_EQ(f.editor.selectedRange(), TextRange(2, 6)) << "shift-click extends from the anchor";

    f.editor.mouseDown(at(8), 2, 0);
    EXPECT_EQ(f.editor.selectedRange(), TextRange(6, 5)) << "double click selects the word";
    f.editor.mouseDragged(at(13));
    EXPECT_EQ(f.editor.selectedRange(), TextRange(6, 11)) << "dragging extends by words";
    f.editor.mouseDown(at(20), 3, 0);
    EXPECT_EQ(f.editor.selectedRange(), TextRange(18, 11)) << "triple click selects the paragraph";
}

TEST(TextEditor, CaretShowsOnlyForAnEmptySelectionWhileFirstResponder)
{
    EditorFixture f(QStringLiteral("abc"));
    f.editor.setSelectedRange(TextRange(1, 0));
    EXPECT_FALSE(f.editor.isCaretVisible());
    f.editor.setFirstResponder(true);
    EXPECT_TRUE(f.editor.isCaretVisible());
    f.editor.setSelectedRange(TextRange(1, 1));
    EXPECT_FALSE(f.editor.isCaretVisible());
    f.editor.setSelectedRange(TextRange(3, 0));
    EXPECT_TRUE(f.editor.isCaretVisible());
    EXPECT_NEAR(f.editor.caretRect().x(),
        f.editor.layout().glyphs().back().position.x + f.editor.layout().glyphs().back().advance,
        0.01);
    f.editor.setFirstResponder(false);
    EXPECT_FALSE(f.editor.isCaretVisible());
}
