// Editing a text box: every typing change is one undo step of the container (through its
// before/after bracket), the blanks of vertical text belong to the step, presses go to the
// container while the box is not edited, and keys, clicks and input-method text reach the
// text through a hosting widget.
#include "BoxTestSupport.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/ViewHost.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <gtest/gtest.h>

using platform::AttributedString;
using platform::Event;
using platform::EventType;
using platform::Point;
using platform::Rect;
using platform::TextRange;

namespace {

// A container that records the bracket calls with the box's record at each.
struct FakeContainer : BoxHost {
    MyTextView* box = nullptr;
    std::vector<UNDODATA> before, after;
    int presses = 0;
    Point lastPress;

    void mouseDownAtTextBox(const Point& p, const Event&) override
    {
        ++presses;
        lastPress = p;
    }
    void prepUndoData() override { before.push_back(box->getUndoData()); }
    void logUndoData() override { after.push_back(box->getUndoData()); }
};

Event key(const QString& characters, std::uint16_t code = 0, unsigned flags = 0)
{
    return Event::keyEvent(EventType::KeyDown, flags, code, characters);
}

QString textOf(const UNDODATA& r)
{
    return r.rtf ? r.rtf->string() : QString();
}

} // namespace

TEST(TextEditing, EachTypingChangeIsOneUndoStep)
{
    struct Row {
        const char* name;
        bool vertical;
        std::function<void(MyTextBox&)> edit;
        QString after;
    } rows[] = {
        { "one typed character", false, [](MyTextBox& t) { t.keyDown(key(QStringLiteral("a"))); },
            QStringLiteral("Texta") },
        { "backspace", false,
            [](MyTextBox& t) { t.keyDown(key(QString(QChar(0x7F)), platform::KeyCodeDelete)); },
            QStringLiteral("Tex") },
        { "typed text replacing a selection", false,
            [](MyTextBox& t) {
                t.editor().setSelectedRange(TextRange(0, 4));
                t.insertText(QStringLiteral("Hello"));
            },
            QStringLiteral("Hello") },
        { "a space in vertical text is a blank in the same step", true,
            [](MyTextBox& t) { t.keyDown(key(QStringLiteral(" "), platform::KeyCodeSpace)); },
            QStringLiteral("Text") + QChar(platform::TextAttachment::character) },
    };
    for (const Row& row : rows) {
        FakeContainer container;
        MyTextView box(Rect(0, 0, 400, 130));
        container.box = &box;
        box.setMyTextViewContainer(&container);
        box.setIsVertical(row.vertical);
        box.setIsEditing(true);
        box.setSelectable(true);
        box.setEditable(true);
        box.txtBox()->editor().setSelectedRange(TextRange(4, 0));
        const UNDODATA original = box.getUndoData();
        row.edit(*box.txtBox());
        ASSERT_EQ(container.before.size(), 1u) << row.name;
        ASSERT_EQ(container.after.size(), 1u) << row.name;
        EXPECT_EQ(textOf(container.before[0]), QStringLiteral("Text")) << row.name;
        EXPECT_EQ(textOf(container.after[0]), row.after) << row.name;
        EXPECT_TRUE(container.before[0].isEqualTo(original)) << row.name;
        // Undo restores the box as it was.
        box.setUndoData(container.before[0]);
        EXPECT_EQ(box.txtStorage(), *original.rtf) << row.name;
        EXPECT_EQ(container.before.size(), 1u) << row.name << ": restoring records nothing";
    }
}

TEST(TextEditing, ProgramChangesAndRefusedEditsRecordNothing)
{
    FakeContainer container;
    MyTextView box(Rect(0, 0, 400, 130));
    container.box = &box;
    box.setMyTextViewContainer(&container);
    // Attributes set by the program, and typing into a box that is not editable.
    box.txtBox()->editor().editText([](AttributedString& s) {
        s.addAttribute(platform::TextAttributeNames::underlineStyle, 1, TextRange(0, 2));
    });
    box.setIsVertical(true);
    box.setIsVertical(false);
    box.txtBox()->insertText(QStringLiteral("x"));
    box.setSelectable(false);
    box.setEditable(false);
    box.setIsEditing(true);
    box.txtBox()->insertText(QStringLiteral("x"));
    EXPECT_TRUE(container.before.empty());
    EXPECT_TRUE(container.after.empty());
    EXPECT_EQ(box.txtStorage().string(), QStringLiteral("Text"));
}

TEST(TextEditing, KeysClicksAndInputMethodThroughAHost)
{
    FakeContainer container;
    platform::ViewHost host;
    host.resize(400, 300);
    auto root = std::make_unique<platform::View>(Rect(0, 0, 400, 300));
    auto wrapper = std::make_unique<platform::View>(Rect(0, 0, 400, 300));
    MyTextView* box = wrapper->addSubview(std::make_unique<MyTextView>(Rect(50, 50, 300, 150)));
    root->addSubview(std::move(wrapper));
    host.setRootView(std::move(root));
    container.box = box;
    box->setMyTextViewContainer(&container);

    auto pressAt = [&](const Point& windowPoint) { boxtest::clickInHost(host, windowPoint); };
    auto type = [&](int qtKey, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent ev(QEvent::KeyPress, qtKey, mods, text);
        QCoreApplication::sendEvent(&host, &ev);
    };

    // Not being edited: the press is the container's, at the point in its coordinates.
    pressAt(Point(200, 125));
    EXPECT_EQ(container.presses, 1);
    EXPECT_NEAR(container.lastPress.x, 200, 1e-9);
    EXPECT_NEAR(container.lastPress.y, 125, 1e-9);

    box->setIsEditing(true);
    box->setSelectable(true);
    box->setEditable(true);
    ASSERT_TRUE(host.makeFirstResponder(box->txtBox()));
    MyTextBox& t = *box->txtBox();

    // A click left of the text puts the caret at its start; a click right of it at its end.
    const double midY = 50 + 75;
    pressAt(Point(55, midY));
    EXPECT_EQ(t.editor().selectedRange(), TextRange(0, 0));
    pressAt(Point(345, midY));
    EXPECT_EQ(t.editor().selectedRange(), TextRange(4, 0));
    EXPECT_EQ(container.presses, 1);

    type(Qt::Key_X, QStringLiteral("X"));
    EXPECT_EQ(box->txtStorage().string(), QStringLiteral("TextX"));
    type(Qt::Key_Left, QString(), Qt::ShiftModifier);
    EXPECT_EQ(t.editor().selectedRange(), TextRange(4, 1));
    type(Qt::Key_Y, QStringLiteral("Y"));
    EXPECT_EQ(box->txtStorage().string(), QStringLiteral("TextY"));

    QInputMethodEvent preedit(QStringLiteral("ka"), {});
    QCoreApplication::sendEvent(&host, &preedit);
    EXPECT_TRUE(t.hasMarkedText());
    EXPECT_EQ(box->txtStorage().string(), QStringLiteral("TextYka"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u304B"));
    QCoreApplication::sendEvent(&host, &commit);
    EXPECT_FALSE(t.hasMarkedText());
    EXPECT_EQ(box->txtStorage().string(), QStringLiteral("TextY\u304B"));

    // X, Y, the pre-edit and the commit: one step each, every step closed.
    EXPECT_EQ(container.before.size(), 4u);
    EXPECT_EQ(container.after.size(), 4u);
    // The caret sits inside the box, in the text view's coordinates.
    const Rect caret = t.caretRect();
    EXPECT_TRUE(t.bounds().contains(caret.center()));
    EXPECT_TRUE(t.cursorForPoint(Point(10, 10)).has_value());
}
