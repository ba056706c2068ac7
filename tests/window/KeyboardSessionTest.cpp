// A person's keyboard session in a shown window: a click opens a text box, keys typed into
// the view host go to the box, the clipboard keys act on its text, arrow keys move a selected
// box. Keys reach whatever widget has the keyboard, as they do on screen, and carry the text
// the X server gives them (Ctrl+A arrives as the control character 0x01).
#include "PersonDriving.h"
#include "ReadyWindow.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "boxes/MyViewBase.h"
#include "canvas/CanvasPanning.h"
#include "platform/document/AlertPresenter.h"
#include "platform/text/TextAttributeNames.h"
#include "platform/ui/ViewHost.h"
#include "support/SyntheticMouse.h"
#include "window/CustomSegmentedCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <gtest/gtest.h>

using namespace platform;
using windowtest::ReadyWindow;

namespace {

// A key as the X server delivers it: Ctrl with a letter gives its control character.
void press(
    int key, Qt::KeyboardModifiers mods = Qt::NoModifier, QString text = {}, bool repeat = false)
{
    if (text.isEmpty() && key >= Qt::Key_A && key <= Qt::Key_Z) {
        text = (mods & Qt::ControlModifier) ? QString(QChar(char16_t(key - Qt::Key_A + 1)))
                                            : QString(QChar(char16_t(key - Qt::Key_A + 'a')));
        if ((mods & Qt::ShiftModifier) && !(mods & Qt::ControlModifier))
            text = text.toUpper();
    }
    QWidget* target = QApplication::focusWidget();
    ASSERT_TRUE(target) << "no widget has the keyboard";
    QKeyEvent override(QEvent::ShortcutOverride, key, mods, text, repeat);
    QCoreApplication::sendEvent(target, &override);
    QKeyEvent down(QEvent::KeyPress, key, mods, text, repeat);
    QCoreApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods, text, repeat);
    QCoreApplication::sendEvent(target, &up);
}

void type(const QString& text)
{
    for (QChar c : text)
        press(c.isLetter() ? Qt::Key_A + (c.toLower().unicode() - 'a') : Qt::Key_Space,
            c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, QString(c));
}

struct Session : ReadyWindow {
    explicit Session(const Image& picture = windowtest::solidPicture(400, 300, QColor(200, 30, 40)))
        : ReadyWindow(true, picture)
    {
        QApplication::setActiveWindow(&win);
        QApplication::processEvents();
    }
    ViewHost& host() const { return *canvas()->host(); }
    MyViewBase& box(std::size_t i = 0) const { return *boxes().textViewAry.at(i); }
    MyTextBox* textBox(std::size_t i = 0) const
    {
        auto* view = dynamic_cast<MyTextView*>(&box(i));
        return view ? view->txtBox() : nullptr;
    }
    QPointF centreOf(const MyViewBase& b) const
    {
        const Rect r = b.bounds();
        return host().widgetPointFromWindow(
            b.convertPointToView(Point(r.x() + r.width() / 2, r.y() + r.height() / 2), nullptr));
    }
    // The Text button's box, opened for typing by a click on it, as a person does. (A
    // person's click also gives the canvas the keyboard; a synthetic one does not.)
    MyTextBox& newTypingBox()
    {
        win.newTextBox();
        undo.endGroup();
        host().setFocus(Qt::MouseFocusReason);
        MyViewBase& made = box(boxes().textViewAry.size() - 1);
        testsupport::click(host(), centreOf(made));
        QApplication::processEvents();
        undo.endGroup();
        EXPECT_TRUE(made.isEditing());
        EXPECT_EQ(QApplication::focusWidget(), &host());
        return *textBox(boxes().textViewAry.size() - 1);
    }
};

} // namespace

// Ctrl+A, C, X and V while typing: the box's text and the system clipboard, rich text between
// boxes, plain text from another program.
TEST(KeyboardSession, ClipboardKeysWhileTyping)
{
    Session s;
    MyTextBox& first = s.newTypingBox();
    type("Hello");
    EXPECT_EQ(first.text().string(), "Hello");
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(first.editor().selectedRange(), TextRange(0, 5)) << "Ctrl+A selects the text";
    press(Qt::Key_C, Qt::ControlModifier);
    QClipboard* clipboard = QGuiApplication::clipboard();
    EXPECT_EQ(clipboard->text(), "Hello");
    press(Qt::Key_Right);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(first.text().string(), "HelloHello");
    s.undo.endGroup();

    // Cut the first word, then undo brings it back as one step.
    press(Qt::Key_Left, Qt::ControlModifier);
    press(Qt::Key_Home);
    press(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(first.text().string(), "") << "Ctrl+Shift+Right took the whole word";
    EXPECT_EQ(clipboard->text(), "HelloHello");
    s.undo.endGroup();
    s.win.undo(); // the Edit menu's Ctrl+Z
    EXPECT_EQ(s.textBox()->text().string(), "HelloHello");

    // Text from another program is pasted plain, in the box's typing attributes.
    MyTextBox& second = s.newTypingBox();
    clipboard->setText(QStringLiteral("from elsewhere"));
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(second.text().string(), "from elsewhere");
}

// A clipboard holding only HTML, as a web browser can leave it, pastes its text.
TEST(KeyboardSession, HtmlOnlyClipboardPastesItsText)
{
    Session s;
    MyTextBox& box = s.newTypingBox();
    auto* html = new QMimeData;
    html->setHtml(QStringLiteral("<meta charset=\"utf-8\"><p>Caf\u00e9 <b>au</b>&nbsp;lait</p>"));
    ASSERT_FALSE(html->hasText());
    QGuiApplication::clipboard()->setMimeData(html);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box.text().string(), QStringLiteral("Caf\u00e9 au lait"));
}

// Rich text between boxes: a copied run keeps its attributes (here a size of its own).
TEST(KeyboardSession, CopiedTextKeepsItsAttributesBetweenBoxes)
{
    Session s;
    MyTextBox& first = s.newTypingBox();
    type("Big");
    // attributeAt answers a value: the font is copied out of it.
    const AttributeValue typedValue = first.text().attributeAt(TextAttributeNames::font, 0);
    ASSERT_TRUE(typedValue.font());
    const Font typedFont = *typedValue.font();
    const Font* typed = &typedFont;
    const Font big = typed->withSize(typed->pointSize() * 3);
    first.editor().editText([&](AttributedString& t) {
        t.addAttribute(TextAttributeNames::font, AttributeValue(big), TextRange(0, 3));
    });
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_C, Qt::ControlModifier);
    press(Qt::Key_Escape);

    MyTextBox& second = s.newTypingBox();
    press(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(second.text().string(), "Big");
    const AttributeValue pastedValue = second.text().attributeAt(TextAttributeNames::font, 1);
    const Font* pasted = pastedValue.font();
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->pointSize(), big.pointSize());
}

// Arrow keys move the selected box by 1, with Shift by 10, through the keys a person presses
// (the canvas has the keyboard); a held key is one undo step, a second press another.
TEST(KeyboardSession, ArrowKeysNudgeTheSelectedBox)
{
    Session s;
    s.newTypingBox();
    press(Qt::Key_Escape);
    ASSERT_FALSE(s.box().isEditing());
    ASSERT_TRUE(s.box().selected());
    const Point start = s.box().frame().origin;
    press(Qt::Key_Right);
    EXPECT_EQ(s.box().frame().origin, Point(start.x + 1, start.y));
    press(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(s.box().frame().origin, Point(start.x + 1, start.y + 10));
    s.undo.endGroup();

    // Held: a first press, repeats (each with its repeated release), the last release.
    const Point held = s.box().frame().origin;
    QWidget* target = QApplication::focusWidget();
    for (int i = 0; i < 6; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier, QString(), i > 0);
        QCoreApplication::sendEvent(target, &down);
        s.undo.endGroup(); // repeats come in turns of the event loop of their own
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier, QString(), i < 5);
        QCoreApplication::sendEvent(target, &up);
    }
    EXPECT_EQ(s.box().frame().origin, Point(held.x - 6, held.y));
    s.win.undo();
    EXPECT_EQ(s.box().frame().origin, held) << "one undo takes the whole held key back";
    s.win.undo();
    EXPECT_EQ(s.box().frame().origin, Point(start.x + 1, start.y)) << "the Shift+Up press";
}

// A held arrow key as the X server delivers it: the first press, each repeat as a release and a
// press at one instant, then the last release. Qt marks such a pair as a repeat only when the
// press is already waiting behind the release, which it often is not; marked or not, the held
// key is one undo step. The same key pressed again after a pause is a step of its own.
TEST(KeyboardSession, HeldArrowKeyUnderXsRepeatIsOneStep)
{
    // Each turn of the event loop handles one event, as the events come from the server.
    const auto send = [](QEvent::Type type, quint64 time, bool markedRepeat,
                          int key = Qt::Key_Right, Qt::KeyboardModifiers mods = Qt::ShiftModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_TRUE(target) << "no widget has the keyboard";
        QKeyEvent e(type, key, mods, QString(), markedRepeat);
        e.setTimestamp(time);
        QCoreApplication::sendEvent(target, &e);
        QCoreApplication::processEvents();
    };
    struct Row {
        const char* name;
        std::vector<bool> marked; // per repeat: whether its pair came marked
        // Shift let go before the arrow, with one more repeat after it (1 pixel, not 10).
        bool shiftUpFirst = false;
    };
    const Row rows[] = {
        { "every repeat marked", { true, true, true, true, true, true } },
        { "no repeat marked", { false, false, false, false, false, false } },
        { "some marked, as seen under Xvfb", { true, false, true, false, false, true, true } },
        { "Shift let go first", { true, false, false, true }, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        s.newTypingBox();
        press(Qt::Key_Escape);
        s.undo.endGroup();
        const Point start = s.box().frame().origin;
        const int steps = s.undo.undoGroupCount();
        quint64 t = 800000;
        send(QEvent::KeyPress, t, false);
        for (const bool marked : row.marked) {
            t += 40;
            send(QEvent::KeyRelease, t, marked);
            send(QEvent::KeyPress, t, marked);
        }
        if (row.shiftUpFirst) {
            t += 40;
            send(QEvent::KeyRelease, t, false, Qt::Key_Shift, Qt::NoModifier);
            send(QEvent::KeyRelease, t, false, Qt::Key_Right, Qt::NoModifier);
            send(QEvent::KeyPress, t, false, Qt::Key_Right, Qt::NoModifier);
        }
        send(QEvent::KeyRelease, t + 12, false);
        const double moved = 10.0 * double(row.marked.size() + 1) + (row.shiftUpFirst ? 1 : 0);
        EXPECT_EQ(s.box().frame().origin, Point(start.x + moved, start.y));
        EXPECT_EQ(s.undo.undoGroupCount(), steps + 1) << "one step for the held key";

        // Pressed again a moment later: a step of its own, taken back alone.
        send(QEvent::KeyPress, t + 300, false);
        send(QEvent::KeyRelease, t + 380, false);
        EXPECT_EQ(s.undo.undoGroupCount(), steps + 2);
        s.win.undo();
        EXPECT_EQ(s.box().frame().origin, Point(start.x + moved, start.y));
        s.win.undo();
        EXPECT_EQ(s.box().frame().origin, start) << "one undo takes the held key back";
    }
}

// Escape on the real Revert alert is its Cancel: the boxes stay. Then the first key after the
// alert reaches the canvas again (a nudge of the selected box).
TEST(KeyboardSession, EscapeOnTheRevertAlertKeepsTheDocumentAndTheKeyboard)
{
    Session s;
    s.newTypingBox();
    press(Qt::Key_Escape);
    const auto previous = AlertPresenter::install(nullptr);
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            QApplication::setActiveWindow(box);
            box->setFocus();
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &escape);
        }
    });
    s.win.revertToOrginal();
    AlertPresenter::install(previous);
    QCoreApplication::processEvents(); // back in the event loop, where the next key comes from
    ASSERT_EQ(s.boxes().textViewAry.size(), 1u) << "Escape reverted the document";
    EXPECT_EQ(QApplication::focusWidget(), &s.host());
    const Point before = s.box().frame().origin;
    press(Qt::Key_Down);
    EXPECT_EQ(s.box().frame().origin, Point(before.x, before.y - 1));
}

// On a photo shown at a small fraction of its size the caret still shows: at least one device
// pixel wide and solid, at 1x and at 2x device pixels alike. (The box is drawn as the canvas
// draws it, reduced; its text is empty so the caret is all there is.)
TEST(KeyboardSession, CaretShowsOnALargePhoto)
{
    Session s(windowtest::solidPicture(5640, 3172, QColor(220, 220, 220)));
    MyTextBox& box = s.newTypingBox();
    press(Qt::Key_Backspace);
    ASSERT_TRUE(box.text().isEmpty());
    ASSERT_TRUE(box.editor().isCaretVisible());
    const double shown = s.box().convertRectToView(Rect(0, 0, 1, 1), nullptr).width();
    ASSERT_LT(shown, 0.2) << "the photo is shown reduced";
    for (const double ratio : { 1.0, 2.0 }) {
        const QImage image = renderToImage(box, box.bounds(), shown * ratio).toQImage();
        // The ink across the caret's middle row: a whole device pixel's worth (however it
        // straddles pixels), not a fraction of one.
        const int y = image.height() / 2;
        int ink = 0;
        for (int x = 0; x < image.width(); ++x)
            ink += qAlpha(image.pixel(x, y));
        EXPECT_GT(ink, 200) << "the caret is a fraction of a pixel at " << ratio << "x";
    }
}

// Paste lands ten screen pixels right of and below what it copies, on a photo shown at a
// fraction of its size as on a small one.
TEST(KeyboardSession, PasteMovesTenScreenPixelsAtAnyZoom)
{
    for (const int width : { 400, 5640 }) {
        Session s(windowtest::solidPicture(width, width * 9 / 16, QColor(220, 220, 220)));
        s.newTypingBox();
        press(Qt::Key_Escape);
        s.win.perform(DocumentWindow::EditCommand::Copy);
        s.win.perform(DocumentWindow::EditCommand::Paste);
        ASSERT_EQ(s.boxes().textViewAry.size(), 2u);
        const Rect a = s.box(0).convertRectToView(s.box(0).bounds(), nullptr);
        const Rect b = s.box(1).convertRectToView(s.box(1).bounds(), nullptr);
        EXPECT_NEAR(b.x() - a.x(), 10.0, 0.5) << width;
        EXPECT_NEAR(b.y() - a.y(), -10.0, 0.5) << width << " (y-up: below)";
    }
}

// A box dragged far past the picture's edge keeps a grab margin inside it, so a press on what
// shows of it picks it up again and drags it back; arrow keys stop at the margin too.
TEST(KeyboardSession, ABoxDraggedPastTheEdgeCanBeGrabbedAgain)
{
    Session s;
    s.newTypingBox();
    press(Qt::Key_Escape);
    ASSERT_TRUE(s.box().selected());
    const Rect picture = s.boxes().convertRectToView(s.boxes().bounds(), nullptr);
    const QPointF start = s.centreOf(s.box());
    const QPointF far = s.host().widgetPointFromWindow(Point(picture.maxX() + 400, picture.midY()));
    testsupport::drag(s.host(), start, far);
    s.undo.endGroup();
    Rect shown = s.box().convertRectToView(s.box().bounds(), nullptr);
    EXPECT_NEAR(picture.maxX() - shown.minX(), TextViewContainer::kGrabMargin, 0.5)
        << "a grab margin stays inside";
    for (int i = 0; i < 30; ++i)
        press(Qt::Key_Right, Qt::ShiftModifier);
    shown = s.box().convertRectToView(s.box().bounds(), nullptr);
    EXPECT_NEAR(picture.maxX() - shown.minX(), TextViewContainer::kGrabMargin, 0.5)
        << "the arrows stop there too";

    // What shows of it picks it up.
    const QPointF grab = s.host().widgetPointFromWindow(
        Point(picture.maxX() - TextViewContainer::kGrabMargin / 2, shown.midY()));
    testsupport::drag(s.host(), grab, grab - QPointF(200, 0));
    shown = s.box().convertRectToView(s.box().bounds(), nullptr);
    EXPECT_NEAR(picture.maxX() - shown.minX(), TextViewContainer::kGrabMargin + 200, 0.5);
}

// A two-line box near the picture's bottom, moved by many small drags, draws its lines whole
// after each: its first line was once seen cut at the box's top edge after ten such drags.
TEST(KeyboardSession, ManySmallDragsLeaveTheLinesWhole)
{
    Session s(windowtest::solidPicture(1600, 900, QColor(220, 220, 220)));
    MyTextBox& text = s.newTypingBox();
    type("Wings");
    press(Qt::Key_Return);
    type("Wings");
    press(Qt::Key_Escape);
    ASSERT_EQ(text.text().string(), "Wings\nWings");
    const auto ink = [&] {
        MyViewBase& b = s.box();
        const QImage image = renderToImage(b, b.bounds(), 1.0).toQImage();
        long total = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                total += qAlpha(image.pixel(x, y));
        return total;
    };
    // Near the bottom: whatever lies below the picture's lower edge plus the margin.
    const Rect picture = s.boxes().convertRectToView(s.boxes().bounds(), nullptr);
    QPointF at = s.centreOf(s.box());
    const QPointF low = s.host().widgetPointFromWindow(Point(picture.midX(), picture.minY() + 60));
    testsupport::drag(s.host(), at, low);
    const long whole = ink();
    ASSERT_GT(whole, 0);
    for (int i = 0; i < 16; ++i) {
        at = s.centreOf(s.box());
        testsupport::drag(s.host(), at, at + QPointF(i % 3 - 1, 2 + i % 2));
        EXPECT_NEAR(double(ink()), double(whole), whole * 0.02) << "after drag " << i + 1;
    }
}

// The middle button over the text being typed is the selection clipboard's paste, not the
// canvas's pan; elsewhere over the picture it still pans.
TEST(KeyboardSession, MiddleButtonOverTypedTextIsNotAPan)
{
    Session s;
    s.newTypingBox();
    const QPointF onText = s.centreOf(s.box());
    testsupport::sendMouse(
        s.host(), QEvent::MouseButtonPress, onText, Qt::MiddleButton, Qt::MiddleButton);
    EXPECT_FALSE(s.canvas()->panning().isPanning());
    testsupport::sendMouse(
        s.host(), QEvent::MouseButtonRelease, onText, Qt::MiddleButton, Qt::NoButton);
    const Rect picture = s.boxes().convertRectToView(s.boxes().bounds(), nullptr);
    const QPointF away
        = s.host().widgetPointFromWindow(Point(picture.minX() + 5, picture.minY() + 5));
    testsupport::sendMouse(
        s.host(), QEvent::MouseButtonPress, away, Qt::MiddleButton, Qt::MiddleButton);
    EXPECT_TRUE(s.canvas()->panning().isPanning());
    testsupport::sendMouse(
        s.host(), QEvent::MouseButtonRelease, away, Qt::MiddleButton, Qt::NoButton);
}

// After Ctrl+I on a box holding Arabic (whose faces here have no italic), underline still
// switches on and off for the whole box: by Ctrl+U twice and by the U segment pressed twice.
TEST(KeyboardSession, UnderlineSwitchesOffAfterItalicOnArabic)
{
    const QString arabic = QStringLiteral("\u0645\u0631\u062D\u0628\u0627");
    const auto underlined = [](const MyTextBox& box) {
        int count = 0;
        for (int i = 0; i < box.text().length(); ++i)
            count += box.text().attributeAt(TextAttributeNames::underlineStyle, i).toDouble() != 0;
        return count;
    };
    enum Way { Keys, Segment, KeysWhileTyping };
    for (const Way way : { Keys, Segment, KeysWhileTyping }) {
        SCOPED_TRACE(way == Keys ? "Ctrl+U" : way == Segment ? "the U segment" : "while typing");
        Session s;
        MyTextBox& text = s.newTypingBox();
        type("Wings");
        press(Qt::Key_Return);
        for (QChar c : arabic)
            press(c.unicode(), Qt::NoModifier, QString(c));
        press(Qt::Key_Escape);
        ASSERT_EQ(text.text().string(), QStringLiteral("Wings\n") + arabic);
        ASSERT_TRUE(s.box().selected());
        press(Qt::Key_I, Qt::ControlModifier);
        s.undo.endGroup();
        ASSERT_TRUE(s.o.fontStyleSegmentedCtrl->isSelectedForSegment(1)) << "Ctrl+I took";
        const int length = text.text().length();
        if (way == KeysWhileTyping) {
            // Back into the box, all of its text selected.
            testsupport::click(s.host(), s.centreOf(s.box()));
            QApplication::processEvents();
            s.undo.endGroup();
            ASSERT_TRUE(s.box().isEditing());
            press(Qt::Key_A, Qt::ControlModifier);
            ASSERT_EQ(text.editor().selectedRange(), TextRange(0, length));
        }
        const auto toggleUnderline = [&] {
            if (way != Segment)
                press(Qt::Key_U, Qt::ControlModifier);
            else
                windowtest::pressSegment(*s.o.fontStyleSegmentedCtrl, 2);
            s.undo.endGroup();
        };
        toggleUnderline();
        EXPECT_EQ(underlined(text), length) << "underline on";
        EXPECT_TRUE(s.o.fontStyleSegmentedCtrl->isSelectedForSegment(2));
        toggleUnderline();
        EXPECT_EQ(underlined(text), 0) << "underline off";
        EXPECT_FALSE(s.o.fontStyleSegmentedCtrl->isSelectedForSegment(2));
    }
}
