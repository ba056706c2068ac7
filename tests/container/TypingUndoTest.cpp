// Typing in a box is undone a run at a time, as in a text editor: a run ends when the caret
// moves by other means, after a pause of over a second, on a change of the typing attributes,
// when editing ends, or when anything else reaches the history; paste and cut are steps of
// their own.
#include "ContainerTestSupport.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/text/TextClipboard.h"
#include "platform/ui/Event.h"

#include <gtest/gtest.h>

using platform::Event;
using platform::EventType;
using platform::TextRange;

namespace {

struct NoteClipboard final : platform::TextClipboard {
    QString held = QStringLiteral("zz");
    QString text() const override { return held; }
    void setText(const QString& t) override { held = t; }
};

struct TypingRig {
    ContainerRig rig;
    MyTextView* box = nullptr;
    qint64 now = 0;
    std::function<qint64()> previousClock
        = std::exchange(MyTextBox::typingClock(), [this] { return now; });

    TypingRig()
    {
        rig.container->newTextBox();
        rig.endEvent();
        box = dynamic_cast<MyTextView*>(rig.container->textViewAry.back());
        open();
        box->txtBox()->editor().setClipboard(std::make_shared<NoteClipboard>());
    }
    ~TypingRig() { MyTextBox::typingClock() = previousClock; }
    void open()
    {
        box->setIsEditing(true);
        box->setSelectable(true);
        box->setEditable(true);
    }
    MyTextBox& text() { return *box->txtBox(); }
    // One key as one input event, a little later than the last.
    void key(const QString& characters, std::uint16_t code = 0, unsigned flags = 0)
    {
        now += 120;
        text().keyDown(Event::keyEvent(EventType::KeyDown, flags, code, characters));
        rig.endEvent();
    }
    void type(const QString& s)
    {
        for (QChar c : s)
            key(QString(c));
    }
    QString shown() const
    {
        return dynamic_cast<MyTextView*>(rig.container->textViewAry.back())->txtStorage().string();
    }
};

} // namespace

TEST(TypingUndo, OneStepPerRun)
{
    struct Row {
        const char* name;
        std::function<void(TypingRig&)> session;
        int steps;
        QString afterOneUndo;
    };
    const Row rows[] = {
        { "a word", [](TypingRig& t) { t.type("hello"); }, 1, "Text" },
        { "typing and deleting",
            [](TypingRig& t) {
                t.type("ab");
                t.key(QString(QChar(0x7F)), platform::KeyCodeDelete);
            },
            1, "Text" },
        { "a pause of a second keeps the run",
            [](TypingRig& t) {
                t.type("ab");
                t.now += 1000 - 120;
                t.type("c");
            },
            1, "Text" },
        { "a longer pause ends it",
            [](TypingRig& t) {
                t.type("ab");
                t.now += 1001 - 120;
                t.type("c");
            },
            2, "Textab" },
        { "the caret moved by an arrow",
            [](TypingRig& t) {
                t.type("ab");
                t.key(QString(), platform::KeyCodeLeftArrow);
                t.type("c");
            },
            2, "Textab" },
        { "the caret put elsewhere",
            [](TypingRig& t) {
                t.type("ab");
                t.text().editor().setSelectedRange(TextRange(0, 0));
                t.type("c");
            },
            2, "Textab" },
        { "a paste is a step of its own",
            [](TypingRig& t) {
                t.type("ab");
                t.key("v", 9, platform::CommandKeyMask);
                t.type("c");
            },
            3, "Textabzz" },
        { "the typing attributes changed",
            [](TypingRig& t) {
                t.type("ab");
                auto attributes = t.text().editor().typingAttributes();
                attributes[platform::TextAttributeNames::underlineStyle]
                    = platform::AttributeValue(1);
                t.text().editor().setTypingAttributes(attributes);
                t.type("c");
            },
            2, "Textab" },
        { "editing ended and began again",
            [](TypingRig& t) {
                t.type("ab");
                t.box->setIsEditing(false);
                t.open();
                t.type("c");
            },
            2, "Textab" },
        { "another change between",
            [](TypingRig& t) {
                t.type("ab");
                t.rig.container->prepUndoData();
                t.box->setBorderSize(3);
                t.rig.container->logUndoData();
                t.rig.endEvent();
                t.type("c");
            },
            3, "Textab" },
        { "an undo between",
            [](TypingRig& t) {
                t.type("ab");
                t.rig.undo.undo();
                // The undo rebuilt the layer: the box is a new one.
                t.box = dynamic_cast<MyTextView*>(t.rig.container->textViewAry.back());
                t.open();
                t.type("c");
            },
            1, "Text" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TypingRig t;
        t.text().editor().setSelectedRange(TextRange(4, 0));
        const int before = t.rig.undo.undoGroupCount();
        row.session(t);
        EXPECT_EQ(t.rig.undo.undoGroupCount() - before, row.steps);
        t.rig.undo.undo();
        EXPECT_EQ(t.shown(), row.afterOneUndo);
    }
}

// A save between keys ends the run, so that what is typed after it marks the document edited
// again and undoing it goes back to what was saved.
TEST(TypingUndo, ABoundaryEndsTheRun)
{
    TypingRig t;
    t.text().editor().setSelectedRange(TextRange(4, 0));
    t.type("ab");
    const int saved = t.rig.undo.changeCount();
    t.rig.undo.breakCoalescing();
    t.type("c");
    EXPECT_EQ(t.rig.undo.changeCount(), saved + 1);
    t.rig.undo.undo();
    EXPECT_EQ(t.rig.undo.changeCount(), saved);
    EXPECT_EQ(t.shown(), "Textab");
}
