// The hint bubble, drawn into pictures and probed: its fill and corners, the close box at the
// width threshold, where the text lines sit and how they are aligned, which show and hide
// requests are obeyed after the user closed it, and a container without a bubble.
#include "ContainerTestSupport.h"
#include "container/MyInstantAlphaView.h"
#include "platform/ui/ViewHost.h"
#include "support/NamedCase.h"
#include "support/PixelProbe.h"
#include "support/SyntheticMouse.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::pixelAt;

namespace {

QImage render(MyInstantAlphaView& bubble)
{
    const Rect b = bubble.bounds();
    return renderToImage(bubble, b, 1.0).toQImage();
}

// The box (y-up pixel coordinates, inclusive) around every pixel brighter than the bubble's
// fill, i.e. the white ink of the text and of the close box's "x"; empty when there is none.
struct Ink {
    int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
    bool empty() const { return minX > maxX; }
};

Ink inkIn(const QImage& image, QRect area = {})
{
    if (area.isNull())
        area = QRect(0, 0, image.width(), image.height());
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (pixelAt(image, x, y).r > 100) {
                ink.minX = std::min(ink.minX, x);
                ink.maxX = std::max(ink.maxX, x);
                ink.minY = std::min(ink.minY, y);
                ink.maxY = std::max(ink.maxY, y);
            }
        }
    }
    return ink;
}

TEST(HintBubble, FillsARoundedRectangleBlackAtSevenTenths)
{
    MyInstantAlphaView bubble(Rect(30, 30, 300, 50), QString(), 2);
    const QImage image = render(bubble);
    ASSERT_EQ(image.width(), 300);
    const int fill = qRound(0.7 * 255);
    struct Probe {
        int x, y;
        int minAlpha, maxAlpha;
    };
    const Probe probes[] = {
        { 150, 25, fill - 1, fill + 1 }, // inside
        { 5, 0, fill - 1, fill + 1 }, // bottom edge, where the corner arc has ended
        { 0, 25, fill - 1, fill + 1 }, // left edge, between the corners
        { 0, 0, 0, 20 }, // the four corner pixels are cut away
        { 299, 0, 0, 20 }, { 0, 49, 0, 20 }, { 299, 49, 0, 20 },
        { 1, 1, 20, fill - 20 }, // on the arc: partly covered
    };
    for (const Probe& p : probes) {
        const auto c = pixelAt(image, p.x, p.y);
        EXPECT_GE(c.a, p.minAlpha) << p.x << "," << p.y;
        EXPECT_LE(c.a, p.maxAlpha) << p.x << "," << p.y;
        if (c.a > 0)
            EXPECT_EQ(c.r + c.g + c.b, 0) << "black at " << p.x << "," << p.y;
    }
}

struct WidthRow {
    const char* name;
    double width;
    bool closeBox;
    const char* text;
    // Where the text's ink must start and end (pixels from the left), or -1 for no bound.
    int minLeft, maxLeft, minRight, maxRight;
};

// A text at least 150 wide starts at the twentieth of the width; narrower it is centred.
const WidthRow kWidthRows[] = {
    { "Width150HasACloseBoxAndLeftText", 150.0, true, "8", 7, 9, -1, 20 },
    { "Width149p9HasNoneAndCentredText", 149.9, false, "8", 66, 72, 76, 84 },
    { "Width300LeftAligned", 300.0, true, "8", 15, 17, -1, 28 },
    { "Width90ValueHintCentred", 90.0, false, "8", 39, 43, 47, 51 },
};

class HintBubbleWidth : public ::testing::TestWithParam<WidthRow> { };

TEST_P(HintBubbleWidth, CloseBoxAndTextAlignment)
{
    const WidthRow& row = GetParam();
    MyInstantAlphaView bubble(Rect(0, 0, row.width, 50), QString::fromUtf8(row.text), 1);
    EXPECT_EQ(!bubble.closeBox()->isHidden(), row.closeBox);
    EXPECT_EQ(bubble.closeBox()->frame(), Rect(row.width - 20, 30, 15, 15));
    const QImage image = render(bubble);

    // The close box's corner: ink there only when it is shown.
    const int w = image.width();
    const Ink box = inkIn(image, QRect(w - 22, 28, 19, 19));
    EXPECT_EQ(!box.empty(), row.closeBox);

    // The text's ink, away from the close box.
    const Ink text = inkIn(image, QRect(0, 0, w - 25, 50));
    ASSERT_FALSE(text.empty());
    EXPECT_GE(text.minX, row.minLeft);
    EXPECT_LE(text.minX, row.maxLeft);
    if (row.minRight >= 0)
        EXPECT_GE(text.maxX, row.minRight);
    EXPECT_LE(text.maxX, row.maxRight);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HintBubbleWidth, ::testing::ValuesIn(kWidthRows), testsupport::RowName());

struct LinesRow {
    const char* name;
    int lines;
    const char* text;
    double y0, y1; // the text rectangle's bottom and top
};

const LinesRow kLinesRows[] = {
    { "OneLine", 1, "Hg", 17.5, 32.5 },
    { "TwoLinesIn50", 2, "Hg\nHg", 10.0, 40.0 },
    { "ThreeLines", 3, "Hg\nHg\nHg", 2.5, 47.5 },
    { "FourLinesUseTheBounds", 4, "Hg\nHg\nHg\nHg", 0.0, 50.0 },
    { "ExtraLinesAreCutOff", 1, "Hg\nHg\nHg", 17.5, 32.5 },
};

class HintBubbleLines : public ::testing::TestWithParam<LinesRow> { };

TEST_P(HintBubbleLines, TextSpansItsRectangle)
{
    const LinesRow& row = GetParam();
    MyInstantAlphaView bubble(Rect(0, 0, 300, 50), QString::fromUtf8(row.text), row.lines);
    EXPECT_EQ(bubble.textRect(), Rect(15, row.y0, 270, row.y1 - row.y0));
    const QImage image = render(bubble);
    const Ink ink = inkIn(image, QRect(0, 0, 270, 50));
    ASSERT_FALSE(ink.empty());
    // Inside the rectangle, and filling it: the first line from its top, the descender of
    // the last one near its bottom.
    EXPECT_GE(ink.minY, std::floor(row.y0));
    EXPECT_LE(ink.maxY, std::ceil(row.y1) - 1);
    EXPECT_GE(ink.maxY, row.y1 - 5);
    if (row.lines >= 1 && row.lines <= 3 && row.lines == QString(row.text).count('\n') + 1)
        EXPECT_LE(ink.minY, row.y0 + 5);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HintBubbleLines, ::testing::ValuesIn(kLinesRows), testsupport::RowName());

struct VisibilityRow {
    const char* name;
    // w<N> set a frame N wide, s show, h hide, c the close box clicked
    const char* script;
    // V (shown) or H (hidden) after each token
    const char* expected;
};

const VisibilityRow kVisibilityRows[] = {
    { "ShowsAndHidesAsAsked", "h s h s", "HVHV" },
    { "ClosedWideBubbleIgnoresShows", "w300 s c s w220 s w360 s w400 s", "VVHHHHHHHH" },
    { "ClosedBubbleStillShowsANarrowHint", "w300 c w90 s h s", "VHHVHV" },
    { "Exactly150ObeysAfterAClose", "w300 c w150 s h s", "VHHVHV" },
    // A narrow hint shown after the close, then widened to the colour-removal help: it used
    // to stay up for good, since its hides were ignored as well.
    { "WideningAClosedBubbleHidesIt", "w300 c w90 s w300 h s w90", "VHHVHHHV" },
    { "NarrowingAHiddenBubbleKeepsItHidden", "w300 c w90", "VHH" },
    { "FrameChangesWithoutACloseKeepTheRequest", "s w90 w300 h w90 w300", "VVVHHH" },
};

class HintBubbleVisibility : public ::testing::TestWithParam<VisibilityRow> { };

TEST_P(HintBubbleVisibility, Requests)
{
    const VisibilityRow& row = GetParam();
    MyInstantAlphaView bubble(Rect(30, 30, 300, 50), QStringLiteral("hint"), 1);
    QString seen;
    for (const QString& token : QString(row.script).split(' ', Qt::SkipEmptyParts)) {
        if (token[0] == 'w')
            bubble.setFrame(Rect(30, 30, token.mid(1).toDouble(), 50));
        else if (token == "s")
            bubble.setHidden(false);
        else if (token == "h")
            bubble.setHidden(true);
        else if (token == "c")
            bubble.closeClicked();
        seen += bubble.isHidden() ? 'H' : 'V';
    }
    EXPECT_EQ(seen.toStdString(), row.expected);
    // A hidden bubble draws nothing.
    if (bubble.isHidden())
        EXPECT_EQ(pixelAt(render(bubble), 40, 25).a, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HintBubbleVisibility, ::testing::ValuesIn(kVisibilityRows), testsupport::RowName());

TEST(HintBubble, ClickOnTheCloseBoxClosesIt)
{
    ViewHost host;
    host.resize(400, 200);
    auto root = std::make_unique<View>(Rect(0, 0, 400, 200));
    auto* bubble = root->addSubview(
        std::make_unique<MyInstantAlphaView>(Rect(30, 30, 300, 50), QStringLiteral("hint"), 2));
    host.setRootView(std::move(root));
    EXPECT_FALSE(bubble->becomeFirstResponder());

    // The close box's centre, in Qt's y-down widget space.
    const QPointF at = host.widgetPointFromWindow(Point(30 + 280 + 7.5, 30 + 30 + 7.5));
    // Over the close box the arrow shows, whatever the canvas had set.
    using testsupport::sendMouse;
    sendMouse(host, QEvent::MouseMove, host.widgetPointFromWindow(Point(100, 50)), Qt::NoButton,
        Qt::NoButton);
    host.setViewCursor(Qt::CrossCursor);
    sendMouse(host, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(host.cursor().shape(), Qt::ArrowCursor);
    testsupport::click(host, at);
    EXPECT_TRUE(bubble->isClosedManually());
    EXPECT_TRUE(bubble->isHidden());
    bubble->setHidden(false);
    EXPECT_TRUE(bubble->isHidden());
}

TEST(HintBubble, NoCanvasNoBubble)
{
    // Hints are asked for whether or not the canvas has a bubble (or the container a canvas);
    // with one, the hint tests in CreationTest show them.
    ContainerRig rig;
    rig.container->showAlert(0, Point(), QString());
    rig.container->hideAlert();
    rig.container->setCanvas(nullptr);
    rig.container->showAlert(2, Point(10, 10), QStringLiteral("3"));
    rig.container->hideAlert();
    EXPECT_EQ(rig.container->zoomScale(), 1.0);
}

} // namespace
