// After an edit, whichever way it is made (a panel's field or switch, a handle on the canvas,
// undo and redo), the inspector shows what a fresh look at the same selection shows.
#include "InspectorFields.h"
#include "PanelDriving.h"
#include "PersonDriving.h"
#include "container/SelectedTextBoxView.h"
#include "window/CustomSegmentedCtrl.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <functional>

using namespace windowtest;
using platform::Point;

namespace {

QLineEdit* cornerField(const DocumentWindowOutlets& o, int tag)
{
    for (QLineEdit* field : o.panelRoundRect->findChildren<QLineEdit*>())
        if (field->property("tag").toInt() == tag)
            return field;
    return nullptr;
}

QString pixels(double v)
{
    return QStringLiteral("%1 px").arg(int(std::floor(v + 0.5)));
}

QString lit(const CustomSegmentedCtrl& segments)
{
    QString on;
    for (int s = 0; s < segments.segmentCount(); ++s)
        on += segments.isSelectedForSegment(s) ? QLatin1Char('1') : QLatin1Char('0');
    return on;
}

// The window with the menu's Undo and Redo keys, as the application gives it.
struct EditedWindow : InspectorWindow {
    QAction undoAction, redoAction;
    EditedWindow()
        : InspectorWindow(true)
    {
        undoAction.setShortcut(QKeySequence::Undo);
        redoAction.setShortcut(QKeySequence::Redo);
        QObject::connect(&undoAction, &QAction::triggered, [this] { win.undo(); });
        QObject::connect(&redoAction, &QAction::triggered, [this] { win.redo(); });
        win.addAction(&undoAction);
        win.addAction(&redoAction);
        QApplication::setActiveWindow(&win);
    }
    void keys(QKeySequence::StandardKey which)
    {
        const QKeyCombination k = QKeySequence(which)[0];
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &win, k.key(), k.keyboardModifiers());
        endEvent();
    }
    MyViewBase& box() const { return *boxes().textViewAry.at(0); }
    // A container point in the canvas's widget.
    QPointF onCanvas(const Point& p) const
    {
        return canvas()->host()->widgetPointFromWindow(boxes().convertPointToView(p, nullptr));
    }
    // A press on the canvas at from, moved in steps by (dx, dy) widget pixels, and released.
    void dragOnCanvas(QPointF from, double dx, double dy)
    {
        QWidget& host = *canvas()->host();
        using testsupport::sendMouse;
        sendMouse(host, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= 5; ++i)
            sendMouse(host, QEvent::MouseMove, from + QPointF(dx * i / 5, dy * i / 5),
                Qt::NoButton, Qt::LeftButton);
        sendMouse(host, QEvent::MouseButtonRelease, from + QPointF(dx, dy), Qt::LeftButton,
            Qt::NoButton);
        endEvent();
    }
    void checkFrameShown() const
    {
        EXPECT_EQ(o.frameHeightTextField->text(), pixels(box().frame().height()));
        EXPECT_EQ(o.frameTopTextField->text(), pixels(box().frame().y()));
        EXPECT_EQ(o.frameWidthTextField->text(), pixels(box().frame().width()));
    }
};

BoxSpec roundedRectangle()
{
    return { Kind::Shape, shape::RoundedRectangle, true, [](UNDODATA& r) {
                r.frame = platform::Rect(40, 40, 100, 50);
            } };
}

BoxSpec curvedUpText()
{
    return { Kind::Text, shape::Rectangle, true, [](UNDODATA& r) {
                r.rtf = runs({ { "Hello world", "DejaVu Sans", 24 } });
                r.frame = platform::Rect(60, 100, 200, 60);
                r.curves = { Point(0, 0), Point(0.5, 0.3), Point(1, 0) };
            } };
}

BoxSpec plainText()
{
    return textOf({ { "Hello world, a line long enough to wrap", "DejaVu Sans", 24 } });
}

void typeWidth400(EditedWindow& w)
{
    typeIntoField(*w.o.frameWidthTextField, QStringLiteral("400"));
    endEvent();
}

} // namespace

// Each edit, then the fields compared with those a fresh look at the same selection shows;
// each row also checks the value the edit was about.
TEST(InspectorFollowsEdits, EveryFieldAsAFreshLookShowsIt)
{
    struct Row {
        const char* name;
        BoxSpec box;
        std::function<void(EditedWindow&)> edit;
        std::function<void(EditedWindow&)> check;
    };
    const Row rows[] = {
        { "width typed with the frame lock open", roundedRectangle(),
            [](EditedWindow& w) {
                clickInWindow(*w.o.btnFrameLock,
                    QPointF(w.o.btnFrameLock->width() / 2.0, w.o.btnFrameLock->height() / 2.0));
                ASSERT_FALSE(w.o.btnFrameLock->isChecked());
                typeWidth400(w);
            },
            [](EditedWindow& w) {
                EXPECT_EQ(w.box().frame().width(), 400);
                EXPECT_EQ(w.box().frame().height(), 50) << "the lock was open";
                const auto radii = dynamic_cast<MyShapeView&>(w.box()).getRoundRectRadius();
                EXPECT_EQ(radii[3], 80);
                EXPECT_EQ(cornerField(w.o, 0)->text(), QStringLiteral("80 px"));
                EXPECT_FALSE(w.o.btnFrameLock->isChecked()) << "the lock stays open";
            } },
        { "curve handle dragged below the base line", curvedUpText(),
            [](EditedWindow& w) {
                ASSERT_EQ(lit(*w.o.curveSegment), QStringLiteral("10"));
                const Point handle = SelectedTextBoxView::curveGuidePoints(w.box())[1];
                w.dragOnCanvas(w.onCanvas(handle), 0, 120);
            },
            [](EditedWindow& w) {
                ASSERT_LT(w.box().curves()[1].y, 0.0) << "the middle went below";
                EXPECT_EQ(lit(*w.o.curveSegment), QStringLiteral("01")) << "Down is lit";
            } },
        { "vertical layout switched on", plainText(),
            [](EditedWindow& w) { pressSegment(*w.o.textboxLayoutStepper, 1); },
            [](EditedWindow& w) {
                EXPECT_TRUE(w.boxAt<MyTextView>(0)->isVertical());
                w.checkFrameShown();
            } },
        { "circular layout switched on", plainText(),
            [](EditedWindow& w) { pressSegment(*w.o.textboxLayoutStepper, 0); },
            [](EditedWindow& w) {
                EXPECT_TRUE(w.boxAt<MyTextView>(0)->isCircular());
                w.checkFrameShown();
            } },
        { "font size stepped up", plainText(),
            [](EditedWindow& w) { pressStepper(*w.o.fontSizeStepper, true); },
            [](EditedWindow& w) { w.checkFrameShown(); } },
        { "curve typed", plainText(),
            [](EditedWindow& w) { typeIntoField(*w.o.curveTextField, QStringLiteral("40")); },
            [](EditedWindow& w) {
                EXPECT_EQ(w.box().getCurveSize(), 40);
                w.checkFrameShown();
            } },
        { "typing that grows the box", plainText(),
            [](EditedWindow& w) {
                w.boxes().AnimateBox(w.box(), true);
                QApplication::processEvents();
                w.canvas()->host()->setFocus(Qt::MouseFocusReason);
                const double before = w.box().frame().height();
                key(*w.canvas()->host(), Qt::Key_End);
                for (int line = 0; line < 3; ++line)
                    key(*w.canvas()->host(), Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
                endEvent();
                ASSERT_GT(w.box().frame().height(), before) << "three more lines";
            },
            [](EditedWindow& w) { w.checkFrameShown(); } },
        { "corner handle dragged", roundedRectangle(),
            [](EditedWindow& w) {
                const platform::Rect f = w.box().frame();
                // The top-right handle (y-up), pulled right and up.
                w.dragOnCanvas(w.onCanvas(Point(f.maxX(), f.maxY())), 80, -30);
            },
            [](EditedWindow& w) {
                EXPECT_GT(w.box().frame().width(), 100);
                w.checkFrameShown();
                const auto radii = dynamic_cast<MyShapeView&>(w.box()).getRoundRectRadius();
                EXPECT_EQ(cornerField(w.o, 0)->text(), QStringLiteral("%1 px").arg(radii[3]));
            } },
        { "box dragged", roundedRectangle(),
            [](EditedWindow& w) {
                w.dragOnCanvas(w.onCanvas(w.box().frame().center()), 40, 25);
            },
            [](EditedWindow& w) {
                EXPECT_NE(w.box().frame().x(), 40);
                w.checkFrameShown();
            } },
        { "arrow keys", roundedRectangle(),
            [](EditedWindow& w) {
                w.canvas()->host()->setFocus(Qt::MouseFocusReason);
                key(*w.canvas()->host(), Qt::Key_Right, Qt::ShiftModifier);
                key(*w.canvas()->host(), Qt::Key_Up);
                endEvent();
            },
            [](EditedWindow& w) {
                EXPECT_EQ(w.box().frame().x(), 50);
                w.checkFrameShown();
            } },
        { "undo of a typed width", roundedRectangle(),
            [](EditedWindow& w) {
                typeWidth400(w);
                w.keys(QKeySequence::Undo);
            },
            [](EditedWindow& w) {
                EXPECT_EQ(w.box().frame().width(), 100);
                EXPECT_EQ(cornerField(w.o, 0)->text(), QStringLiteral("20 px"));
            } },
        { "redo of a typed width", roundedRectangle(),
            [](EditedWindow& w) {
                typeWidth400(w);
                w.keys(QKeySequence::Undo);
                w.keys(QKeySequence::Redo);
            },
            [](EditedWindow& w) {
                EXPECT_EQ(w.box().frame().width(), 400);
                EXPECT_EQ(cornerField(w.o, 0)->text(), QStringLiteral("80 px"));
            } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EditedWindow w;
        w.build({ row.box });
        QApplication::processEvents();
        row.edit(w);
        QApplication::processEvents();
        const InspectorFields shown = inspectorFields(w.win);
        EXPECT_EQ(shown.values.at(QStringLiteral("container")), QStringLiteral("boxes"));
        EXPECT_GT(shown.values.size(), 20u) << "the panels' fields were read";
        row.check(w);
        w.win.textViewSelected(w.boxes().textViewAry);
        const InspectorFields fresh = inspectorFields(w.win);
        EXPECT_TRUE(shown == fresh) << differences(shown, fresh);
    }
}

// A slider pressed with the arrow keys keeps its place between presses: shown again from the
// boxes' whole value it would start each press from the same place.
TEST(InspectorFollowsEdits, ArrowKeysOnASliderKeepStepping)
{
    EditedWindow w;
    w.build({ { Kind::Shape, shape::Rectangle } });
    ImageEffectIntensitySlider& slider = *w.o.shadowBlurSlider;
    slider.setFocus();
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(&slider, Qt::Key_Right);
        endEvent();
    }
    EXPECT_GE(w.box().shadowBlurSize(), 28);
}
