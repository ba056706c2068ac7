// The path a person types along: a text box opened for typing shows its blinking caret however
// it was opened, keeps the keyboard when an inspector control is pressed on the way, and
// deletes by word with Ctrl+Backspace and Ctrl+Delete.
// Everything is driven as a person drives it: clicks that move the keyboard as the window
// system's do (QTest marks them so), keys sent to whatever has the keyboard, the caret read
// from what the canvas draws.
#include "ClickInWindow.h"
#include "InspectorRig.h"
#include "PanelDriving.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "container/EditAnimator.h"
#include "platform/text/TextEditor.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Stepper.h"
#include "platform/ui/ViewHost.h"
#include "support/NamedCase.h"
#include "window/AngleCtrl.h"
#include "window/ColoredButton.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/GradientCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SidebarContainerView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QStyleHints>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <typeinfo>

using namespace windowtest;
using platform::Point;
using platform::Rect;

namespace {

struct TypingWindow : InspectorWindow {
    TypingWindow()
        : InspectorWindow(true, solidPicture(400, 300, QColor(210, 210, 210)))
    {
        QApplication::setActiveWindow(&win);
        QApplication::processEvents();
    }
    platform::ViewHost& host() const { return *canvas()->host(); }
    MyViewBase& box(std::size_t i = 0) const { return *boxes().textViewAry.at(i); }
    MyTextBox& typing(std::size_t i = 0) const
    {
        return *dynamic_cast<MyTextView&>(box(i)).txtBox();
    }
    QPoint widgetPoint(const Point& inWindow) const
    {
        return host().widgetPointFromWindow(inWindow).toPoint();
    }
    QPoint centreOf(const MyViewBase& b) const
    {
        const Rect r = b.bounds();
        return widgetPoint(b.convertPointToView(Point(r.midX(), r.midY()), nullptr));
    }
    // A place on the picture clear of the boxes.
    QPoint onPhoto() const
    {
        const Rect picture = boxes().convertRectToView(boxes().bounds(), nullptr);
        return widgetPoint(Point(picture.minX() + 8, picture.minY() + 8));
    }
    // The box's place on the canvas, a margin round it.
    QRect shownRect(const MyViewBase& b) const
    {
        const Rect r = b.convertRectToView(b.bounds(), nullptr);
        const QPoint a = widgetPoint(Point(r.minX(), r.minY()));
        const QPoint c = widgetPoint(Point(r.maxX(), r.maxY()));
        return QRect(a, c).normalized().adjusted(-6, -6, 6, 6);
    }
    // Turns of the event loop until an edit animation has ended.
    void settle() const
    {
        QElapsedTimer t;
        t.start();
        while (EditAnimator::instance().isActive() && t.elapsed() < 3000)
            QTest::qWait(10);
        QApplication::processEvents();
        endEvent();
    }
    void click(QPoint at)
    {
        QTest::mouseClick(&host(), Qt::LeftButton, {}, at);
        settle();
    }
    // Two clicks far enough apart in time not to make a double-click.
    void clickAgain(QPoint at)
    {
        QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
        click(at);
    }
    // A double-click as the window system delivers it: a click, a press with its double-click
    // event, a release.
    void doubleClick(QPoint at)
    {
        QTest::mouseClick(&host(), Qt::LeftButton, {}, at);
        QTest::mousePress(&host(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(&host(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(&host(), Qt::LeftButton, {}, at);
        settle();
    }
    void key(int key, Qt::KeyboardModifiers mods = {})
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus) << "nothing has the keyboard";
        QTest::keyClick(focus, Qt::Key(key), mods);
        endEvent();
    }
    void type(const QString& text)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus) << "nothing has the keyboard";
        QTest::keyClicks(focus, text);
        endEvent();
    }
    // The Text button's box, made of a kind by the inspector, opened by a click on it and
    // typed into.
    void newBoxTyped(const std::function<void(TypingWindow&)>& kind, const QString& text)
    {
        win.newTextBox();
        endEvent();
        MyViewBase& made = box(boxes().textViewAry.size() - 1);
        kind(*this);
        click(centreOf(made));
        if (!text.isEmpty())
            type(text);
    }
};

// Whether what the canvas draws of the box changes within one blink period (the caret shown,
// then hidden), read from the canvas's own drawing. A busy machine may run the blink late: the
// wait ends at the first change, and gives up only after two whole periods.
bool drawnCaretBlinks(const TypingWindow& w, const MyViewBase& b)
{
    const QRect r = w.shownRect(b);
    const QImage first = w.host().grab(r).toImage();
    QElapsedTimer t;
    t.start();
    bool last = false;
    do {
        last = t.elapsed() >= 4 * platform::TextEditor::caretBlinkInterval;
        QTest::qWait(25);
        if (w.host().grab(r).toImage() != first)
            return true;
    } while (!last);
    return false;
}

void pressUp(platform::Stepper& stepper)
{
    personClick(stepper, QPoint(stepper.width() / 2, stepper.height() / 4));
    endEvent();
}

void pressSegment(platform::SegmentedControl& control, int segment)
{
    personClick(
        control, control.convertToWidget(control.frameForSegment(segment).center()).toPoint());
    endEvent();
}

// The kinds of text box, each made from the selected new box through its inspector control.
struct BoxKind {
    const char* name;
    std::function<void(TypingWindow&)> make;
};

const BoxKind kKinds[] = {
    { "flat", [](TypingWindow&) {} },
    { "curved", [](TypingWindow& w) { pressUp(*w.o.curveStepper); } },
    { "perspective", [](TypingWindow& w) { pressUp(*w.o.perspectiveStepper); } },
    { "vertical", [](TypingWindow& w) { pressSegment(*w.o.textboxLayoutStepper, 1); } },
    { "circular", [](TypingWindow& w) { pressSegment(*w.o.textboxLayoutStepper, 0); } },
};

} // namespace

// The ways typing opens. In the global namespace, where the printer of rows by their name
// finds them.
struct TypingOpening {
    const char* name;
    std::function<void(TypingWindow&, const BoxKind&)> open;
};

namespace {

const TypingOpening kOpenings[] = {
    { "the_first_click_on_a_new_box",
        [](TypingWindow& w, const BoxKind& k) { w.newBoxTyped(k.make, {}); } },
    { "a_click_on_the_box_selected_again",
        [](TypingWindow& w, const BoxKind& k) {
            w.newBoxTyped(k.make, "Abc");
            w.click(w.onPhoto());
            ASSERT_FALSE(w.box().isEditing());
            w.click(w.centreOf(w.box()));
            ASSERT_FALSE(w.box().isEditing());
            w.clickAgain(w.centreOf(w.box()));
        } },
    { "a_double_click",
        [](TypingWindow& w, const BoxKind& k) {
            w.newBoxTyped(k.make, "Abc");
            w.click(w.onPhoto());
            w.doubleClick(w.centreOf(w.box()));
        } },
    { "undo_of_typing_in_a_box_left",
        [](TypingWindow& w, const BoxKind& k) {
            w.newBoxTyped(k.make, "Abc");
            w.click(w.onPhoto());
            w.win.undo();
            w.settle();
        } },
    { "Paste_Style",
        [](TypingWindow& w, const BoxKind& k) {
            w.newBoxTyped(k.make, "Abc");
            w.win.perform(EditCommand::CopyStyle);
            w.win.perform(EditCommand::PasteStyle);
            w.settle();
        } },
    { "a_panel_control",
        [](TypingWindow& w, const BoxKind& k) {
            w.newBoxTyped(k.make, "Abc");
            pressUp(*w.o.fontSizeStepper);
            w.settle();
        } },
};

class CaretShows : public ::testing::TestWithParam<TypingOpening> { };

} // namespace

// However typing was opened, and on every kind of box, End shows the caret and it blinks; so
// it does after a letter typed.
TEST_P(CaretShows, AfterEndAndAfterALetter)
{
    for (const BoxKind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        TypingWindow w;
        GetParam().open(w, kind);
        ASSERT_TRUE(w.box().isEditing()) << "typing is open";
        w.key(Qt::Key_End);
        ASSERT_TRUE(w.typing().editor().selectedRange().isEmpty());
        EXPECT_TRUE(drawnCaretBlinks(w, w.box())) << "the caret blinks after End";
        w.type("d");
        EXPECT_TRUE(w.typing().text().string().endsWith(u'd'));
        EXPECT_TRUE(drawnCaretBlinks(w, w.box())) << "and after a letter";
    }
}

INSTANTIATE_TEST_SUITE_P(
    TypingPath, CaretShows, ::testing::ValuesIn(kOpenings), testsupport::RowName());

namespace {

// Where a person presses each kind of control: a stepper's upper half, each segment of a
// switch, a slider at two thirds, a knob off its centre, a button's middle. Fields, pop-ups and
// colour wells are not among them: they keep the keyboard while they are used.
std::vector<std::pair<QWidget*, QPoint>> pressesOn(QWidget& w)
{
    const QPoint middle(w.width() / 2, w.height() / 2);
    if (dynamic_cast<platform::Stepper*>(&w))
        return { { &w, QPoint(w.width() / 2, w.height() / 4) } };
    if (auto* segments = dynamic_cast<platform::SegmentedControl*>(&w)) {
        std::vector<std::pair<QWidget*, QPoint>> each;
        for (int s = 0; s < segments->segmentCount(); ++s)
            each.push_back(
                { &w, segments->convertToWidget(segments->frameForSegment(s).center()).toPoint() });
        return each;
    }
    if (dynamic_cast<ImageEffectIntensitySlider*>(&w))
        return { { &w, QPoint(w.width() * 2 / 3, w.height() / 2) } };
    if (dynamic_cast<AngleCtrl*>(&w))
        return { { &w, QPoint(w.width() * 3 / 4, w.height() / 4) } };
    if (qobject_cast<QAbstractButton*>(&w))
        return { { &w, middle } };
    return {};
}

bool insideWell(const QWidget& w)
{
    for (const QWidget* p = &w; p; p = p->parentWidget())
        if (dynamic_cast<const GradientCtrl*>(p) || dynamic_cast<const ColoredButton*>(p))
            return true;
    return false;
}

// The controls seen to lose the keyboard once, by the names a person knows them by.
std::vector<std::pair<const char*, const QWidget*>> namedControls(const DocumentWindowOutlets& o)
{
    return {
        { "Curve stepper", o.curveStepper },
        { "Perspective stepper", o.perspectiveStepper },
        { "curve Directions", o.curveSegment },
        { "perspective Directions", o.perspectiveSegment },
        { "Opacity", o.textboxOpacitySlider },
        { "Angle", o.textboxAngleSlider },
        { "Frame lock", o.btnFrameLock },
        { "W", o.frameWidthStepper },
        { "H", o.frameHeightStepper },
        { "X", o.frameLeftStepper },
        { "Y", o.frameTopStepper },
        { "Border size", o.borderSizeStepper },
        { "Stroke size", o.strokeSizeStepper },
        { "Shadow knob", o.shadowAngleCtrl },
        { "Shadow angle", o.shadowAngleStepper },
        { "Shadow blur", o.shadowBlurStepper },
        { "Shadow offset", o.shadowOffsetStepper },
        { "Shadow blur slider", o.shadowBlurSlider },
        { "Shadow offset slider", o.shadowOffsetSlider },
        { "Inner/Box", o.segmentInnerShadow },
        { "inner shadow knob", o.innerShadowAngleCtrl },
        { "layout switch", o.textboxLayoutStepper },
        { "Font styles", o.fontStyleSegmentedCtrl },
        { "Font size", o.fontSizeStepper },
        { "Line spacing", o.linespaceStepper },
    };
}

// A control named for a failure: by its name where it has one, else by its kind.
std::string nameOf(const DocumentWindowOutlets& o, const QWidget& control, QPoint at)
{
    for (const auto& [what, named] : namedControls(o))
        if (named == &control)
            return QStringLiteral("%1 at %2,%3").arg(what).arg(at.x()).arg(at.y()).toStdString();
    return QStringLiteral("a %1 at %2,%3")
        .arg(QString::fromLatin1(typeid(control).name()))
        .arg(at.x())
        .arg(at.y())
        .toStdString();
}

} // namespace

// While a text box is open for typing, a click on any control the inspector shows acts and
// leaves the keyboard with the box: the next letter goes into the text.
TEST(TypingPath, LettersTypedAfterAnyControlGoIntoTheText)
{
    // A flat box, and a curved one, for which the Directions switches show too.
    for (const BoxKind& kind : { kKinds[0], kKinds[1] }) {
        SCOPED_TRACE(kind.name);
        TypingWindow w;
        w.newBoxTyped(kind.make, "Abc");
        ASSERT_TRUE(w.box().isEditing());
        std::vector<std::pair<QPointer<QWidget>, QPoint>> presses;
        for (QWidget* c : w.o.textControlContainerView->findChildren<QWidget*>()) {
            if (c->isVisibleTo(&w.win) && !insideWell(*c))
                for (const auto& [control, at] : pressesOn(*c))
                    presses.push_back({ control, at });
        }
        ASSERT_GT(presses.size(), 30u) << "the sweep found the panels' controls";
        std::set<const QWidget*> pressed;
        for (const auto& [control, at] : presses) {
            // A control an earlier press hid (a remove button's row) is not there to press.
            if (!control || !control->isVisibleTo(&w.win))
                continue;
            SCOPED_TRACE(nameOf(w.o, *control, at));
            personClick(*control, at);
            w.settle();
            pressed.insert(control);
            ASSERT_TRUE(w.box().isEditing()) << "typing stays open";
            const QString before = w.typing().text().string();
            w.type(QStringLiteral("x"));
            EXPECT_EQ(w.typing().text().length(), before.length() + 1)
                << "the letter went to the text";
        }
        // The controls once seen to lose the keyboard are all among those pressed.
        for (const auto& [what, control] : namedControls(w.o))
            EXPECT_TRUE(pressed.count(control)) << what << " was not pressed";
    }
}

// Ctrl+Backspace and Ctrl+Delete delete by word in the box being typed into, and the deletion
// is one step with the typing that follows it.
TEST(TypingPath, WordDeletionIsOneStepWithTheTypingAfterIt)
{
    struct Row {
        const char* name;
        std::vector<int> moves; // keys, with Ctrl, that put the caret where the deletion starts
        int deletion;
        const char* deleted;
        const char* typed;
        const char* result;
    };
    const Row rows[] = {
        { "Ctrl+Backspace", { Qt::Key_Home, Qt::Key_Right }, Qt::Key_Backspace, "world", "big ",
            "big world" },
        { "Ctrl+Delete", { Qt::Key_Home }, Qt::Key_Delete, " world", "Howdy", "Howdy world" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TypingWindow w;
        w.newBoxTyped(kKinds[0].make, QStringLiteral("Hello world"));
        // The box wraps its text: Ctrl takes the caret to the ends of the text, not the line.
        for (const int move : row.moves)
            w.key(move, Qt::ControlModifier);
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        w.key(row.deletion, Qt::ControlModifier);
        EXPECT_EQ(w.typing().text().string(), row.deleted);
        w.type(QString::fromLatin1(row.typed));
        EXPECT_EQ(w.typing().text().string(), row.result);
        EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
        w.win.undo();
        EXPECT_EQ(w.typing().text().string(), "Hello world") << "one undo takes both back";
        w.win.redo();
        EXPECT_EQ(w.typing().text().string(), row.result);
    }
}

// A field keeps the keyboard while it is typed into and gives it back to the text on Return;
// a field left for another control leaves the keyboard where the person put it.
TEST(TypingPath, AFieldGivesTheKeyboardBackOnReturn)
{
    TypingWindow w;
    w.newBoxTyped(kKinds[0].make, "Abc");
    const auto typeIntoField = [&](QLineEdit& field, const QString& value) {
        personClick(field, field.rect().center());
        ASSERT_EQ(QApplication::focusWidget(), &field) << "the click gave the field the keyboard";
        w.key(Qt::Key_A, Qt::ControlModifier);
        w.type(value);
        EXPECT_EQ(field.text(), value) << "the field kept the keyboard while typed into";
    };
    const std::pair<QLineEdit*, QString> fields[] = { { w.o.frameWidthTextField, "300" },
        { w.o.shadowBlurTextField, "3" }, { w.o.curveTextField, "20" },
        { w.o.fontSizeTextField, "40" } };
    for (const auto& [field, value] : fields) {
        SCOPED_TRACE(value.toStdString());
        typeIntoField(*field, value);
        w.key(Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), &w.host());
        ASSERT_TRUE(w.box().isEditing());
        const int before = w.typing().text().length();
        w.type(QStringLiteral("x"));
        EXPECT_EQ(w.typing().text().length(), before + 1) << "the letter went to the text";
    }
    typeIntoField(*w.o.shadowBlurTextField, "5");
    personClick(*w.o.shadowOffsetTextField, w.o.shadowOffsetTextField->rect().center());
    EXPECT_EQ(w.box().shadowBlurSize(), 5) << "leaving the field set its value";
    EXPECT_EQ(QApplication::focusWidget(), w.o.shadowOffsetTextField)
        << "the keyboard stays in the field the person clicked";
}
