// Actions a person takes that change nothing leave no undo step, and a drag is one step, in a
// shown window driven with clicks, keys and the menu's commands.
#include "PanelDriving.h"
#include "PersonDriving.h"
#include "boxes/MyShapeView.h"
#include "container/BoxClipboard.h"
#include "container/EditAnimator.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/ViewHost.h"
#include "window/GradientCtrl.h"

#include <QApplication>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace windowtest;
using platform::Point;
using platform::Rect;
using Cmd = DocumentWindow::EditCommand;

namespace {

const platform::Color kRed(1, 0, 0, 1);

std::string shown(const Rect& r)
{
    return QStringLiteral("%1,%2 %3x%4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

// A shown window with a text box (bottom) and a star over it (top, selected), as the Text and
// Shape buttons leave them. The star's inner-radius point lies at its centre.
struct StepsRig : ReadyWindow {
    StepsRig()
        : ReadyWindow(true)
    {
        BoxClipboard::shared().clear();
        QApplication::setActiveWindow(&win);
        win.newTextBox();
        boxes().newShapeBox(shape::Star);
        endEvent();
    }
    platform::ViewHost& host() const { return *canvas()->host(); }
    MyTextView& text() const { return dynamic_cast<MyTextView&>(*boxes().textViewAry.at(0)); }
    MyShapeView& shape() const { return dynamic_cast<MyShapeView&>(*boxes().textViewAry.at(1)); }
    QPointF widgetPoint(const MyViewBase& b, double fx, double fy) const
    {
        const Rect r = b.bounds();
        return host().widgetPointFromWindow(
            b.convertPointToView(Point(r.x() + r.width() * fx, r.y() + r.height() * fy), nullptr));
    }
    QPointF centreOf(const MyViewBase& b) const { return widgetPoint(b, 0.5, 0.5); }
    void click(QPointF at)
    {
        testsupport::click(host(), at);
        endEvent();
    }
    // A click on the text box beside the star, clear of the handles: it selects the text box
    // alone, or, when it already is, opens it for typing.
    void clickText() { click(widgetPoint(text(), 0.12, 0.5)); }
    void selectText()
    {
        if (!text().selected())
            clickText();
        ASSERT_TRUE(text().selected() && !shape().selected());
    }
    // The text box opened for typing, the keyboard on the canvas as a person's click leaves it.
    void editText()
    {
        selectText();
        clickText();
        host().setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(text().isEditing());
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        windowtest::key(host(), k, mods);
        endEvent();
    }
    void command(Cmd c)
    {
        win.perform(c);
        endEvent();
    }
};

} // namespace

// Each row: a setup whose steps do not count, then the action, which must leave the undo count
// and every box as they were.
TEST(EmptySteps, ActionsThatChangeNothingRegisterNoStep)
{
    struct Row {
        const char* name;
        std::function<void(StepsRig&)> setup;
        std::function<void(StepsRig&)> act;
    };
    const Row rows[] = {
        { "click on the selected star over the text box", [](StepsRig&) {},
            [](StepsRig& w) { w.click(w.centreOf(w.shape())); } },
        { "Home, Shift+Right and End in the text after Paste Style onto it",
            [](StepsRig& w) {
                w.command(Cmd::CopyStyle); // the star's
                w.editText();
                w.command(Cmd::PasteStyle);
                ASSERT_TRUE(w.text().isEditing());
            },
            [](StepsRig& w) {
                platform::TextEditor& editor = w.text().txtBox()->editor();
                w.key(Qt::Key_Home);
                w.key(Qt::Key_Right, Qt::ShiftModifier);
                EXPECT_EQ(editor.selectedRange(), platform::TextRange(0, 1)) << "keys to the text";
                w.key(Qt::Key_End);
                EXPECT_EQ(editor.selectedRange(), platform::TextRange(editor.text().length(), 0));
            } },
        { "the box's background colour picked again",
            [](StepsRig& w) {
                w.selectText();
                GradientCtrl& well = *w.o.btTextboxBackgroundColor;
                const Rect r = well.previewRect();
                clickInWindow(well, QPointF(r.midX(), well.height() - r.midY()));
                platform::ColorPanel::shared().commitColor(kRed);
                endEvent();
            },
            [](StepsRig& w) {
                GradientCtrl& well = *w.o.btTextboxBackgroundColor;
                const Rect r = well.previewRect();
                clickInWindow(well, QPointF(r.midX(), well.height() - r.midY()));
                platform::ColorPanel::shared().commitColor(kRed);
                endEvent();
            } },
        { "the curve stepper pressed down at 0", [](StepsRig& w) { w.selectText(); },
            [](StepsRig& w) {
                ASSERT_EQ(w.o.curveStepper->intValue(), 0);
                stepOnce(*w.o.curveStepper, false);
            } },
        { "the shadow blur slider dragged away and back in one press", [](StepsRig&) {},
            [](StepsRig& w) {
                ImageEffectIntensitySlider& s = *w.o.shadowBlurSlider;
                ASSERT_TRUE(s.isVisibleTo(&w.win));
                const int start = w.shape().getUndoData().shadowBlurSize;
                const double span = s.width() - 32.0, y = s.height() / 2.0;
                const QPointF knob(s.value() * span, y);
                const int steps = w.undo.undoGroupCount();
                using testsupport::sendMouse;
                sendMouse(s, QEvent::MouseButtonPress, knob, Qt::LeftButton, Qt::LeftButton);
                endEvent();
                for (const double x : { 0.3, 0.6, 0.3 }) {
                    sendMouse(s, QEvent::MouseMove, { x * span, y }, Qt::NoButton, Qt::LeftButton);
                    endEvent();
                }
                EXPECT_NE(w.shape().getUndoData().shadowBlurSize, start) << "the drag went away";
                EXPECT_EQ(w.undo.undoGroupCount(), steps + 1) << "one step while away";
                sendMouse(s, QEvent::MouseMove, knob, Qt::NoButton, Qt::LeftButton);
                endEvent();
                sendMouse(s, QEvent::MouseButtonRelease, knob, Qt::LeftButton, Qt::NoButton);
                EXPECT_EQ(w.shape().getUndoData().shadowBlurSize, start) << "and came back";
            } },
        { "Paste Style onto the shape it was copied from",
            [](StepsRig& w) { w.command(Cmd::CopyStyle); },
            [](StepsRig& w) { w.command(Cmd::PasteStyle); } },
        { "Paste Style onto the text box it was copied from",
            [](StepsRig& w) {
                w.selectText();
                w.command(Cmd::CopyStyle);
            },
            [](StepsRig& w) { w.command(Cmd::PasteStyle); } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StepsRig w;
        row.setup(w);
        if (testing::Test::HasFatalFailure())
            return;
        endEvent();
        const ContainerSnapshot before = w.boxes().containerSnapshot();
        const Rect textFrame = w.text().frame();
        const int steps = w.undo.undoGroupCount();
        const int changes = w.undo.changeCount();
        row.act(w);
        endEvent();
        EXPECT_EQ(w.undo.undoGroupCount(), steps);
        EXPECT_EQ(w.undo.changeCount(), changes) << "the document is no more edited";
        EXPECT_EQ(shown(w.text().frame()), shown(textFrame));
        for (std::size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(
                shown(w.boxes().textViewAry.at(i)->frame()), shown(before.records().at(i).frame))
                << i;
    }
}

// A click on the selected star, then a drag of it: the drag is the one step, and one undo goes
// back to where the click began.
TEST(EmptySteps, ADragIsOneStep)
{
    StepsRig w;
    const Rect start = w.shape().frame();
    const int steps = w.undo.undoGroupCount();
    w.click(w.centreOf(w.shape()));
    const QPointF from = w.widgetPoint(w.shape(), 0.2, 0.2);
    testsupport::drag(w.host(), from, from + QPointF(40, 25));
    endEvent();
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    ASSERT_NE(w.shape().frame(), start);
    w.command(Cmd::Undo);
    EXPECT_EQ(shown(w.shape().frame()), shown(start));
    EXPECT_EQ(w.undo.undoGroupCount(), steps) << "nothing left to undo of the click";
}

namespace {

// The layer's records as the document keeps them, without what only says where the person is
// (selection, editing, caret and typing attributes): what undo and redo must bring back.
std::vector<UNDODATA> content(const TextViewContainer& layer)
{
    std::vector<UNDODATA> out = layer.containerSnapshot().records();
    for (UNDODATA& r : out) {
        r.selected = r.isEditing = r.selectable = r.editable = false;
        r.selectionRange = {};
        r.typingAttributes.reset();
    }
    return out;
}

bool sameContent(const std::vector<UNDODATA>& a, const std::vector<UNDODATA>& b)
{
    return ContainerSnapshot(a) == ContainerSnapshot(b);
}

// A control a person can reach: shown in the window.
bool reachable(const QWidget* w)
{
    return w && w->isVisibleTo(w->window()) && w->isEnabled();
}

} // namespace

// Random sequences of what a person does to the two boxes (clicks, drags, keys, the warp
// steppers, the background well, Copy and Paste Style, undo and redo). An action that leaves
// the layer as it was adds no step, none adds more than one; then every undo and every redo
// changes the layer, undo all brings back the start, redo all the end, which reads back from
// the file as it was.
TEST(EmptySteps, RandomActionsUndoAndRedoWithoutEmptySteps)
{
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return int(random() % unsigned(n)); };
        StepsRig w;
        w.undo.removeAllActions(); // the history starts with the two boxes
        const std::vector<UNDODATA> start = content(w.boxes());
        std::vector<std::string> done;
        for (int n = 0; n < 30; ++n) {
            MyViewBase& box = pick(2) ? static_cast<MyViewBase&>(w.shape()) : w.text();
            const ContainerSnapshot before = w.boxes().containerSnapshot();
            const int steps = w.undo.undoGroupCount();
            bool history = false; // undo and redo move steps between the stacks
            const int action = pick(12);
            switch (action) {
            case 0: {
                const QPointF at[] = { w.centreOf(box), w.widgetPoint(box, 0.2, 0.2),
                    w.widgetPoint(box, 0.12, 0.5) };
                w.click(at[pick(3)]);
                break;
            }
            case 1: {
                const QPointF from = w.widgetPoint(box, 0.2, 0.2);
                const double d[] = { 0.0, -15.0, 15.0, 30.0 };
                testsupport::drag(w.host(), from, from + QPointF(d[pick(4)], d[pick(4)]));
                endEvent();
                break;
            }
            case 2:
                w.click(w.host().widgetPointFromWindow(
                    w.boxes().convertPointToView(Point(12, 12), nullptr)));
                break;
            case 3:
            case 4: {
                platform::Stepper* s = action == 3 ? w.o.curveStepper : w.o.perspectiveStepper;
                if (reachable(s))
                    stepOnce(*s, pick(2));
                break;
            }
            case 5:
                if (reachable(w.o.btTextboxBackgroundColor)) {
                    GradientCtrl& well = *w.o.btTextboxBackgroundColor;
                    const Rect r = well.previewRect();
                    clickInWindow(well, QPointF(r.midX(), well.height() - r.midY()));
                    platform::ColorPanel::shared().commitColor(
                        pick(2) ? kRed : platform::Color(0, 0, 1, 1));
                    endEvent();
                }
                break;
            case 6:
                w.command(pick(2) ? Cmd::CopyStyle : Cmd::PasteStyle);
                break;
            case 7: {
                const int keys[] = { Qt::Key_Right, Qt::Key_Left, Qt::Key_Home, Qt::Key_End };
                w.key(keys[pick(4)], pick(2) ? Qt::ShiftModifier : Qt::NoModifier);
                break;
            }
            case 8:
                w.key(Qt::Key_Escape);
                break;
            case 9:
                if (QApplication::focusWidget() == &w.host()) {
                    windowtest::key(w.host(), Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                    endEvent();
                }
                break;
            case 10:
            case 11:
                history = true;
                w.command(action == 10 ? Cmd::Undo : Cmd::Redo);
                break;
            }
            EditAnimator::instance().finish();
            endEvent();
            done.push_back(std::to_string(action));
            if (history)
                continue;
            const int added = w.undo.undoGroupCount() - steps;
            EXPECT_LE(added, 1) << "action " << action;
            if (w.boxes().containerSnapshot() == before)
                EXPECT_EQ(added, 0) << "action " << action << " changed nothing";
        }
        SCOPED_TRACE(testing::Message() << "actions " << testing::PrintToString(done));
        w.key(Qt::Key_Escape);
        EditAnimator::instance().finish();
        // What an undo at the end left for redo is part of the history to walk.
        for (int k = 0; k < 100 && w.undo.canRedo(); ++k)
            w.command(Cmd::Redo);
        const std::vector<UNDODATA> end = content(w.boxes());
        int undone = 0;
        while (w.undo.canUndo() && undone < 100) {
            const ContainerSnapshot was = w.boxes().containerSnapshot();
            w.command(Cmd::Undo);
            ++undone;
            EXPECT_FALSE(w.boxes().containerSnapshot() == was)
                << "undo " << undone << " did nothing";
        }
        EXPECT_TRUE(sameContent(content(w.boxes()), start)) << "undo all gives the start";
        EXPECT_EQ(w.undo.undoGroupCount(), 0);
        int redone = 0;
        while (w.undo.canRedo() && redone < 100) {
            const ContainerSnapshot was = w.boxes().containerSnapshot();
            w.command(Cmd::Redo);
            ++redone;
            EXPECT_FALSE(w.boxes().containerSnapshot() == was)
                << "redo " << redone << " did nothing";
        }
        EXPECT_EQ(redone, undone);
        EXPECT_TRUE(sameContent(content(w.boxes()), end)) << "redo all gives the end";

        // Saved and opened again in another window: the same layer.
        const QByteArray bytes = platform::KeyedArchiver::archivedData(
            w.boxes().containerSnapshot().toArchiveValue(), true);
        const auto read = platform::KeyedUnarchiver::unarchive(bytes, UNDODATA::allowedClasses());
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        ReadyWindow reopened;
        reopened.boxes().applyUndoData(ContainerSnapshot::fromArchiveValue(read.root));
        EXPECT_TRUE(sameContent(content(reopened.boxes()), end)) << "saved and read back";
    }
}
