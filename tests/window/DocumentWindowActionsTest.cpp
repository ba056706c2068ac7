// The document window's slider previews (probed pixels of each effect) and its
// picture and brush actions: what reaches the canvas and the brush, which
// actions end a colour removal, the mode switch before a new text box, and undo
// and redo in the window's own document.
#include "ReadyWindow.h"
#include "boxes/MyViewBase.h"
#include "platform/document/AlertPresenter.h"
#include "support/NamedCase.h"
#include "support/PixelProbe.h"
#include "support/SyntheticMouse.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/DocumentWindowPreviews.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SegmentSwitch.h"
#include "window/ZoomSlider.h"

#include <QImage>
#include <QPushButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace platform;
using sliderpreview::Kind;
using testsupport::pixelAt;
using testsupport::Rgba;

namespace {

constexpr Rgba kRed { 220, 40, 30, 255 };
constexpr Rgba kBlue { 30, 60, 200, 255 };
constexpr Rgba kWhite { 255, 255, 255, 255 };

// The kind of picture a slider hands its block: 100 x 50, red on the left half,
// blue on the right.
Image halves()
{
    QImage pixels(100, 50, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const Rgba c = x < 50 ? kRed : kBlue;
            pixels.setPixel(x, y, qRgba(c.r, c.g, c.b, c.a));
        }
    return Image::fromQImage(pixels);
}

Rgba mix(const Rgba& a, const Rgba& b, double t)
{
    auto m = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
    return { m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), m(a.a, b.a) };
}

struct Probe {
    int x, y; // y-up
    Rgba expected;
    int tolerance;
};

} // namespace

struct PreviewRow {
    const char* name;
    Kind kind;
    int index;
    double v;
    double maxValue;
    int width, height;
    std::vector<Probe> probes;
};

namespace {
class SliderPreview : public ::testing::TestWithParam<PreviewRow> { };
} // namespace

TEST_P(SliderPreview, ProbedColours)
{
    const PreviewRow& row = GetParam();
    const Image out = sliderpreview::preview(row.kind, halves(), row.index, row.v, row.maxValue);
    ASSERT_FALSE(out.isNull());
    const QImage px = out.toQImage();
    ASSERT_EQ(px.width(), row.width);
    ASSERT_EQ(px.height(), row.height);
    for (const Probe& p : row.probes)
        EXPECT_PIXEL_NEAR(px, p.x, p.y, p.expected, p.tolerance);
}

// Dab diameters on a 50-high source: size 50 x (0.5v + 0.2), opacity 0.7 x 50
// = 35.
INSTANTIATE_TEST_SUITE_P(DocumentWindow, SliderPreview,
    ::testing::Values(PreviewRow { "brush_size_small_dab", Kind::DrawSize, 0, 0.125, 0, 100, 50,
                          { { 50, 25, kWhite, 2 }, { 53, 25, kWhite, 2 }, { 5, 5, kRed, 2 },
                              // outside the dab (radius 6.6) but inside its shadow
                              { 40, 25, mix(kRed, Rgba { 0, 0, 0, 255 }, 0.25), 60 } } },
        PreviewRow { "brush_size_large_dab", Kind::DrawSize, 3, 0.875, 0, 100, 50,
            { { 50 + 13, 25, kWhite, 2 }, { 95, 45, kBlue, 2 } } },
        PreviewRow { "hardness_soft_artwork", Kind::DrawHardness, 0, 0.125, 0, 100, 50,
            { { 50, 25, kWhite, 12 }, { 50 + 16, 25, kBlue, 40 }, { 5, 5, kRed, 0 } } },
        PreviewRow { "hardness_hard_artwork", Kind::DrawHardness, 3, 0.875, 0, 100, 50,
            { { 50, 25, kWhite, 2 }, { 50 + 15, 25, kWhite, 12 } } },
        PreviewRow { "opacity_dab_at_v", Kind::DrawOpacity, 1, 0.375, 0, 100, 50,
            { { 40, 25, mix(kRed, kWhite, 0.375), 3 }, { 60, 25, mix(kBlue, kWhite, 0.375), 3 },
                { 2, 2, kRed, 0 } } },
        PreviewRow { "aperture_blurs_the_edge", Kind::Aperture, 3, 0.875, 1.0, 100, 100,
            { { 50, 50, mix(kRed, kBlue, 0.5), 40 }, { 10, 50, kRed, 3 }, { 80, 50, kBlue, 3 } } },
        PreviewRow { "aperture_at_zero_keeps_the_edge", Kind::Aperture, 0, 0.0, 1.0, 100, 100,
            { { 47, 50, kRed, 3 }, { 53, 50, kBlue, 3 } } },
        PreviewRow { "vignette_darkens_corners_only", Kind::Vignette, 3, 0.875, 10.0, 100, 100,
            { { 1, 1, Rgba { 0, 0, 0, 255 }, 30 }, { 48, 50, kRed, 25 } } },
        PreviewRow { "saturation_low_is_nearly_grey", Kind::Saturation, 0, 0.125, 2.0, 100, 100,
            // 0.25 of the way from the luma grey (0.2125, 0.7154, 0.0721
            // weights) to red
            { { 10, 50, Rgba { 113, 68, 66, 255 }, 6 } } },
        PreviewRow { "image_box_saturation_high", Kind::ImageBoxSaturation, 3, 0.875, 2.0, 100, 100,
            { { 10, 50, Rgba { 255, 12, 0, 255 }, 6 } } },
        PreviewRow { "zoom_enlarges_from_the_origin", Kind::Zoom, 2, 0.5, 1.0, 100, 100,
            { { 60, 20, kRed, 3 }, { 90, 20, kBlue, 3 } } },
        // Turned 5 degrees about the bottom-left corner: the bottom right lifts
        // off the edge.
        PreviewRow { "zoom_and_straighten_enlarges_and_turns", Kind::ZoomAndStraighten, 2, 0.5, 1.0,
            100, 100, { { 60, 40, kRed, 3 }, { 95, 40, kBlue, 3 }, { 90, 2, Rgba {}, 3 } } },
        PreviewRow { "text_box_opacity_fades", Kind::TextboxOpacity, 1, 0.375, 1.0, 100, 50,
            { { 10, 10, Rgba { kRed.r, kRed.g, kRed.b, 96 }, 3 },
                { 90, 40, Rgba { kBlue.r, kBlue.g, kBlue.b, 96 }, 3 } } },
        // A quarter turn counter-clockwise puts the red left half at the
        // bottom; the middle third, scaled to cover, splits the preview at
        // y 25.
        PreviewRow { "text_box_angle_quarter_turn", Kind::TextboxAngle, 0, 0.25, 1.0, 100, 50,
            { { 50, 10, kRed, 3 }, { 50, 40, kBlue, 3 }, { 2, 2, kRed, 3 } } }),
    testsupport::RowName());

TEST(DocumentWindow, SliderPreviewNullInputs)
{
    EXPECT_TRUE(sliderpreview::preview(Kind::DrawSize, Image(), 0, 0.5, 1).isNull());
    EXPECT_TRUE(sliderpreview::preview(Kind::Aperture, halves(), 0, NAN, 1).isNull());
    EXPECT_TRUE(sliderpreview::preview(Kind::TextboxAngle, halves(), 0, INFINITY, 1).isNull());
}

// ---- the actions

using windowtest::ReadyWindow;
using windowtest::solidPicture;

namespace {

// A selected picture box in colour removal.
void startColourRemoval(ReadyWindow& w)
{
    w.canvas()->newImageBox(&w.win, solidPicture(60, 40, QColor(200, 30, 30)));
    ASSERT_TRUE(w.boxes().instantAlpha());
    w.win.setInstantAlphaState(1);
}

using Slider = ImageEffectIntensitySlider* DocumentWindowOutlets::*;

} // namespace

// Global, so that the row printer finds it.
struct ActionRow {
    const char* name;
    std::function<void(ReadyWindow&)> act;
    std::function<double(ReadyWindow&)> read;
    double expected;
    bool endsColourRemoval;
};

namespace {

std::function<void(ReadyWindow&)> move(Slider slider, double from, double to)
{
    return [=](ReadyWindow& w) {
        (w.o.*slider)->setValue(from);
        (w.o.*slider)->setValue(to);
    };
}

class WindowAction : public ::testing::TestWithParam<ActionRow> { };

} // namespace

TEST_P(WindowAction, ReachesTheCanvasAndEndsColourRemovalOrNot)
{
    const ActionRow& row = GetParam();
    ReadyWindow w(true);
    startColourRemoval(w);
    ASSERT_TRUE(w.boxes().bInstantAlpha);
    row.act(w);
    if (row.read) {
        EXPECT_DOUBLE_EQ(row.read(w), row.expected);
    }
    EXPECT_EQ(!w.boxes().bInstantAlpha, row.endsColourRemoval);
    if (row.endsColourRemoval) {
        EXPECT_FALSE(w.o.btInstantAlpha->isChecked());
    }
}

namespace {
using O = DocumentWindowOutlets;
const auto blur = [](ReadyWindow& w) { return w.canvas()->blurStrength(); };
const auto vignette = [](ReadyWindow& w) { return w.canvas()->vignetteIntensity(); };
const auto saturation = [](ReadyWindow& w) { return w.canvas()->saturation(); };
const auto scale = [](ReadyWindow& w) { return w.canvas()->scale(); };
const auto straighten = [](ReadyWindow& w) { return w.canvas()->straighten(); };
const auto hardness = [](ReadyWindow& w) { return w.brush().brushHardness(); };
const auto opacity = [](ReadyWindow& w) { return w.brush().brushOpacity(); };
const auto eraseMode = [](ReadyWindow& w) { return w.brush().eraseMode() ? 1 : 0; };
} // namespace

INSTANTIATE_TEST_SUITE_P(DocumentWindow, WindowAction,
    ::testing::Values(ActionRow { "aperture_times_max_times_5", move(&O::apertureSlider, 0.1, 0.4),
                          blur, 2.0, true },
        ActionRow { "vignette_keeps_colour_removal", move(&O::vignetteSlider, 0.1, 0.3), vignette,
            3.0, false },
        ActionRow { "saturation_keeps_colour_removal", move(&O::saturationSlider, 0.1, 0.25),
            saturation, 0.5, false },
        ActionRow { "zoom_from_1_to_2", move(&O::zoomSlider, 0.1, 0.5), scale, 1.5, true },
        ActionRow { "straighten_middle_is_level", move(&O::zoomAndStraightenSlider, 0.2, 0.5),
            straighten, 0.0, true },
        ActionRow { "straighten_right_end", move(&O::zoomAndStraightenSlider, 0.2, 1.0), straighten,
            0.035, true },
        ActionRow { "straighten_left_end", move(&O::zoomAndStraightenSlider, 0.2, 0.0), straighten,
            -0.035, true },
        ActionRow { "brush_hardness", move(&O::drawHardnessSlider, 0.1, 0.3), hardness, 0.3, true },
        ActionRow { "brush_opacity", move(&O::drawOpacitySlider, 0.1, 0.6), opacity, 0.6, true },
        ActionRow { "erase_segment",
            [](ReadyWindow& w) {
                // A press on the right-hand ("Erase") segment.
                QWidget& segments = *w.o.drawModeSegmentedCtrl;
                testsupport::click(segments, { segments.width() * 0.75, segments.height() / 2.0 });
            },
            eraseMode, 1, true },
        ActionRow {
            "undo_with_nothing_to_undo", [](ReadyWindow& w) { w.win.undo(); }, nullptr, 0, true },
        ActionRow {
            "redo_with_nothing_to_redo", [](ReadyWindow& w) { w.win.redo(); }, nullptr, 0, true }),
    testsupport::RowName());

// Zoom and Zoom & Straighten are edits: one undo step per drag in the window's own document,
// undone and redone with the canvas and the slider; a reopened document's values put the
// sliders back where they were.
TEST(DocumentWindow, ZoomAndStraightenDragsAreUndoableEdits)
{
    struct Row {
        const char* name;
        ImageEffectIntensitySlider* O::*slider;
        double (*read)(ReadyWindow&);
        double start, moved; // canvas values at slider 0.25 and 0.75
    };
    const Row rows[] = {
        { "zoom", &O::zoomSlider, +scale, 1.25, 1.75 },
        { "zoom and straighten", &O::zoomAndStraightenSlider, +straighten, -0.0175, 0.0175 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReadyWindow w(true);
        ImageEffectIntensitySlider& slider = *(w.o.*row.slider);
        slider.setValue(0.25);
        w.undo.endGroup();
        const int before = w.undo.undoGroupCount();
        const double y = slider.height() / 2.0;
        testsupport::drag(slider, { slider.width() * 0.5, y }, { slider.width() * 0.75, y });
        w.undo.endGroup();
        EXPECT_EQ(w.undo.undoGroupCount(), before + 1) << "one step for the drag";
        EXPECT_NEAR(row.read(w), row.moved, 1e-9);
        w.win.undo();
        EXPECT_NEAR(row.read(w), row.start, 1e-9);
        EXPECT_DOUBLE_EQ(slider.value(), 0.25);
        w.win.redo();
        EXPECT_NEAR(row.read(w), row.moved, 1e-9);
    }
    ReadyWindow w;
    w.win.showPictureZoom(1.5, -0.0175);
    EXPECT_DOUBLE_EQ(w.o.zoomSlider->value(), 0.5);
    EXPECT_NEAR(w.o.zoomAndStraightenSlider->value(), 0.25, 1e-12);
}

// The size slider spans half the picture's width as the painting view shows it.
TEST(DocumentWindow, BrushSizeFollowsThePaintingZoom)
{
    ReadyWindow w(true);
    w.o.customDrawingZoomSlider->setValue(0.0f);
    const double r1 = w.canvas()->imageRect().size.width;
    w.o.drawSizeSlider->setValue(0.4);
    const double size1 = w.brush().brushSize();
    EXPECT_NEAR(size1, 0.4 * r1 / 2, 1e-3 * r1);

    w.o.customDrawingZoomSlider->setValue(0.5f);
    const double r2 = w.canvas()->imageRect().size.width;
    ASSERT_GT(r2, 1.5 * r1);
    EXPECT_EQ(w.brush().brushSize(), size1) << "a zoom change alone sends no size";
    w.o.drawSizeSlider->setValue(0.4);
    EXPECT_NEAR(w.brush().brushSize() / size1, r2 / r1, 1e-6);
}

TEST(DocumentWindow, NewTextBoxLeavesMaskModeFirst)
{
    ReadyWindow w(true);
    w.o.cropColorSegmentSwitch->setSelectedSegmentIndex(1);
    w.win.switchColorCropMode(*w.o.cropColorSegmentSwitch);
    ASSERT_TRUE(w.win.isPaintViewShowed());

    w.win.newTextBox();
    EXPECT_EQ(w.o.cropColorSegmentSwitch->selectedSegmentIndex(), 0);
    EXPECT_FALSE(w.win.isPaintViewShowed());
    ASSERT_EQ(w.boxes().textViewAry.size(), 1u);
    EXPECT_TRUE(w.boxes().textViewAry[0]->selected());
}

// Each window undoes its own document, whichever is in front.
TEST(DocumentWindow, UndoAndRedoStayInTheirOwnDocument)
{
    ReadyWindow a(true), b(true);
    a.win.newTextBox();
    a.undo.endGroup();
    ASSERT_EQ(a.boxes().textViewAry.size(), 1u);

    b.win.undo();
    EXPECT_EQ(a.boxes().textViewAry.size(), 1u);
    a.win.undo();
    EXPECT_EQ(a.boxes().textViewAry.size(), 0u);
    b.win.redo();
    EXPECT_EQ(a.boxes().textViewAry.size(), 0u);
    a.win.redo();
    EXPECT_EQ(a.boxes().textViewAry.size(), 1u);
}

namespace {
struct RecordingAlerts : AlertPresenter {
    QString message;
    QStringList buttons;
    int answer = kFirstButtonReturn; // "Cancel"
    void runModal(AlertStyle, const QString& m) override { message = m; }
    int runModalWithButtons(
        AlertStyle, const QString& m, const QString&, const QStringList& b) override
    {
        message = m;
        buttons = b;
        return answer;
    }
};
} // namespace

TEST(DocumentWindow, RevertAsksFirstAndCancelKeepsTheDocument)
{
    ReadyWindow w(true);
    w.win.newTextBox();
    auto alerts = std::make_shared<RecordingAlerts>();
    const auto previous = AlertPresenter::install(alerts);
    w.win.revertToOrginal();
    AlertPresenter::install(previous);
    // Undo brings a revert back: the alert no longer says it cannot be undone.
    EXPECT_EQ(alerts->message, QStringLiteral("Are you sure you want to revert to original?"));
    EXPECT_EQ(alerts->buttons, (QStringList { "Cancel", "Revert" }));
    EXPECT_EQ(w.boxes().textViewAry.size(), 1u);
}

// Each of the eleven effect sliders gets its own block with four previews; other sliders none.
TEST(DocumentWindow, EffectSlidersShowFourPreviews)
{
    ReadyWindow w(true);
    const ImageEffectIntensitySlider* effects[] = { w.o.drawSizeSlider, w.o.drawHardnessSlider,
        w.o.drawOpacitySlider, w.o.apertureSlider, w.o.vignetteSlider, w.o.saturationSlider,
        w.o.imageboxsaturationSlider, w.o.zoomAndStraightenSlider, w.o.zoomSlider,
        w.o.textboxOpacitySlider, w.o.textboxAngleSlider };
    for (const ImageEffectIntensitySlider* slider : effects) {
        ASSERT_TRUE(w.win.previewBlockFor(*slider)) << slider->title().toStdString();
        for (const Image& preview : slider->cachedPreviewImages())
            EXPECT_FALSE(preview.isNull()) << slider->title().toStdString();
    }
    EXPECT_FALSE(w.win.previewBlockFor(*w.o.shadowBlurSlider));
}
