// The picture effect slider: clamping and which setter sends, the value text, pointer mapping
// (shadow sliders over the width less 32), one undo step per picture-slider drag in the
// slider's own document, the previews and the drawing.
#include "platform/ui/ControlEvents.h"
#include "support/PixelProbe.h"
#include "window/ImageEffectIntensitySlider.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string_view>

using namespace platform;
using testsupport::pixelAt;
using testsupport::Rgba;

namespace {

// Pointer events on the slider's middle row.
void mouse(QWidget& w, QEvent::Type type, double x)
{
    controltest::mouse(w, type, QPointF(x, 30));
}

void drag(QWidget& w, double from, double to)
{
    controltest::click(w, QPointF(from, 30), QPointF(to, 30));
}

const auto solid = controltest::solidImage;

struct Slider {
    ImageEffectIntensitySlider s;
    int actions = 0;
    explicit Slider(const char* title, int w = 200, int h = 60)
    {
        s.resize(w, h);
        s.setTitle(QString::fromUtf8(title));
        // The window's picture-slider table marks these as undoable.
        const std::string_view t(title);
        s.setRegistersUndo(t == "Aperture" || t == "Vignette" || t == "Saturation");
        s.setAction([this](Control& sender) {
            EXPECT_EQ(&sender, &s);
            ++actions;
        });
    }
};

} // namespace

TEST(EffectSlider, SettersClampAndOnlySetValueSends)
{
    struct Row {
        const char* name;
        double input;
        double expected;
        int actions;
    };
    const Row rows[] = {
        { "below 0", -0.2, 0, 1 },
        { "above 1", 1.7, 1, 1 },
        { "inside", 0.4, 0.4, 1 },
        { "NaN leaves the value and sends nothing", NAN, 0.3, 0 },
        { "infinity too", -INFINITY, 0.3, 0 },
    };
    for (const Row& row : rows) {
        Slider a("Opacity");
        a.s.setForceValue(0.3);
        a.s.setValue(row.input);
        EXPECT_DOUBLE_EQ(a.s.value(), row.expected) << row.name;
        EXPECT_EQ(a.actions, row.actions) << row.name;
        Slider b("Opacity");
        b.s.setForceValue(0.3);
        b.s.setForceValue(row.input);
        EXPECT_DOUBLE_EQ(b.s.value(), row.expected) << "force: " << row.name;
        EXPECT_EQ(b.actions, 0) << "force: " << row.name;
    }
}

TEST(EffectSlider, ValueText)
{
    struct Row {
        const char* name;
        double maxValue, value;
        bool showSlider;
        QString expected;
    };
    const Row rows[] = {
        { "angle", 360, 0.25, true, QStringLiteral("90") + QChar(0x00BA) },
        { "percent", 2, 0.5, true, QStringLiteral("50%") },
        { "near 360 is not an angle", 359.999, 0.25, true, QStringLiteral("25%") },
        { "hidden knob, no text", 360, 0.25, false, QString() },
    };
    for (const Row& row : rows) {
        ImageEffectIntensitySlider s;
        s.setMaxValue(row.maxValue);
        s.setForceValue(row.value);
        s.setShowSlider(row.showSlider);
        EXPECT_EQ(s.valueText(), row.expected) << row.name;
    }
    // A slider its owner marks as an angle shows one whatever its maximum.
    ImageEffectIntensitySlider marked;
    marked.setMaxValue(1);
    marked.setForceValue(0.25);
    marked.setShowsDegrees(true);
    EXPECT_EQ(marked.valueText(), QStringLiteral("90") + QChar(0x00BA));
}

TEST(EffectSlider, PointerMapsOverTheWidthOrItLess32)
{
    struct Row {
        const char* name;
        const char* title;
        int width;
        double x;
        double expected;
        int actions;
    };
    const Row rows[] = {
        { "plain slider", "Opacity", 200, 50, 0.25, 1 },
        { "shadow slider at 232 clicked at 100", "Shadow", 232, 100, 0.5, 1 },
        { "inner shadow past its end", "Inner Shadow", 232, 220, 1, 1 },
        { "box shadow, the inner slider's other family, at 100", "Box Shadow", 232, 100, 0.5, 1 },
        { "32-wide shadow slider maps nothing", "Shadow", 32, 10, 0.3, 0 },
    };
    for (const Row& row : rows) {
        Slider a(row.title, row.width);
        a.s.setForceValue(0.3);
        a.s.setShowSlider(false);
        mouse(a.s, QEvent::MouseButtonPress, row.x);
        EXPECT_DOUBLE_EQ(a.s.value(), row.expected) << row.name;
        EXPECT_EQ(a.actions, row.actions) << row.name;
        EXPECT_TRUE(a.s.showSlider()) << row.name << ": a press shows the knob";
        mouse(a.s, QEvent::MouseButtonRelease, row.x);
    }
}

TEST(EffectSlider, OneUndoStepPerPictureSliderDragInItsOwnDocument)
{
    UndoManager own, current;
    Slider a("Aperture", 100);
    a.s.setUndoManagerProvider([&] { return &own; });
    a.s.setForceValue(0.2);
    drag(a.s, 20, 60);
    EXPECT_DOUBLE_EQ(a.s.value(), 0.6);
    own.endGroup();
    current.endGroup();
    EXPECT_EQ(own.undoGroupCount(), 1);
    EXPECT_EQ(current.undoGroupCount(), 0) << "another document being current changes nothing";

    a.actions = 0;
    own.undo();
    EXPECT_DOUBLE_EQ(a.s.value(), 0.2);
    EXPECT_EQ(a.actions, 1) << "undo moves the slider and sends the action";
    EXPECT_TRUE(own.canRedo());
    own.redo();
    EXPECT_DOUBLE_EQ(a.s.value(), 0.6);
}

TEST(EffectSlider, NoStepForStillClicksOtherTitlesOrReleasesWithoutPress)
{
    struct Row {
        const char* name;
        const char* title;
        double from, to;
    };
    const Row rows[] = {
        { "still click on a picture slider", "Vignette", 20, 20 },
        { "brush slider drag", "Brush Size", 20, 60 },
        { "shadow drag", "Shadow", 20, 60 },
    };
    for (const Row& row : rows) {
        UndoManager own;
        Slider a(row.title, 100);
        a.s.setUndoManagerProvider([&] { return &own; });
        a.s.setForceValue(0.2);
        drag(a.s, row.from, row.to);
        own.endGroup();
        EXPECT_EQ(own.undoGroupCount(), 0) << row.name;
    }
    // A release with no press before it is ignored.
    UndoManager own;
    Slider a("Saturation", 100);
    a.s.setUndoManagerProvider([&] { return &own; });
    mouse(a.s, QEvent::MouseButtonRelease, 80);
    own.endGroup();
    EXPECT_EQ(own.undoGroupCount(), 0);
    EXPECT_EQ(a.actions, 0);
}

TEST(EffectSlider, StepOutlivingItsSliderDoesNothing)
{
    UndoManager own;
    {
        Slider a("Aperture", 100);
        a.s.setUndoManagerProvider([&] { return &own; });
        drag(a.s, 20, 60);
        own.endGroup();
    }
    own.undo(); // must not touch the destroyed slider
    EXPECT_FALSE(own.canRedo());
}

TEST(EffectSlider, PreviewsAtFourStrengthsDrawnByQuarter)
{
    Slider a("Vignette", 200, 60);
    a.s.setImage(solid(400, 100, Qt::gray));
    std::vector<std::pair<int, float>> calls;
    Size sourceSize;
    const QColor colours[4] = { Qt::red, Qt::green, Qt::blue, Qt::yellow };
    a.s.setGeneratePreviewImageBlock([&](const Image& source, int i, float strength) {
        calls.emplace_back(i, strength);
        sourceSize = source.size();
        return solid(10, 10, colours[i]);
    });
    ASSERT_EQ(calls.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(calls[size_t(i)].first, i);
        EXPECT_EQ(
            calls[size_t(i)].second, ImageEffectIntensitySlider::kPreviewStrengths[size_t(i)]);
    }
    EXPECT_EQ(sourceSize.width, 100);
    EXPECT_EQ(sourceSize.height, 55);
    a.s.setShowSlider(false);
    const QImage img = a.s.renderToImage();
    // Track: (0, 10, 200, 20); quarters centred at 25, 75, 125, 175.
    const Rgba expected[4]
        = { { 255, 0, 0, 255 }, { 0, 255, 0, 255 }, { 0, 0, 255, 255 }, { 255, 255, 0, 255 } };
    for (int i = 0; i < 4; ++i)
        EXPECT_PIXEL_NEAR(img, 25 + 50 * i, 20, expected[i], 2);
    // Without previews in use the picture itself fills the track.
    a.s.setUsePreviewImage(false);
    EXPECT_PIXEL_NEAR(a.s.renderToImage(), 25, 20, (Rgba { 160, 160, 164, 255 }), 3);
}

// The previews are made again only when what they show from changes: the picture, the size
// or the maximum; the same picture set again (each refresh of the inspector) keeps them.
TEST(EffectSlider, PreviewsMadeAgainOnlyWhenTheirSourceChanges)
{
    Slider a("Vignette", 200, 60);
    const Image grey = solid(400, 100, Qt::gray);
    a.s.setImage(grey);
    int calls = 0;
    a.s.setGeneratePreviewImageBlock([&](const Image&, int i, float) {
        ++calls;
        return solid(10, 10, i ? Qt::green : Qt::red);
    });
    struct Row {
        const char* name;
        std::function<void()> change;
        bool madeAgain;
    };
    const Row rows[] = {
        { "the same picture", [&] { a.s.setImage(grey); }, false },
        { "a copy of the same picture", [&] { a.s.setImage(Image(grey)); }, false },
        { "another picture", [&] { a.s.setImage(solid(400, 100, Qt::gray)); }, true },
        { "then it again", [&] { a.s.setImage(a.s.image()); }, false },
        { "another width",
            [&] {
                a.s.resize(240, 60);
                a.s.setImage(a.s.image());
            },
            true },
        { "another maximum",
            [&] {
                a.s.setMaxValue(50);
                a.s.setImage(a.s.image());
            },
            true },
        { "another block",
            [&] {
                a.s.setGeneratePreviewImageBlock([&](const Image&, int, float) {
                    ++calls;
                    return solid(10, 10, Qt::blue);
                });
            },
            true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto before = a.s.cachedPreviewImages();
        calls = 0;
        row.change();
        EXPECT_EQ(calls, row.madeAgain ? 4 : 0);
        EXPECT_EQ(a.s.cachedPreviewImages() != before, row.madeAgain);
    }
}

TEST(EffectSlider, KnobSitsAtTheValue)
{
    struct Row {
        const char* name;
        const char* title;
        int width;
        double value;
        double centre;
    };
    const Row rows[] = {
        { "plain", "Opacity", 200, 0.5, 100 },
        { "plain at a quarter", "Opacity", 200, 0.25, 50 },
        { "shadow", "Shadow", 232, 0.5, 100 },
    };
    for (const Row& row : rows) {
        Slider a(row.title, row.width, 60);
        a.s.setColoringColor(Color::black());
        a.s.setForceValue(row.value);
        EXPECT_DOUBLE_EQ(a.s.knobCenterX(), row.centre) << row.name;
        const QImage img = a.s.renderToImage();
        // The knob reaches 6 points below the track (y 4..10): find its columns there.
        int left = -1, right = -1;
        for (int x = 0; x < img.width(); ++x) {
            const Rgba c = pixelAt(img, x, 6);
            if (c.a > 200 && c.r > 90) {
                if (left < 0)
                    left = x;
                right = x;
            }
        }
        ASSERT_GE(left, 0) << row.name;
        EXPECT_NEAR((left + right + 1) / 2.0, row.centre, 1.0) << row.name;
    }
}

// The arrow keys move a focused slider by 1 % (10 % with Shift) within 0..1; a picture slider
// leaves one undo step per press, however long the key repeats.
TEST(EffectSlider, ArrowKeysMoveTheSlider)
{
    struct Row {
        const char* name;
        const char* title;
        int key;
        Qt::KeyboardModifiers modifiers;
        int repeats; // auto-repeated presses after the first
        double start, expected;
        int undoSteps;
    };
    const Row rows[] = {
        { "right", "Aperture", Qt::Key_Right, Qt::NoModifier, 0, 0.5, 0.51, 1 },
        { "up", "Opacity", Qt::Key_Up, Qt::NoModifier, 0, 0.5, 0.51, 0 },
        { "shift left", "Vignette", Qt::Key_Left, Qt::ShiftModifier, 0, 0.5, 0.4, 1 },
        { "down held", "Saturation", Qt::Key_Down, Qt::NoModifier, 4, 0.5, 0.45, 1 },
        { "shift right at the end", "Aperture", Qt::Key_Right, Qt::ShiftModifier, 0, 0.95, 1.0, 1 },
        { "left at the start", "Aperture", Qt::Key_Left, Qt::NoModifier, 0, 0.0, 0.0, 0 },
        { "other key", "Aperture", Qt::Key_A, Qt::NoModifier, 0, 0.5, 0.5, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UndoManager undo;
        Slider a(row.title);
        a.s.setUndoManagerProvider([&] { return &undo; });
        a.s.setForceValue(row.start);
        EXPECT_TRUE(a.s.focusPolicy() & Qt::TabFocus);
        for (int i = 0; i <= row.repeats; ++i) {
            QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers, QString(), i > 0);
            QCoreApplication::sendEvent(&a.s, &press);
        }
        EXPECT_NEAR(a.s.value(), row.expected, 1e-9);
        undo.endGroup();
        EXPECT_EQ(undo.undoGroupCount(), row.undoSteps);
        if (row.undoSteps) {
            undo.undo();
            EXPECT_DOUBLE_EQ(a.s.value(), row.start);
        }
    }
}

// The focused slider shows a ring round its track.
TEST(EffectSlider, FocusRingShowsWhileFocused)
{
    Slider a("Opacity");
    const auto ringPixels = [&] {
        const QImage image = a.s.renderToImage();
        int blue = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const Rgba c = pixelAt(image, x, y);
                blue += c.a > 200 && c.b > c.r + 100;
            }
        return blue;
    };
    EXPECT_EQ(ringPixels(), 0);
    a.s.show();
    QApplication::setActiveWindow(&a.s);
    a.s.setFocus();
    ASSERT_TRUE(a.s.hasFocus());
    EXPECT_GT(ringPixels(), 2 * a.s.width()) << "above and below the track";
}
