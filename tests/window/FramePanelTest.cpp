// The frame and corner panels: whole-pixel frame values with the aspect lock, corner radii
// with the corner lock, the lock buttons' pictures, each control driven as a person does.
#include "ClickInWindow.h"
#include "ControlPress.h"
#include "InspectorRig.h"
#include "platform/ui/NamedImage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace windowtest;
using platform::Rect;

namespace {

template <class T> T* byTag(QWidget* panel, int tag)
{
    for (QObject* child : panel->children()) {
        auto* w = dynamic_cast<T*>(child);
        if (w && child->property("tag").isValid() && child->property("tag").toInt() == tag)
            return w;
    }
    return nullptr;
}

QLineEdit* field(QWidget* panel, int tag)
{
    return byTag<QLineEdit>(panel, tag);
}

platform::Stepper* stepper(QWidget* panel, int tag)
{
    return byTag<platform::Stepper>(panel, 100 + tag);
}

BoxSpec framed(Kind kind, Rect frame, int shapeType = shape::Rectangle)
{
    return { kind, shapeType, true, [=](UNDODATA& r) { r.frame = frame; } };
}

QStringList fieldTexts(QWidget* panel)
{
    QStringList t;
    for (int tag = 0; tag < 4; ++tag)
        t << field(panel, tag)->text();
    return t;
}

} // namespace

// Every field and stepper of both panels changes the selected box as one undo step.
TEST(FramePanel, EveryControlIsOneUndoableStep)
{
    struct Row {
        const char* name;
        bool corners;
        int tag;
        bool stepperUp; // pressed; else the field is typed
        const char* typed;
        std::function<void(InspectorWindow&)> check;
    };
    const auto frameIs = [](Rect expected) {
        return [=](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).frame(), expected); };
    };
    const auto radiiAre = [](std::array<int, 4> r) {
        return [=](InspectorWindow& w) {
            EXPECT_EQ(dynamic_cast<MyShapeView&>(boxAt(w, 0)).getRoundRectRadius(), r);
        };
    };
    const Row rows[] = {
        { "width stepper", false, 0, true, "", frameIs(Rect(10, 20, 201, 100.5)) },
        { "height stepper", false, 1, true, "", frameIs(Rect(10, 20, 202, 101)) },
        { "left stepper", false, 2, true, "", frameIs(Rect(11, 20, 200, 100)) },
        { "top stepper", false, 3, true, "", frameIs(Rect(10, 21, 200, 100)) },
        { "width typed", false, 0, false, "300 px", frameIs(Rect(10, 20, 300, 150)) },
        { "height typed", false, 1, false, "50", frameIs(Rect(10, 20, 100, 50)) },
        { "left typed", false, 2, false, "-70", frameIs(Rect(-70, 20, 200, 100)) },
        { "top typed", false, 3, false, "1234", frameIs(Rect(10, 1234, 200, 100)) },
        { "corner stepper", true, 0, true, "", radiiAre({ 21, 21, 21, 21 }) },
        { "corner typed", true, 2, false, "33", radiiAre({ 33, 33, 33, 33 }) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ framed(Kind::Shape, Rect(10, 20, 200, 100), shape::RoundedRectangle) });
        QWidget* panel = row.corners ? w.o.panelRoundRect : w.o.panelFrame;
        if (row.corners)
            typeInto(*field(panel, 0), QStringLiteral("20"));
        expectOneUndoableStep(w, [&] {
            if (row.stepperUp)
                pressStepper(*stepper(panel, row.tag), true);
            else
                typeInto(*field(panel, row.tag), QString::fromUtf8(row.typed));
            row.check(w);
        });
    }
}

// The edge cases of the frame: a side of 0 is sent as 1, a position of 0 as 0, the lock's
// other side is rounded half up, and what the fields show is what the box has.
TEST(FramePanel, FrameEdgeCases)
{
    struct Row {
        const char* name;
        int tag;
        const char* typed;
        bool lock;
        Rect expected;
        const char* width;
        const char* height;
    };
    const Row rows[] = {
        { "width 0 is 1", 0, "0", false, Rect(10, 20, 1, 51), "1 px", "51 px" },
        { "height 0 is 1", 1, "0 px", false, Rect(10, 20, 100, 1), "100 px", "1 px" },
        { "width 0 with the lock keeps both sides at 1", 0, "0", true, Rect(10, 20, 1, 1), "1 px",
            "1 px" },
        { "left 0 is 0", 2, "0", true, Rect(0, 20, 100, 51), "100 px", "51 px" },
        { "the lock rounds half up", 0, "150", true, Rect(10, 20, 150, 76.5), "150 px", "77 px" },
        { "the lock's width from a height", 1, "102", true, Rect(10, 20, 200, 102), "200 px",
            "102 px" },
        { "negative width", 0, "-5", false, Rect(10, 20, 1, 51), "1 px", "51 px" },
        { "a huge width is held", 0, "2147483648", false, Rect(10, 20, UNDODATA::kMaxExtent, 51),
            "1000000 px", "51 px" },
        { "-0", 2, "-0", false, Rect(0, 20, 100, 51), "100 px", "51 px" },
        { "1e400 reads 1", 1, "1e400", false, Rect(10, 20, 100, 1), "100 px", "1 px" },
        { "a comma decimal reads its whole part", 0, "12,5", false, Rect(10, 20, 12, 51), "12 px",
            "51 px" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        w.build({ framed(Kind::Text, Rect(10, 20, 100, 51)) });
        w.o.btnFrameLock->setChecked(row.lock);
        expectOneUndoableStep(w, [&] {
            typeInto(*field(w.o.panelFrame, row.tag), QString::fromUtf8(row.typed));
            EXPECT_NEAR(boxAt(w, 0).frame().x(), row.expected.x(), 1e-9);
            EXPECT_NEAR(boxAt(w, 0).frame().y(), row.expected.y(), 1e-9);
            EXPECT_NEAR(boxAt(w, 0).frame().width(), row.expected.width(), 1e-9);
            EXPECT_NEAR(boxAt(w, 0).frame().height(), row.expected.height(), 1e-9);
            EXPECT_EQ(w.o.frameWidthTextField->text(), QLatin1String(row.width));
            EXPECT_EQ(w.o.frameHeightTextField->text(), QLatin1String(row.height));
            EXPECT_EQ(stepper(w.o.panelFrame, 1)->intValue(),
                QString::fromLatin1(row.height).chopped(3).toInt());
        });
    }
    // Text without a number changes nothing and shows the box's value again.
    for (const char* typed : { "", "abc", "nan", " px" }) {
        SCOPED_TRACE(typed);
        InspectorWindow w;
        w.build({ framed(Kind::Text, Rect(10, 20, 100, 51)) });
        expectNoChange(w, [&] { typeInto(*w.o.frameWidthTextField, QString::fromUtf8(typed)); });
        EXPECT_EQ(w.o.frameWidthTextField->text(), QStringLiteral("100 px"));
    }
}

// With several boxes the container refuses a frame edit; the fields show the boxes' values,
// never "0 px".
TEST(FramePanel, SeveralBoxesShowTheirValuesAfterARefusedEdit)
{
    InspectorWindow w;
    w.build(
        { framed(Kind::Text, Rect(10, 20, 100, 50)), framed(Kind::Text, Rect(30, 40, 120, 60)) });
    w.o.btnFrameLock->setChecked(true);
    expectNoChange(w, [&] { typeInto(*w.o.frameWidthTextField, QStringLiteral("300")); });
    EXPECT_EQ(w.o.frameWidthTextField->text(), QStringLiteral("120 px"));
    EXPECT_EQ(w.o.frameHeightTextField->text(), QStringLiteral("60 px"));
}

TEST(FramePanel, CornerEdgeCases)
{
    // The corner lock fills all four fields with the typed radius.
    {
        InspectorWindow w;
        w.build({ framed(Kind::Shape, Rect(0, 0, 200, 100), shape::RoundedRectangle) });
        w.o.btnRoundRectLock->setChecked(true);
        typeInto(*field(w.o.panelRoundRect, 1), QStringLiteral("12"));
        EXPECT_EQ(
            fieldTexts(w.o.panelRoundRect), QStringList({ "12 px", "12 px", "12 px", "12 px" }));
        // Without the lock only the field's corner: tag 0 is corner 3.
        w.o.btnRoundRectLock->setChecked(false);
        typeInto(*field(w.o.panelRoundRect, 0), QStringLiteral("30"));
        EXPECT_EQ(
            fieldTexts(w.o.panelRoundRect), QStringList({ "30 px", "12 px", "12 px", "12 px" }));
        EXPECT_EQ(dynamic_cast<MyShapeView&>(boxAt(w, 0)).getRoundRectRadius(),
            (std::array<int, 4> { 12, 12, 12, 30 }));
        // A radius is held within the shape (half of each side) and never below 0.
        typeInto(*field(w.o.panelRoundRect, 2), QStringLiteral("5000"));
        EXPECT_EQ(field(w.o.panelRoundRect, 2)->text(), QStringLiteral("100 px"));
        typeInto(*field(w.o.panelRoundRect, 2), QStringLiteral("-40"));
        EXPECT_EQ(field(w.o.panelRoundRect, 2)->text(), QStringLiteral("0 px"));
        // A value outside the old default range of 0..59 shows as it is.
        typeInto(*field(w.o.panelRoundRect, 3), QStringLiteral("70"));
        EXPECT_EQ(field(w.o.panelRoundRect, 3)->text(), QStringLiteral("70 px"));
    }
    // A corner radius on a selection with no rounded shape: refused, and the fields show the
    // boxes' values (none: 0), not the typed radius.
    {
        InspectorWindow w;
        w.build({ framed(Kind::Shape, Rect(0, 0, 200, 100), shape::Rectangle) });
        w.o.btnRoundRectLock->setChecked(true);
        expectNoChange(w, [&] { typeInto(*field(w.o.panelRoundRect, 1), QStringLiteral("12")); });
        EXPECT_EQ(fieldTexts(w.o.panelRoundRect), QStringList({ "0 px", "0 px", "0 px", "0 px" }));
    }
    // Two rounded shapes: the container refuses; the fields show the last one's radii.
    {
        InspectorWindow w;
        w.build({ framed(Kind::Shape, Rect(0, 0, 200, 100), shape::RoundedRectangle),
            framed(Kind::Shape, Rect(0, 0, 100, 100), shape::RoundedRectangle) });
        w.o.btnRoundRectLock->setChecked(true);
        expectNoChange(w, [&] { typeInto(*field(w.o.panelRoundRect, 1), QStringLiteral("12")); });
        EXPECT_EQ(
            fieldTexts(w.o.panelRoundRect), QStringList({ "20 px", "20 px", "20 px", "20 px" }));
    }
}

// The frame's values beyond the old default stepper range of 0..59.
TEST(FramePanel, StepperRangesHoldTheRecordsValues)
{
    InspectorWindow w;
    w.build({ framed(Kind::Image, Rect(-20, 4000, 300, 2000)) });
    EXPECT_EQ(
        fieldTexts(w.o.panelFrame), QStringList({ "300 px", "2000 px", "-20 px", "4000 px" }));
    EXPECT_EQ(stepper(w.o.panelFrame, 0)->minValue(), 1);
    EXPECT_EQ(stepper(w.o.panelFrame, 0)->maxValue(), int(UNDODATA::kMaxExtent));
    EXPECT_EQ(stepper(w.o.panelFrame, 2)->minValue(), -int(UNDODATA::kMaxExtent));
    pressStepper(*stepper(w.o.panelFrame, 2), false);
    EXPECT_EQ(boxAt(w, 0).frame().x(), -21);
}

// The lock buttons show their state in their picture and change no box.
TEST(FramePanel, LockButtonsShowTheirPicture)
{
    InspectorWindow w(true);
    w.build({ framed(Kind::Shape, Rect(0, 0, 200, 100), shape::RoundedRectangle) });
    for (QPushButton* lock : { w.o.btnFrameLock, w.o.btnRoundRectLock }) {
        const QPointF centre(lock->width() / 2.0, lock->height() / 2.0);
        EXPECT_TRUE(lock->isChecked());
        EXPECT_EQ(lock->property("imageName").toString(), QStringLiteral("lockbutton1"));
        expectNoChange(w, [&] { clickInWindow(*lock, centre); });
        EXPECT_FALSE(lock->isChecked());
        EXPECT_EQ(lock->property("imageName").toString(), QStringLiteral("lockbutton"));
        EXPECT_FALSE(lock->icon().isNull());
        clickInWindow(*lock, centre);
        EXPECT_EQ(lock->property("imageName").toString(), QStringLiteral("lockbutton1"));
    }
    for (const char* name : { "lockbutton", "lockbutton1" })
        EXPECT_FALSE(platform::namedImage(QLatin1String(name), platform::Size(14, 14)).isNull());
    // A refresh turns both locks on again.
    w.o.btnFrameLock->click();
    w.win.textViewSelected(w.boxes().textViewAry);
    EXPECT_TRUE(w.o.btnFrameLock->isChecked());
    EXPECT_EQ(w.o.btnFrameLock->property("imageName").toString(), QStringLiteral("lockbutton1"));
}

// A person opens a lock with a press and then changes one side, or one corner, alone; the
// lock stays open for the next edit of the same selection.
TEST(FramePanel, AnOpenedLockChangesOneSideOrOneCorner)
{
    struct Row {
        const char* name;
        bool corners;
        int tag;
        const char* typed;
        std::function<void(InspectorWindow&)> check;
    };
    const auto frameIs = [](Rect expected) {
        return [=](InspectorWindow& w) { EXPECT_EQ(boxAt(w, 0).frame(), expected); };
    };
    const auto radiiAre = [](std::array<int, 4> r) {
        return [=](InspectorWindow& w) {
            EXPECT_EQ(dynamic_cast<MyShapeView&>(boxAt(w, 0)).getRoundRectRadius(), r);
        };
    };
    const Row rows[] = {
        { "width alone", false, 0, "150", frameIs(Rect(10, 20, 150, 100)) },
        { "height alone", false, 1, "40", frameIs(Rect(10, 20, 200, 40)) },
        { "one corner (tag 0 is corner 3)", true, 0, "30", radiiAre({ 20, 20, 20, 30 }) },
        { "another corner (tag 2 is corner 0)", true, 2, "5", radiiAre({ 5, 20, 20, 20 }) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w(true);
        w.build({ framed(Kind::Shape, Rect(10, 20, 200, 100), shape::RoundedRectangle) });
        QWidget* panel = row.corners ? w.o.panelRoundRect : w.o.panelFrame;
        QPushButton& lock = row.corners ? *w.o.btnRoundRectLock : *w.o.btnFrameLock;
        if (row.corners)
            typeInto(*field(panel, 0), QStringLiteral("20"));
        clickInWindow(lock, QPointF(lock.width() / 2.0, lock.height() / 2.0));
        ASSERT_FALSE(lock.isChecked());
        expectOneUndoableStep(w, [&] {
            typeInto(*field(panel, row.tag), QString::fromUtf8(row.typed));
            row.check(w);
            EXPECT_FALSE(lock.isChecked()) << "an edit keeps the lock open";
        });
    }
}

// The frame fields are labelled W, H, X and Y, each left of its field.
TEST(FramePanel, FieldsAreLabelled)
{
    InspectorWindow w;
    w.build({ { Kind::Text } });
    const QLineEdit* fields[] = { w.o.frameWidthTextField, w.o.frameHeightTextField,
        w.o.frameLeftTextField, w.o.frameTopTextField };
    const char* labels[] = { "W", "H", "X", "Y" };
    for (int i = 0; i < 4; ++i) {
        const QLabel* found = nullptr;
        for (const QLabel* l : w.o.panelFrame->findChildren<QLabel*>())
            if (l->text() == QLatin1String(labels[i]))
                found = l;
        ASSERT_NE(found, nullptr) << labels[i];
        EXPECT_EQ(found->geometry().center().y(), fields[i]->geometry().center().y());
        EXPECT_LE(found->geometry().right(), fields[i]->geometry().left());
    }
}
