// The box inspector: the panels the selected kinds use, the values the panels show, the font
// panel's summary of the selected text and its actions on it.
#include "InspectorRig.h"
#include "foundation/SZGradient.h"
#include "platform/ui/ColorPanel.h"
#include "platform/ui/Event.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/View.h"
#include "support/PixelProbe.h"
#include "support/SyntheticMouse.h"
#include "window/ColoredButton.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SidebarContainerView.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace windowtest;

namespace {

// The panels' names in stacking order, for readable rows.
const char* const kPanelNames[14] = { "ImageButton", "Font", "OverlayColor", "BackgroundColor",
    "Border", "Stroke", "DropShadow", "InnerShadow", "Directions", "Common", "OtherProperties",
    "LabelProperties", "Frame", "RoundRect" };

QString hiddenPanels(const DocumentWindowOutlets& o)
{
    QStringList hidden;
    const auto panels = o.panels();
    for (std::size_t i = 0; i < panels.size(); ++i)
        if (panels[i]->isHidden())
            hidden << QLatin1String(kPanelNames[i]);
    return hidden.join(QLatin1Char(' '));
}

} // namespace

TEST(Inspector, PanelsFollowTheSelectedKinds)
{
    const BoxSpec text { Kind::Text };
    const BoxSpec picture { Kind::Image };
    const BoxSpec rect { Kind::Shape, shape::Rectangle };
    const BoxSpec round { Kind::Shape, shape::RoundedRectangle };
    const BoxSpec line { Kind::Shape, shape::Line };
    struct Row {
        const char* name;
        std::vector<BoxSpec> boxes;
        const char* hidden;
        int strokeHeight, commonHeight;
        bool heads, innerShadowSwitch, instantAlpha;
    };
    // The label panel holds nothing for any kind, so it never shows (shapes and pictures
    // showed it empty).
    constexpr int kShort = DocumentWindow::kStrokePanelShort;
    constexpr int kTall = DocumentWindow::kStrokePanelTall;
    const Row rows[] = {
        { "one picture", { picture }, "Font Stroke OtherProperties LabelProperties RoundRect",
            kShort, 216, false, false, true },
        { "two pictures", { picture, picture },
            "Font Stroke OtherProperties LabelProperties Frame RoundRect", kShort, 216, false,
            false, false },
        { "one text", { text }, "ImageButton OverlayColor LabelProperties RoundRect", kShort, 150,
            false, true, false },
        { "one rounded rectangle", { round }, "ImageButton Font OtherProperties LabelProperties",
            kShort, 150, false, false, false },
        { "two rounded rectangles", { round, round },
            "ImageButton Font OtherProperties LabelProperties Frame RoundRect", kShort, 150, false,
            false, false },
        { "a rectangle", { rect }, "ImageButton Font OtherProperties LabelProperties RoundRect",
            kShort, 150, false, false, false },
        { "a line keeps its heads", { line },
            "ImageButton Font OverlayColor BackgroundColor OtherProperties LabelProperties "
            "RoundRect",
            kTall, 150, true, false, false },
        { "text and line: the union of hidings", { text, line },
            "ImageButton Font OverlayColor BackgroundColor OtherProperties LabelProperties "
            "Frame RoundRect",
            kShort, 150, false, true, false },
    };
    InspectorWindow w;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.build(row.boxes);
        EXPECT_FALSE(w.o.textControlContainerView->isHidden());
        EXPECT_TRUE(w.o.mainControlContainerView->isHidden());
        EXPECT_EQ(hiddenPanels(w.o), QLatin1String(row.hidden));
        EXPECT_EQ(w.o.panelStroke->height(), row.strokeHeight);
        EXPECT_EQ(w.o.panelCommon->height(), row.commonHeight);
        EXPECT_EQ(!w.o.popupStartPoint->isHidden(), row.heads);
        EXPECT_EQ(!w.o.lblStrokePoints->isHidden(), row.heads);
        EXPECT_EQ(!w.o.segmentInnerShadow->isHidden(), row.innerShadowSwitch);
        if (!w.o.panelImageButton->isHidden()) {
            EXPECT_EQ(w.o.btInstantAlpha->isEnabled(), row.instantAlpha);
        }
        // Visible panels are stacked from the top without gaps, in list order.
        int y = 0;
        for (QWidget* panel : w.o.panels()) {
            if (panel->isHidden())
                continue;
            EXPECT_EQ(panel->y(), y);
            y += panel->height();
        }
        EXPECT_EQ(w.win.panelStackHeight(), y);
        EXPECT_EQ(w.o.seperatorStroke->y() + w.o.seperatorStroke->height() + 2,
            w.o.panelStroke->height());
    }
    w.build({ { Kind::Text, shape::Rectangle, false } });
    EXPECT_FALSE(w.o.mainControlContainerView->isHidden());
    EXPECT_TRUE(w.o.textControlContainerView->isHidden());
}

TEST(Inspector, SlidersShowThePictureOfTheSelection)
{
    InspectorWindow w;
    w.build({ { Kind::Image } });
    const platform::Image own = w.o.textboxOpacitySlider->image();
    EXPECT_FALSE(own.isNull());
    EXPECT_NE(own, w.win.originalThumbnail());
    EXPECT_EQ(w.o.textboxAngleSlider->image(), own);
    EXPECT_EQ(w.o.imageboxsaturationSlider->image(), own);
    EXPECT_TRUE(w.o.textboxOpacitySlider->usePreviewImage());

    w.build({ { Kind::Image }, { Kind::Image } });
    EXPECT_EQ(w.o.textboxOpacitySlider->image(), w.win.originalThumbnail());
    EXPECT_EQ(w.o.textboxAngleSlider->image(), w.win.originalThumbnail());

    w.build({ { Kind::Text } });
    EXPECT_FALSE(w.o.textboxOpacitySlider->usePreviewImage());
    EXPECT_FALSE(w.o.textboxAngleSlider->usePreviewImage());
    EXPECT_NE(w.o.textboxOpacitySlider->image(), w.win.originalThumbnail());
}

TEST(Inspector, ScrollsToTopOnlyWhenTheInspectorComesIntoView)
{
    InspectorWindow w;
    w.build({ { Kind::Text }, { Kind::Image } });
    // Room to scroll: a short sidebar.
    w.o.panelScrollView->resize(w.o.panelScrollView->width(), 200);
    w.win.ShowSideBar();
    w.o.panelScroller->setValue(120);
    w.win.ShowSideBar();
    EXPECT_EQ(w.o.panelScroller->value(), 120);
    w.boxes().removeAllSelection();
    w.win.ShowSideBar();
    w.o.panelScroller->setValue(120);
    w.boxes().selectAll();
    w.win.ShowSideBar();
    EXPECT_EQ(w.o.panelScroller->value(), 0);
}

namespace {

void shadow(UNDODATA& r, platform::Color c, int angle, int blur, int offset)
{
    r.shadowColor = c;
    r.shadowAngle = angle;
    r.shadowBlurSize = blur;
    r.shadowOffsetSize = offset;
}

BoxSpec withRecord(Kind kind, std::function<void(UNDODATA&)> edit, int shapeType = 3)
{
    return { kind, shapeType, true, std::move(edit) };
}

BoxSpec lineWithHeads(int start, int end, int borderSize = 0)
{
    return withRecord(
        Kind::Shape,
        [=](UNDODATA& r) {
            r.startType = start;
            r.endType = end;
            r.borderSize = borderSize;
        },
        shape::Line);
}

} // namespace

TEST(Inspector, ShadowFamiliesEachShowTheirOwnMixedState)
{
    const platform::Color red(1, 0, 0, 0.5);
    InspectorWindow w;
    // Equal colours held by two boxes are one colour, not a mixed one.
    w.build({ withRecord(Kind::Shape, [&](UNDODATA& r) { shadow(r, red, 45, 4, 6); }),
        withRecord(Kind::Text, [&](UNDODATA& r) { shadow(r, red, 45, 4, 6); }) });
    EXPECT_EQ(w.o.btShadowColor->coloringColor(), red);
    EXPECT_EQ(w.o.shadowAngleTextField->text(), QStringLiteral("45\u00BA"));
    EXPECT_EQ(w.o.shadowBlurTextField->text(), QStringLiteral("4 pt"));
    EXPECT_FALSE(w.o.minusShadow->isHidden());

    // Boxes that agree on the drop shadow and differ in the inner one: only the inner
    // family shows mixed.
    w.build({ withRecord(Kind::Shape,
                  [&](UNDODATA& r) {
                      shadow(r, red, 45, 4, 6);
                      r.innerShadowBlurSize = 3;
                      r.boxShadowBlurSize = 9;
                  }),
        withRecord(Kind::Shape, [&](UNDODATA& r) {
            shadow(r, red, 45, 4, 6);
            r.innerShadowBlurSize = 5;
            r.boxShadowBlurSize = 9;
        }) });
    EXPECT_EQ(w.o.shadowBlurTextField->text(), QStringLiteral("4 pt"));
    EXPECT_TRUE(w.o.shadowBlurSlider->showSlider());
    EXPECT_EQ(w.o.innerShadowBlurTextField->text(), QString());
    EXPECT_FALSE(w.o.innerShadowBlurSlider->showSlider());
    // The switch (shown for text boxes) shows the box shadows, which agree.
    const auto innerDiffers = [&](int inner) {
        return withRecord(Kind::Text, [&, inner](UNDODATA& r) {
            shadow(r, red, 45, 4, 6);
            r.innerShadowBlurSize = inner;
            r.boxShadowBlurSize = 9;
        });
    };
    w.build({ innerDiffers(3), innerDiffers(5) });
    EXPECT_EQ(w.o.innerShadowBlurTextField->text(), QString());
    platform::SegmentedControl& segments = *w.o.segmentInnerShadow;
    testsupport::click(segments, segments.convertToWidget(segments.frameForSegment(1).center()));
    EXPECT_EQ(w.o.innerShadowBlurTextField->text(), QStringLiteral("9 pt"));
    w.o.segmentInnerShadow->setSelectedSegment(0);

    // A new box's shadow is no shadow.
    w.build({ { Kind::Shape } });
    EXPECT_TRUE(w.o.minusShadow->isHidden());
    EXPECT_TRUE(w.o.minusInnerShadow->isHidden());
}

TEST(Inspector, CommonValuesOrMixedStates)
{
    InspectorWindow w;
    const auto line = [](int start, int end) { return lineWithHeads(start, end, 3); };
    w.build({ line(1, 2), line(3, 2) });
    EXPECT_EQ(w.o.popupStartPoint->currentIndex(), -1);
    EXPECT_EQ(w.o.popupEndPoint->currentIndex(), 2);
    EXPECT_EQ(w.o.borderSizeTextField->text(), QStringLiteral("3 pt"));
    // The frame panel shows the last selected box.
    EXPECT_EQ(w.o.frameLeftTextField->text(), QStringLiteral("15 px"));
    // After a drag the frame panel shows the first selected box's origin, and with originOnly
    // leaves the size fields alone.
    w.o.frameWidthTextField->setText(QStringLiteral("kept"));
    w.win.UpdateBoxFrameInfo(true);
    EXPECT_EQ(w.o.frameLeftTextField->text(), QStringLiteral("10 px"));
    EXPECT_EQ(w.o.frameTopTextField->text(), QStringLiteral("20 px"));
    EXPECT_EQ(w.o.frameWidthTextField->text(), QStringLiteral("kept"));
    w.win.UpdateBoxFrameInfo(false);
    EXPECT_EQ(w.o.frameWidthTextField->text(), QStringLiteral("100 px"));

    w.build({ withRecord(Kind::Text, [](UNDODATA& r) { r.rotationAngle = 90; }),
        withRecord(Kind::Text, [](UNDODATA& r) { r.rotationAngle = 30; }) });
    EXPECT_FALSE(w.o.textboxAngleSlider->showSlider());
    EXPECT_TRUE(w.o.textboxOpacitySlider->showSlider());
}

// Filling the controls from the selection never sends their actions: no box changes and no
// step is registered, whatever is selected.
TEST(Inspector, RefreshNeverFeedsBack)
{
    InspectorWindow w;
    w.build({ textOf({ { "Ab", "Helvetica", 12.5 }, { "cd", "DejaVu Sans", 30 } }), { Kind::Image },
        { Kind::Shape, shape::RoundedRectangle }, { Kind::Shape, shape::Line }, textOf({}),
        textOf({ { "Xy", "DejaVu Sans", 20 } }) });
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    const int steps = w.undo.undoGroupCount();
    for (int segment : { 0, 1 }) {
        w.o.segmentInnerShadow->setSelectedSegment(segment);
        w.win.textViewSelected(w.boxes().textViewAry);
        for (MyViewBase* box : w.boxes().textViewAry) {
            for (MyViewBase* other : w.boxes().textViewAry)
                other->setSelected(other == box);
            w.win.textViewSelected(w.boxes().textViewAry);
        }
    }
    w.undo.endGroup();
    w.boxes().selectAll();
    EXPECT_EQ(w.undo.undoGroupCount(), steps);
    EXPECT_TRUE(w.boxes().containerSnapshot() == before);
}

namespace {

namespace names = platform::TextAttributeNames;

const platform::Font* fontAt(MyTextView* box, int index)
{
    const auto& attrs = box->txtBox()->text().attributesAt(index);
    const auto it = attrs.find(names::font);
    return it == attrs.end() ? nullptr : it->second.font();
}

// Starts editing the text box with the range selected, as a click into it does.
void editWithSelection(InspectorWindow& w, MyTextView* box, platform::TextRange range)
{
    MyTextBox* text = box->txtBox();
    text->setIsEditing(true);
    ASSERT_EQ(text->delegate(), static_cast<DocumentWindowRef*>(&w.win));
    text->editor().setSelectedRange(range);
}

} // namespace

TEST(FontPanel, ShowsWhatTheSelectedTextHasInCommon)
{
    const platform::AttributeDictionary struck { { names::strikethroughStyle, 1 } };
    const platform::AttributeDictionary freshlyStruck {
        { QString::fromLatin1("NSStrike") + QLatin1String("through"), 1 }
    };
    std::vector<BoxSpec> mixedFaces(5, textOf({ { "ab", "Helvetica", 20 } }));
    mixedFaces[2] = textOf({ { "ab", "DejaVu Sans", 20 } });
    struct Row {
        const char* name;
        std::vector<BoxSpec> boxes;
        const char* size; // the size field's text
        bool faceShown; // the face list names a face
        bool bold, strike;
    };
    const Row rows[] = {
        { "boxes at 24 and 36 pt",
            { textOf({ { "ab", "Helvetica", 24 } }), textOf({ { "cd", "Helvetica", 36 } }) }, "",
            true, false, false },
        { "two runs of 12.5 pt are one size",
            { textOf({ { "ab", "Helvetica", 12.5 }, { "cd", "Helvetica", 12.5, struck } }) },
            "12.5 pt", true, false, false },
        { "two families leave the face list empty",
            { textOf({ { "ab", "Helvetica", 20 }, { "cd", "DejaVu Sans", 20 } }) }, "20 pt", false,
            false, false },
        { "bold and struck through everywhere",
            { textOf({ { "ab", "Helvetica-Bold", 20, struck } }),
                textOf({ { "cd", "Helvetica-Bold", 20, struck } }) },
            "20 pt", true, true, true },
        { "an empty box is skipped", { textOf({}), textOf({ { "ab", "Helvetica", 18 } }) }, "18 pt",
            true, false, false },
        { "keys spelled afresh, as a file gives them",
            { textOf({ { "ab", "Helvetica-Bold", 20, freshlyStruck } }),
                textOf({ { "cd", "Helvetica-Bold", 20, freshlyStruck } }) },
            "20 pt", true, true, true },
        { "a face differing in one box of many", mixedFaces, "20 pt", false, false, false },
    };
    InspectorWindow w;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.build(row.boxes);
        EXPECT_EQ(w.o.fontSizeTextField->text(), QLatin1String(row.size));
        EXPECT_EQ(w.o.popupFonts->currentIndex() >= 0, row.faceShown);
        EXPECT_EQ(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(0), row.bold);
        EXPECT_EQ(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(3), row.strike);
    }
}

TEST(FontPanel, EditSyncFollowsTheCaretAndShowsDefaultsForAnEmptyText)
{
    const platform::AttributeDictionary struck { { names::strikethroughStyle, 1 } };
    InspectorWindow w;
    w.build({ textOf({ { "ab", "Helvetica", 20 }, { "cd", "Helvetica-Bold", 30, struck } }) });
    MyTextView* box = w.boxAt<MyTextView>(0);
    // A caret at the end shows the last character, inside it the character after it.
    editWithSelection(w, box, { 4, 0 });
    EXPECT_EQ(w.o.fontSizeTextField->text(), QStringLiteral("30 pt"));
    EXPECT_TRUE(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(0));
    EXPECT_TRUE(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(3)) << "strikethrough follows";
    box->txtBox()->editor().setSelectedRange({ 1, 0 });
    EXPECT_EQ(w.o.fontSizeTextField->text(), QStringLiteral("20 pt"));
    EXPECT_FALSE(w.o.fontStyleSegmentedCtrl->isSelectedForSegment(3));
    box->txtBox()->editor().setSelectedRange({ 0, 4 });
    EXPECT_EQ(w.o.fontSizeTextField->text(), QString());
    // An emptied text shows the defaults.
    box->txtBox()->editor().editText([](platform::AttributedString& s) { s = {}; });
    box->txtBox()->editor().setSelectedRange({ 0, 0 });
    EXPECT_EQ(w.o.linespaceTextField->text(), QStringLiteral("(Auto)"));
    EXPECT_EQ(w.o.fontAlignmentSegmentedCtrl->selectedSegment(), 0);
    EXPECT_FALSE(w.o.fontSizeTextField->text().isEmpty());
}

TEST(FontPanel, StylesChangeEverySelectedBoxInOneStep)
{
    SZGradient red;
    red.gradientType = 0;
    const platform::AttributeDictionary filled { { names::gradient,
        SZGradient::attributeValue(red) } };
    InspectorWindow w;
    w.build({ textOf({ { "ab", "Helvetica", 20, filled }, { "cd", "DejaVu Sans", 30 } }),
        textOf({}), textOf({ { "ef", "Helvetica", 12 } }) });
    const ContainerSnapshot before = w.boxes().containerSnapshot();
    w.undo.endGroup();
    const int steps = w.undo.undoGroupCount();
    const auto fillOf = [&](int i) {
        return w.boxAt<MyTextView>(0)->txtBox()->text().attributesAt(i).at(names::gradient);
    };
    const platform::AttributeValue fill = fillOf(0);
    w.o.fontStyleSegmentedCtrl->setSelected(true, 0);
    w.panel<FontPanel>().segmentedCtrlFontAttributesChanged(0);
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    // Each run turns bold in its own family and size; the fill stays.
    EXPECT_TRUE(fontAt(w.boxAt<MyTextView>(0), 0)->isBold());
    EXPECT_EQ(fontAt(w.boxAt<MyTextView>(0), 3)->familyName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(fontAt(w.boxAt<MyTextView>(0), 3)->pointSize(), 30);
    EXPECT_TRUE(fontAt(w.boxAt<MyTextView>(0), 3)->isBold());
    EXPECT_TRUE(fontAt(w.boxAt<MyTextView>(2), 0)->isBold());
    EXPECT_TRUE(fillOf(0) == fill);
    EXPECT_TRUE(w.boxAt<MyTextView>(1)->txtBox()->text().isEmpty());
    w.undo.undo();
    EXPECT_TRUE(w.boxes().containerSnapshot() == before);
}

TEST(FontPanel, EditedRangeOnly)
{
    InspectorWindow w;
    w.build({ textOf({ { "abcd", "Helvetica", 20 } }) });
    MyTextView* box = w.boxAt<MyTextView>(0);
    w.undo.endGroup();
    const int steps = w.undo.undoGroupCount();
    // Bold with a caret changes nothing and registers no step.
    editWithSelection(w, box, { 4, 0 });
    w.o.fontStyleSegmentedCtrl->setSelected(true, 0);
    w.panel<FontPanel>().segmentedCtrlFontAttributesChanged(0);
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps);
    EXPECT_FALSE(fontAt(box, 3)->isBold());
    // A face chosen with the caret at the end changes only the last letter.
    const int dejavu = w.o.popupFonts->findText(QStringLiteral("DejaVuSans"));
    ASSERT_GE(dejavu, 0);
    w.o.popupFonts->setCurrentIndex(dejavu);
    w.panel<FontPanel>().fontNameSelected();
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    EXPECT_EQ(fontAt(box, 2)->familyName(), fontAt(box, 0)->familyName());
    EXPECT_EQ(fontAt(box, 3)->familyName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(fontAt(box, 3)->pointSize(), 20);
}

TEST(FontPanel, TypedSizesAreCheckedBeforeTheyApply)
{
    struct Row {
        const char* typed;
        double applied; // 0: refused
    };
    const Row rows[] = { { "36", 36 }, { "36 pt", 36 }, { "12,5", 12.5 }, { " 7.25 pt", 7.3 },
        { "abc", 0 }, { "-3", 0 }, { "0", 0 }, { "1e400", 0 }, { "nan", 0 }, { "1e9", 0 } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        InspectorWindow w;
        w.build({ textOf({ { "ab", "Helvetica", 20 } }) });
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        w.o.fontSizeTextField->setText(QLatin1String(row.typed));
        w.panel<FontPanel>().fontSizeValueDidChange();
        w.undo.endGroup();
        const double size = fontAt(w.boxAt<MyTextView>(0), 0)->pointSize();
        EXPECT_NEAR(size, row.applied ? row.applied : 20.0, 1e-9);
        EXPECT_EQ(w.undo.undoGroupCount(), steps + (row.applied ? 1 : 0));
        EXPECT_EQ(w.o.fontSizeTextField->text(),
            QStringLiteral("%1 pt").arg(row.applied ? row.applied : 20.0));
    }
}

namespace {

// Where a text box's ink lies, from its top edge down (the text hangs from the top): its
// lowest row and the mean x of its lower half.
struct Ink {
    int lowest = -1;
    double lowerHalfX = 0;
};

Ink inkOf(const QImage& img)
{
    Ink ink;
    double sum = 0;
    int count = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(img.pixel(x, y)) < 128)
                continue;
            ink.lowest = y;
            if (y >= img.height() / 2) {
                sum += x;
                ++count;
            }
        }
    }
    ink.lowerHalfX = count ? sum / count : 0;
    return ink;
}

} // namespace

TEST(FontPanel, StylesShowInTheRendering)
{
    enum Check { Differs, InkBelowBaseline, LastLineMovesRight };
    struct Row {
        const char* name;
        std::function<void(InspectorWindow&)> act;
        Check check;
    };
    const auto style = [](int segment) {
        return [segment](InspectorWindow& w) {
            w.o.fontStyleSegmentedCtrl->setSelected(true, segment);
            w.panel<FontPanel>().segmentedCtrlFontAttributesChanged(segment);
        };
    };
    const Row rows[] = {
        { "bold", style(0), Differs },
        { "italic", style(1), Differs },
        { "underline", style(2), InkBelowBaseline },
        { "strikethrough", style(3), Differs },
        { "right alignment",
            [](InspectorWindow& w) { w.panel<FontPanel>().segmentedCtrlAlignmentChanged(2); },
            LastLineMovesRight },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InspectorWindow w;
        // A box wide enough for both lines whatever their style.
        BoxSpec wide = textOf({ { "HAMBURG\nHI", "Helvetica", 40 } });
        wide.edit = [text = wide.edit](UNDODATA& r) {
            text(r);
            r.frame.size.width = 500;
            r.fixedWidth = 500;
        };
        w.build({ wide });
        w.panel<FontPanel>().segmentedCtrlAlignmentChanged(0);
        MyTextView* box = w.boxAt<MyTextView>(0);
        const auto render
            = [&] { return platform::renderToImage(*box, box->bounds(), 1.0).toQImage(); };
        const QImage before = render();
        row.act(w);
        const QImage after = render();
        const Ink a = inkOf(before), b = inkOf(after);
        switch (row.check) {
        case Differs:
            EXPECT_TRUE(
                before.size() != after.size() || testsupport::meanDifference(before, after) > 0.0);
            break;
        case InkBelowBaseline:
            EXPECT_GT(b.lowest, a.lowest);
            break;
        case LastLineMovesRight:
            EXPECT_GT(b.lowerHalfX, a.lowerHalfX + 20);
            break;
        }
    }
}

// Texts no user would type and selections no user would make: the panel shows a sane state,
// the actions refuse or change in one step, nothing crashes.
TEST(FontPanel, BadInputShowsASaneState)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<windowtest::Run> manyRuns;
    for (int i = 0; i < 2000; ++i)
        manyRuns.push_back({ "x", "Helvetica", 12.0 + i % 2 });
    std::vector<BoxSpec> boxes = { textOf({ { "ab", "NoSuchFace", 20 } }),
        textOf({ { "cd", "Helvetica", 0 } }), textOf({ { "ef", "Helvetica", nan } }),
        textOf({ { "gh", "Helvetica", 1e9 } }), textOf({}), textOf(manyRuns) };
    for (int i = 0; i < 10000; ++i)
        boxes.push_back({ Kind::Shape });
    InspectorWindow w;
    w.build(boxes);
    EXPECT_FALSE(w.o.textControlContainerView->isHidden());
    EXPECT_TRUE(w.o.panelFont->isHidden()) << "shapes and texts share no font panel";
    w.undo.endGroup();
    const int steps = w.undo.undoGroupCount();
    w.o.fontSizeTextField->setText(QStringLiteral("abc"));
    w.panel<FontPanel>().fontSizeValueDidChange();
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps);
    w.o.fontStyleSegmentedCtrl->setSelected(true, 2);
    w.panel<FontPanel>().segmentedCtrlFontAttributesChanged(2);
    w.undo.endGroup();
    EXPECT_EQ(w.undo.undoGroupCount(), steps + 1);
    for (int i : { 0, 5 }) {
        const auto& text = w.boxAt<MyTextView>(std::size_t(i))->txtBox()->text();
        EXPECT_EQ(text.attributeAt(names::underlineStyle, text.length() - 1).toInteger(), 1);
    }
}

// The panel follows typing; a key in the edited box takes the colour panel off what it edited.
TEST(FontPanel, FollowsTypingAndDetachesTheColourPanel)
{
    InspectorWindow w;
    w.build({ textOf({ { "ab", "Helvetica", 20 } }) });
    MyTextView* box = w.boxAt<MyTextView>(0);
    editWithSelection(w, box, { 2, 0 });
    w.o.fontSizeTextField->setText(QStringLiteral("99 pt"));
    platform::ColorPanel& panel = platform::ColorPanel::shared();
    panel.setIdentifier(QStringLiteral("other"));
    panel.setAction([](platform::ColorPanel&) {});
    box->txtBox()->keyDown(
        platform::Event::keyEvent(platform::EventType::KeyDown, 0, 0, QStringLiteral("c")));
    EXPECT_EQ(box->txtBox()->text().string(), QStringLiteral("abc"));
    EXPECT_EQ(w.o.fontSizeTextField->text(), QStringLiteral("20 pt"));
    EXPECT_EQ(panel.identifier(), QStringLiteral("textColorIdentifier_XYZ"));
    EXPECT_FALSE(panel.hasAction());
}

// A box of another kind counts as no head only when it is the first selected box.
TEST(Inspector, LineHeadsCountOtherKindsOnlyFirst)
{
    const auto line = [](int start, int end) { return lineWithHeads(start, end); };
    const BoxSpec text { Kind::Text };
    struct Row {
        const char* name;
        std::vector<BoxSpec> boxes;
        int start, end;
    };
    const Row rows[] = {
        { "a text first, then lines with heads", { text, line(2, 3), line(2, 3) }, -1, -1 },
        { "a text first, then lines without", { text, line(0, 0) }, 0, 0 },
        { "a line first, then a text", { line(2, 3), text }, 2, 3 },
        { "lines around a text", { line(2, 3), text, line(2, 1) }, 2, -1 },
    };
    InspectorWindow w;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.build(row.boxes);
        EXPECT_EQ(w.o.popupStartPoint->currentIndex(), row.start);
        EXPECT_EQ(w.o.popupEndPoint->currentIndex(), row.end);
    }
}
