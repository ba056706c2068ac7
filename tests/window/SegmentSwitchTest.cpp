// The two-half switch and the icon segment bars: which half a release selects, the clamped
// index, both looks' colours, picture and title side by side, segment frames, separators,
// alphas and the tracking modes underneath.
#include "window/SegmentSwitch.h"

#include "foundation/ColorAdditions.h"
#include "platform/text/StringDrawing.h"
#include "platform/ui/ControlEvents.h"
#include "support/PixelProbe.h"
#include "window/CustomSegmentedCtrl.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace platform;
using testsupport::pixelAt;
using testsupport::Rgba;

using controltest::click;
using controltest::mouse;
using controltest::rgbOf;
const auto solid = controltest::solidImage;

TEST(SegmentSwitch, ReleaseSelectsAHalfAndOutsideDoesNothing)
{
    struct Row {
        const char* name;
        long start;
        QPointF press, release;
        long expected;
        int actions;
    };
    const Row rows[] = {
        { "left half", 1, { 10, 10 }, { 10, 10 }, 0, 1 },
        { "right half", 0, { 150, 10 }, { 150, 10 }, 1, 1 },
        { "same half still sends", 1, { 150, 10 }, { 150, 10 }, 1, 1 },
        { "released left of it", 0, { 150, 10 }, { -40, 10 }, 0, 0 },
        { "released right of it", 0, { 10, 10 }, { 400, 10 }, 0, 0 },
        { "released below it", 0, { 150, 10 }, { 150, 60 }, 0, 0 },
    };
    for (const Row& row : rows) {
        SegmentSwitch s;
        s.resize(200, 24);
        s.setSelectedSegmentIndex(row.start);
        int actions = 0;
        s.setAction([&](Control&) { ++actions; });
        click(s, row.press, row.release);
        EXPECT_EQ(s.selectedSegmentIndex(), row.expected) << row.name;
        EXPECT_EQ(actions, row.actions) << row.name;
    }
    SegmentSwitch s;
    for (auto [in, out] : { std::pair { -1L, 0L }, { 2L, 1L }, { 1L, 1L }, { 99L, 1L } }) {
        s.setSelectedSegmentIndex(in);
        EXPECT_EQ(s.selectedSegmentIndex(), out) << in;
    }
}

TEST(SegmentSwitch, BothLooksColourTheirHalves)
{
    struct Row {
        const char* name;
        const char* firstTitle;
        int selectedBack, otherBack;
    };
    const Row rows[] = {
        { "standard", "Boxes", 0x818181, 0x515151 },
        { "dark", "Font & Style", 0x464646, 0x1E1E1E },
    };
    for (const Row& row : rows) {
        SegmentSwitch s;
        s.resize(200, 24);
        s.setFirstTitle(QString::fromUtf8(row.firstTitle));
        s.setSecondTitle(QStringLiteral("Mask"));
        s.setSelectedSegmentIndex(1);
        const QImage img = s.renderToImage();
        // Corners away from the titles.
        EXPECT_PIXEL_NEAR(img, 5, 3, rgbOf(row.otherBack), 1);
        EXPECT_PIXEL_NEAR(img, 195, 3, rgbOf(row.selectedBack), 1);
        // Standard look is clipped to radius 2: the very corner pixel is partly clear.
        if (!s.usesDarkLook())
            EXPECT_LT(pixelAt(img, 0, 0).a, 255) << row.name;
        else
            EXPECT_EQ(pixelAt(img, 0, 0).a, 255) << row.name;
    }
}

TEST(SegmentSwitch, PictureAndTitleSitSideBySideTinted)
{
    SegmentSwitch s;
    s.resize(200, 24);
    s.setFirstTitle(QStringLiteral("Boxes"));
    s.setFirstImage(solid(10, 10, Qt::red));
    s.setSelectedSegmentIndex(0);
    const QImage img = s.renderToImage();
    // The picture is tinted with the selected text colour (white) and sits left of the text.
    // Find the white picture's columns on the middle row.
    int left = -1;
    for (int x = 0; x < 100 && left < 0; ++x) {
        const Rgba c = pixelAt(img, x, 12);
        if (c.r > 240 && c.g > 240 && c.b > 240)
            left = x;
    }
    ASSERT_GE(left, 0);
    EXPECT_EQ(pixelAt(img, left + 4, 12).g, 255) << "tinted, not red";
    // The 5-point gap after the picture shows the half's background.
    EXPECT_PIXEL_NEAR(img, left + 12, 12, rgbOf(0x818181), 1);
    // Picture 10 wide, 5 points gap, text after: the whole group is centred at 50.
    const double textWidth = sizeOfString(QStringLiteral("Boxes"), boldSystemFont(11)).width;
    const double groupLeft = 50 - (textWidth + 15) / 2;
    EXPECT_NEAR(left, groupLeft, 1.5);
}

TEST(CustomSegmentedCtrl, EqualSegmentsSeparatorsAndAlphas)
{
    CustomSegmentedCtrl c;
    c.resize(90, 20);
    c.setSegmentCount(3);
    for (int i = 0; i < 3; ++i)
        c.setImage(solid(6, 6, Qt::white), i);
    c.setSelectedSegment(0);
    c.setEnabled(false, 2);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c.frameForSegment(i).x(), 30.0 * i);

    QImage img = c.renderToImage();
    // Pictures centred at 15, 45, 75: selected 1.0, enabled 0.5, disabled 0.2.
    EXPECT_EQ(pixelAt(img, 15, 10).a, 255);
    EXPECT_NEAR(pixelAt(img, 45, 10).a, 128, 2);
    EXPECT_NEAR(pixelAt(img, 75, 10).a, 51, 2);
    EXPECT_EQ(pixelAt(img, 30, 2).a, 0) << "no separators by default";

    c.setUseSeparator(true);
    img = c.renderToImage();
    int lines = 0;
    for (int x = 0; x < 90; ++x)
        lines += pixelAt(img, x, 2).a > 0;
    EXPECT_EQ(lines, 2 * 2) << "two separators, each a 1-point line straddling its pixel edge";
    EXPECT_GT(pixelAt(img, 30, 2).a, 0);
    EXPECT_GT(pixelAt(img, 60, 2).a, 0);
}

TEST(CustomSegmentedCtrl, TrackingModesAndDisabledSegments)
{
    using Mode = SegmentedControl::TrackingMode;
    struct Row {
        const char* name;
        Mode mode;
        std::vector<double> clicks; // x of press and release
        int selected;
        std::vector<bool> selectedFlags;
        int actions;
    };
    const Row rows[] = {
        { "select one", Mode::SelectOne, { 45, 75 }, 2, { false, false, true }, 2 },
        { "select any toggles", Mode::SelectAny, { 15, 75, 15 }, 2, { false, false, true }, 3 },
        { "momentary keeps nothing selected", Mode::Momentary, { 45 }, 1, { false, false, false },
            1 },
        { "disabled segment ignored", Mode::SelectOne, { 45, 105 }, 1, { false, true, false }, 1 },
    };
    for (const Row& row : rows) {
        CustomSegmentedCtrl c;
        c.resize(120, 20);
        c.setSegmentCount(4);
        c.setTrackingMode(row.mode);
        c.setEnabled(false, 3);
        int actions = 0;
        c.setAction([&](Control&) { ++actions; });
        for (double x : row.clicks)
            click(c, { x, 10 }, { x, 10 });
        EXPECT_EQ(c.selectedSegment(), row.selected) << row.name;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(c.isSelectedForSegment(i), row.selectedFlags[size_t(i)])
                << row.name << " segment " << i;
        EXPECT_EQ(actions, row.actions) << row.name;
    }
    // A press on one segment released on another does nothing.
    CustomSegmentedCtrl c;
    c.resize(90, 20);
    c.setSegmentCount(3);
    int actions = 0;
    c.setAction([&](Control&) { ++actions; });
    click(c, { 15, 10 }, { 75, 10 });
    EXPECT_EQ(actions, 0);
    EXPECT_EQ(c.selectedSegment(), -1);
}

TEST(CustomSegmentedCtrl, HoverFollowsThePointerAndClearsOnLeave)
{
    CustomSegmentedCtrl c;
    c.resize(90, 20);
    c.setSegmentCount(3);
    EXPECT_EQ(c.segmentHovered(), -1);
    mouse(c, QEvent::MouseMove, { 50, 10 });
    EXPECT_EQ(c.segmentHovered(), 1);
    mouse(c, QEvent::MouseMove, { 80, 10 });
    EXPECT_EQ(c.segmentHovered(), 2);
    QEnterEvent enter({ 80, 10 }, { 80, 10 }, c.mapToGlobal(QPointF(80, 10)));
    QCoreApplication::sendEvent(&c, &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&c, &leave);
    EXPECT_EQ(c.segmentHovered(), -1);
}

// The window's mode switch sits on the dark sidebar: the title of the half not selected ("Mask"
// while boxes are edited) must stand out from its background, not black on dark grey.
TEST(SegmentSwitch, TheOtherHalfsTitleIsLegible)
{
    const auto luminance = [](QRgb c) {
        const auto lin = [](int v) {
            const double s = v / 255.0;
            return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
    };
    SegmentSwitch s;
    s.resize(270, 30);
    s.setFirstTitle(QStringLiteral("Text & Shapes"));
    s.setSecondTitle(QStringLiteral("Mask"));
    s.setSelectedSegmentIndex(0);
    const QImage img = s.renderToImage().convertToFormat(QImage::Format_RGB32);
    const double back = luminance(img.pixel(140, 3));
    double best = 1.0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 136; x < img.width() - 2; ++x) {
            const double l = luminance(img.pixel(x, y));
            best = std::max(best, (std::max(l, back) + 0.05) / (std::min(l, back) + 0.05));
        }
    EXPECT_GE(best, 4.0) << "the strongest title pixel against its half's background";
}
