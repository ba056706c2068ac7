// A layer of many overlapping boxes draws only what shows: a box whose drawing, its shadow
// included, lies wholly under opaque shapes above it is left out, and the picture is the one
// the shown boxes alone make, pixel for pixel; a box that shows anywhere (or whose shadow does)
// is drawn, and translucent shapes hide nothing.
#include "LayerRecords.h"
#include "platform/ui/ViewDrawingCache.h"
#include "support/PixelProbe.h"

#include <gtest/gtest.h>

using namespace platform;
using layertest::Box;
using layertest::Kind;

namespace {

constexpr double kW = 400, kH = 300;

SZGradient solid(const Color& c)
{
    SZGradient g;
    g.gradientType = SZGradient::ColorFill;
    g.color = c;
    return g;
}

// A turned rectangle shape in one colour, or a line with arrow heads at a huge stroke width
// (its heads reach far past the layer).
UNDODATA rectangle(const Rect& frame, const Color& fill, double turn = 0)
{
    UNDODATA r = layertest::record({ Kind::Shape, false, frame, shape::Rectangle });
    r.overlayColor = solid(fill);
    r.rotationAngle = turn;
    return r;
}

UNDODATA arrowLine(const Rect& frame, const Color& fill, double turn)
{
    UNDODATA r = layertest::record({ Kind::Shape, false, frame, shape::ArrowLine });
    r.startType = shape::ArrowHead;
    r.endType = shape::ArrowHead;
    r.strokeSize = 600;
    r.strokeColor = solid(fill);
    r.rotationAngle = turn;
    return r;
}

// The layer's picture, and how many box pictures were drawn for it.
struct Drawn {
    QImage image;
    qint64 boxes = 0;
};

Drawn draw(const std::vector<UNDODATA>& records)
{
    ContainerRig rig(Size(kW, kH));
    rig.container->applyUndoData(ContainerSnapshot(records));
    ViewDrawingCache::clear();
    const qint64 before = ViewDrawingCache::picturesDrawn();
    const Image picture = renderToImage(*rig.container, Rect(0, 0, kW, kH), 1.0);
    return { picture.toQImage(), ViewDrawingCache::picturesDrawn() - before };
}

} // namespace

TEST(HiddenBoxes, OnlyWhatShowsIsDrawn)
{
    // Boxes of every kind, under whatever the cases put on top.
    std::vector<UNDODATA> under;
    for (int i = 0; i < 12; ++i) {
        const Rect frame(20.0 + 25.0 * i, 30.0 + 15.0 * (i % 5), 60, 40);
        UNDODATA r = layertest::record({ Kind(i % 3), false, frame, shape::Star });
        r.shadowColor = Color(0, 0, 0, 0.8);
        r.shadowBlurSize = 6;
        r.shadowOffsetSize = 4;
        r.backColor = solid(Color(0.9, 0.1, 0.1, 1));
        under.push_back(std::move(r));
    }
    struct Case {
        const char* name;
        std::vector<UNDODATA> top;
        bool hidesAll; // the boxes under it leave no pixel
        qint64 mostDrawn;
    };
    const Color blue(0.1, 0.2, 0.9, 1), green(0.1, 0.8, 0.2, 1);
    const Case cases[] = {
        // (Their heads overlap into holes where the windings cancel: some boxes show there.)
        { "opaque lines whose heads reach over the layer",
            { arrowLine(Rect(150, 140, 80, 20), blue, 10),
                arrowLine(Rect(170, 120, 60, 30), green, 100),
                arrowLine(Rect(160, 130, 70, 20), blue, 50),
                arrowLine(Rect(180, 150, 50, 20), green, 140) },
            false, 4 + 12 - 1 },
        { "a turned rectangle over all of it", { rectangle(Rect(-100, -60, 600, 420), blue, 8) },
            true, 1 },
        { "a rectangle over the left half", { rectangle(Rect(-10, -10, 200, 320), green) }, false,
            1 + 12 - 1 },
        { "translucent lines hide nothing",
            { arrowLine(Rect(150, 140, 80, 20), Color(0.1, 0.2, 0.9, 0.99), 10) }, false, 1 + 12 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<UNDODATA> all = under;
        all.insert(all.end(), c.top.begin(), c.top.end());
        const Drawn layer = draw(all);
        const Drawn topOnly = draw(c.top);
        ASSERT_FALSE(layer.image.isNull());
        EXPECT_LE(layer.boxes, c.mostDrawn);
        if (c.hidesAll) {
            EXPECT_EQ(layer.image, topOnly.image);
            continue;
        }
        // What shows of the boxes under is drawn: the layer is no less than a drawing of every
        // box would give, which the boxes under change somewhere.
        EXPECT_NE(layer.image, topOnly.image);
    }
}

// Every pixel shows the topmost box over it: boxes left out only where nothing of them shows.
TEST(HiddenBoxes, EachPixelShowsItsTopBox)
{
    struct Placed {
        Rect frame;
        Color colour;
    };
    std::vector<Placed> boxes;
    for (int i = 0; i < 12; ++i)
        boxes.push_back({ Rect(20.0 + 27.0 * i, 30.0 + 13.0 * (i % 6), 70, 50),
            Color(0.08 * i, 0.5, 1.0 - 0.08 * i, 1) });
    // On top: hides some wholly, others in part.
    boxes.push_back({ Rect(60, 40, 190, 120), Color(0.95, 0.9, 0.2, 1) });
    boxes.push_back({ Rect(100, 20, 60, 240), Color(0.9, 0.2, 0.3, 1) });
    std::vector<UNDODATA> records;
    for (const Placed& b : boxes) {
        UNDODATA r = rectangle(b.frame, b.colour);
        r.shadowColor = Color(0, 0, 0, 0);
        records.push_back(std::move(r));
    }
    const Drawn layer = draw(records);
    EXPECT_LT(layer.boxes, qint64(boxes.size()));
    int probed = 0;
    for (int y = 2; y < int(kH); y += 3)
        for (int x = 2; x < int(kW); x += 3) {
            // The layer is y-up; the picture's rows go down.
            const Point at(x + 0.5, kH - (y + 0.5));
            const Placed* top = nullptr;
            bool nearEdge = false;
            for (const Placed& b : boxes) {
                const Rect grown = b.frame.insetBy(-3, -3), shrunk = b.frame.insetBy(3, 3);
                if (grown.contains(at) && !shrunk.contains(at))
                    nearEdge = true;
                if (shrunk.contains(at))
                    top = &b;
            }
            if (nearEdge)
                continue;
            ++probed;
            const QRgb got = layer.image.pixel(x, y);
            if (!top) {
                EXPECT_EQ(qAlpha(got), 0) << x << "," << y;
                continue;
            }
            EXPECT_NEAR(qRed(got), int(top->colour.red * 255), 2) << x << "," << y;
            EXPECT_NEAR(qBlue(got), int(top->colour.blue * 255), 2) << x << "," << y;
        }
    EXPECT_GT(probed, 1000);
}
