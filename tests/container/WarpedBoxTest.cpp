// Warped boxes through the container's own capture: the flat box rendered, then bent.
#include "ContainerTestSupport.h"
#include "boxes/MyTextBox.h"
#include "container/TextViewContainer.h"

#include <QImage>
#include <gtest/gtest.h>

using platform::Point;
using platform::Rect;

namespace {

struct Captured {
    QImage pixels;
    Rect rect;
};

Captured capture(TextViewContainer& container, MyViewBase& box, float fVal = 1.0f)
{
    platform::View* wrapper = box.superview();
    Captured out;
    out.rect = box.imgRect;
    out.pixels = container.image_curved_perspectived(box, *wrapper, fVal, out.rect).toQImage();
    return out;
}

// The lowest and the highest opaque row (QImage rows, top first) in columns [x0, x1).
std::pair<int, int> opaqueRows(const QImage& q, int x0, int x1)
{
    int top = q.height(), bottom = -1;
    for (int y = 0; y < q.height(); ++y)
        for (int x = x0; x < x1; ++x)
            if (qAlpha(q.pixel(x, y)) > 128) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return { top, bottom };
}

} // namespace

TEST(WarpedBox, CurvedTextBaselineBendsAndFractionZeroIsFlat)
{
    ContainerRig rig;
    rig.container->newTextBox();
    MyViewBase& box = *rig.container->textViewAry.back();
    auto* text = dynamic_cast<MyTextView*>(&box);
    ASSERT_NE(text, nullptr);
    text->txtBox()->insertText(QStringLiteral("MMMMMMMMMMMMMMMMMMMM"));
    box.setCurves({ { 0, 0 }, { 0.5, 0.4 }, { 1, 0 } });

    const Captured flat = capture(*rig.container, box, 0.0f);
    ASSERT_FALSE(flat.pixels.isNull());
    const Captured bent = capture(*rig.container, box, 1.0f);
    ASSERT_FALSE(bent.pixels.isNull());
    EXPECT_GT(bent.rect.height(), flat.rect.height() + 10.0);

    // The glyphs' lowest row stands higher in the middle than near the text's left end.
    int first = 0;
    while (first < flat.pixels.width() && opaqueRows(flat.pixels, first, first + 1).second < 0)
        ++first;
    const int w0 = flat.pixels.width();
    const int x0 = first + (w0 / 2 - first) / 4;
    const int flatMiddle = opaqueRows(flat.pixels, w0 / 2 - 10, w0 / 2 + 10).second;
    EXPECT_NEAR(flatMiddle, opaqueRows(flat.pixels, x0 - 10, x0 + 10).second, 2);
    const int shiftX = int(flat.rect.x() - bent.rect.x()); // the fan widens the picture
    const int w = bent.pixels.width();
    const int middle = opaqueRows(bent.pixels, w / 2 - 10, w / 2 + 10).second;
    const int nearLeft = opaqueRows(bent.pixels, x0 + shiftX - 10, x0 + shiftX + 10).second;
    ASSERT_GE(middle, 0);
    EXPECT_LT(middle, nearLeft - 5);
}
