// Creation of text, picture and shape boxes: defaults, placement, one undo step each, the new
// box on top and selected alone, and pen mode.
#include "ContainerTestSupport.h"
#include "boxes/MyTextBox.h"
#include "boxes/ShapeModel.h"
#include "container/MyInstantAlphaView.h"
#include "container/NewBoxPicture.h"
#include "foundation/ImageAdditions.h"
#include "support/NamedCase.h"
#include "support/PictureFiles.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <cmath>

using platform::Rect;
using platform::Size;

namespace {

// The last box is the new one, the top subview, and the only selected box.
void expectNewOnTopSelectedAlone(const TextViewContainer& c)
{
    ASSERT_FALSE(c.textViewAry.empty());
    const std::vector<platform::View*> views = boxesOfSubviews(c);
    ASSERT_EQ(views.size(), c.textViewAry.size());
    for (std::size_t i = 0; i < views.size(); ++i) {
        EXPECT_EQ(views[i], c.textViewAry[i]) << "subview " << i;
        EXPECT_EQ(c.textViewAry[i]->selected(), i + 1 == views.size()) << "box " << i;
    }
}

} // namespace

TEST(Creation, TextBoxSizeAndFontFollowTheWorkingPicture)
{
    struct Case {
        Size working;
        Rect frame;
        double font;
    };
    const Case cases[] = {
        { Size(1200, 900), Rect(450, 390, 300, 120), 72.0 },
        { Size(4000, 1000), Rect(2000 - 500.0 / 3.0, 500 - 200.0 / 3.0, 1000.0 / 3.0, 400.0 / 3.0),
            80.0 },
    };
    for (const Case& c : cases) {
        ContainerRig rig(c.working);
        rig.container->newTextBox();
        ASSERT_EQ(rig.container->textViewAry.size(), 1u);
        auto* text = dynamic_cast<MyTextView*>(rig.container->textViewAry[0]);
        ASSERT_NE(text, nullptr);
        const Rect f = text->frame();
        expectNear(f.origin, c.frame.origin, 1e-9);
        EXPECT_NEAR(f.size.width, c.frame.size.width, 1e-9);
        EXPECT_NEAR(gDefaultFontSize, c.font, 1e-9);
        // The text box may have grown to its text, never shrunk.
        EXPECT_GE(f.size.height, c.frame.size.height - 1e-9);
        EXPECT_FALSE(text->isEditing());
    }
}

TEST(Creation, PictureIsReducedOnlyWhenLargerThanThreeQuarters)
{
    struct Case {
        const char* name;
        int pw, ph;
        double bw, bh;
    };
    const Case cases[] = {
        { "fits", 800, 600, 800, 600 },
        { "reduced", 4000, 3000, 2999, 2249 },
        { "one pixel", 1, 1, 1, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ContainerRig rig(Size(4000, 3000));
        rig.container->newImageBox(solidPicture(c.pw, c.ph));
        ASSERT_EQ(rig.container->textViewAry.size(), 1u);
        auto* image = dynamic_cast<MyImageView*>(rig.container->textViewAry[0]);
        ASSERT_NE(image, nullptr);
        expectNear(image->frame(), Rect(2000 - c.bw / 2, 1500 - c.bh / 2, c.bw, c.bh), 1e-9);
        EXPECT_EQ(image->orgwidth(), c.bw);
        EXPECT_EQ(image->orgheight(), c.bh);
    }
}

TEST(Creation, ReducedPictureNeverGoesBelowOnePixel)
{
    const platform::FilterImage tiny = TextViewContainer::pictureSource(solidPicture(2, 2));
    const platform::FilterImage reduced = TextViewContainer::reducedPicture(tiny, 0.1f);
    ASSERT_FALSE(reduced.isNull());
    EXPECT_GE(reduced.extent().size.width, 1.0);
    EXPECT_GE(reduced.extent().size.height, 1.0);
    // s outside (0, 1) keeps the picture.
    EXPECT_EQ(TextViewContainer::reducedPicture(tiny, 1.0f), tiny);
    EXPECT_EQ(TextViewContainer::reducedPicture(tiny, 0.0f), tiny);
}

TEST(Creation, ShapeIsAFifthOfTheShorterSideCentred)
{
    ContainerRig rig(Size(1000, 600));
    rig.container->newShapeBox(shape::Rectangle);
    ASSERT_EQ(rig.container->textViewAry.size(), 1u);
    auto* shapeBox = dynamic_cast<MyShapeView*>(rig.container->textViewAry[0]);
    ASSERT_NE(shapeBox, nullptr);
    expectNear(shapeBox->frame(), Rect(440, 240, 120, 120), 1e-9);
}

TEST(Creation, EachCreationIsOneStepWithTheNewBoxOnTopSelectedAlone)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    const std::function<void()> creations[] = {
        [&] { c.newTextBox(); },
        [&] { c.newImageBox(solidPicture(300, 200)); },
        [&] { c.newShapeBox(shape::Ellipse); },
        [&] { c.newShapeBox(shape::Curve); },
    };
    int step = 0;
    for (const auto& create : creations) {
        const int callsBefore = rig.delegate.selectedCalls;
        create();
        rig.endEvent();
        ++step;
        EXPECT_EQ(rig.undo.undoGroupCount(), step);
        EXPECT_EQ(rig.undo.changeCount(), step);
        EXPECT_EQ(rig.delegate.selectedCalls, callsBefore + 1);
        EXPECT_EQ(rig.delegate.edited, nullptr);
        expectNewOnTopSelectedAlone(c);
    }
    // Undoing the last creation takes exactly that box away.
    rig.undo.undo();
    EXPECT_EQ(c.textViewAry.size(), 3u);
}

TEST(Creation, NoWorkingPictureCreatesNothing)
{
    const std::optional<Size> sizes[] = { std::nullopt, Size(0, 0), Size(100, 0) };
    for (const auto& size : sizes) {
        ContainerRig rig;
        rig.canvas.size = size;
        rig.container->newTextBox();
        rig.container->newImageBox(solidPicture(10, 10));
        rig.container->newShapeBox(shape::Rectangle);
        rig.endEvent();
        EXPECT_TRUE(rig.container->textViewAry.empty());
        EXPECT_EQ(rig.undo.undoGroupCount(), 0);
    }
}

TEST(Creation, PenTypeOnlyEntersPenMode)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    c.newShapeBox(shape::PenPath);
    rig.endEvent();
    EXPECT_TRUE(c.bDrawWithPen);
    EXPECT_TRUE(c.textViewAry.empty());
    EXPECT_EQ(rig.undo.undoGroupCount(), 0);
    c.beforeAction();
    rig.endEvent();
    EXPECT_FALSE(c.bDrawWithPen);
    EXPECT_TRUE(c.textViewAry.empty());
    EXPECT_EQ(rig.undo.undoGroupCount(), 0);
}

TEST(Creation, BeforeActionEndsAPathInProgressAsOneStep)
{
    struct Case {
        const char* name;
        int fixedPoints; // points fixed by clicks after the first
        bool kept;
    };
    const Case cases[] = {
        { "one point is no path", 0, false },
        { "two points", 1, true },
        { "three points", 2, true },
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        ContainerRig rig;
        TextViewContainer& c = *rig.container;
        c.newShapeBox(shape::PenPath);
        c.startPenPath(platform::Point(100, 100));
        auto* path = dynamic_cast<MyShapeView*>(c.penView.get());
        ASSERT_NE(path, nullptr);
        // What a click does: fix the point following the pointer.
        for (int i = 0; i < row.fixedPoints; ++i) {
            std::vector<platform::Point> pts = path->points();
            pts.push_back(pts.back());
            path->setPoints(pts);
            std::vector<ControlValue> controls = path->controlVals();
            controls.push_back(true);
            path->setControlVals(controls);
        }
        const std::size_t pointsBefore = path->points().size();
        c.beforeAction();
        rig.endEvent();
        EXPECT_FALSE(c.bDrawWithPen);
        EXPECT_FALSE(c.penView);
        ASSERT_EQ(c.textViewAry.size(), row.kept ? 1u : 0u);
        EXPECT_EQ(c.subviewCount(), row.kept ? 1 : 0);
        EXPECT_EQ(rig.undo.undoGroupCount(), row.kept ? 1 : 0);
        if (row.kept) {
            EXPECT_EQ(path->points().size(), pointsBefore - 1);
            EXPECT_FALSE(path->isDrawing());
            rig.undo.undo();
            EXPECT_TRUE(c.textViewAry.empty());
        }
    }
}

// A hidden bubble as the canvas makes it.
struct BubbleRig : ContainerRig {
    BubbleRig()
        : bubble(Rect(30, 30, 300, 50), QStringLiteral("colour removal"), 2)
    {
        bubble.setHidden(true);
        canvas.bubble = &bubble;
        canvas.visible = Rect(100, 50, 800, 600);
    }
    MyInstantAlphaView bubble;
};

TEST(Hints, KindsSetTextLinesAndFrame)
{
    const double nan = std::nan("");
    struct Case {
        const char* name;
        int kind;
        double zoom;
        Rect frame;
        int lines;
        const char* startsWith;
    };
    const Case cases[] = {
        { "pen", 0, 1.0, Rect(320, 80, 360, 70), 3, "\u2022 Click to draw straight lines." },
        // Wide enough for its longest line.
        { "curve", 1, 1.0, Rect(290.5, 80, 419, 50), 2, "\u2022 Drag a midpoint" },
        { "value", 2, 2.0, Rect(20, 10, 90, 25), 1, "42 px" },
        { "value at zoom 0", 2, 0.0, Rect(10, -10, 90, 25), 1, "42 px" },
        { "value at zoom NaN", 2, nan, Rect(10, -10, 90, 25), 1, "42 px" },
        { "corner", 3, 1.0, Rect(295, 80, 410, 30), 1, "\u2022 Hold Ctrl" },
        { "edit", 4, 1.0, Rect(390, 80, 220, 30), 1, "\u2022 Click the shape again" },
        { "other kind only shows", 7, 1.0, Rect(30, 30, 300, 50), 2, "colour removal" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BubbleRig rig;
        rig.canvas.zoom = c.zoom;
        rig.container->showAlert(c.kind, platform::Point(10, 20), QStringLiteral("42 px"));
        expectNear(rig.bubble.frame(), c.frame, 1e-9);
        EXPECT_EQ(rig.bubble.linesCount(), c.lines);
        // Every line fits its bubble, unbroken (the corner hint was cut at its edge).
        EXPECT_LE(MyInstantAlphaView::widthToFit(rig.bubble.string()), rig.bubble.frame().width());
        EXPECT_TRUE(rig.bubble.string().startsWith(QString::fromUtf8(c.startsWith)));
        EXPECT_FALSE(rig.bubble.isHidden());
        rig.container->hideAlert();
        EXPECT_TRUE(rig.bubble.isHidden());
    }
}

TEST(Hints, ShapeHintFollowsTheTypeTheShapeTook)
{
    struct Case {
        const char* name;
        int type;
        int lines; // of the hint shown; 0 none
    };
    const Case cases[] = {
        { "arrow line becomes a line", shape::ArrowLine, 0 },
        { "rectangle", shape::Rectangle, 0 },
        { "curve", shape::Curve, 2 },
        { "rounded-box callout", shape::RoundedBoxCallout, 1 },
        { "pen path", shape::PenPath, 3 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BubbleRig rig;
        rig.container->newShapeBox(c.type);
        EXPECT_EQ(rig.bubble.isHidden(), c.lines == 0);
        if (c.lines)
            EXPECT_EQ(rig.bubble.linesCount(), c.lines);
        // Every line fits its bubble, unbroken (the corner hint was cut at its edge).
        EXPECT_LE(MyInstantAlphaView::widthToFit(rig.bubble.string()), rig.bubble.frame().width());
    }
}

TEST(Creation, PointInPolygonCountsEdgesStrictly)
{
    const platform::Point square[4] = { { 0, 0 }, { 10, 0 }, { 10, 10 }, { 0, 10 } };
    const platform::Point turned[4] = { { 5, 0 }, { 10, 5 }, { 5, 10 }, { 0, 5 } };
    struct Case {
        const char* name;
        const platform::Point* pts;
        platform::Point p;
        bool inside;
    };
    const Case cases[] = {
        { "centre", square, { 5, 5 }, true },
        { "outside", square, { 11, 5 }, false },
        { "turned centre", turned, { 5, 5 }, true },
        { "turned corner of the bounding box", turned, { 1, 1 }, false },
        { "left edge", square, { 0, 5 }, true },
        { "right edge", square, { 10, 5 }, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextViewContainer::isPointinPolygon(c.p, c.pts), c.inside) << c.name;
}

TEST(Creation, RemoveAllSelectionEndsEditingAndCollapsesTheTextSelection)
{
    ContainerRig rig;
    TextViewContainer& c = *rig.container;
    c.newTextBox();
    c.newShapeBox(shape::Rectangle);
    auto* text = dynamic_cast<MyTextView*>(c.textViewAry[0]);
    auto* shapeBox = dynamic_cast<MyShapeView*>(c.textViewAry[1]);
    text->setSelected(true);
    text->setIsEditing(true);
    text->setEditable(true);
    text->setSelectable(true);
    text->txtBox()->editor().setSelectedRange(platform::TextRange(1, 2));
    shapeBox->setIsDrawing(true);
    c.removeAllSelection();
    EXPECT_FALSE(text->selected());
    EXPECT_FALSE(text->isEditing());
    EXPECT_FALSE(text->Editable());
    EXPECT_EQ(text->txtBox()->editor().selectedRange().length, 0);
    EXPECT_FALSE(shapeBox->selected());
    EXPECT_FALSE(shapeBox->isDrawing());
    EXPECT_EQ(c.expandingId, -1);
    EXPECT_EQ(c.expandingSubId, -1);
}

namespace {

// Red, green, white and blue quadrants from the top left clockwise.
QByteArray quadrantsFile(int w, int h, const char* format, int orientation = 1)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h / 2, QColor(220, 20, 20));
    p.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(20, 200, 20));
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(240, 240, 240));
    p.fillRect(0, h / 2, w / 2, h - h / 2, QColor(20, 20, 220));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(95);
    writer.write(image);
    return orientation == 1 ? bytes : testsupport::withExifOrientation(bytes, orientation);
}

} // namespace

// A picture file decoded for a new box comes at the size the box keeps it at (not decoded
// whole and reduced afterwards), and the box made of it is the box the whole picture makes:
// the same frame, the same colours where they show.
TEST(Creation, PictureForANewBoxIsDecodedAtTheSizeItIsKept)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        Size working;
    };
    const Case cases[] = {
        { "jpeg", quadrantsFile(3000, 2000, "jpeg"), Size(1000, 600) },
        { "png", quadrantsFile(2001, 1333, "png"), Size(999, 700) },
        { "jpeg turned upright", quadrantsFile(2400, 1200, "jpeg", 6), Size(1200, 900) },
        { "png that fits", quadrantsFile(300, 200, "png"), Size(1000, 600) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::LoadedPicture whole = platform::PictureLoader::load(c.bytes);
        ASSERT_TRUE(whole.ok());
        qint64 budget = platform::PictureLoader::kMaxPixels;
        const platform::LoadedPicture kept = newbox::loadForNewBox(c.bytes, c.working, budget);
        ASSERT_TRUE(kept.ok()) << kept.error.toStdString();

        ContainerRig fromWhole(c.working), fromKept(c.working);
        fromWhole.container->newImageBox(platform::Image::fromQImage(whole.pixels));
        fromKept.container->newImageBox(platform::Image::fromQImage(kept.pixels));
        auto* a = dynamic_cast<MyImageView*>(fromWhole.container->textViewAry.at(0));
        auto* b = dynamic_cast<MyImageView*>(fromKept.container->textViewAry.at(0));
        ASSERT_TRUE(a && b);
        EXPECT_EQ(b->frame(), a->frame());
        EXPECT_EQ(QSizeF(kept.pixels.size()), QSizeF(a->frame().width(), a->frame().height()));
        const QImage shownA = CGImage(a->orgImage()), shownB = CGImage(b->orgImage());
        ASSERT_EQ(shownA.size(), shownB.size());
        // Away from the quadrants' edges.
        for (const double fx : { 0.2, 0.8 })
            for (const double fy : { 0.2, 0.8 }) {
                const QPoint at(int(fx * shownA.width()), int(fy * shownA.height()));
                const QRgb pa = shownA.pixel(at), pb = shownB.pixel(at);
                EXPECT_NEAR(qRed(pa), qRed(pb), 6) << fx << " " << fy;
                EXPECT_NEAR(qGreen(pa), qGreen(pb), 6) << fx << " " << fy;
                EXPECT_NEAR(qBlue(pa), qBlue(pb), 6) << fx << " " << fy;
            }
    }
}
