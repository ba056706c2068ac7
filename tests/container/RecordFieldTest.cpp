// Every field of the box record, one row each: changed on a box of a kind that holds it, the
// layer's snapshot differs, the box keeps the value, undo brings the old value back, the archive
// carries it, and the box's picture counts as changed exactly when the field is drawn. A field
// that one of the record's lists (the table, the box's getUndoData or setUndoData) forgets
// fails its row; a field without a row fails the coverage test.
#include "LayerRecords.h"
#include "boxes/RecordFields.h"
#include "container/UndoStep.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/TextAttributeNames.h"
#include "support/NamedCase.h"

#include <functional>
#include <set>

using namespace layertest;
using platform::Color;
using platform::Point;
using platform::Rect;

struct FieldCase {
    const char* name; // the field's archive key
    Kind kind; // the box it is changed on
    // Changes the field in a record; holds answers whether a record has the changed value.
    std::function<void(UNDODATA&)> change;
    std::function<bool(const UNDODATA&)> holds;
    bool drawn; // whether the box's picture changes with it
    int shapeType = shape::Rectangle;
    // What the box needs before the change can show (applied without a step).
    std::function<void(UNDODATA&)> prepare = nullptr;
};

namespace {

// A row that sets a member to a value (values chosen that floats hold exactly).
template <class T>
FieldCase row(const char* name, Kind kind, T UNDODATA::*member, T value, bool drawn,
    int shapeType = shape::Rectangle)
{
    return { name, kind, [member, value](UNDODATA& r) { r.*member = value; },
        [member, value](const UNDODATA& r) { return r.*member == value; }, drawn, shapeType };
}

SZGradient solidFill(const Color& c)
{
    SZGradient g;
    g.gradientType = SZGradient::ColorFill;
    g.color = c;
    return g;
}

const std::optional<SZGradient> kRedFill = solidFill(Color(1, 0, 0, 1));
const std::optional<Color> kBlue = Color(0, 0, 1, 0.5);

platform::AttributedString text(const QString& characters)
{
    return platform::AttributedString(
        characters, { { platform::TextAttributeNames::kern, platform::AttributeValue(1.5) } });
}

ContainerSnapshot archivedAndRead(const ContainerSnapshot& snapshot)
{
    const QByteArray bytes = platform::KeyedArchiver::archivedData(snapshot.toArchiveValue(), true);
    EXPECT_FALSE(bytes.isEmpty());
    const auto read = platform::KeyedUnarchiver::unarchive(bytes, UNDODATA::allowedClasses());
    EXPECT_TRUE(read.ok()) << read.error.toStdString();
    return ContainerSnapshot::fromArchiveValue(read.root);
}

// A picture read back from an archive is a new picture: records compare by identity, so the
// read record takes the original's picture when the pixels agree.
ContainerSnapshot withPicturesOf(const ContainerSnapshot& read, const ContainerSnapshot& original)
{
    std::vector<UNDODATA> records = read.records();
    for (std::size_t i = 0; i < records.size() && i < original.size(); ++i) {
        const platform::Image& was = original.records()[i].orgImage;
        if (records[i].orgImage.toQImage() == was.toQImage())
            records[i].orgImage = was;
    }
    return ContainerSnapshot(std::move(records));
}

const std::vector<FieldCase> kFieldCases = {
    { "rtf", Kind::Text, [](UNDODATA& r) { r.rtf = text(QStringLiteral("Quill")); },
        [](const UNDODATA& r) { return r.rtf && r.rtf->string() == QStringLiteral("Quill"); },
        true },
    { "selectionRange", Kind::Text,
        [](UNDODATA& r) {
            r.selectionRange = { 1, 2 };
        },
        [](const UNDODATA& r) {
            return r.selectionRange == UNDODATA::SelectionRange { 1, 2 };
        },
        false, shape::Rectangle, [](UNDODATA& r) { r.rtf = text(QStringLiteral("Quill")); } },
    { "typingAttributes", Kind::Text,
        [](UNDODATA& r) {
            r.typingAttributes = platform::AttributeDictionary {
                { platform::TextAttributeNames::kern, platform::AttributeValue(3.0) }
            };
        },
        [](const UNDODATA& r) {
            return r.typingAttributes
                && r.typingAttributes->count(platform::TextAttributeNames::kern)
                && r.typingAttributes->at(platform::TextAttributeNames::kern)
                == platform::AttributeValue(3.0);
        },
        false },
    // An editable text is always selectable.
    { "selectable", Kind::Text, [](UNDODATA& r) { r.selectable = false; },
        [](const UNDODATA& r) { return !r.selectable; }, false, shape::Rectangle,
        [](UNDODATA& r) { r.editable = false; } },
    row("editable", Kind::Text, &UNDODATA::editable, false, false),
    row("fixedWidth", Kind::Text, &UNDODATA::fixedWidth, 150.0, true),
    { "orgImage", Kind::Image, [](UNDODATA& r) { r.orgImage = solidPicture(12, 7); },
        [](const UNDODATA& r) { return r.orgImage.pixelSize() == QSize(12, 7); }, true },
    row("saturation", Kind::Image, &UNDODATA::saturation, 0.25, true),
    { "points", Kind::Shape, [](UNDODATA& r) { r.points.at(1) = Point(0.75, 0.25); },
        [](const UNDODATA& r) { return r.points.size() > 1 && r.points[1] == Point(0.75, 0.25); },
        true, shape::Line },
    { "controlVals", Kind::Shape,
        [](UNDODATA& r) { r.controlVals.at(0) = ControlValue(qint64(4)); },
        [](const UNDODATA& r) {
            return !r.controlVals.empty() && r.controlVals[0] == ControlValue(qint64(4));
        },
        true, shape::Star },
    row("shapeType", Kind::Shape, &UNDODATA::shapeType, int(shape::Ellipse), true),
    row("startType", Kind::Shape, &UNDODATA::startType, int(shape::ArrowHead), true, shape::Line),
    row("endType", Kind::Shape, &UNDODATA::endType, int(shape::ArrowHead), true, shape::Line),
    row("isDrawing", Kind::Shape, &UNDODATA::isDrawing, true, false, shape::Line),
    row("overlayColor", Kind::Shape, &UNDODATA::overlayColor, kRedFill, true),
    row("isEditing", Kind::Shape, &UNDODATA::isEditing, true, false),
    row("rotationAngle", Kind::Image, &UNDODATA::rotationAngle, 30.0, true),
    row("selected", Kind::Image, &UNDODATA::selected, false, false),
    row("textBoxBackgroundColor", Kind::Text, &UNDODATA::backColor, kRedFill, true),
    row("borderColor", Kind::Image, &UNDODATA::borderColor, kRedFill, true),
    row("borderSize", Kind::Image, &UNDODATA::borderSize, 4, true),
    row("shadowColor", Kind::Text, &UNDODATA::shadowColor, kBlue, true),
    row("shadowAngle", Kind::Text, &UNDODATA::shadowAngle, 30, true),
    row("shadowBlurSize", Kind::Text, &UNDODATA::shadowBlurSize, 5, true),
    row("shadowOffsetSize", Kind::Text, &UNDODATA::shadowOffsetSize, 6, true),
    row("innershadowColor", Kind::Shape, &UNDODATA::innerShadowColor, kBlue, true),
    row("innershadowAngle", Kind::Shape, &UNDODATA::innerShadowAngle, 30, true),
    row("innershadowBlurSize", Kind::Shape, &UNDODATA::innerShadowBlurSize, 5, true),
    row("innershadowOffsetSize", Kind::Shape, &UNDODATA::innerShadowOffsetSize, 6, true),
    row("boxshadowColor", Kind::Text, &UNDODATA::boxShadowColor, kBlue, true),
    row("boxshadowAngle", Kind::Text, &UNDODATA::boxShadowAngle, 30, true),
    row("boxshadowBlurSize", Kind::Text, &UNDODATA::boxShadowBlurSize, 5, true),
    row("boxshadowOffsetSize", Kind::Text, &UNDODATA::boxShadowOffsetSize, 6, true),
    row("horzPerspective", Kind::Image, &UNDODATA::horzPerspective, 0.25, true),
    row("vertPerspective", Kind::Image, &UNDODATA::vertPerspective, 0.25, true),
    row("curves", Kind::Text, &UNDODATA::curves,
        std::vector<Point> { Point(0, 0), Point(0.5, 0.25), Point(1, 0) }, true),
    row("frame", Kind::Image, &UNDODATA::frame, Rect(30, 40, 120, 60), true),
    row("layerOpacity", Kind::Shape, &UNDODATA::layerOpacity, 0.5, true),
    row("orgWidth", Kind::Image, &UNDODATA::orgWidth, 64.0, false),
    row("orgHeight", Kind::Image, &UNDODATA::orgHeight, 48.0, false),
    row("isCircular", Kind::Text, &UNDODATA::isCircular, true, true),
    row("isVertical", Kind::Text, &UNDODATA::isVertical, true, true),
    row("strokeColor", Kind::Shape, &UNDODATA::strokeColor, kRedFill, true),
    row("strokeSize", Kind::Shape, &UNDODATA::strokeSize, 3, true),
};

int typeOf(Kind kind)
{
    switch (kind) {
    case Kind::Text:
        return UNDODATA::TextBox;
    case Kind::Image:
        return UNDODATA::ImageBox;
    case Kind::Shape:
        return UNDODATA::ShapeBox;
    }
    return -1;
}

class RecordFields : public testing::TestWithParam<FieldCase> { };

TEST_P(RecordFields, ChangedOnABoxDiffersUndoesAndRoundTrips)
{
    const FieldCase& c = GetParam();
    ContainerRig rig;
    // A box of another kind below, which must come through untouched.
    build(rig,
        { { Kind::Text, false, Rect(200, 200, 80, 40) },
            { c.kind, true, Rect(10, 20, 100, 50), c.shapeType } });
    TextViewContainer& container = *rig.container;
    MyViewBase* box = container.textViewAry.at(1);
    if (c.prepare) {
        UNDODATA r = box->getUndoData();
        c.prepare(r);
        box->setUndoData(r);
    }
    const ContainerSnapshot before = container.containerSnapshot();
    const UNDODATA old = box->getUndoData();
    ASSERT_FALSE(c.holds(old)) << "the row's value must differ from a new box's";

    bool heldByKind = false;
    record::forEachField([&](const auto& f) {
        if (f.key == QLatin1String(c.name))
            heldByKind = record::includes(f.holders, old.type);
    });
    EXPECT_TRUE(heldByKind) << "the box's kind does not hold the field";

    {
        UndoStep step(container);
        UNDODATA changed = old;
        c.change(changed);
        box->setUndoData(changed);
        step.commit();
    }
    rig.endEvent();
    const ContainerSnapshot after = container.containerSnapshot();
    EXPECT_TRUE(c.holds(after.records().at(1))) << "the box keeps the value (its record lists)";
    EXPECT_FALSE(after == before) << "the snapshot sees the change";
    EXPECT_EQ(after.records().at(1).isEqualTo(old), !c.drawn) << "the picture counts as changed";
    EXPECT_TRUE(after.records().at(0).isEqualTo(before.records().at(0)));

    const ContainerSnapshot read = archivedAndRead(after);
    ASSERT_EQ(read.size(), after.size());
    EXPECT_TRUE(c.holds(read.records().at(1))) << "the archive carries the value";
    EXPECT_TRUE(withPicturesOf(read, after) == after) << "the archive carries the whole layer";

    EXPECT_EQ(rig.undo.undoGroupCount(), 1);
    rig.undo.undo();
    const ContainerSnapshot undone = container.containerSnapshot();
    EXPECT_FALSE(c.holds(undone.records().at(1))) << "undo gives the old value back";
    EXPECT_TRUE(undone == before);
    rig.undo.redo();
    EXPECT_TRUE(c.holds(container.containerSnapshot().records().at(1))) << "after redo";
}

INSTANTIATE_TEST_SUITE_P(
    EveryField, RecordFields, testing::ValuesIn(kFieldCases), testsupport::RowName());

TEST(RecordFieldTable, EveryFieldHasARowAndEveryRowAField)
{
    std::set<QString> fields;
    record::forEachField([&](const auto& f) { fields.insert(f.key.toString()); });
    // The type is the box's class: no box changes it. The archive tests cover it.
    fields.erase(QStringLiteral("type"));
    std::set<QString> rows;
    for (const FieldCase& c : kFieldCases)
        EXPECT_TRUE(rows.insert(QString::fromLatin1(c.name)).second) << c.name << " twice";
    for (const QString& f : fields)
        EXPECT_TRUE(rows.count(f)) << "no row for the field " << f.toStdString();
    for (const QString& r : rows)
        EXPECT_TRUE(fields.count(r)) << "the table has no field " << r.toStdString();
}

// The change messages hold values to the table's bounds, which validate() also holds a restored
// record to: what a message stores, undo and redo give back unchanged.
TEST(RecordFieldTable, MessagesHoldValuesToTheFieldsBounds)
{
    static_assert(record::held<&UNDODATA::borderSize>(-3) == 0);
    static_assert(record::held<&UNDODATA::strokeSize>(1 << 30) == UNDODATA::kMaxLineSize);
    static_assert(record::held<&UNDODATA::boxShadowBlurSize>(-1) == 0);
    static_assert(
        record::held<&UNDODATA::shadowOffsetSize>(-(1 << 30)) == -int(UNDODATA::kMaxExtent));
    static_assert(record::held<&UNDODATA::layerOpacity>(1.5) == 1.0);
    ContainerRig rig;
    build(rig, { { Kind::Shape } });
    TextViewContainer& c = *rig.container;
    c.borderSizeChanged(1 << 30);
    c.innerShadowOffsetChanged(-(1 << 30));
    c.textboxOpacityChanged(-2.0);
    rig.endEvent();
    UNDODATA stored = c.containerSnapshot().records().at(0);
    const UNDODATA asStored = stored;
    EXPECT_TRUE(stored.validate()) << "a message stores only what a record may hold";
    EXPECT_TRUE(record::sameRecord(stored, asStored));
    EXPECT_EQ(asStored.borderSize, UNDODATA::kMaxLineSize);
    EXPECT_EQ(asStored.layerOpacity, 0.0);
}

// ---- one undo step per gesture

struct RunCase {
    const char* name;
    std::function<void(ContainerRig&)> act;
    int steps;
    // The border sizes that undoing step by step gives back, newest first.
    std::vector<int> undone;
};

class ChangeRuns : public testing::TestWithParam<RunCase> { };

TEST_P(ChangeRuns, FoldIntoOneStepUntilTheRunEnds)
{
    const RunCase& c = GetParam();
    ContainerRig rig;
    build(rig, { { Kind::Text }, { Kind::Shape } });
    c.act(rig);
    rig.endEvent();
    EXPECT_EQ(rig.undo.undoGroupCount(), c.steps);
    for (int size : c.undone) {
        rig.undo.undo();
        EXPECT_EQ(rig.container->textViewAry.at(0)->borderSize(), size);
    }
}

// Run keys: only their addresses count.
char kDragKey;
char kOtherKey;

// Each call is one input event of a drag.
void drag(ContainerRig& rig, std::initializer_list<int> sizes)
{
    for (int size : sizes) {
        rig.container->borderSizeChanged(size);
        rig.endEvent();
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, ChangeRuns,
    testing::Values(RunCase { "ThreeChangesOfOneRunAreOneStep",
                        [](ContainerRig& rig) {
                            rig.container->beginChangeRun(&kDragKey);
                            drag(rig, { 1, 2, 3 });
                            rig.container->endChangeRun();
                        },
                        1, { 0 } },
        RunCase { "AfterTheRunEndsTheNextChangeIsAStepOfItsOwn",
            [](ContainerRig& rig) {
                rig.container->beginChangeRun(&kDragKey);
                drag(rig, { 1, 2 });
                rig.container->endChangeRun();
                drag(rig, { 5 });
            },
            2, { 2, 0 } },
        RunCase { "ANewRunIsANewStep",
            [](ContainerRig& rig) {
                rig.container->beginChangeRun(&kDragKey);
                drag(rig, { 1, 2 });
                rig.container->beginChangeRun(&kOtherKey);
                drag(rig, { 7, 8 });
                rig.container->endChangeRun();
            },
            2, { 2, 0 } },
        RunCase { "WithoutARunEachChangeIsAStep",
            [](ContainerRig& rig) {
                drag(rig, { 1, 2, 3 });
            },
            3, { 2, 1, 0 } },
        RunCase { "AChangeOfNoBoxInsideARunNeitherStepsNorEndsIt",
            [](ContainerRig& rig) {
                rig.container->beginChangeRun(&kDragKey);
                drag(rig, { 1 });
                rig.container->startPointChanged(shape::ArrowHead); // no line selected
                rig.endEvent();
                drag(rig, { 2 });
                rig.container->endChangeRun();
            },
            1, { 0 } },
        RunCase { "AStepNotCommittedLeavesNoStepAndNoSnapshot",
            [](ContainerRig& rig) {
                {
                    UndoStep step(*rig.container);
                    EXPECT_TRUE(rig.container->undoData) << "made with its before-snapshot";
                }
                EXPECT_FALSE(rig.container->undoData);
            },
            0, {} },
        RunCase { "AStepNotCommittedAfterAChangeTakesNoStep",
            [](ContainerRig& rig) {
                {
                    UndoStep step(*rig.container);
                    rig.container->textViewAry.at(0)->setBorderSize(9);
                }
                EXPECT_FALSE(rig.container->undoData);
            },
            0, {} },
        RunCase { "AStepCommittedTwiceRegistersOnce",
            [](ContainerRig& rig) {
                UndoStep step(*rig.container);
                rig.container->textViewAry.at(0)->setBorderSize(9);
                step.commit();
                step.commit();
                EXPECT_TRUE(step.committed());
            },
            1, { 0 } }),
    testsupport::RowName());

} // namespace
