// The mask brush's controls, driven as a person drives them in mask mode: each slider of the
// brush table and the paint or erase segments reach the brush, and none of them leaves an undo
// step (the strokes are what is undone).
#include "window/BrushPanel.h"

#include "ReadyWindow.h"
#include "support/SyntheticMouse.h"
#include "window/CustomSegmentedCtrl.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/SegmentSwitch.h"

#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>

using windowtest::ReadyWindow;

namespace {

std::array<double, 4> brushState(const ReadyWindow& w)
{
    const auto& b = w.brush();
    return { b.brushSize(), b.brushHardness(), b.brushOpacity(), b.eraseMode() ? 1.0 : 0.0 };
}

void maskMode(ReadyWindow& w)
{
    SegmentSwitch& modes = *w.o.cropColorSegmentSwitch;
    testsupport::click(modes, { modes.width() * 0.75, modes.height() / 2.0 });
    ASSERT_TRUE(w.win.isPaintViewShowed());
}

} // namespace

TEST(BrushPanel, EachControlReachesTheBrushWithoutAnUndoStep)
{
    struct Row {
        std::string name;
        std::function<void(ReadyWindow&)> press;
    };
    std::vector<Row> rows;
    for (const BrushSlider& slider : BrushPanel::sliders())
        rows.push_back({ slider.title, [&slider](ReadyWindow& w) {
                            ImageEffectIntensitySlider& s = *(w.o.*slider.outlet);
                            const double y = s.height() / 2.0;
                            testsupport::drag(s, { s.width() * 0.3, y }, { s.width() * 0.6, y });
                        } });
    rows.push_back(
        { "erase segment", [](ReadyWindow& w) {
             QWidget& segments = *w.o.drawModeSegmentedCtrl;
             testsupport::click(segments, { segments.width() * 0.75, segments.height() / 2.0 });
         } });
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReadyWindow w(true);
        maskMode(w);
        w.undo.endGroup();
        const int steps = w.undo.undoGroupCount();
        const auto before = brushState(w);
        row.press(w);
        w.undo.endGroup();
        EXPECT_NE(brushState(w), before);
        EXPECT_EQ(w.undo.undoGroupCount(), steps);
    }
}

// The table's sliders start where it says, with the previews of their effect.
TEST(BrushPanel, SlidersStartFromTheirTable)
{
    ReadyWindow w(true);
    for (const BrushSlider& row : BrushPanel::sliders()) {
        SCOPED_TRACE(row.title);
        const ImageEffectIntensitySlider& s = *(w.o.*row.outlet);
        EXPECT_EQ(s.title(), QString::fromUtf8(row.title));
        EXPECT_EQ(s.value(), row.start);
        EXPECT_FALSE(s.cachedPreviewImages()[0].isNull());
    }
}

// The "Show mask in red" tick, pressed as a person presses it, shows its tick against its box:
// the tick is drawn in the title's white, so the box must not be white too.
TEST(BrushPanel, TheRedMaskTickIsVisibleWhenOn)
{
    ReadyWindow w(true);
    maskMode(w);
    QCheckBox& tick = *w.o.chkRedMask;
    QStyleOptionButton option;
    option.initFrom(&tick);
    const QRect box = tick.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &tick);
    testsupport::click(tick, box.center());
    ASSERT_TRUE(tick.isChecked());
    const QImage img = tick.grab().toImage();
    const QRect inside = box.adjusted(3, 3, -3, -3);
    int lightest = 0, darkest = 255;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const int g = qGray(img.pixel(x, y));
            lightest = std::max(lightest, g);
            darkest = std::min(darkest, g);
        }
    EXPECT_GT(lightest - darkest, 120) << "tick " << lightest << " on box " << darkest;
}
